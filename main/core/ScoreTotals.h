#pragma once
// The totals of items2 that every learning step needs (the number of rows, the count of each
// good-answer value and the sum of the typed-word scores), the due times of the sentences and
// the number of score-history rows, kept in memory per connection so that a step does not
// recount or walk 200,000 rows (about 50 bytes a sentence).
//
// Filled by one scan on first use and kept exact by SQLite's pre-update hook, which reports every
// row this connection inserts, updates or deletes. Dropped, to be filled again on next use, when
// a transaction is rolled back (rollback hook), when a statement fails (its partial changes are
// undone without any hook), and when "PRAGMA data_version" shows that another connection wrote.
// While a good-answer or typed-word value is not a small integer (a hand-edited file) the totals
// are not offered and the callers run their statements instead.
//
// Thread safety: the sound thread shares the connection. Every use of the connection here runs
// under the connection's own mutex, and the totals under a mutex of their own taken after it
// (the hook is called with the connection's mutex held), never the other way round.
#include <sqlite3.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lq {

struct ItemTotals {
    long long rows = 0;                    // every row of items2
    std::map<long long, long long> gansw;  // igansw value -> rows with it (integer values only)
    long long irng2Sum = 0;                // sum of the non-NULL irng_2 values
    long long irng2Values = 0;             // how many irng_2 values are not NULL

    long long CountOf(long long igansw) const;
    long long CountAtLeast(long long igansw) const;
};

class ScoreTotals {
public:
    // Installs the hooks on `db`; the connection must outlive this object.
    explicit ScoreTotals(sqlite3* db);
    ~ScoreTotals();
    ScoreTotals(const ScoreTotals&) = delete;
    ScoreTotals& operator=(const ScoreTotals&) = delete;

    // False when the library lacks the pre-update hook: the totals are then never offered.
    static bool Available();

    // The current totals into `out`, filling them first when needed. False when they cannot be
    // offered (off, no hook, a value that is not a small integer, a failed scan).
    bool Read(ItemTotals& out);

    // The ids of the rows other than `exclude` that "dtansn < now" selects (numbers and texts
    // before `now`, compared as SQLite compares them), into `ids`. False when that cannot be told
    // or more than `max` rows are due.
    bool DueIds(const std::string& now, long long exclude, size_t max, std::vector<long long>& ids);

    // The number of rows of answcn (the score history) into `rows`; false when it cannot be told.
    bool HistoryCount(long long& rows);

    // Forget the totals; the next Read fills them again.
    void Invalidate();

    // Off: Read always answers false, and the learning step runs its statements as they stand
    // rather than the faster forms that give the same rows. On by default.
    void SetEnabled(bool enabled);
    bool Enabled();

private:
    struct Columns {
        int irng2 = -1;
        int igansw = -1;
        int dtansn = -1;
    };

    static void OnPreUpdate(void* self, sqlite3* db, int op, const char* dbName, const char* table,
                            sqlite3_int64 oldKey, sqlite3_int64 newKey);
    static void OnRollback(void* self);
    void Apply(sqlite3_value* irng2, sqlite3_value* igansw, sqlite3_value* dtansn, long long rowid, int sign);
    bool Fill();
    bool Ready();  // filled and current; takes mutex_ only for a moment
    bool DataVersion(long long& version);

    sqlite3* db_;
    sqlite3_stmt* versionQuery_ = nullptr;  // "PRAGMA data_version;"
    std::mutex mutex_;  // guards everything below
    bool enabled_ = true;
    bool valid_ = false;
    long long dataVersion_ = -1;
    Columns columns_;
    ItemTotals totals_;
    long long oddValues_ = 0;  // good-answer or typed-word values that are not small integers
    bool historyKnown_ = false;
    long long historyRows_ = 0;
    // Due times: "yyyy-mm-dd hh:nn:ss" texts as their 14 digits, other texts as they are, and the
    // rows whose due time is a number (before every text); each with the row's id.
    std::set<std::pair<long long, long long>> dueDates_;
    std::set<std::pair<std::string, long long>> dueOddTexts_;
    std::set<long long> dueNumbers_;
};

}  // namespace lq
