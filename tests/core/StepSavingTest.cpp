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
        if (state) laidOut = state->CurrentItemId;
        if (onLayout) onLayout();
    }
    void SwapSoundBuffers() override {
        soundCurrent = soundPending;
        if (state) soundPending = state->NextItemId;
    }
    void ShowScoreLabels(const ScoreLabelTexts& texts) override { scoreShown = texts.score + "." + texts.score2; }
    std::vector<std::string> queued;
    std::function<void()> onLayout;
    // What the windows would show: the sentence on the board, the sounds of the current and the
    // following sentence, the score label.
    const LearnState* state = nullptr;
    int laidOut = -1, soundCurrent = -1, soundPending = -1;
    std::string scoreShown;
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
        hooks.state = &state;
        hooks.laidOut = hooks.soundCurrent = state.CurrentItemId;
        hooks.soundPending = state.NextItemId;
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

// Another program takes the strongest lock it can get on the file when the learner's connection
// starts its statement number `at` (from 0): an exclusive lock, else a read lock (which keeps the
// learner's commit out), and holds it until Release().
class LockAtStatement {
public:
    LockAtStatement(const Database& learner, const std::string& path, int at) : learner_(learner), at_(at) {
        EXPECT_TRUE(other_.Open(path).ok());
        other_.SetBusyTimeout(0);
        sqlite3_trace_v2(test::RawHandle(learner_), SQLITE_TRACE_STMT, &LockAtStatement::OnStatement, this);
    }
    ~LockAtStatement() {
        Stop();
        Release();
    }
    void Stop() { sqlite3_trace_v2(test::RawHandle(learner_), 0, nullptr, nullptr); }
    void Release() {
        if (other_.InTransaction()) {
            EXPECT_TRUE(other_.Exec("ROLLBACK;").ok());
        }
    }
    int statements = 0;  // statements the learner started
    std::string held;    // "exclusive", "read" or nothing

private:
    static int OnStatement(unsigned, void* self, void*, void*) {
        auto* me = static_cast<LockAtStatement*>(self);
        if (me->statements++ == me->at_) me->Take();
        return 0;
    }
    void Take() {
        if (other_.Exec("BEGIN EXCLUSIVE;").ok()) {
            held = "exclusive";
        } else if (other_.Exec("BEGIN;").ok() && other_.Exec("SELECT count(*) FROM items2;").ok()) {
            held = "read";
        } else {
            Release();
        }
    }
    const Database& learner_;
    Database other_;
    int at_;
};

// What the learner's program holds and shows after a step.
struct Seen {
    std::string stored;  // the tables
    int current = 0, next = 0, laidOut = 0, soundCurrent = 0, soundPending = 0;
    float score = 0;
    std::string scoreShown;
    std::vector<int> weights;  // the board's flag and weight pairs
    int history = 0;
    bool solved = false;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os) {
    *os << "current " << s.current << " next " << s.next << " board " << s.laidOut << " sound " << s.soundCurrent
        << "/" << s.soundPending << " score " << s.score << " shown " << s.scoreShown << " history " << s.history
        << " solved " << s.solved << " weights";
    for (int w : s.weights) *os << " " << w;
    *os << "\n" << s.stored;
}

Seen SeenBy(Learner& l) {
    return {StoredState(l.db), l.state.CurrentItemId, l.state.NextItemId, l.hooks.laidOut, l.hooks.soundCurrent,
            l.hooks.soundPending, l.state.Score, l.hooks.scoreShown, l.board.WordWeightPairs,
            l.state.AnswerHistoryCount, l.state.SentenceSolved};
}

// One step with a typed word, as the window leaves the flags when a step did not take place.
void StepTyped(Learner& l) {
    l.TypeOneWord();
    l.state.SentenceSolved = true;
    l.state.AnswerShown = false;
    LearningStep step(l.ctx, l.board, l.hooks, [] { return 0u; });
    step.Run();
}

TEST_F(StepSaving, ALockAtAnyStatementOfTheStepNeitherScramblesTheSentencesNorLosesTheAnswer) {
    const std::string fixture = Path();
    auto freshFolder = [&](TempDir& dir) { std::filesystem::copy_file(fixture, dir.File(kDefaultDatabaseName)); };

    // The steps without any lock: what the learner sees before and after each.
    std::vector<Seen> free;
    int statements = 0;
    {
        TempDir dir;
        freshFolder(dir);
        RecordingPrompter prompter;
        Learner l(dir.Path());
        l.TypeOneWord();
        free.push_back(SeenBy(l));
        {
            LockAtStatement count(l.db, dir.File(kDefaultDatabaseName), -1);
            StepTyped(l);
            statements = count.statements;
        }
        free.push_back(SeenBy(l));
        for (int i = 0; i < 2; ++i) {
            StepTyped(l);
            free.push_back(SeenBy(l));
        }
        ASSERT_TRUE(prompter.messages.empty());
        ASSERT_NE(free[1].current, free[0].current);
        ASSERT_EQ(free[1].history, 1);
    }
    ASSERT_GT(statements, 10);

    constexpr int kWaitMs = 300;
    for (int at = 0; at <= statements; ++at) {
        SCOPED_TRACE("locked at statement " + std::to_string(at) + " of " + std::to_string(statements));
        TempDir dir;
        freshFolder(dir);
        RecordingPrompter prompter;
        Learner l(dir.Path());
        l.db.SetBusyTimeout(kWaitMs);
        bool kept = false;
        long long ms = 0;
        {
            LockAtStatement lock(l.db, dir.File(kDefaultDatabaseName), at);
            const auto start = std::chrono::steady_clock::now();
            StepTyped(l);
            ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            // Once the step holds the file, no other program gets in until it has committed.
            EXPECT_EQ(lock.held, at == 0 ? "exclusive" : "");
            kept = !lock.held.empty();
        }
        if (kept) {
            EXPECT_GE(ms, kWaitMs - 50) << "the step waited for the lock";
            EXPECT_LT(ms, 3 * kWaitMs) << "once";
            // Nothing changed: the same sentence on the board with its sound, the same one
            // following, the score and its label as they were, the answer still to be given.
            Seen before = free[0];
            before.solved = true;
            EXPECT_EQ(SeenBy(l), before);
            EXPECT_EQ(l.state.RunAnswerCount, 0);
            EXPECT_TRUE(l.hooks.queued.empty());
            ASSERT_EQ(prompter.messages.size(), 1u);
            EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("locked")))
                << prompter.messages[0].text.toStdString();
            EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("press Next again")));
        } else {
            EXPECT_EQ(SeenBy(l), free[1]);
            EXPECT_TRUE(prompter.messages.empty());
        }
        EXPECT_TRUE(sqlite3_get_autocommit(test::RawHandle(l.db))) << "no transaction stays open";
        // The lock is gone: the steps after it are those of a learner who never met it.
        for (size_t i = 1; i < 3; ++i) {
            StepTyped(l);
            EXPECT_EQ(SeenBy(l), free[kept ? i : i + 1]) << "step " << i << " after the lock";
        }
        EXPECT_EQ(prompter.messages.size(), kept ? 1u : 0u);
        EXPECT_NE(l.state.CurrentItemId, -1);
        EXPECT_NE(l.state.NextItemId, -1);
    }
}

// Another program holds the write lock from before the start (the program can read): each step
// waits once and keeps its sentence, and each is told; when the lock goes, the answer is stored.
TEST_F(StepSaving, AWriteLockFromBeforeTheStartKeepsTheFirstSentenceUntilItGoes) {
    RecordingPrompter prompter;
    Database other;
    ASSERT_TRUE(other.Open(Path()).ok());
    ASSERT_TRUE(other.Exec("BEGIN IMMEDIATE;").ok());
    Learner learner(dir_.Path());
    EXPECT_TRUE(prompter.messages.empty()) << "a lock at start-up says nothing about the file";
    constexpr int kWaitMs = 300;
    learner.db.SetBusyTimeout(kWaitMs);
    const int current = learner.state.CurrentItemId, next = learner.state.NextItemId;
    for (int i = 0; i < 2; ++i) {
        const auto start = std::chrono::steady_clock::now();
        StepTyped(learner);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GE(ms, kWaitMs - 50) << "the step tried to get the lock";
        EXPECT_LT(ms, 3 * kWaitMs) << "one busy wait, not one per statement";
        EXPECT_EQ(learner.state.CurrentItemId, current);
        EXPECT_EQ(learner.state.NextItemId, next);
        EXPECT_EQ(learner.board.WordWeightPairs, (std::vector<int>{1, 5}));
    }
    EXPECT_EQ(learner.db.BusyTimeout(), kWaitMs) << "the waiting comes back for the next step";
    EXPECT_TRUE(sqlite3_get_autocommit(lq::test::RawHandle(learner.db)));
    EXPECT_TRUE(learner.hooks.queued.empty());
    EXPECT_EQ(prompter.messages.size(), 2u) << "each lost step is told";
    ASSERT_TRUE(other.Exec("ROLLBACK;").ok());
    EXPECT_EQ(StoredState(other), before_);

    // The lock is gone: the same answer is stored, and nothing more is said.
    StepTyped(learner);
    EXPECT_EQ(learner.state.CurrentItemId, next);
    EXPECT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(learner.hooks.queued, std::vector<std::string>{"word"});
    CurrentRow r;
    other.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", current), r);
    EXPECT_EQ(r.iaansw, 1);
    r.CountResult = -1;
    other.Query("SELECT count(*) FROM answcn;", r);
    EXPECT_EQ(r.CountResult, 1);
}

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

TEST_F(StepSaving, AHugeInputAfterReadsAsTheBoundAndAStepStaysFast) {
    for (const char* value : {"2147483647", "999999999", "1000000"}) {
        SCOPED_TRACE(value);
        IniFile ini(dir_.Write("Tessarin.ini", std::string("[Common]\r\nInputAfter=") + value + "\r\n"));
        ASSERT_TRUE(ini.Load());
        Learner learner(dir_.Path());
        int left = 0, top = 0;
        ReadCommonSettings(ini, learner.settings, learner.state.ItemCount, left, top);
        EXPECT_EQ(learner.settings.InputAfter, kMaxInputAfter);
        EXPECT_LT(learner.Step(), 2000);
    }
}

// "InputAfter" above the Setting page's 12 holds as the file says: one right answer on one of two
// sentences known 15 times scores each up to 20, not 12.
TEST(InputAfterFromTheFile, TheScoreCountsRightAnswersUpToIt) {
    const std::pair<const char*, const char*> cases[] = {{"20", "26.01852"}, {"12", "33.51852"}};
    for (const auto& [value, stored] : cases) {
        SCOPED_TRACE(value);
        TempDir dir;
        {
            Database db;
            ASSERT_TRUE(db.Open(dir.File(kDefaultDatabaseName)).ok());
            db.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'm.mp3');");
            for (int i = 1; i <= 2; ++i)
                db.Exec(Sql("INSERT INTO items2 (isound, isigns, irange, irng_2, iaansw, igansw, dtansw, dtansn, "
                            "iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm) values(1, 1, 5, 0, "
                            "15, 15, '2024-01-01 00:00:00', '2024-01-01 00:00:00', %i, -1, -1, '', 'word %i', '', '', "
                            "'0', 0);",
                            i, i));
        }
        IniFile ini(dir.Write("Tessarin.ini", std::string("[Common]\r\nInputAfter=") + value + "\r\n"));
        ASSERT_TRUE(ini.Load());
        Learner learner(dir.Path());
        int left = 0, top = 0;
        ReadCommonSettings(ini, learner.settings, learner.state.ItemCount, left, top);
        learner.Step();
        std::string glrang;
        learner.db.Query("SELECT glrang FROM answcn;", [&](int, char** values, char**) { glrang = values[0] ? values[0] : ""; });
        EXPECT_EQ(glrang, stored);
    }
}

}  // namespace
}  // namespace lq
