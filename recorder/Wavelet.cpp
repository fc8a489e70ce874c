#include "recorder/Wavelet.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/CNumbers.h"
#include "recorder/WaveData.h"
#include "recorder/WaveletKernel.h"

namespace lq {
namespace {

// Half-width in us of the envelope at 0.01: h = sqrt((-r*r/w/w) * ln 0.01) = r * sqrt(ln 100) / w.
float SupportHalfWidth(float w, float r) { return std::sqrt((-r * r / w / w) * std::log(0.01f)); }

// first = trunc(t/T - h/T - 1), last = trunc(t/T + h/T + 1), from t/T and h/T.
WaveletRange SupportFrom(float tOverT, float hOverT) {
    return {TruncToInt(static_cast<double>(tOverT - hOverT) - 1.0), TruncToInt(static_cast<double>(tOverT + hOverT) + 1.0)};
}

WaveletRange ClampedSupport(WaveletRange range, int count) {
    range.first = std::max(range.first, 0);
    range.last = std::min(range.last, count);
    return range;
}

int ClampCells(int n) { return std::clamp(n, 0, 4096); }

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A whole text as a decimal integer: optional blanks around it, an optional sign, digits.
std::optional<int> ParseWholeInt(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsCSpace(text[b])) ++b;
    while (e > b && IsCSpace(text[e - 1])) --e;
    std::string_view s = text.substr(b, e - b);
    size_t i = 0;
    const bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i == s.size()) return std::nullopt;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        v = v * 10 + (s[i] - '0');
        if (v > 2147483648LL) return std::nullopt;
    }
    if (negative) v = -v;
    if (v > 2147483647LL) return std::nullopt;
    return static_cast<int>(v);
}

// The class library's conversion-error messages.
std::string NotAnInteger(std::string_view text) { return "'" + std::string(text) + "' is not a valid integer value"; }
std::string NotAFloat(std::string_view text) { return "'" + std::string(text) + "' is not a valid floating point value"; }

}  // namespace

WaveletValue WaveletSample(float tau, float f, float r) {
    const float w = std::exp(f);
    const float x = w * tau;
    const float env = std::exp(-x * x / r / r);
    const float sw = std::sqrt(w);
    return {sw * (env * std::cos(x)), sw * (env * std::sin(x)), env};
}

WaveletRange WaveletSupport(float t, float r, float f, float periodUs) {
    const float h = SupportHalfWidth(std::exp(f), r);
    return SupportFrom(t / periodUs, h / periodUs);
}

WaveletSignal WaveletSignalFromImage(const uint8_t* image, size_t bytes, int sampleCount) {
    WaveletSignal signal;
    // The frames the header claims, bounded by the image's own bytes.
    const rec::WaveData wave = rec::ReadWaveData(image, bytes);
    if (!wave.HasSound()) return signal;
    signal.PeriodUs = static_cast<float>(1000000.0 / wave.rate);
    int64_t frames = std::min<int64_t>(wave.frames, INT32_MAX);
    if (sampleCount >= 0) frames = std::min<int64_t>(frames, sampleCount);
    signal.Samples.resize(static_cast<size_t>(frames));
    for (int64_t i = 0; i < frames; ++i) signal.Samples[static_cast<size_t>(i)] = static_cast<float>(wave.Sample(i));
    return signal;
}

WaveletComplex WaveletInnerProduct(const WaveletSignal& signal, float t, float f, float r) {
    const WaveletRange range = ClampedSupport(WaveletSupport(t, r, f, signal.PeriodUs), signal.Count());
    WaveletComplex c;
    for (int i = range.first; i < range.last; ++i) {
        const float tau = static_cast<float>(i) * signal.PeriodUs - t;
        const WaveletValue v = WaveletSample(tau, f, r);
        c.re += signal.Samples[static_cast<size_t>(i)] * v.re;
        c.im += signal.Samples[static_cast<size_t>(i)] * v.im;
    }
    return c;
}

WaveletGridLayout WaveletLevel0Layout(float viewCentre, float viewWidth) {
    WaveletGridLayout l;
    l.T0 = static_cast<float>(viewCentre - viewWidth * 0.5);
    l.Dt = static_cast<float>(0.0025 * viewWidth);
    l.N = 400;
    l.F0 = kWaveletLogFreqBase;
    l.Df = static_cast<float>(0.0125 * kWaveletLogFreqSpan);
    l.M = 80;
    return l;
}

WaveletGridLayout WaveletNextLayout(const WaveletGridLayout& level, float tPeak, float fPeak) {
    WaveletGridLayout l;
    l.T0 = static_cast<float>(tPeak - level.Dt * 5.0);
    l.Dt = static_cast<float>(level.Dt * 10.0 * 0.02);
    l.N = 50;
    l.F0 = static_cast<float>(fPeak - level.Df * 5.0);
    l.Df = static_cast<float>(level.Df * 10.0 * 0.04);
    l.M = 25;
    return l;
}

bool ComputeWaveletGrid(WaveletGrid& grid, const WaveletGridLayout& layout, const WaveletSignal& signal, float r,
                        const std::function<void(int column)>& columnDone, const std::atomic<bool>* cancel) {
    static_cast<WaveletGridLayout&>(grid) = layout;
    grid.N = ClampCells(layout.N);
    grid.M = ClampCells(layout.M);
    grid.TPeak = grid.T0;
    grid.FPeak = grid.F0;
    grid.Max = grid.Min = 0.0f;
    grid.Magnitudes.assign(static_cast<size_t>(grid.N) * grid.M, 0.0f);
    float peak = 0.0f;

    // The row constants: w, sqrt(w) and the support's half-width in samples.
    const float period = signal.PeriodUs;
    std::vector<WaveletRow> rows(static_cast<size_t>(grid.M));
    for (int j = 0; j < grid.M; ++j) {
        WaveletRow& row = rows[static_cast<size_t>(j)];
        row.f = static_cast<float>(j) * grid.Df + grid.F0;
        row.w = std::exp(row.f);
        row.sqrtW = std::sqrt(row.w);
        row.hOverT = SupportHalfWidth(row.w, r) / period;
    }

    for (int i = 0; i < grid.N; ++i) {
        const float t = static_cast<float>(i) * grid.Dt + grid.T0;
        const float tOverT = t / period;
        for (int j = 0; j < grid.M; ++j) {
            const WaveletRow& row = rows[static_cast<size_t>(j)];
            const WaveletRange range = ClampedSupport(SupportFrom(tOverT, row.hOverT), signal.Count());
            const WaveletComplex c = WaveletKernel(signal.Samples.data(), range.first, range.last, t, period, row, r);
            const float mag = std::sqrt(c.re * c.re + c.im * c.im);
            grid.Magnitudes[static_cast<size_t>(j) * grid.N + i] = mag;
            if (i == 0 && j == 0) {
                grid.Max = grid.Min = mag;
            } else {
                if (mag > grid.Max) grid.Max = mag;
                if (mag < grid.Min) grid.Min = mag;
            }
            if (mag > peak) {
                peak = mag;
                grid.TPeak = t;
                grid.FPeak = row.f;
            }
        }
        if (columnDone) columnDone(i);
        if (cancel && cancel->load(std::memory_order_relaxed)) return false;
    }
    return true;
}

int ClampWaveletLevelCount(int count) { return std::clamp(count, 0, kWaveletMaxLevels); }

std::optional<std::vector<WaveletGrid>> ComputeWaveletLevels(const WaveletSignal& signal, const WaveletRequest& request,
                                                             const WaveletProgress& progress,
                                                             const std::atomic<bool>* cancel) {
    const int levels = ClampWaveletLevelCount(request.LevelCount);
    std::vector<WaveletGrid> grids(static_cast<size_t>(levels));
    WaveletGridLayout layout = WaveletLevel0Layout(request.ViewCentre, request.ViewWidth);
    for (int k = 0; k < levels; ++k) {
        WaveletGrid& grid = grids[static_cast<size_t>(k)];
        std::function<void(int)> columnDone;
        if (progress) columnDone = [&progress, k, &grid](int column) { progress(k, column, grid.N); };
        if (!ComputeWaveletGrid(grid, layout, signal, request.Ratio, columnDone, cancel)) return std::nullopt;
        layout = WaveletNextLayout(layout, grid.TPeak, grid.FPeak);
    }
    return grids;
}

WaveletSettings ParseWaveletSettings(std::string_view levelText, std::string_view ratioText) {
    WaveletSettings s;
    const auto levels = ParseWholeInt(levelText);
    if (!levels) {
        s.Error = NotAnInteger(levelText);
        return s;
    }
    double ratio = 0.0;
    const float r = ParseDecimal(ratioText, ratio) ? static_cast<float>(ratio) : 0.0f;
    if (!std::isfinite(r) || !(r > 0.0f) || r > kWaveletMaxRatio) {
        s.Error = NotAFloat(ratioText);
        return s;
    }
    s.Ok = true;
    s.LevelCount = ClampWaveletLevelCount(*levels);
    s.Ratio = r;
    return s;
}

WaveletLogMin ParseWaveletLogMin(std::string_view text) {
    WaveletLogMin l;
    const auto v = ParseWholeInt(text);
    if (!v) {
        l.Error = NotAnInteger(text);
        return l;
    }
    l.Ok = true;
    l.LogMin = *v;
    return l;
}

uint32_t WaveletRampColor(int k) {
    k = std::clamp(k, 0, 768);
    if (k < 256) return static_cast<uint32_t>(k);
    if (k < 512) {
        const uint32_t g = static_cast<uint32_t>(k - 256);
        return g | g << 8 | g << 16;
    }
    if (k < 768) {
        const uint32_t b = static_cast<uint32_t>(k - 512);
        return b << 16 | (255 - b) << 8;
    }
    return 0x00FF00;
}

uint32_t MagnitudeColor(float v, float range, float logMin) {
    if (range == 0.0f) return 0;
    float r = v / range;
    r = r > 0.0f ? std::log(r) : logMin - 1.0f;
    const int k = r < logMin ? 0 : TruncToInt(-768 * r / logMin) + 768;
    return WaveletRampColor(k);
}

WaveletWorker::~WaveletWorker() {
    Cancel();
    Wait();
}

bool WaveletWorker::Start(WaveletSignal signal, const WaveletRequest& request, WaveletProgress progress,
                          Finished finished) {
    if (busy_.load()) return false;
    if (thread_.joinable()) thread_.join();
    cancel_.store(false);
    busy_.store(true);
    thread_ = std::thread([this, signal = std::move(signal), request, progress = std::move(progress),
                           finished = std::move(finished)]() {
        auto grids = ComputeWaveletLevels(signal, request, progress, &cancel_);
        // Not busy before the hook: a Start that the hook's queued call makes on the window's
        // thread then waits only for the hook itself to return.
        busy_.store(false);
        if (finished) finished(std::move(grids));
    });
    return true;
}

void WaveletWorker::Cancel() { cancel_.store(true); }

void WaveletWorker::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace lq
