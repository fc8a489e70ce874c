#include "main/Score.h"

#include <cmath>
#include <cstdint>

#include "main/AppState.h"
#include "main/Database.h"
#include "platform/CNumbers.h"

namespace lq {

float ComputeScore(const Database& db, CurrentRow& row, int itemCount, int inputAfter) {
    if (itemCount <= 0 || inputAfter <= 0) return 0.0f;
    float acc = 0.0f;
    for (int i = 0; i <= inputAfter; ++i) {
        row.CountResult = 0;  // a failed count must not add the previous one
        db.QueryCached(i < inputAfter ? "SELECT count(*) FROM items2 WHERE igansw=?;"
                                      : "SELECT count(*) FROM items2 WHERE igansw>=?;",
                       {i}, row);
        acc += static_cast<float>(static_cast<int64_t>(row.CountResult) * i);
    }
    const float divisor = static_cast<float>(static_cast<int64_t>(itemCount) * inputAfter);
    const float a = 100.0f * acc / divisor * (1.0f / 3.0f);

    row.IntAggregate = 0;
    db.QueryCached("SELECT sum(irng_2) FROM items2;", {}, row);
    const float typed = static_cast<float>(row.IntAggregate) * (1.0f / 9.0f);
    const float b = typed / static_cast<float>(itemCount) * (1.0f / 3.0f);

    const float score = a + b;
    return std::isfinite(score) ? score : 0.0f;
}

float AnswerWindowWeight(int d) {
    const double x = d + 11.6;
    return static_cast<float>(x * x * std::exp(-x / 6.0));
}

float AnswersPerDay(const Database& db, CurrentRow& row, DateTime stepTime) {
    float num = 0.0f;
    float den = 0.0f;
    for (int d = 0; d < 40; ++d) {
        const DateTime hi = stepTime - d;
        const DateTime lo = hi - 7.0;
        row.CountResult = 0;
        db.QueryCached("SELECT count(*) FROM answcn WHERE dtdate>? AND dtdate<=?;", {DateText(lo), DateText(hi)}, row);
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

// The mean of the glrang values a query returns, over the rows it returned.
int MeanScore(const Database& db, CurrentRow& row, const char* sql, float& mean) {
    row.GlrangSum = 0.0f;
    int rows = 0;
    db.QueryCached(sql, {}, [&](int n, char** values, char** names) {
        StoreCurrentRow(row, n, values, names);
        ++rows;
    });
    mean = rows > 0 ? row.GlrangSum * (1.0f / static_cast<float>(rows)) : 0.0f;
    return rows;
}

bool HistoryDate(const Database& db, CurrentRow& row, const char* sql, float& day) {
    int rows = 0;
    db.QueryCached(sql, {}, [&](int n, char** values, char** names) {
        StoreCurrentRow(row, n, values, names);
        ++rows;
    });
    return rows > 0 && HistoryDay(row.dtdate, day);
}

}  // namespace

void UpdateDaysToTarget(const Database& db, CurrentRow& row, float& daysToTarget) {
    float oldMean = 0.0f;
    float newMean = 0.0f;
    MeanScore(db, row, "SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 15000, 100;", oldMean);
    MeanScore(db, row, "SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 0, 100;", newMean);
    float oldDay = 0.0f;
    float newDay = 0.0f;
    if (!HistoryDate(db, row, "SELECT dtdate FROM answcn ORDER BY dtdate DESC LIMIT 15000, 1;", oldDay)) return;
    if (!HistoryDate(db, row, "SELECT dtdate FROM answcn ORDER BY dtdate DESC LIMIT 0, 1;", newDay)) return;
    if (newMean == oldMean) {
        daysToTarget = -1.0f;
        return;
    }
    const float span = newDay - oldDay;
    daysToTarget = (80.0f - oldMean) * span / (newMean - oldMean) - span;
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
