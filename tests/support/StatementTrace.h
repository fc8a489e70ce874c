#pragma once
// Records every statement a connection runs while it lives: its text as prepared (with "?" where
// a value is bound) and the same with the bound values written in (sqlite3_expanded_sql).
// Statements of any thread are recorded; read them once the other threads are quiet.
#include <sqlite3.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/Database.h"
#include "tests/support/RawConnection.h"

namespace lq::test {

class StatementTrace {
public:
    struct Statement {
        std::string prepared;
        std::string expanded;
        bool operator==(const Statement&) const = default;
    };

    explicit StatementTrace(const Database& db) : db_(RawHandle(db)) {
        sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, &StatementTrace::OnStatement, this);
    }
    ~StatementTrace() { sqlite3_trace_v2(db_, 0, nullptr, nullptr); }
    StatementTrace(const StatementTrace&) = delete;
    StatementTrace& operator=(const StatementTrace&) = delete;

    std::vector<Statement> Statements() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return statements_;
    }
    bool Ran(const Statement& s) const {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const Statement& r : statements_)
            if (r == s) return true;
        return false;
    }

private:
    static int OnStatement(unsigned, void* self, void* stmt, void*) {
        auto* me = static_cast<StatementTrace*>(self);
        auto* s = static_cast<sqlite3_stmt*>(stmt);
        char* expanded = sqlite3_expanded_sql(s);
        const char* prepared = sqlite3_sql(s);
        {
            const std::lock_guard<std::mutex> lock(me->mutex_);
            me->statements_.push_back({prepared ? prepared : "", expanded ? expanded : ""});
        }
        sqlite3_free(expanded);
        return 0;
    }

    sqlite3* db_;
    mutable std::mutex mutex_;
    std::vector<Statement> statements_;
};

}  // namespace lq::test
