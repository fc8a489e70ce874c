#pragma once
// Reading a WAVE image the way the recorder reads one: channel count, rate and sample frames
// from its header, bounded by the bytes the image really holds, and the segment of it that a
// play of two markers sends to the player.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lq::rec {

inline constexpr int kRecordRate = 11025;

struct WaveData {
    const uint8_t* samples = nullptr;  // the sample area (after the 44-byte header)
    int channels = 0;                  // 0: the header holds no sound (all zeros)
    int rate = 0;
    int64_t frames = 0;                // (data length / 2) / channels, bounded by the image's bytes
    float usPerSample = 0.0f;          // 1000000 / rate as a float; 0 without a sound

    bool HasSound() const { return channels > 0 && rate > 0; }
    // Channel 0 of frame i (no bounds check).
    int16_t Sample(int64_t i) const {
        int16_t v = 0;
        std::memcpy(&v, samples + static_cast<size_t>(i) * static_cast<size_t>(channels) * 2, 2);
        return v;
    }
};

// The header's fields of `image` (`size` bytes in all). A header without channels or rate
// gives an empty WaveData; one that claims more data than `size` holds is cut to `size`.
WaveData ReadWaveData(const uint8_t* image, size_t size);

// Sets the data length field to `dataBytes` and the RIFF length to match; the other fields stay.
void SetWaveLengths(uint8_t* image, uint32_t dataBytes);

// The image that plays frames [a, b) of `image` between two times in microseconds:
// a = trunc(startUs / usPerSample) (at least 0), b = trunc(endUs / usPerSample), at most n - 1
// (the last frame is never played). Empty when b <= a or the image holds no sound.
std::vector<uint8_t> ExtractSegment(const uint8_t* image, size_t size, float startUs, float endUs);

}  // namespace lq::rec
