// The recorder's waveform views:
//   BM_DrawWave  one redraw of both views (each 734 x 150 pixels) at the zoom the window opens
//                with: a 60-s sentence above, a 60-s recording below (11025 Hz mono)
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "recorder/DrawWave.h"
#include "sound/WaveImage.h"

namespace {

std::vector<uint8_t> Sound(int frames, double hz, int amplitude) {
    std::vector<uint8_t> image(lq::kWaveHeaderBytes + 2 * static_cast<size_t>(frames));
    lq::WriteWaveHeader(image.data(), static_cast<uint32_t>(image.size()), 1, 11025);
    for (int i = 0; i < frames; ++i) {
        const double env = 0.5 + 0.5 * std::sin(2 * M_PI * 2.0 * i / 11025.0);
        const auto v = static_cast<int16_t>(amplitude * env * std::sin(2 * M_PI * hz * i / 11025.0));
        std::memcpy(image.data() + lq::kWaveHeaderBytes + 2 * static_cast<size_t>(i), &v, 2);
    }
    return image;
}

// The markers' texts need a GUI application's fonts; offscreen unless a platform is set.
void EnsureGuiApplication() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_recorder";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

void BM_DrawWave(benchmark::State& state) {
    EnsureGuiApplication();
    const int frames = 60 * 11025;
    const auto sentence = Sound(frames, 180.0, 12000);
    const auto record = Sound(frames, 220.0, 9000);
    // The axis FormShow sets: the whole sound plus one second; markers at the sound's ends.
    const float usPerSample = 1000000.0f / 11025.0f;
    const float width = static_cast<float>(frames) * usPerSample + 1000000.0f;
    const lq::rec::TimeAxis axis{width * 0.5f, width};
    const float markerEnd = static_cast<float>(frames) * usPerSample;
    QImage orig(734, 150, QImage::Format_RGB32);
    QImage rcrd(734, 150, QImage::Format_RGB32);
    const QColor origColour = lq::rec::ColourFromBgr(lq::rec::kOrigWaveColour);
    const QColor rcrdColour = lq::rec::ColourFromBgr(lq::rec::kRecordWaveColour);
    for (auto _ : state) {
        lq::rec::DrawWave(orig, sentence.data(), sentence.size(), origColour, 0.0f, markerEnd, axis);
        lq::rec::DrawWave(rcrd, record.data(), record.size(), rcrdColour, 0.0f, markerEnd, axis);
        benchmark::DoNotOptimize(orig.constBits());
        benchmark::DoNotOptimize(rcrd.constBits());
    }
}
BENCHMARK(BM_DrawWave)->Unit(benchmark::kMillisecond);

}  // namespace
