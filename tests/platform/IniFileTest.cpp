#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/IniFile.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

IniFile FromText(const std::string& text) {
    static test::TempDir dir;
    const std::string path = dir.Write("reader.ini", text);
    IniFile ini(path);
    EXPECT_TRUE(ini.Load());
    return ini;
}

// A file as people and other programs leave it: comments, odd blanks, duplicates, a second
// copy of the section.
const char* const kReaderFile =
    "; comment line\n"
    "Stray=before any section\n"
    "[Other]\n"
    "Left=999\n"
    "  [ common ]  \n"
    "  left = 33 \n"
    "PlayDelay=\n"
    "Quoted = \"3000\" \n"
    "Single='x y'\n"
    "Unbalanced=\"abc\n"
    "Mixed=\"abc'\n"
    "OnlyQuotes=\"\"\n"
    "Long=1234567890\n"
    "Semi=5 ; not a comment\n"
    "Dup=first\n"
    "dup=second\n"
    ";Commented=1\n"
    "  ;Indented=1\n"
    "NoEquals\n"
    "Inner = a = b\n"
    "Tabs\t=\tt\t\n"
    "[Common]\n"
    "Late=1\n"
    "[\xC0\xC1\xC2]\n"  // cp1251 capitals
    "Key=cyr\n";

struct ReadCase {
    const char* section;
    const char* key;
    const char* defaultValue;
    size_t bufferSize;
    const char* expected;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << "[" << c.section << "] \"" << c.key << "\""; }

class IniReader : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReader, ReadsLikeTheProfileFunctions) {
    static const IniFile ini = FromText(kReaderFile);
    const ReadCase& c = GetParam();
    EXPECT_EQ(ini.GetString(c.section, c.key, c.defaultValue, c.bufferSize), c.expected)
        << "[" << c.section << "] " << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniReader,
    ::testing::Values(
        ReadCase{"Common", "Left     ", "10", 10, "33"},           // padded key finds the trimmed one
        ReadCase{"COMMON", "LEFT", "10", 10, "33"},                // any case
        ReadCase{"  common ", " left", "10", 10, "33"},            // blanks around the asked names
        ReadCase{"Common", "PlayDelay", "2000", 10, ""},           // empty value, not the default
        ReadCase{"Common", "Quoted", "", 10, "3000"},              // blanks and quotes stripped
        ReadCase{"Common", "Single", "", 10, "x y"},
        ReadCase{"Common", "Unbalanced", "", 10, "\"abc"},
        ReadCase{"Common", "Mixed", "", 10, "\"abc'"},
        ReadCase{"Common", "OnlyQuotes", "d", 10, ""},
        ReadCase{"Common", "Long", "", 10, "123456789"},           // cut to the buffer less one
        ReadCase{"Common", "Long", "", 100, "1234567890"},
        ReadCase{"Common", "Long", "", 1, ""},
        ReadCase{"Common", "Long", "", 0, ""},
        ReadCase{"Common", "Semi", "", 100, "5 ; not a comment"},  // ';' after a value is the value
        ReadCase{"Common", "Dup", "", 10, "first"},                // the first key wins
        ReadCase{"Common", "Commented", "d", 10, "d"},             // comment lines are no keys
        ReadCase{"Common", "Indented", "d", 10, "d"},
        ReadCase{"Common", ";Commented", "d", 10, "d"},
        ReadCase{"Common", "NoEquals", "d", 10, "d"},
        ReadCase{"Common", "Inner", "", 10, "a = b"},              // the first '=' splits
        ReadCase{"Common", "Tabs", "", 10, "t"},
        ReadCase{"Common", "Late", "d", 10, "d"},                  // the first section wins
        ReadCase{"Common", "Stray", "d", 10, "d"},
        ReadCase{"Other", "Left", "10", 10, "999"},
        ReadCase{"Missing", "Left", "10", 10, "10"},
        ReadCase{"Common", "Nope", " 10  ", 10, " 10"},            // default: trailing blanks go, leading stay
        ReadCase{"Common", "Nope", "abcdefghijkl", 10, "abcdefghi"},
        ReadCase{"Common", "Nope", "", 10, ""},
        ReadCase{"\xE0\xE1\xE2", "key", "", 10, "cyr"}));          // cp1251 letters compare by case too

TEST(IniReaderFile, CrLfLinesAndAMissingLastLineBreak) {
    const IniFile ini = FromText("[Common]\r\nLeft = 5 \r\nTop=7");
    EXPECT_EQ(ini.GetString("Common", "Left", ""), "5");
    EXPECT_EQ(ini.GetString("Common", "Top", ""), "7");
}

TEST(IniReaderFile, ALoneCrEndsALine) {
    const IniFile ini = FromText("[Common]\rLeft=5\rTop=7\r\nPlayDelay=9\r");
    EXPECT_EQ(ini.GetString("Common", "Left", ""), "5");
    EXPECT_EQ(ini.GetString("Common", "Top", ""), "7");
    EXPECT_EQ(ini.GetString("Common", "PlayDelay", ""), "9");
}

TEST(IniReaderFile, AByteOrderMarkIsNotPartOfTheFirstLine) {
    IniFile ini = FromText("\xEF\xBB\xBF[Common]\nLeft=5\n");
    EXPECT_EQ(ini.GetString("Common", "Left", ""), "5");
    ini.SetString("Common", "Top", "6");
    EXPECT_EQ(ini.Text(), "\xEF\xBB\xBF[Common]\nLeft=5\nTop=6\n");
    IniFile keyFirst = FromText("\xEF\xBB\xBFk=1\n");
    keyFirst.SetString("A", "k", "2");
    EXPECT_EQ(keyFirst.Text(), "\xEF\xBB\xBFk=1\n[A]\nk=2\n");
}

TEST(IniReaderFile, MissingFileIsEmpty) {
    test::TempDir dir;
    IniFile ini(dir.File("none.ini"));
    EXPECT_TRUE(ini.Load());
    EXPECT_EQ(ini.Text(), "");
    EXPECT_EQ(ini.GetString("Common", "RcdLeft  ", " 10"), " 10");
    EXPECT_EQ(ini.GetString("Common", "PlayDelay", "2000"), "2000");
}

TEST(IniReaderFile, UnreadableFileIsAnError) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.File("folder.ini"));
    IniFile ini(dir.File("folder.ini"));
    EXPECT_FALSE(ini.Load());
    EXPECT_EQ(ini.Text(), "");
}

struct WriteCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class IniWriter : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWriter, ChangesOnlyTheKeyLine) {
    IniFile ini = FromText(GetParam().before);
    ini.SetString(GetParam().section, GetParam().key, GetParam().value);
    EXPECT_EQ(ini.Text(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniWriter,
    ::testing::Values(
        WriteCase{"NewFile", "", "Common", "Left     ", "10", "[Common]\nLeft=10\n"},
        WriteCase{"ReplaceInPlaceKeepsCrLf",
                  "; notes\r\n[Other]\r\nLeft=999\r\n\r\n[common]\r\n  left = 33 \r\nX=1\r\n", "Common", "Left     ",
                  "50", "; notes\r\n[Other]\r\nLeft=999\r\n\r\n[common]\r\nLeft=50\r\nX=1\r\n"},
        WriteCase{"OnlyTheFirstDuplicate", "[A]\nk=1\nK=2\n", "a", "k", "9", "[A]\nk=9\nK=2\n"},
        WriteCase{"FirstSectionOnly", "[A]\nx=1\n[B]\n[a]\nk=2\n", "A", "k", "3", "[A]\nx=1\nk=3\n[B]\n[a]\nk=2\n"},
        WriteCase{"AppendBeforeBlankLinesAndNextSection", "[A]\na=1\n\n[B]\nb=2\n", "A", "c", "3",
                  "[A]\na=1\nc=3\n\n[B]\nb=2\n"},
        WriteCase{"AppendAfterACommentInTheSection", "[A]\na=1\n; end of A\n\n[B]\n", "A", "c", "3",
                  "[A]\na=1\n; end of A\nc=3\n\n[B]\n"},
        WriteCase{"AppendToAnEmptySection", "[A]\n[B]\n", "A", "k", "v", "[A]\nk=v\n[B]\n"},
        WriteCase{"AppendWithoutFinalLineBreak", "[A]\na=1", "A", "c", "3", "[A]\na=1\nc=3"},
        WriteCase{"HeaderWithoutFinalLineBreak", "[A]", "A", "k", "v", "[A]\nk=v"},
        WriteCase{"AppendCrLf", "[A]\r\na=1\r\n", "A", "c", "3", "[A]\r\na=1\r\nc=3\r\n"},
        WriteCase{"NewSectionAtTheEnd", "[A]\na=1\n", "B", "k", "v", "[A]\na=1\n[B]\nk=v\n"},
        WriteCase{"NewSectionAfterAnUnfinishedLine", "[A]\na=1", "B", "k", "v", "[A]\na=1\n[B]\nk=v\n"},
        WriteCase{"NewSectionCrLf", "[A]\r\na=1\r\n", "B", "k", "v", "[A]\r\na=1\r\n[B]\r\nk=v\r\n"},
        WriteCase{"KeyNameWrittenTrimmed", "[A]\n", " A ", "  Left     ", "1", "[A]\nLeft=1\n"},
        WriteCase{"CommentedKeyIsNotReplaced", "[A]\n;k=1\n", "A", "k", "2", "[A]\n;k=1\nk=2\n"},
        WriteCase{"EmptyValue", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
        WriteCase{"LineBreaksInAValueCannotMakeLines", "", "A", "k", "x\r\ny", "[A]\nk=x  y\n"},
        WriteCase{"KeysBeforeAnySectionAreLeftAlone", "k=1\n", "A", "k", "2", "k=1\n[A]\nk=2\n"},
        // A stray CR is a line end of its own: never doubled, never part of a value.
        WriteCase{"ReplaceALineEndingInALoneCr", "[A]\r\nLeft=10\rTop=20\r\n", "A", "Left", "1000",
                  "[A]\r\nLeft=1000\r\nTop=20\r\n"},
        WriteCase{"ReplaceTheLastLineEndingInALoneCr", "[A]\r\nLeft=10\r", "A", "Left", "1000",
                  "[A]\r\nLeft=1000\r\n"},
        WriteCase{"AppendAfterALastLoneCr", "[A]\r\nLeft=10\r", "A", "Top", "5", "[A]\r\nLeft=10\rTop=5\r\n"},
        WriteCase{"NewSectionAfterALastLoneCr", "[A]\r\nLeft=10\r", "B", "k", "v",
                  "[A]\r\nLeft=10\r[B]\r\nk=v\r\n"},
        WriteCase{"ReplaceBeforeAStrayCr", "[A]\r\nLeft=10\r\r\nX=1\r\n", "A", "Left", "1000",
                  "[A]\r\nLeft=1000\r\n\r\nX=1\r\n"},
        WriteCase{"LoneCrFileWritesCrLf", "[A]\ra=1\r", "A", "a", "2", "[A]\ra=2\r\n"}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(IniWriterFile, WrittenValuesReadBack) {
    IniFile ini = FromText("; keep\n[Common]\nX=1\n");
    const char* values[] = {"0", "-2147483648", "3.0", "a b", "x;y", "", "=="};
    int n = 0;
    for (const char* v : values) ini.SetString("Common", "Key" + std::to_string(n++), v);
    n = 0;
    for (const char* v : values) EXPECT_EQ(ini.GetString("Common", "Key" + std::to_string(n++), "d", 100), v);
    EXPECT_EQ(ini.GetString("Common", "X", ""), "1");
    EXPECT_EQ(ini.Text().rfind("; keep\n[Common]\nX=1\nKey0=0\n", 0), 0u);
}

class IniSave : public ::testing::Test {
protected:
    static int FileMode(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
    }
    size_t EntriesInFolder() const {
        size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) {
            (void)e;
            ++n;
        }
        return n;
    }
    test::TempDir dir_;
};

TEST_F(IniSave, CreatesTheFileAndItsFolder) {
    IniFile ini(dir_.File("sub/folder/Tessarin.ini"));
    ASSERT_TRUE(ini.Load());
    ini.SetString("Common", "Left     ", "10");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(test::TempDir::Read(ini.Path()), "[Common]\nLeft=10\n");
    IniFile again(ini.Path());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetString("Common", "Left", ""), "10");
}

TEST_F(IniSave, KeepsEveryForeignByteAndThePermissions) {
    const std::string before = "\xEF\xBB\xBF; from elsewhere\r\n[Other]\r\nA = 1\r\n\r\n[Common]\r\nLeft=1\r\n  odd line\r\n";
    const std::string path = dir_.Write("Tessarin.ini", before);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    ini.SetString("Common", "Left     ", "2");
    ini.SetString("Common", "Top      ", "3");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(test::TempDir::Read(path),
              "\xEF\xBB\xBF; from elsewhere\r\n[Other]\r\nA = 1\r\n\r\n[Common]\r\nLeft=2\r\n  odd line\r\nTop=3\r\n");
    EXPECT_EQ(FileMode(path), 0640);
    EXPECT_EQ(EntriesInFolder(), 1u) << "no temporary file left behind";
}

TEST_F(IniSave, ThroughASymbolicLinkTheLinkStays) {
    const std::string real = dir_.Write("real.ini", "[A]\nk=1\n");
    const std::string link = dir_.File("link.ini");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    IniFile ini(link);
    ASSERT_TRUE(ini.Load());
    ini.SetString("A", "k", "2");
    ASSERT_TRUE(ini.Save());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::TempDir::Read(real), "[A]\nk=2\n");
}

// The file-size limit makes writing the new file fail half-way, as a full disk would.
TEST_F(IniSave, AFailedWriteLeavesTheOldFile) {
    const std::string before = "[Common]\nLeft=1\n";
    const std::string path = dir_.Write("Tessarin.ini", before);
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    ini.SetString("Common", "Comment", std::string(4000, 'x'));

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = ini.Save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(test::TempDir::Read(path), before);
    EXPECT_EQ(EntriesInFolder(), 1u) << "the half-written file is removed";
    ASSERT_TRUE(ini.Save()) << "the text is still there for a later try";
    EXPECT_NE(test::TempDir::Read(path).find(std::string(4000, 'x')), std::string::npos);
}

TEST_F(IniSave, AFailedRenameLeavesWhatWasThere) {
    const std::string path = dir_.File("Tessarin.ini");
    std::filesystem::create_directories(path + "/inside");  // a folder in the way
    IniFile ini(path);
    ini.SetString("Common", "Left", "1");
    EXPECT_FALSE(ini.Save());
    EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
    EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_F(IniSave, AFileThatCouldNotBeReadIsNeverReplaced) {
    const std::string path = dir_.File("Tessarin.ini");
    std::filesystem::create_directory(path);
    IniFile ini(path);
    ASSERT_FALSE(ini.Load());
    std::filesystem::remove(path);  // whatever was there, its content is unknown to us
    ini.SetString("Common", "Left", "1");
    EXPECT_FALSE(ini.Save());
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(ini.Load()) << "now missing: an empty file";
    ini.SetString("Common", "Left", "1");
    EXPECT_TRUE(ini.Save());
}

class DefaultIniPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* n : kNames) {
            const char* v = std::getenv(n);
            saved_.emplace_back(n, v ? std::optional<std::string>(v) : std::nullopt);
            unsetenv(n);
        }
    }
    void TearDown() override {
        for (const auto& [n, v] : saved_) {
            if (v) setenv(n.c_str(), v->c_str(), 1);
            else unsetenv(n.c_str());
        }
    }
    static constexpr const char* kNames[] = {"LINDQUEST_INI_DIR", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(DefaultIniPathTest, OverrideThenXdgThenHome) {
    setenv("HOME", "/home/learner", 1);
    EXPECT_EQ(DefaultIniPath(), "/home/learner/.config/Tessarin.ini");
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
    EXPECT_EQ(DefaultIniPath(), "/home/learner/.config/Tessarin.ini");
    setenv("XDG_CONFIG_HOME", "/xdg/conf/", 1);
    EXPECT_EQ(DefaultIniPath(), "/xdg/conf/Tessarin.ini");
    setenv("LINDQUEST_INI_DIR", "/tmp/lq-ini", 1);
    EXPECT_EQ(DefaultIniPath(), "/tmp/lq-ini/Tessarin.ini");
    setenv("LINDQUEST_INI_DIR", "", 1);  // empty: as if not set
    EXPECT_EQ(DefaultIniPath(), "/xdg/conf/Tessarin.ini");
}

}  // namespace
}  // namespace lq
