#include <gtest/gtest.h>

#include "pages/Pictures.h"
#include "tests/pages/PagesTestSupport.h"

namespace lq {
namespace {

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
