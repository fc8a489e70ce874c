#pragma once
// One learning step (the Next button): grade and reschedule the sentence on screen, make the
// pre-selected sentence current and choose a new one, then score, layout, history row,
// forecast, labels, sound buffers and pictures, in this order. What the step needs of the
// windows and the sound thread it asks of LearningStepHooks, which the main window implements.
#include <cstdint>
#include <functional>
#include <string>

#include "core/AppContext.h"
#include "core/Scheduling.h"
#include "core/Score.h"

namespace lq {

struct SentenceBoard;

class LearningStepHooks {
public:
    virtual ~LearningStepHooks() = default;
    virtual void ShowAnswerCount(int runAnswerCount) = 0;        // AnswerCountLbl = "%i"
    virtual void StopSound() = 0;                                // stop whatever plays
    virtual void QueueAnsweredWord(const std::string& word) = 0;  // for the sound thread's drain
    virtual void PrepareCurrentItem() = 0;                       // lay out the new current sentence
    virtual void ShowScoreLabels(const ScoreLabelTexts& texts) = 0;
    virtual void ResetLastPlayTick() = 0;                        // the timer plays at its next tick
    virtual void DisableNext() = 0;                              // NextBtn disabled
    // Wait for the build of the pending buffer, make it current with its duration, and ask the
    // sound thread to build the new following sentence into the buffer just released.
    virtual void SwapSoundBuffers() = 0;
    virtual void LoadPictures() = 0;                             // load and draw the new pictures
    virtual void ShowStepTime(const std::string& caption) = 0;   // debug mode: the window caption
};

// Hooks that do nothing (benchmarks, tests that look only at the database).
class NullLearningStepHooks : public LearningStepHooks {
public:
    void ShowAnswerCount(int) override {}
    void StopSound() override {}
    void QueueAnsweredWord(const std::string&) override {}
    void PrepareCurrentItem() override {}
    void ShowScoreLabels(const ScoreLabelTexts&) override {}
    void ResetLastPlayTick() override {}
    void DisableNext() override {}
    void SwapSoundBuffers() override {}
    void LoadPictures() override {}
    void ShowStepTime(const std::string&) override {}
};

class LearningStep {
public:
    // Uses ctx.db, ctx.row, ctx.state, ctx.settings, ctx.clock, ctx.rng and ctx.env (debug mode;
    // may be null). `tickMs` times the step for the debug caption.
    LearningStep(const AppContext& ctx, SentenceBoard& board, LearningStepHooks& hooks,
                 std::function<uint32_t()> tickMs = nullptr);

    // The step (NextBtnClick). Its writes are stored together or not at all, and it waits at
    // most once (one busy timeout) for another program's lock. When another program holds the
    // file, or the following sentence cannot be read, nothing changes on screen: the sentence,
    // its tiles, its sound, the following sentence and the score stay, Next stays enabled, and
    // the learner is told each time (ReportAnswerKept). When the file cannot be written at all
    // the learner is told once per run (ReportAnswersNotSaved) and goes on to the next sentence.
    // Returns what was written for the answered sentence (`found` false when nothing was
    // stored).
    ScheduleResult Run();

private:
    AppContext ctx_;
    SentenceBoard& board_;
    LearningStepHooks& hooks_;
    std::function<uint32_t()> tickMs_;
};

}  // namespace lq
