#pragma once
// Telling the learner that something could not be stored. A change the learner asked for (a
// sentence's texts, a comment, a word's mark, the word statistics) is reported each time it
// fails; the answers of the learning steps are reported once per run, at start-up when the
// database cannot be written at all, else at the first step that could not be stored; a step
// that another program's lock kept from being stored is reported each time.
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

// A learning step that was not stored and whose sentence stays on the board (another program
// holds the file, or the step could not read what it needs): said each time, so that the learner
// knows to press Next again.
void ReportAnswerKept(const SqlResult& failure);

// A learning step lost to another program's lock after the learner went on: said each time.
void ReportAnswerLost(const SqlResult& failure);

// A learning step that could not be stored: says that the answers are not being saved, with the
// engine's message, unless the learner has been told so already in this run.
void ReportAnswersNotSaved(LearnState& state, const SqlResult& failure);

}  // namespace lq
