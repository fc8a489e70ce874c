#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "learn/PlayScheduler.h"
#include "learn/Shortcuts.h"

namespace lq {
namespace {

// Runs the timer every 200 ms from `start` for `spanMs` and returns the times it played.
std::vector<int64_t> RunTimer(PlayScheduler& s, int64_t start, int64_t spanMs, uint32_t delay, float duration,
                         bool visible = true, bool on = true) {
    std::vector<int64_t> plays;
    for (int64_t t = start; t <= start + spanMs; t += 200) {
        s.Tick(visible, on, delay, duration, [t] { return t; }, [&plays, t] { plays.push_back(t); });
    }
    return plays;
}

TEST(PlaySchedulerTest, RepeatsAfterDelayPlusDuration) {
    PlayScheduler s;
    const std::vector<int64_t> plays = RunTimer(s, 0, 12000, 2000, 3500.0f);
    ASSERT_GE(plays.size(), 3u);
    EXPECT_EQ(plays[0], 0);
    EXPECT_EQ(plays[1], 5600);
    EXPECT_EQ(plays[2], 11200);
}

TEST(PlaySchedulerTest, ResetPlaysAtTheNextTick) {
    PlayScheduler s;
    RunTimer(s, 0, 1000, 10000, 3000.0f);
    s.Reset();
    const std::vector<int64_t> plays = RunTimer(s, 1200, 400, 10000, 3000.0f);
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0], 1200);
}

TEST(PlaySchedulerTest, NothingPlaysHiddenOrSwitchedOff) {
    PlayScheduler s;
    EXPECT_TRUE(RunTimer(s, 0, 2000, 2000, 100.0f, false, true).empty());
    EXPECT_TRUE(RunTimer(s, 0, 2000, 2000, 100.0f, true, false).empty());
    // Switched on later: plays at once, since nothing played before.
    EXPECT_EQ(RunTimer(s, 3000, 0, 2000, 100.0f).size(), 1u);
}

TEST(PlaySchedulerTest, RefusedPlayStillStampsTheTime) {
    PlayScheduler s;
    int tries = 0;
    for (int64_t t = 0; t <= 2000; t += 200) s.Tick(true, true, 1000, 500.0f, [t] { return t; }, [&] { ++tries; });
    EXPECT_EQ(tries, 2);  // at 0 and at 1600, whether the player took them or not
    EXPECT_EQ(s.LastPlay(), 1600);
}

TEST(PlaySchedulerTest, KeepsRepeatingAcrossTheThirtyTwoBitWrap) {
    PlayScheduler s;
    const int64_t start = (int64_t{1} << 32) - 3000;
    const std::vector<int64_t> plays = RunTimer(s, start, 12000, 2000, 1000.0f);
    EXPECT_EQ(plays.size(), 4u);
}

TEST(PlaySchedulerTest, NegativeDelayRepeatsBackToBack) {
    PlayScheduler s;
    const std::vector<int64_t> plays = RunTimer(s, 0, 3000, 0xFFFFFFFFu, 1000.0f);  // "-1" in the file
    ASSERT_GE(plays.size(), 2u);
    EXPECT_EQ(plays[1], 1000);
}

TEST(ShortcutTest, DecisionTable) {
    struct Case {
        ShortcutKey key;
        ShortcutState state;
        bool next, place, swallow;
    } cases[] = {
        {ShortcutKey::Enter, {true, false, true, true, -1}, true, false, true},
        {ShortcutKey::Enter, {true, false, false, false, -1}, false, false, true},
        {ShortcutKey::Enter, {false, false, true, true, -1}, false, false, false},
        {ShortcutKey::Enter, {true, true, true, true, -1}, false, false, false},
        {ShortcutKey::Ctrl, {true, false, false, true, -1}, true, false, false},
        {ShortcutKey::Ctrl, {true, false, true, false, -1}, false, false, false},
        {ShortcutKey::Ctrl, {true, true, true, true, -1}, false, false, false},
        {ShortcutKey::Ctrl, {true, false, true, true, -1, false, true}, false, false, false},
        {ShortcutKey::Ctrl, {true, false, true, true, -1, true}, true, false, false},
        {ShortcutKey::Alt, {true, false, false, false, 2}, false, true, true},
        {ShortcutKey::Alt, {true, false, false, false, -1}, false, false, true},
        {ShortcutKey::Alt, {true, false, false, false, 2, true}, false, false, true},
        {ShortcutKey::Alt, {false, false, false, false, 2}, false, false, false},
        {ShortcutKey::Other, {true, false, true, true, 2}, false, false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const ShortcutAction a = DecideShortcut(c.key, c.state);
        EXPECT_EQ(a.runNext, c.next) << "case " << n;
        EXPECT_EQ(a.placeWord, c.place) << "case " << n;
        EXPECT_EQ(a.swallow, c.swallow) << "case " << n;
        ++n;
    }
}

}  // namespace
}  // namespace lq
