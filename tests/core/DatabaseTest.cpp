#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <filesystem>
#include <map>
#include <string>
#include <vector>
#include <thread>

#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/Schema.h"
#include "core/SqlText.h"
#include "core/StartupPolicy.h"
#include "platform/DateTime.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/StatementTrace.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

// Runs StoreCurrentRow on one row given as name/value pairs (nullptr value = NULL).
void Row(CurrentRow& r, std::vector<std::pair<const char*, const char*>> cols) {
    std::vector<char*> names, values;
    for (auto& [n, v] : cols) {
        names.push_back(const_cast<char*>(n));
        values.push_back(const_cast<char*>(v));
    }
    StoreCurrentRow(r, static_cast<int>(cols.size()), values.data(), names.data());
}

TEST(StoreCurrentRow, NullKeepsTheOldValueAndUnknownColumnsAreIgnored) {
    CurrentRow r;
    Row(r, {{"isound", "7"}, {"icodes", "99"}, {"stract", "x"}});
    Row(r, {{"isound", nullptr}, {"stract", nullptr}});
    EXPECT_EQ(r.isound, 7);
    EXPECT_EQ(r.stract, "x");
}

TEST(StoreCurrentRow, IntegersAreReadLikeAtoi) {
    CurrentRow r;
    Row(r, {{"irange", " 12abc"}, {"igansw", "abc"}, {"iplace", "-5"}, {"iaansw", "99999999999"}});
    EXPECT_EQ(r.irange, 12);
    EXPECT_EQ(r.igansw, 0);
    EXPECT_EQ(r.iplace, -5);
    EXPECT_EQ(r.iaansw, 2147483647);
}

TEST(StoreCurrentRow, ApostropheEscapeIsUndoneOnlyInTheFourSentenceColumns) {
    CurrentRow r;
    Row(r, {{"strbef", "a#*#b"}, {"stract", "It#*#s #*#x#*#"}, {"straft", "#*#"}, {"strtrn", "l#*#a"},
            {"strind", "1#*#"}, {"twordd", "don*t#*#"}, {"sfname", "o#*#k.mp3"}});
    EXPECT_EQ(r.strbef, "a'b");
    EXPECT_EQ(r.stract, "It's 'x'");
    EXPECT_EQ(r.straft, "'");
    EXPECT_EQ(r.strtrn, "l'a");
    EXPECT_EQ(r.strind, "1#*#");
    EXPECT_EQ(r.twordd, "don*t#*#");
    EXPECT_EQ(r.sfname, "o#*#k.mp3");
}

TEST(StoreCurrentRow, AggregatesShareTheirFields) {
    CurrentRow r;
    Row(r, {{"count(*)", "5"}});
    EXPECT_EQ(r.CountResult, 5);
    Row(r, {{"max(igansw)", "8"}});
    EXPECT_EQ(r.IntAggregate, 8);
    Row(r, {{"sum(irng_2)", "300"}});
    EXPECT_EQ(r.IntAggregate, 300);
    Row(r, {{"max(glrang)", "9.5"}});
    EXPECT_FLOAT_EQ(r.FloatAggregate, 9.5f);
    Row(r, {{"min(glrang)", "1.25"}});
    EXPECT_FLOAT_EQ(r.FloatAggregate, 1.25f);
}

TEST(StoreCurrentRow, EveryGlrangIsAddedToTheSum) {
    CurrentRow r;
    r.GlrangSum = 0;
    Row(r, {{"glrang", "1.5"}});
    Row(r, {{"glrang", "2.25"}});
    Row(r, {{"glrang", "10.00000"}});
    EXPECT_FLOAT_EQ(r.GlrangSum, 13.75f);
    EXPECT_FLOAT_EQ(r.glrang, 10.0f);
}

class DatabaseFile : public ::testing::Test {
protected:
    std::string Path(const char* name = "QV_01.db") const { return dir_.File(name); }
    std::map<std::string, std::string> Master(const Database& db) const {
        std::map<std::string, std::string> m;
        db.Query("SELECT name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite_%';",
                 [&](int, char** v, char**) { m[v[0]] = v[1] ? v[1] : ""; });
        return m;
    }
    // The eleven schema entries and the indexes that speed up the learning step.
    static size_t StoredCount() {
        int n = 0;
        SpeedIndexStatements(&n);
        return 11u + static_cast<size_t>(n);
    }
    test::TempDir dir_;
};

TEST_F(DatabaseFile, NewFileGetsExactlyTheSchema) {
    Database db;
    ASSERT_TRUE(db.Open(Path()).ok());
    const auto m = Master(db);
    int n = 0;
    const char* const* schema = SchemaStatements(&n);
    int speed = 0;
    const char* const* indexes = SpeedIndexStatements(&speed);
    ASSERT_EQ(m.size(), static_cast<size_t>(n + speed));
    auto stored = [&m](std::string stmt) {
        stmt.pop_back();  // the engine keeps the text without the closing ';'
        for (const auto& [name, sql] : m)
            if (sql == stmt) return true;
        return false;
    };
    for (int i = 0; i < n; ++i) EXPECT_TRUE(stored(schema[i])) << schema[i];
    // The added indexes are stored as written, without IF NOT EXISTS.
    for (int i = 0; i < speed; ++i) {
        std::string stmt = indexes[i];
        const std::string ifNotExists = "IF NOT EXISTS ";
        stmt.erase(stmt.find(ifNotExists), ifNotExists.size());
        EXPECT_TRUE(stored(stmt)) << stmt;
    }
    EXPECT_EQ(m.at("wrdstt").find("ianswr interger") != std::string::npos, true);
}

TEST_F(DatabaseFile, CompleteFileIsLeftUnchanged) {
    {
        Database db;
        ASSERT_TRUE(db.Open(Path()).ok());
        db.Exec("INSERT INTO sounds (isigns, icodes, sfname) VALUES (1, 0, 'a.mp3');");
    }
    Database db;
    ASSERT_TRUE(db.Open(Path()).ok());
    CurrentRow r;
    db.Query("SELECT count(*) FROM sounds;", r);
    EXPECT_EQ(r.CountResult, 1);
    EXPECT_EQ(Master(db).size(), StoredCount());
}

TEST_F(DatabaseFile, EmptyOrPartialFilesAreCompleted) {
    dir_.Write("empty.db", "");
    {
        Database partial;
        ASSERT_TRUE(partial.Open(Path("partial.db")).ok());
        partial.Exec("DROP TABLE items2; DROP TABLE sounds; DROP TABLE wrdstt;");
        ASSERT_EQ(Master(partial).size(), 2u);  // answcn and its index
    }
    for (const char* name : {"empty.db", "partial.db"}) {
        Database db;
        ASSERT_TRUE(db.Open(Path(name)).ok()) << name;
        EXPECT_EQ(Master(db).size(), StoredCount()) << name;
    }
}

TEST_F(DatabaseFile, FileThatIsNotADatabaseIsRefused) {
    dir_.Write("junk.db", std::string(4096, 'x'));
    Database db;
    const SqlResult opened = db.Open(Path("junk.db"));
    EXPECT_EQ(opened.code, SQLITE_NOTADB);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(opened.message.empty());
}

TEST_F(DatabaseFile, StartupOpenReportsAndFallsBackToTheProgramFolder) {
    test::RecordingPrompter prompter;
    Database db;
    ASSERT_TRUE(OpenAtStartup(db, dir_.File("missing/folder/x.db"), dir_.Path()));
    EXPECT_EQ(db.Path(), Path());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.startsWith("Can't open database: "));
    EXPECT_EQ(Master(db).size(), StoredCount());  // the fallback file gets its tables too
}

// The program folder's QV_01.db named another way is the same file: a broken one is reported
// once, not once more for the fallback.
TEST_F(DatabaseFile, ABrokenDatabaseIsReportedOnceHoweverItIsNamed) {
    dir_.Write("QV_01.db", std::string(4096, 'x'));
    std::filesystem::create_directory_symlink(dir_.Path(), dir_.File("link"));
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
    for (const std::string& name : {std::string("QV_01.db"), std::string("./QV_01.db"), dir_.Path() + "/./QV_01.db",
                                    dir_.Path() + "//QV_01.db", dir_.File("link/QV_01.db"), Path()}) {
        SCOPED_TRACE(name);
        test::RecordingPrompter prompter;
        Database db;
        EXPECT_FALSE(OpenAtStartup(db, name, dir_.Path()));
        EXPECT_FALSE(db.IsOpen());
        EXPECT_EQ(prompter.messages.size(), 1u);
        for (const auto& m : prompter.messages) EXPECT_TRUE(m.text.startsWith("Can't open database: "));
    }
    // Another broken file still falls back to the program folder's (and both are told).
    dir_.Write("other.db", std::string(4096, 'y'));
    test::RecordingPrompter prompter;
    Database db;
    EXPECT_FALSE(OpenAtStartup(db, "other.db", dir_.Path()));
    EXPECT_EQ(prompter.messages.size(), 2u);
    std::filesystem::current_path(home);
}

TEST_F(DatabaseFile, StartupOpenWithNoConnectionAtAllSaysSo) {
    test::RecordingPrompter prompter;
    Database db;
    EXPECT_FALSE(OpenAtStartup(db, dir_.File("no/a.db"), dir_.File("no")));
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(prompter.messages.empty());
}

TEST_F(DatabaseFile, TotalsReadCountAndNewestScore) {
    Database db;
    LearnState st;
    CurrentRow row;
    ASSERT_TRUE(OpenDatabaseAndTotals(db, dir_.Path(), st, row));
    EXPECT_EQ(st.ItemCount, 0);
    EXPECT_FLOAT_EQ(st.Score, 0.0f);
    db.Exec("INSERT INTO items2 (stract) VALUES ('a'); INSERT INTO items2 (stract) VALUES ('b');");
    db.Exec("INSERT INTO answcn (glrang, dtdate) VALUES ('9.50000', '2026-01-02 00:00:00');"
            "INSERT INTO answcn (glrang, dtdate) VALUES ('10.00000', '2026-01-01 00:00:00');");
    ASSERT_TRUE(OpenDatabaseAndTotals(db, dir_.Path(), st, row));
    EXPECT_EQ(st.ItemCount, 2);
    EXPECT_FLOAT_EQ(st.Score, 9.5f);
    db.Query("SELECT max(glrang) FROM answcn;", row);
    EXPECT_FLOAT_EQ(row.FloatAggregate, 9.5f);  // stored scores compare as texts
}

TEST_F(DatabaseFile, AggregateColumnNamesOfTheLinkedEngineReachTheirFields) {
    Database db;
    ASSERT_TRUE(db.Open(Path()).ok());
    db.Exec("INSERT INTO items2 (igansw, irng_2) VALUES (3, 40); INSERT INTO answcn (glrang) VALUES ('2.5');");
    CurrentRow r;
    db.Query("SELECT count(*) FROM items2;", r);
    EXPECT_EQ(r.CountResult, 1);
    db.Query("SELECT max(igansw) FROM items2;", r);
    EXPECT_EQ(r.IntAggregate, 3);
    db.Query("SELECT sum(irng_2) FROM items2;", r);
    EXPECT_EQ(r.IntAggregate, 40);
    r.FloatAggregate = 0;
    db.Query("SELECT max(glrang) FROM answcn;", r);
    EXPECT_FLOAT_EQ(r.FloatAggregate, 2.5f);
    r.FloatAggregate = 0;
    db.Query("SELECT min(glrang) FROM answcn;", r);
    EXPECT_FLOAT_EQ(r.FloatAggregate, 2.5f);
    r.FloatAggregate = 7;
    db.Exec("DELETE FROM answcn;");
    db.Query("SELECT max(glrang) FROM answcn;", r);  // one NULL row
    EXPECT_FLOAT_EQ(r.FloatAggregate, 7.0f);
}

TEST_F(DatabaseFile, TextsWithApostrophesAndLongTextsRoundTrip) {
    Database db;
    ASSERT_TRUE(db.Open(Path()).ok());
    const std::string comment(10000, 'c');
    ASSERT_TRUE(db.Exec(Sql("INSERT INTO items2 (stract, strtrn) VALUES ('%q', '%q');",
                            EscapeApostrophes("It's John's").c_str(), comment.c_str()))
                    .ok());
    ASSERT_TRUE(db.Exec(Sql("INSERT INTO sounds (sfname) VALUES ('%q');", "o'neil.mp3")).ok());
    CurrentRow r;
    db.Query("SELECT * FROM items2;", r);
    EXPECT_EQ(r.stract, "It's John's");
    EXPECT_EQ(r.strtrn, comment);
    r.ididnt = -1;
    db.Query(Sql("SELECT * FROM sounds WHERE sfname='%q';", "o'neil.mp3"), r);
    EXPECT_NE(r.ididnt, -1);
    EXPECT_EQ(r.sfname, "o'neil.mp3");
}

TEST_F(DatabaseFile, FailedStatementReturnsItsOwnMessage) {
    Database db;
    ASSERT_TRUE(db.Open(Path()).ok());
    const SqlResult r = db.Exec("SELECT nope FROM items2;");
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.message.find("nope"), std::string::npos);
    Database closed;
    EXPECT_FALSE(closed.Exec("SELECT 1;").ok());
}

// History rows one second apart, newest last; the rows `tieAt` to `tieAt`+2 places from the
// newest share one date when tieAt >= 0.
void FillHistory(Database& db, int rows, int tieAt = -1) {
    const DateTime base = EncodeDateTime({2020, 1, 1, 0, 0, 0, 0});
    db.Exec("BEGIN;");
    for (int i = 0; i < rows; ++i) {
        int age = rows - 1 - i;  // 0 = newest
        if (tieAt >= 0 && age > tieAt && age <= tieAt + 2) age = tieAt;
        const std::string date = DateText(base + (rows - age) / 86400.0);
        db.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) VALUES ('1.00000', 1, '%q', '0.00000');",
                    date.c_str()));
    }
    db.Exec("COMMIT;");
}

struct PruneCase {
    int rows;
    int tieAt;
    int kept;
};

class PruneTest : public DatabaseFile, public ::testing::WithParamInterface<PruneCase> {};

TEST_P(PruneTest, KeepsTheNewestRowsAndBoundaryTies) {
    Database db;
    ASSERT_TRUE(db.Open(Path()).ok());
    FillHistory(db, GetParam().rows, GetParam().tieAt);
    CurrentRow r;
    const test::StatementTrace trace(db);
    EXPECT_EQ(PruneAnswerHistory(db, r), GetParam().kept);
    if (GetParam().kept != GetParam().rows) {  // the old rows go by a bound date
        EXPECT_TRUE(
            trace.Ran({"DELETE FROM answcn WHERE dtdate<?;", "DELETE FROM answcn WHERE dtdate<'" + r.dtdate + "';"}));
    }
    r.CountResult = 0;
    db.Query("SELECT count(*) FROM answcn;", r);
    EXPECT_EQ(r.CountResult, GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Boundary, PruneTest,
                         ::testing::Values(PruneCase{16640, -1, 16640}, PruneCase{16641, -1, 16385},
                                           PruneCase{16641, 16384, 16387}));

TEST_F(DatabaseFile, TwoThreadsEachSeeTheirOwnErrors) {
    Database db;
    ASSERT_TRUE(db.Open(Path()).ok());
    std::atomic<int> wrong{0};
    auto work = [&](bool failing) {
        for (int i = 0; i < 500; ++i) {
            const SqlResult r = failing ? db.Exec("SELECT missing_column FROM wrdstt;")
                                        : db.Exec(Sql("INSERT INTO wrdstt (twordd) VALUES ('%q');", "w"));
            if (failing ? (r.ok() || r.message.find("missing_column") == std::string::npos) : !r.ok()) ++wrong;
        }
    };
    std::thread a(work, true), b(work, false);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

// What a registered listener hears: each changed row of this connection, and every event after
// which what it read may be stale.
class Recorder final : public ChangeListener {
public:
    explicit Recorder(const Database&) {}
    void OnRowChange(const RowChange& change) override {
        sqlite3_value* v = nullptr;
        std::string text = change.Is("items2") ? "items2" : "other";
        text += change.What() == RowChange::Kind::Insert   ? " insert"
                : change.What() == RowChange::Kind::Update ? " update"
                                                           : " delete";
        if (change.What() != RowChange::Kind::Delete && change.New(8, v))  // igansw
            text += " " + std::to_string(sqlite3_value_int64(v));
        events.push_back(text);
    }
    // Told once or more for one event (a failed statement in autocommit mode is also rolled back).
    void OnStale() override {
        if (events.empty() || events.back() != "stale") events.push_back("stale");
    }
    std::vector<std::string> events;
};

TEST(DatabaseListeners, HearChangesRollbacksFailuresAndOtherConnections) {
    test::TempDir dir;
    Database db;
    ASSERT_TRUE(db.Open(dir.File("QV_01.db")).ok());
    ASSERT_TRUE(Database::RowHooks());
    Recorder* recorder = db.Listener<Recorder>();
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(db.Listener<Recorder>(), recorder) << "one per connection";
    struct Case {
        const char* sql;
        bool ok;
        std::vector<std::string> heard;
    };
    const Case cases[] = {
        {"INSERT INTO items2 (igansw) values(3);", true, {"items2 insert 3"}},
        {"UPDATE items2 SET igansw=4;", true, {"items2 update 4"}},
        {"INSERT INTO wrdstt (twordd) values('w');", true, {"other insert"}},
        {"BEGIN; DELETE FROM items2; ROLLBACK;", true, {"items2 delete", "stale"}},
        {"INSERT INTO items2 (ididnt) values(1);", false, {"stale"}},  // the id is taken
        {"SELECT count(*) FROM items2;", true, {}},
    };
    for (const Case& c : cases) {
        recorder->events.clear();
        EXPECT_EQ(db.Exec(c.sql).ok(), c.ok) << c.sql;
        EXPECT_EQ(recorder->events, c.heard) << c.sql;
    }
    recorder->events.clear();
    EXPECT_TRUE(db.NoticeOtherWrites());
    EXPECT_TRUE(recorder->events.empty()) << "nobody else wrote";
    Database other;
    ASSERT_TRUE(other.Open(db.Path()).ok());
    ASSERT_TRUE(other.Exec("DELETE FROM wrdstt;").ok());
    EXPECT_TRUE(db.NoticeOtherWrites());
    EXPECT_EQ(recorder->events, std::vector<std::string>{"stale"}) << "another connection wrote";
    db.Close();
    EXPECT_EQ(db.Listener<Recorder>(), nullptr) << "gone with the connection";
}

}  // namespace
}  // namespace lq

namespace lq {
namespace {

// ---- Waiting for another program's lock ----------------------------------------------------

long long MsOf(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

struct LockedFile {
    LockedFile() {
        EXPECT_TRUE(learner.Open(dir.File("QV_01.db")).ok());
        EXPECT_TRUE(other.Open(dir.File("QV_01.db")).ok());
        EXPECT_TRUE(other.Exec("BEGIN EXCLUSIVE;").ok());
        learner.SetBusyTimeout(kWaitMs);
    }
    ~LockedFile() {
        if (other.InTransaction()) other.Exec("ROLLBACK;");
    }
    // Five reads, each refused by the lock.
    void FiveReads() {
        CurrentRow row;
        for (int i = 0; i < 5; ++i) EXPECT_EQ(learner.QueryCached("SELECT count(*) FROM items2;", {}, row).code, SQLITE_BUSY);
    }
    static constexpr int kWaitMs = 200;
    test::TempDir dir;
    Database learner, other;
};

TEST(OperationWait, TheStatementsOfOneOperationWaitOnceTogether) {
    LockedFile f;
    EXPECT_GE(MsOf([&] { f.FiveReads(); }), 5 * (LockedFile::kWaitMs - 20)) << "alone, each waits";
    const long long once = MsOf([&] {
        const OperationWait wait(f.learner);
        f.FiveReads();
        const OperationWait nested(f.learner);  // an operation called from another keeps the one wait
        f.FiveReads();
    });
    EXPECT_GE(once, LockedFile::kWaitMs - 20);
    EXPECT_LT(once, 3 * LockedFile::kWaitMs);
    // The budget belongs to the operation: the next one waits again.
    const OperationWait next(f.learner);
    EXPECT_GE(MsOf([&] { f.FiveReads(); }), LockedFile::kWaitMs - 20);
}

TEST(OperationWait, TheOtherThreadKeepsItsOwnWait) {
    LockedFile f;
    const OperationWait wait(f.learner);
    f.FiveReads();  // this thread's budget is spent
    long long otherThread = 0;
    std::thread t([&] {
        CurrentRow row;
        otherThread = MsOf([&] { f.learner.QueryCached("SELECT count(*) FROM items2;", {}, row); });
    });
    t.join();
    EXPECT_GE(otherThread, LockedFile::kWaitMs - 20);
}

TEST(OperationWait, AFreedLockLetsTheWaitingStatementRun) {
    LockedFile f;
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        f.other.Exec("ROLLBACK;");
    });
    const OperationWait wait(f.learner);
    CurrentRow row;
    const SqlResult r = f.learner.QueryCached("SELECT count(*) FROM items2;", {}, row);
    release.join();
    EXPECT_TRUE(r.ok()) << r.message;
}

}  // namespace
}  // namespace lq
