#pragma once
// A sound player for tests: records what is played and lets the test say when a sound ends.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SoundPlayer.h"

namespace lq {

class FakeSoundPlayer final : public SoundPlayer {
public:
    struct PlayCall {
        std::vector<uint8_t> image;
        PlayMode mode;
        bool started;
    };

    bool Play(const uint8_t* image, size_t size, PlayMode mode = PlayMode::NoStop) override {
        const bool started = !(mode == PlayMode::NoStop && playing_) && size > 44;
        calls_.push_back({std::vector<uint8_t>(image, image + size), mode, started});
        if (started) {
            playing_ = true;
            ++started_;
        }
        return started;
    }
    void Stop() override {
        playing_ = false;
        ++stops_;
    }
    bool IsPlaying() const override { return playing_; }

    // The sound that plays ends by itself.
    void Finish() { playing_ = false; }
    const std::vector<PlayCall>& Calls() const { return calls_; }
    int StartedCount() const { return started_; }
    int StopCount() const { return stops_; }

private:
    std::vector<PlayCall> calls_;
    bool playing_ = false;
    int started_ = 0;
    int stops_ = 0;
};

}  // namespace lq
