// Names, lines and stored texts of module files, and the progress percentage text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Progress.h"
#include "modules/ModuleFiles.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

using ::testing::ElementsAre;

TEST(ModuleNamesTest, NamesFollowFromTheSentenceFile) {
    const auto n = ModuleNames::FromTextName("Unit07.txt");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->text, "Unit07.txt");
    EXPECT_EQ(n->sound, "Unit07.mp3");
    EXPECT_EQ(n->index, "Unit07.pos");
    EXPECT_EQ(n->translation, "Unit07.txr");
    EXPECT_EQ(ModuleKey(n->text), "unit07");
    EXPECT_EQ(ModuleKey(ModuleNames::FromTextName("a.b.txt")->text), "a.b");
    EXPECT_EQ(ModuleNames::FromTextName("x.TXT")->sound, "x.mp3");
}

TEST(ModuleNamesTest, OnlyStemDotThreeCharactersIsAModuleName) {
    for (const char* bad : {"", "a", ".txt", "unit07", "unit07.tx", "unit07.text", "a..tx", "dir/a.txt", "d\\a.txt",
                            "../a.txt"}) {
        EXPECT_FALSE(ModuleNames::FromTextName(bad)) << bad;
    }
}

TEST(ModuleNamesTest, StoredNameKeyDropsTheExtensionAndAsciiCase) {
    EXPECT_EQ(ModuleKey("Unit07.MP3"), "unit07");
    EXPECT_EQ(ModuleKey("a.b.mp3"), "a.b");
    EXPECT_EQ(ModuleKey("noext"), "noext");
    // Only ASCII letters change case: cp1251 capitals stay as they are.
    EXPECT_EQ(ModuleKey("\xC0\xC1.mp3"), "\xC0\xC1");
}

TEST(ModuleLinesTest, SplitsAtCrLfLfAndLoneCr) {
    EXPECT_THAT(SplitModuleLines("a\r\nb\nc\rd"), ElementsAre("a", "b", "c", "d"));
    EXPECT_THAT(SplitModuleLines("a\r\n"), ElementsAre("a"));
    EXPECT_THAT(SplitModuleLines("a\r\n\r\n"), ElementsAre("a", ""));
    EXPECT_THAT(SplitModuleLines("\n\nx"), ElementsAre("", "", "x"));
    EXPECT_TRUE(SplitModuleLines("").empty());
    EXPECT_THAT(SplitModuleLines(" \t a b \x1f\r\n"), ElementsAre("a b"));
    // A UTF-8 byte order mark goes, the text becomes cp1251.
    EXPECT_THAT(SplitModuleLines("\xEF\xBB\xBF\xD0\x94\xD0\xB0\n"), ElementsAre("\xC4\xE0"));
    // cp1251 bytes that are no valid UTF-8 stay as they are.
    EXPECT_THAT(SplitModuleLines("\xC4\xE0\n"), ElementsAre("\xC4\xE0"));
    // The mark goes before cp1251 text too.
    EXPECT_THAT(SplitModuleLines("\xEF\xBB\xBF\xC4\xE0 First\r\nSecond\r\n"), ElementsAre("\xC4\xE0 First", "Second"));
}

TEST(ModuleLinesTest, NulBytesReadAsBlanksAndLoseNothing) {
    using namespace std::string_literals;
    EXPECT_THAT(SplitModuleLines("Hello\0 world again\nx\0y\0\n"s), ElementsAre("Hello  world again", "x y"));
    EXPECT_THAT(SplitModuleLines("\0\0\r\n\0a\r\n"s), ElementsAre("", "a"));
    // In UTF-8 and in cp1251 text alike.
    EXPECT_THAT(SplitModuleLines("\xD0\x94\0\xD0\xB0\n"s), ElementsAre("\xC4 \xE0"));
    EXPECT_THAT(SplitModuleLines("\xC4\0\xE0\n"s), ElementsAre("\xC4 \xE0"));
}

TEST(StoredSentenceTextTest, ApostrophesFirstThenOnePassOverBlankPairs) {
    struct Case {
        const char* in;
        const char* out;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"a  b   c", "a b  c"},
             {"a    b", "a  b"},
             {"don't", "don#*#t"},
             {"' '", "#*# #*#"},
             {"''", "#*##*#"},
             {"", ""},
             {"#*#", "#*#"},
         }) {
        EXPECT_EQ(StoredSentenceText(c.in), c.out) << c.in;
    }
}

TEST(ReadFileBytesTest, ReadsUpToTheLimitWhateverTheFileSize) {
    test::TempDir dir;
    const std::string big(200000, 'b');
    const std::string path = dir.Write("f", big);
    for (size_t limit : {size_t{0}, size_t{1}, size_t{12004}, size_t{65536}, size_t{65537}, size_t{200000},
                         size_t{300000}, SIZE_MAX}) {
        const auto bytes = ReadFileBytes(path, limit);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->size(), std::min(limit, big.size())) << limit;
    }
    EXPECT_EQ(ReadFileBytes(dir.Write("empty", ""))->size(), 0u);
    EXPECT_FALSE(ReadFileBytes(dir.File("missing")));
}

TEST(ProgressTextTest, PercentInSinglePrecisionWithSlashAndPercentSign) {
    struct Case {
        int position, maximum;
        const char* text;
    };
    for (const Case& c : std::initializer_list<Case>{
             {3, 8, "37.50/%"},
             {1, 3, "33.33/%"},
             {2, 3, "66.67/%"},
             {0, 100, "0.00/%"},
             {100, 100, "100.00/%"},
             {499, 500, "99.80/%"},
             {150, 100, "150.00/%"},
             {5, 0, "0.00/%"},
             {-1, 4, "-25.00/%"},
         }) {
        EXPECT_EQ(ProgressPercentText(c.position, c.maximum), c.text) << c.position << "/" << c.maximum;
    }
}

TEST(ProgressTextTest, ReportsGoToTheInstalledProgress) {
    struct Counting final : Progress {
        void ShowProgress(const std::string&, int p, int) override { last = p; }
        void HideProgress() override { ++hides; }
        int last = -1, hides = 0;
    } counting;
    ShowProgress("x", 1, 2);  // nowhere: nothing installed
    {
        ScopedAppProgress use(&counting);
        ShowProgress("x", 7, 9);
        HideProgress();
    }
    ShowProgress("x", 8, 9);
    EXPECT_EQ(counting.last, 7);
    EXPECT_EQ(counting.hides, 1);
}

}  // namespace
}  // namespace lq
