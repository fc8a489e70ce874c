#pragma once
// The two sentence buffers A and B: one is current (played, recorded against), the other is
// pending (filled in the background with the following sentence). The current buffer is never
// written by a background build, and a buffer becomes current only when it holds the sound of
// the sentence that becomes current.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"

namespace lq {

enum class SoundSlot { A = 0, B = 1 };

class SoundDoubleBuffer {
public:
    explicit SoundDoubleBuffer(ItemWaveBuilder& builder);
    SoundDoubleBuffer(const SoundDoubleBuffer&) = delete;
    SoundDoubleBuffer& operator=(const SoundDoubleBuffer&) = delete;

    // --- the user-interface thread ---
    SoundSlot CurrentSlot() const;
    SoundSlot PendingSlot() const;
    // Read only on the user-interface thread; no background build writes the current buffer.
    const SoundBuffer& Current() const;
    const SoundBuffer& Pending() const;  // meaningful right after BuildPendingNow
    float CurrentDurationMs() const;

    // Builds `itemId` into the current buffer now, on the calling thread (start-up, "Sound 1").
    int BuildCurrentNow(int itemId);
    // Builds `itemId` into the pending buffer now (waits for a background build of it first;
    // cancels a request for it that the background has not started) ("Sound 2").
    int BuildPendingNow(int itemId);
    // Records a request to build `itemId` into `slot`; the latest request for a slot wins. False
    // (and nothing recorded) when `slot` is current.
    bool Request(SoundSlot slot, int itemId);
    // Makes the pending buffer current. It waits for a background build of that buffer to end,
    // and builds `newCurrentItemId` into it at once when it does not hold that sentence's sound.
    // Returns the slot just released (now pending).
    SoundSlot SwapToPending(int newCurrentItemId);
    // While the current buffer's last build, of `itemId`, could not read the sentence (its image
    // is a silent stand-in), builds it again now on this thread, unless the sound thread is
    // building: the caller never waits for that build. Says what happened.
    enum class Retry { NotNeeded, Deferred, Rebuilt, StillMissing };
    Retry RebuildCurrentIfMissing(int itemId);
    // Whether the current buffer's last build of `itemId` could not read it.
    bool CurrentMissing(int itemId) const;
    // Called on the swapping thread, with the buffers locked, when a swap starts waiting for the
    // background build of the buffer it makes current (a test's handshake; empty by default).
    void SetSwapWaitHook(std::function<void()> hook);

    // --- the sound thread ---
    // Serves one recorded request: builds it into its slot. False when there was none.
    bool ServeOneRequest();

    // The sentence whose sound `slot` holds completely, or nothing (for diagnostics and tests).
    std::optional<int> HeldItem(SoundSlot slot) const;
    // The sentence whose last build in `slot` could not read it, or nothing.
    std::optional<int> MissingItem(SoundSlot slot) const;

private:
    struct Slot {
        SoundBuffer buffer;
        std::optional<int> held;     // sentence whose sound the buffer holds completely
        std::optional<int> missing;  // sentence whose last build here could not read it
        std::optional<int> request;  // sentence asked for and not yet started
        bool building = false;
    };
    static int Index(SoundSlot s) { return static_cast<int>(s); }
    // Builds with the lock released; `lock` is held on entry and on return.
    int BuildLocked(std::unique_lock<std::mutex>& lock, int slot, int itemId);

    ItemWaveBuilder& builder_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Slot slots_[2];
    int current_ = 0;
    std::function<void()> swapWaitHook_;
};

}  // namespace lq
