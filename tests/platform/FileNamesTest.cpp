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

TEST(JoinPath, Table) {
    EXPECT_EQ(JoinPath("/prog", "Data\\unit07.mp3"), "/prog/Data/unit07.mp3");
    EXPECT_EQ(JoinPath("/prog/", "QV_01.db"), "/prog/QV_01.db");
    EXPECT_EQ(JoinPath("", "a\\b"), "a/b");
    EXPECT_EQ(JoinPath("/prog", ""), "/prog");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
}

}  // namespace
}  // namespace lq
