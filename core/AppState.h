#pragma once
// The program-wide state that the learning core, the pages and the sound thread share.
#include <array>
#include <string>

namespace lq {

// Set once at start by the entry.
struct ProgramEnv {
    std::string ProgramDir;  // the executable's folder, no trailing slash
    bool DebugMode = false;
};

// The learning state of the run.
struct LearnState {
    int CurrentItemId = -1;
    int NextItemId = -1;  // chosen by the step before; its sound is built ahead on the sound thread
    int ItemCount = 0;
    float Score = 0.0f;
    bool SentenceSolved = false;
    bool AnswerShown = false;
    bool ShortcutsSuspended = false;
    std::string NowText;      // date text of the start-up / the last step
    double LastNextTime = 0;  // the same as a date-time value
    int AnswerHistoryCount = 0;
    int WordStatCount = 0;
    int RunAnswerCount = 0;      // learning steps since start-up (AnswerCountLbl)
    float DaysToTarget = -1.0f;  // forecast of the days until the score reaches 80; -1 = no trend
    bool AnswersNotSavedReported = false;  // the learner was told that the answers are not stored
    // Debug mode's scheduling lines: [0..2] the last three, oldest first; [3] the line shown.
    std::array<std::string, 4> DebugLines;
};

}  // namespace lq
