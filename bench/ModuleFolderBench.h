#pragma once
// A program folder for the module chooser's benchmarks: Data/ with complete modules (some of
// them in the database) and sentence files that lack their .pos or their .mp3, and QV_01.db.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/Database.h"
#include "core/SqlText.h"

namespace lq::bench {

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class ModuleFolder {
public:
    // `complete` modules Unit<m>.{txt,pos,mp3}, every second one from the first in the database
    // (`stored` of them), and `incomplete` sentence files Part<m>.txt, alternately without .pos
    // and without .mp3.
    ModuleFolder(int complete, int stored, int incomplete) {
        char tmpl[] = "/tmp/lqbench-folder-XXXXXX";
        dir_ = mkdtemp(tmpl);
        std::filesystem::create_directories(DataDir());
        if (!db_.Open(dir_ + "/QV_01.db").ok()) return;
        std::string fill = "BEGIN;";
        for (int m = 0; m < complete; ++m) {
            const std::string base = DataDir() + "/Unit" + std::to_string(m);
            WriteFile(base + ".txt", "A sentence.\r\n");
            WriteFile(base + ".pos", "p");
            WriteFile(base + ".mp3", "s");
            if (m % 2 == 0 && m / 2 < stored)
                fill += Sql("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'unit%i.mp3');", m);
        }
        for (int m = 0; m < incomplete; ++m) {
            const std::string base = DataDir() + "/Part" + std::to_string(m);
            WriteFile(base + ".txt", "A sentence.\r\n");
            WriteFile(base + (m % 2 == 0 ? ".mp3" : ".pos"), "x");
        }
        fill += "COMMIT;";
        ok_ = db_.Exec(fill).ok();
    }
    ~ModuleFolder() {
        db_.Close();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ModuleFolder(const ModuleFolder&) = delete;
    ModuleFolder& operator=(const ModuleFolder&) = delete;

    bool ok() const { return ok_; }
    const std::string& Dir() const { return dir_; }
    std::string DataDir() const { return dir_ + "/Data"; }
    Database& Db() { return db_; }

private:
    std::string dir_;
    Database db_;
    bool ok_ = false;
};

}  // namespace lq::bench
