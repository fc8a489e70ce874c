// The learning step against real database files that cannot be written: a read-only file, a
// read-only folder, a lock held by another connection, a statement or a commit that fails. The
// step stores everything or nothing, the learner is told once per run and goes on practising.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/LearningStep.h"
#include "core/Random.h"
#include "core/Scheduling.h"
#include "core/SentenceBoard.h"
#include "core/Settings.h"
#include "core/SqlText.h"
#include "core/StartupPolicy.h"
#include "core/WriteReports.h"
#include "tests/core/CoreTestDb.h"
#include "tests/support/RawConnection.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace lq {
namespace {

using test::FixedClock;
using test::RecordingPrompter;
using test::TempDir;

class QueueHooks final : public NullLearningStepHooks {
public:
    void QueueAnsweredWord(const std::string& word) override { queued.push_back(word); }
    // Between the step's rescheduling and its history row.
    void PrepareCurrentItem() override {
        if (onLayout) onLayout();
    }
    std::vector<std::string> queued;
    std::function<void()> onLayout;
};

// Everything the learner's steps store, as text.
std::string StoredState(const Database& db) {
    std::string out;
    auto dump = [&](const char* sql) {
        db.Query(sql, [&](int n, char** values, char** names) {
            for (int i = 0; i < n; ++i) out += std::string(names[i]) + "=" + (values[i] ? values[i] : "NULL") + " ";
            out += "\n";
        });
    };
    dump("SELECT * FROM items2 ORDER BY ididnt;");
    dump("SELECT * FROM answcn ORDER BY ididnt;");
    dump("SELECT * FROM wrdstt ORDER BY ididnt;");
    return out;
}

// One run of the program on a program folder: the start-up's open and check, then steps.
struct Learner {
    explicit Learner(const std::string& programDir, bool startupCheck = true) {
        ctx.env = &env;
        ctx.state = &state;
        ctx.settings = &settings;
        ctx.db = &db;
        ctx.row = &row;
        ctx.clock = &clock;
        ctx.rng = &rng;
        settings.InputAfterFloat = 12.0f;
        opened = OpenAtStartup(db, programDir + "/" + kDefaultDatabaseName, programDir) &&
                 OpenDatabaseAndTotals(db, programDir, state, row);
        if (opened && startupCheck) ReportUnwritableDatabase(db, state);
        state.CurrentItemId = SelectNextItem(db, row, clock, -1);
        state.NextItemId = SelectNextItem(db, row, clock, state.CurrentItemId);
    }

    // One Next with the sentence solved; returns its duration in milliseconds.
    long long Step(bool shown = false) {
        state.SentenceSolved = true;
        state.AnswerShown = shown;
        LearningStep step(ctx, board, hooks, [] { return 0u; });
        const auto start = std::chrono::steady_clock::now();
        step.Run();
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    }

    // The sentence on screen has one word to type, already known well.
    void TypeOneWord() {
        board.WordTiles.assign(1, WordTile{});
        board.WordTiles[0].Text = "word";
        board.WordWeightPairs = {1, 5};
        board.WordCounts = {10, 0};
        board.TypedWordTiles = {0};
    }

    ProgramEnv env;
    LearnState state;
    CommonSettings settings;
    Database db;
    CurrentRow row;
    FixedClock clock{test::At(2024, 3, 10, 12, 0, 0)};
    ScriptedRandom rng;
    SentenceBoard board;
    QueueHooks hooks;
    AppContext ctx;
    bool opened = false;
};

class StepSaving : public ::testing::Test {
protected:
    StepSaving() {
        Database db;
        const SqlResult opened = db.Open(Path());
        if (!opened.ok()) ADD_FAILURE() << opened.message;
        db.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'm.mp3');");
        for (int i = 1; i <= 6; ++i)
            db.Exec(Sql("INSERT INTO items2 (isound, isigns, irange, irng_2, iaansw, igansw, dtansw, dtansn, iplace, "
                        "isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm) values(1, 1, 0, 0, 0, 0, "
                        "'2024-01-01 00:00:00', '2024-01-01 00:00:00', %i, -1, -1, '', 'word %i', '', '', '0', 0);",
                        10 * i, i));
        db.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(6, 0, 1, 'word');");
        before_ = StoredState(db);
    }
    ~StepSaving() override {
        std::error_code ec;
        std::filesystem::permissions(dir_.Path(), std::filesystem::perms::owner_all, ec);
    }

    std::string Path() const { return dir_.File(kDefaultDatabaseName); }

    // What a later run on a writable copy of the folder finds.
    std::string StoredInACopy() {
        TempDir copy;
        std::filesystem::copy_file(Path(), copy.File(kDefaultDatabaseName));
        Database db;
        EXPECT_TRUE(db.Open(copy.File(kDefaultDatabaseName)).ok());
        return StoredState(db);
    }

    TempDir dir_;
    std::string before_;
};

// ---- A database that cannot be written --------------------------------------------------------

struct ReadOnlyCase {
    const char* name;
    mode_t fileMode, folderMode;
    bool startupCheck;     // the start-up looks before the first step
    bool opensReadOnly;    // sqlite3_db_readonly
};

void PrintTo(const ReadOnlyCase& c, std::ostream* os) { *os << c.name; }

class StepSavingReadOnly : public StepSaving, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(StepSavingReadOnly, TellsOnceLetsTheLearnerGoOnAndStoresNothing) {
    const ReadOnlyCase& c = GetParam();
    const std::string bytes = TempDir::Read(Path());
    ASSERT_EQ(chmod(Path().c_str(), c.fileMode), 0);
    ASSERT_EQ(chmod(dir_.Path().c_str(), c.folderMode), 0);

    const test::UnprivilegedRun run = test::RunUnprivileged({dir_.Path()}, [&] {
        RecordingPrompter prompter;
        Learner learner(dir_.Path(), c.startupCheck);
        EXPECT_TRUE(learner.opened);
        EXPECT_EQ(learner.db.IsReadOnly(), c.opensReadOnly);
        EXPECT_EQ(prompter.messages.size(), c.startupCheck ? 1u : 0u) << "at start-up";

        const int first = learner.state.CurrentItemId, second = learner.state.NextItemId;
        learner.TypeOneWord();
        learner.Step();
        EXPECT_EQ(learner.state.CurrentItemId, second) << "the learner goes on to the next sentence";
        EXPECT_NE(learner.state.CurrentItemId, first);
        learner.Step(true);
        learner.Step();
        EXPECT_EQ(learner.state.RunAnswerCount, 3);
        EXPECT_EQ(learner.state.AnswerHistoryCount, 0);
        EXPECT_TRUE(learner.hooks.queued.empty()) << "typed words of a lost step are not counted";
        EXPECT_EQ(StoredState(learner.db), before_);

        EXPECT_EQ(prompter.messages.size(), 1u) << "told once per run";
        if (!prompter.messages.empty()) {
            const QString text = prompter.messages[0].text;
            EXPECT_TRUE(text.contains(QStringLiteral("readonly"))) << text.toStdString();  // the engine's message
            EXPECT_TRUE(text.contains(c.startupCheck ? QStringLiteral("will not be saved")
                                                     : QStringLiteral("not being saved")))
                << text.toStdString();
        }
        return !::testing::Test::HasFailure();
    });
    if (run.outcome == test::UnprivilegedRun::Unavailable) GTEST_SKIP() << run.why;
    EXPECT_EQ(run.outcome, test::UnprivilegedRun::Passed) << run.why;

    EXPECT_EQ(TempDir::Read(Path()), bytes) << "the file is untouched";
    EXPECT_FALSE(std::filesystem::exists(Path() + "-journal"));
    EXPECT_EQ(StoredInACopy(), before_) << "a later run finds the history as it was";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StepSavingReadOnly,
    ::testing::Values(ReadOnlyCase{"ReadOnlyFile", 0444, 0777, true, true},
                      ReadOnlyCase{"ReadOnlyFolder", 0666, 0555, true, false},
                      ReadOnlyCase{"ReadOnlyFolderToldAtTheFirstStep", 0666, 0555, false, false}),
    [](const ::testing::TestParamInfo<ReadOnlyCase>& info) { return std::string(info.param.name); });

TEST_F(StepSaving, AWritableDatabaseIsNotReported) {
    RecordingPrompter prompter;
    Learner learner(dir_.Path());
    learner.Step();
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_FALSE(learner.db.IsReadOnly());
    EXPECT_EQ(learner.state.AnswerHistoryCount, 1);
    EXPECT_FALSE(std::filesystem::exists(Path() + "-journal")) << "the check leaves no journal behind";
}

// ---- Another program holds the lock ----------------------------------------------------------

struct LockCase {
    const char* name;
    const char* lock;       // what the other program holds
    bool beforeStartup;     // it holds it already when the program starts
    int lockedSteps;
};

void PrintTo(const LockCase& c, std::ostream* os) { *os << c.name; }

class StepSavingLocked : public StepSaving, public ::testing::WithParamInterface<LockCase> {};

TEST_P(StepSavingLocked, AStepWaitsOnceStoresNothingAndTheNextFreeStepStores) {
    const LockCase& c = GetParam();
    RecordingPrompter prompter;
    Database other;
    ASSERT_TRUE(other.Open(Path()).ok());
    if (c.beforeStartup) {
        ASSERT_TRUE(other.Exec(c.lock).ok());
    }
    Learner learner(dir_.Path());
    EXPECT_TRUE(prompter.messages.empty()) << "a lock at start-up says nothing about the file";
    if (!c.beforeStartup) {
        ASSERT_TRUE(other.Exec(c.lock).ok());
    }

    constexpr int kWaitMs = 400;
    learner.db.SetBusyTimeout(kWaitMs);
    learner.TypeOneWord();
    for (int i = 0; i < c.lockedSteps; ++i) {
        const int following = learner.state.NextItemId;
        const long long ms = learner.Step();
        EXPECT_GE(ms, kWaitMs - 50) << "the step tried to get the lock";
        EXPECT_LT(ms, 2 * kWaitMs) << "one busy wait, not one per statement";
        EXPECT_EQ(learner.state.CurrentItemId, following) << "the learner goes on";
    }
    EXPECT_EQ(learner.db.BusyTimeout(), kWaitMs) << "the waiting comes back for the next step";
    EXPECT_TRUE(sqlite3_get_autocommit(lq::test::RawHandle(learner.db)));
    EXPECT_TRUE(learner.hooks.queued.empty());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("not being saved")));
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("locked")))
        << prompter.messages[0].text.toStdString();

    ASSERT_TRUE(other.Exec("ROLLBACK;").ok());
    EXPECT_EQ(StoredState(other), before_);

    // The lock is gone: the next step is stored, and nothing more is said.
    const int answered = learner.state.CurrentItemId;
    learner.TypeOneWord();
    learner.Step();
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(learner.hooks.queued, std::vector<std::string>{"word"});
    CurrentRow r;
    other.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", answered), r);
    EXPECT_EQ(r.iaansw, 1);
    r.CountResult = -1;
    other.Query("SELECT count(*) FROM answcn;", r);
    EXPECT_EQ(r.CountResult, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Locks, StepSavingLocked,
    // An exclusive lock keeps even the reads out, so the learner gets no new following sentence
    // while it lasts; one step is enough to show the single wait.
    ::testing::Values(LockCase{"WriteLockFromBeforeTheStart", "BEGIN IMMEDIATE;", true, 2},
                      LockCase{"ExclusiveLock", "BEGIN EXCLUSIVE;", false, 1}),
    [](const ::testing::TestParamInfo<LockCase>& info) { return std::string(info.param.name); });

// ---- A statement or the commit fails -----------------------------------------------------------

struct FailingCase {
    const char* name;
    const char* setup;    // run on the learner's connection before the steps
    const char* message;  // part of the engine's message
};

void PrintTo(const FailingCase& c, std::ostream* os) { *os << c.name; }

class StepSavingFailing : public StepSaving, public ::testing::WithParamInterface<FailingCase> {};

TEST_P(StepSavingFailing, TheWholeStepIsRolledBackAndToldOnce) {
    RecordingPrompter prompter;
    Learner learner(dir_.Path());
    ASSERT_TRUE(learner.db.Exec(GetParam().setup).ok());
    const std::string stored = StoredState(learner.db);
    const float score = learner.state.Score;

    learner.TypeOneWord();
    learner.Step();
    learner.Step(true);
    EXPECT_EQ(StoredState(learner.db), stored) << "no statement of a failed step is stored";
    EXPECT_TRUE(sqlite3_get_autocommit(lq::test::RawHandle(learner.db))) << "no transaction stays open";
    EXPECT_EQ(learner.state.AnswerHistoryCount, 0);
    EXPECT_EQ(learner.state.Score, score) << "the score shown is that of what is stored";
    EXPECT_TRUE(learner.hooks.queued.empty());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QString::fromLatin1(GetParam().message)))
        << prompter.messages[0].text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StepSavingFailing,
    ::testing::Values(
        // The history row is refused after the schedule was written.
        FailingCase{"HistoryRowRefused",
                    "CREATE TRIGGER refuse BEFORE INSERT ON answcn BEGIN SELECT RAISE(ABORT, 'no history'); END;",
                    "no history"},
        // Every statement works, the commit does not (a deferred constraint is checked there).
        FailingCase{"CommitRefused",
                    "PRAGMA foreign_keys=ON; CREATE TABLE parent (id integer primary key); "
                    "CREATE TABLE child (p integer REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED); "
                    "CREATE TRIGGER orphan AFTER UPDATE ON items2 BEGIN INSERT INTO child VALUES (999); END;",
                    "FOREIGN KEY"},
        // The file cannot grow (the write of each point needs new pages): the engine undoes the
        // statement and keeps the transaction.
        FailingCase{"ScheduleCannotGrow",
                    "CREATE TABLE filler (b); CREATE TRIGGER grow AFTER UPDATE OF iplace ON items2 BEGIN "
                    "INSERT INTO filler VALUES (zeroblob(65536)); END; PRAGMA max_page_count=1;",
                    "full"},
        FailingCase{"WordListCannotGrow",
                    "CREATE TABLE filler (b); CREATE TRIGGER grow AFTER UPDATE OF strind ON items2 BEGIN "
                    "INSERT INTO filler VALUES (zeroblob(65536)); END; PRAGMA max_page_count=1;",
                    "full"},
        FailingCase{"HistoryRowCannotGrow",
                    "CREATE TABLE filler (b); CREATE TRIGGER grow BEFORE INSERT ON answcn BEGIN "
                    "INSERT INTO filler VALUES (zeroblob(65536)); END; PRAGMA max_page_count=1;",
                    "full"},
        // The engine rolls the whole transaction back at each point (as it may on a full disk or
        // an I/O error): the step's later writes must not go on in autocommit mode.
        FailingCase{"ScheduleRolledBackByTheEngine",
                    "CREATE TRIGGER lose AFTER UPDATE OF iplace ON items2 BEGIN SELECT RAISE(ROLLBACK, 'rolled "
                    "back'); END;",
                    "rolled back"},
        FailingCase{"WordListRolledBackByTheEngine",
                    "CREATE TRIGGER lose AFTER UPDATE OF strind ON items2 BEGIN SELECT RAISE(ROLLBACK, 'rolled "
                    "back'); END;",
                    "rolled back"},
        FailingCase{"HistoryRowRolledBackByTheEngine",
                    "CREATE TRIGGER lose BEFORE INSERT ON answcn BEGIN SELECT RAISE(ROLLBACK, 'rolled back'); END;",
                    "rolled back"}),
    [](const ::testing::TestParamInfo<FailingCase>& info) { return std::string(info.param.name); });

// The transaction ends under the step without a failure of its own: another thread's statement
// on the shared connection (the sound thread's word count) made the engine roll it back.
TEST_F(StepSaving, ATransactionEndedByAnotherThreadsStatementStoresNothingOfTheStep) {
    RecordingPrompter prompter;
    Learner learner(dir_.Path());
    ASSERT_TRUE(learner.db
                    .Exec("CREATE TRIGGER lose BEFORE UPDATE ON wrdstt BEGIN SELECT RAISE(ROLLBACK, 'count lost'); "
                          "END;")
                    .ok());
    const std::string stored = StoredState(learner.db);
    int otherThreadsResult = SQLITE_OK;
    learner.hooks.onLayout = [&] {
        std::thread other([&] {
            otherThreadsResult = sqlite3_exec(lq::test::RawHandle(learner.db), "UPDATE wrdstt SET ianswr=ianswr+1;", nullptr,
                                              nullptr, nullptr);
        });
        other.join();
    };
    learner.TypeOneWord();
    learner.Step();
    EXPECT_EQ(otherThreadsResult, SQLITE_CONSTRAINT);
    EXPECT_EQ(StoredState(learner.db), stored) << "the history row is not stored on its own";
    EXPECT_TRUE(learner.hooks.queued.empty());
    EXPECT_EQ(learner.state.AnswerHistoryCount, 0);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("rolled the transaction back")))
        << prompter.messages[0].text.toStdString();
}

// ---- A nearly full disk ----------------------------------------------------------------------

// items2 without the row `except`, as text.
std::string OtherItems(const Database& db, int except) {
    std::string out;
    db.Query(Sql("SELECT * FROM items2 WHERE ididnt!=%i ORDER BY ididnt;", except), [&](int n, char** v, char**) {
        for (int i = 0; i < n; ++i) out += std::string(v[i] ? v[i] : "NULL") + "|";
        out += "\n";
    });
    return out;
}

class StepSavingSmallDisk : public ::testing::TestWithParam<int> {};

TEST_P(StepSavingSmallDisk, EachStepIsStoredWholeOrNotAtAllAndToldOnce) {
    test::SmallDisk disk(2 << 20);
    if (!disk.Mounted()) {
        GTEST_SKIP() << disk.Why();
    }
    {
        Database db;
        ASSERT_TRUE(db.Open(disk.File(kDefaultDatabaseName)).ok());
        ASSERT_TRUE(db.Exec("BEGIN; INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'm.mp3');").ok());
        for (int i = 1; i <= 400; ++i)
            ASSERT_TRUE(db.Exec(Sql("INSERT INTO items2 (isound, isigns, irange, irng_2, iaansw, igansw, dtansw, "
                                    "dtansn, iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm) "
                                    "values(1, 1, %i, 0, 0, %i, '2024-01-01 00:00:00', '2024-01-01 00:00:00', %i, "
                                    "-1, -1, '', 'a sentence of some words %i', '', '', '0', 0);",
                                    i % 6, i % 13, 10 * i, i))
                            .ok());
        ASSERT_TRUE(db.Exec("COMMIT;").ok());
    }
    const int freeKiB = GetParam();
    ASSERT_TRUE(disk.LeaveFree(static_cast<uint64_t>(freeKiB) * 1024)) << disk.FreeBytes();

    RecordingPrompter prompter;
    Learner learner(disk.Path());
    ASSERT_TRUE(learner.opened);
    const size_t toldAtStart = prompter.messages.size();
    int stored = 0, lost = 0;
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        const int answered = learner.state.CurrentItemId;
        const std::string others = OtherItems(learner.db, answered);
        learner.row.CountResult = -1;
        learner.db.Query("SELECT count(*) FROM answcn;", learner.row);
        const int history = learner.row.CountResult;
        learner.clock.Set(test::At(2024, 3, 10, 12, i, 0));
        const std::string stepTime = DateText(learner.clock.Now());

        learner.Step(i % 3 == 2);

        EXPECT_TRUE(sqlite3_get_autocommit(lq::test::RawHandle(learner.db)));
        EXPECT_EQ(OtherItems(learner.db, answered), others);
        CurrentRow r;
        learner.db.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", answered), r);
        r.CountResult = -1;
        learner.db.Query("SELECT count(*) FROM answcn;", r);
        const bool scheduled = r.dtansw == stepTime;
        EXPECT_EQ(r.CountResult, history + (scheduled ? 1 : 0)) << "the schedule and the history row together";
        (scheduled ? stored : lost) += 1;
    }
    // The first run's file in a roomy folder holds what the steps stored, and no more.
    TempDir copy;
    std::filesystem::copy_file(disk.File(kDefaultDatabaseName), copy.File(kDefaultDatabaseName));
    learner.db.Close();
    Database later;
    ASSERT_TRUE(later.Open(copy.File(kDefaultDatabaseName)).ok());
    CurrentRow r;
    r.CountResult = -1;
    later.Query("SELECT count(*) FROM answcn;", r);
    EXPECT_EQ(r.CountResult, stored);
    r.CountResult = -1;
    later.Query("SELECT count(*) FROM items2 WHERE dtansw>'2024-03-01';", r);
    EXPECT_EQ(r.CountResult, stored);

    EXPECT_EQ(prompter.messages.size(), toldAtStart > 0 || lost > 0 ? 1u : 0u) << "told once";
    RecordProperty("stored", stored);
    RecordProperty("lost", lost);
    if (freeKiB <= 8) {
        EXPECT_GT(lost, 0) << "the disk is too full for a step";
    }
}

INSTANTIATE_TEST_SUITE_P(FreeKiB, StepSavingSmallDisk, ::testing::Values(4, 16, 28, 36, 40, 44, 48, 52, 56, 64),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "KiB"; });

// ---- A huge "InputAfter" ---------------------------------------------------------------------------

TEST_F(StepSaving, AHugeInputAfterReadsAsTwelveAndAStepStaysFast) {
    for (const char* value : {"2147483647", "1000000"}) {
        SCOPED_TRACE(value);
        IniFile ini(dir_.Write("Tessarin.ini", std::string("[Common]\r\nInputAfter=") + value + "\r\n"));
        ASSERT_TRUE(ini.Load());
        Learner learner(dir_.Path());
        int left = 0, top = 0;
        ReadCommonSettings(ini, learner.settings, learner.state.ItemCount, left, top);
        EXPECT_EQ(learner.settings.InputAfter, 12);
        EXPECT_LT(learner.Step(), 2000);
    }
}

}  // namespace
}  // namespace lq
