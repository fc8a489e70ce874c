#pragma once
// The words the learner answered by typing, waiting to be counted in wrdstt: at most 100, taken
// newest first. The learning step appends; the sound thread (and the shut-down) drain.
#include <sqlite3.h>

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lq {

class AnsweredWordQueue {
public:
    static constexpr size_t kCapacity = 100;

    // Appends a normalised word; false (the word is dropped) when 100 are pending.
    bool Push(std::string word);
    // Takes the newest pending word.
    std::optional<std::string> PopNewest();
    size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> words_;
};

// Adds 1 to ianswr of `word` in wrdstt (a word that is not there changes nothing). False when the
// statement failed (logged as "SQL error: %s").
bool ApplyAnsweredWord(sqlite3* db, const std::string& word);

// Applies every pending word, newest first, each exactly once; returns how many were taken.
int DrainAnsweredWords(AnsweredWordQueue& queue, sqlite3* db);

}  // namespace lq
