// BM_ImportModule: ImportModule of a 500-sentence module into a database on disk that already
// holds 50,000 sentences (one transaction; the rows are removed again between iterations).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/Database.h"
#include "core/Progress.h"
#include "core/SqlText.h"
#include "modules/ImportModule.h"
#include "platform/Prompter.h"

namespace {

namespace fs = std::filesystem;

class QuietPrompter final : public lq::Prompter {
public:
    lq::MsgResult Show(const QString&, const QString&, lq::MsgIcon, lq::MsgButtons) override {
        ++shown;
        return lq::MsgResult::Ok;
    }
    int shown = 0;
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string PosFile(int n) {
    std::string b(6004 + 12 * n, '\0');
    auto put = [&b](size_t at, uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) b[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    };
    put(0, static_cast<uint32_t>(n), 4);
    for (int i = 0; i < n; ++i) {
        put(4 + 12 * i, 1, 4);
        put(8 + 12 * i, static_cast<uint32_t>(11025 * (2 * i + 1)), 4);
        put(12 + 12 * i, static_cast<uint32_t>(11025 * (2 * i + 2)), 4);
        put(6004 + 12 * i, i % 3 == 0 ? 1 : 0, 2);
    }
    return b;
}

void BM_ImportModule(benchmark::State& state) {
    char tmpl[] = "/tmp/lqbench-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    fs::create_directories(dir + "/Data");
    std::string text, translations;
    for (int i = 0; i < 500; ++i) {
        text += "This is sentence number " + std::to_string(i) + ", and it isn't  very long.\r\n";
        translations += "\xDD\xF2\xEE \xEF\xF0\xE5\xE4\xEB\xEE\xE6\xE5\xED\xE8\xE5||" + std::to_string(i) + "\r\n";
    }
    WriteFile(dir + "/Data/bench.txt", text);
    WriteFile(dir + "/Data/bench.txr", translations);
    WriteFile(dir + "/Data/bench.pos", PosFile(500));
    WriteFile(dir + "/Data/bench.mp3", "sound");

    lq::Database db;
    if (!db.Open(dir + "/QV_01.db").ok()) {
        state.SkipWithError("cannot open the database");
        return;
    }
    std::string fill = "BEGIN;INSERT INTO sounds (isigns, icodes, sfname) values(1, 10001, 'old.mp3');";
    for (int i = 0; i < 50000; ++i) {
        fill += lq::Sql(
            "INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, dtansn, iplace, "
            "isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, ipic_2, ipic_3, ipic_4, ipic_5 "
            ")values (1, %i, %i, 1, 0, 0, 0, 0, '2024-01-01 10:00:00', '2024-01-01 10:00:00', %i, -1, -1, 'before', "
            "'An older sentence %i', 'after', 'translation', '0', 0, 0, 0, 0, 0, 0);",
            i * 100, i * 100 + 50, 1000 - 10 * 501 + 5 * (i % 500) - 5010 * (i / 500), i);
    }
    fill += "COMMIT;";
    if (!db.Exec(fill).ok()) {
        state.SkipWithError("cannot fill the database");
        return;
    }

    QuietPrompter prompter;
    lq::NoProgress progress;
    int itemCount = 50000;
    for (auto _ : state) {
        lq::ModuleImporter importer(db, dir);
        importer.SetPrompter(&prompter);
        importer.SetProgress(&progress);
        const int code = importer.Import("bench.txt", itemCount);
        state.PauseTiming();
        if (code != lq::kImportDone) {
            state.SkipWithError("the import failed");
            break;
        }
        db.Exec("DELETE FROM items2 WHERE isound IN (SELECT ididnt FROM sounds WHERE sfname='bench.mp3');"
                "DELETE FROM sounds WHERE sfname='bench.mp3';");
        state.ResumeTiming();
    }
    state.counters["sentences"] = 500;
    db.Close();
    fs::remove_all(dir);
}

BENCHMARK(BM_ImportModule)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
