#include "main/Scheduling.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "main/Database.h"
#include "main/Random.h"
#include "main/SentenceBoard.h"
#include "main/Words.h"
#include "platform/Cp1251.h"

namespace lq {
namespace {

int Saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

int At(const std::vector<int>& v, int index) {
    return index >= 0 && static_cast<size_t>(index) < v.size() ? v[static_cast<size_t>(index)] : 0;
}

// The iplace of the row at `position` of the queue; false when there is none.
bool QueuePlaceAt(const Database& db, CurrentRow& row, const char* sql, int position, int& place) {
    row.ididnt = -1;
    db.QueryCached(sql, {position}, row);
    if (row.ididnt == -1) return false;
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

}  // namespace

int SelectNextItem(const Database& db, CurrentRow& row, Clock& clock, int exclude) {
    const std::string now = DateText(clock.Now());
    row.ididnt = -1;
    // Equal places are taken in id order, which is also the order of the iplace index.
    db.QueryCached("SELECT * FROM items2 WHERE dtansn < ? AND ididnt != ?\t\t\t\t\t"
                   "AND isound IN (SELECT ididnt FROM sounds WHERE isigns=1) ORDER BY iplace ASC, ididnt ASC LIMIT 0,1;",
                   {now, exclude}, row);
    if (row.ididnt == -1)
        db.QueryCached("SELECT * FROM items2 WHERE ididnt != ?\t\t\t\t\t\t"
                       "AND isound IN (SELECT ididnt FROM sounds WHERE isigns=1) ORDER BY iplace ASC, ididnt ASC LIMIT 0,1;",
                       {exclude}, row);
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

ScheduleResult RescheduleAnsweredItem(const Database& db, CurrentRow& row, Random& rng, const ScheduleInput& in,
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

    int place = ownPlace;
    DateTime interval = 0;
    if (in.success && r.typed) {
        for (int t : typedTiles) pairs[2 * t + 1] = Saturate(int64_t{pairs[2 * t + 1]} + 1);
        if (queueWord)
            for (int t : typedTiles) queueWord(NormalizeWord(Cp1251Lower(board.WordTiles[t].Text)));
        const float s = ScaledMinWordWeight(tileCount, pairs, board.WordCounts);
        irng2 = TruncInRange(s + 0.5f, 0, 900);
        const int position = TypedQueuePosition(s, in.itemCount, in.inputAfterFloat, rng);
        QueuePlaceAt(db, row, "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;", position, place);
        interval = TypedIntervalDays(s);
    } else if (in.success) {
        irange = std::min(Saturate(int64_t{irange} + 1), 5);
        igansw = Saturate(int64_t{igansw} + 1);
        int found = 0;
        if (PlaceOf(db, row,
                    "SELECT * FROM items2 WHERE isound=? AND igansw>? AND ididnt<? ORDER BY ididnt ASC LIMIT 1;",
                    {isound, igansw, in.itemId}, found))
            place = Saturate(int64_t{found} - 2);
        else if (PlaceOf(db, row,
                         "SELECT * FROM items2 WHERE isound=? AND igansw=? AND ididnt<? ORDER BY ididnt DESC "
                         "LIMIT 1;",
                         {isound, igansw, in.itemId}, found))
            place = Saturate(int64_t{found} - 1);
        else if (PlaceOf(db, row, "SELECT * FROM items2 WHERE igansw<=? ORDER BY iplace DESC LIMIT 1;", {igansw},
                         found))
            place = found;
        else {
            const float power = std::pow(static_cast<float>(igansw), in.scheduleExponent);
            QueuePlaceAt(db, row, "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?, 1;",
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
        QueuePlaceAt(db, row, "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;", position, place);
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
