#include "recorder/Wavelet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tests/recorder/WaveletTestSupport.h"

namespace lq {
namespace {

// What the worker's hooks saw, for the test thread to wait on.
struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int calls = 0;
    int progress = 0;
    std::optional<std::vector<WaveletGrid>> grids;

    WaveletWorker::Finished Hook() {
        return [this](std::optional<std::vector<WaveletGrid>> g) {
            std::lock_guard lock(mutex);
            grids = std::move(g);
            finished = true;
            ++calls;
            done.notify_all();
        };
    }
    bool WaitFinished() {
        std::unique_lock lock(mutex);
        return done.wait_for(lock, std::chrono::seconds(60), [this] { return finished; });
    }
};

WaveletSignal LongTone() {
    const auto image = test::MakeWave(10 * 11025, 1, 11025, test::Tone(1e4, -5.9, 11025));
    return WaveletSignalFromImage(image.data(), image.size());
}

TEST(WaveletWorkerTest, ComputesTheSameGridsOffTheCallingThread) {
    const WaveletSignal signal = test::MonoSignal(11025, [](int i) { return static_cast<int16_t>((i * 37) % 2000 - 1000); });
    const WaveletRequest request{500000.0f, 1e6f, 2, 5.0f};
    Outcome out;
    WaveletWorker worker;
    std::atomic<int> columns{0};
    const auto caller = std::this_thread::get_id();
    ASSERT_TRUE(worker.Start(signal, request, [&](int, int, int) {
        EXPECT_NE(std::this_thread::get_id(), caller);
        ++columns;
    }, out.Hook()));
    ASSERT_TRUE(out.WaitFinished());
    worker.Wait();
    EXPECT_FALSE(worker.Busy());
    EXPECT_EQ(columns.load(), 450);
    ASSERT_TRUE(out.grids);
    const auto direct = ComputeWaveletLevels(signal, request);
    ASSERT_EQ(out.grids->size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        EXPECT_EQ((*out.grids)[k].Magnitudes, (*direct)[k].Magnitudes);
        EXPECT_EQ((*out.grids)[k].TPeak, (*direct)[k].TPeak);
    }
    // A second analysis on the same worker.
    Outcome again;
    ASSERT_TRUE(worker.Start(signal, {500000.0f, 1e6f, 0, 5.0f}, {}, again.Hook()));
    ASSERT_TRUE(again.WaitFinished());
    ASSERT_TRUE(again.grids);
    EXPECT_TRUE(again.grids->empty());
}

TEST(WaveletWorkerTest, CancelEndsSoonAndReportsNothing) {
    Outcome out;
    WaveletWorker worker;
    std::atomic<int> columns{0};
    ASSERT_TRUE(worker.Start(LongTone(), {5.5e6f, 11e6f, 8, 5.0f}, [&](int, int, int) { ++columns; }, out.Hook()));
    EXPECT_FALSE(worker.Start(LongTone(), {}, {}, {}));  // one analysis at a time
    while (columns.load() < 2) std::this_thread::yield();
    worker.Cancel();
    ASSERT_TRUE(out.WaitFinished());
    worker.Wait();
    EXPECT_FALSE(out.grids);
    EXPECT_EQ(out.calls, 1);
    EXPECT_LT(columns.load(), 400);
}

TEST(WaveletWorkerTest, DestroyingAWorkerStopsItsAnalysis) {
    Outcome out;
    const auto start = std::chrono::steady_clock::now();
    {
        WaveletWorker worker;
        ASSERT_TRUE(worker.Start(LongTone(), {5.5e6f, 11e6f, 8, 40.0f}, {}, out.Hook()));
    }
    EXPECT_TRUE(out.finished);
    EXPECT_FALSE(out.grids);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace lq
