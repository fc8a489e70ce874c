#include "platform/Event.h"

#include <algorithm>

namespace lq {
namespace {

// One thread waiting in WaitForAny: every event it waits on pokes it when set.
struct AnyWaiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool poked = false;
};

using SteadyClock = std::chrono::steady_clock;

SteadyClock::time_point DeadlineAfter(int timeoutMs) {
    return SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

struct Event::Impl {
    Impl(Mode m, bool initiallySet) : mode(m), set(initiallySet) {}

    // Takes the signal if it is there (an auto-reset event clears itself). Caller holds `mutex`.
    bool TakeLocked() {
        if (!set) return false;
        if (mode == Mode::AutoReset) set = false;
        return true;
    }

    const Mode mode;
    bool set;
    mutable std::mutex mutex;
    std::condition_variable cv;
    std::vector<AnyWaiter*> anyWaiters;
};

Event::Event(Mode mode, bool initiallySet) : impl_(std::make_unique<Impl>(mode, initiallySet)) {}

Event::~Event() = default;

void Event::Set() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->set = true;
    // Every waiter re-checks under the event's mutex, so at most one of them takes an
    // auto-reset signal; waking them all keeps a timed-out waiter from swallowing a wake-up.
    impl_->cv.notify_all();
    for (AnyWaiter* w : impl_->anyWaiters) {
        std::lock_guard<std::mutex> wl(w->mutex);
        w->poked = true;
        w->cv.notify_one();
    }
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->set = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->set;
}

bool Event::Wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    const auto ready = [this] { return impl_->set; };
    if (timeoutMs < 0) {
        impl_->cv.wait(lock, ready);
    } else if (!impl_->cv.wait_until(lock, DeadlineAfter(timeoutMs), ready)) {
        return false;
    }
    return impl_->TakeLocked();
}

int WaitForAny(const std::vector<Event*>& events, int timeoutMs) {
    if (events.empty()) return -1;
    const auto deadline = DeadlineAfter(timeoutMs < 0 ? 0 : timeoutMs);

    AnyWaiter waiter;
    for (Event* e : events) {
        std::lock_guard<std::mutex> lock(e->impl_->mutex);
        e->impl_->anyWaiters.push_back(&waiter);
    }

    // The lowest index among the signalled events wins; only that one is consumed.
    const auto takeFirst = [&events]() -> int {
        for (size_t i = 0; i < events.size(); ++i) {
            std::lock_guard<std::mutex> lock(events[i]->impl_->mutex);
            if (events[i]->impl_->TakeLocked()) return static_cast<int>(i);
        }
        return -1;
    };

    int result = -1;
    for (;;) {
        result = takeFirst();
        if (result >= 0) break;
        std::unique_lock<std::mutex> wl(waiter.mutex);
        const auto poked = [&waiter] { return waiter.poked; };
        if (timeoutMs < 0) {
            waiter.cv.wait(wl, poked);
        } else if (!waiter.cv.wait_until(wl, deadline, poked)) {
            wl.unlock();
            result = takeFirst();  // a last look: a signal that came with the time-out still counts
            break;
        }
        waiter.poked = false;
    }

    for (Event* e : events) {
        std::lock_guard<std::mutex> lock(e->impl_->mutex);
        auto& list = e->impl_->anyWaiters;
        const auto it = std::find(list.begin(), list.end(), &waiter);
        if (it != list.end()) list.erase(it);
    }
    return result;
}

}  // namespace lq
