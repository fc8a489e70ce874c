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
namespace {

// BEGIN IMMEDIATE ... COMMIT around the statements of one step when the connection is in
// autocommit mode; a failed commit is rolled back so that no transaction stays open.
class StepTransaction {
public:
    explicit StepTransaction(const Database& db) : db_(db) {
        if (db_.Handle() && sqlite3_get_autocommit(db_.Handle())) open_ = db_.Exec("BEGIN IMMEDIATE;").ok();
    }
    ~StepTransaction() { Commit(); }
    StepTransaction(const StepTransaction&) = delete;
    StepTransaction& operator=(const StepTransaction&) = delete;
    void Commit() {
        if (!open_) return;
        open_ = false;
        if (!db_.Exec("COMMIT;").ok() && !sqlite3_get_autocommit(db_.Handle())) db_.Exec("ROLLBACK;");
    }

private:
    const Database& db_;
    bool open_ = false;
};

}  // namespace

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
    // The step's writes go to disk together; a caller's open transaction is joined instead.
    StepTransaction transaction(db);
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
    transaction.Commit();
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
