#include "sound/AnsweredWords.h"

namespace lq {

bool AnsweredWordQueue::Push(std::string word) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (words_.size() >= kCapacity) return false;
    words_.push_back(std::move(word));
    return true;
}

void AnsweredWordQueue::PutBack(std::string word) {
    std::lock_guard<std::mutex> lock(mutex_);
    words_.push_back(std::move(word));
}

std::optional<std::string> AnsweredWordQueue::PopNewest() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (words_.empty()) return std::nullopt;
    std::string word = std::move(words_.back());
    words_.pop_back();
    return word;
}

size_t AnsweredWordQueue::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return words_.size();
}

SqlResult ApplyAnsweredWord(Database& db, const std::string& word, bool* deferred) {
    if (deferred) *deferred = false;
    if (!db.IsOpen()) return {SQLITE_MISUSE, "no database connection"};
    // The check and the write together, so that no operation of the other thread begins between.
    const ConnectionLock lock = db.Lock();
    if (deferred && db.InTransaction()) {
        *deferred = true;
        return {};
    }
    return db.ExecCached("UPDATE wrdstt SET ianswr=ifnull(ianswr,0)+1 WHERE twordd=?;", {word});
}

int DrainAnsweredWords(AnsweredWordQueue& queue, Database& db, SqlResult* firstFailure) {
    int taken = 0;
    // Each word is taken under the queue's lock and written outside it.
    while (std::optional<std::string> word = queue.PopNewest()) {
        bool deferred = false;
        const SqlResult r = ApplyAnsweredWord(db, *word, &deferred);
        if (deferred) {
            queue.PutBack(std::move(*word));
            break;
        }
        if (!r.ok() && firstFailure && firstFailure->ok()) *firstFailure = r;
        ++taken;
    }
    return taken;
}

}  // namespace lq
