// The recorder's wavelet analysis:
//   BM_WaveletLevel0  the level-0 grid (400 x 80 cells, R = 5) of a 10-s sentence at 11025 Hz
//                     mono, over the view the recorder opens with (the sound plus one second)
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "recorder/Wavelet.h"
#include "sound/WaveImage.h"

namespace {

// Ten seconds of a voice-like sound: a gliding fundamental with its harmonics, in syllables, over
// a little noise.
std::vector<uint8_t> SentenceImage() {
    const int frames = 10 * 11025;
    const size_t bytes = lq::kWaveHeaderBytes + 2 * static_cast<size_t>(frames);
    std::vector<uint8_t> image(bytes);
    lq::WriteWaveHeader(image.data(), static_cast<uint32_t>(bytes), 1, 11025);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-300.0, 300.0);
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = i / 11025.0;
        phase += 2 * M_PI * (120.0 + 40.0 * std::sin(2 * M_PI * 0.7 * t)) / 11025.0;
        const double syllable = 0.5 + 0.5 * std::sin(2 * M_PI * 3.0 * t);
        double v = 0.0;
        for (int h = 1; h <= 8; ++h) v += std::sin(h * phase) / h;
        const auto s = static_cast<int16_t>(std::lround(6000.0 * syllable * v + noise(random)));
        image[lq::kWaveHeaderBytes + 2 * i] = static_cast<uint8_t>(s);
        image[lq::kWaveHeaderBytes + 2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
    }
    return image;
}

void BM_WaveletLevel0(benchmark::State& state) {
    const auto image = SentenceImage();
    const lq::WaveletSignal signal = lq::WaveletSignalFromImage(image.data(), image.size());
    const float viewWidth = 10e6f + 1e6f;
    const lq::WaveletGridLayout layout = lq::WaveletLevel0Layout(viewWidth * 0.5f, viewWidth);
    lq::WaveletGrid grid;
    for (auto _ : state) {
        lq::ComputeWaveletGrid(grid, layout, signal, 5.0f);
        benchmark::DoNotOptimize(grid.Max);
    }
    state.counters["cells"] = static_cast<double>(grid.N) * grid.M;
}
BENCHMARK(BM_WaveletLevel0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
