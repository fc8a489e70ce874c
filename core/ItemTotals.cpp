#include "core/ItemTotals.h"

#include <climits>

#include "core/CacheSupport.h"
#include "core/Database.h"

namespace lq {
namespace {

// A value the totals can hold: an integer within the 32-bit range (so that no sum overflows).
bool SmallInteger(sqlite3_value* v, long long& out) {
    if (sqlite3_value_type(v) != SQLITE_INTEGER) return false;
    out = sqlite3_value_int64(v);
    return out >= INT_MIN && out <= INT_MAX;
}

}  // namespace

long long ItemTotals::CountOf(long long igansw) const {
    const auto it = gansw.find(igansw);
    return it == gansw.end() ? 0 : it->second;
}

long long ItemTotals::CountAtLeast(long long igansw) const {
    long long n = 0;
    for (auto it = gansw.lower_bound(igansw); it != gansw.end(); ++it) n += it->second;
    return n;
}

void ItemTotalsCache::OnRowChange(const RowChange& change) {
    if (!valid_ || !change.Is("items2")) return;
    sqlite3_value* irng2 = nullptr;
    sqlite3_value* igansw = nullptr;
    if (change.What() != RowChange::Kind::Insert) {
        if (!change.Old(irng2Column_, irng2) || !change.Old(ganswColumn_, igansw)) {
            valid_ = false;
            return;
        }
        Apply(irng2, igansw, -1);
    }
    if (change.What() != RowChange::Kind::Delete) {
        if (!change.New(irng2Column_, irng2) || !change.New(ganswColumn_, igansw)) {
            valid_ = false;
            return;
        }
        Apply(irng2, igansw, +1);
    }
}

void ItemTotalsCache::Apply(sqlite3_value* irng2, sqlite3_value* igansw, int sign) {
    totals_.rows += sign;
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

bool ItemTotalsCache::Fill() {
    if (!ColumnIndexes(db_, "items2", {{"irng_2", &irng2Column_}, {"igansw", &ganswColumn_}})) return false;
    totals_ = ItemTotals();
    oddValues_ = 0;
    const SqlResult r = db_.Scan("SELECT irng_2, igansw FROM items2;",
                                 [this](const ScanRow& row) { Apply(row.Value(0), row.Value(1), +1); });
    valid_ = r.ok();
    return valid_;
}

bool ItemTotalsCache::Read(ItemTotals& out) {
    if (!valid_ && !Fill()) return false;
    if (oddValues_ != 0) return false;
    out = totals_;
    return true;
}

}  // namespace lq
