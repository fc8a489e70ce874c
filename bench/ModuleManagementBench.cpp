// BM_ImportOldData: the older version's data (50,000 sentences over 100 modules, 20,000 words,
// 16,640 score points) read from its six files and imported into an empty database on disk.
// BM_ListModules: the module chooser's listing of a Data folder of 1,000 modules of which 500
// are in the database. BM_ListModulesIncomplete: both listings of 2,000 modules beside 5,000
// sentence files that lack their .pos or .mp3.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench/ModuleFolderBench.h"
#include "core/Database.h"
#include "core/Progress.h"
#include "modules/ModuleFolder.h"
#include "modules/OldData.h"
#include "modules/OldDataImport.h"

namespace {

namespace fs = std::filesystem;

using lq::bench::WriteFile;

void Put(std::string& b, uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) b += static_cast<char>((v >> (8 * k)) & 0xFF);
}

std::string TempDir() {
    char tmpl[] = "/tmp/lqbench-XXXXXX";
    return mkdtemp(tmpl);
}

void WriteOldData(const std::string& dir, int modules, int sentences, int words, int points) {
    fs::create_directories(dir + "/Data");
    std::string list, items, index, images, wordFile, pointFile;
    for (int m = 0; m < modules; ++m) {
        list += "*+   xxxxxold" + std::to_string(m) + ".mp3\r\n";
        WriteFile(dir + "/Data/old" + std::to_string(m) + ".mp3", "sound");
    }
    std::vector<int> positions(static_cast<size_t>(sentences));
    for (int p = 0; p < sentences; ++p) positions[static_cast<size_t>(p)] = p;
    std::shuffle(positions.begin(), positions.end(), std::mt19937(7));
    for (int p = 0; p < sentences; ++p) {
        items += "The sentence before " + std::to_string(p) + "\r\nThis is old sentence number " + std::to_string(p) +
                 ", and it isn't long.\r\n1 0 5 0 5 1 5 0 5 \r\nThe sentence after\r\nA comment||on two lines\r\n";
        Put(images, 0, 4);
        Put(images, 0, 2);
        Put(images, static_cast<uint32_t>(p % 3), 2);
        for (int k = 0; k < 5; ++k) Put(images, static_cast<uint32_t>(k), 2);
        Put(images, 0, 2);
    }
    for (int k = 0; k < sentences; ++k) {
        const int p = positions[static_cast<size_t>(k)];
        Put(index, static_cast<uint32_t>(k % 100), 4);                // irange
        Put(index, static_cast<uint32_t>(p), 4);                      // position
        Put(index, static_cast<uint32_t>(k % 900), 2);                // day
        Put(index, static_cast<uint32_t>(k % 8640), 2);               // time
        Put(index, static_cast<uint32_t>(k % 20), 2);                 // iaansw
        Put(index, static_cast<uint32_t>(k % 15), 2);                 // igansw
        Put(index, static_cast<uint32_t>(p % modules), 2);            // module
        Put(index, static_cast<uint32_t>(k % 400), 2);                // irng_2
        Put(index, static_cast<uint32_t>(11025 * k), 4);              // isndbg
        Put(index, static_cast<uint32_t>(11025 * k + 20000), 4);      // isndfn
    }
    Put(wordFile, static_cast<uint32_t>(words), 4);
    for (int w = 0; w < words; ++w) {
        for (int k = 0; k < 3; ++k) Put(wordFile, static_cast<uint32_t>(w % 50), 2);
        Put(wordFile, 0, 2);
        std::string word = "word" + std::to_string(w);
        word.resize(32, '\0');
        wordFile += word;
    }
    Put(pointFile, static_cast<uint32_t>(points), 4);
    for (int i = 0; i < points; ++i) {
        Put(pointFile, std::bit_cast<uint32_t>(40.0f + static_cast<float>(i % 40)), 4);
        Put(pointFile, static_cast<uint32_t>(sentences), 2);
        Put(pointFile, 0, 2);
        Put(pointFile, std::bit_cast<uint32_t>(static_cast<float>(i) * 0.05f), 4);
        Put(pointFile, std::bit_cast<uint32_t>(12.5f), 4);
    }
    WriteFile(dir + "/SoundsList.txt", list);
    WriteFile(dir + "/Items.txt", items);
    WriteFile(dir + "/ItemsInd.dat", index);
    WriteFile(dir + "/ItemsImsInd.dat", images);
    WriteFile(dir + "/WordsStat.dat", wordFile);
    WriteFile(dir + "/AnswPnt.dat", pointFile);
}

void BM_ImportOldData(benchmark::State& state) {
    const std::string dir = TempDir();
    WriteOldData(dir, 100, 50000, 20000, 16640);
    lq::NoProgress progress;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        lq::Database db;
        const std::string path = dir + "/QV_" + std::to_string(run++) + ".db";
        if (!db.Open(path).ok()) {
            state.SkipWithError("cannot open the database");
            break;
        }
        state.ResumeTiming();
        const lq::OldDataFiles files = lq::ReadOldData(dir);
        const lq::OldDataImportResult r = lq::ImportOldData(db, files, dir + "/Data", 12, progress);
        state.PauseTiming();
        if (!r.ok() || r.sentences != 50000 || r.words != 20000 || r.points != 16640 || r.modules != 100) {
            state.SkipWithError("the import did not import everything");
            break;
        }
        db.Close();
        fs::remove(path);
        state.ResumeTiming();
    }
    state.counters["sentences"] = 50000;
    fs::remove_all(dir);
}

// The chooser's listing (`showAll`: "Test2") of a folder of `complete` modules, `stored` of them
// in the database, and `incomplete` sentence files; the listing must have `lines` lines.
void ListModulesOf(benchmark::State& state, int complete, int stored, int incomplete, bool showAll, size_t lines) {
    lq::bench::ModuleFolder folder(complete, stored, incomplete);
    if (!folder.ok()) {
        state.SkipWithError("cannot make the folder");
        return;
    }
    for (auto _ : state) {
        const lq::ModuleListing listing = lq::ListModules(folder.DataDir(), folder.Db(), showAll);
        if (listing.lines.size() != lines) {
            state.SkipWithError("wrong listing");
            break;
        }
        benchmark::DoNotOptimize(listing);
    }
    state.counters["files"] = complete + incomplete;
}

void BM_ListModules(benchmark::State& state) { ListModulesOf(state, 1000, 500, 0, false, 500); }

// 2,000 complete modules and 5,000 sentence files without their .pos or .mp3; the argument 1
// is "Test2" (every sentence file with its status line).
void BM_ListModulesIncomplete(benchmark::State& state) {
    const bool showAll = state.range(0) != 0;
    ListModulesOf(state, 2000, 0, 5000, showAll, showAll ? 14000 : 2000);
}

BENCHMARK(BM_ImportOldData)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ListModules)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListModulesIncomplete)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
