#include "core/BusyWait.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

#include "core/Database.h"
#include "core/ScopeChain.h"

namespace lq {
namespace {

thread_local OperationWait* tInnermostWait = nullptr;
// The start of the current busy episode of this thread (the handler's count 0).
thread_local std::chrono::steady_clock::time_point tWaitStart;

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// The engine's own pattern of retries: short at first, then every 100 ms.
constexpr int kDelaysMs[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};

}  // namespace

OperationWait::OperationWait(const Database& db) : OperationWait(db, own_) {}

OperationWait::OperationWait(const Database& db, BusyBudget& budget)
    : db_(db), own_(db.BusyTimeout()), budget_(&budget), outer_(tInnermostWait) {
    // Inside an operation on the same connection, the outer budget holds.
    for (OperationWait* w = outer_; w; w = w->outer_) {
        if (&w->db_ == &db_) {
            budget_ = w->budget_;
            break;
        }
    }
    tInnermostWait = this;
}

OperationWait::~OperationWait() { UnlinkFromChain(tInnermostWait, this, &OperationWait::outer_); }

int DatabaseBusyHandler(void* database, int count) {
    const Database* db = static_cast<const Database*>(database);
    BusyBudget* budget = nullptr;
    for (OperationWait* w = tInnermostWait; w; w = w->outer_) {
        if (&w->db_ == db) {
            budget = w->budget_;
            break;
        }
    }
    if (count == 0) tWaitStart = Clock::now();
    int64_t left = db->BusyTimeout() - MsSince(tWaitStart);
    if (budget) left = std::min(left, budget->limitMs - budget->spentMs);
    if (left <= 0) return 0;
    const int64_t delay = std::min<int64_t>(
        left, kDelaysMs[std::min<size_t>(static_cast<size_t>(count), std::size(kDelaysMs) - 1)]);
    const Clock::time_point before = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    if (budget) budget->spentMs += std::max<int64_t>(MsSince(before), delay);
    return 1;
}

bool IsLockFailure(const SqlResult& r) {
    const int primary = r.code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

}  // namespace lq
