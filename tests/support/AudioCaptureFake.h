#pragma once
// A capture device for tests: scripted chunks that "arrive" when the test says so, and
// injectable results for Open, Start and Close. No device, no thread, no sleeping.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/AudioCapture.h"

namespace lq {

class FakeAudioCapture final : public AudioCapture {
public:
    CaptureResult Open(int rate) override {
        ++opens;
        if (open_) return CaptureResult::Allocated;
        if (openResult != CaptureResult::Ok) return openResult;
        open_ = true;
        openedRate = rate;
        return CaptureResult::Ok;
    }
    CaptureResult Start() override {
        ++starts;
        if (!open_) return CaptureResult::InvalHandle;
        if (startResult != CaptureResult::Ok) return startResult;
        running_ = true;
        return CaptureResult::Ok;
    }
    void Stop() override {
        ++stops;
        running_ = false;
    }
    size_t Read(uint8_t* dest, size_t max) override {
        const size_t n = std::min(max, arrived_.size());
        std::copy_n(arrived_.begin(), n, dest);
        arrived_.erase(arrived_.begin(), arrived_.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    CaptureResult Close() override {
        ++closes;
        if (!open_) return CaptureResult::InvalHandle;
        open_ = false;
        running_ = false;
        arrived_.clear();
        return closeResult;
    }
    bool IsOpen() const override { return open_; }

    // The device delivers `bytes` (only while it runs, as a real one would).
    void Deliver(const std::vector<uint8_t>& bytes) {
        if (running_) arrived_.insert(arrived_.end(), bytes.begin(), bytes.end());
    }
    // A ramp of 16-bit samples first, first + 1, ...
    static std::vector<uint8_t> Ramp(int first, int count) {
        std::vector<uint8_t> out;
        out.reserve(static_cast<size_t>(count) * 2);
        for (int i = 0; i < count; ++i) {
            const auto v = static_cast<uint16_t>(static_cast<int16_t>(first + i));
            out.push_back(static_cast<uint8_t>(v & 0xFF));
            out.push_back(static_cast<uint8_t>(v >> 8));
        }
        return out;
    }

    CaptureResult openResult = CaptureResult::Ok;
    CaptureResult startResult = CaptureResult::Ok;
    CaptureResult closeResult = CaptureResult::Ok;
    int opens = 0, starts = 0, stops = 0, closes = 0;
    int openedRate = 0;

private:
    bool open_ = false;
    bool running_ = false;
    std::deque<uint8_t> arrived_;
};

}  // namespace lq
