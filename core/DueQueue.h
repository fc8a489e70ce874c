#pragma once
// The queue of sentences with their due times, kept from the connection's row reports (see
// LessonCaches), so that the choice of the next sentence need not walk 200,000 rows to find the
// first due one. It holds about 176 bytes a sentence (35 MB at 200,000; measured by the
// benchmark BM_CacheMemory).
#include <sqlite3.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace lq {

class Database;
class RowChange;

class DueQueue {
public:
    explicit DueQueue(const Database& db) : db_(db) {}

    // Of the rows other than `exclude` that "dtansn < now" selects (numbers and texts before
    // `now`, compared as SQLite compares them) and whose module is one of `modules`, the id of the
    // one with the smallest (iplace, ididnt) into `id`; -1 when there is none. False when that
    // cannot be told: the head of the queue does not hold it and more than `max` rows are due, or
    // such a row's place is not an integer. Called with the connection's lock held.
    bool FirstDue(const std::string& now, long long exclude, const std::vector<long long>& modules, size_t max,
                  long long& id);

    void OnRowChange(const RowChange& change);
    void Drop() { valid_ = false; }

private:
    // A sentence with what the choice of the next sentence compares: its module and its place.
    struct DueRow {
        long long id = 0;
        long long isound = 0;
        long long iplace = 0;
        bool moduleKnown = false;  // isound is an integer (only such a value can equal a module id)
        bool placeKnown = false;   // iplace is an integer
    };
    struct QueueEntry {
        long long isound = 0;
        long long dateKey = 0;
        bool number = false;  // the due time is a number: due at any time
    };

    void Apply(sqlite3_value* dtansn, sqlite3_value* isound, sqlite3_value* iplace, long long rowid, int sign);
    bool Fill();
    void Clear();

    const Database& db_;
    bool valid_ = false;
    int dtansnColumn_ = -1;
    int isoundColumn_ = -1;
    int iplaceColumn_ = -1;
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
    std::map<std::pair<long long, long long>, QueueEntry> queue_;
    long long unplacedRows_ = 0;
};

}  // namespace lq
