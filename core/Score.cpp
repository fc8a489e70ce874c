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
#include "core/Database.h"
#include "core/ScoreTotals.h"
#include "platform/CNumbers.h"

namespace lq {

namespace {

int SaturatedInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

// The statements as they stand, without the faster forms (see ScoreTotals::SetEnabled).
bool StatementsOnly(const Database& db) { return !db.Totals() || !db.Totals()->Enabled(); }

}  // namespace

float ComputeScore(const Database& db, CurrentRow& row, int itemCount, int inputAfter) {
    if (itemCount <= 0 || inputAfter <= 0) return 0.0f;
    // The totals answer the counts and the sum exactly as the statements below would, and leave
    // the row store as they would.
    ItemTotals totals;
    const bool cached = db.Totals() && db.Totals()->Read(totals);
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

// The 40 window counts from one range query over the span of all windows. A window counts the
// rows after its start and up to its end, compared as SQLite compares texts (bytes, then length;
// only text values satisfy the range, as in the window statements), so with the rows in that
// order each window's count is (rows up to its end) - (rows up to its start), and those 80
// numbers are taken as the rows stream past the sorted boundaries. False when the query fails.
bool WindowCounts(const Database& db, const std::string (&lo)[40], const std::string (&hi)[40], int (&counts)[40]) {
    std::vector<const std::string*> bounds;
    for (int d = 0; d < 40; ++d) {
        bounds.push_back(&lo[d]);
        bounds.push_back(&hi[d]);
    }
    std::sort(bounds.begin(), bounds.end(), [](const std::string* a, const std::string* b) { return *a < *b; });
    std::vector<long long> upTo(bounds.size(), 0);  // rows <= bounds[i]
    size_t next = 0;
    long long seen = 0;
    bool ordered = true;
    std::string previous;
    const SqlResult r = db.QueryCached(
        "SELECT dtdate FROM answcn WHERE dtdate>? AND dtdate<=? ORDER BY dtdate ASC;", {*bounds.front(), *bounds.back()},
        [&](int n, char** values, char**) {
            if (n < 1 || !values[0]) return;
            const std::string_view t(values[0]);
            if (t < previous) ordered = false;
            previous.assign(t);
            while (next < bounds.size() && std::string_view(*bounds[next]) < t) upTo[next++] = seen;
            ++seen;
        });
    if (!r.ok() || !ordered) return false;
    while (next < bounds.size()) upTo[next++] = seen;
    auto rowsUpTo = [&](const std::string& bound) {
        const auto it = std::lower_bound(bounds.begin(), bounds.end(), &bound,
                                         [](const std::string* a, const std::string* b) { return *a < *b; });
        return upTo[static_cast<size_t>(it - bounds.begin())];
    };
    for (int d = 0; d < 40; ++d) {
        const long long n = rowsUpTo(hi[d]) - rowsUpTo(lo[d]);
        counts[d] = n > 0 ? static_cast<int>(n) : 0;
    }
    return true;
}

// The 40 window counts from the history the totals keep in memory.
bool CachedWindowCounts(const Database& db, const std::string (&lo)[40], const std::string (&hi)[40],
                        int (&counts)[40]) {
    long long n[40];
    if (!db.Totals()->CountHistoryBetween(lo, hi, 40, n)) return false;
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
    const bool ranged = !StatementsOnly(db) && (CachedWindowCounts(db, lo, hi, counts) || WindowCounts(db, lo, hi, counts));
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

void AppendAnswerHistoryRow(const Database& db, CurrentRow& row, LearnState& state, DateTime stepTime) {
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

void AddHistoryRow(HistoryRows& h, const char* glrang, const char* dtdate) {
    if (h.count == 0 && dtdate) {
        h.hasFirstDate = true;
        h.firstDate = dtdate;
    }
    h.present.push_back(glrang != nullptr);
    h.glrang.push_back(glrang ? static_cast<float>(CAtof(glrang)) : 0.0f);
    ++h.count;
}

// The rows at positions offset .. offset+99 of "ORDER BY dtdate DESC" from the history the
// totals keep in memory; null when they cannot tell.
std::unique_ptr<HistoryRows> CachedHistoryRows(const Database& db, long long offset) {
    std::vector<HistoryRow> rows;
    if (!db.Totals()->NewestHistory(offset, 100, rows)) return nullptr;
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

// `sql` selects glrang and dtdate.
HistoryRows ReadHistoryRows(const Database& db, const char* sql) {
    HistoryRows h;
    db.QueryCached(sql, {}, [&](int n, char** values, char**) {
        if (n >= 2) AddHistoryRow(h, values[0], values[1]);
    });
    return h;
}

// The 100 rows "SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 15000, 100;" returns. That
// walk passes 15000 newer rows; the history holds little more than that (start-up prunes it), so
// with its row count the same rows are found walking the dtdata index from the oldest end, in
// the exact reverse of its order (equal dates in id order), and each row's score is then read by
// its id. Null when the row count is not known.
std::unique_ptr<HistoryRows> ReadOlderHistoryRows(const Database& db) {
    long long total = 0;
    if (StatementsOnly(db) || !db.Totals()->HistoryCount(total)) return nullptr;
    auto h = std::make_unique<HistoryRows>();
    if (total <= 15000) return h;
    const long long offset = std::max<long long>(0, total - 15100);
    const long long count = std::min<long long>(100, total - 15000);
    std::vector<long long> ids;
    std::vector<std::string> dates;
    std::vector<bool> dated;
    const SqlResult r = db.QueryCached("SELECT ididnt, dtdate FROM answcn ORDER BY dtdate ASC, ididnt ASC LIMIT ?, ?;",
                                       {offset, count}, [&](int n, char** values, char**) {
                                           if (n < 2 || !values[0]) return;
                                           ids.push_back(std::stoll(values[0]));
                                           dated.push_back(values[1] != nullptr);
                                           dates.emplace_back(values[1] ? values[1] : "");
                                       });
    if (!r.ok()) return nullptr;
    for (size_t k = ids.size(); k-- > 0;) {
        std::string glrang;
        bool has = false;
        db.QueryCached("SELECT glrang FROM answcn WHERE ididnt=?;", {ids[k]}, [&](int n, char** values, char**) {
            if (n > 0 && values[0]) {
                glrang = values[0];
                has = true;
            }
        });
        AddHistoryRow(*h, has ? glrang.c_str() : nullptr, dated[k] ? dates[k].c_str() : nullptr);
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
    if (StatementsOnly(db)) {
        ForecastFromStatements(db, row, daysToTarget);
        return;
    }
    // Each stretch in one query: its scores give the mean and its first row the date, as the
    // queries "SELECT glrang ... LIMIT 15000, 100;" and "SELECT dtdate ... LIMIT 15000, 1;" (and
    // the same at 0) give them, the rows coming in the same index order.
    // The history the totals keep answers both without a query.
    std::unique_ptr<HistoryRows> cachedOlder = CachedHistoryRows(db, 15000);
    std::unique_ptr<HistoryRows> cachedNewer = cachedOlder ? CachedHistoryRows(db, 0) : nullptr;
    std::unique_ptr<HistoryRows> counted = cachedOlder ? nullptr : ReadOlderHistoryRows(db);
    const HistoryRows older =
        cachedOlder ? std::move(*cachedOlder)
        : counted   ? std::move(*counted)
                    : ReadHistoryRows(db, "SELECT glrang, dtdate FROM answcn ORDER BY dtdate DESC LIMIT 15000, 100;");
    const HistoryRows newer =
        cachedNewer ? std::move(*cachedNewer)
                    : ReadHistoryRows(db, "SELECT glrang, dtdate FROM answcn ORDER BY dtdate DESC LIMIT 0, 100;");
    const float oldMean = MeanScore(row, older);
    const float newMean = MeanScore(row, newer);
    float oldDay = 0.0f;
    float newDay = 0.0f;
    if (!HistoryDate(row, older, oldDay)) return;
    if (!HistoryDate(row, newer, newDay)) return;
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
