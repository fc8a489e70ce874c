#pragma once
// What the learning step keeps in memory of the lesson tables, per connection: the totals of
// items2 (ItemTotalsCache), the queue of due sentences (DueQueue) and the score history
// (ScoreHistory). Each is filled by one scan on first use and kept exact from the rows this
// connection inserts, updates or deletes (SQLite's pre-update hook); all are dropped, to be
// filled again on next use, when a transaction is rolled back (also to a savepoint), when a
// statement fails and when another connection has written to the file. Every write to those
// tables goes through Database, so none passes by them.
//
// At 200,000 sentences and 16,640 history rows the three hold about 6 MB together, most of it
// the due queue (measured by the benchmark BM_CacheMemory).
//
// Thread safety: the sound thread shares the connection. Every call here, and every report of a
// change, runs under the connection's own lock.
#include <atomic>
#include <string>
#include <vector>

#include "core/Database.h"
#include "core/DueQueue.h"
#include "core/ItemTotals.h"
#include "core/ScoreHistory.h"

namespace lq {

class LessonCaches final : public ChangeListener {
public:
    explicit LessonCaches(const Database& db);

    // The caches of `db`'s connection (made and registered on first use); null while no
    // connection is open, while they are off, and where the library lacks the row reports.
    static LessonCaches* Of(const Database& db);
    // Off: Of() answers null, and the learning step runs its statements as they stand rather
    // than the faster forms that give the same rows. On by default.
    static void SetEnabled(const Database& db, bool enabled);

    // See ItemTotalsCache::Read, DueQueue::FirstDue and FirstQueued, ScoreHistory::CountBetween
    // and Newest; each false also when another connection's write cannot be ruled out.
    bool ReadTotals(ItemTotals& out);
    bool FirstDue(const std::string& now, long long exclude, const std::vector<long long>& modules, long long& id);
    bool FirstQueued(long long exclude, const std::vector<long long>& modules, long long& id);
    bool CountHistoryBetween(const std::string* after, const std::string* upTo, int n, long long* counts);
    bool NewestHistory(long long offset, long long count, std::vector<HistoryRow>& rows);

    void OnRowChange(const RowChange& change) override;
    void OnStale() override;

private:
    const Database& db_;
    std::atomic<bool> enabled_;
    ItemTotalsCache items_;
    DueQueue due_;
    ScoreHistory history_;
};

}  // namespace lq
