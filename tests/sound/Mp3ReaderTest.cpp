// The MP3 reader: header fields, the chain of frames (tags, junk, breaks), the measured frame
// duration and the range rules. The decoded samples of every fixture, against libmpg123's decode
// of the whole file, are Mp3IndexTest's.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>

#include "sound/Mp3Reader.h"
#include "tests/sound/SoundTestSupport.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

using test::SoundFixture;

struct HeaderCase {
    uint8_t bytes[4];
    bool valid;
    int version, layer, kbps, rate, channels, padding;
    float length;
};

TEST(Mp3Header, FieldsAndLength) {
    const HeaderCase cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, true, 1, 3, 128, 44100, 2, 0, 417.959198f},  // MPEG-1 L3 joint stereo
        {{0xFF, 0xFB, 0x92, 0xC4}, true, 1, 3, 128, 44100, 1, 1, 417.959198f},  // padded, mono
        {{0xFF, 0xFB, 0x58, 0xC4}, true, 1, 3, 64, 32000, 1, 0, 288.0f},
        {{0xFF, 0xFD, 0x94, 0x00}, true, 1, 2, 160, 48000, 2, 0, 480.0f},       // MPEG-1 Layer II
        {{0xFF, 0xF3, 0x40, 0xC4}, true, 2, 3, 32, 22050, 1, 0, 104.489799f},   // MPEG-2 L3
        {{0xFF, 0xF3, 0x80, 0x00}, true, 2, 3, 64, 22050, 2, 0, 208.979599f},
        {{0xFF, 0xE3, 0x40, 0xC0}, true, 3, 3, 32, 11025, 1, 0, 208.979599f},   // MPEG-2.5 L3
        {{0xFF, 0xE3, 0x18, 0xC0}, true, 3, 3, 8, 8000, 1, 0, 72.0f},
        {{0xFF, 0xEB, 0x90, 0x00}, true, -1, 3, 1, 1, 2, 0, 144000.0f},         // reserved version
        {{0xFF, 0xF9, 0x90, 0x00}, true, 1, -1, 1, 44100, 2, 0, 3.26530600f},   // reserved layer
        {{0xFF, 0xFB, 0x00, 0x64}, false},                                       // free bitrate
        {{0xFF, 0xFB, 0xF0, 0x64}, false},                                       // bitrate index 15
        {{0xFF, 0xFB, 0x9C, 0x64}, false},                                       // rate index 3
        {{0xFF, 0x7B, 0x90, 0x64}, false},                                       // sync broken
        {{0xFE, 0xFB, 0x90, 0x64}, false},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.bytes[0]) << ' ' << int(c.bytes[1]) << ' '
                                        << int(c.bytes[2]) << ' ' << int(c.bytes[3]));
        Mp3FrameHeader h;
        ASSERT_EQ(ParseMp3FrameHeader(c.bytes, h), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(h.Version, c.version);
        EXPECT_EQ(h.Layer, c.layer);
        EXPECT_EQ(h.BitrateKbps, c.kbps);
        EXPECT_EQ(h.SampleRate, c.rate);
        EXPECT_EQ(h.Channels, c.channels);
        EXPECT_EQ(h.Padding, c.padding);
        EXPECT_FLOAT_EQ(h.Length(), c.length);
    }
}

TEST(Mp3Reader, BytesBeforeTheFirstFrameAreSkipped) {
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(SoundFixture("id3v2_mono_11k.mp3")));
    const auto bytes = test::ReadBytes(SoundFixture("id3v2_mono_11k.mp3"));
    ASSERT_EQ(std::memcmp(bytes.data(), "ID3", 3), 0);
    EXPECT_GT(reader.FrameTable()[0], 10u);
}

// The byte runs one after the other (sized once: GCC 12 at -O3 misreads growing a small vector).
std::vector<uint8_t> Joined(std::initializer_list<std::pair<const uint8_t*, size_t>> runs) {
    size_t total = 0;
    for (const auto& r : runs) total += r.second;
    std::vector<uint8_t> out(total);
    size_t at = 0;
    for (const auto& r : runs) {
        if (r.second) std::memcpy(out.data() + at, r.first, r.second);
        at += r.second;
    }
    return out;
}

// An ID3v2 tag at the start is stepped over by the size it declares (seven bits a byte, ten bytes
// more for a version 4 footer), though its body holds a run of frame headers; a tag that declares
// more than the file holds is no tag, and the search runs through it.
TEST(Mp3Reader, Id3v2TagIsSkippedByItsSize) {
    test::TempDir dir;
    const auto frames = test::ReadBytes(SoundFixture("mpeg2_mono_22k.mp3"));
    TMyPlayer0802 plain;
    ASSERT_TRUE(plain.Open(SoundFixture("mpeg2_mono_22k.mp3")));
    // Four MPEG-1 headers 417 bytes apart: a run of three to a search that looks inside the tag.
    std::vector<uint8_t> body(2000 + 128 + 5, 0);
    for (size_t at = 300; at < 300 + 4 * 417; at += 417) std::memcpy(&body[at], "\xFF\xFB\x90\x64", 4);
    const uint8_t size[4] = {0x00, 0x00, 0x10, 0x55};  // 2133 = 16 * 128 + 85
    const struct {
        const char* name;
        uint8_t version, flags;
        bool footer;
    } tags[] = {{"v3", 3, 0x00, false}, {"v3 flag", 3, 0x10, false}, {"v4", 4, 0x00, false}, {"v4 footer", 4, 0x10, true}};
    for (const auto& t : tags) {
        SCOPED_TRACE(t.name);
        const uint8_t header[10] = {'I', 'D', '3', t.version, 0, t.flags, size[0], size[1], size[2], size[3]};
        const uint8_t footer[10] = {'3', 'D', 'I', t.version, 0, t.flags, size[0], size[1], size[2], size[3]};
        std::vector<uint8_t> bytes = Joined({{header, 10}, {body.data(), body.size()}, {footer, t.footer ? 10u : 0u}});
        const uint32_t skip = static_cast<uint32_t>(bytes.size());
        bytes = Joined({{bytes.data(), bytes.size()}, {frames.data(), frames.size()}});
        test::WriteBytes(dir.File("tag.mp3"), bytes);
        TMyPlayer0802 reader;
        ASSERT_TRUE(reader.Open(dir.File("tag.mp3")));
        ASSERT_EQ(reader.FrameCount(), plain.FrameCount());
        for (int i = 0; i < plain.FrameCount(); ++i) ASSERT_EQ(reader.FrameTable()[i], plain.FrameTable()[i] + skip) << i;
    }
    // Declared beyond the end of the file: the headers inside are a run like any other.
    const uint8_t longHeader[10] = {'I', 'D', '3', 3, 0, 0, 0x7F, 0, 0, 0};
    const std::vector<uint8_t> bytes =
        Joined({{longHeader, 10}, {body.data(), body.size()}, {frames.data(), frames.size()}});
    test::WriteBytes(dir.File("long_tag.mp3"), bytes);
    TMyPlayer0802 reader;
    reader.Open(dir.File("long_tag.mp3"));
    ASSERT_GT(reader.FrameCount(), 0);
    EXPECT_EQ(reader.FrameTable()[0], 10u + 300u);
}

// Text of an ID3v1 tag between two joined files that looks like a run of (reserved-layer) frames:
// the tag is stepped over as a whole, and the table is the one of the join without that text.
TEST(Mp3Reader, Id3v1TagAtAJoinIsSteppedOver) {
    test::TempDir dir;
    auto bytes = test::ReadBytes(SoundFixture("joined_mono_22k.mp3"));
    TMyPlayer0802 plain;
    ASSERT_TRUE(plain.Open(SoundFixture("joined_mono_22k.mp3")));
    const auto tag = std::search(bytes.begin(), bytes.end(), std::begin("TAGFirst"), std::end("TAGFirst") - 1);
    ASSERT_NE(tag, bytes.end());
    for (int k = 0; k < 6; ++k) std::memcpy(&*(tag + 33 + 3 * k), "\xFF\xF9\x90", 3);  // the artist
    test::WriteBytes(dir.File("join.mp3"), bytes);
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(dir.File("join.mp3")));
    EXPECT_EQ(reader.FrameTable(), plain.FrameTable());
}

// Junk longer than one read piece before the first frame: the chain is still found.
TEST(Mp3Reader, LongJunkBeforeTheFirstFrame) {
    test::TempDir dir;
    const auto frames = test::ReadBytes(SoundFixture("mpeg2_mono_22k.mp3"));
    std::vector<uint8_t> bytes(1500000, 0);
    for (size_t i = 0; i < bytes.size(); i += 997) bytes[i] = 0xFF;  // lone sync bytes, no header
    bytes.insert(bytes.end(), frames.begin(), frames.end());
    test::WriteBytes(dir.File("junk.mp3"), bytes);
    TMyPlayer0802 plain, junk;
    ASSERT_TRUE(plain.Open(SoundFixture("mpeg2_mono_22k.mp3")));
    ASSERT_TRUE(junk.Open(dir.File("junk.mp3")));
    ASSERT_EQ(junk.FrameCount(), plain.FrameCount());
    for (int i = 0; i < plain.FrameCount(); ++i) EXPECT_EQ(junk.FrameTable()[i], plain.FrameTable()[i] + 1500000u);
}

TEST(Mp3Reader, PaddedFramesAreOneByteLonger) {
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(SoundFixture("mpeg1_stereo_44k.mp3")));
    const auto bytes = test::ReadBytes(SoundFixture("mpeg1_stereo_44k.mp3"));
    int padded = 0;
    for (int i = 0; i + 1 < reader.FrameCount(); ++i) {
        const uint32_t at = reader.FrameTable()[i];
        const uint32_t length = reader.FrameTable()[i + 1] - at;
        Mp3FrameHeader h;
        ASSERT_TRUE(ParseMp3FrameHeader(bytes.data() + at, h));
        EXPECT_EQ(length, 417u + static_cast<uint32_t>(h.Padding)) << "frame " << i;
        padded += h.Padding;
    }
    EXPECT_GT(padded, 0);
}

// Frame index = trunc(position * (1/11025) / FrameDuration), in single precision.
TEST(Mp3Reader, SetRangeRows) {
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(SoundFixture("mpeg2_mono_22k.mp3")));  // 576/22050 s: 288 positions a frame
    const struct {
        int position;
        int frame;
    } rows[] = {
        {0, 0}, {287, 0}, {289, 1}, {2879, 9}, {2881, 10}, {-500, -1}, {11025, 38}, {11025 * 60, 2296},
        {INT_MAX, 7456540},
    };
    for (const auto& r : rows) {
        reader.SetRange(0, r.position);
        reader.SetRange(1, r.position);
        EXPECT_EQ(reader.StartFrame, r.frame) << r.position;
        EXPECT_EQ(reader.EndFrame, r.frame) << r.position;
    }
}

TEST(Mp3Reader, RangeClamps) {
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(SoundFixture("mpeg2_mono_22k.mp3")));
    const int count = reader.FrameCount();
    std::vector<uint8_t> out(1 << 20);
    const struct {
        int start, end, wantStart, wantEnd;
    } rows[] = {
        {0, 5, 0, 20},                       // the end is raised to frame 20
        {15, 16, 10, 20},                    // a start less than ten before the end is lowered
        {30, 1000000, 30, count - 1},        // an end beyond the table: its last entry
        {count + 5, count + 9, count - 11, count - 1},
        {-40, 25, 0, 25},
        {INT_MIN, INT_MIN, 0, 20},
    };
    for (const auto& r : rows) {
        reader.StartFrame = r.start;
        reader.EndFrame = r.end;
        const auto d = reader.DecodeRange(out.data(), out.size());
        EXPECT_EQ(reader.StartFrame, r.wantStart) << r.start << ".." << r.end;
        EXPECT_EQ(reader.EndFrame, r.wantEnd) << r.start << ".." << r.end;
        EXPECT_EQ(d.bytes, static_cast<size_t>(r.wantEnd - r.wantStart) * 576 * 2);
    }
}

// The decode never writes beyond its capacity: the sound ends at the last frame that fits.
TEST(Mp3Reader, OutputCapacityCutsAtAFrame) {
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(SoundFixture("mpeg1_stereo_44k.mp3")));
    for (size_t capacity : {size_t{0}, size_t{4607}, size_t{4608}, size_t{3 * 4608 + 100}}) {
        std::vector<uint8_t> out(capacity);  // exact size: the sanitizer sees any overrun
        reader.StartFrame = 5;
        reader.EndFrame = 30;
        const auto d = reader.DecodeRange(out.data(), out.size());
        EXPECT_EQ(d.bytes, capacity / 4608 * 4608) << capacity;
    }
}

// A range longer than the input window stops gathering once 786,431 bytes less the last frame's
// length are reached.
TEST(Mp3Reader, InputWindowEndsLongRanges) {
    test::TempDir dir;
    const auto one = test::ReadBytes(SoundFixture("mpeg2_mono_22k.mp3"));  // no tag frame: whole files chain
    std::vector<uint8_t> many;
    while (many.size() < 1200000) many.insert(many.end(), one.begin(), one.end());
    const std::string path = dir.File("long.mp3");
    test::WriteBytes(path, many);

    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(path));
    const auto& t = reader.FrameTable();
    // The file is read and indexed in pieces: the table is still libmpg123's.
    const test::FullDecode full = test::DecodeWholeFile(path);
    ASSERT_EQ(t.size(), full.offsets.size() - 1);
    for (size_t i = 0; i < t.size(); ++i) ASSERT_EQ(t[i], full.offsets[i]) << i;
    int expectedEnd = 0;
    int64_t gathered = 0, length = 0;
    do {
        length = static_cast<int64_t>(t[expectedEnd + 1]) - t[expectedEnd];
        gathered += length;
        ++expectedEnd;
    } while (expectedEnd < reader.FrameCount() - 1 && gathered < 786431 - length);
    ASSERT_LT(expectedEnd, reader.FrameCount() - 1);

    std::vector<uint8_t> out(16 << 20);
    reader.StartFrame = 0;
    reader.EndFrame = INT_MAX;
    const auto d = reader.DecodeRange(out.data(), out.size());
    EXPECT_EQ(d.bytes, static_cast<size_t>(expectedEnd) * 1152);
    EXPECT_LE(gathered, 786431);

    // 32 kbit/s mono decodes the window to more than a sound buffer holds: the sound is cut at the
    // last whole frame that fits into 8 MiB.
    ASSERT_GT(d.bytes, 8388608u);
    std::vector<uint8_t> buffer(8388608);
    reader.StartFrame = 0;
    reader.EndFrame = INT_MAX;
    const auto cut = reader.DecodeRange(buffer.data(), buffer.size());
    EXPECT_EQ(cut.bytes, 8388608u / 1152 * 1152);
    EXPECT_EQ(std::memcmp(buffer.data(), out.data(), cut.bytes), 0);
}

// Files that are too short, cut, or not MP3 at all: Open fails or the table stops, and nothing
// is read or written out of bounds.
TEST(Mp3Reader, ShortFiles) {
    test::TempDir dir;
    const auto bytes = test::ReadBytes(SoundFixture("mpeg2_mono_22k.mp3"));
    TMyPlayer0802 full;
    ASSERT_TRUE(full.Open(SoundFixture("mpeg2_mono_22k.mp3")));
    // Cut right after frame k: frames 0..k-1 are followed by a header, so k-1 are in the table.
    for (int frames : {3, 10, 11, 12, 13}) {
        const size_t end = full.FrameTable()[frames] + 4;
        const std::string path = dir.File("cut" + std::to_string(frames) + ".mp3");
        test::WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + end));
        TMyPlayer0802 reader;
        const bool opened = reader.Open(path);
        EXPECT_EQ(opened, frames >= 11) << frames;
        if (!opened) {
            EXPECT_FALSE(reader.IsOpen());
            std::vector<uint8_t> out(4096);
            EXPECT_FALSE(reader.DecodeRange(out.data(), out.size()).ok);
            continue;
        }
        EXPECT_EQ(reader.FrameCount(), frames);
        EXPECT_EQ(reader.FrameDuration(), 576.0f / 22050.0f);
        std::vector<uint8_t> out(1 << 16);
        reader.SetRange(0, 0);
        reader.SetRange(1, 1000000);
        const auto d = reader.DecodeRange(out.data(), out.size());
        EXPECT_EQ(reader.StartFrame, 0);
        EXPECT_EQ(reader.EndFrame, frames - 1);
        EXPECT_EQ(d.bytes, static_cast<size_t>(frames - 1) * 1152);
    }
}

TEST(Mp3Reader, NotMp3) {
    test::TempDir dir;
    std::mt19937 random(7);
    std::vector<uint8_t> noise(20000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> syncs(9000, 0xFF);
    // A reserved layer makes frames of 3.3 bytes: a chain of them is found but decodes to nothing.
    std::vector<uint8_t> reservedLayer;
    while (reservedLayer.size() < 6000) reservedLayer.insert(reservedLayer.end(), {0xFF, 0xF9, 0x90});
    // A reserved version makes a 144,000-byte frame whose successor lies beyond the file.
    std::vector<uint8_t> reservedVersion(5000, 0);
    for (size_t i = 0; i + 4 <= reservedVersion.size(); i += 300) std::memcpy(&reservedVersion[i], "\xFF\xEB\x90\x00", 4);
    // Headers right at the end of the data.
    std::vector<uint8_t> tail(4100, 0);
    std::memcpy(&tail[tail.size() - 4], "\xFF\xFB\x90\x64", 4);
    std::memcpy(&tail[tail.size() - 6], "\xFF\xFB", 2);

    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"empty.mp3", {}},       {"noise.mp3", noise}, {"syncs.mp3", syncs}, {"reserved_layer.mp3", reservedLayer},
        {"reserved_version.mp3", reservedVersion}, {"tail.mp3", tail}, {"tiny.mp3", {0xFF, 0xFB, 0x90}},
    };
    for (const auto& [name, content] : files) {
        const std::string path = dir.File(name);
        test::WriteBytes(path, content);
        TMyPlayer0802 reader;
        EXPECT_FALSE(reader.Open(path)) << name;
        EXPECT_FALSE(reader.IsOpen()) << name;
    }
    TMyPlayer0802 reader;
    EXPECT_FALSE(reader.Open(dir.File("missing.mp3")));
    EXPECT_FALSE(reader.Open(dir.Path()));  // a folder
}

TEST(Mp3Reader, CutFileEndsAtTheBreak) {
    TMyPlayer0802 cut, whole;
    ASSERT_TRUE(cut.Open(SoundFixture("cut_mono_22k.mp3")));
    ASSERT_TRUE(whole.Open(SoundFixture("mpeg2_mono_22k.mp3")));
    ASSERT_LT(cut.FrameCount(), whole.FrameCount());
    for (int i = 0; i < cut.FrameCount(); ++i) EXPECT_EQ(cut.FrameTable()[i], whole.FrameTable()[i]);
    EXPECT_LE(cut.FrameTable().back() + 104u, 5001u);
}

TEST(Mp3Reader, DecodeNeedsAFileName) {
    TMyPlayer0802 reader;
    std::vector<uint8_t> out(4096, 0xAB);
    EXPECT_FALSE(reader.DecodeRange(out.data(), out.size()).ok);
    EXPECT_EQ(out[0], 0xAB);
}

}  // namespace
}  // namespace lq
