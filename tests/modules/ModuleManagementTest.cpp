// The chooser's listing of Data/ against the database, and the module list's actions without
// widgets: marks, deletion (asked, in one transaction), addition through the chooser.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "core/AppState.h"
#include "core/Settings.h"
#include "core/SqlText.h"
#include "modules/ImportModule.h"
#include "modules/ModuleFolder.h"
#include "modules/ModuleManager.h"
#include "tests/modules/FolderReads.h"
#include "tests/modules/ModuleTestSupport.h"
#include "tests/support/RawConnection.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/StatementTrace.h"

namespace lq {
namespace {

using ::testing::ElementsAre;
using Row = std::vector<std::string>;
using Lines = std::vector<std::string>;

class ListingTest : public ::testing::Test {
protected:
    void Module(const std::string& base, const char* text = "txt", const char* pos = "pos", const char* mp3 = "mp3") {
        if (text) folder.Write(base + "." + text, "line\n");
        if (pos) folder.Write(base + "." + pos, "p");
        if (mp3) folder.Write(base + "." + mp3, "s");
    }
    void Stored(const std::string& sfname) {
        ASSERT_TRUE(folder.Db().Exec(Sql("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, '%q');", sfname.c_str())).ok());
    }
    Lines List(bool showAll) {
        const ModuleListing l = ListModules(folder.Dir() + "/Data", folder.Db(), showAll);
        EXPECT_TRUE(l.error.ok());
        return l.lines;
    }
    test::ProgramFolder folder;
    std::unique_ptr<test::TempDir> caseDir;  // a Data folder of one case of a table
};

TEST_F(ListingTest, BothListingsOfOneFolder) {
    Module("new");                           // complete and not stored
    Module("nopos", "txt", nullptr);         // no index
    Module("nomp3", "txt", "pos", nullptr);  // no sound
    Module("added");
    Stored("Added.mp3");
    Module("UPPER", "TXT", nullptr, nullptr);
    folder.Write("upper.pos", "p");
    folder.Write("upper.mp3", "s");          // found ignoring case
    EXPECT_EQ(List(false), (Lines{"new.txt", "UPPER.TXT"}));
    EXPECT_EQ(List(true), (Lines{"added.txt", kModuleAlreadyAdded, "new.txt", kModuleCanBeAdded, "nomp3.txt",
                                 kModuleFilesMissing, "nopos.txt", kModuleFilesMissing, "UPPER.TXT",
                                 kModuleCanBeAdded}));
}

TEST_F(ListingTest, SortedIgnoringCase) {
    for (const char* b : {"b", "A", "c"}) Module(b);
    folder.Write("c.TXT", "x");  // same name but for case: both listed, in byte order after the fold
    EXPECT_EQ(List(false), (Lines{"A.txt", "b.txt", "c.TXT", "c.txt"}));
}

TEST_F(ListingTest, TheOneDuplicateRule) {
    Module("unit1");
    Module("UNIT07");
    Module("it's");
    Module("unit_1");
    Stored("unit10.mp3");   // another module, not unit1
    Stored("unit07.mp3");   // UNIT07 is this one
    Stored("unitX1.mp3");   // no wildcard: unit_1 is another module
    EXPECT_EQ(List(false), (Lines{"it's.txt", "unit1.txt", "unit_1.txt"}));
    // The import follows the same rule.
    EXPECT_EQ(test::ValueOrNothing(IsModuleAdded(folder.Db(), "unit1")), std::optional<bool>(false));
    EXPECT_EQ(test::ValueOrNothing(IsModuleAdded(folder.Db(), "Unit07")), std::optional<bool>(true));
}

// The question every road asks (the chooser with the sentence file's name, "-additems" with the
// argument, the old data with the sound's name) against the names the database holds.
TEST_F(ListingTest, OneRuleForEveryNameAndEveryRoad) {
    using namespace std::string_literals;
    for (const char* stored : {"old1.mpeg", "old2mp3x", "old3.mp3", "Unit07.MP3", "a.b.mp3", "unit10.mp3"})
        Stored(stored);
    Stored(test::Cp("урок2.mp3"));
    Stored("урок5.mp3");  // as earlier versions stored it
    const struct {
        std::string name;
        bool added;
    } rows[] = {
        {"old1.mpeg", true}, {"old1.txt", true},   {"old1.mp3", true},   {"old2mp3x", true},
        {"old2.txt", false}, {"old3.mp3", true},   {"old3.mp3\0"s, true}, {"old3.txt", true},
        {"unit07.txt", true}, {"UNIT07.mp3", true}, {"a.b.txt", true},   {"a.txt", false},
        {"unit1.txt", false}, {"урок2.txt", true},  {test::Cp("урок2.txt"), true},
        {"урок5.txt", true}, {test::Cp("урок5.txt"), true}, {"урок6.txt", false},
    };
    for (const auto& r : rows) EXPECT_EQ(test::ValueOrNothing(IsModuleAdded(folder.Db(), r.name)), std::optional<bool>(r.added)) << r.name;
    for (const char* base : {"old1", "old2", "old3", "урок2", "урок5", "урок6"}) Module(base);
    EXPECT_EQ(List(false), (Lines{"old2.txt", "урок6.txt"}));
}

TEST_F(ListingTest, WhatIsNoSentenceFile) {
    Module("ok");
    std::filesystem::create_directories(folder.DataFile("folder.txt"));
    folder.Write("notes.text", "x");
    folder.Write(".txt", "x");  // no module name: its files are missing
    EXPECT_EQ(List(false), (Lines{"ok.txt"}));
    EXPECT_EQ(List(true), (Lines{".txt", kModuleFilesMissing, "ok.txt", kModuleCanBeAdded}));
}

TEST_F(ListingTest, TheFolderIsReadOncePerListing) {
    // Complete modules, modules without one of their files, and files found only ignoring case:
    // neither a missing file nor a spelling is looked for by reading the folder again.
    for (int m = 0; m < 20; ++m) Module("full" + std::to_string(m));
    for (int m = 0; m < 20; ++m) Module("nopos" + std::to_string(m), "txt", nullptr);
    for (int m = 0; m < 20; ++m) Module("other" + std::to_string(m), "TXT", "POS", "Mp3");
    for (const bool showAll : {false, true}) {
        const long before = test::FolderReads();
        const Lines lines = List(showAll);
        EXPECT_EQ(test::FolderReads() - before, 1) << "showAll " << showAll;
        EXPECT_EQ(lines.size(), showAll ? 120u : 40u);
    }
}

TEST_F(ListingTest, WhichFilesCountAsTheModulesFiles) {
    // Regular files (or links to them) only; the exact name first, then ASCII case ignored.
    struct Case {
        const char* what;
        std::vector<const char*> files, folders, links;  // each link points to Data/target
        bool listed;
    };
    const Case cases[] = {
        {"exact names", {"m.pos", "m.mp3"}, {}, {}, true},
        {"names in another case", {"M.POS", "m.Mp3"}, {}, {}, true},
        {"a folder named as the sound", {"m.pos"}, {"m.mp3"}, {}, false},
        {"a folder of the exact name hides a file in another case", {"m.pos", "M.MP3"}, {"m.mp3"}, {}, false},
        {"a file of the exact name before a folder in another case", {"m.pos", "m.mp3"}, {"M.MP3"}, {}, true},
        {"a link to a file", {"m.pos", "target"}, {}, {"m.mp3"}, true},
        {"a link to nothing", {"m.pos"}, {}, {"m.mp3"}, false},
    };
    for (const Case& c : cases) {
        caseDir = std::make_unique<test::TempDir>();
        const std::string data = caseDir->Path() + "/Data";
        caseDir->Write("Data/m.txt", "line\n");
        for (const char* f : c.files) caseDir->Write(std::string("Data/") + f, "x");
        for (const char* d : c.folders) std::filesystem::create_directories(data + "/" + d);
        for (const char* l : c.links) std::filesystem::create_symlink(data + "/target", data + "/" + l);
        const ModuleListing l = ListModules(data, folder.Db(), false);
        EXPECT_EQ(l.lines, c.listed ? Lines{"m.txt"} : Lines{}) << c.what;
    }
}

TEST_F(ListingTest, MissingOrEmptyFolderAndUnreadableDatabase) {
    EXPECT_TRUE(List(true).empty());
    EXPECT_TRUE(ListModules(folder.Dir() + "/NoSuchFolder", folder.Db(), true).lines.empty());
    const std::string before = std::filesystem::current_path();
    Module("m");
    ASSERT_TRUE(folder.Db().Exec("DROP TABLE sounds;").ok());
    const ModuleListing l = ListModules(folder.Dir() + "/Data", folder.Db(), false);
    EXPECT_TRUE(l.lines.empty());
    EXPECT_EQ(l.error.code, SQLITE_ERROR);
    EXPECT_THAT(l.error.message, ::testing::HasSubstr("sounds"));
    EXPECT_EQ(std::filesystem::current_path(), before);
    // Every read of the stored modules tells the same failure, with no value.
    const SqlValue<bool> added = IsModuleAdded(folder.Db(), "m.txt");
    EXPECT_EQ(added.error.code, SQLITE_ERROR);
    EXPECT_THAT(added.error.message, ::testing::HasSubstr("sounds"));
    EXPECT_FALSE(added.value);
    const SqlValue<std::vector<ModuleListRow>> list = ReadModuleList(folder.Db());
    EXPECT_EQ(list.error.code, SQLITE_ERROR);
    EXPECT_TRUE(list.value.empty());
}

// ---- the module list's actions ------------------------------------------------------------------

class ManagerTest : public ::testing::Test {
protected:
    ManagerTest() {
        env.ProgramDir = folder.Dir();
        ctx.env = &env;
        ctx.state = &state;
        ctx.settings = &settings;
        ctx.db = &folder.Db();
        ModuleManagerServices s;
        s.restart = [this] { ++restarts; };
        s.prompter = &prompter;
        s.chooseModule = [this] { return chosen; };
        s.importModule = [this](const std::string& name) {
            imported.push_back(name);
            return importResult;
        };
        manager = std::make_unique<ModuleManager>(ctx, std::move(s));
    }
    long long AddModule(const std::string& sfname, int isigns, int sentences) {
        Exec(Sql("INSERT INTO sounds (isigns, icodes, sfname) values(%i, 0, '%q');", isigns, sfname.c_str()));
        const long long id = folder.Db().LastInsertRowId();
        for (int i = 0; i < sentences; ++i)
            Exec(Sql("INSERT INTO items2 (isound, stract) values(%lld, 's');", id));
        return id;
    }
    void Exec(const std::string& sql) { ASSERT_TRUE(folder.Db().Exec(sql).ok()) << sql; }
    std::vector<Row> Marks() {
        std::vector<Row> rows;
        const std::vector<ModuleListRow> list = test::ValueOrNothing(ReadModuleList(folder.Db())).value();
        for (const ModuleListRow& r : list) rows.push_back({r.sfname, std::to_string(r.isigns)});
        return rows;
    }
    std::vector<std::vector<Row>> Tables() {
        std::vector<std::vector<Row>> t;
        for (const char* name : {"sounds", "items2", "wrdstt", "answcn"}) t.push_back(folder.Rows(name));
        return t;
    }

    test::ProgramFolder folder;
    ProgramEnv env;
    LearnState state;
    CommonSettings settings;
    AppContext ctx;
    test::RecordingPrompter prompter;
    std::unique_ptr<ModuleManager> manager;
    int restarts = 0;
    std::optional<std::string> chosen;
    std::vector<std::string> imported;
    ImportResult importResult = kImportDone;
};

TEST_F(ManagerTest, CellTexts) {
    AddModule("unit07.mp3", 1, 0);
    AddModule("b.mp3", 0, 0);
    AddModule("odd", 5, 0);
    const std::vector<ModuleListRow> rows = test::ValueOrNothing(ReadModuleList(folder.Db())).value();
    ASSERT_EQ(rows.size(), 3u);
    std::vector<Row> cells;
    for (size_t r = 0; r < rows.size(); ++r) {
        Row line;
        for (int c = 0; c < 3; ++c) line.push_back(ModuleCellText(rows[r], static_cast<int>(r), c));
        cells.push_back(line);
    }
    EXPECT_EQ(cells, (std::vector<Row>{{"1", "unit07", "+"}, {"2", "b", " "}, {"3", "", "+"}}));
}

TEST_F(ManagerTest, MarksAreStoredAtOnce) {
    AddModule("a.mp3", 1, 0);
    AddModule("b.mp3", 0, 0);
    manager->Toggle(0);
    EXPECT_EQ(Marks(), (std::vector<Row>{{"a.mp3", "0"}, {"b.mp3", "0"}}));
    manager->Toggle(0);
    manager->Toggle(1);
    EXPECT_EQ(Marks(), (std::vector<Row>{{"a.mp3", "1"}, {"b.mp3", "1"}}));
    manager->Toggle(2);  // no such line
    manager->Toggle(-1);
    manager->SetAll(false);
    EXPECT_EQ(Marks(), (std::vector<Row>{{"a.mp3", "0"}, {"b.mp3", "0"}}));
    manager->SetAll(true);
    EXPECT_EQ(Marks(), (std::vector<Row>{{"a.mp3", "1"}, {"b.mp3", "1"}}));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(restarts, 0);
}

TEST_F(ManagerTest, AFailedMarkIsShown) {
    AddModule("a.mp3", 1, 0);
    Exec("CREATE TRIGGER t BEFORE UPDATE ON sounds BEGIN SELECT RAISE(ABORT,'read-only here'); END;");
    manager->Toggle(0);
    manager->SetAll(false);
    // Told as every other refused change is: what was not done, then the engine's reason.
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("The module's mark was not changed:\nread-only here"));
    EXPECT_EQ(prompter.messages[1].text, QStringLiteral("The marks were not changed:\nread-only here"));
    for (const auto& m : prompter.messages) {
        EXPECT_EQ(m.caption, QStringLiteral("Lindquest"));
        EXPECT_EQ(m.icon, MsgIcon::Error);
    }
    EXPECT_EQ(Marks(), (std::vector<Row>{{"a.mp3", "1"}}));
}

TEST_F(ManagerTest, DeleteAsksAndKeepsStatisticsAndHistory) {
    AddModule("keep.mp3", 1, 2);
    const long long gone = AddModule("unit07.mp3", 1, 3);
    Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(1, 1, 1, 'cat');");
    Exec("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('1.00000', 5, '2024-01-01 00:00:00', '0.00000');");
    const auto before = Tables();

    prompter.answers = {MsgResult::No};
    manager->Delete(1);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("Are you sure to del module 'unit07'?"));
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("What"));
    EXPECT_EQ(prompter.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(Tables(), before);
    EXPECT_EQ(restarts, 0);

    manager->Delete(1);  // Yes
    EXPECT_EQ(restarts, 1);
    EXPECT_THAT(folder.Rows("sounds"), ElementsAre(Row{"1", "1", "0", "keep.mp3"}));
    EXPECT_EQ(folder.Count("items2"), 2);
    long long left = -1;
    folder.Db().Query(Sql("SELECT count(*) FROM items2 WHERE isound=%lld;", gone),
                      [&](int, char** v, char**) { left = std::atoll(v[0]); });
    EXPECT_EQ(left, 0);
    EXPECT_EQ(folder.Rows("wrdstt"), before[2]);
    EXPECT_EQ(folder.Rows("answcn"), before[3]);
    EXPECT_EQ(prompter.messages.size(), 2u);  // only the two questions
}

TEST_F(ManagerTest, NothingSelectedMeansTheFirstLineAndAnEmptyListAsksNothing) {
    manager->Delete(0);
    EXPECT_TRUE(prompter.messages.empty());
    AddModule("first.mp3", 1, 1);
    prompter.answers = {MsgResult::No};
    manager->Delete(0);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("Are you sure to del module 'first'?"));
}

TEST_F(ManagerTest, ARefusedDeleteChangesNothing) {
    AddModule("a.mp3", 1, 2);
    const auto before = Tables();
    // The second statement fails after the first has run: the first is undone too.
    Exec("CREATE TRIGGER t BEFORE DELETE ON items2 BEGIN SELECT RAISE(ABORT,'x refused'); END;");
    manager->Delete(0);
    EXPECT_EQ(restarts, 0);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_TRUE(prompter.messages[1].text.contains(QStringLiteral("x refused")));
    EXPECT_EQ(prompter.messages[1].icon, MsgIcon::Error);
    EXPECT_EQ(Tables(), before);
    EXPECT_EQ(sqlite3_get_autocommit(lq::test::RawHandle(folder.Db())), 1);
}

TEST_F(ManagerTest, AFailedCompactionIsOnlyReported) {
    AddModule("a.mp3", 1, 2);
    // VACUUM cannot run while a statement of the connection is still reading.
    sqlite3_stmt* reading = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(lq::test::RawHandle(folder.Db()), "SELECT * FROM wrdstt UNION ALL SELECT 1,1,1,1,'x';", -1,
                                 &reading, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(reading), SQLITE_ROW);
    manager->Delete(0);
    sqlite3_finalize(reading);
    EXPECT_EQ(folder.Count("sounds"), 0);
    EXPECT_EQ(folder.Count("items2"), 0);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_TRUE(prompter.messages[1].text.contains(QStringLiteral("not compacted")));
    EXPECT_EQ(restarts, 1);
}

TEST_F(ManagerTest, AddRestartsOnlyAfterASuccessfulImport) {
    struct Case {
        ImportResult result;
        int restarts;
    } cases[] = {{kImportDone, 1}, {kImportAlreadyAdded, 0}, {kImportFilesMissing, 0}, {kImportNoData, 0}, {kImportFailed, 0}};
    chosen = "u.txt";
    for (const Case& c : cases) {
        restarts = 0;
        importResult = c.result;
        manager->Add();
        EXPECT_EQ(restarts, c.restarts) << c.result;
    }
    EXPECT_EQ(imported, Lines(5, "u.txt"));
    chosen.reset();  // Cancel
    manager->Add();
    EXPECT_EQ(imported.size(), 5u);
}

TEST_F(ManagerTest, AddWithTheRealImport) {
    ModuleManagerServices s;
    s.restart = [this] { ++restarts; };
    s.prompter = &prompter;
    s.chooseModule = [] { return std::optional<std::string>("mine.txt"); };
    ModuleManager real(ctx, std::move(s));
    folder.AddFixtureModule("mine");
    real.Add();
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(folder.Count("items2"), 3);
    EXPECT_EQ(state.ItemCount, 3);
    real.Add();  // already added: its message, no restart
    EXPECT_EQ(restarts, 1);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("These items are already added!"));
}

// The list, mark, delete and import statements run prepared with their values bound.
TEST_F(ManagerTest, StatementsRunWithTheirValuesBound) {
    AddModule("a.mp3", 1, 1);
    const long long b = AddModule("b.mp3", 0, 1);
    const test::StatementTrace trace(folder.Db());
    manager->Toggle(1);
    prompter.answers = {MsgResult::Yes};
    manager->Delete(1);
    ModuleManagerServices s;
    s.restart = [] {};
    s.prompter = &prompter;
    s.chooseModule = [] { return std::optional<std::string>("mine.txt"); };
    ModuleManager real(ctx, std::move(s));
    folder.AddFixtureModule("mine");
    real.Add();
    ASSERT_EQ(folder.Count("items2"), 4);

    const std::string id = std::to_string(b);
    const test::StatementTrace::Statement expected[] = {
        {"SELECT * FROM sounds ORDER BY ididnt LIMIT ?,1;", "SELECT * FROM sounds ORDER BY ididnt LIMIT 1,1;"},
        {"UPDATE sounds set isigns=1 WHERE ididnt=?;", "UPDATE sounds set isigns=1 WHERE ididnt=" + id + ";"},
        {"DELETE FROM sounds WHERE ididnt=?;", "DELETE FROM sounds WHERE ididnt=" + id + ";"},
        {"DELETE FROM items2 WHERE isound=?;", "DELETE FROM items2 WHERE isound=" + id + ";"},
    };
    const auto& ran = trace.Statements();
    for (const auto& e : expected)
        EXPECT_NE(std::find(ran.begin(), ran.end(), e), ran.end()) << e.prepared;
    const auto preparedOnce = [&](const std::string& text) {
        return std::count_if(ran.begin(), ran.end(), [&](const auto& st) { return st.prepared == text; });
    };
    EXPECT_EQ(preparedOnce("INSERT INTO sounds (isigns, icodes, sfname) values(?, ?, ?);"), 1);
    EXPECT_EQ(preparedOnce("UPDATE sounds set icodes=? WHERE ididnt=?;"), 1);
    EXPECT_EQ(preparedOnce("INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, "
                           "dtansw, dtansn, iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, "
                           "ipic_1, ipic_2, ipic_3, ipic_4, ipic_5 )values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                           "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);"),
              3);
}

TEST_F(ManagerTest, OldDataRestartsOnlyWhenImported) {
    manager->ImportOldData();  // no old files: nothing at all
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(prompter.messages.empty());
    for (const char* f : {"SoundsList.txt", "Items.txt", "ItemsInd.dat", "ItemsImsInd.dat"}) folder.Write("../" + std::string(f), "");
    manager->ImportOldData();
    EXPECT_EQ(restarts, 1);
    Exec("DROP TABLE answcn;");
    manager->ImportOldData();
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(prompter.messages.size(), 1u);
}

}  // namespace
}  // namespace lq
