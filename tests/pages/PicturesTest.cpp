#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "pages/Pictures.h"
#include "tests/pages/PagesTestSupport.h"

namespace lq {
namespace {

// Made by libjpeg-turbo's cjpeg from a 64 x 48 plasma picture:
//   cjpeg -progressive -restart 1 -quality 95 -icc fake.icc small.ppm
// Ten scans with restart markers; the embedded "profile" holds the bytes of an SOS segment, an
// EOI and an SOF0 of 32767 x 32767, so only a walk over the segments reads it right.
// And a plain grey 16 x 16 one: cjpeg -progressive -grayscale gray16.pgm (six scans, the first 11 bytes).
std::string Fixture(const char* name) {
    std::ifstream in(test::SourceDir() + "/tests/pages/data/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::string RestartsFixture() { return Fixture("progressive-restarts.jpg"); }

std::string MakeProgressiveJpeg(int width, int height, QRgb color) {
    return test::MakeJpeg(width, height, color, true);
}

// The scan `index` (its SOS segment and entropy-coded data) repeated until it stands `times`
// times. The files above hold no SOS bytes after their first Huffman table but in their scans.
std::string RepeatScan(const std::string& jpeg, int index, int times) {
    size_t start = jpeg.find("\xFF\xC4");
    for (int i = 0; i <= index; ++i) start = jpeg.find("\xFF\xDA", start + 2);
    size_t end = start + 2;
    while (true) {
        end = jpeg.find('\xFF', end);
        const unsigned char next = static_cast<unsigned char>(jpeg.at(end + 1));
        if (next != 0x00 && (next < 0xD0 || next > 0xD7)) break;
        end += 2;
    }
    const std::string scan = jpeg.substr(start, end - start);
    std::string out = jpeg.substr(0, end);
    out.reserve(jpeg.size() + scan.size() * static_cast<size_t>(times));
    for (int i = 1; i < times; ++i) out += scan;
    return out + jpeg.substr(end);
}

// A JPEG whose frame says width x height, followed only by its first scan's header and a few
// bytes of data: the decoder would make up the rest of the pixels.
std::string DeclareSize(std::string jpeg, int width, int height) {
    const size_t sof = jpeg.find("\xFF\xC0");
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    const size_t sos = jpeg.find("\xFF\xDA");
    return jpeg.substr(0, sos + 2 + 12 + 8);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class PicturesFile : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        jpegs = {test::MakeJpeg(20, 10, qRgb(255, 0, 0)), test::MakeJpeg(30, 15, qRgb(0, 255, 0)),
                 test::MakeJpeg(40, 25, qRgb(0, 0, 255))};
    }
    std::string Write(const std::string& bytes) { return dir.Write("Data/t.ims", bytes); }
    test::TempDir dir;
    std::vector<std::string> jpegs;
};

TEST_F(PicturesFile, PicturesAreFoundByTheSizeTable) {
    ImsFile f;
    ASSERT_TRUE(f.Open(Write(test::MakeIms(jpegs))));
    const QSize expected[] = {{20, 10}, {30, 15}, {40, 25}};
    for (int k = 0; k < 3; ++k) {
        const auto bytes = f.ReadPicture(k);
        ASSERT_TRUE(bytes) << k;
        EXPECT_EQ(std::string(bytes->begin(), bytes->end()), jpegs[static_cast<size_t>(k)]) << k;
        EXPECT_EQ(DecodePicture(*bytes).size(), expected[k]) << k;
    }
}

TEST_F(PicturesFile, BadEntriesGiveNoPicture) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int32_t>> overrides;
        int number;
    };
    const Case cases[] = {
        {"number past the table", {}, 500},
        {"negative number", {}, -1},
        {"empty slot", {}, 3},
        {"size over 128 KiB", {{1, 200000}}, 1},
        {"negative size", {{1, -5}}, 1},
        {"after a negative size", {{1, -5}}, 2},
        {"data past the end of the file", {{2, 100000}}, 2},
    };
    for (const Case& c : cases) {
        ImsFile f;
        ASSERT_TRUE(f.Open(Write(test::MakeIms(jpegs, c.overrides)))) << c.what;
        EXPECT_FALSE(f.ReadPicture(c.number)) << c.what;
        EXPECT_TRUE(f.ReadPicture(0)) << c.what;  // the file stays usable
    }
}

TEST_F(PicturesFile, ShortOrMissingFilesDoNotOpen) {
    ImsFile f;
    EXPECT_FALSE(f.Open(dir.File("none.ims")));
    EXPECT_FALSE(f.Open(Write(std::string(2007, '\0'))));
    EXPECT_FALSE(f.ReadPicture(0));
}

TEST_F(PicturesFile, UndecodableDataIsSkippedAndTheProcessGoesOn) {
    std::string flipped = jpegs[1];
    for (size_t i = 20; i < flipped.size(); ++i) flipped[i] = static_cast<char>(0xFF ^ flipped[i]);
    const std::string notJpeg(500, 'x');
    const std::string badMarkers = std::string("\xFF\xD8\xFF\xC0\x00\x02", 6) + std::string(300, '\x01');
    ImsFile f;
    ASSERT_TRUE(f.Open(Write(test::MakeIms({jpegs[0], flipped, notJpeg, badMarkers, jpegs[2]}))));
    (void)DecodePicture(*f.ReadPicture(1));  // whatever comes out, the process goes on
    EXPECT_TRUE(DecodePicture(*f.ReadPicture(2)).isNull());
    EXPECT_TRUE(DecodePicture(*f.ReadPicture(3)).isNull());
    EXPECT_EQ(DecodePicture(*f.ReadPicture(4)).size(), QSize(40, 25));
    EXPECT_TRUE(DecodePicture({}).isNull());
    ImsFile again;
    EXPECT_TRUE(again.Open(dir.File("Data/t.ims")));
}

TEST_F(PicturesFile, TheDemoModulesPicturesDecode) {
    ImsFile f;
    ASSERT_TRUE(f.Open(test::SourceDir() + "/Data/demo01.ims"));
    for (int k = 0; k < 7; ++k) {
        const auto bytes = f.ReadPicture(k);
        ASSERT_TRUE(bytes) << k;
        EXPECT_FALSE(DecodePicture(*bytes).isNull()) << k;
    }
}

// ---- the marker segments ----

TEST(JpegOutline, SegmentsAreWalkedNotSearched) {
    test::EnsureGuiApp();
    const std::string fixture = RestartsFixture();
    ASSERT_GT(fixture.size(), 2000u);
    // A stuffed 0xFF00, fill bytes and restart markers inside a scan, then fill bytes before a marker.
    const std::string sof = std::string("\xFF\xC0\x00\x0B\x08\x00\x30\x00\x40\x01\x01\x11\x00", 13);
    const std::string sos = std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    const std::string data = std::string("\x12\xFF\x00\xDA\xFF\xD3\x56\xFF\xFF\xD5\xDA", 11);
    const std::string handMade = std::string("\xFF\xD8", 2) + sof + sos + data + sos + data + "\xFF\xFF\xFF\xD9" + sos;
    struct Case {
        const char* what;
        std::string jpeg;
        int scanLimit;
        JpegOutline expected;
    };
    const Case cases[] = {
        {"cjpeg's progressive file with restarts and a profile", fixture, 32, {true, 64, 48, 10}},
        {"stuffing, restarts and fill bytes", handMade, 32, {true, 64, 48, 2}},
        {"cut inside its last scan", fixture.substr(0, fixture.size() - 40), 32, {true, 64, 48, 10}},
        {"counting stops past the limit", RepeatScan(fixture, 0, 10000), 32, {true, 64, 48, 33}},
        {"the frame's size", DeclareSize(test::MakeJpeg(8, 8, qRgb(1, 2, 3)), 5790, 5790), 32, {true, 5790, 5790, 1}},
        {"no JPEG", std::string(300, 'x'), 32, {}},
        {"only the start marker", std::string("\xFF\xD8", 2), 32, {}},
    };
    for (const Case& c : cases) {
        const JpegOutline o = ReadJpegOutline(c.jpeg.data(), c.jpeg.size(), c.scanLimit);
        EXPECT_EQ(o.Frame, c.expected.Frame) << c.what;
        EXPECT_EQ(o.Width, c.expected.Width) << c.what;
        EXPECT_EQ(o.Height, c.expected.Height) << c.what;
        EXPECT_EQ(o.Scans, c.expected.Scans) << c.what;
    }
    const std::string progressive = MakeProgressiveJpeg(40, 30, qRgb(9, 90, 200));
    EXPECT_EQ(ReadJpegOutline(progressive.data(), progressive.size()).Scans, 10);  // libjpeg's script

    // Every cut of the file is read within its bytes (exactly sized copies, for the sanitizers).
    int lastScans = 0;
    for (size_t n = 0; n <= fixture.size(); ++n) {
        const std::vector<char> cut(fixture.begin(), fixture.begin() + static_cast<std::ptrdiff_t>(n));
        const JpegOutline o = ReadJpegOutline(cut.data(), cut.size());
        ASSERT_GE(o.Scans, lastScans) << n;
        ASSERT_LE(o.Scans, 10) << n;
        lastScans = o.Scans;
    }
}

// ---- pictures that would hold the window or fill the memory ----

struct HostilePicture {
    const char* what;
    std::string jpeg;
    bool shown;
    QSize size;  // when shown
};

std::vector<HostilePicture> HostilePictures() {
    const std::string fixture = RestartsFixture();
    const std::string wide = MakeProgressiveJpeg(2048, 2048, qRgb(200, 120, 40));
    return {
        {"cjpeg's progressive file", fixture, true, {64, 48}},
        {"a grey one's first scan 10,000 times", RepeatScan(Fixture("progressive-gray16.jpg"), 0, 10000), false, {}},
        {"32 scans in all", RepeatScan(fixture, 0, 23), true, {64, 48}},
        {"33 scans in all", RepeatScan(fixture, 0, 24), false, {}},
        {"4 megapixels, an AC scan 5,000 times", RepeatScan(wide, 1, 5000), false, {}},
        {"4 megapixels at the bound", wide, true, {2048, 2048}},
        {"8192 x 512 at the bound", test::MakeJpeg(8192, 512, qRgb(0, 0, 0)), true, {8192, 512}},
        {"declared 5790 x 5790", DeclareSize(test::MakeJpeg(8, 8, qRgb(200, 10, 10)), 5790, 5790), false, {}},
        {"declared 65535 x 65535", DeclareSize(test::MakeJpeg(8, 8, qRgb(200, 10, 10)), 65535, 65535), false, {}},
        {"declared 0 high", DeclareSize(test::MakeJpeg(8, 8, qRgb(200, 10, 10)), 100, 0), false, {}},
        {"a real 2049 x 2048", test::MakeJpeg(2049, 2048, qRgb(30, 30, 30)), false, {}},
        {"a real 4096 x 4096", MakeProgressiveJpeg(4096, 4096, qRgb(255, 255, 255)), false, {}},
    };
}

TEST(HostilePictures, OnlyPicturesWithinTheBoundsAreDecoded) {
    test::EnsureGuiApp();
    for (const HostilePicture& p : HostilePictures()) {
        ASSERT_LE(p.jpeg.size(), static_cast<size_t>(kMaxPictureBytes)) << p.what;
        std::string refusal;
        const auto start = std::chrono::steady_clock::now();
        const QImage image = DecodePicture(std::vector<char>(p.jpeg.begin(), p.jpeg.end()), &refusal);
        const double seconds = SecondsSince(start);
        EXPECT_EQ(!image.isNull(), p.shown) << p.what << ": " << refusal;
        if (p.shown) {
            EXPECT_EQ(image.size(), p.size) << p.what;
            EXPECT_EQ(refusal, "") << p.what;
        } else {
            EXPECT_NE(refusal, "") << p.what;
        }
        EXPECT_LT(seconds, 1.0) << p.what;  // each well under that; generous for a loaded machine
    }
}

TEST(PictureFileName, ExtensionIsReplacedAndCaseIgnored) {
    test::TempDir dir;
    dir.Write("data/Lesson.IMS", "x");
    EXPECT_EQ(PictureFilePath(dir.Path(), "lesson.mp3"), dir.Path() + "/data/Lesson.IMS");
    EXPECT_EQ(PictureFilePath(dir.Path(), "other.mp3"), "");
    EXPECT_EQ(PictureFilePath(dir.Path(), ""), "");
    dir.Write("Data/plain.ims", "x");
    EXPECT_EQ(PictureFilePath(dir.Path(), "plain"), dir.Path() + "/Data/plain.ims");
}

// ---- the sentence's pictures ----

class SentencePicturesLoad : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        f.dir.Write("Data/unit.ims", test::MakeIms({test::MakeJpeg(20, 10, qRgb(255, 0, 0)),
                                                    test::MakeJpeg(30, 15, qRgb(0, 255, 0)),
                                                    test::MakeJpeg(40, 25, qRgb(0, 0, 255))}));
        withFile = f.InsertSound("unit.mp3");
        withoutFile = f.InsertSound("nothing.mp3");
    }
    test::PagesFixture f;
    int withFile = 0, withoutFile = 0;
    SentencePictures pictures;
};

TEST_F(SentencePicturesLoad, OnlyDecodedPicturesAreCounted) {
    const int a = f.InsertItem("Two pictures.", withFile, 2, {2, 0});
    const int b = f.InsertItem("No file.", withoutFile, 2, {0, 1});
    const int c = f.InsertItem("Seven pictures.", withFile, 7, {0, 1, 2, 0, 1});
    const int d = f.InsertItem("Bad numbers.", withFile, 3, {499, -1, 1});

    f.state.CurrentItemId = a;
    LoadItemImages(f.ctx, pictures);
    ASSERT_EQ(pictures.Count, 2);
    EXPECT_EQ(pictures.Images[0].size(), QSize(40, 25));
    EXPECT_EQ(pictures.Images[1].size(), QSize(20, 10));

    f.state.CurrentItemId = b;  // never the previous sentence's pictures
    LoadItemImages(f.ctx, pictures);
    EXPECT_EQ(pictures.Count, 0);
    EXPECT_TRUE(pictures.Images[0].isNull());

    f.state.CurrentItemId = c;
    LoadItemImages(f.ctx, pictures);
    EXPECT_EQ(pictures.Count, 5);

    f.state.CurrentItemId = d;
    LoadItemImages(f.ctx, pictures);
    ASSERT_EQ(pictures.Count, 1);
    EXPECT_EQ(pictures.Images[0].size(), QSize(30, 15));

    f.state.CurrentItemId = 9999;  // no such sentence
    LoadItemImages(f.ctx, pictures);
    EXPECT_EQ(pictures.Count, 0);
}

TEST_F(SentencePicturesLoad, APictureNamedFiveTimesIsDecodedOnce) {
    const std::string big = MakeProgressiveJpeg(2048, 2048, qRgb(10, 200, 10));
    f.dir.Write("Data/five.ims", test::MakeIms({test::MakeJpeg(20, 10, qRgb(255, 0, 0)), big}));
    const int sound = f.InsertSound("five.mp3");
    f.state.CurrentItemId = f.InsertItem("Five times one.", sound, 5, {1, 1, 0, 1, 1});
    LoadItemImages(f.ctx, pictures);
    ASSERT_EQ(pictures.Count, 5);
    const QSize expected[] = {{2048, 2048}, {2048, 2048}, {20, 10}, {2048, 2048}, {2048, 2048}};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(pictures.Images[static_cast<size_t>(i)].size(), expected[i]) << i;
    // One decode: the four slots share one set of pixels.
    for (int i : {1, 3, 4}) EXPECT_EQ(pictures.Images[static_cast<size_t>(i)].constBits(), pictures.Images[0].constBits()) << i;
    const std::vector<QRect> drawn = LayoutPictures({expected[0], expected[1], expected[2], expected[3], expected[4]}, 464);
    EXPECT_EQ(drawn[2], QRect(0, 2 * 2050, 250, 125));
}

TEST_F(SentencePicturesLoad, HostilePicturesLeaveTheirSlotsEmptyAndTheLoadStaysQuick) {
    const std::vector<HostilePicture> all = HostilePictures();
    std::vector<std::string> jpegs;
    for (const HostilePicture& p : all) jpegs.push_back(p.jpeg);
    f.dir.Write("Data/hostile.ims", test::MakeIms(jpegs));
    const int sound = f.InsertSound("hostile.mp3");
    // 0 shown, 1 repeated scans, 4 a repeated AC scan, 7 declared huge, 11 really huge.
    const int mixed = f.InsertItem("Mixed.", sound, 5, {1, 0, 7, 4, 11});
    const int repeated = f.InsertItem("Repeated.", sound, 5, {1, 1, 1, 1, 1});
    const int declared = f.InsertItem("Declared.", sound, 5, {7, 7, 7, 7, 7});
    for (const int id : {mixed, repeated, declared}) {
        f.state.CurrentItemId = id;
        const auto start = std::chrono::steady_clock::now();
        LoadItemImages(f.ctx, pictures);
        EXPECT_LT(SecondsSince(start), 2.0) << id;
        EXPECT_EQ(pictures.Count, id == mixed ? 1 : 0) << id;
        for (size_t i = static_cast<size_t>(pictures.Count); i < kMaxSentencePictures; ++i)
            EXPECT_TRUE(pictures.Images[i].isNull()) << id << " " << i;
    }
    f.state.CurrentItemId = mixed;
    LoadItemImages(f.ctx, pictures);
    EXPECT_EQ(pictures.Images[0].size(), QSize(64, 48));
}

TEST_F(SentencePicturesLoad, AnEmptyDatabaseLoadsNothing) {
    pictures.Count = 1;
    f.state.ItemCount = 0;
    LoadItemImages(f.ctx, pictures);
    EXPECT_EQ(pictures.Count, 1);
}

// ---- the layout ----

TEST(PictureLayout, RowsAndStretching) {
    struct Case {
        const char* what;
        std::vector<QSize> sizes;
        int viewWidth;
        std::vector<QRect> expected;
    };
    const Case cases[] = {
        {"narrow picture stretched", {{200, 150}}, 464, {QRect(0, 0, 250, 187)}},
        {"two wide pictures in two rows", {{300, 100}, {300, 120}}, 448, {QRect(0, 0, 300, 100), QRect(0, 102, 300, 120)}},
        {"300 + 260 + 2 fit in 565", {{300, 100}, {260, 90}}, 565, {QRect(0, 0, 300, 100), QRect(302, 0, 260, 90)}},
        {"the next width is the stretched one", {{300, 100}, {100, 50}}, 600, {QRect(0, 0, 300, 100), QRect(302, 0, 250, 125)}},
        {"a picture without area is left out",
         {{300, 100}, {0, 50}, {300, 80}},
         610,
         {QRect(0, 0, 300, 100), QRect(), QRect(302, 0, 300, 80)}},
        {"a new row starts below the last picture, not the tallest",
         {{300, 400}, {300, 100}, {300, 50}},
         610,
         {QRect(0, 0, 300, 400), QRect(302, 0, 300, 100), QRect(0, 102, 300, 50)}},
        {"a wide picture is never shrunk", {{900, 60}}, 300, {QRect(0, 0, 900, 60)}},
        {"no pictures", {}, 464, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(LayoutPictures(c.sizes, c.viewWidth), c.expected) << c.what;
}

}  // namespace
}  // namespace lq
