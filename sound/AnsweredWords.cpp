#include "sound/AnsweredWords.h"

#include <QtGlobal>

#include <chrono>
#include <thread>

namespace lq {

bool AnsweredWordQueue::Push(std::string word) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (words_.size() >= kCapacity) return false;
    words_.push_back(std::move(word));
    return true;
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

SqlResult ApplyAnsweredWord(sqlite3* db, const std::string& word, int maxWaitMs) {
    if (!db) return {SQLITE_MISUSE, "no database connection"};
    const std::string sql = Sql("UPDATE wrdstt SET ianswr=ifnull(ianswr,0)+1 WHERE twordd=%Q;", word.c_str());
    constexpr int kPollMs = 5;
    for (int waited = 0;; waited += kPollMs) {
        {
            const ConnectionLock lock(db);
            if (sqlite3_get_autocommit(db) || waited >= maxWaitMs) {
                SqlResult r;
                char* error = nullptr;
                r.code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
                if (r.code != SQLITE_OK) {
                    r.message = error ? error : sqlite3_errstr(r.code);
                    qWarning("SQL error: %s", r.message.c_str());
                } else {
                    r.changes = sqlite3_changes(db);
                }
                sqlite3_free(error);
                return r;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

int DrainAnsweredWords(AnsweredWordQueue& queue, sqlite3* db, SqlResult* firstFailure) {
    int taken = 0;
    // Each word is taken under the queue's lock and written outside it.
    while (std::optional<std::string> word = queue.PopNewest()) {
        const SqlResult r = ApplyAnsweredWord(db, *word);
        if (!r.ok() && firstFailure && firstFailure->ok()) *firstFailure = r;
        ++taken;
    }
    return taken;
}

}  // namespace lq
