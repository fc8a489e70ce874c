#pragma once
// The program-wide state that the learning core, the pages and the sound thread share.
#include <atomic>
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
    std::atomic<int> NextItemId{-1};  // read by the sound thread when it wakes
    int ItemCount = 0;
    float Score = 0.0f;
    bool SentenceSolved = false;
    bool AnswerShown = false;
    bool ShortcutsSuspended = false;
    std::string NowText;      // date text of the start-up / the last step
    double LastNextTime = 0;  // the same as a date-time value
    int AnswerHistoryCount = 0;
    int WordStatCount = 0;
};

}  // namespace lq
