#include "core/Transaction.h"

namespace lq {

Transaction::Transaction(Database& db) : db_(db), scope_(db) { scope_.guardsWrites_ = true; }

Transaction::~Transaction() { Rollback(); }

void Transaction::Expect(bool inTransaction) { scope_.expectsTransaction_ = inTransaction; }

SqlResult Transaction::Begin(Mode mode) {
    const char* sql = mode == Mode::Deferred    ? "BEGIN;"
                      : mode == Mode::Immediate ? "BEGIN IMMEDIATE;"
                                                : "BEGIN EXCLUSIVE TRANSACTION;";
    SqlResult r = db_.Exec(sql);
    open_ = r.ok();
    Expect(open_);
    return r;
}

SqlResult Transaction::BeginOrJoin(Mode mode) {
    if (db_.InTransaction()) {
        joined_ = true;
        Expect(true);
        return {};
    }
    return Begin(mode);
}

SqlResult Transaction::Commit() {
    if (Failed()) {
        const SqlResult first = FirstFailure();
        Rollback();
        return first;
    }
    if (joined_) return {};
    if (!open_) return {SQLITE_MISUSE, "no transaction is open"};
    // The check and the commit together, so that no statement of the other thread runs between.
    const ConnectionLock lock = db_.Lock();
    if (!db_.InTransaction()) {
        // Ended by the engine after the last write: committing now would store none of it.
        open_ = false;
        Expect(false);
        return TransactionEndedByEngine();
    }
    SqlResult r = db_.Exec("COMMIT;");
    if (r.ok()) {
        open_ = false;
        Expect(false);
    } else {
        Rollback();
    }
    return r;
}

void Transaction::Rollback() {
    if (!open_) return;
    open_ = false;
    Expect(false);
    // A failed COMMIT may already have ended the transaction (SQLITE_FULL and the like roll
    // back by themselves); only an open one is rolled back.
    if (db_.InTransaction()) db_.Exec("ROLLBACK;");
}

}  // namespace lq
