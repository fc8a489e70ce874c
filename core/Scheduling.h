#pragma once
// Spaced repetition: the choice of the next sentence, and the grading and rescheduling of the
// sentence just answered (level, good answers, typed-word score, place in the queue, due time,
// per-word weights).
#include <functional>
#include <string>
#include <vector>

#include "platform/DateTime.h"

namespace lq {

class Database;
struct CurrentRow;
struct SentenceBoard;
class Random;

// The sentence to ask next: the earliest-queued due sentence of a selected module, else the
// earliest-queued sentence of a selected module, both other than `exclude`; else the
// earliest-queued sentence of the whole table (which may be `exclude`). -1 when there is none.
// `row` ends up holding the chosen row.
int SelectNextItem(const Database& db, CurrentRow& row, Clock& clock, int exclude);

// The typed-word score of a sentence, 0 to 900: the smallest weight x occurrence count over
// the flagged tiles, x 900/47, capped at 900. 900 with no flagged tile.
// `pairs` holds (flag, weight) and `counts` the occurrence count at [2t] for tile t; entries
// past their ends read as 0.
float ScaledMinWordWeight(int tileCount, const std::vector<int>& pairs, const std::vector<int>& counts);

// The stored per-word weight list: "%i %i " (flag, weight) for tiles 0 .. tileCount-1.
std::string WordPairListText(int tileCount, const std::vector<int>& pairs);

// Days until a sentence answered well at level `irange` is due again (0, 0.5, 1, 2, 4, 8).
float LevelIntervalDays(int irange);

// Days until a sentence with typed-word score `s` is due again: 0.025 s, at least 0.1.
float TypedIntervalDays(float s);

// The queue position after a typed success with score `s`: about itemCount^(s/900) plus a
// random spread, within [0, itemCount-1].
int TypedQueuePosition(float s, int itemCount, float inputAfterFloat, Random& rng);

// `value` truncated toward zero and kept within [lo, hi] (NaN gives lo).
int TruncInRange(float value, int lo, int hi);

struct ScheduleInput {
    int itemId = -1;             // the sentence answered
    int itemCount = 0;           // rows of items2
    float inputAfterFloat = 5.0f;
    float scheduleExponent = 2.0f;
    DateTime now = 0;            // the step's time
    std::string nowText;         // the same as date text
    bool success = false;        // solved without the answer shown
};

struct ScheduleResult {
    bool found = false;  // the sentence was read (nothing is written otherwise)
    bool success = false;
    bool typed = false;  // the sentence had words to type
    int irange = 0, igansw = 0, irng_2 = 0, iaansw = 0;
    int place = 0;       // the new iplace (reference place + 1)
    std::string dtansn;
};

// Grades the sentence `in.itemId` and writes its new schedule (and, when it had words to type,
// its new weight list from `board`, whose weights are raised or lowered). On a success with
// typed words each typed word, lower-cased and normalised, goes to `queueWord` before anything
// is written.
ScheduleResult RescheduleAnsweredItem(Database& db, CurrentRow& row, Random& rng, const ScheduleInput& in,
                                      SentenceBoard& board,
                                      const std::function<void(const std::string&)>& queueWord);

}  // namespace lq
