#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/FileNames.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

class ResolveCiTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Write("Data/Lesson1.MP3", "x");
        dir_.Write("Data/Pictures/Pic_01.JPG", "x");
        dir_.Write("Data/same.txt", "lower");
        dir_.Write("Data/SAME.txt", "upper");
    }
    std::string In(const std::string& rel) const { return dir_.Path() + "/" + rel; }
    test::TempDir dir_;
};

TEST_F(ResolveCiTest, FindsTheRealSpelling) {
    EXPECT_EQ(ResolveCi(dir_.Path(), "Data/Lesson1.MP3"), In("Data/Lesson1.MP3"));
    EXPECT_EQ(ResolveCi(dir_.Path(), "data\\lesson1.mp3"), In("Data/Lesson1.MP3"));
    EXPECT_EQ(ResolveCi(dir_.Path(), "DATA\\PICTURES\\pic_01.jpg"), In("Data/Pictures/Pic_01.JPG"));
    EXPECT_EQ(ResolveCi(In("Data"), "lesson1.mp3"), In("Data/Lesson1.MP3"));
    EXPECT_EQ(ResolveCi(In("Data"), "pictures"), In("Data/Pictures"));
}

TEST_F(ResolveCiTest, TheExactNameComesFirstAndTiesAreStable) {
    EXPECT_EQ(ResolveCi(In("Data"), "same.txt"), In("Data/same.txt"));
    EXPECT_EQ(ResolveCi(In("Data"), "SAME.txt"), In("Data/SAME.txt"));
    // Neither spelling is exact: the smallest name, whatever order the folder lists them in.
    EXPECT_EQ(ResolveCi(In("Data"), "Same.TXT"), In("Data/SAME.txt"));
}

TEST_F(ResolveCiTest, NothingMatching) {
    EXPECT_EQ(ResolveCi(dir_.Path(), "Data/Lesson2.mp3"), "");
    EXPECT_EQ(ResolveCi(dir_.Path(), "Nope/Lesson1.mp3"), "");
    EXPECT_EQ(ResolveCi(dir_.Path() + "/missing", "x"), "");
    EXPECT_EQ(ResolveCi(dir_.Path(), ""), "");
    EXPECT_EQ(ResolveCi(In("Data"), "lesson1.mp"), "") << "a prefix is no match";
    EXPECT_EQ(ResolveCi(In("Data"), "lesson1.mp3x"), "");
}

TEST_F(ResolveCiTest, OnlyAsciiLettersFoldCase) {
    dir_.Write("Data/\xD0\x90.txt", "x");  // "А.txt" in UTF-8
    EXPECT_EQ(ResolveCi(In("Data"), "\xD0\x90.TXT"), In("Data/\xD0\x90.txt"));
    EXPECT_EQ(ResolveCi(In("Data"), "\xD0\xB0.txt"), "");  // "а" is not folded
}

TEST_F(ResolveCiTest, OneFolderIndexAnswersAsResolveCiDoes) {
    dir_.Write("Data/\xD0\x90.txt", "x");
    std::filesystem::create_directories(In("Data/Folder.MP3"));
    std::filesystem::create_symlink(In("Data/same.txt"), In("Data/Link.txt"));
    const FolderIndex index(In("Data"));
    for (const char* name : {"Lesson1.MP3", "lesson1.mp3", "LESSON1.Mp3", "same.txt", "SAME.txt", "Same.TXT",
                             "pictures", "folder.mp3", "link.TXT", "\xD0\x90.TXT", "\xD0\xB0.txt", "lesson1.mp",
                             "lesson2.mp3", ""}) {
        const std::string real = index.Find(name);
        EXPECT_EQ(real.empty() ? std::string() : index.PathOf(real), ResolveCi(In("Data"), name)) << name;
    }
    EXPECT_TRUE(index.IsRegularFile("Lesson1.MP3"));
    EXPECT_TRUE(index.IsRegularFile("Link.txt")) << "a link to a file";
    EXPECT_FALSE(index.IsRegularFile("Pictures"));
    EXPECT_FALSE(index.IsRegularFile("Folder.MP3"));
    EXPECT_FALSE(index.IsRegularFile("lesson1.mp3")) << "only a real name";
    EXPECT_FALSE(index.IsRegularFile(""));
    EXPECT_EQ(index.Names().size(), 7u);
    EXPECT_TRUE(FolderIndex(In("Missing")).Names().empty());
}

TEST(JoinPath, Table) {
    EXPECT_EQ(JoinPath("/prog", "Data\\unit07.mp3"), "/prog/Data/unit07.mp3");
    EXPECT_EQ(JoinPath("/prog/", "QV_01.db"), "/prog/QV_01.db");
    EXPECT_EQ(JoinPath("", "a\\b"), "a/b");
    EXPECT_EQ(JoinPath("/prog", ""), "/prog");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
}

}  // namespace
}  // namespace lq
