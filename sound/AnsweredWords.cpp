#include "sound/AnsweredWords.h"

#include <QtGlobal>

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

SqlResult ApplyAnsweredWord(sqlite3* db, const std::string& word, bool* deferred) {
    if (deferred) *deferred = false;
    if (!db) return {SQLITE_MISUSE, "no database connection"};
    const std::string sql = Sql("UPDATE wrdstt SET ianswr=ifnull(ianswr,0)+1 WHERE twordd=%Q;", word.c_str());
    const ConnectionLock lock(db);
    if (deferred && !sqlite3_get_autocommit(db)) {
        *deferred = true;
        return {};
    }
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

int DrainAnsweredWords(AnsweredWordQueue& queue, sqlite3* db, SqlResult* firstFailure) {
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
