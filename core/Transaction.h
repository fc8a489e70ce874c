#pragma once
// One transaction on a connection: begun explicitly, rolled back on destruction unless it was
// committed, so that no path (an error, an exception) leaves a transaction open.
//
// It is also the scope of one operation of many statements: from the first failed statement of
// this thread on the connection, and once the engine has ended the transaction by itself, the
// operation's later writes are not run (Database refuses them with that failure) and Commit()
// rolls back and returns it. So an operation is stored whole or not at all, whatever the
// statements between its Begin and its Commit.
#include <string>

#include "core/Database.h"

namespace lq {

class Transaction {
public:
    enum class Mode { Deferred, Immediate, Exclusive };

    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // "BEGIN;", "BEGIN IMMEDIATE;" or "BEGIN EXCLUSIVE TRANSACTION;".
    SqlResult Begin(Mode mode = Mode::Immediate);
    // The same, but when the connection is already inside a transaction (the caller's), that
    // one is joined: nothing is begun, Commit() succeeds without committing and Rollback() leaves
    // it to its owner.
    SqlResult BeginOrJoin(Mode mode = Mode::Immediate);
    // "COMMIT;"; when the commit fails the transaction is rolled back, so none stays open. After
    // a failed statement of the operation nothing is committed: rolled back, and that failure.
    SqlResult Commit();
    // Rolls back what was begun (nothing when nothing is open).
    void Rollback();
    bool IsOpen() const { return open_; }
    // The operation's first failure (a statement, a refused write, the engine's own rollback).
    bool Failed() const { return scope_.Failed(); }
    const SqlResult& FirstFailure() const { return scope_.First(); }

private:
    void Expect(bool inTransaction);

    Database& db_;
    FailureWatch scope_;
    bool open_ = false;
    bool joined_ = false;
};

}  // namespace lq
