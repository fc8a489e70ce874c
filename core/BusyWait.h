#pragma once
// Waiting for another program's lock on the database file. Each statement waits up to the
// connection's busy timeout by default. An operation of many statements (a page being shown, a
// learning step, a search, a rebuild) holds an OperationWait: however many statements it runs
// on this thread, they wait for a lock at most once, together at most the budget; once it is
// spent, a busy statement fails at once with SQLITE_BUSY and the operation gives up cleanly.
// The other thread's statements on the shared connection keep their own waits.
#include <cstdint>

namespace lq {

class Database;
struct SqlResult;

// The time an operation (or a run of operations, such as the rows of one paint) may spend
// waiting for locks.
struct BusyBudget {
    explicit BusyBudget(int limitMs) : limitMs(limitMs) {}
    void Restart() { spentMs = 0; }
    bool Spent() const { return spentMs >= limitMs; }
    int limitMs;
    int64_t spentMs = 0;
};

// While it lives, the statements of this thread on `db` share one budget (the innermost
// OperationWait of the thread decides; a nested one shares the outer's budget, so an operation
// called from another keeps the one wait).
class OperationWait {
public:
    // A budget of its own: the connection's busy timeout.
    explicit OperationWait(const Database& db);
    // A budget kept by the caller across several scopes.
    OperationWait(const Database& db, BusyBudget& budget);
    ~OperationWait();
    OperationWait(const OperationWait&) = delete;
    OperationWait& operator=(const OperationWait&) = delete;

    const BusyBudget& Budget() const { return *budget_; }

private:
    friend int DatabaseBusyHandler(void* database, int count);
    const Database& db_;
    BusyBudget own_;
    BusyBudget* budget_;
    OperationWait* outer_;
};

// The connection's busy handler (installed by Database): the default wait of a statement, or
// what remains of the budget of this thread's operation.
int DatabaseBusyHandler(void* database, int count);

// A failure because another connection holds a lock (SQLITE_BUSY or SQLITE_LOCKED, any
// extended code).
bool IsLockFailure(const SqlResult& r);

}  // namespace lq
