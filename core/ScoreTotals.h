#pragma once
// The totals of items2 that every learning step needs (the number of rows, the count of each
// good-answer value and the sum of the typed-word scores), the due times of the sentences and
// the number of score-history rows, kept in memory per connection so that a step does not
// recount or walk 200,000 rows (about 80 bytes a sentence). Also the score history's dates and
// scores in the order of its dtdate index (24 bytes a row, about 400 KB for the 16,640 rows
// start-up keeps), from which the answer windows and the forecast are read without a query.
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

// One row of the score history (answcn) as the answer windows and the forecast read it.
struct HistoryRow {
    long long dateKey = -1;  // dtdate's 14 digits (see DateKey); -1 for NULL, which sorts first
    long long id = 0;
    bool scored = false;     // glrang is not NULL
    float score = 0.0f;      // glrang's text read as the row store reads it

    bool operator<(const HistoryRow& o) const { return dateKey < o.dateKey || (dateKey == o.dateKey && id < o.id); }
};

// The 14 digits of a date text "yyyy-mm-dd hh:nn:ss" as one number into `key`; false for any
// other text. Such texts compare byte by byte as their numbers compare.
bool DateKey(const std::string& text, long long& key);
// The date text of a key from DateKey.
std::string DateKeyText(long long key);

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

    // Of the rows other than `exclude` that "dtansn < now" selects (numbers and texts before
    // `now`, compared as SQLite compares them) and whose module is one of `modules`, the id of the
    // one with the smallest (iplace, ididnt) into `id`; -1 when there is none. False when that
    // cannot be told: the head of the queue does not hold it and more than `max` rows are due, or
    // such a row's place is not an integer.
    bool FirstDue(const std::string& now, long long exclude, const std::vector<long long>& modules, size_t max,
                  long long& id);

    // The number of rows of answcn (the score history) into `rows`; false when it cannot be told.
    bool HistoryCount(long long& rows);

    // For each i < n, the number of history rows with after[i] < dtdate <= upTo[i] (texts
    // compared as SQLite compares them; NULL and numbers are never inside) into counts[i]. False
    // when that cannot be told here (a bound or a stored date that is not a date text).
    bool CountHistoryBetween(const std::string* after, const std::string* upTo, int n, long long* counts);

    // The history rows at positions offset .. offset+count-1 of the order "ORDER BY dtdate DESC"
    // walks the dtdata index (newest date first, equal dates the greater id first) into `rows`;
    // fewer when the history ends. False when that cannot be told here (a stored date that is
    // neither NULL nor a date text).
    bool NewestHistory(long long offset, long long count, std::vector<HistoryRow>& rows);

    // Forget the totals; the next Read fills them again.
    void Invalidate();

    // Off: Read always answers false, and the learning step runs its statements as they stand
    // rather than the faster forms that give the same rows. On by default.
    void SetEnabled(bool enabled);
    bool Enabled();

private:
    // A sentence with what the choice of the next sentence compares: its module and its place.
    struct DueRow {
        long long id = 0;
        long long isound = 0;
        long long iplace = 0;
        bool moduleKnown = false;  // isound is an integer (only such a value can equal a module id)
        bool placeKnown = false;   // iplace is an integer
    };

    struct Columns {
        int irng2 = -1;
        int igansw = -1;
        int dtansn = -1;
        int isound = -1;
        int iplace = -1;
    };
    // One row's values of those columns.
    struct RowValues {
        sqlite3_value* irng2 = nullptr;
        sqlite3_value* igansw = nullptr;
        sqlite3_value* dtansn = nullptr;
        sqlite3_value* isound = nullptr;
        sqlite3_value* iplace = nullptr;
    };

    static void OnPreUpdate(void* self, sqlite3* db, int op, const char* dbName, const char* table,
                            sqlite3_int64 oldKey, sqlite3_int64 newKey);
    static void OnRollback(void* self);
    void Apply(const RowValues& v, long long rowid, int sign);
    void OnHistoryChange(sqlite3* db, int op, sqlite3_int64 newKey);
    bool Fill();
    bool FillHistory();    // called with the connection's mutex held and mutex_ not held
    bool HistoryReady();   // Ready() and the history filled; the connection's mutex held
    void Drop();           // everything to be filled again; mutex_ held
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
    // rows whose due time is a number (before every text); each with the row's id, and holding
    // the row's module and place (as its last insert or update wrote them).
    std::map<std::pair<long long, long long>, DueRow> dueDates_;
    std::map<std::pair<std::string, long long>, DueRow> dueOddTexts_;
    std::map<long long, DueRow> dueNumbers_;
    // The same rows in queue order, (iplace, id), for those with an integer module and place and
    // a due time that is a number or a date text; FirstDue walks the head of the queue for the
    // first due row before it walks the due rows. Rows whose place is not an integer are counted,
    // since only the walk over the due rows can tell whether they count.
    struct QueueEntry {
        long long isound = 0;
        long long dateKey = 0;
        bool number = false;  // the due time is a number: due at any time
    };
    std::map<std::pair<long long, long long>, QueueEntry> queue_;
    long long unplacedRows_ = 0;
    // The score history sorted as the dtdate index holds it: NULL dates first, then the date
    // texts, equal dates in id order. An inserted row takes its place in the list (the step's
    // row, with the newest date, goes to the end); an update or a delete (start-up's pruning, an
    // edit) drops the list to be read again. While a row's date is neither NULL nor a date
    // text the list is not offered (its place among the texts would need SQLite's comparison).
    bool historyValid_ = false;
    int historyDateColumn_ = -1;
    int historyScoreColumn_ = -1;
    std::vector<HistoryRow> history_;
    long long oddHistoryDates_ = 0;
};

}  // namespace lq
