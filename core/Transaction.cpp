#include "core/Transaction.h"

#include <QtGlobal>

#include "core/Log.h"
#include "core/ScopeChain.h"

namespace lq {
namespace {

// The innermost failure watch of this thread (each one links to the one around it).
thread_local FailureWatch* tInnermostWatch = nullptr;

}  // namespace

SqlResult TransactionEndedByEngine() { return {SQLITE_ABORT, "the database rolled the transaction back"}; }

FailureWatch::FailureWatch(const Database& db) : db_(db), outer_(tInnermostWatch) { tInnermostWatch = this; }

FailureWatch::~FailureWatch() { UnlinkFromChain(tInnermostWatch, this, &FailureWatch::outer_); }

void Database::NoteFailure(const SqlResult& r) const {
    qCWarning(lcCore, "SQL error: %s", r.message.c_str());
    for (FailureWatch* w = tInnermostWatch; w; w = w->outer_)
        if (&w->db_ == this && w->first_.ok()) w->first_ = r;
}

SqlResult Database::WriteRefusal() const {
    for (const FailureWatch* w = tInnermostWatch; w; w = w->outer_) {
        if (&w->db_ != this || !w->guardsWrites_) continue;
        if (w->Failed()) return w->first_;
        if (w->expectsTransaction_ && sqlite3_get_autocommit(db_)) {
            // Ended by the engine without a failure this thread saw (the other thread's
            // statement, or one run past this class): the operation is over.
            const SqlResult ended = TransactionEndedByEngine();
            NoteFailure(ended);
            return ended;
        }
    }
    return {};
}

SqlResult Database::Failed(SqlResult r, bool refused) const {
    if (refused) {
        qCWarning(lcCore, "Not run after an earlier failure: %s", r.message.c_str());
        // Watches begun after the failure learn of it too.
        for (FailureWatch* w = tInnermostWatch; w; w = w->outer_)
            if (&w->db_ == this && w->first_.ok()) w->first_ = r;
    } else {
        // A failed statement's own changes are undone without any row report.
        NotifyStale();
        NoteFailure(r);
    }
    return r;
}

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
