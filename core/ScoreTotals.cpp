// The pre-update hook's interface is declared only when this is defined; the library itself must
// have been built with it (Available() asks).
#ifndef SQLITE_ENABLE_PREUPDATE_HOOK
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#endif
#include "core/ScoreTotals.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/ConnectionLock.h"
#include "core/Statement.h"
#include "platform/CNumbers.h"

namespace lq {
namespace {
constexpr size_t kQueueWalk = 4096;  // rows of the queue's head FirstDue looks at before the due rows

// The index of each named column of a table ("PRAGMA table_info(...);" in `sql`) into its int;
// false when one is missing.
bool FindColumns(sqlite3* db, const char* sql, std::initializer_list<std::pair<const char*, int*>> columns) {
    Statement info(db, sql);
    if (!info.get()) return false;
    while (sqlite3_step(info.get()) == SQLITE_ROW) {
        const char* name = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
        for (const auto& [wanted, index] : columns)
            if (name && sqlite3_stricmp(name, wanted) == 0) *index = sqlite3_column_int(info.get(), 0);
    }
    for (const auto& column : columns)
        if (*column.second < 0) return false;
    return true;
}

// A value the totals can hold: an integer within the 32-bit range (so that no sum overflows).
bool SmallInteger(sqlite3_value* v, long long& out) {
    if (sqlite3_value_type(v) != SQLITE_INTEGER) return false;
    out = sqlite3_value_int64(v);
    return out >= INT_MIN && out <= INT_MAX;
}

// The 14 digits of a date text "yyyy-mm-dd hh:nn:ss"; false for any other text. Such texts
// compare byte by byte as their digits compare as numbers.
bool DateKeyOf(const unsigned char* text, int bytes, long long& key) {
    static const char kShape[] = "dddd-dd-dd dd:dd:dd";
    if (bytes != 19) return false;
    key = 0;
    for (int i = 0; i < 19; ++i) {
        if (kShape[i] == 'd') {
            if (text[i] < '0' || text[i] > '9') return false;
            key = key * 10 + (text[i] - '0');
        } else if (text[i] != static_cast<unsigned char>(kShape[i])) {
            return false;
        }
    }
    return true;
}

// A history row from its stored dtdate and glrang; false when the date is neither NULL nor a
// date text. The score is read from glrang's text as far as its first NUL, as the row store
// reads sqlite3_column_text.
bool MakeHistoryRow(sqlite3_value* date, sqlite3_value* score, long long id, HistoryRow& row) {
    row.id = id;
    row.dateKey = -1;
    if (sqlite3_value_type(date) != SQLITE_NULL &&
        (sqlite3_value_type(date) != SQLITE_TEXT ||
         !DateKeyOf(sqlite3_value_text(date), sqlite3_value_bytes(date), row.dateKey)))
        return false;
    row.scored = sqlite3_value_type(score) != SQLITE_NULL;
    const unsigned char* text = row.scored ? sqlite3_value_text(score) : nullptr;
    row.score = text ? static_cast<float>(CAtof(reinterpret_cast<const char*>(text))) : 0.0f;
    return true;
}

}  // namespace

bool DateKey(const std::string& text, long long& key) {
    return DateKeyOf(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()), key);
}

std::string DateKeyText(long long key) {
    const long long second = key % 100, minute = key / 100 % 100, hour = key / 10000 % 100;
    const long long day = key / 1000000 % 100, month = key / 100000000 % 100, year = key / 10000000000;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", year, month, day, hour, minute, second);
    return text;
}

long long ItemTotals::CountOf(long long igansw) const {
    const auto it = gansw.find(igansw);
    return it == gansw.end() ? 0 : it->second;
}

long long ItemTotals::CountAtLeast(long long igansw) const {
    long long n = 0;
    for (auto it = gansw.lower_bound(igansw); it != gansw.end(); ++it) n += it->second;
    return n;
}

bool ScoreTotals::Available() { return sqlite3_compileoption_used("ENABLE_PREUPDATE_HOOK") != 0; }

ScoreTotals::ScoreTotals(sqlite3* db) : db_(db) {
    if (!Available()) {
        enabled_ = false;
        return;
    }
    sqlite3_preupdate_hook(db_, &ScoreTotals::OnPreUpdate, this);
    sqlite3_rollback_hook(db_, &ScoreTotals::OnRollback, this);
}

ScoreTotals::~ScoreTotals() {
    sqlite3_finalize(versionQuery_);
    if (!Available()) return;
    sqlite3_preupdate_hook(db_, nullptr, nullptr);
    sqlite3_rollback_hook(db_, nullptr, nullptr);
}

void ScoreTotals::SetEnabled(bool enabled) {
    std::lock_guard<std::mutex> lock(mutex_);
    enabled_ = enabled && Available();
    Drop();
}

void ScoreTotals::Drop() {
    valid_ = false;
    historyValid_ = false;
}

bool ScoreTotals::Enabled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return enabled_;
}

void ScoreTotals::Invalidate() {
    std::lock_guard<std::mutex> lock(mutex_);
    Drop();
}

void ScoreTotals::OnRollback(void* self) { static_cast<ScoreTotals*>(self)->Invalidate(); }

void ScoreTotals::OnPreUpdate(void* self, sqlite3* db, int op, const char* dbName, const char* table,
                              sqlite3_int64 oldKey, sqlite3_int64 newKey) {
    if (!dbName || !table || std::strcmp(dbName, "main") != 0) return;
    auto* t = static_cast<ScoreTotals*>(self);
    if (sqlite3_stricmp(table, "answcn") == 0) {
        std::lock_guard<std::mutex> lock(t->mutex_);
        if (op == SQLITE_INSERT) ++t->historyRows_;
        if (op == SQLITE_DELETE) --t->historyRows_;
        t->OnHistoryChange(db, op, newKey);
        return;
    }
    if (sqlite3_stricmp(table, "items2") != 0) return;
    std::lock_guard<std::mutex> lock(t->mutex_);
    if (!t->valid_) return;
    const Columns c = t->columns_;
    // The row's values before (sqlite3_preupdate_old) or after (sqlite3_preupdate_new) the change.
    auto read = [db, &c](int (*get)(sqlite3*, int, sqlite3_value**), RowValues& v) {
        return get(db, c.irng2, &v.irng2) == SQLITE_OK && get(db, c.igansw, &v.igansw) == SQLITE_OK &&
               get(db, c.dtansn, &v.dtansn) == SQLITE_OK && get(db, c.isound, &v.isound) == SQLITE_OK &&
               get(db, c.iplace, &v.iplace) == SQLITE_OK;
    };
    RowValues v;
    if (op == SQLITE_DELETE || op == SQLITE_UPDATE) {
        if (!read(sqlite3_preupdate_old, v)) {
            t->valid_ = false;
            return;
        }
        t->Apply(v, oldKey, -1);
    }
    if (op == SQLITE_INSERT || op == SQLITE_UPDATE) {
        if (!read(sqlite3_preupdate_new, v)) {
            t->valid_ = false;
            return;
        }
        t->Apply(v, newKey, +1);
    }
}

// Called with mutex_ held.
void ScoreTotals::OnHistoryChange(sqlite3* db, int op, sqlite3_int64 newKey) {
    if (!historyValid_) return;
    sqlite3_value* date = nullptr;
    sqlite3_value* score = nullptr;
    HistoryRow row;
    if (op != SQLITE_INSERT || sqlite3_preupdate_new(db, historyDateColumn_, &date) != SQLITE_OK ||
        sqlite3_preupdate_new(db, historyScoreColumn_, &score) != SQLITE_OK) {
        historyValid_ = false;
        return;
    }
    if (!MakeHistoryRow(date, score, newKey, row)) {
        ++oddHistoryDates_;  // not offered from now on, until the list is read again
        return;
    }
    // The step's row is dated after every other one and goes to the end; a row dated earlier
    // (the clock was put back) moves the later ones up.
    if (history_.empty() || history_.back() < row)
        history_.push_back(row);
    else
        history_.insert(std::upper_bound(history_.begin(), history_.end(), row), row);
}

void ScoreTotals::Apply(const RowValues& values, long long rowid, int sign) {
    DueRow due;
    due.id = rowid;
    due.moduleKnown = sqlite3_value_type(values.isound) == SQLITE_INTEGER;
    due.isound = due.moduleKnown ? sqlite3_value_int64(values.isound) : 0;
    due.placeKnown = sqlite3_value_type(values.iplace) == SQLITE_INTEGER;
    due.iplace = due.placeKnown ? sqlite3_value_int64(values.iplace) : 0;
    // Keeps the queue-order copy of a row that can be due: `number` or a date text's `dateKey`.
    auto queue = [&](bool number, long long dateKey) {
        if (!due.placeKnown) {
            unplacedRows_ += sign;
            return;
        }
        if (!due.moduleKnown) return;  // never one of the selected modules
        if (sign > 0) queue_[{due.iplace, rowid}] = QueueEntry{due.isound, dateKey, number};
        else queue_.erase({due.iplace, rowid});
    };
    switch (sqlite3_value_type(values.dtansn)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            if (sign > 0) dueNumbers_[rowid] = due;
            else dueNumbers_.erase(rowid);
            queue(true, 0);
            break;
        case SQLITE_TEXT: {
            const unsigned char* text = sqlite3_value_text(values.dtansn);
            const int bytes = sqlite3_value_bytes(values.dtansn);
            long long key = 0;
            if (DateKeyOf(text, bytes, key)) {
                if (sign > 0) dueDates_[{key, rowid}] = due;
                else dueDates_.erase({key, rowid});
                queue(false, key);
            } else {
                if (!due.placeKnown) unplacedRows_ += sign;
                std::pair<std::string, long long> entry(std::string(reinterpret_cast<const char*>(text), bytes), rowid);
                if (sign > 0) dueOddTexts_[std::move(entry)] = due;
                else dueOddTexts_.erase(entry);
            }
            break;
        }
        default: break;  // NULL is never before a text, a blob always after it
    }
    totals_.rows += sign;
    sqlite3_value* igansw = values.igansw;
    sqlite3_value* irng2 = values.irng2;
    long long v = 0;
    if (SmallInteger(igansw, v)) {
        long long& n = totals_.gansw[v];
        n += sign;
        if (n == 0) totals_.gansw.erase(v);
    } else if (sqlite3_value_type(igansw) != SQLITE_NULL) {
        oddValues_ += sign;
    }
    if (SmallInteger(irng2, v)) {
        totals_.irng2Sum += sign * v;
        totals_.irng2Values += sign;
    } else if (sqlite3_value_type(irng2) != SQLITE_NULL) {
        oddValues_ += sign;
    }
}

// Called with the connection's mutex held, which also keeps the one statement to one user.
bool ScoreTotals::DataVersion(long long& version) {
    if (!versionQuery_ && sqlite3_prepare_v3(db_, "PRAGMA data_version;", -1, SQLITE_PREPARE_PERSISTENT,
                                             &versionQuery_, nullptr) != SQLITE_OK)
        return false;
    const bool ok = sqlite3_step(versionQuery_) == SQLITE_ROW;
    if (ok) version = sqlite3_column_int64(versionQuery_, 0);
    sqlite3_reset(versionQuery_);
    return ok;
}

// Called with the connection's mutex held and mutex_ not held.
bool ScoreTotals::Fill() {
    long long version = 0;
    if (!DataVersion(version)) return false;
    Columns c;
    if (!FindColumns(db_, "PRAGMA table_info(items2);",
                     {{"irng_2", &c.irng2}, {"igansw", &c.igansw}, {"dtansn", &c.dtansn}, {"isound", &c.isound},
                      {"iplace", &c.iplace}}))
        return false;
    long long history = -1;
    {
        Statement count(db_, "SELECT count(*) FROM answcn;");
        if (count.get() && sqlite3_step(count.get()) == SQLITE_ROW) history = sqlite3_column_int64(count.get(), 0);
    }
    Statement scan(db_, "SELECT irng_2, igansw, dtansn, isound, iplace, rowid FROM items2;");
    if (!scan.get()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    historyValid_ = false;
    totals_ = ItemTotals();
    oddValues_ = 0;
    historyKnown_ = history >= 0;
    historyRows_ = history;
    dueDates_.clear();
    dueOddTexts_.clear();
    dueNumbers_.clear();
    queue_.clear();
    unplacedRows_ = 0;
    int rc;
    while ((rc = sqlite3_step(scan.get())) == SQLITE_ROW) {
        RowValues v;
        v.irng2 = sqlite3_column_value(scan.get(), 0);
        v.igansw = sqlite3_column_value(scan.get(), 1);
        v.dtansn = sqlite3_column_value(scan.get(), 2);
        v.isound = sqlite3_column_value(scan.get(), 3);
        v.iplace = sqlite3_column_value(scan.get(), 4);
        Apply(v, sqlite3_column_int64(scan.get(), 5), +1);
    }
    if (rc != SQLITE_DONE) return false;
    columns_ = c;
    dataVersion_ = version;
    valid_ = true;
    return true;
}

// Called with the connection's mutex held.
bool ScoreTotals::Ready() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!enabled_) return false;
    }
    long long version = 0;
    if (!DataVersion(version)) return false;
    bool valid;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (valid_ && version != dataVersion_) Drop();  // another connection wrote
        valid = valid_;
    }
    return valid || Fill();
}

// Called with the connection's mutex held and mutex_ not held.
bool ScoreTotals::FillHistory() {
    int dateColumn = -1;
    int scoreColumn = -1;
    if (!FindColumns(db_, "PRAGMA table_info(answcn);", {{"dtdate", &dateColumn}, {"glrang", &scoreColumn}}))
        return false;
    std::vector<HistoryRow> rows;
    long long odd = 0;
    Statement scan(db_, "SELECT dtdate, glrang, rowid FROM answcn;");
    if (!scan.get()) return false;
    int rc;
    while ((rc = sqlite3_step(scan.get())) == SQLITE_ROW) {
        HistoryRow row;
        if (MakeHistoryRow(sqlite3_column_value(scan.get(), 0), sqlite3_column_value(scan.get(), 1),
                           sqlite3_column_int64(scan.get(), 2), row))
            rows.push_back(row);
        else
            ++odd;
    }
    if (rc != SQLITE_DONE) return false;
    std::sort(rows.begin(), rows.end());
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_) return false;
    history_ = std::move(rows);
    oddHistoryDates_ = odd;
    historyDateColumn_ = dateColumn;
    historyScoreColumn_ = scoreColumn;
    historyValid_ = true;
    return true;
}

// Called with the connection's mutex held.
bool ScoreTotals::HistoryReady() {
    if (!Ready()) return false;
    bool filled;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        filled = historyValid_;
    }
    return filled || FillHistory();
}

bool ScoreTotals::CountHistoryBetween(const std::string* after, const std::string* upTo, int n, long long* counts) {
    ConnectionLock connection(db_);
    if (!HistoryReady()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!historyValid_ || oddHistoryDates_ != 0) return false;
    // The rows up to a date: NULL dates (key -1) are before every bound, so never inside.
    auto rowsUpTo = [this](long long key) {
        return std::upper_bound(history_.begin(), history_.end(), key,
                                [](long long k, const HistoryRow& r) { return k < r.dateKey; }) -
               history_.begin();
    };
    for (int i = 0; i < n; ++i) {
        long long lo = 0;
        long long hi = 0;
        if (!DateKey(after[i], lo) || !DateKey(upTo[i], hi)) return false;
        counts[i] = std::max<long long>(0, rowsUpTo(hi) - rowsUpTo(lo));
    }
    return true;
}

bool ScoreTotals::NewestHistory(long long offset, long long count, std::vector<HistoryRow>& rows) {
    ConnectionLock connection(db_);
    if (!HistoryReady()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!historyValid_ || oddHistoryDates_ != 0) return false;
    rows.clear();
    const long long size = static_cast<long long>(history_.size());
    for (long long p = std::max<long long>(offset, 0); p < size && p < offset + count; ++p)
        rows.push_back(history_[static_cast<size_t>(size - 1 - p)]);
    return true;
}

bool ScoreTotals::Read(ItemTotals& out) {
    ConnectionLock connection(db_);
    if (!Ready()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_ || oddValues_ != 0) return false;
    out = totals_;
    return true;
}

bool ScoreTotals::HistoryCount(long long& rows) {
    ConnectionLock connection(db_);
    if (!Ready()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_ || !historyKnown_) return false;
    rows = historyRows_;
    return true;
}

bool ScoreTotals::FirstDue(const std::string& now, long long exclude, const std::vector<long long>& modules,
                           size_t max, long long& id) {
    long long nowKey = 0;
    if (!DateKey(now, nowKey)) return false;
    ConnectionLock connection(db_);
    if (!Ready()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_) return false;
    id = -1;
    long long place = 0;
    size_t due = 0;
    bool known = true;
    auto add = [&](const DueRow& row) {
        if (row.id == exclude) return true;
        // Only an integer module id can be IN the selected ids.
        if (row.moduleKnown && std::find(modules.begin(), modules.end(), row.isound) != modules.end()) {
            if (!row.placeKnown) known = false;
            if (id < 0 || row.iplace < place || (row.iplace == place && row.id < id)) {
                id = row.id;
                place = row.iplace;
            }
        }
        return ++due <= max && known;
    };
    // The head of the queue first: with no odd due texts and every place an integer, the first
    // row of (iplace, id) order that is due, not excluded and of a selected module is the one the
    // walk over all due rows below would choose. Most steps find it within a few rows; a long
    // walk gives up and leaves it to the due rows.
    if (dueOddTexts_.empty() && unplacedRows_ == 0) {
        size_t walked = 0;
        for (const auto& [key, entry] : queue_) {
            if (++walked > kQueueWalk) break;
            if (key.second == exclude) continue;
            if (!entry.number && entry.dateKey >= nowKey) continue;
            if (std::find(modules.begin(), modules.end(), entry.isound) == modules.end()) continue;
            id = key.second;
            return true;
        }
        if (walked <= kQueueWalk) return true;  // the whole queue walked: nothing is due
    }
    for (const auto& entry : dueNumbers_)
        if (!add(entry.second)) return false;
    for (auto it = dueDates_.begin(); it != dueDates_.end() && it->first.first < nowKey; ++it)
        if (!add(it->second)) return false;
    for (auto it = dueOddTexts_.begin(); it != dueOddTexts_.end() && it->first.first < now; ++it)
        if (!add(it->second)) return false;
    return true;
}

}  // namespace lq
