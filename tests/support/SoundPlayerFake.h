#pragma once
// A sound player for tests: records what is played and lets the test say when a sound ends.
// And an output device for tests of SdlSoundPlayer: it counts its openings and closings and
// holds what is queued until the test drains it.
#include <atomic>
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

class FakeSoundOutput final : public SoundOutput {
public:
    // The counts, shared with the test after the player has taken the device.
    struct Counts {
        std::atomic<int> opens{0}, closes{0}, queues{0};
        std::atomic<bool> open{false};
        std::atomic<uint32_t> queued{0};
        std::atomic<bool> failOpen{false};
        // The device has played everything queued.
        void Drain() { queued = 0; }
    };
    explicit FakeSoundOutput(Counts& counts) : c_(counts) {}

    bool Init() override { return true; }
    bool Open(const SoundFormat&) override {
        if (c_.failOpen) return false;
        ++c_.opens;
        c_.open = true;
        return true;
    }
    bool Queue(const uint8_t*, uint32_t bytes) override {
        ++c_.queues;
        c_.queued += bytes;
        return true;
    }
    void Clear() override { c_.queued = 0; }
    uint32_t QueuedBytes() const override { return c_.queued; }
    void Close() override {
        ++c_.closes;
        c_.open = false;
        c_.queued = 0;
    }
    void Quit() override {}
    std::string Error() const override { return "no device (fake)"; }

private:
    Counts& c_;
};

}  // namespace lq
