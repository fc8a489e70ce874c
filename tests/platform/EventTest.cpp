#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/Event.h"

namespace lq {
namespace {

using Mode = Event::Mode;
using SteadyClock = std::chrono::steady_clock;

double MsSince(SteadyClock::time_point t0) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - t0).count();
}

TEST(Event, AutoResetIsConsumedByOneWait) {
    Event e(Mode::AutoReset);
    EXPECT_FALSE(e.IsSet());
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    e.Set();  // setting twice is still one signal
    EXPECT_TRUE(e.IsSet());
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.IsSet());
    EXPECT_FALSE(e.Wait(0));

    Event initially(Mode::AutoReset, true);
    EXPECT_TRUE(initially.Wait(0));
    EXPECT_FALSE(initially.Wait(0));
}

TEST(Event, ManualResetStaysSetUntilReset) {
    Event e(Mode::ManualReset);
    e.Set();
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(-1));
    EXPECT_TRUE(e.IsSet());
    e.Reset();
    EXPECT_FALSE(e.Wait(0));
    Event initially(Mode::ManualReset, true);
    EXPECT_TRUE(initially.Wait(10));
    EXPECT_TRUE(initially.Wait(10));
}

TEST(Event, WaitTimesOut) {
    Event e(Mode::AutoReset);
    const auto t0 = SteadyClock::now();
    EXPECT_FALSE(e.Wait(50));
    EXPECT_GE(MsSince(t0), 49.0);
}

TEST(Event, ASetFromAnotherThreadEndsAnEndlessWait) {
    Event e(Mode::AutoReset);
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke = e.Wait(-1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    e.Set();
    waiter.join();
    EXPECT_TRUE(woke);
    EXPECT_FALSE(e.IsSet()) << "the waiter consumed it";
}

TEST(Event, AutoResetReleasesExactlyOneOfSeveralWaiters) {
    Event e(Mode::AutoReset);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (e.Wait(300)) ++released;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    e.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released, 1);
}

TEST(Event, ManualResetReleasesEveryWaiter) {
    Event e(Mode::ManualReset);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (e.Wait(-1)) ++released;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    e.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released, 4);
}

TEST(WaitForAny, TheLowestSignalledIndexWinsAndOnlyItIsConsumed) {
    Event a(Mode::AutoReset), b(Mode::AutoReset), c(Mode::AutoReset);
    const std::vector<Event*> all = {&a, &b, &c};
    c.Set();
    b.Set();
    EXPECT_EQ(WaitForAny(all, 0), 1);
    EXPECT_FALSE(b.IsSet());
    EXPECT_TRUE(c.IsSet()) << "the other signal is kept";
    EXPECT_EQ(WaitForAny(all, 0), 2);
    EXPECT_EQ(WaitForAny(all, 0), -1);
}

TEST(WaitForAny, AManualResetEventKeepsWinning) {
    Event make(Mode::AutoReset), kill(Mode::ManualReset);
    kill.Set();
    make.Set();
    EXPECT_EQ(WaitForAny({&kill, &make}, 0), 0);
    EXPECT_EQ(WaitForAny({&kill, &make}, 0), 0);
    EXPECT_TRUE(make.IsSet());
    EXPECT_EQ(WaitForAny({&make, &kill}, 0), 0);
    EXPECT_EQ(WaitForAny({&make, &kill}, 0), 1);
}

TEST(WaitForAny, TimesOutAndHandlesNoEvents) {
    Event a(Mode::AutoReset), b(Mode::ManualReset);
    const auto t0 = SteadyClock::now();
    EXPECT_EQ(WaitForAny({&a, &b}, 40), -1);
    EXPECT_GE(MsSince(t0), 39.0);
    EXPECT_EQ(WaitForAny({}, -1), -1);
}

TEST(WaitForAny, WakesOnASetFromAnotherThread) {
    Event make(Mode::AutoReset), kill(Mode::ManualReset);
    std::atomic<int> index{-2};
    std::thread waiter([&] { index = WaitForAny({&make, &kill}, -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill.Set();
    waiter.join();
    EXPECT_EQ(index, 1);
}

TEST(WaitForAny, OneAutoResetSignalGoesToOneWaiterOfEitherKind) {
    for (int round = 0; round < 20; ++round) {
        Event e(Mode::AutoReset), other(Mode::AutoReset);
        std::atomic<int> released{0};
        std::thread plain([&] {
            if (e.Wait(150)) ++released;
        });
        std::thread any([&] {
            if (WaitForAny({&other, &e}, 150) == 1) ++released;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        e.Set();
        plain.join();
        any.join();
        EXPECT_EQ(released, 1) << "round " << round;
    }
}

// The sound thread's pattern: a worker waits on a request event and a stop event; the requester
// waits for each answer. No request may be lost, and the stop ends the worker.
TEST(WaitForAny, RequestAndAnswerHandshakeLosesNothing) {
    Event request(Mode::AutoReset), stop(Mode::ManualReset), answer(Mode::AutoReset);
    std::atomic<int> served{0};
    std::thread worker([&] {
        for (;;) {
            const int which = WaitForAny({&request, &stop}, 5000);
            if (which != 0) return;
            ++served;
            answer.Set();
        }
    });
    constexpr int kRounds = 2000;
    int answered = 0;
    for (int i = 0; i < kRounds; ++i) {
        request.Set();
        if (answer.Wait(5000)) ++answered;
    }
    stop.Set();
    worker.join();
    EXPECT_EQ(answered, kRounds);
    EXPECT_EQ(served, kRounds);
}

TEST(WaitForAny, ManyThreadsSettingAndWaiting) {
    Event a(Mode::AutoReset), b(Mode::AutoReset), stop(Mode::ManualReset);
    std::atomic<int> taken{0}, timedOut{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            for (;;) {
                const int which = WaitForAny({&a, &b, &stop}, 5000);
                if (which < 0) ++timedOut;
                if (which < 0 || which == 2) return;
                ++taken;
            }
        });
    std::vector<std::thread> setters;
    for (int i = 0; i < 3; ++i)
        setters.emplace_back([&, i] {
            for (int k = 0; k < 500; ++k) (i % 2 ? a : b).Set();
        });
    for (auto& t : setters) t.join();
    stop.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(timedOut, 0) << "the stop reached every waiter";
    EXPECT_GE(taken, 1);
    EXPECT_LE(taken, 1500) << "never more wake-ups than signals";
}

}  // namespace
}  // namespace lq
