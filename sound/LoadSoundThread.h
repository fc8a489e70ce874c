#pragma once
// The sound thread: builds the following sentence's sound into the pending buffer while the
// learner works, then counts the typed answers in wrdstt. It runs below normal priority, waits
// on the events "MakeSound" (auto-reset) and "KillMe" (manual-reset), and never touches a window.
//
// Use from the main window (all on the user-interface thread):
//   start-up:   TLoadSound sound(builder, db);   // the thread starts here
//               if (ItemCount != 0) sound.PrepareFirstSounds(CurrentItemId, NextItemId);
//   each step:  sound.QueueAnsweredWord(word) ... ; after the new NextItemId is chosen:
//               sound.SwapBuffers(CurrentItemId /* the new one */, NextItemId);
//   playing:    sound.CurrentSoundBuffer(), sound.CurrentSoundDuration()
//   timer tick: ReportWordCountFailure(sound, state);  // tells the learner of a failed count
//               sound.RetryMissingSound(CurrentItemId, nowMs);  // a sound a lock kept out
//   shut-down:  sound.Shutdown();  then the database may be closed.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "sound/AnsweredWords.h"
#include "sound/SoundBuilder.h"
#include "sound/SoundDoubleBuffer.h"

namespace lq {

class TLoadSound {
public:
    // Starts the thread. `db` is the shared connection the drain writes to.
    TLoadSound(ItemWaveBuilder& builder, Database& db);
    // Kill and join (without draining: call Shutdown while the database is open).
    ~TLoadSound();
    TLoadSound(const TLoadSound&) = delete;
    TLoadSound& operator=(const TLoadSound&) = delete;

    // Start-up: builds `currentItemId` into A (current) on this thread, then asks the thread
    // to build `nextItemId` into B.
    void PrepareFirstSounds(int currentItemId, int nextItemId);
    // Asks the thread to build `itemId` into `target` (which must not be the current buffer;
    // false then). Several requests before the thread wakes give one build per buffer, the latest.
    bool MakeSound(SoundSlot target, int itemId);
    // The learning step: the pending buffer (holding `newCurrentItemId`'s sound; built at once if
    // it does not) becomes current, and the released one is asked for `newNextItemId`.
    void SwapBuffers(int newCurrentItemId, int newNextItemId);

    const SoundBuffer& CurrentSoundBuffer() const { return buffers_.Current(); }
    float CurrentSoundDuration() const { return buffers_.CurrentDurationMs(); }
    SoundSlot CurrentSlot() const { return buffers_.CurrentSlot(); }
    const SoundBuffer& PendingSoundBuffer() const { return buffers_.Pending(); }

    // The sound check: rebuild the shown sentence into the current buffer ("Sound 1"), or the
    // following one into the pending buffer ("Sound 2"), on this thread. Return the builder's 5.
    int RebuildCurrent(int currentItemId) { return buffers_.BuildCurrentNow(currentItemId); }
    int RebuildPending(int nextItemId) { return buffers_.BuildPendingNow(nextItemId); }

    // The timer's tick, before it plays: while the current sentence's sound is missing because
    // its build could not read the database (another program held the lock), builds it again,
    // at most every kMissingRetryEveryMs and waiting at most kMissingRetryWaitMs for a lock, so
    // the window is never held long. True when the sound is there now (play it at once).
    static constexpr int64_t kMissingRetryEveryMs = 3000;
    static constexpr int kMissingRetryWaitMs = 100;
    bool RetryMissingSound(int currentItemId, int64_t nowMs);

    // A typed answer's normalised word, counted after the next build (dropped when 100 wait).
    void QueueAnsweredWord(std::string word);

    // Tells the thread to end after what it is doing; does not wait.
    void Kill();
    // Kill, wait for the thread, then apply the words still queued on this thread. After it
    // returns nothing of the engine uses the connection any more. Safe to call twice.
    void Shutdown();

    // The first word count that could not be stored since the last call (the thread never
    // shows anything itself); empty when every count was stored.
    std::optional<SqlResult> TakeWordCountFailure();

    // "Handle 1 - OK" / "Handle 2 - OK", or "... - Error" when the thread did not start.
    std::vector<std::string> DiagnosticLines() const;
    bool Running() const { return started_ && !stopped_; }

    SoundDoubleBuffer& Buffers() { return buffers_; }
    AnsweredWordQueue& Words() { return words_; }

private:
    void Execute();
    // Drains the queue; a failed count is kept for TakeWordCountFailure.
    void Drain();

    Database& db_;
    SoundDoubleBuffer buffers_;
    AnsweredWordQueue words_;
    Event makeSoundEvent_{Event::Mode::AutoReset};  // "MakeSound_04_12_23"
    Event killEvent_{Event::Mode::ManualReset};     // "KillMePls_04_12_23"
    std::atomic<bool> terminated_{false};
    std::mutex failureMutex_;
    std::optional<SqlResult> wordCountFailure_;  // guarded by failureMutex_
    std::optional<int64_t> lastRetryMs_;  // the window's thread only
    bool started_ = false;
    bool stopped_ = false;
    std::thread thread_;
};

struct LearnState;

// On the window's thread: a word count the sound thread could not store is told to the learner
// as a step that could not be stored (once per run, ReportAnswersNotSaved).
void ReportWordCountFailure(TLoadSound& sound, LearnState& state);

}  // namespace lq
