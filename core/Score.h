#pragma once
// The score over all sentences, the score history row of a learning step (with its estimate of
// the answers per day), the forecast of the days left until the score reaches 80, and the texts
// of the Learn page's score labels.
#include <string>

#include "platform/DateTime.h"

namespace lq {

class Database;
struct CurrentRow;
struct LearnState;

// A third of the mean good-answer count (capped at inputAfter) as a percentage of inputAfter,
// plus a third of the mean typed-word score / 9: 0 to 66.67. 0 when itemCount or inputAfter is
// not positive.
float ComputeScore(const Database& db, CurrentRow& row, int itemCount, int inputAfter);

// The weight of the answer window that ends `d` days before the step: (d+11.6)^2 e^-(d+11.6)/6.
float AnswerWindowWeight(int d);

// Answers per day before `stepTime`: the weighted mean over 40 overlapping 7-day windows of the
// history rows (a window holds the rows after its start and up to its end).
float AnswersPerDay(const Database& db, CurrentRow& row, DateTime stepTime);

// "%.5f" for a stored number; a value that is not finite is written as "0.00000".
std::string StoredNumberText(float value);

// Inserts the history row of a step at `stepTime` (state.Score, state.ItemCount, the answers per
// day) and counts it in state.AnswerHistoryCount, whether or not the insert succeeded.
void AppendAnswerHistoryRow(Database& db, CurrentRow& row, LearnState& state, DateTime stepTime);

// The forecast: a straight line through the mean of the 100 scores 15000 rows back and the mean
// of the 100 newest, extended to 80. Left unchanged while the history holds 15000 rows or fewer
// or a date of the two is unreadable; -1 when the two means are equal.
void UpdateDaysToTarget(const Database& db, CurrentRow& row, float& daysToTarget);

// A stored date text "yyyy-mm-dd hh:nn:ss" as a single-precision day number. False for anything
// that is not exactly such a text.
bool HistoryDay(const std::string& text, float& day);

// The texts of the score labels: ScoreLbl shows the score's whole part and Score2Lbl its four
// decimals, both cut from one "%.4f" text; DaysLeftLbl shows the forecast.
struct ScoreLabelTexts {
    std::string score;         // ScoreLbl caption
    std::string score2;        // Score2Lbl caption
    std::string scoreHint;     // ScoreLbl hint: the forecast, "%.2f"
    std::string daysLeft;      // DaysLeftLbl caption: the forecast, "%.2f"
    std::string daysLeftHint;  // DaysLeftLbl hint: the score, "%.4f"
};
ScoreLabelTexts MakeScoreLabelTexts(float score, float daysToTarget);

// The layout captions and the hint of the three labels before the first step.
inline constexpr const char* kScoreLblLayoutText = "99";
inline constexpr const char* kScore2LblLayoutText = "98765";
inline constexpr const char* kDaysLeftLblLayoutText = "99";
inline constexpr const char* kScoreLabelsLayoutHint = "Your score :)";

}  // namespace lq
