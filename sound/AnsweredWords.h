#pragma once
// The words the learner answered by typing, waiting to be counted in wrdstt: at most 100, taken
// newest first. The learning step appends; the sound thread (and the shut-down) drain.
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/Database.h"

namespace lq {

class AnsweredWordQueue {
public:
    static constexpr size_t kCapacity = 100;

    // Appends a normalised word; false (the word is dropped) when 100 are pending.
    bool Push(std::string word);
    // Takes the newest pending word.
    std::optional<std::string> PopNewest();
    // Gives back the word PopNewest took, as the newest again (also when 100 others wait now).
    void PutBack(std::string word);
    size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> words_;
};

// Adds 1 to ianswr of `word` in wrdstt (a word that is not there changes nothing); returns the
// engine's failure (logged as "SQL error: %s"), ok when it was stored. The statement runs under
// the connection's lock. When `deferred` is given and the connection is inside a transaction (an
// operation of the window's thread is under way), nothing is run and *deferred is set: the count
// is not made part of an operation that may still be rolled back.
SqlResult ApplyAnsweredWord(Database& db, const std::string& word, bool* deferred = nullptr);

// Applies the pending words, newest first, each exactly once; returns how many it took off the
// queue (stored or failed).
// While an operation of the window's thread is under way the words stay queued, in their order,
// for the next drain. The first failed write goes to `firstFailure` when given (the later words
// are still tried: each is a change of its own).
int DrainAnsweredWords(AnsweredWordQueue& queue, Database& db, SqlResult* firstFailure = nullptr);

}  // namespace lq
