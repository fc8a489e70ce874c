#include "sound/LoadSoundThread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/BusyWait.h"
#include "core/WriteReports.h"
#include "sound/Log.h"

namespace lq {
namespace {

// Below normal priority: a nice value five above the process's, for this thread only.
void LowerThisThreadsPriority() {
    const pid_t tid = gettid();
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0) nice = 0;
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(19, nice + 5)) != 0)
        qCDebug(lcSound, "Sound thread: cannot lower its priority");
}

}  // namespace

TLoadSound::TLoadSound(ItemWaveBuilder& builder, Database& db) : db_(db), buffers_(builder) {
    try {
        thread_ = std::thread([this] { Execute(); });
        started_ = true;
    } catch (const std::system_error& e) {
        qCWarning(lcSound, "Sound thread: cannot start: %s", e.what());
    }
}

TLoadSound::~TLoadSound() {
    Kill();
    if (thread_.joinable()) thread_.join();
}

void TLoadSound::Execute() {
    LowerThisThreadsPriority();
    std::vector<Event*> events{&makeSoundEvent_, &killEvent_};
    while (!terminated_.load()) {
        const int which = WaitForAny(events, -1);
        if (which < 0) break;  // the wait itself failed: end rather than spin
        if (terminated_.load() || which != 0) continue;
        {
            // The build's reads wait for another program's lock once, together.
            const OperationWait wait(db_);
            buffers_.ServeOneRequest();
        }
        Drain();
    }
}

void TLoadSound::PrepareFirstSounds(int currentItemId, int nextItemId) {
    buffers_.BuildCurrentNow(currentItemId);
    MakeSound(buffers_.PendingSlot(), nextItemId);
}

bool TLoadSound::MakeSound(SoundSlot target, int itemId) {
    if (!buffers_.Request(target, itemId)) return false;
    makeSoundEvent_.Set();
    return true;
}

void TLoadSound::SwapBuffers(int newCurrentItemId, int newNextItemId) {
    const SoundSlot released = buffers_.SwapToPending(newCurrentItemId);
    MakeSound(released, newNextItemId);
}

bool TLoadSound::RetryMissingSound(int currentItemId, int64_t nowMs) {
    if (!buffers_.CurrentMissing(currentItemId)) return false;
    if (lastRetryMs_ && nowMs - *lastRetryMs_ < kMissingRetryEveryMs) return false;
    lastRetryMs_ = nowMs;
    BusyBudget budget(kMissingRetryWaitMs);
    const OperationWait wait(db_, budget);
    const SoundDoubleBuffer::Retry r = buffers_.RebuildCurrentIfMissing(currentItemId);
    if (r == SoundDoubleBuffer::Retry::Rebuilt) {
        qCDebug(lcSound, "Sound of sentence %d: built again", currentItemId);
        lastRetryMs_.reset();
        return true;
    }
    return false;
}

void TLoadSound::QueueAnsweredWord(std::string word) { words_.Push(std::move(word)); }

void TLoadSound::Kill() {
    terminated_.store(true);
    killEvent_.Set();
}

void TLoadSound::Shutdown() {
    Kill();
    if (thread_.joinable()) thread_.join();
    stopped_ = true;
    Drain();
}

void TLoadSound::Drain() {
    SqlResult failure;
    DrainAnsweredWords(words_, db_, &failure);
    if (failure.ok()) return;
    const std::lock_guard<std::mutex> lock(failureMutex_);
    if (!wordCountFailure_) wordCountFailure_ = failure;
}

std::optional<SqlResult> TLoadSound::TakeWordCountFailure() {
    const std::lock_guard<std::mutex> lock(failureMutex_);
    std::optional<SqlResult> failure;
    failure.swap(wordCountFailure_);
    return failure;
}

void ReportWordCountFailure(TLoadSound& sound, LearnState& state) {
    if (const std::optional<SqlResult> failure = sound.TakeWordCountFailure()) ReportAnswersNotSaved(state, *failure);
}

std::vector<std::string> TLoadSound::DiagnosticLines() const {
    const char* state = started_ ? "OK" : "Error";
    return {std::string("Handle 1 - ") + state, std::string("Handle 2 - ") + state};
}

}  // namespace lq
