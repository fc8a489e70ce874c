#pragma once
// Kernel-style events: an auto-reset event releases one waiter and clears itself; a manual-reset
// event stays set until Reset. WaitForAny waits on several events at once, like the platform's
// wait for multiple objects (the lowest index among the signalled ones wins).
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace lq {

class Event {
public:
    enum class Mode { AutoReset, ManualReset };
    explicit Event(Mode mode, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event();

    void Set();
    void Reset();
    // Waits until set; false on time-out. A negative timeout waits without limit.
    bool Wait(int timeoutMs = -1);
    bool IsSet() const;

private:
    friend int WaitForAny(const std::vector<Event*>& events, int timeoutMs);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Index of the event that ended the wait (an auto-reset one is consumed), or -1 on time-out.
int WaitForAny(const std::vector<Event*>& events, int timeoutMs = -1);

}  // namespace lq
