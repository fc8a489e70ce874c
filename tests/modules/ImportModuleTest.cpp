// The import of a module's files into the database: the rows it writes, its refusals, malformed
// index files, hostile names and texts, and its all-or-nothing transaction.
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "modules/ImportModule.h"
#include "modules/ModuleFiles.h"
#include "tests/modules/ModuleTestSupport.h"
#include "tests/support/RawConnection.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace lq {
namespace {

using test::Cp;
using test::PosEntry;
using ::testing::ElementsAre;
using Row = std::vector<std::string>;

constexpr const char* kNow = "2024-03-05 14:07:09";

class ImportTest : public ::testing::Test {
protected:
    int Import(const std::string& name) {
        ModuleImporter importer(folder.Db(), folder.Dir());
        importer.SetProgress(&progress);
        importer.SetClock(&clock);
        return importer.Import(name, itemCount);
    }
    // A module "name" with these lines and index entries, and an mp3 that only has to exist.
    void WriteModule(const std::string& base, const std::string& text, const std::string& pos,
                     const std::string* translations = nullptr) {
        folder.Write(base + ".txt", text);
        folder.Write(base + ".pos", pos);
        folder.Write(base + ".mp3", "sound");
        if (translations) folder.Write(base + ".txr", *translations);
    }
    static PosEntry Rec(int32_t flag, int32_t start, int32_t end, std::vector<int16_t> pics = {}) {
        PosEntry e{flag, start, end, {0, 0, 0, 0, 0, 0}};
        e.pictures[0] = static_cast<int16_t>(pics.size());
        for (size_t k = 0; k < pics.size() && k < 5; ++k) e.pictures[k + 1] = pics[k];
        return e;
    }
    void ExpectUnchanged(long long sounds, long long items) {
        EXPECT_EQ(folder.Count("sounds"), sounds);
        EXPECT_EQ(folder.Count("items2"), items);
    }

    test::ProgramFolder folder;
    test::RecordingPrompter prompter;
    test::RecordingProgress progress;
    test::FixedClock clock{EncodeDateTime({2024, 3, 5, 14, 7, 9, 0})};
    int itemCount = 0;
};

// ---- the rows written -------------------------------------------------------------------------

TEST_F(ImportTest, GoldenRowsOfTheTestModuleAndASecondModuleBelowIt) {
    folder.AddFixtureModule("unit07");
    folder.AddFixtureModule("unit08");
    ASSERT_EQ(Import("unit07.txt"), kImportDone);
    ASSERT_EQ(Import("unit08.txt"), kImportDone);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(itemCount, 6);

    EXPECT_THAT(folder.Rows("sounds"),
                ElementsAre(Row{"1", "1", "10001", "unit07.mp3"}, Row{"2", "1", "10002", "unit08.mp3"}));

    const std::string s1 = "The cat sat on the mat.";
    const std::string s2 = "I don#*#t like  rainy days.";  // one pass: two blanks -> one, three -> two
    const std::string s3 = "Where is the nearest station?";
    const std::string t1 = Cp("Кошка сидела на коврике.");
    const std::string t2 = Cp("Я не люблю||дождливые дни (don#*#t).");
    const std::string t3 = Cp("Где ближайшая станция?");
    auto row = [&](const char* id, const char* sound, const char* b, const char* e, const char* place,
                   const std::string& before, const std::string& actual, const std::string& after,
                   const std::string& trn, std::vector<std::string> pics) {
        Row r{id, sound, b, e, "1", "0", "0", "0", "0", kNow, kNow, place, "-1", "-1", before, actual, after, trn, "0"};
        r.insert(r.end(), pics.begin(), pics.end());
        return r;
    };
    EXPECT_THAT(folder.Rows("items2"),
                ElementsAre(row("1", "1", "11025", "33270", "960", "", s1, s2, t1, {"1", "0", "-1", "-1", "-1", "-1"}),
                            row("2", "1", "44295", "68389", "965", s1, s2, s3, t2, {"0", "-1", "-1", "-1", "-1", "-1"}),
                            row("3", "1", "79414", "102722", "970", s2, s3, "", t3, {"2", "1", "0", "-1", "-1", "-1"}),
                            row("4", "2", "11025", "33270", "920", "", s1, s2, t1, {"1", "0", "-1", "-1", "-1", "-1"}),
                            row("5", "2", "44295", "68389", "925", s1, s2, s3, t2, {"0", "-1", "-1", "-1", "-1", "-1"}),
                            row("6", "2", "79414", "102722", "930", s2, s3, "", t3, {"2", "1", "0", "-1", "-1", "-1"})));
}

TEST_F(ImportTest, ReadingBackTurnsTheStoredApostropheBack) {
    folder.AddFixtureModule("unit07");
    ASSERT_EQ(Import("unit07.txt"), kImportDone);
    CurrentRow row;
    folder.Db().Query("SELECT * FROM items2 WHERE ididnt=2;", row);
    EXPECT_EQ(row.stract, "I don't like  rainy days.");
    EXPECT_EQ(row.strtrn, Cp("Я не люблю||дождливые дни (don't)."));
}

TEST_F(ImportTest, ASkippedRecordLendsItsLineAndLeavesItsPlace) {
    WriteModule("m", "one\r\ntwo\r\nthree\r\nfour\r\n",
                test::MakePos(4, {Rec(1, 10, 20), Rec(0, 30, 40), Rec(1, 50, 60), Rec(0, 70, 80)}));
    ASSERT_EQ(Import("m.txt"), kImportDone);
    EXPECT_EQ(itemCount, 2);
    const auto rows = folder.Rows("items2");
    ASSERT_EQ(rows.size(), 2u);
    // Base 1000, L 4: 1000 - 50 + 5i.
    EXPECT_EQ(rows[0][11], "950");
    EXPECT_EQ(rows[1][11], "960");
    EXPECT_THAT(std::vector<std::string>(rows[0].begin() + 14, rows[0].begin() + 17), ElementsAre("", "one", "two"));
    EXPECT_THAT(std::vector<std::string>(rows[1].begin() + 14, rows[1].begin() + 17),
                ElementsAre("two", "three", "four"));
}

TEST_F(ImportTest, ProgressOncePerConsideredRecordThenHidden) {
    struct Case {
        int n;
        int lines;
        std::vector<test::RecordingProgress::Call> calls;
    };
    const std::vector<Case> cases = {
        {3, 5, {{"Adding module", 0, 5}, {"Adding module", 1, 5}, {"Adding module", 2, 5}}},
        {5, 3, {{"Adding module", 0, 3}, {"Adding module", 1, 3}, {"Adding module", 2, 3}}},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(k);
        progress = {};
        std::string text;
        for (int i = 0; i < c.lines; ++i) text += "line " + std::to_string(i) + "\n";
        std::vector<PosEntry> entries;
        for (int i = 0; i < c.n; ++i) entries.push_back(Rec(i == 1 ? 0 : 1, i, i + 1));
        const std::string base = "p" + std::to_string(k++);
        WriteModule(base, text, test::MakePos(c.n, entries));
        ASSERT_EQ(Import(base + ".txt"), kImportDone);
        EXPECT_EQ(progress.calls, c.calls);
        EXPECT_FALSE(progress.shown);
        EXPECT_EQ(progress.hides, 1);
    }
}

TEST_F(ImportTest, TranslationsMissingOrShortGiveEmptyTexts) {
    const std::string pos = test::MakePos(3, {Rec(1, 1, 2), Rec(1, 3, 4), Rec(1, 5, 6)});
    WriteModule("none", "a\nb\nc\n", pos);
    const std::string shortTxr = "first||line\n";
    WriteModule("short", "a\nb\nc\n", pos, &shortTxr);
    ASSERT_EQ(Import("none.txt"), kImportDone);
    ASSERT_EQ(Import("short.txt"), kImportDone);
    const auto rows = folder.Rows("items2");
    ASSERT_EQ(rows.size(), 6u);
    std::vector<std::string> trn;
    for (const auto& r : rows) trn.push_back(r[17]);
    EXPECT_THAT(trn, ElementsAre("", "", "", "first||line", "", ""));
}

TEST_F(ImportTest, LinesSplitAtEveryLineEndAndAreTrimmed) {
    // CR LF, LF, a lone CR, a last line without a line end; tabs and control bytes trimmed.
    WriteModule("ends", "\t one \r\ntwo\nthree\rfour  \x01", test::MakePos(4, {Rec(1, 1, 2), Rec(1, 3, 4), Rec(1, 5, 6), Rec(1, 7, 8)}));
    ASSERT_EQ(Import("ends.txt"), kImportDone);
    std::vector<std::string> act;
    for (const auto& r : folder.Rows("items2")) act.push_back(r[15]);
    EXPECT_THAT(act, ElementsAre("one", "two", "three", "four"));
    // Base 1000, L 4 (no extra empty line at the end).
    EXPECT_EQ(folder.Rows("items2")[0][11], "950");
}

TEST_F(ImportTest, Utf8TextFilesAreStoredAsCp1251) {
    const std::string txr = "Привет||мир\n";
    WriteModule("utf", "Hello world\n", test::MakePos(1, {Rec(1, 1, 2)}), &txr);
    ASSERT_EQ(Import("utf.txt"), kImportDone);
    EXPECT_EQ(folder.Rows("items2")[0][17], Cp("Привет||мир"));
}

TEST_F(ImportTest, AByteOrderMarkBeforeCp1251TextIsNotStored) {
    WriteModule("bom", "\xEF\xBB\xBF\xCF\xF0\xE8 First\r\nSecond\r\n", test::MakePos(2, {Rec(1, 1, 2), Rec(1, 3, 4)}));
    ASSERT_EQ(Import("bom.txt"), kImportDone);
    const auto rows = folder.Rows("items2");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][15], "\xCF\xF0\xE8 First");
    EXPECT_EQ(rows[1][14], "\xCF\xF0\xE8 First");  // strbef of the next sentence
}

TEST_F(ImportTest, NulBytesInTheTextFilesAreStoredAsBlanks) {
    using namespace std::string_literals;
    const std::string txr = "Note\0 one||two\n"s;
    WriteModule("nul", "Hello\0 world again\nNext\0line\n"s, test::MakePos(2, {Rec(1, 1, 2), Rec(1, 3, 4)}), &txr);
    ASSERT_EQ(Import("nul.txt"), kImportDone);
    const auto rows = folder.Rows("items2");
    ASSERT_EQ(rows.size(), 2u);
    // The blank pair becomes one blank, as for any text.
    EXPECT_EQ(rows[0][15], "Hello world again");
    EXPECT_EQ(rows[0][16], "Next line");
    EXPECT_EQ(rows[0][17], "Note one||two");
    EXPECT_EQ(rows[1][15], "Next line");
}

// ---- result codes -------------------------------------------------------------------------

struct RefusalCase {
    const char* what;
    const char* name;  // imported after the fixture module unit07 (and unit10) are in
    int code;
    const char* message;
    MsgIcon icon;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.what; }

class RefusalTest : public ImportTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, RefusesWithItsMessageAndChangesNothing) {
    const RefusalCase& c = GetParam();
    folder.AddFixtureModule("unit07");
    folder.AddFixtureModule("unit10");
    ASSERT_EQ(Import("unit07.txt"), kImportDone);
    ASSERT_EQ(Import("unit10.txt"), kImportDone);
    folder.AddFixtureModule("nomp3", "mp3");
    folder.AddFixtureModule("nopos", "pos");
    folder.AddFixtureModule("notxt", "txt");
    folder.AddFixtureModule("flags0");
    folder.Write("flags0.pos", test::MakePos(3, {Rec(0, 1, 2), Rec(0, 3, 4), Rec(0, 5, 6)}));
    folder.AddFixtureModule("n0");
    folder.Write("n0.pos", test::MakePos(0, {}));
    // Folders where a module's text files would be found: they cannot be read.
    folder.AddFixtureModule("dirtxt", "txt");
    std::filesystem::create_directories(folder.DataFile("dirtxt.txt"));
    folder.AddFixtureModule("dirtxr", "txr");
    std::filesystem::create_directories(folder.DataFile("dirtxr.txr"));
    folder.AddFixtureModule("dircase", "txt");
    std::filesystem::create_directories(folder.DataFile("DirCase.TXT"));
    const int before = itemCount;
    progress = {};

    EXPECT_EQ(Import(c.name), c.code);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QString::fromUtf8(c.message));
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Ooops...."));
    EXPECT_EQ(prompter.messages[0].icon, c.icon);
    EXPECT_EQ(prompter.messages[0].buttons, MsgButtons::Ok);
    ExpectUnchanged(2, 6);
    EXPECT_EQ(itemCount, before);
    EXPECT_TRUE(progress.calls.empty());
}

const RefusalCase kRefusals[] = {
    {"Again", "unit07.txt", 1, "These items are already added!", MsgIcon::None},
    {"OtherCase", "UNIT07.txt", 1, "These items are already added!", MsgIcon::None},
    {"OtherExtension", "Unit07.TXR", 1, "These items are already added!", MsgIcon::None},
    {"NoSound", "nomp3.txt", 2, "There is no needed files: Data/nomp3.mp3 or Data/nomp3.pos !", MsgIcon::Warning},
    {"NoIndex", "nopos.txt", 2, "There is no needed files: Data/nopos.mp3 or Data/nopos.pos !", MsgIcon::Warning},
    {"NoFilesAtAll", "absent.txt", 2, "There is no needed files: Data/absent.mp3 or Data/absent.pos !",
     MsgIcon::Warning},
    {"AllFlagsZero", "flags0.txt", 3, "There is no data in these files!", MsgIcon::None},
    {"NoRecords", "n0.txt", 3, "There is no data in these files!", MsgIcon::None},
    {"NoSentenceFile", "notxt.txt", 3, "There is no data in these files!", MsgIcon::None},
    {"SentenceFileIsAFolder", "dirtxt.txt", 4, "Cannot read Data/dirtxt.txt: Is a directory", MsgIcon::Error},
    {"TranslationFileIsAFolder", "dirtxr.txt", 4, "Cannot read Data/dirtxr.txr: Is a directory", MsgIcon::Error},
    {"AFolderFoundIgnoringCase", "dircase.txt", 4, "Cannot read Data/DirCase.TXT: Is a directory", MsgIcon::Error},
    {"NoExtension", "unit07", 2, "There is no needed files: Data/unit07.mp3 or Data/unit07.pos !", MsgIcon::Warning},
    {"ShortName", "ab", 2, "There is no needed files: Data/ab.mp3 or Data/ab.pos !", MsgIcon::Warning},
    {"OnlyExtension", ".txt", 2, "There is no needed files: Data/.mp3 or Data/.pos !", MsgIcon::Warning},
    {"LongExtension", "unit07.text", 2, "There is no needed files: Data/unit07.mp3 or Data/unit07.pos !",
     MsgIcon::Warning},
    {"WithFolder", "../unit07.txt", 2, "There is no needed files: Data/../unit07.mp3 or Data/../unit07.pos !",
     MsgIcon::Warning},
};

INSTANTIATE_TEST_SUITE_P(Codes, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(ImportTest, DuplicateTestIsExactNotASubstringOrPattern) {
    for (const char* base : {"unit10", "aXb", "a%c", "lesson2", "unit07"}) folder.AddFixtureModule(base);
    for (const char* base : {"unit1", "a_b", "a_c", "lesson", "nit07", "unit0"}) folder.AddFixtureModule(base);
    for (const char* name : {"unit10.txt", "aXb.txt", "a%c.txt", "lesson2.txt", "unit07.txt"})
        ASSERT_EQ(Import(name), kImportDone) << name;
    for (const char* name : {"unit1.txt", "a_b.txt", "a_c.txt", "lesson.txt", "nit07.txt", "unit0.txt"})
        EXPECT_EQ(Import(name), kImportDone) << name;
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(folder.Count("sounds"), 11);
}

TEST_F(ImportTest, FilesAreFoundIgnoringCaseExactNameFirst) {
    folder.AddFixtureModule("Lesson");
    // Data/Lesson.* asked for in capitals: found ignoring case; the stored
    // name keeps the spelling asked for.
    ASSERT_EQ(Import("LESSON.TXT"), kImportDone);
    EXPECT_THAT(folder.Rows("sounds"), ElementsAre(Row{"1", "1", "10001", "LESSON.mp3"}));
    EXPECT_EQ(folder.Count("items2"), 3);
}

TEST_F(ImportTest, ApostropheInTheNameIsStoredAndItsSentencesBelongToIt) {
    folder.AddFixtureModule("unit07");
    ASSERT_EQ(Import("unit07.txt"), kImportDone);
    folder.AddFixtureModule("o'neil");
    ASSERT_EQ(Import("o'neil.txt"), kImportDone);
    EXPECT_THAT(folder.Rows("sounds"),
                ElementsAre(Row{"1", "1", "10001", "unit07.mp3"}, Row{"2", "1", "10002", "o'neil.mp3"}));
    const auto rows = folder.Rows("items2");
    ASSERT_EQ(rows.size(), 6u);
    for (int i = 3; i < 6; ++i) EXPECT_EQ(rows[i][1], "2");
    EXPECT_EQ(Import("O'Neil.txt"), kImportAlreadyAdded);
    const SqlValue<bool> added = IsModuleAdded(folder.Db(), "o'neil");
    ASSERT_TRUE(added.ok());
    EXPECT_TRUE(added.value);
}

TEST_F(ImportTest, LongTextsAreStoredWhole) {
    const std::string longLine(5000, 'x');
    const std::string txr = std::string(2500, 'y') + "'" + std::string(2500, 'z') + "\n";
    WriteModule("long", longLine + "\n", test::MakePos(1, {Rec(1, 1, 2)}), &txr);
    ASSERT_EQ(Import("long.txt"), kImportDone);
    const auto rows = folder.Rows("items2");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][15], longLine);
    EXPECT_EQ(rows[0][17], std::string(2500, 'y') + "#*#" + std::string(2500, 'z'));
}

// ---- malformed index files ----------------------------------------------------------------

struct PosCase {
    const char* what;
    std::string pos;
    int code;
    int rows;
    std::vector<std::string> firstPictures;  // ipicnm .. ipic_5 of the first row
};

TEST_F(ImportTest, MalformedIndexFilesNeverMakeGarbageRows) {
    const std::string text = "s0\ns1\ns2\ns3\ns4\n";  // L = 5
    std::vector<PosEntry> five;
    for (int i = 0; i < 5; ++i) five.push_back(Rec(1, 100 * i, 100 * i + 50, {3, 4}));
    std::string cut = test::MakePos(3, five, false).substr(0, 4 + 12 + 6);
    std::string nine = test::MakePos(1, {Rec(1, 1, 2, {1, 2, 3})});
    nine[6004] = 9;
    std::string negative = test::MakePos(1, {Rec(1, 1, 2)});
    negative[6004] = static_cast<char>(0xFD);
    negative[6005] = static_cast<char>(0xFF);  // -3
    const std::vector<PosCase> cases = {
        {"empty", "", 3, 0, {}},
        {"three bytes", std::string("\x01\x00\x00", 3), 3, 0, {}},
        {"negative N", test::MakePos(-1, five), 3, 0, {}},
        {"N above 500 and the lines", test::MakePos(1000, five), 0, 5, {"2", "3", "4", "0", "0", "0"}},
        {"cut inside the second record", cut, 0, 1, {"0", "0", "0", "0", "0", "0"}},
        {"no picture table", test::MakePos(5, five, false), 0, 5, {"0", "0", "0", "0", "0", "0"}},
        {"nine pictures", nine, 0, 1, {"5", "1", "2", "3", "0", "0"}},
        {"negative picture count", negative, 0, 1, {"0", "0", "0", "0", "0", "0"}},
        {"longer than the two tables", test::MakePos(5, five) + std::string(100000, '\x7f'), 0, 5,
         {"2", "3", "4", "0", "0", "0"}},
    };
    int k = 0;
    for (const PosCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string base = "bad" + std::to_string(k++);
        WriteModule(base, text, c.pos);
        const long long before = folder.Count("items2");
        EXPECT_EQ(Import(base + ".txt"), c.code);
        const auto rows = folder.Rows("items2");
        ASSERT_EQ(static_cast<long long>(rows.size()), before + c.rows);
        if (c.rows > 0) {
            const Row& first = rows[static_cast<size_t>(before)];
            EXPECT_EQ(std::vector<std::string>(first.begin() + 19, first.end()), c.firstPictures);
            EXPECT_EQ(first[15], "s0");
        }
    }
}

TEST_F(ImportTest, MoreRecordsThanTheFileHasLinesAreIgnored) {
    WriteModule("few", "only\n", test::MakePos(3, {Rec(1, 1, 2), Rec(1, 3, 4), Rec(1, 5, 6)}));
    ASSERT_EQ(Import("few.txt"), kImportDone);
    EXPECT_EQ(folder.Count("items2"), 1);
    EXPECT_EQ(itemCount, 1);
}

TEST_F(ImportTest, AFileTheUserMayNotReadIsNamedWithTheReasonAndNothingIsStored) {
    for (const char* file : {"locked.txt", "locked.txr", "LOCKED.POS"}) {
        SCOPED_TRACE(file);
        folder.AddFixtureModule("locked", "pos");
        folder.Write("LOCKED.POS", test::TempDir::Read(test::FixtureDir() + "/unit07.pos"));
        ASSERT_EQ(chmod(folder.DataFile(file).c_str(), 0), 0);
        const test::UnprivilegedRun run = test::RunUnprivileged({folder.Dir(), folder.Dir() + "/Data"}, [&] {
            prompter.messages.clear();
            EXPECT_EQ(Import("locked.txt"), kImportFailed);
            EXPECT_EQ(prompter.messages.size(), 1u);
            if (!prompter.messages.empty()) {
                EXPECT_EQ(prompter.messages[0].text,
                          QStringLiteral("Cannot read Data/") + QString::fromLatin1(file) +
                              QStringLiteral(": Permission denied"));
                EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Ooops...."));
                EXPECT_EQ(prompter.messages[0].icon, MsgIcon::Error);
            }
            EXPECT_TRUE(progress.calls.empty());
            return !::testing::Test::HasFailure();
        });
        if (run.outcome == test::UnprivilegedRun::Unavailable) GTEST_SKIP() << run.why;
        EXPECT_EQ(run.outcome, test::UnprivilegedRun::Passed) << run.why;
        ExpectUnchanged(0, 0);
        EXPECT_EQ(itemCount, 0);
        ASSERT_EQ(chmod(folder.DataFile(file).c_str(), 0644), 0);
    }
    // Nothing was lost: readable again, the module is imported whole.
    EXPECT_EQ(Import("locked.txt"), kImportDone);
    ExpectUnchanged(1, 3);
}

// ---- all or nothing -----------------------------------------------------------------------

TEST_F(ImportTest, AnSqlErrorRollsEverythingBack) {
    folder.AddFixtureModule("unit07");
    ASSERT_EQ(Import("unit07.txt"), kImportDone);
    ASSERT_TRUE(folder.Db()
                    .Exec("CREATE TRIGGER t BEFORE INSERT ON items2 WHEN new.stract='BOOM' BEGIN SELECT "
                          "RAISE(ABORT,'x'); END;")
                    .ok());
    WriteModule("boom", "fine\nBOOM\nfine too\n", test::MakePos(3, {Rec(1, 1, 2), Rec(1, 3, 4), Rec(1, 5, 6)}));
    progress = {};
    const int before = itemCount;

    EXPECT_EQ(Import("boom.txt"), kImportFailed);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("SQL error: x"));
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Ooops...."));
    ExpectUnchanged(1, 3);
    EXPECT_EQ(itemCount, before);
    EXPECT_FALSE(progress.shown);
    // The connection is usable and not left inside a transaction.
    EXPECT_TRUE(sqlite3_get_autocommit(lq::test::RawHandle(folder.Db())));

    ASSERT_TRUE(folder.Db().Exec("DROP TRIGGER t;").ok());
    prompter.messages.clear();
    EXPECT_EQ(Import("boom.txt"), kImportDone);
    EXPECT_TRUE(prompter.messages.empty());
    ExpectUnchanged(2, 6);
    EXPECT_EQ(itemCount, before + 3);
}

TEST_F(ImportTest, ABrokenSoundsTableFailsBeforeAnyFileIsRead) {
    ASSERT_TRUE(folder.Db().Exec("DROP TABLE sounds;").ok());
    folder.AddFixtureModule("unit07");
    EXPECT_EQ(Import("unit07.txt"), kImportFailed);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("SQL error: no such table: sounds"));
    EXPECT_EQ(folder.Count("items2"), 0);
}

TEST_F(ImportTest, ALockedDatabaseFailsAndChangesNothing) {
    folder.AddFixtureModule("unit07");
    Database other;
    ASSERT_TRUE(other.Open(folder.Dir() + "/QV_01.db").ok());
    sqlite3_busy_timeout(lq::test::RawHandle(other), 0);
    sqlite3_busy_timeout(lq::test::RawHandle(folder.Db()), 0);
    ASSERT_TRUE(other.Exec("BEGIN IMMEDIATE;").ok());
    EXPECT_EQ(Import("unit07.txt"), kImportFailed);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QStringLiteral("SQL error: ")));
    ASSERT_TRUE(other.Exec("ROLLBACK;").ok());
    ExpectUnchanged(0, 0);
    EXPECT_EQ(itemCount, 0);
}

}  // namespace
}  // namespace lq
