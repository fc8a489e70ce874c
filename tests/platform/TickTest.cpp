#include <gtest/gtest.h>

#include <cstdint>

#include "platform/Tick.h"

namespace lq {
namespace {

TEST(Tick, CountersFollowASleep) {
    const uint32_t t0 = TickCountMs();
    const double p0 = PerformanceSeconds();
    SleepMs(30);
    const uint32_t elapsed = TickCountMs() - t0;  // unsigned: right across a wrap too
    const double seconds = PerformanceSeconds() - p0;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 2000u);
    EXPECT_GE(seconds, 0.029);
    EXPECT_LT(seconds, 2.0);
}

TEST(Tick, PerformanceCounterResolvesMicroseconds) {
    const double a = PerformanceSeconds();
    double b = a;
    for (int i = 0; i < 1000000 && b == a; ++i) b = PerformanceSeconds();
    EXPECT_GT(b, a);
    EXPECT_LT(b - a, 1e-3);
}

TEST(Tick, ZeroAndNegativeSleepsReturnAtOnce) {
    const double p0 = PerformanceSeconds();
    SleepMs(0);
    SleepMs(-100);
    EXPECT_LT(PerformanceSeconds() - p0, 0.05);
}

}  // namespace
}  // namespace lq
