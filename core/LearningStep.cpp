#include "core/LearningStep.h"

#include <vector>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/Random.h"
#include "core/SentenceBoard.h"
#include "core/Settings.h"
#include "core/Transaction.h"
#include "core/WriteReports.h"
#include "platform/CNumbers.h"
#include "platform/DateTime.h"
#include "platform/Tick.h"

namespace lq {
namespace {

// After the step could not begin its transaction (another program holds the lock), the rest of
// the step does not wait for that lock again: its reads fail at once instead.
class NoBusyWait {
public:
    NoBusyWait(const Database& db, bool active) : db_(db), waited_(db.BusyTimeout()), active_(active) {
        if (active_) db_.SetBusyTimeout(0);
    }
    ~NoBusyWait() {
        if (active_) db_.SetBusyTimeout(waited_);
    }
    NoBusyWait(const NoBusyWait&) = delete;
    NoBusyWait& operator=(const NoBusyWait&) = delete;

private:
    const Database& db_;
    int waited_;
    bool active_;
};

}  // namespace

LearningStep::LearningStep(const AppContext& ctx, SentenceBoard& board, LearningStepHooks& hooks,
                           std::function<uint32_t()> tickMs)
    : ctx_(ctx), board_(board), hooks_(hooks), tickMs_(tickMs ? std::move(tickMs) : std::function<uint32_t()>(TickCountMs)) {}

ScheduleResult LearningStep::Run() {
    Database& db = *ctx_.db;
    CurrentRow& row = *ctx_.row;
    LearnState& state = *ctx_.state;
    const CommonSettings& settings = *ctx_.settings;
    const bool debugMode = ctx_.env && ctx_.env->DebugMode;

    const uint32_t startTick = tickMs_();
    const DateTime now = ctx_.clock->Now();
    state.LastNextTime = now;
    ++state.RunAnswerCount;
    hooks_.ShowAnswerCount(state.RunAnswerCount);
    hooks_.StopSound();

    ScheduleInput in;
    in.itemId = state.CurrentItemId;
    in.itemCount = state.ItemCount;
    in.inputAfterFloat = settings.InputAfterFloat;
    in.scheduleExponent = settings.ScheduleExponent;
    in.now = now;
    in.nowText = DateText(now);
    in.success = state.SentenceSolved && !state.AnswerShown;
    state.NowText = in.nowText;

    // The step's writes are stored together or not at all: when the transaction cannot begin,
    // none of them runs; after the first failed statement (or the engine's own rollback) the
    // later writes do not run either, and nothing is committed. The learner goes on to the next
    // sentence either way. A caller's open transaction is joined.
    Transaction transaction(db);
    const SqlResult begun = transaction.BeginOrJoin(Transaction::Mode::Immediate);
    const NoBusyWait noWait(db, !begun.ok());
    const int historyCount = state.AnswerHistoryCount;
    std::vector<std::string> typedWords;  // handed to the sound thread once the step is stored
    ScheduleResult result;
    if (begun.ok())
        result = RescheduleAnsweredItem(db, row, *ctx_.rng, in, board_,
                                        [&typedWords](const std::string& word) { typedWords.push_back(word); });
    if (debugMode && result.found && result.success) {
        state.DebugLines[0] = state.DebugLines[1];
        state.DebugLines[1] = state.DebugLines[2];
        state.DebugLines[2] = std::to_string(result.place) + " " + std::to_string(result.irng_2);
    }

    state.CurrentItemId = state.NextItemId;
    state.NextItemId = SelectNextItem(db, row, *ctx_.clock, state.CurrentItemId);
    state.Score = ComputeScore(db, row, state.ItemCount, settings.InputAfter);
    hooks_.PrepareCurrentItem();
    if (begun.ok()) AppendAnswerHistoryRow(db, row, state, now);
    UpdateDaysToTarget(db, row, state.DaysToTarget);
    const SqlResult stored = transaction.Commit();
    if (stored.ok()) {
        for (const std::string& word : typedWords) hooks_.QueueAnsweredWord(word);
    } else {
        transaction.Rollback();
        state.AnswerHistoryCount = historyCount;
        result.found = false;
        if (begun.ok()) {
            // The score and the forecast shown are those of what is stored.
            state.Score = ComputeScore(db, row, state.ItemCount, settings.InputAfter);
            UpdateDaysToTarget(db, row, state.DaysToTarget);
        }
        ReportAnswersNotSaved(state, stored);
    }
    hooks_.ShowScoreLabels(MakeScoreLabelTexts(state.Score, state.DaysToTarget));

    state.SentenceSolved = false;
    state.AnswerShown = false;
    hooks_.ResetLastPlayTick();
    hooks_.DisableNext();
    hooks_.SwapSoundBuffers();
    hooks_.LoadPictures();
    if (debugMode) hooks_.ShowStepTime(FormatFixed(static_cast<double>(tickMs_() - startTick), 2));
    return result;
}

}  // namespace lq
