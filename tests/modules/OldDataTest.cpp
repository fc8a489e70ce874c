// The older version's data files: their decoders (field by field, malformed sizes and counts),
// the rows their import writes, its refusals, its all-or-nothing transaction and a second
// import of the same data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <unistd.h>

#include "modules/ModuleFiles.h"
#include "modules/OldData.h"
#include "modules/OldDataImport.h"
#include "platform/DateTime.h"
#include "tests/modules/ModuleTestSupport.h"
#include "tests/modules/OldDataWriter.h"
#include "tests/support/RawConnection.h"
#include "tests/support/RecordingPrompter.h"

namespace lq {
namespace {

using test::OldDataSet;
using test::OldRecord;
using test::OldSentenceLines;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Row = std::vector<std::string>;

// ---- the decoders -------------------------------------------------------------------------------

TEST(OldDataFormat, ModuleLineHeads) {
    struct Case {
        const char* line;
        int isigns;
        const char* name;
    } cases[] = {
        {"*+   xxxxxold1.mp3", 1, "old1.mp3"},
        {"*-   xxxxxold1.mp3", 0, "old1.mp3"},
        {"*+  xxxxxxold1.mp3", 0, "old1.mp3"},  // a head other than "*+   " is not selected
        {"abcdeold1.mp3", 1, "old1.mp3"},       // no "*": "*+   " stands before it
        {"*+   xxxxx", 1, ""},
        {"*", 0, ""},
        {"", 1, ""},
    };
    for (const Case& c : cases) {
        const OldModuleLine m = ParseOldModuleLine(c.line);
        EXPECT_EQ(m.isigns, c.isigns) << c.line;
        EXPECT_EQ(m.name, c.name) << c.line;
    }
}

TEST(OldDataFormat, SignsLines) {
    struct Case {
        const char* line;
        int isigns;
        const char* strind;
    } cases[] = {
        {"0 1 5 ", 0, "1 5 "}, {"x 1 2", 0, "1 2"}, {"ab", 1, ""}, {"7 9 9", 7, "9 9"},
        {"", 1, ""},           {"3  ", 3, " "},     {"9", 1, ""},
    };
    for (const Case& c : cases) {
        const OldSigns s = ParseOldSigns(c.line);
        EXPECT_EQ(s.isigns, c.isigns) << c.line;
        EXPECT_EQ(s.strind, c.strind) << c.line;
    }
}

TEST(OldDataFormat, DateStampsInDoublePrecision) {
    struct Case {
        uint16_t day, time;
        const char* text;
    } cases[] = {
        {1, 4320, "2003-12-26 12:00:00"}, {0, 1, "2003-12-25 00:00:10"},     {0, 8639, "2003-12-25 23:59:50"},
        {0, 8640, "2003-12-26 00:00:00"}, {65535, 0, "2183-05-30 00:00:00"}, {0, 0, "2003-12-25 00:00:00"},
    };
    for (const Case& c : cases) EXPECT_EQ(DateText(OldDateStamp(c.day, c.time)), c.text) << c.day << " " << c.time;
}

TEST(OldDataFormat, IntervalsByGoodAnswers) {
    struct Case {
        int igansw, irng2, inputAfter;
        double days;
    } cases[] = {
        {0, 400, 12, 0},    {1, 400, 12, 0.5}, {2, 400, 12, 1},   {3, 400, 12, 2},    {4, 400, 12, 4},
        {5, 400, 12, 8},    {11, 400, 12, 8},  {12, 400, 12, 10}, {13, 40, 12, 1},    {12, -400, 12, -10},
        // InputAfter 4: the first matching row counts.
        {4, 400, 4, 4},     {5, 400, 4, 10},   {3, 400, 4, 2},    {65535, 400, 4, 10},
        // InputAfter 5: 4 is still 4 days, 5 already uses irng_2.
        {4, 400, 5, 4},     {5, 80, 5, 2},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(OldInterval(c.igansw, c.irng2, c.inputAfter), c.days) << c.igansw << " " << c.inputAfter;
}

TEST(OldDataFormat, IndexRecordsFieldByField) {
    OldIndexRecord r;
    r.irange = -5;
    r.position = 0x01020304;
    r.day = 65535;
    r.time = 8639;
    r.iaansw = 40000;
    r.igansw = 7;
    r.module = -2;
    r.irng_2 = -300;
    r.isndbg = 0x7FFFFFFF;
    r.isndfn = -123456;
    std::string bytes = test::EncodeOldIndex({r, OldRecord(9, 1)});
    ASSERT_EQ(bytes.size(), 56u);
    bytes += "tail";  // a cut record is not read
    const std::vector<OldIndexRecord> got = ParseOldIndex(bytes);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].irange, -5);
    EXPECT_EQ(got[0].position, 0x01020304);
    EXPECT_EQ(got[0].day, 65535);
    EXPECT_EQ(got[0].time, 8639);
    EXPECT_EQ(got[0].iaansw, 40000);
    EXPECT_EQ(got[0].igansw, 7);
    EXPECT_EQ(got[0].module, -2);
    EXPECT_EQ(got[0].irng_2, -300);
    EXPECT_EQ(got[0].isndbg, 0x7FFFFFFF);
    EXPECT_EQ(got[0].isndfn, -123456);
    EXPECT_EQ(got[1].position, 9);
    EXPECT_EQ(got[1].module, 1);
    EXPECT_TRUE(ParseOldIndex("").empty());
    EXPECT_TRUE(ParseOldIndex(std::string(27, 'x')).empty());
}

TEST(OldDataFormat, ImagesRecordsClampTheirCount) {
    const std::string bytes = test::EncodeOldImages(
        {{2, {3, 4, 0, 0, 0}}, {9, {1, 2, 3, 4, 5}}, {-1, {-7, 0, 0, 0, 0}}, {5, {499, 0, 0, 0, 0}}});
    const std::vector<OldImagesRecord> got = ParseOldImages(bytes + "short");
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].count, 2);
    EXPECT_EQ(got[0].pictures, (std::array<int, 5>{3, 4, 0, 0, 0}));
    EXPECT_EQ(got[1].count, 5);
    EXPECT_EQ(got[2].count, 0);
    EXPECT_EQ(got[2].pictures[0], -7);  // widened with its sign
    EXPECT_EQ(got[3].pictures[0], 499);
}

TEST(OldDataFormat, WordCountsAreClampedToTheRecords) {
    const std::vector<OldWordRecord> two = {{3, 2, 1, "Don't"}, {-1, 0, 4, "word"}};
    EXPECT_EQ(ParseOldWords(test::EncodeOldWords(two)).size(), 2u);
    EXPECT_EQ(ParseOldWords(test::EncodeOldWords(two, 1000)).size(), 2u);  // count past the file
    EXPECT_EQ(ParseOldWords(test::EncodeOldWords(two, 1)).size(), 1u);
    EXPECT_TRUE(ParseOldWords(test::EncodeOldWords(two, -1)).empty());
    EXPECT_TRUE(ParseOldWords(test::EncodeOldWords(two, INT32_MIN)).empty());
    EXPECT_TRUE(ParseOldWords("abc").empty());
    const std::string cut = test::EncodeOldWords(two);
    EXPECT_EQ(ParseOldWords(cut.substr(0, cut.size() - 1)).size(), 1u);  // the second record is cut

    const std::vector<OldWordRecord> got = ParseOldWords(test::EncodeOldWords(two));
    EXPECT_EQ(got[0].icount, 3);
    EXPECT_EQ(got[0].ianswr, 2);
    EXPECT_EQ(got[0].istate, 1);
    EXPECT_EQ(got[0].word, "Don't");
    EXPECT_EQ(got[1].icount, -1);

    // A word without its NUL ends with its 32 bytes, not in the next record.
    const std::string full(40, 'w');
    const std::vector<OldWordRecord> noNul = ParseOldWords(test::EncodeOldWords({{1, 1, 1, full}, {2, 2, 2, "next"}}));
    ASSERT_EQ(noNul.size(), 2u);
    EXPECT_EQ(noNul[0].word, std::string(32, 'w'));
    EXPECT_EQ(noNul[1].word, "next");
}

TEST(OldDataFormat, AnswerPointsAndTheirCounts) {
    const std::vector<OldAnswerPoint> points = {{57.25f, 65535, 3.5f, 1.125f}, {-1.0f, 0, 0.0f, 0.0f}};
    const std::vector<OldAnswerPoint> got = ParseOldAnswerPoints(test::EncodeOldPoints(points));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].glrang, 57.25f);
    EXPECT_EQ(got[0].isentn, 65535);
    EXPECT_EQ(got[0].day, 3.5f);
    EXPECT_EQ(got[0].glansn, 1.125f);
    EXPECT_EQ(ParseOldAnswerPoints(test::EncodeOldPoints(points, 3)).size(), 2u);
    EXPECT_TRUE(ParseOldAnswerPoints(test::EncodeOldPoints(points, -1)).empty());
    EXPECT_TRUE(ParseOldAnswerPoints("").empty());
}

TEST(OldDataFormat, LinesAreSplitButNotTrimmed) {
    EXPECT_THAT(SplitLinesAsRead("a \r\n b\nc\rd"), ElementsAre("a ", " b", "c", "d"));
    EXPECT_THAT(SplitLinesAsRead("x\r\n\r\ny\n"), ElementsAre("x", "", "y"));
    EXPECT_TRUE(SplitLinesAsRead("").empty());
    EXPECT_THAT(SplitLinesAsRead("\n"), ElementsAre(""));
}

TEST(OldDataFormat, StoredWords) {
    EXPECT_EQ(OldStoredWord("Don't"), "don*t");
    EXPECT_EQ(OldStoredWord(test::Cp("ПРИВЕТ")), test::Cp("привет"));
}

// ---- the import ---------------------------------------------------------------------------------

class OldDataImportTest : public ::testing::Test {
protected:
    OldDataImportResult Import(const OldDataSet& set, int inputAfter = 12) {
        set.Write(folder.Dir());
        const OldDataFiles files = ReadOldData(folder.Dir());
        EXPECT_EQ(files.status, OldDataFiles::Status::Ok);
        const OldDataImportResult r = ImportOldData(folder.Db(), files, folder.Dir() + "/Data", inputAfter, progress);
        ExpectClosed();
        return r;
    }
    bool Run(int inputAfter = 12) {
        const bool ok = RunOldDataImport(folder.Db(), folder.Dir(), inputAfter, progress, prompter);
        ExpectClosed();
        return ok;
    }
    void ExpectClosed() {
        EXPECT_EQ(sqlite3_get_autocommit(lq::test::RawHandle(folder.Db())), 1) << "a transaction was left open";
        EXPECT_FALSE(progress.shown) << "the progress window was left shown";
    }
    void Sound(const std::string& name) { folder.Write(name, "sound"); }
    void Exec(const std::string& sql) { ASSERT_TRUE(folder.Db().Exec(sql).ok()) << sql; }
    std::vector<Row> Query(const std::string& sql) {
        std::vector<Row> rows;
        folder.Db().Query(sql, [&rows](int n, char** v, char**) {
            Row r;
            for (int i = 0; i < n; ++i) r.emplace_back(v[i] ? v[i] : "<NULL>");
            rows.push_back(r);
        });
        return rows;
    }
    test::ProgramFolder folder;
    test::RecordingPrompter prompter;
    test::RecordingProgress progress;
};

// Two modules; five sentences at positions 4..0 in a shuffled file order.
OldDataSet GoldenSet() {
    OldDataSet s;
    s.modules = {"*+   xxxxxold1.mp3", "*-   xxxxxold2.mp3"};
    s.items = {{"b0", "a0", "1 7 1 ", "f0", "t0"},
               {"b1", "It's", "0 1 5 ", "f1", "t1"},
               {"b2", "a2", "ab", "f2", "t2"},
               {"b3", "a3", "x 1 2", "f3", "t3"},
               {"b4", "a4", "7 9 9", "f4", "t4"}};
    OldIndexRecord r0 = OldRecord(1, 0, 1, 4320, 3);
    r0.irange = 7;
    r0.iaansw = 2;
    r0.isndbg = 1000;
    r0.isndfn = 2000;
    OldIndexRecord r1 = OldRecord(0, 0, 0, 1, 0);
    r1.isndbg = 10;
    r1.isndfn = 20;
    s.index = {r0, r1, OldRecord(3, 1, 10, 0, 12, 400), OldRecord(2, 1, 0, 0, 11), OldRecord(4, 0, 0, 8640, 1)};
    s.images = {{2, {3, 4, 0, 0, 0}}, {9, {1, 2, 3, 4, 5}}, {0, {0, 0, 0, 0, 0}}, {-1, {-7, 0, 0, 0, 0}}};  // none for 4
    s.words = {{3, 2, 1, "Don't"}, {1, 1, 0, "HELLO"}, {5, 5, 5, ""}, {2, 0, 0, "known"}};
    s.points = {{50.5f, 5, 1.0f, 2.25f}, {51.0f, 5, 1.0f, 2.5f}, {52.0f, 6, 0.5f, 3.0f}};
    return s;
}

TEST_F(OldDataImportTest, GoldenRows) {
    Sound("old1.mp3");
    Sound("OLD2.MP3");  // found ignoring case
    Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(9, 9, 9, 'known');");
    const OldDataImportResult r = Import(GoldenSet());
    ASSERT_TRUE(r.ok()) << r.error.message;
    EXPECT_EQ(r.modules, 2);
    EXPECT_EQ(r.sentences, 5);
    EXPECT_EQ(r.words, 2);
    EXPECT_EQ(r.points, 3);

    EXPECT_THAT(folder.Rows("sounds"), ElementsAre(Row{"1", "1", "10000", "old1.mp3"}, Row{"2", "0", "10001", "old2.mp3"}));
    // Highest position first within each module; iplace = 10 x the index in the sorted list
    // (positions 4, 3, 2, 1, 0 -> 0, 10, 20, 30, 40).
    EXPECT_THAT(folder.Rows("items2"),
                ElementsAre(Row{"1", "1", "0", "0", "7", "0", "0", "0", "1", "2003-12-26 00:00:00", "2003-12-26 12:00:00",
                                "0", "-1", "-1", "b4", "a4", "f4", "t4", "9 9", "0", "0", "0", "0", "0", "0"},
                            Row{"2", "1", "1000", "2000", "0", "7", "0", "2", "3", "2003-12-26 12:00:00",
                                "2003-12-28 12:00:00", "30", "-1", "-1", "b1", "It#*#s", "f1", "t1", "1 5 ", "5", "1",
                                "2", "3", "4", "5"},
                            Row{"3", "1", "10", "20", "1", "0", "0", "0", "0", "2003-12-25 00:00:10",
                                "2003-12-25 00:00:10", "40", "-1", "-1", "b0", "a0", "f0", "t0", "7 1 ", "2", "3", "4",
                                "0", "0", "0"},
                            Row{"4", "2", "0", "0", "0", "0", "400", "0", "12", "2004-01-04 00:00:00",
                                "2004-01-14 00:00:00", "10", "-1", "-1", "b3", "a3", "f3", "t3", "1 2", "0", "-7", "0",
                                "0", "0", "0"},
                            Row{"5", "2", "0", "0", "1", "0", "0", "0", "11", "2003-12-25 00:00:00",
                                "2004-01-02 00:00:00", "20", "-1", "-1", "b2", "a2", "f2", "t2", "", "0", "0", "0", "0",
                                "0", "0"}));
    EXPECT_THAT(folder.Rows("wrdstt"),
                ElementsAre(Row{"1", "9", "9", "9", "known"}, Row{"2", "3", "2", "1", "don*t"}, Row{"3", "1", "1", "0", "hello"}));
    // Equal moments 0.0001 day (8.64 s) apart, a falling one pushed after its predecessor.
    EXPECT_THAT(folder.Rows("answcn"), ElementsAre(Row{"1", "50.50000", "5", "2003-12-26 00:00:00", "2.25000"},
                                                   Row{"2", "51.00000", "5", "2003-12-26 00:00:08", "2.50000"},
                                                   Row{"3", "52.00000", "6", "2003-12-26 00:00:17", "3.00000"}));
    EXPECT_EQ(progress.calls.front(), (test::RecordingProgress::Call{"Sorting", 0, 100}));
    EXPECT_EQ(progress.calls[1], (test::RecordingProgress::Call{"Module 0 (2)", 0, 5}));  // position 4
    EXPECT_EQ(progress.hides, 1);
}

TEST_F(OldDataImportTest, IntervalsFollowInputAfter) {
    Sound("old1.mp3");
    OldDataSet s;
    s.modules = {"*+   xxxxxold1.mp3"};
    s.items.resize(3);
    s.index = {OldRecord(0, 0, 0, 0, 4, 400), OldRecord(1, 0, 0, 0, 5, 400), OldRecord(2, 0, 0, 0, 3, 400)};
    ASSERT_TRUE(Import(s, 4).ok());
    EXPECT_THAT(Query("SELECT igansw, dtansn FROM items2 ORDER BY igansw;"),
                ElementsAre(Row{"3", "2003-12-27 00:00:00"}, Row{"4", "2003-12-29 00:00:00"},
                            Row{"5", "2004-01-04 00:00:00"}));
}

TEST_F(OldDataImportTest, UniquePositionsGetPlacesByDescendingPosition) {
    Sound("old1.mp3");
    OldDataSet s;
    s.modules = {"*+   xxxxxold1.mp3"};
    const int n = 6;
    for (int p = 0; p < n; ++p) s.items.push_back({"", "s" + std::to_string(p), "", "", ""});
    for (int p : {3, 0, 5, 1, 4, 2}) s.index.push_back(OldRecord(p, 0));
    ASSERT_TRUE(Import(s).ok());
    std::vector<Row> expected;
    for (int p = n - 1; p >= 0; --p) expected.push_back({"s" + std::to_string(p), std::to_string(10 * (n - 1 - p))});
    EXPECT_EQ(Query("SELECT stract, iplace FROM items2 ORDER BY ididnt;"), expected);
}

TEST_F(OldDataImportTest, RecordsThatAreNotImported) {
    Sound("old1.mp3");
    Sound("old2.mp3");
    OldDataSet s;
    s.modules = {"*+   xxxxxold1.mp3", "*+   xxxxxold2.mp3"};
    for (int p = 0; p < 6; ++p) s.items.push_back({"", "m0-p" + std::to_string(p), "", "", ""});
    OldIndexRecord first = OldRecord(2, 0);
    first.isndbg = 111;
    OldIndexRecord repeat = OldRecord(2, 0);
    repeat.isndbg = 222;
    s.index = {first, repeat,           // the same (position, module) twice: the first in file order
               OldRecord(7, 0),         // position = n: outside 0 .. n-1
               OldRecord(-1, 0),        // negative position
               OldRecord(1, 2),         // no such module line
               OldRecord(0, -1),        // negative module index
               OldRecord(3, 0)};
    ASSERT_TRUE(Import(s).ok());
    EXPECT_EQ(Query("SELECT stract, isndbg, iplace FROM items2 ORDER BY ididnt;"),
              (std::vector<Row>{{"m0-p3", "0", "10"}, {"m0-p2", "111", "20"}}));
    EXPECT_EQ(folder.Count("sounds"), 2);  // the second module has no sentence but is added
}

TEST_F(OldDataImportTest, ModulesThatAreSkippedWithTheirSentences) {
    Sound("old1.mp3");
    Sound("old3.mp3");
    Sound("unit10.mp3");
    Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 10001, 'OLD3.mp3');");
    Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 10002, 'unit10.mp3');");
    std::filesystem::create_directories(folder.DataFile("dir.mp3"));
    OldDataSet s;
    s.modules = {"*+   xxxxxold2.mp3",  // 0: no sound file
                 "*+   xxxxxold3.mp3",  // 1: already added (case ignored)
                 "*+   xxxxxa.mp",      // 2: name shorter than five characters
                 "*+   xxxxxdir.mp3",   // 3: a folder, not a file
                 "*+   xxxxx../x.mp3",  // 4: not a name in Data/
                 "*+   xxxxxunit1.mp3", // 5: no sound, and unit10 stored is another module
                 "*+   xxxxxold1.mp3"}; // 6: imported
    for (int p = 0; p < 7; ++p) s.items.push_back({"", "m" + std::to_string(p), "", "", ""});
    for (int p = 0; p < 7; ++p) s.index.push_back(OldRecord(p, static_cast<int16_t>(p)));
    Sound("unit1.mp3");
    ASSERT_TRUE(Import(s).ok());
    EXPECT_EQ(Query("SELECT sfname, icodes FROM sounds WHERE ididnt>2 ORDER BY ididnt;"),
              (std::vector<Row>{{"unit1.mp3", "10005"}, {"old1.mp3", "10006"}}));
    EXPECT_EQ(Query("SELECT stract FROM items2 ORDER BY ididnt;"), (std::vector<Row>{{"m5"}, {"m6"}}));
}

TEST_F(OldDataImportTest, CrLfAndLfGiveTheSameRows) {
    Sound("old1.mp3");
    Sound("old2.mp3");
    OldDataSet s = GoldenSet();
    s.eol = "\n";
    ASSERT_TRUE(Import(s).ok());
    const auto lf = folder.Rows("items2");
    for (const Row& r : lf)
        for (const std::string& v : r) EXPECT_EQ(v.find('\r'), std::string::npos);
    test::ProgramFolder other;
    other.Write("old1.mp3", "s");
    other.Write("old2.mp3", "s");
    s.eol = "\r\n";
    s.Write(other.Dir());
    ASSERT_TRUE(ImportOldData(other.Db(), ReadOldData(other.Dir()), other.Dir() + "/Data", 12, progress).ok());
    EXPECT_EQ(other.Rows("items2"), lf);
}

TEST_F(OldDataImportTest, ASecondImportChangesNothing) {
    Sound("old1.mp3");
    Sound("old2.mp3");
    ASSERT_TRUE(Import(GoldenSet()).ok());
    std::vector<std::vector<Row>> first;
    for (const char* t : {"sounds", "items2", "wrdstt", "answcn"}) first.push_back(folder.Rows(t));
    const OldDataImportResult again = Import(GoldenSet());
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.modules + again.sentences + again.words + again.points, 0);
    std::vector<std::vector<Row>> second;
    for (const char* t : {"sounds", "items2", "wrdstt", "answcn"}) second.push_back(folder.Rows(t));
    EXPECT_EQ(second, first);
}

// Names whose extension is not three letters long, and one with a NUL byte after it.
TEST_F(OldDataImportTest, UncommonNamesAreImportedOnce) {
    using namespace std::string_literals;
    for (const char* name : {"old1.mpeg", "old2mp3x", "old3.mp3"}) Sound(name);
    OldDataSet s;
    s.modules = {"*+   xxxxxold1.mpeg", "*+   xxxxxold2mp3x", "*+   xxxxxold3.mp3\0"s};
    for (int p = 0; p < 3; ++p) {
        s.items.push_back({"", "m" + std::to_string(p), "", "", ""});
        s.index.push_back(OldRecord(p, static_cast<int16_t>(p)));
    }
    ASSERT_TRUE(Import(s).ok());
    const std::vector<Row> stored{{"old1.mpeg"}, {"old2mp3x"}, {"old3.mp3"}};
    EXPECT_EQ(Query("SELECT sfname FROM sounds ORDER BY ididnt;"), stored);
    EXPECT_EQ(Query("SELECT hex(sfname) FROM sounds WHERE ididnt=3;"), std::vector<Row>{{"6F6C64332E6D7033"}})
        << "no NUL byte is stored";
    const auto before = folder.Rows("items2");
    for (int run = 0; run < 2; ++run) {
        const OldDataImportResult again = Import(s);
        ASSERT_TRUE(again.ok());
        EXPECT_EQ(again.modules + again.sentences, 0);
    }
    EXPECT_EQ(Query("SELECT sfname FROM sounds ORDER BY ididnt;"), stored);
    EXPECT_EQ(folder.Rows("items2"), before);
}

TEST_F(OldDataImportTest, PointsOfTheSameSecondInOneImportAreAllKept) {
    Sound("old1.mp3");
    OldDataSet s;
    s.modules = {"*+   xxxxxold1.mp3"};
    // 0.5 s apart: the same stored second, but two points of the old history.
    s.points = {{1.0f, 1, 2.0f, 0.0f}, {2.0f, 1, 2.0f + 0.5f / 86400.0f, 0.0f}};
    ASSERT_TRUE(Import(s).ok());
    EXPECT_EQ(folder.Count("answcn"), 2);
    ASSERT_TRUE(Import(s).ok());
    EXPECT_EQ(folder.Count("answcn"), 2);
}

TEST_F(OldDataImportTest, OptionalFilesMayBeMissing) {
    Sound("old1.mp3");
    OldDataSet s = GoldenSet();
    s.withWords = s.withPoints = false;
    ASSERT_TRUE(Import(s).ok());
    EXPECT_EQ(folder.Count("wrdstt"), 0);
    EXPECT_EQ(folder.Count("answcn"), 0);
    EXPECT_EQ(folder.Count("items2"), 3);
}

// ---- the button's road: refusals and failures -------------------------------------------------------

TEST_F(OldDataImportTest, MissingRequiredFilesDoNothingAndSayNothing) {
    for (const char* missing : {kOldItems, kOldSoundsList, kOldItemsIndex, kOldItemsImages}) {
        GoldenSet().Write(folder.Dir());
        std::filesystem::remove(folder.Dir() + "/" + missing);
        EXPECT_FALSE(Run()) << missing;
    }
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(progress.calls.empty());
    EXPECT_EQ(folder.Count("sounds"), 0);
}

TEST_F(OldDataImportTest, FilesAreFoundIgnoringCase) {
    Sound("old1.mp3");
    GoldenSet().Write(folder.Dir());
    std::filesystem::rename(folder.Dir() + "/Items.txt", folder.Dir() + "/ITEMS.TXT");
    std::filesystem::rename(folder.Dir() + "/AnswPnt.dat", folder.Dir() + "/answpnt.DAT");
    EXPECT_TRUE(Run());
    EXPECT_EQ(folder.Count("items2"), 3);
    EXPECT_EQ(folder.Count("answcn"), 3);
}

TEST_F(OldDataImportTest, AnUnreadableFileIsNamedAndNothingIsWritten) {
    Sound("old1.mp3");
    GoldenSet().Write(folder.Dir());
    for (const char* name : {kOldItemsImages, kOldWordsStat}) {
        const OldDataFiles files = ReadOldData(folder.Dir(), [name](const std::string& path) -> std::optional<std::string> {
            if (path.ends_with(name)) return std::nullopt;
            return ReadFileBytes(path);
        });
        EXPECT_EQ(files.status, OldDataFiles::Status::Unreadable);
        EXPECT_THAT(files.unreadable, HasSubstr(name));
    }
    // Through the button: a folder where a file should be readable makes the read fail.
    std::filesystem::remove(folder.Dir() + "/WordsStat.dat");
    ASSERT_EQ(symlink("/proc/self/mem", (folder.Dir() + "/WordsStat.dat").c_str()), 0);
    EXPECT_FALSE(Run());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("WordsStat.dat")));
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Ooops...."));
    EXPECT_EQ(folder.Count("sounds"), 0);
}

TEST_F(OldDataImportTest, AFailedWriteRollsEverythingBack) {
    Sound("old1.mp3");
    Sound("old2.mp3");
    Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(9, 9, 9, 'known');");
    GoldenSet().Write(folder.Dir());
    for (const char* trigger :
         {"CREATE TRIGGER t BEFORE INSERT ON items2 WHEN new.stract='a3' BEGIN SELECT RAISE(ABORT,'refused'); END;",
          "CREATE TRIGGER t BEFORE INSERT ON answcn WHEN new.isentn=6 BEGIN SELECT RAISE(ABORT,'refused'); END;",
          "CREATE TRIGGER t BEFORE INSERT ON sounds WHEN new.sfname='old2.mp3' BEGIN SELECT RAISE(ABORT,'refused'); "
          "END;"}) {
        Exec(trigger);
        prompter.messages.clear();
        EXPECT_FALSE(Run()) << trigger;
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("refused")));
        EXPECT_EQ(folder.Count("sounds"), 0);
        EXPECT_EQ(folder.Count("items2"), 0);
        EXPECT_EQ(folder.Count("wrdstt"), 1);
        EXPECT_EQ(folder.Count("answcn"), 0);
        // The import itself hands back the engine's code and text, with nothing added.
        const OldDataImportResult r = Import(GoldenSet());
        EXPECT_EQ(r.error.code, SQLITE_CONSTRAINT) << trigger;
        EXPECT_THAT(r.error.message, HasSubstr("refused"));
        EXPECT_EQ(r.modules + r.sentences + r.words + r.points, 0);
        EXPECT_EQ(folder.Count("sounds"), 0);
        Exec("DROP TRIGGER t;");
    }
    EXPECT_TRUE(Run());
    EXPECT_EQ(folder.Count("items2"), 5);
}

// ---- malformed files ---------------------------------------------------------------------------

// Two modules, four positions, each sentence's text naming its module ("m<i>-p<p>").
OldDataSet SmallSet() {
    OldDataSet s;
    s.modules = {"*+   xxxxxold1.mp3", "*+   xxxxxold2.mp3"};
    const int16_t module[] = {0, 1, 0, 1};
    for (int p = 0; p < 4; ++p) {
        s.items.push_back({"b", "m" + std::to_string(module[p]) + "-p" + std::to_string(p), "0 1 0 ", "a", "t"});
        s.index.push_back(OldRecord(p, module[p], static_cast<uint16_t>(p)));
    }
    s.images = {{1, {0, 0, 0, 0, 0}}, {1, {1, 0, 0, 0, 0}}};
    s.words = {{1, 1, 1, "one"}, {2, 2, 2, "two"}};
    s.points = {{1.0f, 4, 1.0f, 1.0f}, {2.0f, 4, 2.0f, 1.0f}};
    return s;
}

TEST_F(OldDataImportTest, MalformedFilesLoseNothingElse) {
    using SetChange = void (*)(OldDataSet&);
    using FileChange = void (*)(const std::string& dir);
    struct Case {
        const char* what;
        SetChange changeSet;
        FileChange changeFiles;
        long long sentences, words, points;
    } cases[] = {
        {"as made", nullptr, nullptr, 4, 2, 2},
        {"Items.txt cut short", nullptr,
         [](const std::string& dir) { std::filesystem::resize_file(dir + "/Items.txt", 20); }, 4, 2, 2},
        {"counts larger than the records", [](OldDataSet& s) { s.wordCount = s.pointCount = 1000000; }, nullptr, 4, 2, 2},
        {"count -1", [](OldDataSet& s) { s.wordCount = s.pointCount = -1; }, nullptr, 4, 0, 0},
        {"a word of 32 bytes without NUL", [](OldDataSet& s) { s.words[0].word = std::string(32, 'q'); }, nullptr, 4, 2,
         2},
        {"an apostrophe in a module name", [](OldDataSet& s) { s.modules[1] = "*+   xxxxxo'ld2.mp3"; },
         [](const std::string& dir) { std::ofstream(dir + "/Data/o'ld2.mp3") << "s"; }, 4, 2, 2},
        {"an apostrophe in strind", [](OldDataSet& s) { s.items[1].signs = "0 1'5 '"; }, nullptr, 4, 2, 2},
        {"a 5000-character comment", [](OldDataSet& s) { s.items[2].translation = std::string(5000, 'c'); }, nullptr, 4,
         2, 2},
        {"an index file cut inside a record", nullptr,
         [](const std::string& dir) { std::filesystem::resize_file(dir + "/ItemsInd.dat", 28 * 3 + 11); }, 3, 2, 2},
        {"empty files", nullptr,
         [](const std::string& dir) {
             for (const char* f : {kOldItems, kOldItemsImages, kOldWordsStat, kOldAnswerPoints})
                 std::filesystem::resize_file(dir + "/" + f, 0);
         },
         4, 0, 0},
        {"a point at no moment", [](OldDataSet& s) { s.points[0].day = std::numeric_limits<float>::quiet_NaN(); },
         nullptr, 4, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::ProgramFolder fresh;
        fresh.Write("old1.mp3", "s");
        fresh.Write("old2.mp3", "s");
        OldDataSet s = SmallSet();
        if (c.changeSet) c.changeSet(s);
        s.Write(fresh.Dir());
        if (c.changeFiles) c.changeFiles(fresh.Dir());
        const OldDataImportResult r =
            ImportOldData(fresh.Db(), ReadOldData(fresh.Dir()), fresh.Dir() + "/Data", 12, progress);
        EXPECT_TRUE(r.ok()) << r.error.message;
        EXPECT_EQ(sqlite3_get_autocommit(lq::test::RawHandle(fresh.Db())), 1);
        EXPECT_FALSE(progress.shown);
        EXPECT_EQ(fresh.Count("items2"), c.sentences);
        EXPECT_EQ(fresh.Count("wrdstt"), c.words);
        EXPECT_EQ(fresh.Count("answcn"), c.points);
        // Every sentence under its own module: "m<i>-p<p>" under the module whose name holds i+1.
        long long strays = -1;
        fresh.Db().Query("SELECT count(*) FROM items2 WHERE isound NOT IN (SELECT ididnt FROM sounds);",
                         [&](int, char** v, char**) { strays = std::atoll(v[0]); });
        EXPECT_EQ(strays, 0);
        fresh.Db().Query("SELECT stract, sfname FROM items2 JOIN sounds ON isound=sounds.ididnt;",
                         [](int, char** v, char**) {
                             const std::string stract = v[0] ? v[0] : "";
                             const std::string sfname = v[1] ? v[1] : "";
                             if (stract.size() >= 2 && stract[0] == 'm') {
                                 EXPECT_NE(sfname.find(static_cast<char>(stract[1] + 1)), std::string::npos)
                                     << stract << " under " << sfname;
                             }
                         });
    }
}

TEST_F(OldDataImportTest, HostileTextsAreStoredAsRead) {
    Sound("old1.mp3");
    Sound("it's.mp3");
    OldDataSet s;
    s.modules = {"*+   xxxxxit's.mp3"};
    s.items = {{"x", "it's 50% _done_", "1 1 2 3 ", "y", std::string(5000, 'c') + "'"}};
    s.index = {OldRecord(0, 0)};
    s.words = {{1, 1, 1, "o'clock"}};
    ASSERT_TRUE(Import(s).ok());
    EXPECT_THAT(folder.Rows("sounds"), ElementsAre(Row{"1", "1", "10000", "it's.mp3"}));
    EXPECT_EQ(Query("SELECT stract, strind, length(strtrn) FROM items2;"),
              (std::vector<Row>{{"it#*#s 50% _done_", "1 2 3 ", "5003"}}));
    EXPECT_EQ(Query("SELECT twordd FROM wrdstt;"), (std::vector<Row>{{"o*clock"}}));
}

}  // namespace
}  // namespace lq
