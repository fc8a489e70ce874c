// The learning core on generated databases on disk of N sentences (10 words each from a
// vocabulary of 20,000), 16,640 score-history rows and 20,000 words in the statistics:
//   BM_LearningStep/N         grading, rescheduling, score, history row and forecast of one step
//                             (no widgets, no sound), N = 10,000, 50,000 and 200,000
//   BM_LearningStepWorst/N    steps that take the rare roads: a success on a sentence with more
//                             good answers than any other (its module's reference queries find
//                             nothing, the third one looks at every sentence), typed successes
//                             placed at the end and in the middle of the queue, and a failure
//   BM_LearningStepDeselectedFront/N  the step with only the last of 10 modules selected, its
//                             sentences behind all the others in the queue, half of it due
//   BM_StartupCaches/N/d      the core's part of start-up on a fresh connection (10 modules; d = 1:
//                             the deselected-front state), counter floor_ms: the engine's scans
//   BM_DeleteModule/N         a module deleted and the restart's choice, counter floor_ms: the same
//                             with the caches off
//   BM_SelectNextItem         the choice of the following sentence (50,000)
//   BM_RebuildWordStatistics  the recount of the word statistics over all sentences (50,000)
//   BM_CacheMemory            the heap each in-memory cache of the learning step takes when it is
//                             filled on a fresh connection (200,000 sentences): counters
//                             totals_bytes, due_bytes_per_sentence, history_bytes_per_row
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>

#include "bench/Sizes.h"
#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/LearningStep.h"
#include "core/LessonCaches.h"
#include "core/Progress.h"
#include "core/Random.h"
#include "core/Scheduling.h"
#include "core/SentenceBoard.h"
#include "core/Settings.h"
#include "core/SqlText.h"
#include "core/Words.h"
#include "platform/DateTime.h"
#include "tests/support/RawConnection.h"

namespace {

constexpr int kSentences = 50000;  // the size of the benchmarks without an argument
constexpr int kHistoryRows = 16640;
constexpr int kWords = 20000;

std::string VocabularyWord(int k) {
    std::string w;
    do {
        w.push_back(static_cast<char>('a' + k % 26));
        k /= 26;
    } while (k > 0);
    return w + "x";
}

class SteppingClock final : public lq::Clock {
public:
    explicit SteppingClock(lq::DateTime t) : t_(t) {}
    lq::DateTime Now() override { return t_; }
    void Advance(double days) { t_ += days; }

private:
    lq::DateTime t_;
};

struct Fixture {
    int sentences;
    std::string dir;
    lq::Database db;
    lq::DateTime now = 0;
    bool ok = false;

    int modules;

    // `modules` modules, the sentences spread over them at random. `deselectedFront`: every module
    // but the last deselected, and the last one's sentences moved behind all the others in the
    // queue (as when newer imports, at the front, are put aside), and the learner back after a
    // month, so that half of the queue is due.
    explicit Fixture(int n, int moduleCount = 2, bool deselectedFront = false) : sentences(n), modules(moduleCount) {
        char tmpl[] = "/tmp/lqbench-core-XXXXXX";
        dir = mkdtemp(tmpl);
        lq::CivilTime t;
        t.year = 2024;
        t.month = 6;
        t.day = 1;
        t.hour = 12;
        now = lq::EncodeDateTime(t);
        ok = db.Open(dir + "/QV_01.db").ok() && Fill();
        if (ok && deselectedFront)
            ok = db.Exec(lq::Sql("UPDATE sounds SET isigns=0 WHERE ididnt<%i;", modules)).ok() &&
                 db.Exec(lq::Sql("UPDATE items2 SET iplace=iplace+10000000 WHERE isound=%i;", modules)).ok();
        if (deselectedFront) now += 30.0;
        // LQ_BENCH_STATEMENTS=1 measures the step with its statements as they stand (no totals,
        // no seeking forms), for comparison on the same machine.
        const char* statements = getenv("LQ_BENCH_STATEMENTS");
        if (ok && statements && *statements == '1') lq::LessonCaches::SetEnabled(db, false);
    }
    ~Fixture() {
        db.Close();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    bool Fill() {
        std::mt19937 gen(42);
        sqlite3* h = lq::test::RawHandle(db);
        if (!db.Exec("BEGIN;").ok()) return false;
        for (int m = 0; m < modules; ++m)
            db.Exec(lq::Sql("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, '%c.mp3');", 'a' + m));
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(h,
                           "INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, "
                           "dtansn, iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, "
                           "ipic_2, ipic_3, ipic_4, ipic_5) values(?1, 0, 0, 1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, -1, -1, "
                           "'', ?9, '', '', '0', 0, 0, 0, 0, 0, 0);",
                           -1, &s, nullptr);
        // As a schedule leaves them: the queue runs from the sentences due now (the first few
        // percent) to those due in two months, and the better known a sentence, the further back.
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        for (int i = 0; i < sentences; ++i) {
            const double rank = static_cast<double>(i) / sentences;
            const int good = std::clamp(static_cast<int>(rank * 20 + 3 * noise(gen)), 0, 19);
            std::string text;
            for (int w = 0; w < 10; ++w) {
                if (w) text += ' ';
                text += VocabularyWord(static_cast<int>(gen() % kWords));
            }
            text += '.';
            const double due = now - 2.0 + 60.0 * rank + noise(gen);
            const std::string answered = lq::DateText(now - 10.0);
            const std::string dueText = lq::DateText(due);
            sqlite3_reset(s);
            sqlite3_bind_int(s, 1, 1 + static_cast<int>(gen() % static_cast<unsigned>(modules)));
            sqlite3_bind_int(s, 2, good > 5 ? 5 : good);
            sqlite3_bind_int(s, 3, good >= 12 ? static_cast<int>(gen() % 900) : 10);
            sqlite3_bind_int(s, 4, good + 1);
            sqlite3_bind_int(s, 5, good);
            sqlite3_bind_text(s, 6, answered.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 7, dueText.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(s, 8, 10 * i - 250000);
            sqlite3_bind_text(s, 9, text.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE) return false;
        }
        sqlite3_finalize(s);
        // One history row about every 40 minutes up to now, the score slowly rising.
        sqlite3_prepare_v2(h, "INSERT INTO answcn (glrang, isentn, dtdate, glansn) values(?1, ?3, ?2, '12.00000');",
                           -1, &s, nullptr);
        for (int i = 0; i < kHistoryRows; ++i) {
            const std::string when = lq::DateText(now - (kHistoryRows - i) * (40.0 / 1440.0));
            const std::string score = std::to_string(10.0 + i * 0.001);
            sqlite3_reset(s);
            sqlite3_bind_text(s, 1, score.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 2, when.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(s, 3, sentences);
            if (sqlite3_step(s) != SQLITE_DONE) return false;
        }
        sqlite3_finalize(s);
        sqlite3_prepare_v2(h, "INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(?1, 0, ?2, ?3);", -1, &s,
                           nullptr);
        for (int k = 0; k < kWords; ++k) {
            const std::string w = VocabularyWord(k);
            sqlite3_reset(s);
            sqlite3_bind_int(s, 1, 25);
            sqlite3_bind_int(s, 2, k % 7 == 0 ? 1 : 0);
            sqlite3_bind_text(s, 3, w.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE) return false;
        }
        sqlite3_finalize(s);
        return db.Exec("COMMIT;").ok();
    }
};

Fixture& Data(int sentences = kSentences, int modules = 2, bool deselectedFront = false) {
    static std::map<std::tuple<int, int, bool>, std::unique_ptr<Fixture>> fixtures;
    std::unique_ptr<Fixture>& f = fixtures[{sentences, modules, deselectedFront}];
    if (!f) f = std::make_unique<Fixture>(sentences, modules, deselectedFront);
    return *f;
}

// The deselected-front state on 10 modules (see Fixture).
Fixture& DeselectedFront(int sentences) { return Data(sentences, 10, true); }

}  // namespace

namespace {

// A step's world on fixture `f`: the settings of a learner typing from 12 good answers on.
struct StepWorld {
    explicit StepWorld(Fixture& f, lq::DateTime now) : clock(now), rng(7) {
        settings.InputAfter = 12;
        settings.InputAfterFloat = 12.0f;
        settings.ScheduleExponent = std::log(static_cast<float>(f.sentences)) / std::log(13.0f);
        ctx.env = &env;
        ctx.state = &state;
        ctx.settings = &settings;
        ctx.db = &f.db;
        ctx.row = &row;
        ctx.clock = &clock;
        ctx.rng = &rng;
        state.ItemCount = f.sentences;
        state.AnswerHistoryCount = kHistoryRows;
        state.CurrentItemId = lq::SelectNextItem(f.db, row, clock, -1);
        state.NextItemId = lq::SelectNextItem(f.db, row, clock, state.CurrentItemId);
    }

    // Ten tiles of "word"; `typed` tiles 0 and 2 flagged and typed, with these weights and counts.
    void Board(bool typed, int weight0, int weight2, int count) {
        board.WordTiles.assign(10, lq::WordTile{});
        for (auto& t : board.WordTiles) t.Text = "word";
        board.WordWeightPairs.assign(20, 0);
        board.WordCounts.assign(20, 0);
        board.TypedWordTiles.clear();
        if (typed) {
            board.WordWeightPairs[0] = board.WordWeightPairs[4] = 1;
            board.WordWeightPairs[1] = weight0;
            board.WordWeightPairs[5] = weight2;
            board.WordCounts[0] = board.WordCounts[4] = count;
            board.TypedWordTiles = {0, 2};
        }
    }

    SteppingClock clock;
    lq::StdRandom rng;
    lq::ProgramEnv env;
    lq::LearnState state;
    lq::CommonSettings settings;
    lq::CurrentRow row;
    lq::AppContext ctx;
    lq::SentenceBoard board;
    lq::NullLearningStepHooks hooks;
};

// Steps one minute apart on `f`: every third sentence has two words to type; every fifth answer
// was shown.
void RunSteps(benchmark::State& st, Fixture& f) {
    StepWorld w(f, f.now);
    lq::LearningStep step(w.ctx, w.board, w.hooks);
    int n = 0;
    for (auto _ : st) {
        w.Board(n % 3 == 0, 3, 0, 25);
        w.state.SentenceSolved = true;
        w.state.AnswerShown = n % 5 == 4;
        step.Run();
        w.clock.Advance(1.0 / 1440.0);
        ++n;
    }
}

void BM_LearningStep(benchmark::State& st) {
    Fixture& f = Data(static_cast<int>(st.range(0)));
    if (!f.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    RunSteps(st, f);
}
BENCHMARK(BM_LearningStep)->Apply(lq::bench::AtThreeSizes);

// The median of five timings of `run`, in milliseconds.
template <typename Run>
double MedianMs(Run run) {
    std::vector<double> ms;
    for (int k = 0; k < 5; ++k) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[2];
}

// The choice's first two statements as the engine runs them on `db` (no caches): the floor the
// cached choice is measured against.
double ChoiceStatementsMs(lq::Database& db, lq::DateTime now) {
    const std::string when = lq::DateText(now);
    return MedianMs([&] {
        db.QueryCached("SELECT ididnt FROM items2 WHERE dtansn < ? AND ididnt != -1 AND isound IN (SELECT ididnt FROM "
                       "sounds WHERE isigns=1) ORDER BY iplace ASC, ididnt ASC LIMIT 0,1;",
                       {when}, [](int, char**, char**) {});
        db.QueryCached("SELECT ididnt FROM items2 WHERE ididnt != -1 AND isound IN (SELECT ididnt FROM sounds WHERE "
                       "isigns=1) ORDER BY iplace ASC, ididnt ASC LIMIT 0,1;",
                       {}, [](int, char**, char**) {});
    });
}

// BM_LearningStep in the deselected-front state (see Fixture): only the last of 10 modules is
// selected, and its sentences are queued behind all the others. Counter statements_ms: the
// choice's two statements alone, as the engine runs them.
void BM_LearningStepDeselectedFront(benchmark::State& st) {
    Fixture& f = DeselectedFront(static_cast<int>(st.range(0)));
    if (!f.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    st.counters["statements_ms"] = ChoiceStatementsMs(f.db, f.now);
    RunSteps(st, f);
}
BENCHMARK(BM_LearningStepDeselectedFront)->Apply(lq::bench::AtThreeSizes);

// What start-up asks of the learning core on a fresh connection to a database of N sentences over
// 10 modules (second argument 1: in the deselected-front state): the current and the following
// sentence, the score's totals and the newest history row, which fill the caches; then the
// connection closed, which frees them. Counter floor_ms: the engine's own scans of the columns
// the caches hold, on a fresh connection.
void BM_StartupCaches(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    Fixture& f = st.range(1) ? DeselectedFront(n) : Data(n, 10);
    if (!f.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    const std::string path = f.dir + "/QV_01.db";
    st.counters["floor_ms"] = MedianMs([&] {
        lq::Database db;
        db.Open(path);
        db.Scan("SELECT dtansn, isound, iplace, rowid FROM items2;", [](const lq::ScanRow&) {});
        db.Scan("SELECT irng_2, igansw FROM items2;", [](const lq::ScanRow&) {});
        db.Scan("SELECT dtdate, glrang, rowid FROM answcn;", [](const lq::ScanRow&) {});
    });
    SteppingClock clock(f.now);
    for (auto _ : st) {
        lq::Database db;
        if (!db.Open(path).ok()) {
            st.SkipWithError("cannot open the database");
            return;
        }
        lq::CurrentRow row;
        const int current = lq::SelectNextItem(db, row, clock, -1);
        benchmark::DoNotOptimize(lq::SelectNextItem(db, row, clock, current));
        if (lq::LessonCaches* caches = lq::LessonCaches::Of(db)) {
            lq::ItemTotals totals;
            caches->ReadTotals(totals);
            std::vector<lq::HistoryRow> rows;
            caches->NewestHistory(0, 1, rows);
        }
    }
}
BENCHMARK(BM_StartupCaches)
    ->Args({10000, 0})
    ->Args({50000, 0})
    ->Args({200000, 0})
    ->Args({200000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

// A module deleted as the module list deletes it (both deletions in one transaction, then
// VACUUM), on a connection whose caches are filled, and the restart's fresh connection choosing
// its two sentences: N sentences over 10 modules, the first module deleted. Counter floor_ms: the
// same with the caches off on both connections (the statements alone).
void DeleteAndRestart(const std::string& path, lq::DateTime now, bool caches) {
    SteppingClock clock(now);
    lq::CurrentRow row;
    {
        lq::Database db;
        db.Open(path);
        if (!caches) lq::LessonCaches::SetEnabled(db, false);
        lq::SelectNextItem(db, row, clock, lq::SelectNextItem(db, row, clock, -1));
        db.Exec("BEGIN;");
        db.ExecCached("DELETE FROM sounds WHERE ididnt=?;", {1});
        db.ExecCached("DELETE FROM items2 WHERE isound=?;", {1});
        db.Exec("COMMIT;");
        db.Exec("VACUUM;");
    }
    lq::Database db;
    db.Open(path);
    if (!caches) lq::LessonCaches::SetEnabled(db, false);
    benchmark::DoNotOptimize(lq::SelectNextItem(db, row, clock, lq::SelectNextItem(db, row, clock, -1)));
}

void BM_DeleteModule(benchmark::State& st) {
    Fixture& f = Data(static_cast<int>(st.range(0)), 10);
    if (!f.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    const std::string copy = f.dir + "/copy.db";
    auto fresh = [&] {
        std::filesystem::copy_file(f.dir + "/QV_01.db", copy, std::filesystem::copy_options::overwrite_existing);
    };
    static std::map<int, double> floors;  // measured once per size, not once per repetition
    if (!floors.count(f.sentences)) {
        std::vector<double> ms;
        for (int k = 0; k < 5; ++k) {
            fresh();
            const auto start = std::chrono::steady_clock::now();
            DeleteAndRestart(copy, f.now, false);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        floors[f.sentences] = ms[2];
    }
    st.counters["floor_ms"] = floors[f.sentences];
    for (auto _ : st) {
        st.PauseTiming();
        fresh();
        st.ResumeTiming();
        DeleteAndRestart(copy, f.now, true);
    }
    std::filesystem::remove(copy);
}
BENCHMARK(BM_DeleteModule)->Apply(lq::bench::AtThreeSizes)->Iterations(1)->UseRealTime();

void BM_LearningStepWorst(benchmark::State& st) {
    Fixture& f = Data(static_cast<int>(st.range(0)));
    if (!f.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    // The last sentence knows more good answers than any other: no sentence of its module before
    // it has more or as many, and every sentence has at most as many.
    const int last = f.sentences;
    f.db.Exec(lq::Sql("UPDATE items2 set igansw=1000 WHERE ididnt=%i;", last));
    StepWorld w(f, f.now);
    lq::LearningStep step(w.ctx, w.board, w.hooks);
    int n = 0;
    for (auto _ : st) {
        switch (n % 4) {
            case 0:  // the rare reference road of a success without typed words
                w.state.CurrentItemId = last;
                w.Board(false, 0, 0, 0);
                w.state.AnswerShown = false;
                break;
            case 1:  // typed, every word known: the end of the queue
                w.Board(true, 60, 60, 1);
                w.state.AnswerShown = false;
                break;
            case 2:  // typed, score 842: the middle of the queue
                w.Board(true, 43, 43, 1);
                w.state.AnswerShown = false;
                break;
            default:  // a failure
                w.Board(false, 0, 0, 0);
                w.state.AnswerShown = true;
                break;
        }
        w.state.SentenceSolved = true;
        step.Run();
        w.clock.Advance(1.0 / 86400.0);
        ++n;
    }
}
BENCHMARK(BM_LearningStepWorst)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_SelectNextItem(benchmark::State& st) {
    Fixture& f = Data();
    if (!f.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    SteppingClock clock(f.now);
    lq::CurrentRow row;
    const int current = lq::SelectNextItem(f.db, row, clock, -1);
    for (auto _ : st) benchmark::DoNotOptimize(lq::SelectNextItem(f.db, row, clock, current));
}
BENCHMARK(BM_SelectNextItem)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RebuildWordStatistics(benchmark::State& st) {
    Fixture& f = Data();
    if (!f.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    lq::NoProgress quiet;
    for (auto _ : st) benchmark::DoNotOptimize(lq::RebuildWordStatistics(f.db, kSentences, quiet));
}
BENCHMARK(BM_RebuildWordStatistics)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// The heap in use, from the allocator's own count (large blocks are mapped on their own).
double HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}

void BM_CacheMemory(benchmark::State& st) {
    Fixture& f = Data(200000);
    if (!f.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    for (auto _ : st) {
        lq::Database db;
        if (!db.Open(f.dir + "/QV_01.db").ok()) {
            st.SkipWithError("cannot open the database");
            return;
        }
        // The connection's page cache and its prepared statements first, so that only the caches
        // are counted below.
        db.Exec("SELECT max(irng_2), max(igansw), max(dtansn), max(isound), max(iplace) FROM items2;");
        db.Exec("SELECT max(dtdate), max(glrang) FROM answcn;");
        lq::LessonCaches* caches = lq::LessonCaches::Of(db);
        if (!caches) {
            st.SkipWithError("no caches");
            return;
        }
        const double start = HeapInUse();
        lq::ItemTotals totals;
        caches->ReadTotals(totals);
        const double afterTotals = HeapInUse();
        long long id = 0;
        caches->FirstDue(lq::DateText(f.now), -1, {1, 2}, id);
        const double afterDue = HeapInUse();
        std::vector<lq::HistoryRow> rows;
        caches->NewestHistory(0, 1, rows);
        const double afterHistory = HeapInUse();
        st.counters["totals_bytes"] = afterTotals - start;
        st.counters["due_bytes_per_sentence"] = (afterDue - afterTotals) / 200000.0;
        st.counters["history_bytes_per_row"] = (afterHistory - afterDue) / kHistoryRows;
    }
}
BENCHMARK(BM_CacheMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
