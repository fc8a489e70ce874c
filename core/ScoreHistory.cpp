#include "core/ScoreHistory.h"

#include <algorithm>

#include "core/CacheSupport.h"
#include "core/Database.h"
#include "platform/CNumbers.h"

namespace lq {
namespace {

// A history row from its stored dtdate and glrang; false when the date is neither NULL nor a
// date text. The score is read from glrang's text as far as its first NUL, as the row store
// reads sqlite3_column_text.
bool MakeHistoryRow(sqlite3_value* date, sqlite3_value* score, long long id, HistoryRow& row) {
    row.id = id;
    row.dateKey = -1;
    if (sqlite3_value_type(date) != SQLITE_NULL &&
        (sqlite3_value_type(date) != SQLITE_TEXT ||
         !DateKey(sqlite3_value_text(date), sqlite3_value_bytes(date), row.dateKey)))
        return false;
    row.scored = sqlite3_value_type(score) != SQLITE_NULL;
    const unsigned char* text = row.scored ? sqlite3_value_text(score) : nullptr;
    row.score = text ? static_cast<float>(CAtof(reinterpret_cast<const char*>(text))) : 0.0f;
    return true;
}

}  // namespace

void ScoreHistory::OnRowChange(const RowChange& change) {
    if (!valid_ || !change.Is("answcn")) return;
    sqlite3_value* date = nullptr;
    sqlite3_value* score = nullptr;
    HistoryRow row;
    if (change.What() != RowChange::Kind::Insert || !change.New(dateColumn_, date) ||
        !change.New(scoreColumn_, score)) {
        valid_ = false;
        return;
    }
    if (!MakeHistoryRow(date, score, change.NewKey(), row)) {
        ++oddDates_;  // not offered from now on, until the list is read again
        return;
    }
    // The step's row is dated after every other one and goes to the end; a row dated earlier
    // (the clock was put back) moves the later ones up.
    if (rows_.empty() || rows_.back() < row)
        rows_.push_back(row);
    else
        rows_.insert(std::upper_bound(rows_.begin(), rows_.end(), row), row);
}

bool ScoreHistory::Fill() {
    if (!ColumnIndexes(db_, "answcn", {{"dtdate", &dateColumn_}, {"glrang", &scoreColumn_}})) return false;
    rows_.clear();
    oddDates_ = 0;
    const SqlResult r = db_.Scan("SELECT dtdate, glrang, rowid FROM answcn;", [this](const ScanRow& scan) {
        HistoryRow row;
        if (MakeHistoryRow(scan.Value(0), scan.Value(1), scan.Int(2), row))
            rows_.push_back(row);
        else
            ++oddDates_;
    });
    if (!r.ok()) {
        rows_.clear();
        return false;
    }
    std::sort(rows_.begin(), rows_.end());
    valid_ = true;
    return true;
}

bool ScoreHistory::Ready() { return (valid_ || Fill()) && oddDates_ == 0; }

bool ScoreHistory::CountBetween(const std::string* after, const std::string* upTo, int n, long long* counts) {
    if (!Ready()) return false;
    // The rows up to a date: NULL dates (key -1) are before every bound, so never inside.
    auto rowsUpTo = [this](long long key) {
        return std::upper_bound(rows_.begin(), rows_.end(), key,
                                [](long long k, const HistoryRow& r) { return k < r.dateKey; }) -
               rows_.begin();
    };
    for (int i = 0; i < n; ++i) {
        long long lo = 0;
        long long hi = 0;
        if (!DateKey(after[i], lo) || !DateKey(upTo[i], hi)) return false;
        counts[i] = std::max<long long>(0, rowsUpTo(hi) - rowsUpTo(lo));
    }
    return true;
}

bool ScoreHistory::Newest(long long offset, long long count, std::vector<HistoryRow>& rows) {
    if (!Ready()) return false;
    rows.clear();
    const long long size = static_cast<long long>(rows_.size());
    for (long long p = std::max<long long>(offset, 0); p < size && p < offset + count; ++p)
        rows.push_back(rows_[static_cast<size_t>(size - 1 - p)]);
    return true;
}

}  // namespace lq
