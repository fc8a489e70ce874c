// "Get Words Statistics" clicked on the Statistics page, on the offscreen platform:
//   BM_RebuildStatisticsButton/N  the rebuild of the word statistics over N sentences (ten words
//                                 each from a vocabulary of 20,000) with its progress window,
//                                 and the page's grid refilled; "repaints" counts the progress
//                                 window's paintings per click, "floor_ms" the same rebuild
//                                 reporting nowhere (the statements and VACUUM alone)
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <QApplication>
#include <QEvent>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/Sizes.h"
#include "bench/OffscreenApp.h"
#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/Progress.h"
#include "core/Words.h"
#include "tests/support/RawConnection.h"
#include "ui/StatisticsPage.h"
#include "ui/TProgressFrm.h"

namespace {

class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// A lesson database of `sentences` sentences in a temporary folder.
struct Lessons {
    std::string dir;
    lq::Database db;
    bool ok = false;

    explicit Lessons(int sentences) {
        char tmpl[] = "/tmp/lqbench-stat-XXXXXX";
        dir = mkdtemp(tmpl);
        ok = db.Open(dir + "/QV_01.db").ok() && Fill(sentences);
    }
    ~Lessons() {
        db.Close();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    bool Fill(int sentences) {
        std::mt19937 gen(7);
        if (!db.Exec("BEGIN;").ok()) return false;
        db.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'a.mp3');");
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(lq::test::RawHandle(db), "INSERT INTO items2 (isound, isigns, stract, strind) values(1, 1, ?1, '0');", -1,
                           &s, nullptr);
        for (int i = 0; i < sentences; ++i) {
            std::string text;
            for (int w = 0; w < 10; ++w) text += (w ? " w" : "W") + std::to_string(gen() % 20000) + "q";
            text += '.';
            sqlite3_reset(s);
            sqlite3_bind_text(s, 1, text.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE) return false;
        }
        sqlite3_finalize(s);
        return db.Exec("COMMIT;").ok();
    }
};

void BM_RebuildStatisticsButton(benchmark::State& st) {
    lq::bench::OffscreenApp();
    const int sentences = static_cast<int>(st.range(0));
    // One database per size for all repetitions, its floor measured once.
    static std::map<int, std::unique_ptr<Lessons>> made;
    static std::map<int, double> floors;
    std::unique_ptr<Lessons>& kept = made[sentences];
    if (!kept) kept = std::make_unique<Lessons>(sentences);
    Lessons& lessons = *kept;
    if (!lessons.ok) {
        st.SkipWithError("cannot build the database");
        return;
    }
    lq::LearnState state;
    state.ItemCount = sentences;
    lq::CurrentRow row;
    lq::AppContext ctx;
    ctx.db = &lessons.db;
    ctx.state = &state;
    ctx.row = &row;
    QWidget tab;
    tab.resize(584, 552);
    lq::StatisticsPage page(&tab, ctx);
    tab.show();
    lq::ProgressWindow progress;
    lq::ScopedAppProgress useProgress(&progress);
    PaintCounter counter;
    progress.Create()->installEventFilter(&counter);
    if (!floors.count(sentences)) {
        std::vector<double> ms;
        for (int k = 0; k < 5; ++k) {
            lq::NoProgress quiet;
            const auto start = std::chrono::steady_clock::now();
            lq::RebuildWordStatistics(lessons.db, sentences, quiet);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        floors[sentences] = ms[2];
    }
    st.counters["floor_ms"] = floors[sentences];
    QToolButton* button = tab.findChild<QToolButton*>("SpeedButton1");
    for (auto _ : st) {
        button->click();
        QCoreApplication::processEvents();
    }
    st.counters["words"] = state.WordStatCount;
    st.counters["repaints"] = static_cast<double>(counter.paints) / static_cast<double>(st.iterations());
}
BENCHMARK(BM_RebuildStatisticsButton)->Apply(lq::bench::AtThreeSizes)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
