#include "core/Scheduling.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/LessonCaches.h"
#include "core/Random.h"
#include "core/SentenceBoard.h"
#include "core/Words.h"
#include "platform/CNumbers.h"
#include "platform/Cp1251.h"

namespace lq {
namespace {

int Saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

int At(const std::vector<int>& v, int index) {
    return index >= 0 && static_cast<size_t>(index) < v.size() ? v[static_cast<size_t>(index)] : 0;
}

// Reads the row `id` into the row store; false when it is gone.
bool ReadRow(const Database& db, CurrentRow& row, long long id) {
    row.ididnt = -1;
    db.QueryCached("SELECT * FROM items2 WHERE ididnt=?;", {id}, row);
    return row.ididnt != -1;
}

// What a seeking form found: the row's id, or that there is none; or that it cannot tell, and the
// statement as it stands is to be run.
struct Seek {
    bool known = false;
    std::optional<long long> id;
    static Seek Unknown() { return {}; }
    static Seek None() { return {true, std::nullopt}; }
    static Seek Row(long long id) { return {true, id}; }
};

// More distinct good-answer values than this (a hand-edited file) and the reference statements
// are run as they stand.
constexpr size_t kMaxSeeks = 64;

// The id of the row at `position` of the queue (iplace ascending, equal places in id order, the
// order of the iplace index) by a walk over that index from whichever end is nearer.
Seek QueueIdAt(const Database& db, const ItemTotals& totals, int position) {
    if (position < 0) return Seek::Unknown();
    if (position >= totals.rows) return Seek::None();
    const bool fromEnd = position > totals.rows / 2;
    long long id = -1;
    const SqlResult r = db.QueryCached(fromEnd ? "SELECT ididnt FROM items2 ORDER BY iplace DESC, ididnt DESC LIMIT ?,1;"
                                               : "SELECT ididnt FROM items2 ORDER BY iplace ASC, ididnt ASC LIMIT ?,1;",
                                       {fromEnd ? totals.rows - 1 - position : position},
                                       [&id](int n, char** v, char**) {
                                           if (n > 0 && v[0]) id = CAtoi(v[0]);
                                       });
    return r.ok() && id >= 0 ? Seek::Row(id) : Seek::Unknown();
}

// The iplace of the row at `position` of the queue; false when there is none. `sql` is the
// statement that asks it ("... ORDER BY iplace ASC LIMIT ?,1;"); with the totals the row is
// found by QueueIdAt instead, which the statement's offset walk would reach only after
// `position` rows.
bool QueuePlaceAt(const Database& db, CurrentRow& row, const ItemTotals* totals, const char* sql, int position,
                  int& place) {
    const Seek seek = totals ? QueueIdAt(db, *totals, position) : Seek::Unknown();
    if (seek.known && !seek.id) {
        row.ididnt = -1;
        return false;
    }
    if (seek.known) {
        if (!ReadRow(db, row, *seek.id)) return false;
    } else {
        row.ididnt = -1;
        db.QueryCached(sql, {position}, row);
        if (row.ididnt == -1) return false;
    }
    place = row.iplace;
    return true;
}

bool PlaceOf(const Database& db, CurrentRow& row, const char* sql, std::initializer_list<SqlArg> args, int& place) {
    row.ididnt = -1;
    db.QueryCached(sql, args, row);
    if (row.ididnt == -1) return false;
    place = row.iplace;
    return true;
}

// "... WHERE isound=? AND igansw>? AND ididnt<? ORDER BY ididnt ASC LIMIT 1;": the smallest id
// over one seek per good-answer value above `igansw` (index igansw_isound).
Seek FirstEarlierWithMoreGoodAnswers(const Database& db, const ItemTotals& totals, int isound, int igansw,
                                          int itemId) {
    if (totals.gansw.size() > kMaxSeeks) return Seek::Unknown();
    long long best = -1;
    for (auto it = totals.gansw.upper_bound(igansw); it != totals.gansw.end(); ++it) {
        long long id = -1;
        const SqlResult r = db.QueryCached(
            "SELECT ididnt FROM items2 WHERE igansw=? AND isound=? AND ididnt<? ORDER BY ididnt ASC LIMIT 1;",
            {it->first, isound, itemId}, [&id](int n, char** v, char**) {
                if (n > 0 && v[0]) id = CAtoi(v[0]);
            });
        if (!r.ok()) return Seek::Unknown();
        if (id >= 0 && (best < 0 || id < best)) best = id;
    }
    return best >= 0 ? Seek::Row(best) : Seek::None();
}

// "SELECT * FROM items2 WHERE igansw<=? ORDER BY iplace DESC LIMIT 1;": the engine walks the
// igansw index upwards, sorts by iplace and keeps the first row of the greatest place, that is
// the one of the smallest good-answer value and then the smallest id. One seek per value
// (index igansw_iplace) gives each value's greatest place with its smallest id. It cannot tell
// when a place is not an integer.
Seek LastQueuedWithAtMostGoodAnswers(const Database& db, const ItemTotals& totals, int igansw) {
    if (totals.gansw.size() > kMaxSeeks) return Seek::Unknown();
    long long best = -1;
    long long bestPlace = 0;
    for (auto it = totals.gansw.begin(); it != totals.gansw.end() && it->first <= igansw; ++it) {
        long long id = -1;
        long long place = 0;
        bool integer = true;
        const SqlResult r = db.QueryCached(
            "SELECT iplace, ididnt, typeof(iplace) FROM items2 WHERE igansw=? ORDER BY iplace DESC, ididnt ASC LIMIT 1;",
            {it->first}, [&](int n, char** v, char**) {
                if (n < 3 || !v[1]) return;
                integer = v[2] && std::string_view(v[2]) == "integer";
                place = integer && v[0] ? CAtoll(v[0]) : 0;
                id = CAtoi(v[1]);
            });
        if (!r.ok() || !integer) return Seek::Unknown();
        if (id >= 0 && (best < 0 || place > bestPlace)) {
            best = id;
            bestPlace = place;
        }
    }
    return best >= 0 ? Seek::Row(best) : Seek::None();
}

// The reference statement's row into the row store through the answer of `fast` (the statement
// itself when that cannot tell).
bool PlaceOfFast(const Database& db, CurrentRow& row, const Seek& fast, const char* sql,
                 std::initializer_list<SqlArg> args, int& place) {
    if (!fast.known) return PlaceOf(db, row, sql, args, place);
    if (!fast.id || !ReadRow(db, row, *fast.id)) {
        row.ididnt = -1;
        return false;
    }
    place = row.iplace;
    return true;
}

}  // namespace

namespace {

// The selected modules' ids; false when the question fails.
bool SelectedModules(const Database& db, std::vector<long long>& selected) {
    return db.QueryCached("SELECT ididnt FROM sounds WHERE isigns=1;", {}, [&selected](int n, char** v, char**) {
                 if (n > 0 && v[0]) selected.push_back(CAtoll(v[0]));
             }).ok();
}

// The first query of SelectNextItem ("dtansn < now AND ididnt != exclude AND the module is
// selected, ORDER BY iplace, ididnt") answered from the due queue, which keeps each sentence's
// module, place and due time; with `now` null the second one (the same without the due time).
// Each statement walks the queue until it meets a row it selects, which is the whole queue when
// there is none, or most of it when the selected modules stand behind the others.
Seek FirstSelected(LessonCaches& caches, const std::vector<long long>& selected, const std::string* now,
                   int exclude) {
    long long id = -1;
    const bool known = now ? caches.FirstDue(*now, exclude, selected, id) : caches.FirstQueued(exclude, selected, id);
    if (!known) return Seek::Unknown();
    return id >= 0 ? Seek::Row(id) : Seek::None();
}

bool AnyModuleSelected(const Database& db) {
    bool any = true;  // when the question fails, the statements find out
    db.QueryCached("SELECT count(*) FROM sounds WHERE isigns=1;", {}, [&any](int n, char** v, char**) {
        if (n > 0 && v[0]) any = CAtoi(v[0]) != 0;
    });
    return any;
}

}  // namespace

int SelectNextItem(const Database& db, CurrentRow& row, Clock& clock, int exclude) {
    const std::string now = DateText(clock.Now());
    row.ididnt = -1;
    // With no module selected the first two queries can find nothing; each would walk the
    // whole queue to learn that.
    LessonCaches* caches = LessonCaches::Of(db);
    std::vector<long long> modules;
    const bool fast = caches && SelectedModules(db, modules);
    const bool selected = !fast ? !caches || AnyModuleSelected(db) : !modules.empty();
    const Seek due = fast && selected ? FirstSelected(*caches, modules, &now, exclude) : Seek::Unknown();
    // Equal places are taken in id order, which is also the order of the iplace index.
    if (due.id)
        ReadRow(db, row, *due.id);
    else if (!due.known && selected)
        db.QueryCached("SELECT * FROM items2 WHERE dtansn < ? AND ididnt != ?\t\t\t\t\t"
                       "AND isound IN (SELECT ididnt FROM sounds WHERE isigns=1) ORDER BY iplace ASC, ididnt ASC LIMIT 0,1;",
                       {now, exclude}, row);
    if (row.ididnt == -1 && selected) {
        const Seek queued = fast ? FirstSelected(*caches, modules, nullptr, exclude) : Seek::Unknown();
        if (queued.id)
            ReadRow(db, row, *queued.id);
        else if (!queued.known)
            db.QueryCached("SELECT * FROM items2 WHERE ididnt != ?\t\t\t\t\t\t"
                           "AND isound IN (SELECT ididnt FROM sounds WHERE isigns=1) ORDER BY iplace ASC, ididnt ASC LIMIT 0,1;",
                           {exclude}, row);
    }
    if (row.ididnt == -1) db.QueryCached("SELECT * FROM items2 ORDER BY iplace ASC, ididnt ASC LIMIT 0, 1;", {}, row);
    return row.ididnt;
}

float ScaledMinWordWeight(int tileCount, const std::vector<int>& pairs, const std::vector<int>& counts) {
    float m = 9999999.0f;
    for (int t = 0; t < tileCount; ++t) {
        if (At(pairs, 2 * t) == 0) continue;
        const float p = static_cast<float>(At(pairs, 2 * t + 1)) * static_cast<float>(At(counts, 2 * t));
        if (p < m) m = p;
    }
    float r = m * 900.0f * (1.0f / 47.0f);
    if (r > 900.0f) r = 900.0f;
    if (!(r >= 0.0f)) r = 0.0f;  // a negative stored weight or count
    return r;
}

std::string WordPairListText(int tileCount, const std::vector<int>& pairs) {
    std::string text;
    for (int t = 0; t < tileCount; ++t)
        text += std::to_string(At(pairs, 2 * t)) + " " + std::to_string(At(pairs, 2 * t + 1)) + " ";
    return text;
}

float LevelIntervalDays(int irange) {
    switch (irange) {
        case 0: return 0.0f;
        case 1: return 0.5f;
        case 2: return 1.0f;
        case 3: return 2.0f;
        case 4: return 4.0f;
        default: return 8.0f;
    }
}

float TypedIntervalDays(float s) {
    const float interval = 0.025f * s;
    return interval < 0.1f ? 0.1f : interval;
}

int TruncInRange(float value, int lo, int hi) {
    if (std::isnan(value) || value <= static_cast<float>(lo)) return lo;
    if (value >= static_cast<float>(hi)) return hi;
    return std::clamp(static_cast<int>(value), lo, hi);
}

int TypedQueuePosition(float s, int itemCount, float inputAfterFloat, Random& rng) {
    const int n = std::max(itemCount, 1);
    const float a = 0.01f * s;
    const float b = std::log(static_cast<float>(n)) * (1.0f / 9.0f);
    const int base = TruncInRange(std::exp(a * b), 0, n - 1);
    const int spread = TruncInRange(static_cast<float>(n) / inputAfterFloat * 0.02f * a, 0, n);
    const int position = base + RandomBelow(rng, spread);
    return std::min(position, n - 1);
}

ScheduleResult RescheduleAnsweredItem(Database& db, CurrentRow& row, Random& rng, const ScheduleInput& in,
                                      SentenceBoard& board,
                                      const std::function<void(const std::string&)>& queueWord) {
    ScheduleResult r;
    row.ididnt = -1;
    db.QueryCached("SELECT * FROM items2 WHERE ididnt=?;", {in.itemId}, row);
    if (row.ididnt == -1) return r;
    r.found = true;
    r.success = in.success;
    int irange = row.irange;
    int igansw = row.igansw;
    int irng2 = row.irng_2;
    const int isound = row.isound;
    const int storedIaansw = row.iaansw;
    const int ownPlace = row.iplace;
    const int n = std::max(in.itemCount, 1);

    const int tileCount = board.WordTileCount();
    std::vector<int>& pairs = board.WordWeightPairs;
    if (pairs.size() < static_cast<size_t>(2 * tileCount)) pairs.resize(static_cast<size_t>(2 * tileCount), 0);
    std::vector<int> typedTiles;
    for (int t : board.TypedWordTiles)
        if (t >= 0 && t < tileCount) typedTiles.push_back(t);
    r.typed = board.TypedWordCount() > 0;

    // The totals of items2 (before this step's write) let the reference queries seek.
    ItemTotals totals;
    LessonCaches* caches = LessonCaches::Of(db);
    const ItemTotals* fast = caches && caches->ReadTotals(totals) ? &totals : nullptr;

    int place = ownPlace;
    DateTime interval = 0;
    if (in.success && r.typed) {
        for (int t : typedTiles) pairs[2 * t + 1] = Saturate(int64_t{pairs[2 * t + 1]} + 1);
        if (queueWord)
            for (int t : typedTiles) queueWord(NormalizeWord(Cp1251Lower(board.WordTiles[t].Text)));
        const float s = ScaledMinWordWeight(tileCount, pairs, board.WordCounts);
        irng2 = TruncInRange(s + 0.5f, 0, 900);
        const int position = TypedQueuePosition(s, in.itemCount, in.inputAfterFloat, rng);
        QueuePlaceAt(db, row, fast, "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;", position, place);
        interval = TypedIntervalDays(s);
    } else if (in.success) {
        irange = std::min(Saturate(int64_t{irange} + 1), 5);
        igansw = Saturate(int64_t{igansw} + 1);
        int found = 0;
        if (PlaceOfFast(db, row, fast ? FirstEarlierWithMoreGoodAnswers(db, *fast, isound, igansw, in.itemId) : Seek::Unknown(),
                        "SELECT * FROM items2 WHERE isound=? AND igansw>? AND ididnt<? ORDER BY ididnt ASC LIMIT 1;",
                        {isound, igansw, in.itemId}, found))
            place = Saturate(int64_t{found} - 2);
        else if (PlaceOf(db, row,
                         "SELECT * FROM items2 WHERE isound=? AND igansw=? AND ididnt<? ORDER BY ididnt DESC "
                         "LIMIT 1;",
                         {isound, igansw, in.itemId}, found))
            place = Saturate(int64_t{found} - 1);
        else if (PlaceOfFast(db, row, fast ? LastQueuedWithAtMostGoodAnswers(db, *fast, igansw) : Seek::Unknown(),
                             "SELECT * FROM items2 WHERE igansw<=? ORDER BY iplace DESC LIMIT 1;", {igansw}, found))
            place = found;
        else {
            const float power = std::pow(static_cast<float>(igansw), in.scheduleExponent);
            QueuePlaceAt(db, row, fast, "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?, 1;",
                         TruncInRange(power, 0, n - 1), place);
        }
        interval = LevelIntervalDays(irange);
        irng2 = 10;
    } else {
        if (r.typed) {
            for (int t : typedTiles) pairs[2 * t + 1] = std::max(Saturate(int64_t{pairs[2 * t + 1]} - 2), 0);
        } else {
            irange = std::max(Saturate(int64_t{irange} - 2), 0);
            igansw = 0;
        }
        const int position = RandomBelow(rng, 3) + 4;
        QueuePlaceAt(db, row, fast, "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;", position, place);
        interval = 0.02;  // 28.8 minutes
    }

    r.irange = irange;
    r.igansw = igansw;
    r.irng_2 = irng2;
    // One more successful answer; a failure leaves the count (and irng_2) as stored.
    r.iaansw = in.success ? Saturate(int64_t{storedIaansw} + 1) : storedIaansw;
    r.place = Saturate(int64_t{place} + 1);
    r.dtansn = DateText(in.now + interval);
    if (in.success)
        db.ExecCached("UPDATE items2 set irange=?,   irng_2=?,   igansw=?,   iplace=?,   iaansw=?,   dtansw=?, "
                      "dtansn=?  WHERE ididnt=?;",
                      {r.irange, r.irng_2, r.igansw, r.place, r.iaansw, in.nowText, r.dtansn, in.itemId});
    else
        db.ExecCached("UPDATE items2 set irange=?, igansw=?, iplace=?, dtansw=?, dtansn=? WHERE ididnt=?;",
                      {r.irange, r.igansw, r.place, in.nowText, r.dtansn, in.itemId});
    if (r.typed)
        db.ExecCached("UPDATE items2 set strind=? WHERE ididnt=?;", {WordPairListText(tileCount, pairs), in.itemId});
    return r;
}

}  // namespace lq
