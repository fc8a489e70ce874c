#include "main/LearningStep.h"

#include "main/AppContext.h"
#include "main/AppState.h"
#include "main/Database.h"
#include "main/Random.h"
#include "main/SentenceBoard.h"
#include "main/Settings.h"
#include "platform/CNumbers.h"
#include "platform/DateTime.h"
#include "platform/Tick.h"

namespace lq {

LearningStep::LearningStep(AppContext& ctx, SentenceBoard& board, LearningStepHooks& hooks,
                           std::function<uint32_t()> tickMs)
    : ctx_(ctx), board_(board), hooks_(hooks), tickMs_(tickMs ? std::move(tickMs) : std::function<uint32_t()>(TickCountMs)) {}

ScheduleResult LearningStep::Run() {
    const Database& db = *ctx_.db;
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
    const ScheduleResult result = RescheduleAnsweredItem(
        db, row, *ctx_.rng, in, board_, [this](const std::string& word) { hooks_.QueueAnsweredWord(word); });
    if (debugMode && result.found && result.success) {
        state.DebugLines[0] = state.DebugLines[1];
        state.DebugLines[1] = state.DebugLines[2];
        state.DebugLines[2] = std::to_string(result.place) + " " + std::to_string(result.irng_2);
    }

    state.CurrentItemId = state.NextItemId.load();
    state.NextItemId = SelectNextItem(db, row, *ctx_.clock, state.CurrentItemId);
    state.Score = ComputeScore(db, row, state.ItemCount, settings.InputAfter);
    hooks_.PrepareCurrentItem();
    AppendAnswerHistoryRow(db, row, state, now);
    UpdateDaysToTarget(db, row, state.DaysToTarget);
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
