#pragma once
// A lesson database in a temporary file, with helpers to lay out fixture rows.
#include <gtest/gtest.h>

#include <string>

#include "core/Database.h"
#include "platform/DateTime.h"
#include "tests/support/TempDir.h"

namespace lq::test {

class FixedClock final : public Clock {
public:
    explicit FixedClock(DateTime t) : t_(t) {}
    DateTime Now() override { return t_; }
    void Set(DateTime t) { t_ = t; }

private:
    DateTime t_;
};

inline DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return EncodeDateTime({y, mo, d, h, mi, s, 0});
}

struct ItemSpec {
    int isound = 1;
    int irange = 0;
    int irng_2 = 0;
    int iaansw = 0;
    int igansw = 0;
    std::string dtansw = "2024-01-01 00:00:00";
    std::string dtansn = "2024-01-01 00:00:00";
    int iplace = 0;
    std::string stract = "a b";
    std::string strind = "0";
    int isigns = 1;
};

class CoreTestDb {
public:
    CoreTestDb() {
        std::string error;
        if (!db.Open(dir.File("QV_01.db"), &error)) ADD_FAILURE() << "open: " << error;
    }

    int AddModule(bool selected, const std::string& name = "m.mp3") {
        Exec(Sql("INSERT INTO sounds (isigns, icodes, sfname) values(%i, 0, '%q');", selected ? 1 : 0, name.c_str()));
        return static_cast<int>(db.LastInsertRowId());
    }

    int AddItem(const ItemSpec& s) {
        Exec(Sql("INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, dtansn, "
                 "iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, ipic_2, ipic_3, "
                 "ipic_4, ipic_5) values(%i, 0, 0, %i, %i, %i, %i, %i, '%q', '%q', %i, -1, -1, '', '%q', '', '', "
                 "'%q', 0, 0, 0, 0, 0, 0);",
                 s.isound, s.isigns, s.irange, s.irng_2, s.iaansw, s.igansw, s.dtansw.c_str(), s.dtansn.c_str(),
                 s.iplace, EscapeApostrophes(s.stract).c_str(), s.strind.c_str()));
        return static_cast<int>(db.LastInsertRowId());
    }

    CurrentRow Item(int id) {
        CurrentRow r;
        r.ididnt = -1;
        db.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", id), r);
        EXPECT_EQ(r.ididnt, id) << "no sentence " << id;
        return r;
    }

    int Count(const std::string& sql) {
        CurrentRow r;
        r.CountResult = -1;
        db.Query(sql, r);
        return r.CountResult;
    }

    void Exec(const std::string& sql) {
        const SqlResult r = db.Exec(sql);
        ASSERT_TRUE(r.ok()) << sql << ": " << r.message;
    }

    TempDir dir;
    Database db;
    CurrentRow row;
};

}  // namespace lq::test
