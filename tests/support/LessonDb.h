#pragma once
// A lesson database (QV_01.db) for tests: in a temporary folder of its own or at a given path,
// with makers of module, sentence and word rows and small queries. A statement that fails throws,
// naming the statement and the engine's reason, so a fixture never goes on half made.
#include <array>
#include <memory>
#include <string>

#include "core/CurrentRow.h"
#include "core/Database.h"
#include "tests/support/TempDir.h"

namespace lq::test {

// One row of items2; the defaults make a selected, never answered sentence "a b" of module 1.
struct ItemRow {
    int isound = 1;
    int isndbg = 0;
    int isndfn = 0;
    int isigns = 1;
    int irange = 0;
    int irng_2 = 0;
    int iaansw = 0;
    int igansw = 0;
    std::string dtansw = "2024-01-01 00:00:00";
    std::string dtansn = "2024-01-01 00:00:00";
    long long iplace = 0;
    std::string strbef;
    std::string stract = "a b";
    std::string straft;
    std::string strtrn;
    std::string strind = "0";
    int ipicnm = 0;
    std::array<int, 5> pics{};
};
using ItemSpec = ItemRow;

class LessonDb {
public:
    LessonDb();                                 // QV_01.db in a temporary folder of its own
    explicit LessonDb(const std::string& path);  // that file (made when missing)

    // A row of sounds; its id.
    int AddModule(bool selected = true, const std::string& sfname = "m.mp3");
    // A row of items2 (texts escaped as the row store keeps them); its id.
    int AddItem(const ItemRow& row);
    // A marked word of wrdstt.
    void MarkWord(const std::string& word, int icount);

    void Exec(const std::string& sql);
    // The items2 row `id`; throws when there is none.
    CurrentRow Item(int id);
    // A count query's result (-1 when it gives no row).
    int Count(const std::string& sql);
    // One text column of items2, unescaped as the row store does; throws when there is no row.
    std::string ItemText(int id, const char* column);

    const std::string& Path() const { return path_; }

private:
    std::unique_ptr<TempDir> own_;  // the folder, when the database has one of its own
    std::string path_;

public:
    Database db;
    CurrentRow row;  // a row store for the tests' own queries
};

}  // namespace lq::test
