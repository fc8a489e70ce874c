#include "core/DueQueue.h"

#include <algorithm>

#include "core/CacheSupport.h"
#include "core/Database.h"

namespace lq {
namespace {
constexpr size_t kQueueWalk = 4096;  // rows of the queue's head FirstDue looks at before the due rows
}  // namespace

void DueQueue::OnRowChange(const RowChange& change) {
    if (!valid_ || !change.Is("items2")) return;
    sqlite3_value* dtansn = nullptr;
    sqlite3_value* isound = nullptr;
    sqlite3_value* iplace = nullptr;
    if (change.What() != RowChange::Kind::Insert) {
        if (!change.Old(dtansnColumn_, dtansn) || !change.Old(isoundColumn_, isound) ||
            !change.Old(iplaceColumn_, iplace)) {
            valid_ = false;
            return;
        }
        Apply(dtansn, isound, iplace, change.OldKey(), -1);
    }
    if (change.What() != RowChange::Kind::Delete) {
        if (!change.New(dtansnColumn_, dtansn) || !change.New(isoundColumn_, isound) ||
            !change.New(iplaceColumn_, iplace)) {
            valid_ = false;
            return;
        }
        Apply(dtansn, isound, iplace, change.NewKey(), +1);
    }
}

void DueQueue::Apply(sqlite3_value* dtansn, sqlite3_value* isound, sqlite3_value* iplace, long long rowid, int sign) {
    DueRow due;
    due.id = rowid;
    due.moduleKnown = sqlite3_value_type(isound) == SQLITE_INTEGER;
    due.isound = due.moduleKnown ? sqlite3_value_int64(isound) : 0;
    due.placeKnown = sqlite3_value_type(iplace) == SQLITE_INTEGER;
    due.iplace = due.placeKnown ? sqlite3_value_int64(iplace) : 0;
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
    switch (sqlite3_value_type(dtansn)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            if (sign > 0) dueNumbers_[rowid] = due;
            else dueNumbers_.erase(rowid);
            queue(true, 0);
            break;
        case SQLITE_TEXT: {
            const unsigned char* text = sqlite3_value_text(dtansn);
            const int bytes = sqlite3_value_bytes(dtansn);
            long long key = 0;
            if (DateKey(text, bytes, key)) {
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
}

void DueQueue::Clear() {
    dueDates_.clear();
    dueOddTexts_.clear();
    dueNumbers_.clear();
    queue_.clear();
    unplacedRows_ = 0;
}

bool DueQueue::Fill() {
    if (!ColumnIndexes(db_, "items2",
                       {{"dtansn", &dtansnColumn_}, {"isound", &isoundColumn_}, {"iplace", &iplaceColumn_}}))
        return false;
    Clear();
    const SqlResult r = db_.Scan("SELECT dtansn, isound, iplace, rowid FROM items2;", [this](const ScanRow& row) {
        Apply(row.Value(0), row.Value(1), row.Value(2), row.Int(3), +1);
    });
    valid_ = r.ok();
    if (!valid_) Clear();
    return valid_;
}

bool DueQueue::FirstDue(const std::string& now, long long exclude, const std::vector<long long>& modules, size_t max,
                        long long& id) {
    long long nowKey = 0;
    if (!DateKey(now, nowKey)) return false;
    if (!valid_ && !Fill()) return false;
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
