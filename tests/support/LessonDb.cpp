#include "tests/support/LessonDb.h"

#include <stdexcept>

#include "core/SqlText.h"

namespace lq::test {

LessonDb::LessonDb() : own_(std::make_unique<TempDir>()), path_(own_->File("QV_01.db")) {
    const SqlResult opened = db.Open(path_);
    if (!opened.ok()) throw std::runtime_error("cannot open the test database " + path_ + ": " + opened.message);
}

LessonDb::LessonDb(const std::string& path) : path_(path) {
    const SqlResult opened = db.Open(path_);
    if (!opened.ok()) throw std::runtime_error("cannot open the test database " + path_ + ": " + opened.message);
}

void LessonDb::Exec(const std::string& sql) {
    const SqlResult r = db.Exec(sql);
    if (!r.ok()) throw std::runtime_error("SQL failed: " + r.message + " in " + sql);
}

int LessonDb::AddModule(bool selected, const std::string& sfname) {
    Exec(Sql("INSERT INTO sounds (isigns, icodes, sfname) values(%i, 0, '%q');", selected ? 1 : 0, sfname.c_str()));
    return static_cast<int>(db.LastInsertRowId());
}

int LessonDb::AddItem(const ItemRow& s) {
    Exec(Sql("INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, dtansn, "
             "iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, ipic_2, ipic_3, ipic_4, "
             "ipic_5) values(%i, %i, %i, %i, %i, %i, %i, %i, '%q', '%q', %lld, -1, -1, '%q', '%q', '%q', '%q', '%q', "
             "%i, %i, %i, %i, %i, %i);",
             s.isound, s.isndbg, s.isndfn, s.isigns, s.irange, s.irng_2, s.iaansw, s.igansw, s.dtansw.c_str(),
             s.dtansn.c_str(), s.iplace, EscapeApostrophes(s.strbef).c_str(), EscapeApostrophes(s.stract).c_str(),
             EscapeApostrophes(s.straft).c_str(), EscapeApostrophes(s.strtrn).c_str(), s.strind.c_str(), s.ipicnm,
             s.pics[0], s.pics[1], s.pics[2], s.pics[3], s.pics[4]));
    return static_cast<int>(db.LastInsertRowId());
}

void LessonDb::MarkWord(const std::string& word, int icount) {
    Exec(Sql("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(%i, 0, 1, '%q');", icount, word.c_str()));
}

CurrentRow LessonDb::Item(int id) {
    CurrentRow r;
    r.ididnt = -1;
    db.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", id), r);
    if (r.ididnt != id) throw std::runtime_error("no sentence " + std::to_string(id));
    return r;
}

int LessonDb::Count(const std::string& sql) {
    CurrentRow r;
    r.CountResult = -1;
    db.Query(sql, r);
    return r.CountResult;
}

std::string LessonDb::ItemText(int id, const char* column) {
    std::string out;
    bool found = false;
    db.Query(Sql("SELECT %s FROM items2 WHERE ididnt=%i;", column, id), [&](int n, char** v, char**) {
        if (n > 0 && v[0]) out = v[0];
        found = true;
    });
    if (!found) throw std::runtime_error("no sentence " + std::to_string(id));
    return UnescapeApostrophes(out);
}

}  // namespace lq::test
