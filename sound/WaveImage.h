#pragma once
// The in-memory WAVE image every sentence sound and recording is played as, and the 8 MiB buffer
// that holds one.
//
// Layout (little-endian, T bytes in all):
//   0 "RIFF" | 4 u32 T-8 | 8 "WAVEfmt " | 16 u32 16 | 20 u16 1 (PCM) | 22 u16 channels K
//   24 u32 rate R | 28 u32 R*2*K | 32 u16 2*K | 34 u16 16 | 36 "data" | 40 u32 T-44 | 44 samples
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace lq {

inline constexpr size_t kWaveHeaderBytes = 44;
inline constexpr size_t kSoundBufferBytes = 8388608;

// Writes the 44-byte header of an image of `totalBytes` (T >= 44) bytes.
void WriteWaveHeader(uint8_t* dest, uint32_t totalBytes, int channels, int rate);
// The image with no samples: one channel, 11025 Hz, data length 0.
void WriteEmptyWaveImage(uint8_t* dest);

struct WaveInfo {
    int channels = 0;
    int rate = 0;
    uint32_t dataBytes = 0;  // the data length field
};
// The header's fields when `image` starts with the header this program writes (PCM, 16 bits)
// and its data length fits into `size`; nothing otherwise.
std::optional<WaveInfo> ReadWaveHeader(const uint8_t* image, size_t size);

// One of the two sentence buffers: 8 MiB allocated once, zero at first, and the duration in
// milliseconds of the sentence range its last build asked for.
class SoundBuffer {
public:
    SoundBuffer() : data_(new uint8_t[kSoundBufferBytes]()) {}
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    uint8_t* Data() { return data_.get(); }
    const uint8_t* Data() const { return data_.get(); }
    static constexpr size_t Capacity() { return kSoundBufferBytes; }
    // 44 + the data length when the buffer holds a valid image, else 0 (an all-zero buffer).
    size_t ImageBytes() const;

    float DurationMs = 0.0f;
    // Set by a build that could not read the sentence's rows (the database refused a read, for
    // example while another program holds its lock): the image is a silent stand-in, not the
    // sentence's sound. A sentence or module that is not there is no failure.
    bool ReadFailed = false;

private:
    std::unique_ptr<uint8_t[]> data_;
};

}  // namespace lq
