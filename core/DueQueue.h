#pragma once
// The queue of sentences with their due times, kept from the connection's row reports (see
// LessonCaches), so that the choice of the next sentence need not walk 200,000 rows to find the
// first due one of a selected module. Each module's sentences are kept in queue order, (iplace,
// ididnt), in sorted blocks of a few hundred rows that know their earliest due time: a choice
// looks at one block of each selected module that holds a due row, whichever modules are
// selected and wherever they stand in the queue. About 25 bytes a sentence (5 MB at 200,000;
// measured by the benchmark BM_CacheMemory).
#include <sqlite3.h>

#include <map>
#include <string>
#include <unordered_map>
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
    // cannot be told: such a row's place is not an integer. Called with the connection's lock
    // held.
    bool FirstDue(const std::string& now, long long exclude, const std::vector<long long>& modules, long long& id);
    // The same without the due time: the earliest-queued row of those modules other than `exclude`.
    bool FirstQueued(long long exclude, const std::vector<long long>& modules, long long& id);

    void OnRowChange(const RowChange& change);
    void Drop() { valid_ = false; }

private:
    // A row as the queue sees it: the module, place and due time its last insert or update wrote.
    struct Row {
        long long id = 0;
        long long isound = 0;
        long long iplace = 0;
        long long due = 0;          // see Entry::due
        bool moduleKnown = false;   // isound is an integer (only such a value can equal a module id)
        bool placeKnown = false;    // iplace is an integer
        std::string oddText;        // the due time, when it is a text that is not a date text
        bool operator==(const Row&) const = default;
    };
    // A row of a module's queue: its place, its id and its due time, a date text's 14 digits, or
    // kAlways for a number (before every text), kNever for NULL and blobs, kOddText for a text
    // that is not a date text (looked up in oddRows_).
    struct Entry {
        long long iplace = 0;
        long long id = 0;
        long long due = 0;
    };
    struct Block {
        std::vector<Entry> rows;  // never empty
        long long earliest = 0;   // the smallest due of its rows
    };
    using ModuleQueue = std::vector<Block>;

    bool First(const std::string* now, long long exclude, const std::vector<long long>& modules, long long& id);
    Row Read(sqlite3_value* dtansn, sqlite3_value* isound, sqlite3_value* iplace, long long rowid) const;
    void Add(const Row& row);
    bool Remove(const Row& row);
    bool Fill();
    void Clear();

    const Database& db_;
    bool valid_ = false;
    int dtansnColumn_ = -1;
    int isoundColumn_ = -1;
    int iplaceColumn_ = -1;
    // The rows with an integer module and place, by module.
    std::map<long long, ModuleQueue> modules_;
    // The rows with an integer module whose place is not an integer or whose due time is an odd
    // text, by id (rare: only a hand-edited file has them).
    std::unordered_map<long long, Row> oddRows_;
};

}  // namespace lq
