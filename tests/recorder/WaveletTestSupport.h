#pragma once
// Sounds for the wavelet tests: WAVE images of exactly their own size (so a read past one is
// caught by the address sanitizer) and the signals made from them.
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "recorder/Wavelet.h"
#include "sound/WaveImage.h"

namespace lq::test {

// An image of `frames` frames whose channel c of frame i is value(i, c).
inline std::vector<uint8_t> MakeWave(int frames, int channels, int rate, const std::function<int16_t(int, int)>& value) {
    const size_t bytes = kWaveHeaderBytes + 2 * static_cast<size_t>(frames) * channels;
    std::vector<uint8_t> image(bytes);
    WriteWaveHeader(image.data(), static_cast<uint32_t>(bytes), channels, rate);
    uint8_t* p = image.data() + kWaveHeaderBytes;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c, p += 2) {
            const uint16_t v = static_cast<uint16_t>(value(i, c));
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(v >> 8);
        }
    return image;
}

inline WaveletSignal MonoSignal(int frames, const std::function<int16_t(int)>& value) {
    const auto image = MakeWave(frames, 1, 11025, [&](int i, int) { return value(i); });
    return WaveletSignalFromImage(image.data(), image.size());
}

// A cos(w0 * i * T) with w0 = e^logW0 rad/us at the given rate.
inline std::function<int16_t(int, int)> Tone(double amplitude, double logW0, int rate) {
    const double w0 = std::exp(logW0), period = 1e6 / rate;
    return [=](int i, int) { return static_cast<int16_t>(std::lround(amplitude * std::cos(w0 * i * period))); };
}

}  // namespace lq::test
