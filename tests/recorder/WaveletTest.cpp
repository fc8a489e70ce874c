#include "recorder/Wavelet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "recorder/WaveletKernel.h"
#include "tests/recorder/WaveletTestSupport.h"

namespace lq {
namespace {

using test::MakeWave;
using test::MonoSignal;
using test::Tone;

constexpr float kT = kWaveletSamplePeriodUs;

float RowF(int j) { return static_cast<float>(j) * 0.065f + kWaveletLogFreqBase; }

// --- The wavelet and its support -------------------------------------------------------------

struct SampleCase {
    float f;
    float xOverR;  // x = w * tau as a multiple of R (or of pi/2 when halfPi)
    bool halfPi;
};

TEST(WaveletSampleTest, EnvelopeAndPhaseAtKnownPoints) {
    const float r = 5.0f;
    const SampleCase cases[] = {{-8.5f, 0.0f, false}, {-5.9f, 0.0f, false}, {-3.3f, 1.0f, false},
                                {-8.5f, 1.0f, false}, {-5.9f, -1.0f, false}, {-3.3f, 1.0f, true}, {-8.5f, 1.0f, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "f " << c.f << " x " << c.xOverR << (c.halfPi ? " pi/2" : " R"));
        const double w = std::exp(static_cast<double>(c.f));
        const double x = c.halfPi ? c.xOverR * std::numbers::pi / 2 : c.xOverR * r;
        const WaveletValue v = WaveletSample(static_cast<float>(x / w), c.f, r);
        const double env = std::exp(-x * x / r / r);
        EXPECT_NEAR(v.env, env, 1e-6 * env);
        EXPECT_NEAR(v.re, std::sqrt(w) * env * std::cos(x), 1e-6 * std::sqrt(w));
        EXPECT_NEAR(v.im, std::sqrt(w) * env * std::sin(x), 1e-6 * std::sqrt(w));
    }
    const WaveletValue atZero = WaveletSample(0.0f, -5.9f, r);
    EXPECT_FLOAT_EQ(atZero.re, std::sqrt(std::exp(-5.9f)));
    EXPECT_EQ(atZero.im, 0.0f);
    EXPECT_EQ(atZero.env, 1.0f);
}

TEST(WaveletSupportTest, HalfWidthsOfTheLowestAndHighestRows) {
    struct Case {
        float f;
        int first, last;
    } const cases[] = {{-8.5f, 520, 1684}, {-3.3f, 1098, 1106}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.f);
        const WaveletRange range = WaveletSupport(100000.0f, 5.0f, c.f);
        EXPECT_NEAR(range.first, c.first, 1);
        EXPECT_NEAR(range.last, c.last, 1);
    }
    // h = R sqrt(ln 100) / w: 52,734.6 us at -8.5, 290.9 us at -3.3 (a 2h/T + 2 wide range).
    EXPECT_NEAR(WaveletSupport(100000.0f, 5.0f, -8.5f).last - WaveletSupport(100000.0f, 5.0f, -8.5f).first,
                2 * 52734.6 / kT + 2, 1.5);
}

TEST(WaveletSupportTest, TheSamplePeriodScalesTheIndexes) {
    // 44.1 kHz: four times the indexes of 11025 Hz for the same times.
    const float t44 = static_cast<float>(1e6 / 44100);
    const WaveletRange r11 = WaveletSupport(100000.0f, 5.0f, -5.9f);
    const WaveletRange r44 = WaveletSupport(100000.0f, 5.0f, -5.9f, t44);
    EXPECT_NEAR(r44.first, 4 * (r11.first + 1) - 1, 4);
    EXPECT_NEAR(r44.last, 4 * (r11.last - 1) + 1, 4);
}

// --- The inner product on an impulse ----------------------------------------------------------

class ImpulseTest : public testing::Test {
protected:
    static constexpr int kFrames = 4000;
    static constexpr int kAt = 2000;
    static constexpr double kA = 1000.0;
    WaveletSignal signal = MonoSignal(kFrames, [](int i) { return static_cast<int16_t>(i == kAt ? kA : 0); });
    const float tAt = static_cast<float>(kAt) * kT;
};

TEST_F(ImpulseTest, MagnitudeIsAmplitudeTimesRootOfW) {
    struct Case {
        float f;
        double magnitude;
    } const cases[] = {{-8.5f, 14.264}, {-5.9f, 52.340}, {-3.3f, 192.05}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.f);
        const WaveletComplex v = WaveletInnerProduct(signal, tAt, c.f, 5.0f);
        EXPECT_NEAR(std::hypot(v.re, v.im), c.magnitude, 1e-4 * c.magnitude);
        EXPECT_NEAR(std::hypot(v.re, v.im), kA * std::exp(c.f / 2.0), 1e-5 * c.magnitude);
    }
}

TEST_F(ImpulseTest, EnvelopeOffCentreAndNothingBeyondTheSupport) {
    for (const float r : {2.0f, 5.0f, 12.0f}) {
        for (const float f : {-8.5f, -5.9f, -3.3f}) {
            SCOPED_TRACE(testing::Message() << "R " << r << " f " << f);
            const double w = std::exp(static_cast<double>(f));
            // Three radians off the impulse: e^(-9/R^2) of the peak, at the offset the float time gives.
            const float t = tAt + static_cast<float>(3.0 / w);
            const double x = w * (static_cast<double>(tAt) - t);
            EXPECT_NEAR(x, -3.0, 2e-3);
            const WaveletComplex off = WaveletInnerProduct(signal, t, f, r);
            const double expected = kA * std::exp(f / 2.0) * std::exp(-x * x / (r * r));
            EXPECT_NEAR(std::hypot(off.re, off.im), expected, 1e-4 * expected + 1e-9);
            const double h = r * std::sqrt(std::log(100.0)) / w;
            for (const double side : {-1.0, 1.0}) {
                const WaveletComplex beyond = WaveletInnerProduct(signal, tAt + static_cast<float>(side * (h + 2.5 * kT)), f, r);
                EXPECT_EQ(beyond.re, 0.0f);
                EXPECT_EQ(beyond.im, 0.0f);
            }
        }
    }
}

TEST(WaveletInnerProductTest, SupportIsClampedToTheSound) {
    // Impulses on the first and the last sample: a wavelet centred there sees them and reads
    // nothing outside the samples.
    const int frames = 3000;  // wider than the lowest row's support
    const WaveletSignal signal = MonoSignal(frames, [](int i) { return static_cast<int16_t>(i == 0 || i == frames - 1 ? 1000 : 0); });
    for (const float f : {-8.5f, -3.3f}) {
        const double expected = 1000.0 * std::exp(f / 2.0);
        const WaveletComplex first = WaveletInnerProduct(signal, 0.0f, f, 5.0f);
        const WaveletComplex last = WaveletInnerProduct(signal, static_cast<float>(frames - 1) * kT, f, 5.0f);
        EXPECT_NEAR(std::hypot(first.re, first.im), expected, 1e-4 * expected);
        EXPECT_NEAR(std::hypot(last.re, last.im), expected, 1e-4 * expected);
        // Far outside the sound: nothing at all.
        EXPECT_EQ(WaveletInnerProduct(signal, -1e7f, f, 5.0f).re, 0.0f);
        EXPECT_EQ(WaveletInnerProduct(signal, 1e7f, f, 5.0f).im, 0.0f);
    }
    const WaveletSignal empty;
    EXPECT_EQ(WaveletInnerProduct(empty, 0.0f, -5.9f, 5.0f).re, 0.0f);
}

// --- Grids --------------------------------------------------------------------------------

TEST_F(ImpulseTest, GridMatchesTheEnvelopeAndPeaksAtTheTopRowOnTheImpulse) {
    WaveletGridLayout layout;
    layout.N = 60;
    layout.Dt = 400.0f;
    layout.T0 = tAt - 30 * layout.Dt;
    layout.M = 80;
    layout.F0 = kWaveletLogFreqBase;
    layout.Df = 0.065f;
    const float r = 5.0f;
    WaveletGrid grid;
    ASSERT_TRUE(ComputeWaveletGrid(grid, layout, signal, r));
    ASSERT_EQ(grid.Magnitudes.size(), 60u * 80u);
    int inside = 0, outside = 0;
    for (int i = 0; i < grid.N; ++i) {
        const float t = static_cast<float>(i) * grid.Dt + grid.T0;
        for (int j = 0; j < grid.M; ++j) {
            const float f = static_cast<float>(j) * grid.Df + grid.F0;
            const double w = std::exp(static_cast<double>(f));
            const double delta = static_cast<double>(tAt) - t;
            const double h = r * std::sqrt(std::log(100.0)) / w;
            const float mag = grid.Magnitude(i, j);
            if (std::abs(delta) < h) {
                const double expected = kA * std::sqrt(w) * std::exp(-(w * delta) * (w * delta) / (r * r));
                EXPECT_NEAR(mag, expected, 1e-5 * expected) << i << "," << j;
                ++inside;
            } else if (std::abs(delta) > h + 2 * kT) {
                EXPECT_EQ(mag, 0.0f) << i << "," << j;
                ++outside;
            }
        }
    }
    EXPECT_GT(inside, 1000);
    EXPECT_GT(outside, 1000);
    EXPECT_NEAR(grid.TPeak, tAt, 1.0f);  // column 30
    EXPECT_EQ(grid.FPeak, static_cast<float>(79) * grid.Df + grid.F0);
    EXPECT_EQ(grid.Min, 0.0f);
    EXPECT_FLOAT_EQ(grid.Max, grid.Magnitude(30, 79));
}

TEST(WaveletGridTest, FastLoopGivesEachTermOfTheDefinition) {
    // One impulse: the grid's loop returns its single term, sqrt(w) * env * (cos x, sin x), for
    // phases from 0 to a few hundred radians (R = 100) on both sides of the centre.
    const int at = 5000;
    const WaveletSignal signal = MonoSignal(10000, [](int i) { return static_cast<int16_t>(i == at ? 1000 : 0); });
    int checked = 0;
    for (const float r : {0.3f, 5.0f, 100.0f}) {
        for (const float f : {-8.5f, -6.1f, -3.3f}) {
            WaveletRow row;
            row.f = f;
            row.w = std::exp(f);
            row.sqrtW = std::sqrt(row.w);
            const WaveletRange range = WaveletSupport(static_cast<float>(at) * kT, r, f);
            for (int step = -40; step <= 40; ++step) {
                const float t = static_cast<float>(at) * kT + static_cast<float>(step) * (range.last - range.first) * kT / 80.0f;
                const WaveletComplex ref = WaveletInnerProduct(signal, t, f, r);
                const WaveletRange s = WaveletSupport(t, r, f);
                const int first = std::max(s.first, 0), last = std::min(s.last, signal.Count());
                const WaveletComplex fast = WaveletKernel(signal.Samples.data(), first, last, t, kT, row, r);
                EXPECT_NEAR(fast.re, ref.re, 1e-6f * 1000 * row.sqrtW) << r << " " << f << " " << step;
                EXPECT_NEAR(fast.im, ref.im, 1e-6f * 1000 * row.sqrtW) << r << " " << f << " " << step;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 9 * 81);
}

TEST(WaveletGridTest, GridAgreesWithTheInnerProductCellByCell) {
    // A mixture of tones and noise: the grid's fast loop against the sample-by-sample reference.
    uint32_t seed = 12345;
    const WaveletSignal signal = MonoSignal(30000, [&seed](int i) {
        seed = seed * 1664525u + 1013904223u;
        const double v = 6000 * std::sin(0.05 * i) + 4000 * std::cos(0.9 * i) + static_cast<double>(seed >> 20) - 2048;
        return static_cast<int16_t>(v);
    });
    // The same sound at 8 Hz: phases too large for the vector loop, which hands them on.
    WaveletSignal slow = signal;
    slow.PeriodUs = 125000.0f;
    const std::pair<const WaveletSignal*, float> cases[] = {{&signal, 0.5f}, {&signal, 5.0f}, {&signal, 40.0f},
                                                            {&signal, 100.0f}, {&slow, 5.0f}};
    for (const auto& [sound, r] : cases) {
        SCOPED_TRACE(testing::Message() << "R " << r << " T " << sound->PeriodUs);
        WaveletGrid grid;
        const float scale = sound->PeriodUs / kT;
        const WaveletGridLayout layout{-20000.0f * scale, 28000.0f * scale, 100, -8.5f, 0.13f, 40};
        ASSERT_TRUE(ComputeWaveletGrid(grid, layout, *sound, r));
        for (int i = 0; i < grid.N; i += 3) {
            for (int j = 0; j < grid.M; ++j) {
                const WaveletComplex c = WaveletInnerProduct(*sound, static_cast<float>(i) * grid.Dt + grid.T0,
                                                             static_cast<float>(j) * grid.Df + grid.F0, r);
                const float ref = std::sqrt(c.re * c.re + c.im * c.im);
                // The sums run in another order: float rounding of the largest terms.
                EXPECT_NEAR(grid.Magnitude(i, j), ref, 2e-4f * grid.Max) << i << "," << j;
            }
        }
    }
}

TEST(WaveletGridTest, KnownTonePeaksInRow39OfLevel0) {
    const double a = 1e4;
    const auto image = MakeWave(2 * 11025, 1, 11025, Tone(a, -5.9, 11025));
    const WaveletSignal signal = WaveletSignalFromImage(image.data(), image.size());
    WaveletGrid grid;
    ASSERT_TRUE(ComputeWaveletGrid(grid, WaveletLevel0Layout(1e6f, 2e6f), signal, 5.0f));
    EXPECT_EQ(grid.FPeak, RowF(39));
    const double w0 = std::exp(-5.9), r = 5.0;
    for (int i = 100; i < 300; i += 50) {
        for (int j = 36; j <= 44; ++j) {
            const double w = std::exp(static_cast<double>(RowF(j)));
            const double approx = a * std::sqrt(std::numbers::pi) * r / (2 * kT * std::sqrt(w)) *
                                  std::exp(-r * r * (1 - w0 / w) * (1 - w0 / w) / 4);
            EXPECT_NEAR(grid.Magnitude(i, j), approx, 0.01 * approx) << i << "," << j;
        }
        EXPECT_GT(grid.Magnitude(i, 39), grid.Magnitude(i, 40));
        EXPECT_GT(grid.Magnitude(i, 39), grid.Magnitude(i, 38));
    }
}

TEST(WaveletGridTest, ZeroSignalKeepsThePeakAtTheFirstCell) {
    const WaveletSignal signal = MonoSignal(11025, [](int) { return int16_t{0}; });
    WaveletGrid grid;
    const WaveletGridLayout layout = WaveletLevel0Layout(5e5f, 1e6f);
    ASSERT_TRUE(ComputeWaveletGrid(grid, layout, signal, 5.0f));
    EXPECT_EQ(grid.Max, 0.0f);
    EXPECT_EQ(grid.Min, 0.0f);
    EXPECT_EQ(grid.TPeak, layout.T0);
    EXPECT_EQ(grid.FPeak, layout.F0);
}

TEST(WaveletGridTest, EqualMagnitudesKeepTheFirstCellInScanOrder) {
    // Two equal impulses: the earlier column holds the peak.
    const WaveletSignal signal = MonoSignal(4000, [](int i) { return static_cast<int16_t>(i == 1000 || i == 3000 ? 500 : 0); });
    WaveletGrid grid;
    const WaveletGridLayout layout{1000 * kT, 2000 * kT, 2, -3.3f, 0.1f, 1};
    ASSERT_TRUE(ComputeWaveletGrid(grid, layout, signal, 5.0f));
    EXPECT_EQ(grid.Magnitude(0, 0), grid.Magnitude(1, 0));
    EXPECT_EQ(grid.TPeak, layout.T0);
}

void ExpectLayout(const WaveletGridLayout& got, const WaveletGridLayout& want) {
    EXPECT_FLOAT_EQ(got.T0, want.T0);
    EXPECT_FLOAT_EQ(got.Dt, want.Dt);
    EXPECT_EQ(got.N, want.N);
    EXPECT_FLOAT_EQ(got.F0, want.F0);
    EXPECT_FLOAT_EQ(got.Df, want.Df);
    EXPECT_EQ(got.M, want.M);
}

TEST(WaveletGridTest, DefaultGridHasTheInitialLayoutAndZeroCells) {
    const WaveletGrid grid;
    ExpectLayout(grid, {0.0f, 20.0f, 100, 0.1f, 0.005f, 80});
    ASSERT_EQ(grid.Magnitudes.size(), 8000u);
    EXPECT_EQ(grid.Magnitude(99, 79), 0.0f);
}

// --- Levels -------------------------------------------------------------------------------

TEST(WaveletLevelsTest, LayoutsOfLevel0AndOfTheNextLevels) {
    const WaveletGridLayout l0 = WaveletLevel0Layout(500000.0f, 1e6f);
    ExpectLayout(l0, {0.0f, 2500.0f, 400, -8.5f, 0.065f, 80});
    // Five steps each side of the peak, a fifth of the time step, two fifths of the frequency step.
    const WaveletGridLayout l1 = WaveletNextLayout(l0, 250000.0f, -5.9f);
    ExpectLayout(l1, {237500.0f, 500.0f, 50, -6.225f, 0.026f, 25});
    ExpectLayout(WaveletNextLayout(l1, 240000.0f, -6.0f), {237500.0f, 100.0f, 50, -6.13f, 0.0104f, 25});
    ExpectLayout(WaveletLevel0Layout(5.5e6f, 11e6f), {0.0f, 27500.0f, 400, -8.5f, 0.065f, 80});
    ExpectLayout(WaveletLevel0Layout(0.0f, 2e6f), {-1e6f, 5000.0f, 400, -8.5f, 0.065f, 80});
}

TEST(WaveletLevelsTest, OneGridPerLevelClampedToEight) {
    const auto image = MakeWave(11025, 1, 11025, Tone(8000, -5.9, 11025));
    const WaveletSignal signal = WaveletSignalFromImage(image.data(), image.size());
    struct Case {
        int asked;
        size_t grids;
    } const cases[] = {{1, 1}, {3, 3}, {0, 0}, {-4, 0}, {8, 8}, {9, 8}, {1000, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        const auto grids = ComputeWaveletLevels(signal, {600000.0f, 1.2e6f, c.asked, 5.0f});
        ASSERT_TRUE(grids);
        ASSERT_EQ(grids->size(), c.grids);
        for (size_t k = 1; k < grids->size(); ++k) {
            const WaveletGrid& prev = (*grids)[k - 1];
            const WaveletGrid& g = (*grids)[k];
            ExpectLayout(g, WaveletNextLayout(prev, prev.TPeak, prev.FPeak));
            EXPECT_LT(g.Dt, prev.Dt);
            EXPECT_NE(g.Magnitudes, prev.Magnitudes);
        }
    }
}

TEST(WaveletLevelsTest, ProgressReportsEveryColumnOfEveryLevel) {
    const WaveletSignal signal = MonoSignal(2000, [](int i) { return static_cast<int16_t>(i % 50 * 100); });
    std::vector<std::pair<int, int>> calls;
    const auto grids = ComputeWaveletLevels(signal, {100000.0f, 200000.0f, 2, 5.0f}, [&](int level, int column, int columns) {
        EXPECT_EQ(columns, level == 0 ? 400 : 50);
        calls.emplace_back(level, column);
    });
    ASSERT_TRUE(grids);
    ASSERT_EQ(calls.size(), 450u);
    EXPECT_EQ(calls.front(), std::make_pair(0, 0));
    EXPECT_EQ(calls[399], std::make_pair(0, 399));
    EXPECT_EQ(calls.back(), std::make_pair(1, 49));
}

TEST(WaveletLevelsTest, ACancelFlagStopsAfterTheCurrentColumn) {
    const WaveletSignal signal = MonoSignal(2000, [](int i) { return static_cast<int16_t>(i); });
    std::atomic<bool> cancel{false};
    int columns = 0;
    const auto grids = ComputeWaveletLevels(signal, {100000.0f, 200000.0f, 3, 5.0f}, [&](int, int column, int) {
        ++columns;
        if (column == 9) cancel.store(true);
    }, &cancel);
    EXPECT_FALSE(grids);
    EXPECT_EQ(columns, 10);
}

// --- The analysed sound -------------------------------------------------------------------------

TEST(WaveletSignalTest, ReadsChannelZeroWithThePeriodOfTheRate) {
    struct Case {
        int channels, rate, frames, limit;
        int expectedCount;
        float period;
    } const cases[] = {
        {1, 11025, 100, -1, 100, 90.70295f},
        {1, 11025, 100, 40, 40, 90.70295f},
        {1, 11025, 100, 1000, 100, 90.70295f},  // a sentence's count past the record's own
        {2, 44100, 100, -1, 100, static_cast<float>(1e6 / 44100)},
        {2, 22050, 7, 3, 3, static_cast<float>(1e6 / 22050)},
        {6, 48000, 10, -1, 10, static_cast<float>(1e6 / 48000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz");
        const auto image = MakeWave(c.frames, c.channels, c.rate, [](int i, int ch) { return static_cast<int16_t>(ch == 0 ? i - 50 : 30000); });
        const WaveletSignal s = WaveletSignalFromImage(image.data(), image.size(), c.limit);
        EXPECT_EQ(s.PeriodUs, c.period);
        ASSERT_EQ(s.Count(), c.expectedCount);
        for (int i = 0; i < s.Count(); ++i) EXPECT_EQ(s.Samples[static_cast<size_t>(i)], static_cast<float>(i - 50));
    }
    EXPECT_EQ(kWaveletSamplePeriodUs, static_cast<float>(1e6 / 11025));
}

TEST(WaveletSignalTest, NoValidHeaderGivesAnEmptyMonoSignal) {
    std::vector<uint8_t> zeros(44 + 200, 0);
    const WaveletSignal z = WaveletSignalFromImage(zeros.data(), zeros.size(), 100);
    EXPECT_EQ(z.Count(), 0);
    EXPECT_EQ(z.PeriodUs, kWaveletSamplePeriodUs);
    EXPECT_EQ(WaveletSignalFromImage(nullptr, 0).Count(), 0);
    // A header claiming more data than the image holds (a long sentence's header over a short
    // buffer): what the image holds, and not a byte more.
    struct Case {
        int channels, rate, claimedFrames, limit;
    } const longHeaders[] = {{1, 11025, 100000, 100000}, {1, 11025, 100000, -1}, {2, 44100, 7 * 44100, -1}};
    for (const auto& c : longHeaders) {
        auto image = MakeWave(100, c.channels, c.rate, [](int, int) { return int16_t{7}; });
        WriteWaveHeader(image.data(), static_cast<uint32_t>(44 + 2 * c.channels * c.claimedFrames), c.channels, c.rate);
        const WaveletSignal s = WaveletSignalFromImage(image.data(), image.size(), c.limit);
        ASSERT_EQ(s.Count(), 100);
        EXPECT_EQ(s.Samples.back(), 7.0f);
        EXPECT_TRUE(ComputeWaveletLevels(s, {0.0f, 2e6f, 2, 5.0f}));
    }
    EXPECT_EQ(WaveletSignalFromImage(zeros.data(), 43).Count(), 0);
    // An odd byte at the end of a stereo image is not half a frame.
    auto odd = MakeWave(10, 2, 44100, [](int, int) { return int16_t{1}; });
    WriteWaveHeader(odd.data(), static_cast<uint32_t>(odd.size() - 2), 2, 44100);
    EXPECT_EQ(WaveletSignalFromImage(odd.data(), odd.size()).Count(), 9);
}

TEST(WaveletSignalTest, StereoAt44100FindsTheSameFrequencyAsMonoAt11025) {
    // 436 Hz in both: the stereo sound carries a loud 3 kHz tone on its second channel, which
    // must not show.
    const auto mono = MakeWave(11025, 1, 11025, Tone(1e4, -5.9, 11025));
    const auto tone = Tone(1e4, -5.9, 44100);
    const auto other = Tone(2e4, std::log(2 * std::numbers::pi * 3000 / 1e6), 44100);
    const auto stereo = MakeWave(44100, 2, 44100, [&](int i, int c) { return c == 0 ? tone(i, 0) : other(i, 0); });
    const WaveletRequest request{500000.0f, 1e6f, 1, 5.0f};
    const auto a = ComputeWaveletLevels(WaveletSignalFromImage(mono.data(), mono.size()), request);
    const auto b = ComputeWaveletLevels(WaveletSignalFromImage(stereo.data(), stereo.size()), request);
    ASSERT_TRUE(a && b);
    EXPECT_EQ((*a)[0].FPeak, RowF(39));
    EXPECT_EQ((*b)[0].FPeak, RowF(39));
    // Four times the samples per second: four times the sum, at the same cells.
    EXPECT_NEAR((*b)[0].Magnitude(200, 39) / (*a)[0].Magnitude(200, 39), 4.0, 0.04);
}

// --- Edit texts ---------------------------------------------------------------------------

TEST(WaveletSettingsTest, LevelCountAndRatioFromTheirTexts) {
    struct Case {
        const char* levels;
        const char* ratio;
        bool ok;
        int levelCount;
        float r;
        const char* error;
    } const cases[] = {
        {"1", "5", true, 1, 5.0f, ""},
        {"3", "0.5", true, 3, 0.5f, ""},
        {" 2 ", "100", true, 2, 100.0f, ""},
        {"+4", "1e1", true, 4, 10.0f, ""},
        {"1000", "5", true, 8, 5.0f, ""},
        {"-3", "5", true, 0, 5.0f, ""},
        {"0", "5", true, 0, 5.0f, ""},
        {"x", "5", false, 0, 0, "'x' is not a valid integer value"},
        {"1.5", "5", false, 0, 0, "'1.5' is not a valid integer value"},
        {"", "5", false, 0, 0, "'' is not a valid integer value"},
        {"99999999999", "5", false, 0, 0, "'99999999999' is not a valid integer value"},
        {"x", "y", false, 0, 0, "'x' is not a valid integer value"},
        {"1", "abc", false, 0, 0, "'abc' is not a valid floating point value"},
        {"1", "", false, 0, 0, "'' is not a valid floating point value"},
        {"1", "0", false, 0, 0, "'0' is not a valid floating point value"},
        {"1", "-2", false, 0, 0, "'-2' is not a valid floating point value"},
        {"1", "100.5", false, 0, 0, "'100.5' is not a valid floating point value"},
        {"1", "nan", false, 0, 0, "'nan' is not a valid floating point value"},
        {"1", "inf", false, 0, 0, "'inf' is not a valid floating point value"},
        {"1", "1e-50", false, 0, 0, "'1e-50' is not a valid floating point value"},
        {"1", "5,5", false, 0, 0, "'5,5' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.levels << "' '" << c.ratio << "'");
        const WaveletSettings s = ParseWaveletSettings(c.levels, c.ratio);
        EXPECT_EQ(s.Ok, c.ok);
        EXPECT_EQ(s.Error, c.error);
        if (c.ok) {
            EXPECT_EQ(s.LevelCount, c.levelCount);
            EXPECT_EQ(s.Ratio, c.r);
        }
    }
}

TEST(WaveletSettingsTest, LogMinIsAnInteger) {
    EXPECT_EQ(ParseWaveletLogMin("-5").LogMin, -5);
    EXPECT_TRUE(ParseWaveletLogMin(" -12").Ok);
    EXPECT_EQ(ParseWaveletLogMin("0").LogMin, 0);
    const WaveletLogMin bad = ParseWaveletLogMin("-5.5");
    EXPECT_FALSE(bad.Ok);
    EXPECT_EQ(bad.Error, "'-5.5' is not a valid integer value");
}

// --- Colours --------------------------------------------------------------------------------

TEST(WaveletColorTest, RampSteps) {
    struct Case {
        int k;
        uint32_t colour;
    } const cases[] = {{0, 0x000000}, {100, 0x000064}, {255, 0x0000FF}, {256, 0x000000}, {300, 0x2C2C2C},
                       {511, 0xFFFFFF}, {512, 0x00FF00}, {600, 0x58A700}, {754, 0xF20D00}, {767, 0xFF0000},
                       {768, 0x00FF00}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.k);
        EXPECT_EQ(WaveletRampColor(c.k), c.colour);
        // A ratio whose scaled log lies half a step inside k's band, away from float boundaries.
        for (const float logMin : {-5.0f, -2.0f, -11.0f}) {
            const double ratio = std::exp(logMin * (768.0 - c.k + 0.5) / 768.0);
            if (c.k == 0 || c.k == 768) continue;
            EXPECT_EQ(MagnitudeColor(static_cast<float>(ratio * 3.0), 3.0f, logMin), c.colour) << logMin;
        }
    }
}

TEST(WaveletColorTest, MagnitudeColourEdges) {
    EXPECT_EQ(MagnitudeColor(0.0f, 0.0f, -5.0f), 0u);   // an all-equal grid
    EXPECT_EQ(MagnitudeColor(5.0f, 0.0f, -5.0f), 0u);
    EXPECT_EQ(MagnitudeColor(0.0f, 10.0f, -5.0f), 0u);  // v = 0: below the scale
    EXPECT_EQ(MagnitudeColor(1e-3f, 10.0f, -5.0f), 0u); // ratio 1e-4 < e^-5
    EXPECT_EQ(MagnitudeColor(9.0f, 10.0f, 0.0f), 0u);   // logMin 0 paints black
    EXPECT_EQ(MagnitudeColor(9.0f, 10.0f, 3.0f), 0u);
    EXPECT_EQ(MagnitudeColor(std::numeric_limits<float>::quiet_NaN(), 10.0f, -5.0f), 0u);
    // The cell at Max: v = range / 1.1, k = 754.
    EXPECT_EQ(MagnitudeColor(10.0f, static_cast<float>(10.0 * 1.1), -5.0f), 0xF20D00u);
    // Out of the ramp's range at either end: its ends.
    EXPECT_EQ(MagnitudeColor(20.0f, 10.0f, -5.0f), 0x00FF00u);
    EXPECT_EQ(WaveletRampColor(-3), 0u);
    EXPECT_EQ(WaveletRampColor(5000), 0x00FF00u);
}

}  // namespace
}  // namespace lq
