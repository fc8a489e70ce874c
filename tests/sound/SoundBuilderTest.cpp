// The sentence sound builder: the WAVE image, the range arithmetic, the level and fade rules, and
// whole builds from a lesson database and its module files.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/SqlText.h"
#include "sound/AnsweredWords.h"
#include "sound/Mp3Reader.h"
#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"
#include "tests/sound/SoundTestSupport.h"
#include "tests/support/StatementTrace.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
int16_t Value(const uint8_t* samples, size_t i) {
    int16_t v;
    std::memcpy(&v, samples + 2 * i, 2);
    return v;
}

TEST(WaveImage, HeaderBytes) {
    uint8_t h[44];
    WriteWaveHeader(h, 1044, 2, 22050);
    const uint8_t expected[44] = {'R', 'I', 'F', 'F', 0x0C, 0x04, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                  16,  0,   0,   0,   1,    0,    2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 0x01, 0,
                                  4,   0,   16,  0,   'd',  'a',  't', 'a', 0xE8, 0x03, 0, 0};
    EXPECT_EQ(std::memcmp(h, expected, 44), 0);

    const auto info = ReadWaveHeader(h, 1044);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->channels, 2);
    EXPECT_EQ(info->rate, 22050);
    EXPECT_EQ(info->dataBytes, 1000u);
    EXPECT_FALSE(ReadWaveHeader(h, 1043));  // the data would run past the bytes given
}

TEST(WaveImage, EmptyImage) {
    uint8_t h[44];
    WriteEmptyWaveImage(h);
    EXPECT_EQ(U32(h + 4), 36u);
    EXPECT_EQ(U16(h + 22), 1);
    EXPECT_EQ(U32(h + 24), 11025u);
    EXPECT_EQ(U32(h + 28), 22050u);
    EXPECT_EQ(U32(h + 40), 0u);
    EXPECT_TRUE(ReadWaveHeader(h, 44));
}

TEST(WaveImage, BufferImageBytes) {
    SoundBuffer b;
    EXPECT_EQ(b.ImageBytes(), 0u);  // all zero: no image
    WriteWaveHeader(b.Data(), 5044, 1, 11025);
    EXPECT_EQ(b.ImageBytes(), 5044u);
    uint8_t* p = b.Data();
    p[40] = p[41] = p[42] = p[43] = 0xFF;  // a data length beyond the buffer
    EXPECT_EQ(b.ImageBytes(), 0u);
}

TEST(SoundRange, Widening) {
    const struct {
        int b, e;
        float add;
        int start, end;
        float ms;
    } rows[] = {
        {11025, 22050, 3.0f, 0, 55125, 5000.0f},        // the start is clamped to 0; the duration counts from 0
        {100000, 120000, 0.5f, 94487, 125512, 2814.0590f},
        {100000, 120000, 0.0f, 100000, 120000, 1814.0590f},
        {50000, 40000, 0.0f, 50000, 40000, 0.0f},       // an end before the start: no duration
        {-5000, -100, 0.0f, 0, 0, 0.0f},
        {INT_MAX, INT_MAX, 3.0f, 2147450624, INT_MAX, 2995.2834f},  // float(INT_MAX) - 33075, to 128
        {0, 2000000000, 1.0f, 0, 2000011008, 181406896.0f},  // single precision above 2^24
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.b << ".." << r.e << " + " << r.add);
        const wave::Range range = wave::WidenRange(r.b, r.e, r.add);
        EXPECT_EQ(range.start, r.start);
        EXPECT_EQ(range.end, r.end);
        EXPECT_FLOAT_EQ(range.durationMs, r.ms);
    }
}

TEST(SoundLevels, FadeLength) {
    const struct {
        int rate, channels;
        float add;
        int values, fade;
    } rows[] = {
        {32000, 1, 1.0f, 1 << 20, 32000}, {32000, 1, 0.5f, 1 << 20, 16000}, {16000, 1, 1.0f, 1 << 20, 16000},
        {16000, 1, 0.5f, 1 << 20, 8000},  {8000, 1, 1.0f, 1 << 20, 8000},   {8000, 1, 0.5f, 1 << 20, 4000},
        {32000, 2, 0.7f, 1 << 20, 44800}, {44100, 2, 0.3f, 1 << 20, 26460},
        {11025, 1, 1.0f, 1 << 20, 11025}, {22050, 1, 0.5f, 1 << 20, 11025},
        {44100, 2, 1.0f, 1 << 20, 88200}, {48000, 2, 1.0f, 1 << 20, 96000}, {22050, 1, 3.0f, 1 << 20, 22050},
        {22050, 1, 0.0f, 1 << 20, 0},     {22050, 1, 1.0f, 1000, 490},      {22050, 1, 1.0f, 30, 5},
        {22050, 1, 1.0f, 10, -5},
    };
    for (const auto& r : rows)
        EXPECT_EQ(wave::FadeLength(r.rate, r.channels, r.add, r.values), r.fade)
            << r.rate << " Hz, " << r.channels << " ch, " << r.add << " s, N " << r.values;
}

std::vector<uint8_t> Pcm(const std::vector<int>& values) {
    std::vector<uint8_t> out(values.size() * 2);
    for (size_t i = 0; i < values.size(); ++i) {
        const int16_t v = static_cast<int16_t>(values[i]);
        std::memcpy(&out[2 * i], &v, 2);
    }
    return out;
}

TEST(SoundLevels, PeakMapsToExactly30000) {
    for (int p = 1; p <= 32767; ++p) {
        std::vector<uint8_t> pcm = Pcm({0, p, -p / 2});
        wave::ScaleAndFade(pcm.data(), 3, 11025, 1, 0.0f);
        ASSERT_EQ(Value(pcm.data(), 1), 30000) << p;
        std::vector<uint8_t> neg = Pcm({0, -p, p / 2});
        wave::ScaleAndFade(neg.data(), 3, 11025, 1, 0.0f);
        ASSERT_EQ(Value(neg.data(), 1), -30000) << p;
    }
    std::vector<uint8_t> lowest = Pcm({100, -32768, 32000});  // the peak is 32768
    wave::ScaleAndFade(lowest.data(), 3, 11025, 1, 0.0f);
    EXPECT_EQ(Value(lowest.data(), 1), -30000);
    EXPECT_EQ(Value(lowest.data(), 2), 29296);
}

TEST(SoundLevels, SilenceAndDither) {
    std::vector<uint8_t> silence = Pcm(std::vector<int>(100, 0));
    wave::ScaleAndFade(silence.data(), 100, 11025, 1, 0.0f);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(Value(silence.data(), i), 0);
    std::vector<uint8_t> dither = Pcm({1, -1, 0, 1});  // the peak of 1 is blown up to full scale
    wave::ScaleAndFade(dither.data(), 4, 11025, 1, 0.0f);
    EXPECT_EQ(Value(dither.data(), 0), 30000);
    EXPECT_EQ(Value(dither.data(), 1), -30000);
}

TEST(SoundLevels, Fades) {
    // 1000 values of 1000 at 11025 Hz mono, 0.01 s of fade: F = 110.
    std::vector<uint8_t> pcm = Pcm(std::vector<int>(1000, 1000));
    ASSERT_EQ(wave::FadeLength(11025, 1, 0.01f, 1000), 110);
    wave::ScaleAndFade(pcm.data(), 1000, 11025, 1, 0.01f);
    EXPECT_EQ(Value(pcm.data(), 0), 0);        // the fade-in starts at 0
    EXPECT_EQ(Value(pcm.data(), 55), 15000);
    EXPECT_EQ(Value(pcm.data(), 110), 30000);
    EXPECT_EQ(Value(pcm.data(), 500), 30000);
    EXPECT_EQ(Value(pcm.data(), 890), 30000);  // N - F: full level
    EXPECT_EQ(Value(pcm.data(), 945), 15000);
    EXPECT_EQ(Value(pcm.data(), 999), 272);    // the fade-out ends at 1/F of full level, not at 0

    // The fade is cut to N/2 - 10 values; fewer than 20 values get no fade at all.
    std::vector<uint8_t> shortOne = Pcm(std::vector<int>(40, -200));
    wave::ScaleAndFade(shortOne.data(), 40, 11025, 1, 1.0f);
    EXPECT_EQ(Value(shortOne.data(), 0), 0);
    EXPECT_EQ(Value(shortOne.data(), 5), -15000);
    EXPECT_EQ(Value(shortOne.data(), 10), -30000);
    EXPECT_EQ(Value(shortOne.data(), 39), -3000);
    std::vector<uint8_t> tiny = Pcm({5, -10, 7});
    wave::ScaleAndFade(tiny.data(), 3, 44100, 2, 1.0f);
    EXPECT_EQ(Value(tiny.data(), 0), 15000);
    EXPECT_EQ(Value(tiny.data(), 1), -30000);
    wave::ScaleAndFade(tiny.data(), 0, 44100, 2, 1.0f);  // nothing to do
}

// A lesson database and a program folder with a Data folder of module files.
class BuilderTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.Path() + "/Data");
        ASSERT_TRUE(db.Open(dir.File("QV_01.db")).ok());
    }
    void AddModule(int id, const std::string& sfname) {
        ASSERT_TRUE(db.Exec(Sql("INSERT INTO sounds (ididnt, isigns, icodes, sfname) VALUES (%i, 1, 0, %Q);", id,
                                sfname.c_str()))
                        .ok());
    }
    void AddItem(int id, int module, int b, int e) {
        ASSERT_TRUE(db.Exec(Sql("INSERT INTO items2 (ididnt, isound, isndbg, isndfn, strbef, stract, straft) "
                                "VALUES (%i, %i, %i, %i, '', 'x', '');",
                                id, module, b, e))
                        .ok());
    }
    void CopyFixture(const std::string& fixture, const std::string& as) {
        std::filesystem::copy_file(test::SoundFixture(fixture), dir.Path() + "/Data/" + as,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    static void ExpectEmpty(const SoundBuffer& b) {
        const uint8_t* h = b.Data();
        EXPECT_EQ(std::memcmp(h, "RIFF", 4), 0);
        EXPECT_EQ(U32(h + 4), 36u);
        EXPECT_EQ(U16(h + 22), 1);
        EXPECT_EQ(U32(h + 24), 11025u);
        EXPECT_EQ(U32(h + 40), 0u);
        EXPECT_EQ(b.ImageBytes(), 44u);
        EXPECT_EQ(b.DurationMs, 0.0f);
    }

    test::TempDir dir;
    Database db;
    std::atomic<float> addTime{0.0f};
};

// The sound thread's reads and its answered-word update run prepared with their values bound.
TEST_F(BuilderTest, StatementsRunWithTheirValuesBound) {
    CopyFixture("mpeg2_mono_22k.mp3", "lesson01.mp3");
    AddModule(1, "lesson01.mp3");
    AddItem(7, 1, 5000, 12000);
    const test::StatementTrace trace(db);
    SoundBuilder builder(db, addTime, dir.Path());
    SoundBuffer buffer;
    ASSERT_EQ(builder.BuildItemWave(buffer, 7), 5);
    ASSERT_TRUE(ApplyAnsweredWord(db, "it's", nullptr).ok());
    const std::vector<test::StatementTrace::Statement> expected = {
        {"SELECT * FROM items2 WHERE ididnt=?", "SELECT * FROM items2 WHERE ididnt=7"},
        {"SELECT * FROM sounds WHERE ididnt=?", "SELECT * FROM sounds WHERE ididnt=1"},
        {"UPDATE wrdstt SET ianswr=ifnull(ianswr,0)+1 WHERE twordd=?;",
         "UPDATE wrdstt SET ianswr=ifnull(ianswr,0)+1 WHERE twordd='it''s';"},
    };
    EXPECT_EQ(trace.Statements(), expected);
}

TEST_F(BuilderTest, BuildsTheSentenceRange) {
    CopyFixture("mpeg2_mono_22k.mp3", "Lesson01.MP3");
    AddModule(1, "lesson01.mp3");  // found whatever the letter case
    AddItem(7, 1, 5000, 12000);
    SoundBuilder builder(db, addTime, dir.Path());
    SoundBuffer buffer;
    ASSERT_EQ(builder.BuildItemWave(buffer, 7), 5);

    // The frames of the range, as the reader cuts them.
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(test::SoundFixture("mpeg2_mono_22k.mp3")));
    reader.SetRange(0, 5000);
    reader.SetRange(1, 12000);
    std::vector<uint8_t> raw(1 << 20);
    const auto decoded = reader.DecodeRange(raw.data(), raw.size());
    ASSERT_TRUE(decoded.ok);
    const size_t s = decoded.bytes;

    const uint8_t* h = buffer.Data();
    EXPECT_EQ(std::memcmp(h, "RIFF", 4), 0);
    EXPECT_EQ(U32(h + 4), s - 8);
    EXPECT_EQ(U16(h + 22), 1);
    EXPECT_EQ(U32(h + 24), 22050u);
    EXPECT_EQ(U32(h + 28), 44100u);
    EXPECT_EQ(U16(h + 32), 2);
    EXPECT_EQ(U32(h + 40), s - 44);  // T = S: the header lies over the first 22 decoded values
    EXPECT_EQ(buffer.ImageBytes(), s);
    EXPECT_FLOAT_EQ(buffer.DurationMs, 7000.0f / 11025.0f * 1000.0f);

    // Without extra time there is no fade: every value is the decoded one times 30000 / peak.
    const size_t n = (s - 44) / 2;
    int peak = 1;
    for (size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(int(Value(raw.data() + 44, i))));
    int loudest = 0;
    for (size_t i = 0; i < n; ++i) {
        const int out = Value(h + 44, i);
        const double want = 30000.0 / peak * Value(raw.data() + 44, i);
        ASSERT_LE(std::abs(out - want), 1.0) << i;
        loudest = std::max(loudest, std::abs(out));
    }
    EXPECT_EQ(loudest, 30000);
}

// Every image is the reader's decode of the sentence's range (itself frame for frame libmpg123's
// decode of the whole file), scaled and faded, sample for sample, whether the module's frame table
// is built by the build or kept from the one before.
TEST_F(BuilderTest, ImagesAreTheReadersDecodeScaledAndFaded) {
    const char* fixtures[] = {"mpeg1_stereo_44k.mp3", "mpeg1_mono_32k.mp3", "mpeg2_mono_22k.mp3",
                              "mpeg2_stereo_22k.mp3", "mpeg25_mono_11k.mp3", "id3v2_mono_11k.mp3",
                              "vbr_mono_44k.mp3",     "short_13_frames.mp3", "cut_mono_22k.mp3",
                              "damaged_mono_32k.mp3"};
    // The damaged file's junk lies at 23814: the last range is a sentence after it.
    const struct {
        int b, e;
        float add;
    } ranges[] = {{0, 3000, 0.0f}, {5000, 12000, 0.5f}, {11025, 16000, 3.0f}, {20000, 2000000, 1.0f}, {26000, 33000, 0.5f}};
    int id = 0;
    for (int module = 0; module < static_cast<int>(std::size(fixtures)); ++module) {
        const std::string name = "m" + std::to_string(module) + ".mp3";
        CopyFixture(fixtures[module], name);
        AddModule(module + 1, name);
        for (const auto& r : ranges) {
            SCOPED_TRACE(testing::Message() << fixtures[module] << " " << r.b << ".." << r.e << " +" << r.add);
            AddItem(++id, module + 1, r.b, r.e);
            addTime = r.add;

            // The image: the range as a reader decodes it (its frames those of mpg123's decode of
            // the whole file), scaled and faded.
            SoundBuffer want;
            TMyPlayer0802 reader;
            ASSERT_TRUE(reader.Open(dir.Path() + "/Data/" + name));
            const wave::Range range = wave::WidenRange(r.b, r.e, r.add);
            reader.SetRange(0, range.start);
            reader.SetRange(1, range.end);
            const int askedEnd = std::max(reader.EndFrame, 20);
            const auto d = reader.DecodeRange(want.Data(), SoundBuffer::Capacity());
            ASSERT_TRUE(d.ok);
            const test::FullDecode reference = test::DecodeWholeFile(test::SoundFixture(fixtures[module]));
            // The sentence's own frames, wherever the file holds them: the range is cut only by
            // the end of the stream, not by a damaged spot.
            if (askedEnd < static_cast<int>(reference.frames.size()) - 1) {
                EXPECT_EQ(reader.EndFrame, askedEnd);
            }
            if (std::string(fixtures[module]) != "mpeg2_stereo_22k.mp3") {  // nearly alike: see Mp3IndexTest
                const std::vector<uint8_t> frames = test::Concat(reference, reader.StartFrame, reader.EndFrame);
                ASSERT_EQ(d.bytes, frames.size());
                EXPECT_EQ(std::memcmp(want.Data(), frames.data(), d.bytes), 0);
            }
            // The header goes over the first decoded bytes.
            WriteWaveHeader(want.Data(), static_cast<uint32_t>(d.bytes), d.channels, d.rate);
            wave::ScaleAndFade(want.Data() + 44, static_cast<int>((d.bytes - 44) / 2), d.rate, d.channels, r.add);
            SoundBuilder builder(db, addTime, dir.Path());
            for (int pass = 0; pass < 2; ++pass) {
                SoundBuffer got;
                ASSERT_EQ(builder.BuildItemWave(got, id), 5);
                ASSERT_EQ(got.ImageBytes(), d.bytes) << "pass " << pass;
                EXPECT_EQ(std::memcmp(got.Data(), want.Data(), d.bytes), 0) << "pass " << pass;
                EXPECT_EQ(got.DurationMs, range.durationMs);
            }
        }
    }
}

TEST_F(BuilderTest, ExtraTimeWidensAndFades) {
    CopyFixture("mpeg2_mono_22k.mp3", "m.mp3");
    AddModule(1, "m.mp3");
    AddItem(1, 1, 11025, 16000);  // starts 1 s into the module
    addTime = 3.0f;
    SoundBuilder builder(db, addTime, dir.Path());
    SoundBuffer buffer;
    builder.BuildItemWave(buffer, 1);
    EXPECT_FLOAT_EQ(buffer.DurationMs, (16000.0f + 33075.0f) / 11025.0f * 1000.0f);
    const uint8_t* samples = buffer.Data() + 44;
    EXPECT_EQ(Value(samples, 0), 0);  // the fade-in starts from silence
    const auto envelopeHolds = [&](int fade) {
        const size_t n = (buffer.ImageBytes() - 44) / 2;
        for (int i = 0; i < fade; ++i) {
            ASSERT_LE(std::abs(Value(samples, i)), 30000.0 * i / fade + 1) << i;
            ASSERT_LE(std::abs(Value(samples, n - 1 - i)), 30000.0 * (i + 1) / fade + 1) << i;
        }
    };
    envelopeHolds(22050);  // one second: the fade is at most 1 s long

    // Half a second: start 11025 - 5512.5 and end 16000 + 5512.5, truncated; fades of 0.5 s.
    addTime = 0.5f;
    builder.BuildItemWave(buffer, 1);
    EXPECT_FLOAT_EQ(buffer.DurationMs, (21512.0f - 5512.0f) / 11025.0f * 1000.0f);
    envelopeHolds(11025);
}

TEST_F(BuilderTest, PositionsOfTheHpModuleAreQuartered) {
    CopyFixture("mpeg2_mono_22k.mp3", "plain.mp3");
    CopyFixture("mpeg2_mono_22k.mp3", "HP_02_28_2b.mp3");
    AddModule(1, "plain.mp3");
    AddModule(2, "HP_02_28_2b.mp3");
    AddItem(1, 1, 3000, 9000);
    AddItem(2, 2, 12000, 36000);
    SoundBuilder builder(db, addTime, dir.Path());
    SoundBuffer plain, hp;
    builder.BuildItemWave(plain, 1);
    builder.BuildItemWave(hp, 2);
    ASSERT_EQ(plain.ImageBytes(), hp.ImageBytes());
    EXPECT_EQ(std::memcmp(plain.Data(), hp.Data(), plain.ImageBytes()), 0);
    EXPECT_FLOAT_EQ(hp.DurationMs, plain.DurationMs);
}

TEST_F(BuilderTest, MissingRowsAndFilesGiveAnEmptyImage) {
    CopyFixture("mpeg2_mono_22k.mp3", "good.mp3");
    test::WriteBytes(dir.Path() + "/Data/garbage.mp3", std::vector<uint8_t>(30000, 0x5A));
    const auto whole = test::ReadBytes(test::SoundFixture("mpeg2_mono_22k.mp3"));
    test::WriteBytes(dir.Path() + "/Data/ten.mp3", std::vector<uint8_t>(whole.begin(), whole.begin() + 1000));
    AddModule(1, "good.mp3");
    AddModule(2, "missing.mp3");
    AddModule(3, "garbage.mp3");
    AddModule(4, "ten.mp3");
    AddModule(5, "");
    AddItem(1, 1, 0, 20000);
    AddItem(2, 2, 0, 20000);
    AddItem(3, 3, 0, 20000);
    AddItem(4, 4, 0, 20000);
    AddItem(5, 5, 0, 20000);
    AddItem(6, 99, 0, 20000);  // no such module
    SoundBuilder builder(db, addTime, dir.Path());
    for (int item : {2, 3, 4, 5, 6, 1234}) {
        SCOPED_TRACE(item);
        SoundBuffer buffer;
        builder.BuildItemWave(buffer, 1);  // a good sound first: nothing of it may remain
        ASSERT_GT(buffer.ImageBytes(), 44u);
        EXPECT_EQ(builder.BuildItemWave(buffer, item), 5);
        ExpectEmpty(buffer);
    }
    // No database connection at all.
    const Database closed;
    SoundBuilder noDb(closed, addTime, dir.Path());
    SoundBuffer buffer;
    noDb.BuildItemWave(buffer, 1);
    ExpectEmpty(buffer);
}

TEST_F(BuilderTest, LongRangesAreCutAtTheBuffer) {
    const auto one = test::ReadBytes(test::SoundFixture("mpeg2_mono_22k.mp3"));
    std::vector<uint8_t> many;
    while (many.size() < 1000000) many.insert(many.end(), one.begin(), one.end());
    test::WriteBytes(dir.Path() + "/Data/long.mp3", many);
    AddModule(1, "long.mp3");
    AddItem(1, 1, 0, INT_MAX);
    SoundBuilder builder(db, addTime, dir.Path());
    SoundBuffer buffer;
    builder.BuildItemWave(buffer, 1);
    const size_t t = buffer.ImageBytes();
    EXPECT_EQ(t, 8388608u / 1152 * 1152);
    EXPECT_EQ(U32(buffer.Data() + 4), t - 8);
}

TEST(SoundRowStore, Callback) {
    SoundRow row;
    const char* names[] = {"ididnt", "isndbg", "stract", "strind", "max(igansw)", "sfname", "unknown", "ianswr"};
    const char* values[] = {"12", "-40x", "it#*#s", "a#*#b", "7", "lesson.mp3", "9", nullptr};
    row.ianswr = 3;
    StoreCurrentRow(row, 8, const_cast<char**>(values), const_cast<char**>(names));
    EXPECT_EQ(row.ididnt, 12);
    EXPECT_EQ(row.isndbg, -40);
    EXPECT_EQ(row.stract, "it's");
    EXPECT_EQ(row.strind, "a#*#b");
    EXPECT_EQ(row.IntAggregate, 7);
    EXPECT_EQ(row.sfname, "lesson.mp3");
    EXPECT_EQ(row.ianswr, 3);  // NULL leaves the field alone
}

}  // namespace
}  // namespace lq
