#pragma once
// The totals of items2 that every learning step's score needs: the number of rows, the count of
// each good-answer value and the sum of the typed-word scores, kept exact from the connection's
// row reports (see LessonCaches) so that a step does not recount 200,000 rows. About 2 KB
// whatever the number of sentences (one map entry per good-answer value; measured by the
// benchmark BM_CacheMemory).
#include <sqlite3.h>

#include <map>

namespace lq {

class Database;
class RowChange;

struct ItemTotals {
    long long rows = 0;                    // every row of items2
    std::map<long long, long long> gansw;  // igansw value -> rows with it (integer values only)
    long long irng2Sum = 0;                // sum of the non-NULL irng_2 values
    long long irng2Values = 0;             // how many irng_2 values are not NULL

    long long CountOf(long long igansw) const;
    long long CountAtLeast(long long igansw) const;
};

class ItemTotalsCache {
public:
    explicit ItemTotalsCache(const Database& db) : db_(db) {}

    // The current totals into `out`, filling them first when needed. False when they cannot be
    // offered (a good-answer or typed-word value that is not a small integer, a failed scan).
    // Called with the connection's lock held.
    bool Read(ItemTotals& out);

    void OnRowChange(const RowChange& change);
    void Drop() { valid_ = false; }

private:
    void Apply(sqlite3_value* irng2, sqlite3_value* igansw, int sign);
    bool Fill();

    const Database& db_;
    bool valid_ = false;
    int irng2Column_ = -1;
    int ganswColumn_ = -1;
    ItemTotals totals_;
    long long oddValues_ = 0;  // good-answer or typed-word values that are not small integers
};

}  // namespace lq
