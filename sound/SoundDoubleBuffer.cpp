#include "sound/SoundDoubleBuffer.h"

#include <utility>

namespace lq {

SoundDoubleBuffer::SoundDoubleBuffer(ItemWaveBuilder& builder) : builder_(builder) {}

SoundSlot SoundDoubleBuffer::CurrentSlot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<SoundSlot>(current_);
}

SoundSlot SoundDoubleBuffer::PendingSlot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<SoundSlot>(1 - current_);
}

const SoundBuffer& SoundDoubleBuffer::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_[current_].buffer;
}

const SoundBuffer& SoundDoubleBuffer::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_[1 - current_].buffer;
}

float SoundDoubleBuffer::CurrentDurationMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_[current_].buffer.DurationMs;
}

std::optional<int> SoundDoubleBuffer::HeldItem(SoundSlot slot) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Slot& s = slots_[Index(slot)];
    return s.building ? std::nullopt : s.held;
}

std::optional<int> SoundDoubleBuffer::MissingItem(SoundSlot slot) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Slot& s = slots_[Index(slot)];
    return s.building ? std::nullopt : s.missing;
}

int SoundDoubleBuffer::BuildLocked(std::unique_lock<std::mutex>& lock, int slot, int itemId) {
    Slot& s = slots_[slot];
    s.building = true;
    s.held.reset();
    s.missing.reset();
    s.buffer.ReadFailed = false;
    lock.unlock();
    const int result = builder_.BuildItemWave(s.buffer, itemId);
    lock.lock();
    s.building = false;
    // A build that could not read its sentence holds no sentence: the swap builds it again, and
    // while it is current RebuildCurrentIfMissing does.
    if (s.buffer.ReadFailed)
        s.missing = itemId;
    else
        s.held = itemId;
    changed_.notify_all();
    return result;
}

int SoundDoubleBuffer::BuildCurrentNow(int itemId) {
    std::unique_lock<std::mutex> lock(mutex_);
    // The current buffer is never built in the background; nobody else writes it.
    return BuildLocked(lock, current_, itemId);
}

int SoundDoubleBuffer::BuildPendingNow(int itemId) {
    std::unique_lock<std::mutex> lock(mutex_);
    const int pending = 1 - current_;
    changed_.wait(lock, [&] { return !slots_[pending].building; });
    slots_[pending].request.reset();
    return BuildLocked(lock, pending, itemId);
}

bool SoundDoubleBuffer::Request(SoundSlot slot, int itemId) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Index(slot) == current_) return false;
    slots_[Index(slot)].request = itemId;
    return true;
}

SoundSlot SoundDoubleBuffer::SwapToPending(int newCurrentItemId) {
    std::unique_lock<std::mutex> lock(mutex_);
    const int pending = 1 - current_;
    Slot& s = slots_[pending];
    // A build of this buffer that runs now finishes first (builds take well under a second).
    if (s.building && swapWaitHook_) swapWaitHook_();
    changed_.wait(lock, [&] { return !s.building; });
    // From here the background leaves this buffer alone: it is about to be current.
    s.request.reset();
    if (s.held != newCurrentItemId) BuildLocked(lock, pending, newCurrentItemId);
    const int released = current_;
    current_ = pending;
    return static_cast<SoundSlot>(released);
}

bool SoundDoubleBuffer::CurrentMissing(int itemId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Slot& s = slots_[current_];
    return !s.building && s.missing == itemId;
}

SoundDoubleBuffer::Retry SoundDoubleBuffer::RebuildCurrentIfMissing(int itemId) {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& s = slots_[current_];
    if (s.building || s.missing != itemId) return Retry::NotNeeded;
    // The builder does one build at a time: waiting for the thread's could take its whole wait
    // for a lock. ServeOneRequest starts none while this one runs.
    if (slots_[1 - current_].building) return Retry::Deferred;
    BuildLocked(lock, current_, itemId);
    return s.held == itemId ? Retry::Rebuilt : Retry::StillMissing;
}

void SoundDoubleBuffer::SetSwapWaitHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    swapWaitHook_ = std::move(hook);
}

bool SoundDoubleBuffer::ServeOneRequest() {
    std::unique_lock<std::mutex> lock(mutex_);
    // A build of the current buffer on the window's thread goes first (it is short).
    changed_.wait(lock, [&] { return !slots_[current_].building; });
    for (int i = 0; i < 2; ++i) {
        Slot& s = slots_[i];
        if (i == current_ || !s.request || s.building) continue;
        const int itemId = *s.request;
        s.request.reset();
        BuildLocked(lock, i, itemId);
        return true;
    }
    return false;
}

}  // namespace lq
