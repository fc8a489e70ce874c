#pragma once
// Turns one sentence (a row of items2) into a WAVE image in a SoundBuffer: looks up its module
// and positions, widens the range by AddTimeSnd seconds on both sides, decodes it from the
// module's MP3 file, scales it to a peak of 30000, fades its ends and writes the header.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/CurrentRow.h"
#include "core/Database.h"
#include "sound/WaveImage.h"

namespace lq {

// The sound unit's own row store: the same fields and reading rules as the user-interface
// thread's (StoreCurrentRow; a NULL column leaves its field as it is), in an instance of its own.
using SoundRow = CurrentRow;

// Anything that can build a sentence's image into a buffer (the sound thread takes this, so that
// tests can give it a builder of their own). Implementations let one build run at a time.
class ItemWaveBuilder {
public:
    virtual ~ItemWaveBuilder() = default;
    // Fills `dest` with the image of sentence `itemId` and sets dest.DurationMs; returns 5.
    virtual int BuildItemWave(SoundBuffer& dest, int itemId) = 0;
};

// The range arithmetic and the level rules, on their own for the tests.
namespace wave {
struct Range {
    int start = 0;  // samples of 1/11025 s
    int end = 0;
    float durationMs = 0.0f;
};
// start = max(0, trunc(b - 11025 * add)), end = trunc(e + 11025 * add) clamped to [0, INT_MAX],
// duration = (end - start) / 11025 * 1000 ms, 0 when the end lies before the start.
Range WidenRange(int b, int e, float addTimeSnd);
// Fade length in sample values for rate R, K channels, add seconds of extra time and N values.
int FadeLength(int rate, int channels, float addTimeSnd, int valueCount);
// Scales the N signed 16-bit values (machine byte order) at `samples` to a peak of 30000 and
// fades both ends, in place.
void ScaleAndFade(uint8_t* samples, int valueCount, int rate, int channels, float addTimeSnd);
}  // namespace wave

class SoundBuilder final : public ItemWaveBuilder {
public:
    // `db`: the shared connection; `addTimeSnd`: the setting, read once per build;
    // `programDir`: the folder that holds "Data".
    SoundBuilder(const Database& db, const std::atomic<float>& addTimeSnd, std::string programDir);

    int BuildItemWave(SoundBuffer& dest, int itemId) override;

private:
    const Database& db_;
    const std::atomic<float>& addTimeSnd_;
    std::string programDir_;
    std::mutex buildMutex_;  // one build at a time, whichever thread asks
};

}  // namespace lq
