#include "core/DueQueue.h"

#include <algorithm>
#include <climits>

#include "core/CacheSupport.h"
#include "core/Database.h"

namespace lq {
namespace {

constexpr long long kAlways = LLONG_MIN;       // a number: before every text, so always due
constexpr long long kNever = LLONG_MAX;        // NULL (never before a text) or a blob (always after)
constexpr long long kOddText = LLONG_MAX - 1;  // a text that is not a date text (see oddRows_)
constexpr size_t kBlockRows = 512;             // a block's rows after a fill; split at twice that

template <typename A, typename B>
bool Before(const A& a, const B& b) {
    return a.iplace < b.iplace || (a.iplace == b.iplace && a.id < b.id);
}

}  // namespace

void DueQueue::OnRowChange(const RowChange& change) {
    if (!valid_ || !change.Is("items2")) return;
    sqlite3_value* dtansn = nullptr;
    sqlite3_value* isound = nullptr;
    sqlite3_value* iplace = nullptr;
    Row before, after;
    const bool insert = change.What() == RowChange::Kind::Insert;
    const bool remove = change.What() == RowChange::Kind::Delete;
    if (!insert) {
        if (!change.Old(dtansnColumn_, dtansn) || !change.Old(isoundColumn_, isound) ||
            !change.Old(iplaceColumn_, iplace)) {
            valid_ = false;
            return;
        }
        before = Read(dtansn, isound, iplace, change.OldKey());
    }
    if (!remove) {
        if (!change.New(dtansnColumn_, dtansn) || !change.New(isoundColumn_, isound) ||
            !change.New(iplaceColumn_, iplace)) {
            valid_ = false;
            return;
        }
        after = Read(dtansn, isound, iplace, change.NewKey());
    }
    if (!insert && !remove && before == after) return;  // another column changed
    if (!insert && !Remove(before)) {
        valid_ = false;
        return;
    }
    if (!remove) Add(after);
}

DueQueue::Row DueQueue::Read(sqlite3_value* dtansn, sqlite3_value* isound, sqlite3_value* iplace,
                             long long rowid) const {
    Row row;
    row.id = rowid;
    row.moduleKnown = sqlite3_value_type(isound) == SQLITE_INTEGER;
    row.isound = row.moduleKnown ? sqlite3_value_int64(isound) : 0;
    row.placeKnown = sqlite3_value_type(iplace) == SQLITE_INTEGER;
    row.iplace = row.placeKnown ? sqlite3_value_int64(iplace) : 0;
    switch (sqlite3_value_type(dtansn)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT: row.due = kAlways; break;
        case SQLITE_TEXT: {
            const unsigned char* text = sqlite3_value_text(dtansn);
            const int bytes = sqlite3_value_bytes(dtansn);
            if (!DateKey(text, bytes, row.due)) {
                row.due = kOddText;
                row.oddText.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
            }
            break;
        }
        default: row.due = kNever; break;
    }
    return row;
}

void DueQueue::Add(const Row& row) {
    if (!row.moduleKnown) return;  // never one of the selected modules
    if (!row.placeKnown || row.due == kOddText) oddRows_[row.id] = row;
    if (!row.placeKnown) return;
    const Entry entry{row.iplace, row.id, row.due};
    ModuleQueue& queue = modules_[row.isound];
    if (queue.empty()) {
        queue.push_back(Block{{entry}, entry.due});
        return;
    }
    // The last block that starts before the row (the first one when none does).
    auto block = std::upper_bound(queue.begin(), queue.end(), entry,
                                  [](const Entry& e, const Block& b) { return Before(e, b.rows.front()); });
    if (block != queue.begin()) --block;
    std::vector<Entry>& rows = block->rows;
    rows.insert(std::lower_bound(rows.begin(), rows.end(), entry, Before<Entry, Entry>), entry);
    block->earliest = std::min(block->earliest, entry.due);
    if (rows.size() <= 2 * kBlockRows) return;
    Block tail;
    tail.rows.assign(rows.begin() + kBlockRows, rows.end());
    rows.resize(kBlockRows);
    auto earliest = [](const std::vector<Entry>& r) {
        long long e = kNever;
        for (const Entry& x : r) e = std::min(e, x.due);
        return e;
    };
    block->earliest = earliest(rows);
    tail.earliest = earliest(tail.rows);
    queue.insert(block + 1, std::move(tail));
}

bool DueQueue::Remove(const Row& row) {
    if (!row.moduleKnown) return true;
    if (!row.placeKnown || row.due == kOddText) oddRows_.erase(row.id);
    if (!row.placeKnown) return true;
    const Entry entry{row.iplace, row.id, row.due};
    const auto module = modules_.find(row.isound);
    if (module == modules_.end()) return false;
    ModuleQueue& queue = module->second;
    auto block = std::upper_bound(queue.begin(), queue.end(), entry,
                                  [](const Entry& e, const Block& b) { return Before(e, b.rows.front()); });
    if (block == queue.begin()) return false;
    --block;
    std::vector<Entry>& rows = block->rows;
    const auto at = std::lower_bound(rows.begin(), rows.end(), entry, Before<Entry, Entry>);
    if (at == rows.end() || at->id != entry.id || at->iplace != entry.iplace) return false;
    rows.erase(at);
    if (rows.empty()) {
        queue.erase(block);
        if (queue.empty()) modules_.erase(module);
    } else if (entry.due == block->earliest) {
        block->earliest = kNever;
        for (const Entry& e : rows) block->earliest = std::min(block->earliest, e.due);
    }
    return true;
}

void DueQueue::Clear() {
    modules_.clear();
    oddRows_.clear();
}

bool DueQueue::Fill() {
    if (!ColumnIndexes(db_, "items2",
                       {{"dtansn", &dtansnColumn_}, {"isound", &isoundColumn_}, {"iplace", &iplaceColumn_}}))
        return false;
    Clear();
    // Each module's rows as the scan meets them, then sorted and cut into blocks.
    std::map<long long, std::vector<Entry>> scanned;
    const SqlResult r = db_.Scan("SELECT dtansn, isound, iplace, rowid FROM items2;", [&](const ScanRow& scan) {
        const Row row = Read(scan.Value(0), scan.Value(1), scan.Value(2), scan.Int(3));
        if (!row.moduleKnown) return;
        if (!row.placeKnown || row.due == kOddText) oddRows_[row.id] = row;
        if (row.placeKnown) scanned[row.isound].push_back(Entry{row.iplace, row.id, row.due});
    });
    valid_ = r.ok();
    if (!valid_) {
        Clear();
        return false;
    }
    for (auto& [module, rows] : scanned) {
        std::sort(rows.begin(), rows.end(), Before<Entry, Entry>);
        ModuleQueue& queue = modules_[module];
        queue.reserve((rows.size() + kBlockRows - 1) / kBlockRows);
        for (size_t start = 0; start < rows.size(); start += kBlockRows) {
            Block block;
            const size_t end = std::min(rows.size(), start + kBlockRows);
            block.rows.assign(rows.begin() + static_cast<std::ptrdiff_t>(start),
                              rows.begin() + static_cast<std::ptrdiff_t>(end));
            block.earliest = kNever;
            for (const Entry& e : block.rows) block.earliest = std::min(block.earliest, e.due);
            queue.push_back(std::move(block));
        }
        std::vector<Entry>().swap(rows);
    }
    return true;
}

bool DueQueue::FirstDue(const std::string& now, long long exclude, const std::vector<long long>& modules,
                        long long& id) {
    return First(&now, exclude, modules, id);
}

bool DueQueue::FirstQueued(long long exclude, const std::vector<long long>& modules, long long& id) {
    return First(nullptr, exclude, modules, id);
}

bool DueQueue::First(const std::string* now, long long exclude, const std::vector<long long>& modules,
                     long long& id) {
    long long nowKey = kNever;
    if (now && !DateKey(*now, nowKey)) return false;
    if (!valid_ && !Fill()) return false;
    // Without `now` every row counts; kOddText rows are never due here (oddRows_ tells).
    auto counts = [&](long long due) { return !now || due < nowKey; };
    const Entry* best = nullptr;
    for (long long module : modules) {
        const auto queue = modules_.find(module);
        if (queue == modules_.end()) continue;
        const Entry* found = nullptr;
        for (const Block& block : queue->second) {
            if (best && !Before(block.rows.front(), *best)) break;  // all of this module after it
            if (!counts(block.earliest)) continue;
            for (const Entry& e : block.rows)
                if (e.id != exclude && counts(e.due)) {
                    found = &e;
                    break;
                }
            if (found) break;
        }
        if (found && (!best || Before(*found, *best))) best = found;
    }
    long long place = best ? best->iplace : 0;
    id = best ? best->id : -1;
    for (const auto& [rowid, row] : oddRows_) {
        if (rowid == exclude || std::find(modules.begin(), modules.end(), row.isound) == modules.end()) continue;
        if (now && !(row.due == kOddText ? row.oddText < *now : row.due < nowKey)) continue;
        if (!row.placeKnown) return false;  // where it stands among the integers is the engine's
        if (id < 0 || Before(row, Entry{place, id, 0})) {
            id = rowid;
            place = row.iplace;
        }
    }
    return true;
}

}  // namespace lq
