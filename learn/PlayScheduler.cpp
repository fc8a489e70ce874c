#include "learn/PlayScheduler.h"

#include <chrono>

namespace lq {

bool PlayScheduler::Due(int64_t now, uint32_t playDelay, float durationMs) const {
    if (!lastPlay_) return true;
    const double elapsed = static_cast<double>(now - *lastPlay_);
    const double threshold = static_cast<double>(static_cast<int32_t>(playDelay)) + static_cast<double>(durationMs);
    return elapsed > threshold;
}

bool PlayScheduler::Tick(bool learnPageVisible, bool soundOn, uint32_t playDelay, float durationMs,
                         const std::function<int64_t()>& nowMs, const std::function<void()>& play) {
    if (!learnPageVisible || !soundOn) return false;
    if (!Due(nowMs(), playDelay, durationMs)) return false;
    if (play) play();
    lastPlay_ = nowMs();
    return true;
}

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace lq
