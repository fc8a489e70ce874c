#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Score.h"
#include "core/SqlText.h"
#include "tests/core/CoreTestDb.h"
#include "tests/support/CommaLocale.h"

namespace lq {
namespace {

using test::CoreTestDb;
using test::ItemSpec;

// ---- ComputeScore ------------------------------------------------------------------------

struct ScoreCase {
    const char* name;
    int goodFirstHalf, goodSecondHalf, typedFirstHalf, typedSecondHalf;
    float expected;
};

TEST(ComputeScore, Table) {
    const ScoreCase cases[] = {
        {"everything known", 12, 15, 900, 900, 66.6667f},
        {"nothing known", 0, 0, 0, 0, 0.0f},
        {"more good answers than InputAfter count as InputAfter", 20, 20, 0, 0, 33.3333f},
        {"half at 6 good answers", 6, 0, 0, 0, 8.3333f},
        {"half with typed-word score 900", 0, 0, 900, 0, 16.6667f},
    };
    for (const ScoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        CoreTestDb t;
        for (int i = 0; i < 10; ++i) {
            ItemSpec s;
            s.igansw = i < 5 ? c.goodFirstHalf : c.goodSecondHalf;
            s.irng_2 = i < 5 ? c.typedFirstHalf : c.typedSecondHalf;
            t.AddItem(s);
        }
        EXPECT_NEAR(ComputeScore(t.db, t.row, 10, 12), c.expected, 1e-3);
    }
}

TEST(ComputeScore, ZeroDivisorGivesZero) {
    CoreTestDb t;
    ItemSpec s;
    s.igansw = 3;
    s.irng_2 = 100;
    t.AddItem(s);
    EXPECT_EQ(ComputeScore(t.db, t.row, 1, 0), 0.0f);
    EXPECT_EQ(ComputeScore(t.db, t.row, 0, 12), 0.0f);
    EXPECT_TRUE(std::isfinite(ComputeScore(t.db, t.row, 1, 12)));
}

TEST(ComputeScore, AFailedCountAddsNothing) {
    CoreTestDb t;
    t.AddItem(ItemSpec{});
    t.Exec("DROP TABLE items2;");
    t.row.CountResult = 1000;
    t.row.IntAggregate = 1000;
    EXPECT_EQ(ComputeScore(t.db, t.row, 10, 12), 0.0f);
}

// ---- Answers per day ------------------------------------------------------------------------

class HistoryTest : public ::testing::Test {
protected:
    void AddRow(DateTime when, const char* score = "1.00000") {
        t.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('%q', 1, '%q', '0.00000');", score,
                   DateText(when).c_str()));
    }
    static double SumOfWeights(int from, int to) {
        double s = 0;
        for (int d = from; d <= to; ++d) s += (d + 11.6) * (d + 11.6) * std::exp(-(d + 11.6) / 6.0);
        return s;
    }

    CoreTestDb t;
    DateTime now = test::At(2024, 3, 10, 12, 0, 0);
};

TEST_F(HistoryTest, FourteenAnswersInTheLastDayCountOnlyInTheNewestWindow) {
    for (int i = 0; i < 14; ++i) AddRow(now - (i + 0.5) / 24.0);
    const double expected = 2.0 * SumOfWeights(0, 0) / SumOfWeights(0, 39);
    EXPECT_NEAR(AnswersPerDay(t.db, t.row, now), expected, 1e-5);
}

TEST_F(HistoryTest, AWindowHoldsItsEndButNotItsStart) {
    AddRow(now);  // the end of window 0 only
    EXPECT_NEAR(AnswersPerDay(t.db, t.row, now), SumOfWeights(0, 0) / 7.0 / SumOfWeights(0, 39), 1e-6);
    t.Exec("DELETE FROM answcn;");
    AddRow(now - 7.0);  // the start of window 0: in windows 1 to 7
    EXPECT_NEAR(AnswersPerDay(t.db, t.row, now), SumOfWeights(1, 7) / 7.0 / SumOfWeights(0, 39), 1e-6);
}

TEST_F(HistoryTest, NothingInTheLast46DaysGivesZero) {
    AddRow(now - 46.0);
    AddRow(now - 50.0);
    AddRow(now + 1.0);  // after the step
    EXPECT_EQ(AnswersPerDay(t.db, t.row, now), 0.0f);
}

TEST_F(HistoryTest, AppendWritesTheRowAndCountsItEvenWhenTheInsertFails) {
    LearnState state;
    state.Score = 12.3456f;
    state.ItemCount = 42;
    state.AnswerHistoryCount = 5;
    for (int i = 0; i < 7; ++i) AddRow(now - 1.0 - i * 0.1);
    AppendAnswerHistoryRow(t.db, t.row, state, now);
    EXPECT_EQ(state.AnswerHistoryCount, 6);
    CurrentRow r;
    r.ididnt = -1;
    t.db.Query(Sql("SELECT * FROM answcn WHERE dtdate='%q';", DateText(now).c_str()), r);
    ASSERT_NE(r.ididnt, -1);
    EXPECT_EQ(r.isentn, 42);
    EXPECT_EQ(t.Count("SELECT count(*) FROM answcn WHERE glrang='12.34560';"), 1);
    // Rows 1 to 1.6 days back lie in windows 0 and 1: 7 answers a week.
    const float expected = static_cast<float>(1.0 * SumOfWeights(0, 1) / SumOfWeights(0, 39));
    EXPECT_NEAR(r.glansn, expected, 1e-5);

    t.Exec("DROP TABLE answcn;");
    AppendAnswerHistoryRow(t.db, t.row, state, now);
    EXPECT_EQ(state.AnswerHistoryCount, 7);
}

TEST_F(HistoryTest, ANonFiniteScoreIsStoredAsZero) {
    LearnState state;
    state.Score = std::numeric_limits<float>::quiet_NaN();
    AppendAnswerHistoryRow(t.db, t.row, state, now);
    state.Score = std::numeric_limits<float>::infinity();
    AppendAnswerHistoryRow(t.db, t.row, state, now + 0.1);
    EXPECT_EQ(t.Count("SELECT count(*) FROM answcn WHERE glrang='0.00000';"), 2);
    EXPECT_EQ(StoredNumberText(-std::numeric_limits<float>::infinity()), "0.00000");
}

TEST_F(HistoryTest, StoredNumbersIgnoreACommaLocale) {
    test::CommaLocale comma;
    if (!comma.Activate()) GTEST_SKIP() << "no locale with a decimal comma available";
    LearnState state;
    state.Score = 12.3456f;
    AppendAnswerHistoryRow(t.db, t.row, state, now);
    comma.Deactivate();
    EXPECT_EQ(t.Count("SELECT count(*) FROM answcn WHERE glrang='12.34560';"), 1);
}

// ---- Forecast --------------------------------------------------------------------------------

class ForecastTest : public ::testing::Test {
protected:
    // `rows` history rows one hour apart from 2020-01-01, row k scoring first + k * step.
    void Fill(int rows, double first, double step) {
        t.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) "
                   "WITH RECURSIVE c(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM c WHERE k < %i) "
                   "SELECT printf('%%.5f', %.6f + k * %.6f), 100, "
                   "strftime('%%Y-%%m-%%d %%H:%%M:%%S', '2020-01-01 00:00:00', '+' || k || ' hours'), '0.00000' FROM c;",
                   rows - 1, first, step));
        ASSERT_EQ(t.Count("SELECT count(*) FROM answcn;"), rows);
    }
    // The expected forecast: means over the rows read, dates of rows `oldK` and `newK`.
    static double Expected(double oldMean, double newMean, int oldK, int newK) {
        const double span = (newK - oldK) / 24.0;
        return (80.0 - oldMean) * span / (newMean - oldMean) - span;
    }

    CoreTestDb t;
    float days = 5.0f;  // "unchanged" shows as 5
};

TEST_F(ForecastTest, NeedsMoreThan15000Rows) {
    Fill(15000, 10.0, 0.001);
    UpdateDaysToTarget(t.db, t.row, days);
    EXPECT_EQ(days, 5.0f);
}

TEST_F(ForecastTest, RisingTrendGivesTheDaysUntil80) {
    Fill(15100, 10.0, 0.001);
    UpdateDaysToTarget(t.db, t.row, days);
    // Old: rows 0..99 (row 99 dated), new: rows 15000..15099 (row 15099 dated).
    EXPECT_NEAR(days, Expected(10.0495, 25.0495, 99, 15099), 0.5);
    EXPECT_GT(days, 2000.0f);
}

TEST_F(ForecastTest, FallingTrendIsNegative) {
    Fill(15100, 50.0, -0.001);
    UpdateDaysToTarget(t.db, t.row, days);
    EXPECT_NEAR(days, Expected(49.9505, 34.9505, 99, 15099), 0.5);
    EXPECT_LT(days, 0.0f);
}

TEST_F(ForecastTest, EqualMeansGiveMinusOne) {
    Fill(15100, 20.0, 0.0);
    UpdateDaysToTarget(t.db, t.row, days);
    EXPECT_EQ(days, -1.0f);
}

TEST_F(ForecastTest, OldMeanIsTakenOverTheRowsThereAre) {
    Fill(15050, 10.0, 0.001);
    UpdateDaysToTarget(t.db, t.row, days);
    // Old: rows 0..49 only (row 49 dated); new: rows 14950..15049.
    EXPECT_NEAR(days, Expected(10.0245, 24.9995, 49, 15049), 0.5);
}

TEST_F(ForecastTest, ADateThatIsNot19CharactersLongStopsIt) {
    Fill(15100, 10.0, 0.001);
    t.Exec("UPDATE answcn SET dtdate='2099-01-01 00:00:0' WHERE ididnt=15100;");  // the newest row
    UpdateDaysToTarget(t.db, t.row, days);
    EXPECT_EQ(days, 5.0f);
}

TEST(HistoryDay, DatesReadAsPlainDecimals) {
    struct Case {
        const char* text;
        bool ok;
        float day;
    } cases[] = {
        {"2009-08-09 08:09:09", true, 40034.33984375f},
        {"2010-10-10 00:00:00", true, 40461.0f},
        {"1999-12-31 23:59:59", true, 36526.0f},
        {"2009-08-09 08:09:0", false, 0},
        {"2009-08-09 08:09:090", false, 0},
        {"2009-13-09 08:09:09", false, 0},
        {"abcd-ef-gh ij:kl:mn", false, 0},
    };
    for (const Case& c : cases) {
        float day = -1.0f;
        EXPECT_EQ(HistoryDay(c.text, day), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(day, c.day) << c.text;
        }
    }
}

// ---- Score labels -----------------------------------------------------------------------------

TEST(ScoreLabels, TextsTable) {
    struct Case {
        float score, days;
        const char *whole, *decimals, *scoreHint, *daysLeft;
    } cases[] = {
        {57.1234f, -1.0f, "57", "1234", "57.1234", "-1.00"},
        {57.99996f, 12.0f, "58", "0000", "58.0000", "12.00"},
        {0.00004f, -12.345f, "0", "0000", "0.0000", "-12.35"},
        {99.99996f, 3.14159f, "100", "0000", "100.0000", "3.14"},
        {std::numeric_limits<float>::quiet_NaN(), -1.0f, "0", "0000", "0.0000", "-1.00"},
    };
    for (const Case& c : cases) {
        const ScoreLabelTexts t = MakeScoreLabelTexts(c.score, c.days);
        EXPECT_EQ(t.score, c.whole) << c.score;
        EXPECT_EQ(t.score2, c.decimals) << c.score;
        EXPECT_EQ(t.daysLeftHint, c.scoreHint) << c.score;
        EXPECT_EQ(t.daysLeft, c.daysLeft) << c.days;
        EXPECT_EQ(t.scoreHint, c.daysLeft) << c.days;
    }
}

}  // namespace
}  // namespace lq
