#pragma once
// The recorder's wavelet analysis: a Gaussian-windowed complex wavelet evaluated over a grid of
// time and log-frequency, refined level by level around the strongest cell.
//
// Times are microseconds from the first sample; a log-frequency f stands for the angular
// frequency w = e^f radians per microsecond (w * 1e6 / 2pi hertz). The arithmetic is single
// precision where the analysis is defined in floats; every float-to-int conversion truncates
// toward zero and saturates.
//
// Nothing here touches a widget: the window parses its edit texts with ParseWaveletSettings,
// takes the analysed sound with WaveletSignalFromImage, computes the levels (on a worker thread
// through WaveletWorker, or directly with ComputeWaveletLevels) and paints them with
// WaveletPainter.h.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lq {

inline constexpr float kWaveletLogFreqBase = -8.5f;          // top edge of the analysis view (about 32.4 Hz)
inline constexpr float kWaveletLogFreqSpan = 5.2f;           // log-frequency span of level 0 and of the view
inline constexpr float kWaveletSamplePeriodUs = 90.70295f;   // microseconds per sample at 11025 Hz
inline constexpr int kWaveletMaxLevels = 8;                  // deeper levels shrink their steps to nothing
inline constexpr int kWaveletDefaultLevels = 1;
inline constexpr float kWaveletDefaultRatio = 5.0f;
inline constexpr float kWaveletMaxRatio = 100.0f;

struct WaveletComplex {
    float re = 0.0f;
    float im = 0.0f;
};

// The wavelet at time offset tau (us) for log-frequency f and envelope ratio r:
// w = e^f, x = w * tau, env = e^(-x*x/r/r), re = sqrt(w) * env * cos x, im = sqrt(w) * env * sin x.
struct WaveletValue {
    float re = 0.0f;
    float im = 0.0f;
    float env = 0.0f;
};
WaveletValue WaveletSample(float tau, float f, float r);

// The sample indexes [first, last) around time t where the envelope exceeds 0.01, one sample
// wider on each side; not clamped to any sound.
struct WaveletRange {
    int first = 0;
    int last = 0;
};
WaveletRange WaveletSupport(float t, float r, float f, float periodUs = kWaveletSamplePeriodUs);

// The analysed sound: channel 0 of each frame, as floats, and the sample period from the rate.
struct WaveletSignal {
    std::vector<float> Samples;
    float PeriodUs = kWaveletSamplePeriodUs;
    int Count() const { return static_cast<int>(Samples.size()); }
};

// Channel 0 of a WAVE image as this program writes it (sound/WaveImage.h), `bytes` long, with the
// period 1e6 / rate of its header. At most `sampleCount` frames are read (a negative count: every
// frame of the header's data length), and never more than the image's bytes hold, whatever its
// header claims. An image without a valid header (an all-zero buffer) gives an empty 11025 Hz
// signal.
WaveletSignal WaveletSignalFromImage(const uint8_t* image, size_t bytes, int sampleCount = -1);

// The inner product of the signal with the wavelet centred at t, over the support clamped to
// [0, sample count). Evaluated sample by sample exactly as defined (the reference for the grid).
WaveletComplex WaveletInnerProduct(const WaveletSignal& signal, float t, float f, float r);

// Where a grid lies: columns i = 0..N-1 at t = i*Dt + T0, rows j = 0..M-1 at f = j*Df + F0.
struct WaveletGridLayout {
    float T0 = 0.0f;
    float Dt = 20.0f;
    int N = 100;
    float F0 = 0.1f;
    float Df = 0.005f;
    int M = 80;
};

// Level 0 covers the view: 400 columns from its left edge, 80 rows from -8.5 to -3.3.
WaveletGridLayout WaveletLevel0Layout(float viewCentre, float viewWidth);
// The level below `level`, centred on its peak: five of its steps each side, 50 x 25 cells with a
// fifth of its time step and two fifths of its frequency step.
WaveletGridLayout WaveletNextLayout(const WaveletGridLayout& level, float tPeak, float fPeak);

// One computed level: its layout, its magnitudes and extremes, and its peak. A default grid has
// the initial layout and zero magnitudes.
struct WaveletGrid : WaveletGridLayout {
    float Max = 0.0f;
    float Min = 0.0f;
    float TPeak = 0.0f;
    float FPeak = 0.0f;
    std::vector<float> Magnitudes = std::vector<float>(100 * 80, 0.0f);  // cell (i, j) at j*N + i

    float Magnitude(int i, int j) const { return Magnitudes[static_cast<size_t>(j) * N + i]; }
};

// Called after column `column` of level `level` is done (a progress bar's maximum is `columns`,
// its position `column`); on the computing thread.
using WaveletProgress = std::function<void(int level, int column, int columns)>;

// Fills one grid: magnitudes, Max/Min (from cell (0, 0)), and the peak (strictly largest cell in
// scan order, columns outer, rows inner; T0/F0 when no cell exceeds 0). N and M are clamped to
// 0..4096. `cancel`, when given, is read after each column; false when it stopped the computation
// (the grid is then incomplete).
bool ComputeWaveletGrid(WaveletGrid& grid, const WaveletGridLayout& layout, const WaveletSignal& signal, float r,
                        const std::function<void(int column)>& columnDone = {},
                        const std::atomic<bool>* cancel = nullptr);

// What one analysis needs: the time axis when it starts, the level count and R.
struct WaveletRequest {
    float ViewCentre = 100000.0f;
    float ViewWidth = 200000.0f;
    int LevelCount = kWaveletDefaultLevels;  // clamped to 0..kWaveletMaxLevels
    float Ratio = kWaveletDefaultRatio;
};

// All levels, one grid each, each deeper one around the previous one's peak. No grid for a level
// count of 0 or less; nothing when `cancel` was set before the last column.
std::optional<std::vector<WaveletGrid>> ComputeWaveletLevels(const WaveletSignal& signal, const WaveletRequest& request,
                                                             const WaveletProgress& progress = {},
                                                             const std::atomic<bool>* cancel = nullptr);

int ClampWaveletLevelCount(int count);

// The level count and R from their edit texts. On failure, `Error` holds the conversion-error
// message to show, and nothing may be computed: the level count must be an integer (it is then
// clamped to 0..8), R a finite number in (0, 100]. Texts are UTF-8.
struct WaveletSettings {
    bool Ok = false;
    int LevelCount = kWaveletDefaultLevels;
    float Ratio = kWaveletDefaultRatio;
    std::string Error;
};
WaveletSettings ParseWaveletSettings(std::string_view levelText, std::string_view ratioText);

// The lower end of the colour scale from its edit text (an integer); the message otherwise.
struct WaveletLogMin {
    bool Ok = false;
    int LogMin = -5;
    std::string Error;
};
WaveletLogMin ParseWaveletLogMin(std::string_view text);

// Colour step k of the 768-step ramp (k clamped to 0..768), as 0x00BBGGRR: 0-255 dark to full
// red, 256-511 black through grey to white, 512-767 green to blue, 768 green.
uint32_t WaveletRampColor(int k);
// The colour of magnitude v (0 <= v < range) on a log scale whose lower end is logMin:
// black for range 0, for ratios below e^logMin and for logMin >= 0.
uint32_t MagnitudeColor(float v, float range, float logMin);

// Runs ComputeWaveletLevels on a thread of its own so the window stays responsive. The hooks are
// called on that thread: the window passes them on to its own thread (a queued call). The
// destructor cancels and waits, which takes at most one column.
class WaveletWorker {
public:
    using Finished = std::function<void(std::optional<std::vector<WaveletGrid>> grids)>;  // nullopt: cancelled

    WaveletWorker() = default;
    WaveletWorker(const WaveletWorker&) = delete;
    WaveletWorker& operator=(const WaveletWorker&) = delete;
    ~WaveletWorker();

    // False (and nothing started) while an analysis still runs. The signal is the worker's own copy.
    bool Start(WaveletSignal signal, const WaveletRequest& request, WaveletProgress progress, Finished finished);
    void Cancel();  // the running analysis stops after its current column and reports nullopt
    void Wait();    // until the running analysis has called its Finished hook
    bool Busy() const { return busy_.load(); }

private:
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> busy_{false};
};

}  // namespace lq
