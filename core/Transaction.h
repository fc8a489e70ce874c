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

// What a write inside an operation gets once the engine has ended the operation's transaction
// by itself (the statement that made it do so may have been another thread's).
SqlResult TransactionEndedByEngine();

// While it lives, remembers the first statement that failed on `db` in the constructing thread
// (through Exec, Query and the cached calls; the other thread's statements are not seen). Lets
// an operation of many statements find out whether all of them worked.
//
// A Transaction holds one that also guards the operation's writes: once it has seen a failure,
// or while it expects a transaction that the connection no longer has, the writes of this thread
// on `db` are not run (see Database).
class FailureWatch {
public:
    explicit FailureWatch(const Database& db);
    ~FailureWatch();
    FailureWatch(const FailureWatch&) = delete;
    FailureWatch& operator=(const FailureWatch&) = delete;

    bool Failed() const { return !first_.ok(); }
    const SqlResult& First() const { return first_; }

private:
    friend class Database;
    friend class Transaction;
    const Database& db_;
    FailureWatch* outer_;
    SqlResult first_;
    bool guardsWrites_ = false;       // a failure stops this thread's later writes
    bool expectsTransaction_ = false;  // the connection must be inside a transaction for a write
};

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
