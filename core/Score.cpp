#include "core/Score.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/AppState.h"
#include "core/CacheSupport.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/LessonCaches.h"
#include "platform/CNumbers.h"

namespace lq {

namespace {

int SaturatedInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

}  // namespace

float ComputeScore(const Database& db, CurrentRow& row, int itemCount, int inputAfter) {
    if (itemCount <= 0 || inputAfter <= 0) return 0.0f;
    // The totals answer the counts and the sum exactly as the statements below would, and leave
    // the row store as they would.
    ItemTotals totals;
    LessonCaches* caches = LessonCaches::Of(db);
    const bool cached = caches && caches->ReadTotals(totals);
    float acc = 0.0f;
    for (int i = 0; i <= inputAfter; ++i) {
        row.CountResult = 0;  // a failed count must not add the previous one
        if (cached)
            row.CountResult = SaturatedInt(i < inputAfter ? totals.CountOf(i) : totals.CountAtLeast(i));
        else
            db.QueryCached(i < inputAfter ? "SELECT count(*) FROM items2 WHERE igansw=?;"
                                          : "SELECT count(*) FROM items2 WHERE igansw>=?;",
                           {i}, row);
        acc += static_cast<float>(static_cast<int64_t>(row.CountResult) * i);
    }
    const float divisor = static_cast<float>(static_cast<int64_t>(itemCount) * inputAfter);
    const float a = 100.0f * acc / divisor * (1.0f / 3.0f);

    row.IntAggregate = 0;
    if (cached) {
        // sum() of no value is NULL, which leaves the field as preset.
        if (totals.irng2Values > 0) row.IntAggregate = SaturatedInt(totals.irng2Sum);
    } else {
        db.QueryCached("SELECT sum(irng_2) FROM items2;", {}, row);
    }
    const float typed = static_cast<float>(row.IntAggregate) * (1.0f / 9.0f);
    const float b = typed / static_cast<float>(itemCount) * (1.0f / 3.0f);

    const float score = a + b;
    return std::isfinite(score) ? score : 0.0f;
}

float AnswerWindowWeight(int d) {
    const double x = d + 11.6;
    return static_cast<float>(x * x * std::exp(-x / 6.0));
}

namespace {

// The 40 window counts from the history the totals keep in memory.
bool CachedWindowCounts(const Database& db, const std::string (&lo)[40], const std::string (&hi)[40],
                        int (&counts)[40]) {
    LessonCaches* caches = LessonCaches::Of(db);
    long long n[40];
    if (!caches || !caches->CountHistoryBetween(lo, hi, 40, n)) return false;
    for (int d = 0; d < 40; ++d) counts[d] = static_cast<int>(std::min<long long>(n[d], INT_MAX));
    return true;
}

}  // namespace

float AnswersPerDay(const Database& db, CurrentRow& row, DateTime stepTime) {
    std::string lo[40];
    std::string hi[40];
    for (int d = 0; d < 40; ++d) {
        const DateTime end = stepTime - d;
        hi[d] = DateText(end);
        lo[d] = DateText(end - 7.0);
    }
    int counts[40];
    const bool ranged = CachedWindowCounts(db, lo, hi, counts);
    float num = 0.0f;
    float den = 0.0f;
    for (int d = 0; d < 40; ++d) {
        row.CountResult = 0;
        if (ranged)
            row.CountResult = counts[d];
        else
            db.QueryCached("SELECT count(*) FROM answcn WHERE dtdate>? AND dtdate<=?;", {lo[d], hi[d]}, row);
        const float w = AnswerWindowWeight(d);
        den += w;
        num += (static_cast<float>(row.CountResult) * (1.0f / 7.0f)) * w;
    }
    return num / den;
}

std::string StoredNumberText(float value) {
    if (!std::isfinite(value)) return "0.00000";
    return FormatFixed(static_cast<double>(value), 5);
}

void AppendAnswerHistoryRow(Database& db, CurrentRow& row, LearnState& state, DateTime stepTime) {
    const float perDay = AnswersPerDay(db, row, stepTime);
    db.ExecCached("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values(?, ?, ?, ?);",
                  {StoredNumberText(state.Score), state.ItemCount, DateText(stepTime), StoredNumberText(perDay)});
    ++state.AnswerHistoryCount;
}

bool HistoryDay(const std::string& text, float& day) {
    if (text.size() != 19) return false;
    DateTime value = 0;
    if (!ParseDateText(text, value)) return false;
    day = static_cast<float>(value);
    return true;
}

namespace {

// The rows of one stretch of the history, newest first: the glrang of each (present: not NULL)
// read as the row store reads it, and the dtdate of the first.
struct HistoryRows {
    std::vector<float> glrang;
    std::vector<bool> present;
    bool hasFirstDate = false;
    std::string firstDate;
    size_t count = 0;
};

// The rows at positions offset .. offset+99 of "ORDER BY dtdate DESC" from the history the
// totals keep in memory; null when they cannot tell.
std::unique_ptr<HistoryRows> CachedHistoryRows(const Database& db, long long offset) {
    LessonCaches* caches = LessonCaches::Of(db);
    std::vector<HistoryRow> rows;
    if (!caches || !caches->NewestHistory(offset, 100, rows)) return nullptr;
    auto h = std::make_unique<HistoryRows>();
    for (const HistoryRow& r : rows) {
        if (h->count == 0 && r.dateKey >= 0) {
            h->hasFirstDate = true;
            h->firstDate = DateKeyText(r.dateKey);
        }
        h->present.push_back(r.scored);
        h->glrang.push_back(r.score);
        ++h->count;
    }
    return h;
}

// The mean of the glrang values of the rows, over the rows, through the row store as a
// "SELECT glrang" query would leave it (StoreCurrentRow sets glrang and adds it to GlrangSum for
// each value that is not NULL).
float MeanScore(CurrentRow& row, const HistoryRows& h) {
    row.GlrangSum = 0.0f;
    for (size_t i = 0; i < h.count; ++i) {
        if (!h.present[i]) continue;
        row.glrang = h.glrang[i];
        row.GlrangSum += row.glrang;
    }
    return h.count > 0 ? row.GlrangSum * (1.0f / static_cast<float>(h.count)) : 0.0f;
}

// The date of the stretch's first row as a "SELECT dtdate ... LIMIT n, 1" query leaves it.
bool HistoryDate(CurrentRow& row, const HistoryRows& h, float& day) {
    if (h.count == 0) return false;
    if (h.hasFirstDate) row.dtdate = h.firstDate;
    return HistoryDay(row.dtdate, day);
}

// The days after the newest row at which the line through (oldDay, oldMean) and (newDay,
// newMean) reaches 80; -1 when the means are equal.
float Trend(float oldMean, float newMean, float oldDay, float newDay) {
    if (newMean == oldMean) return -1.0f;
    const float span = newDay - oldDay;
    return (80.0f - oldMean) * span / (newMean - oldMean) - span;
}

// The forecast's four statements as they stand.
int MeanScoreQuery(const Database& db, CurrentRow& row, const char* sql, float& mean) {
    row.GlrangSum = 0.0f;
    int rows = 0;
    db.QueryCached(sql, {}, [&](int n, char** values, char** names) {
        StoreCurrentRow(row, n, values, names);
        ++rows;
    });
    mean = rows > 0 ? row.GlrangSum * (1.0f / static_cast<float>(rows)) : 0.0f;
    return rows;
}

bool HistoryDateQuery(const Database& db, CurrentRow& row, const char* sql, float& day) {
    int rows = 0;
    db.QueryCached(sql, {}, [&](int n, char** values, char** names) {
        StoreCurrentRow(row, n, values, names);
        ++rows;
    });
    return rows > 0 && HistoryDay(row.dtdate, day);
}

void ForecastFromStatements(const Database& db, CurrentRow& row, float& daysToTarget) {
    float oldMean = 0.0f;
    float newMean = 0.0f;
    MeanScoreQuery(db, row, "SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 15000, 100;", oldMean);
    MeanScoreQuery(db, row, "SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 0, 100;", newMean);
    float oldDay = 0.0f;
    float newDay = 0.0f;
    if (!HistoryDateQuery(db, row, "SELECT dtdate FROM answcn ORDER BY dtdate DESC LIMIT 15000, 1;", oldDay)) return;
    if (!HistoryDateQuery(db, row, "SELECT dtdate FROM answcn ORDER BY dtdate DESC LIMIT 0, 1;", newDay)) return;
    daysToTarget = Trend(oldMean, newMean, oldDay, newDay);
}

}  // namespace

void UpdateDaysToTarget(const Database& db, CurrentRow& row, float& daysToTarget) {
    // The history kept in memory gives each stretch's scores and its first row's date, as the
    // four statements below give them, the rows in the same index order.
    const std::unique_ptr<HistoryRows> older = CachedHistoryRows(db, 15000);
    const std::unique_ptr<HistoryRows> newer = older ? CachedHistoryRows(db, 0) : nullptr;
    if (!older || !newer) {
        ForecastFromStatements(db, row, daysToTarget);
        return;
    }
    const float oldMean = MeanScore(row, *older);
    const float newMean = MeanScore(row, *newer);
    float oldDay = 0.0f;
    float newDay = 0.0f;
    if (!HistoryDate(row, *older, oldDay)) return;
    if (!HistoryDate(row, *newer, newDay)) return;
    daysToTarget = Trend(oldMean, newMean, oldDay, newDay);
}

ScoreLabelTexts MakeScoreLabelTexts(float score, float daysToTarget) {
    ScoreLabelTexts t;
    // One rounding for both labels: 57.99996 reads "58" and "0000".
    const std::string text = FormatFixed(std::isfinite(score) ? static_cast<double>(score) : 0.0, 4);
    const size_t point = text.find('.');
    t.score = text.substr(0, point);
    t.score2 = point == std::string::npos ? std::string() : text.substr(point + 1);
    t.daysLeft = FormatFixed(static_cast<double>(daysToTarget), 2);
    t.scoreHint = t.daysLeft;
    t.daysLeftHint = text;
    return t;
}

}  // namespace lq
