#include "recorder/WaveData.h"

#include <algorithm>
#include <cstring>

#include "platform/CNumbers.h"
#include "sound/WaveImage.h"

namespace lq::rec {
namespace {

uint32_t Get16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

void SetWaveLengths(uint8_t* image, uint32_t dataBytes) {
    Put32(image + 40, dataBytes);
    Put32(image + 4, dataBytes + static_cast<uint32_t>(kWaveHeaderBytes) - 8);
}

WaveData ReadWaveData(const uint8_t* image, size_t size) {
    WaveData w;
    if (!image || size < kWaveHeaderBytes) return w;
    const int ch = static_cast<int>(Get16(image + 22));
    const uint32_t rate = Get32(image + 24);
    if (ch <= 0 || rate == 0 || rate > 10000000) return w;
    w.samples = image + kWaveHeaderBytes;
    w.channels = ch;
    w.rate = static_cast<int>(rate);
    const int64_t claimed = static_cast<int64_t>(Get32(image + 40) / 2) / ch;
    const int64_t held = static_cast<int64_t>((size - kWaveHeaderBytes) / 2) / ch;
    w.frames = std::min(claimed, held);
    w.usPerSample = 1000000.0f / static_cast<float>(rate);
    return w;
}

std::vector<uint8_t> ExtractSegment(const uint8_t* image, size_t size, float startUs, float endUs) {
    const WaveData w = ReadWaveData(image, size);
    if (!w.HasSound()) return {};
    const int64_t n = w.frames;
    int64_t a = TruncToInt64(startUs / w.usPerSample);
    int64_t b = TruncToInt64(endUs / w.usPerSample);
    a = std::clamp<int64_t>(a, 0, n);
    if (b >= n) b = n - 1;
    if (b <= a) return {};
    const size_t frameBytes = static_cast<size_t>(w.channels) * 2;
    const size_t dataBytes = static_cast<size_t>(b - a) * frameBytes;
    std::vector<uint8_t> out(kWaveHeaderBytes + dataBytes);
    std::memcpy(out.data(), image, kWaveHeaderBytes);
    std::memcpy(out.data() + kWaveHeaderBytes, w.samples + static_cast<size_t>(a) * frameBytes, dataBytes);
    SetWaveLengths(out.data(), static_cast<uint32_t>(dataBytes));
    return out;
}

}  // namespace lq::rec
