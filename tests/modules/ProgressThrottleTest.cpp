// When the progress window paints: the first report, the ends of a loop and then one report per
// interval; the rest wait, and nothing waits that was painted already.
#include <gtest/gtest.h>

#include "core/Progress.h"

namespace lq {
namespace {

using namespace std::chrono_literals;

struct FakeClock {
    ProgressRepaintThrottle::TimePoint now{std::chrono::hours(1)};
    ProgressRepaintThrottle::Clock Get() {
        return [this] { return now; };
    }
};

TEST(ProgressRepaintThrottle, PaintsTheFirstTheEdgesAndOncePerInterval) {
    FakeClock clock;
    ProgressRepaintThrottle throttle(clock.Get());
    const struct Step {
        int advanceMs, position, maximum;
        bool textChanged, painted, pending;
        const char* what;
    } steps[] = {
        {0, 0, 100, true, true, false, "the first report"},
        {1, 1, 100, false, false, true, "inside the interval: waits"},
        {1, 2, 100, false, false, true, "still waiting"},
        {31, 3, 100, false, true, false, "33 ms after the last painting"},
        {32, 4, 100, false, false, true, "32 ms: waits"},
        {0, 99, 100, false, true, false, "the loop's last item"},
        {0, 99, 100, false, false, false, "the same again: nothing new"},
        {0, 100, 100, false, true, false, "beyond the last"},
        {0, 0, 100, true, true, false, "a new stage at 0"},
        {0, 0, 100, true, true, false, "another stage's text at 0"},
        {0, 0, 100, false, false, false, "the same stage again"},
        {5, 7, 100, true, false, true, "a new text mid-loop waits"},
        {40, 7, 100, false, true, false, "and is painted once due, with the same position"},
        {1, -3, 100, false, true, false, "a position below 0 is an edge"},
        {1, 0, 0, false, true, false, "a maximum of 0"},
        {1, 50, 200, false, false, true, "a new maximum mid-loop waits"},
    };
    for (const Step& s : steps) {
        clock.now += std::chrono::milliseconds(s.advanceMs);
        EXPECT_EQ(throttle.Report(s.position, s.maximum, s.textChanged), s.painted) << s.what;
        EXPECT_EQ(throttle.Pending(), s.pending) << s.what;
    }
}

TEST(ProgressRepaintThrottle, WaitingReportIsDueAfterTheRestOfTheInterval) {
    FakeClock clock;
    ProgressRepaintThrottle throttle(clock.Get());
    ASSERT_TRUE(throttle.Report(0, 10, true));
    clock.now += 10ms;
    ASSERT_FALSE(throttle.Report(3, 10, false));
    EXPECT_EQ(throttle.UntilDue(), 23ms);
    clock.now += 30ms;
    EXPECT_EQ(throttle.UntilDue(), 0ms);

    throttle.Painted();  // by the trailing timer
    EXPECT_FALSE(throttle.Pending());
    EXPECT_FALSE(throttle.Report(3, 10, false));  // what was painted needs no painting
    EXPECT_FALSE(throttle.Pending());
    clock.now += 1ms;
    EXPECT_FALSE(throttle.Report(4, 10, false));  // the interval counts from that painting
    EXPECT_TRUE(throttle.Pending());

    throttle.Restart();  // hidden and shown again: painted at once
    EXPECT_FALSE(throttle.Pending());
    EXPECT_TRUE(throttle.Report(4, 10, false));
}

// A loop of 100,000 items reported over 2 s: about 30 paintings a second, the first and the last
// item among them.
TEST(ProgressRepaintThrottle, LongLoopIsPaintedAboutThirtyTimesASecond) {
    FakeClock clock;
    ProgressRepaintThrottle throttle(clock.Get());
    int paintings = 0, last = -1;
    for (int i = 0; i < 100000; ++i) {
        clock.now += 20us;
        if (throttle.Report(i, 100000, i == 0)) {
            ++paintings;
            last = i;
        }
    }
    EXPECT_GE(paintings, 55);
    EXPECT_LE(paintings, 2000 / 33 + 2);
    EXPECT_EQ(last, 99999);
    EXPECT_FALSE(throttle.Pending());
}

}  // namespace
}  // namespace lq
