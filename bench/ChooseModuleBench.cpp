// The module chooser window on the offscreen platform, over a Data folder of 2,000 complete
// modules and 5,000 sentence files that lack their .pos or .mp3:
//   BM_ChooseModuleWindow/0  the window shown (the listing of the modules that can be added,
//                            the list box filled, the first line chosen) and hidden again
//   BM_ChooseModuleWindow/1  "Test2" clicked in the shown window (every sentence file with its
//                            status line)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

#include "bench/ModuleFolderBench.h"
#include "bench/OffscreenApp.h"
#include "core/AppContext.h"
#include "core/AppState.h"
#include "ui/TChooseModuleFrm.h"
#include "ui_ChooseModuleFrm.h"

namespace {

void BM_ChooseModuleWindow(benchmark::State& st) {
    lq::bench::OffscreenApp();
    const bool test2 = st.range(0) != 0;
    lq::bench::ModuleFolder folder(2000, 0, 5000);
    if (!folder.ok()) {
        st.SkipWithError("cannot make the folder");
        return;
    }
    lq::ProgramEnv env;
    env.ProgramDir = folder.Dir();
    lq::AppContext ctx;
    ctx.env = &env;
    ctx.db = &folder.Db();
    lq::TChooseModuleFrm dialog(ctx);
    QListWidget* list = dialog.Form().ListBox1;
    if (test2) dialog.show();
    for (auto _ : st) {
        if (test2) {
            dialog.Form().BitBtn4->click();
        } else {
            dialog.show();
        }
        QCoreApplication::processEvents();
        if (list->count() != (test2 ? 14000 : 2000)) {
            st.SkipWithError("wrong listing");
            break;
        }
        if (!test2) dialog.hide();
    }
    dialog.hide();
    st.counters["files"] = 7000;
}
BENCHMARK(BM_ChooseModuleWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
