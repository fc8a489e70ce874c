#pragma once
// Telling the learner that something could not be stored. A change the learner asked for (a
// sentence's texts, a comment, a word's mark, the word statistics) is reported each time it
// fails; the answers of the learning steps are reported once per run, at start-up when the
// database cannot be written at all, else at the first step that could not be stored.
#include <string>

namespace lq {

class Database;
class Prompter;
struct LearnState;
struct SqlResult;

// The one way to tell the learner that the database refused something they asked for: a message
// box with `what` (for instance "The comment was not saved") and the engine's message, through
// `prompter` (default: AppPrompter()).
void ReportFailedWrite(const std::string& what, const SqlResult& failure, Prompter* prompter = nullptr);

// At start-up: when the open database cannot be written (it opened read-only, or its first
// change is refused), says once that the answers will not be saved. True when it said so.
bool ReportUnwritableDatabase(Database& db, LearnState& state);

// A learning step that could not be stored: says that the answers are not being saved, with the
// engine's message, unless the learner has been told so already in this run.
void ReportAnswersNotSaved(LearnState& state, const SqlResult& failure);

}  // namespace lq
