#include "sound/AnsweredWords.h"

#include <QtGlobal>

#include "main/core/Database.h"

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

bool ApplyAnsweredWord(sqlite3* db, const std::string& word) {
    if (!db) return false;
    const std::string sql = Sql("UPDATE wrdstt SET ianswr=ifnull(ianswr,0)+1 WHERE twordd=%Q;", word.c_str());
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        qWarning("SQL error: %s", error ? error : sqlite3_errstr(rc));
        sqlite3_free(error);
        return false;
    }
    return true;
}

int DrainAnsweredWords(AnsweredWordQueue& queue, sqlite3* db) {
    int taken = 0;
    // Each word is taken under the queue's lock and written outside it.
    while (std::optional<std::string> word = queue.PopNewest()) {
        ApplyAnsweredWord(db, *word);
        ++taken;
    }
    return taken;
}

}  // namespace lq
