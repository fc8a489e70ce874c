#pragma once
// Records every statement a connection runs while it lives: its text as prepared (with "?" where
// a value is bound) and the same with the bound values written in (sqlite3_expanded_sql).
#include <sqlite3.h>

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

    const std::vector<Statement>& Statements() const { return statements_; }

private:
    static int OnStatement(unsigned, void* self, void* stmt, void*) {
        auto* me = static_cast<StatementTrace*>(self);
        auto* s = static_cast<sqlite3_stmt*>(stmt);
        char* expanded = sqlite3_expanded_sql(s);
        const char* prepared = sqlite3_sql(s);
        me->statements_.push_back({prepared ? prepared : "", expanded ? expanded : ""});
        sqlite3_free(expanded);
        return 0;
    }

    sqlite3* db_;
    std::vector<Statement> statements_;
};

}  // namespace lq::test
