#include "sound/WaveImage.h"

#include <cstring>

namespace lq {
namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
uint32_t Get16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

}  // namespace

void WriteWaveHeader(uint8_t* dest, uint32_t totalBytes, int channels, int rate) {
    const uint32_t k = static_cast<uint32_t>(channels);
    const uint32_t r = static_cast<uint32_t>(rate);
    std::memcpy(dest, "RIFF", 4);
    Put32(dest + 4, totalBytes - 8);
    std::memcpy(dest + 8, "WAVEfmt ", 8);
    Put32(dest + 16, 16);
    Put16(dest + 20, 1);
    Put16(dest + 22, k);
    Put32(dest + 24, r);
    Put32(dest + 28, r * 2 * k);
    Put16(dest + 32, 2 * k);
    Put16(dest + 34, 16);
    std::memcpy(dest + 36, "data", 4);
    Put32(dest + 40, totalBytes - 44);
}

void WriteEmptyWaveImage(uint8_t* dest) { WriteWaveHeader(dest, kWaveHeaderBytes, 1, 11025); }

std::optional<WaveInfo> ReadWaveHeader(const uint8_t* image, size_t size) {
    if (!image || size < kWaveHeaderBytes) return std::nullopt;
    if (std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVEfmt ", 8) != 0 ||
        std::memcmp(image + 36, "data", 4) != 0)
        return std::nullopt;
    if (Get32(image + 16) != 16 || Get16(image + 20) != 1 || Get16(image + 34) != 16) return std::nullopt;
    WaveInfo info;
    info.channels = static_cast<int>(Get16(image + 22));
    info.rate = static_cast<int>(Get32(image + 24));
    info.dataBytes = Get32(image + 40);
    if (info.channels < 1 || info.rate < 1 || info.dataBytes > size - kWaveHeaderBytes) return std::nullopt;
    return info;
}

size_t SoundBuffer::ImageBytes() const {
    const auto info = ReadWaveHeader(data_.get(), kSoundBufferBytes);
    return info ? kWaveHeaderBytes + info->dataBytes : 0;
}

}  // namespace lq
