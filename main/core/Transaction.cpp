#include "main/core/Transaction.h"

namespace lq {

Transaction::~Transaction() { Rollback(); }

SqlResult Transaction::Begin(Mode mode) {
    const char* sql = mode == Mode::Deferred    ? "BEGIN;"
                      : mode == Mode::Immediate ? "BEGIN IMMEDIATE;"
                                                : "BEGIN EXCLUSIVE TRANSACTION;";
    SqlResult r = db_.Exec(sql);
    open_ = r.ok();
    return r;
}

SqlResult Transaction::BeginOrJoin(Mode mode) {
    if (db_.Handle() && !sqlite3_get_autocommit(db_.Handle())) {
        joined_ = true;
        return {};
    }
    return Begin(mode);
}

SqlResult Transaction::Commit() {
    if (joined_) return {};
    if (!open_) return {SQLITE_MISUSE, "no transaction is open"};
    SqlResult r = db_.Exec("COMMIT;");
    if (r.ok()) {
        open_ = false;
    } else {
        Rollback();
    }
    return r;
}

void Transaction::Rollback() {
    if (!open_) return;
    open_ = false;
    // A failed COMMIT may already have ended the transaction (SQLITE_FULL and the like roll
    // back by themselves); only an open one is rolled back.
    if (db_.Handle() && !sqlite3_get_autocommit(db_.Handle())) db_.Exec("ROLLBACK;");
}

}  // namespace lq
