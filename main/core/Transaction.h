#pragma once
// One transaction on a connection: begun explicitly, rolled back on destruction unless it was
// committed, so that no path (an error, an exception) leaves a transaction open.
#include <string>

#include "main/core/Database.h"

namespace lq {

class Transaction {
public:
    enum class Mode { Deferred, Immediate, Exclusive };

    explicit Transaction(const Database& db) : db_(db) {}
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // "BEGIN;", "BEGIN IMMEDIATE;" or "BEGIN EXCLUSIVE TRANSACTION;".
    SqlResult Begin(Mode mode = Mode::Immediate);
    // The same, but when the connection is already inside a transaction (the caller's), that
    // one is joined: nothing is begun, Commit() succeeds without committing and Rollback() leaves
    // it to its owner.
    SqlResult BeginOrJoin(Mode mode = Mode::Immediate);
    // "COMMIT;"; when the commit fails the transaction is rolled back, so none stays open.
    SqlResult Commit();
    // Rolls back what was begun (nothing when nothing is open).
    void Rollback();
    bool IsOpen() const { return open_; }
    bool Joined() const { return joined_; }

private:
    const Database& db_;
    bool open_ = false;
    bool joined_ = false;
};

}  // namespace lq
