#include "core/LearningStep.h"

#include <vector>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/CurrentRow.h"
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
    // What a step that does not take place puts back.
    const double lastNextTime = state.LastNextTime;
    const std::string lastNowText = state.NowText;
    const std::vector<int> weights = board_.WordWeightPairs;
    const float shownScore = state.Score;
    const float shownDays = state.DaysToTarget;
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

    // The whole step waits at most once for another program's lock: at its BEGIN. Once the step
    // holds the exclusive lock no other program can read or write the file until the commit, so
    // none of the step's own reads can be refused by a lock.
    const OperationWait wait(db);
    // The step's writes are stored together or not at all: after the first failed statement (or
    // the engine's own rollback) the later writes do not run, and nothing is committed. A
    // caller's open transaction is joined.
    Transaction transaction(db);
    const SqlResult begun = transaction.BeginOrJoin(Transaction::Mode::Exclusive);
    const int historyCount = state.AnswerHistoryCount;
    std::vector<std::string> typedWords;  // handed to the sound thread once the step is stored

    // A step that is not stored and cannot go on with what it read: the sentence stays on the
    // board as it was (tiles, sound, the following sentence, the score) and the learner can
    // answer again.
    auto stay = [&](const SqlResult& why) {
        transaction.Rollback();
        board_.WordWeightPairs = weights;
        state.LastNextTime = lastNextTime;
        state.NowText = lastNowText;
        --state.RunAnswerCount;
        hooks_.ShowAnswerCount(state.RunAnswerCount);
        ReportAnswerKept(why);
        return ScheduleResult{};
    };
    if (!begun.ok() && IsLockFailure(begun)) return stay(begun);

    ScheduleResult result;
    if (begun.ok())
        result = RescheduleAnsweredItem(db, row, *ctx_.rng, in, board_,
                                        [&typedWords](const std::string& word) { typedWords.push_back(word); });
    const int current = state.NextItemId;
    int next = -1;
    {
        // The learner goes on only with a following sentence that was read.
        const FailureWatch choice(db);
        next = SelectNextItem(db, row, *ctx_.clock, current);
        if (choice.Failed()) return stay(choice.First());
    }
    if (transaction.Failed() && IsLockFailure(transaction.FirstFailure())) return stay(transaction.FirstFailure());

    // The score and the forecast, each kept as shown when what they read cannot be read.
    auto readScore = [&] {
        const FailureWatch reads(db);
        const float score = ComputeScore(db, row, state.ItemCount, settings.InputAfter);
        if (!reads.Failed()) state.Score = score;
    };
    auto readForecast = [&] {
        const FailureWatch reads(db);
        float days = state.DaysToTarget;
        UpdateDaysToTarget(db, row, days);
        if (!reads.Failed()) state.DaysToTarget = days;
    };

    const auto debugLines = state.DebugLines;
    if (debugMode && result.found && result.success) {
        state.DebugLines[0] = state.DebugLines[1];
        state.DebugLines[1] = state.DebugLines[2];
        state.DebugLines[2] = std::to_string(result.place) + " " + std::to_string(result.irng_2);
    }
    state.CurrentItemId = current;
    state.NextItemId = next;
    readScore();
    hooks_.PrepareCurrentItem();
    if (begun.ok()) AppendAnswerHistoryRow(db, row, state, now);
    readForecast();
    const SqlResult stored = transaction.Commit();
    if (stored.ok()) {
        for (const std::string& word : typedWords) hooks_.QueueAnsweredWord(word);
    } else {
        transaction.Rollback();
        state.AnswerHistoryCount = historyCount;
        state.DebugLines = debugLines;
        result = ScheduleResult{};
        if (begun.ok()) {
            // The score and the forecast shown are those of what is stored.
            state.Score = shownScore;
            state.DaysToTarget = shownDays;
            readScore();
            readForecast();
        }
        if (IsLockFailure(stored))
            ReportAnswerLost(stored);
        else
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
