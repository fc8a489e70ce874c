#pragma once
// The score history's dates and scores in the order of its dtdate index, kept from the
// connection's row reports (see LessonCaches), from which the answer windows and the forecast are
// read without a query. 24 bytes a row, about 48 with the list's room to grow: some 790 KB for
// the 16,640 rows start-up keeps (measured by the benchmark BM_CacheMemory).
#include <sqlite3.h>

#include <string>
#include <vector>

namespace lq {

class Database;
class RowChange;

// One row of the score history (answcn) as the answer windows and the forecast read it.
struct HistoryRow {
    long long dateKey = -1;  // dtdate's 14 digits (see DateKey); -1 for NULL, which sorts first
    long long id = 0;
    bool scored = false;     // glrang is not NULL
    float score = 0.0f;      // glrang's text read as the row store reads it

    bool operator<(const HistoryRow& o) const { return dateKey < o.dateKey || (dateKey == o.dateKey && id < o.id); }
};

class ScoreHistory {
public:
    explicit ScoreHistory(const Database& db) : db_(db) {}

    // For each i < n, the number of history rows with after[i] < dtdate <= upTo[i] (texts
    // compared as SQLite compares them; NULL and numbers are never inside) into counts[i]. False
    // when that cannot be told here (a bound or a stored date that is not a date text).
    // Called with the connection's lock held, as the one below.
    bool CountBetween(const std::string* after, const std::string* upTo, int n, long long* counts);

    // The history rows at positions offset .. offset+count-1 of the order "ORDER BY dtdate DESC"
    // walks the dtdata index (newest date first, equal dates the greater id first) into `rows`;
    // fewer when the history ends. False when that cannot be told here (a stored date that is
    // neither NULL nor a date text).
    bool Newest(long long offset, long long count, std::vector<HistoryRow>& rows);

    void OnRowChange(const RowChange& change);
    void Drop() { valid_ = false; }

private:
    bool Ready();
    bool Fill();

    const Database& db_;
    // The rows sorted as the dtdate index holds them: NULL dates first, then the date texts,
    // equal dates in id order. An inserted row takes its place in the list (the step's row, with
    // the newest date, goes to the end); an update or a delete (start-up's pruning, an edit)
    // drops the list to be read again. While a row's date is neither NULL nor a date text the
    // list is not offered (its place among the texts would need SQLite's comparison).
    bool valid_ = false;
    int dateColumn_ = -1;
    int scoreColumn_ = -1;
    std::vector<HistoryRow> rows_;
    long long oddDates_ = 0;
};

}  // namespace lq
