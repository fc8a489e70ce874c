#pragma once
// Images and fakes for the recorder tests: sentence sounds in any format, a clock that the test
// moves, reading samples back.
#include <cstdint>
#include <cstring>
#include <vector>

#include "recorder/RecorderModel.h"
#include "sound/WaveImage.h"

namespace lq::test {

class FakeRecorderClock final : public rec::RecorderClock {
public:
    double Seconds() override { return now; }
    void AdvanceMs(double ms) { now += ms / 1000.0; }
    double now = 100.0;
};

// A sentence image of `frames` frames whose channel-0 samples are `value(i)`.
template <typename F>
std::vector<uint8_t> SentenceImage(int rate, int channels, int64_t frames, F value) {
    const size_t data = static_cast<size_t>(frames) * static_cast<size_t>(channels) * 2;
    std::vector<uint8_t> img(kWaveHeaderBytes + data);
    WriteWaveHeader(img.data(), static_cast<uint32_t>(img.size()), channels, rate);
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const int16_t v = c == 0 ? static_cast<int16_t>(value(i)) : static_cast<int16_t>(-1);
            std::memcpy(img.data() + kWaveHeaderBytes + (static_cast<size_t>(i) * static_cast<size_t>(channels) + static_cast<size_t>(c)) * 2, &v, 2);
        }
    return img;
}

inline std::vector<uint8_t> SilentSentence(int rate, int channels, int64_t frames) {
    return SentenceImage(rate, channels, frames, [](int64_t) { return 0; });
}

inline int16_t SampleAt(const std::vector<uint8_t>& image, size_t index) {
    int16_t v = 0;
    std::memcpy(&v, image.data() + kWaveHeaderBytes + index * 2, 2);
    return v;
}

inline uint32_t U32At(const std::vector<uint8_t>& image, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, image.data() + at, 4);
    return v;
}

}  // namespace lq::test
