// The committed modules (the demo module in Data/ and the test module): the sound really holds
// a spoken sentence between each index record's positions and silence in the gaps; the text,
// translation and index files agree; every picture is a JPEG that decodes.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <QImage>
#include <cmath>

#include "modules/ModuleFiles.h"
#include "platform/Cp1251.h"
#include "tests/modules/ModuleTestSupport.h"

namespace lq {
namespace {

struct ModuleCase {
    const char* what;
    std::string (*dir)();
    const char* base;
    int sentences;
    int pictures;
};

void PrintTo(const ModuleCase& c, std::ostream* os) { *os << c.what; }

const ModuleCase kModules[] = {
    {"Demo", test::DemoDir, "demo01", 24, 7},
    {"TestModule", test::FixtureDir, "unit07", 3, 2},
};

// libmpg123's full decode as mono 16-bit at 44100 Hz.
std::vector<int16_t> DecodeAll(const std::string& path) {
    std::vector<int16_t> pcm;
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return pcm;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(h);
    mpg123_format(h, 44100, MPG123_MONO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(h, path.c_str()) == MPG123_OK) {
        unsigned char buf[16384];
        size_t done = 0;
        int rc;
        while ((rc = mpg123_read(h, buf, sizeof buf, &done)) == MPG123_OK || rc == MPG123_NEW_FORMAT || done > 0) {
            const auto* s = reinterpret_cast<const int16_t*>(buf);
            pcm.insert(pcm.end(), s, s + done / 2);
            if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
        }
        mpg123_close(h);
    }
    mpg123_delete(h);
    return pcm;
}

int PeakOf(const std::vector<int16_t>& pcm, long from, long to) {
    int peak = 0;
    for (long i = std::max(0L, from); i < std::min<long>(to, static_cast<long>(pcm.size())); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(pcm[static_cast<size_t>(i)])));
    return peak;
}

class ModuleFixtureTest : public ::testing::TestWithParam<ModuleCase> {
protected:
    std::string File(const char* ext) const {
        return GetParam().dir() + "/" + GetParam().base + "." + ext;
    }
};

TEST_P(ModuleFixtureTest, TextTranslationAndIndexAgree) {
    const auto txt = ReadFileBytes(File("txt"));
    const auto txr = ReadFileBytes(File("txr"));
    const auto pos = ReadFileBytes(File("pos"));
    ASSERT_TRUE(txt && txr && pos);
    const auto lines = SplitModuleLines(*txt);
    const auto translations = SplitModuleLines(*txr);
    const auto records = ParsePosFile(*pos);
    EXPECT_EQ(static_cast<int>(lines.size()), GetParam().sentences);
    EXPECT_EQ(translations.size(), lines.size());
    ASSERT_EQ(records.size(), lines.size());
    // The translations are cp1251 Russian, not UTF-8, and some have line breaks.
    EXPECT_FALSE(IsValidUtf8(*txr) && txr->find('\xD0') != std::string::npos);
    EXPECT_NE(txr->find("||"), std::string::npos);
    for (const PosRecord& r : records) {
        EXPECT_NE(r.flag, 0);
        EXPECT_LT(r.start, r.end);
        for (int k = 0; k < r.pictureCount; ++k) {
            EXPECT_GE(r.pictures[k], 0);
            EXPECT_LT(r.pictures[k], GetParam().pictures);
        }
    }
}

TEST_P(ModuleFixtureTest, SpeechBetweenThePositionsSilenceInTheGaps) {
    const auto pos = ReadFileBytes(File("pos"));
    ASSERT_TRUE(pos);
    const auto records = ParsePosFile(*pos);
    const std::vector<int16_t> pcm = DecodeAll(File("mp3"));
    ASSERT_FALSE(records.empty());
    ASSERT_FALSE(pcm.empty());
    // Positions are in samples of 1/11025 s; the sound runs at 44100 Hz. Encoder and decoder
    // delay shift it by about 1105 samples, far less than the one-second gaps.
    constexpr long kScale = 4, kGap = 44100, kMargin = 4410;
    long previousEnd = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        const long b = records[i].start * kScale, e = records[i].end * kScale;
        EXPECT_EQ(b - previousEnd, kGap);
        EXPECT_LT(PeakOf(pcm, previousEnd + kMargin, b - kMargin), 300);
        EXPECT_GT(PeakOf(pcm, b, e + 2000), 5000);
        previousEnd = e;
    }
    EXPECT_LT(PeakOf(pcm, previousEnd + kMargin, previousEnd + kGap - kMargin), 300);
    EXPECT_GE(static_cast<long>(pcm.size()), previousEnd + kGap);
    EXPECT_LE(static_cast<long>(pcm.size()), previousEnd + kGap + 3 * 1152 + 1105);
}

TEST_P(ModuleFixtureTest, MonoConstantBitrateMpeg1WithoutTagFrame) {
    const auto mp3 = ReadFileBytes(File("mp3"));
    ASSERT_TRUE(mp3 && mp3->size() > 4);
    const auto b = reinterpret_cast<const unsigned char*>(mp3->data());
    // The file starts with a frame: MPEG-1 Layer III, 44100 Hz, single channel.
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1] & 0xFE, 0xFA);
    EXPECT_EQ((b[2] >> 2) & 3, 0);
    EXPECT_EQ(b[3] >> 6, 3);
    // No Xing/Info tag frame: that would decode as a frame of silence before the sound.
    EXPECT_EQ(mp3->find("Info"), std::string::npos);
    EXPECT_EQ(mp3->find("Xing"), std::string::npos);
}

TEST_P(ModuleFixtureTest, PicturesFileHoldsDecodableJpegs) {
    const auto ims = ReadFileBytes(File("ims"));
    ASSERT_TRUE(ims);
    ASSERT_GE(ims->size(), 2008u);
    auto int32At = [&](size_t at) {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v |= static_cast<uint32_t>(static_cast<unsigned char>((*ims)[at + k])) << (8 * k);
        return static_cast<int32_t>(v);
    };
    size_t offset = 2008;
    int count = 0;
    for (int k = 0; k < 500; ++k) {
        const int32_t size = int32At(8 + 4 * k);
        if (size == 0) continue;
        SCOPED_TRACE(k);
        ASSERT_EQ(k, count) << "pictures are numbered from 0 without holes";
        ASSERT_GT(size, 0);
        ASSERT_LE(size, 131072);
        ASSERT_LE(offset + static_cast<size_t>(size), ims->size());
        const QByteArray jpeg(ims->data() + offset, size);
        EXPECT_TRUE(jpeg.startsWith("\xFF\xD8"));
        const QImage image = QImage::fromData(jpeg, "JPEG");
        EXPECT_FALSE(image.isNull());
        EXPECT_LE(image.width(), 320);
        offset += static_cast<size_t>(size);
        ++count;
    }
    EXPECT_EQ(count, GetParam().pictures);
    EXPECT_EQ(offset, ims->size());
}

INSTANTIATE_TEST_SUITE_P(Modules, ModuleFixtureTest, ::testing::ValuesIn(kModules),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace lq
