#pragma once
// When the timer plays the current sentence: while the Learn page is shown and sound is on, once
// more than the play delay plus the sound's duration has passed since the last play; at once
// after a reset (start-up, each learning step). The time of a play is kept even when the player
// refused it, so the next try waits a whole delay and duration.
#include <cstdint>
#include <functional>
#include <optional>

namespace lq {

class PlayScheduler {
public:
    // The timer's tick. `playDelay` is the setting as stored (a negative number read from the
    // settings file wraps to a large unsigned value; it counts as the negative delay it was).
    // `nowMs` is a monotonic millisecond clock, read before and after the play; `play` plays the
    // current buffer. True when it tried to play.
    bool Tick(bool learnPageVisible, bool soundOn, uint32_t playDelay, float durationMs,
              const std::function<int64_t()>& nowMs, const std::function<void()>& play);

    // Whether a tick at `now` plays.
    bool Due(int64_t now, uint32_t playDelay, float durationMs) const;

    // The next tick plays (the learning step's "last play = 0").
    void Reset() { lastPlay_.reset(); }
    std::optional<int64_t> LastPlay() const { return lastPlay_; }

private:
    std::optional<int64_t> lastPlay_;
};

// A monotonic millisecond clock (steady_clock).
int64_t MonotonicMs();

}  // namespace lq
