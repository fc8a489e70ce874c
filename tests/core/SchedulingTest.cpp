#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/Random.h"
#include "core/Scheduling.h"
#include "tests/core/CoreTestDb.h"

namespace lq {
namespace {

using test::CoreTestDb;
using test::FixedClock;
using test::ItemSpec;

// ---- RandomBelow ---------------------------------------------------------------------------

TEST(RandomBelow, ZeroAndNegativeMakeNoDraw) {
    ScriptedRandom rng({5, 5});
    EXPECT_EQ(RandomBelow(rng, 0), 0);
    EXPECT_EQ(RandomBelow(rng, -3), 0);
    EXPECT_EQ(rng.DrawCount(), 0);
    EXPECT_EQ(RandomBelow(rng, 1), 0);
    EXPECT_EQ(rng.DrawCount(), 1);
    EXPECT_EQ(RandomBelow(rng, 3), 2);  // 5 % 3
}

TEST(RandomBelow, SeededGeneratorStaysInRange) {
    StdRandom rng(12345);
    std::vector<int> seen(7, 0);
    for (int i = 0; i < 100000; ++i) {
        const int v = RandomBelow(rng, 7);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 7);
        ++seen[static_cast<size_t>(v)];
    }
    for (int c : seen) EXPECT_GT(c, 12000);  // roughly uniform
    for (int i = 0; i < 1000; ++i) EXPECT_GE(rng.Draw31(), 0);
}

// ---- SelectNextItem ------------------------------------------------------------------------

constexpr const char* kPast = "2024-03-10 11:59:59";
constexpr const char* kNow = "2024-03-10 12:00:00";
constexpr const char* kFuture = "2024-03-10 12:00:01";

class SelectNextItemTest : public ::testing::Test {
protected:
    int Add(int module, const char* due, int place) {
        ItemSpec s;
        s.isound = module;
        s.dtansn = due;
        s.iplace = place;
        return t.AddItem(s);
    }
    int Select(int exclude) { return SelectNextItem(t.db, t.row, clock, exclude); }

    CoreTestDb t;
    FixedClock clock{test::At(2024, 3, 10, 12, 0, 0)};
};

TEST_F(SelectNextItemTest, EmptyTableGivesMinusOne) {
    t.AddModule(true);
    EXPECT_EQ(Select(-1), -1);
}

TEST_F(SelectNextItemTest, DueSentenceBeatsAnEarlierPlaceThatIsNotDue) {
    const int m = t.AddModule(true);
    Add(m, kFuture, 1);
    const int due = Add(m, kPast, 50);
    EXPECT_EQ(Select(-1), due);
}

TEST_F(SelectNextItemTest, AmongDueSentencesTheSmallestPlaceWinsHoweverOld) {
    const int m = t.AddModule(true);
    Add(m, "2001-01-01 00:00:00", 30);
    const int best = Add(m, kPast, 20);
    Add(m, "2020-05-05 00:00:00", 25);
    EXPECT_EQ(Select(-1), best);
}

TEST_F(SelectNextItemTest, DueExactlyNowIsNotDue) {
    const int m = t.AddModule(true);
    const int first = Add(m, kNow, 1);
    const int due = Add(m, kPast, 9);
    EXPECT_EQ(Select(-1), due);
    EXPECT_EQ(Select(due), first);  // nothing else due: the earliest place of a selected module
}

TEST_F(SelectNextItemTest, NothingDueTakesTheEarliestSelectedPlaceButNotTheExcluded) {
    const int m = t.AddModule(true);
    const int a = Add(m, kFuture, 1);
    const int b = Add(m, kFuture, 2);
    EXPECT_EQ(Select(-1), a);
    EXPECT_EQ(Select(a), b);
}

TEST_F(SelectNextItemTest, UnselectedModulesAreSkippedUntilTheLastFallback) {
    const int on = t.AddModule(true);
    const int off = t.AddModule(false);
    Add(off, kPast, 1);
    const int selected = Add(on, kFuture, 5);
    EXPECT_EQ(Select(-1), selected);
}

TEST_F(SelectNextItemTest, OnlyUnselectedModulesGiveTheEarliestOfTheTableEvenWhenExcluded) {
    const int off = t.AddModule(false);
    const int first = Add(off, kPast, 1);
    Add(off, kPast, 2);
    EXPECT_EQ(Select(first), first);
}

TEST_F(SelectNextItemTest, SingleSentenceExcludedIsStillChosen) {
    const int m = t.AddModule(true);
    const int only = Add(m, kPast, 3);
    EXPECT_EQ(Select(only), only);
}

TEST_F(SelectNextItemTest, NegativePlacesComeFirstAndEqualPlacesGoByIdOrder) {
    const int m = t.AddModule(true);
    Add(m, kPast, 0);
    const int low = Add(m, kPast, -7);
    const int tie = Add(m, kPast, -7);
    EXPECT_EQ(Select(-1), low);
    EXPECT_EQ(Select(low), tie);
    EXPECT_EQ(t.row.ididnt, tie);  // the row store holds the chosen row
}

// ---- Typed-word score and queue position ----------------------------------------------------

TEST(ScaledMinWordWeight, Table) {
    struct Case {
        int tiles;
        std::vector<int> pairs, counts;
        float expected;
    } cases[] = {
        {2, {0, 5, 0, 5}, {3, 0, 3, 0}, 900.0f},            // no flagged tile
        {2, {1, 0, 1, 3}, {5, 0, 5, 0}, 0.0f},              // a flagged weight of 0
        {1, {1, 3}, {0, 0}, 0.0f},                          // a flagged count of 0
        {1, {1, 10}, {2, 0}, 20.0f * 900.0f / 47.0f},       // 382.98
        {2, {1, 10, 1, 100}, {2, 0, 9, 0}, 382.978729f},    // the smallest product counts
        {1, {1, 47}, {1, 0}, 900.0f},                       // 47 is the top
        {1, {1, 1000}, {1000, 0}, 900.0f},                  // capped
        {3, {1, 1}, {1, 0}, 1.0f * 900.0f / 47.0f},         // short lists read 0 (unflagged)
    };
    for (const Case& c : cases) EXPECT_NEAR(ScaledMinWordWeight(c.tiles, c.pairs, c.counts), c.expected, 1e-3);
}

TEST(WordPairListText, TwoNumbersPerTileWithATrailingBlank) {
    EXPECT_EQ(WordPairListText(2, {1, 4, 0, 0}), "1 4 0 0 ");
    EXPECT_EQ(WordPairListText(3, {1, 4}), "1 4 0 0 0 0 ");
    EXPECT_EQ(WordPairListText(0, {1, 4}), "");
}

TEST(TruncInRange, ClampsBeforeConverting) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(TruncInRange(std::nanf(""), 0, 9), 0);
    EXPECT_EQ(TruncInRange(inf, 0, 9), 9);
    EXPECT_EQ(TruncInRange(-inf, 0, 9), 0);
    EXPECT_EQ(TruncInRange(3.99f, 0, 9), 3);
    EXPECT_EQ(TruncInRange(1e30f, 0, 9), 9);
}

TEST(TypedQueuePosition, PowerOfTheItemCountPlusSpread) {
    // 1000^(450/900) = 31.6; spread = 1000 / 12 * 0.02 * 4.5 = 7.5 -> draw below 7.
    ScriptedRandom rng({3});
    EXPECT_EQ(TypedQueuePosition(450.0f, 1000, 12.0f, rng), 34);
    EXPECT_EQ(rng.DrawCount(), 1);

    ScriptedRandom none;
    EXPECT_EQ(TypedQueuePosition(0.0f, 1000, 12.0f, none), 1);  // exp(0) with no spread
    EXPECT_EQ(TypedQueuePosition(0.0f, 1, 12.0f, none), 0);     // one sentence
    EXPECT_EQ(TypedQueuePosition(900.0f, 10, 12.0f, none), 9);  // the end of the queue
    EXPECT_EQ(none.DrawCount(), 0);
}

TEST(TypedQueuePosition, BadSettingsStillGiveAPlaceInTheQueue) {
    ScriptedRandom rng({}, 123456789);
    for (float inputAfter : {0.0f, -1.0f, std::nanf("")}) {
        for (int items : {0, 1, 1000}) {
            const int p = TypedQueuePosition(450.0f, items, inputAfter, rng);
            EXPECT_GE(p, 0);
            EXPECT_LE(p, std::max(items, 1) - 1);
        }
    }
}

TEST(LevelIntervalDays, Table) {
    const float expected[] = {0.0f, 0.5f, 1.0f, 2.0f, 4.0f, 8.0f, 8.0f};
    for (int level = 0; level <= 6; ++level) EXPECT_EQ(LevelIntervalDays(level), expected[level]) << level;
    EXPECT_EQ(TypedIntervalDays(0.0f), 0.1f);
    EXPECT_EQ(TypedIntervalDays(900.0f), 22.5f);
}

}  // namespace
}  // namespace lq
