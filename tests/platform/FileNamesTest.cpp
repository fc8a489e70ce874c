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

// A module's file found by its name in either encoding, whichever encoding the folder's name has.
TEST(ResolveNameCi, EitherEncodingFindsTheFile) {
    const std::string utf8 = "\xD1\x83\xD1\x80\xD0\xBE\xD0\xBA";  // "урок" in UTF-8
    const std::string cp1251 = "\xF3\xF0\xEE\xEA";                 // "урок" in cp1251
    test::TempDir dir;
    dir.Write("Data/" + utf8 + "2.mp3", "x");    // the usual Linux name
    dir.Write("Data/" + cp1251 + "3.mp3", "x");  // a name unpacked as the Windows bytes
    dir.Write("Data/\xC4\xB3.ims", "x");         // UTF-8 of a cp1251 name that reads as UTF-8 too
    dir.Write("Data/plain.MP3", "x");
    const std::string data = dir.Path() + "/Data";
    const struct {
        std::string name, found;
    } rows[] = {
        {cp1251 + "2.mp3", utf8 + "2.mp3"},  // as this version stores it
        {utf8 + "2.mp3", utf8 + "2.mp3"},    // as earlier versions stored it
        {cp1251 + "2.MP3", utf8 + "2.mp3"},  // ASCII case ignored as ever
        {cp1251 + "3.mp3", cp1251 + "3.mp3"},
        {utf8 + "3.mp3", cp1251 + "3.mp3"},
        {"\xC4\xB3.ims", "\xC4\xB3.ims"},
        {"plain.mp3", "plain.MP3"},
        {"Data/" + cp1251 + "2.mp3", ""},  // names are looked for in `dir` only
        {cp1251 + "4.mp3", ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ResolveNameCi(data, r.name), r.found.empty() ? "" : data + "/" + r.found) << r.name;
    // A name with a folder: each part in either encoding.
    EXPECT_EQ(ResolveNameCi(dir.Path(), "data/" + cp1251 + "2.mp3"), data + "/" + utf8 + "2.mp3");
    EXPECT_EQ(ResolveNameCi(dir.Path(), "Data/\xC4\xB3.ims"), data + "/\xC4\xB3.ims");
    EXPECT_EQ(ResolveNameCi(dir.Path(), "Data/" + std::string("\xC4\xB3") + ".IMS"), data + "/\xC4\xB3.ims");
}

}  // namespace
}  // namespace lq
