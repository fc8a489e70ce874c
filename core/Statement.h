#pragma once
// A statement prepared on a raw connection for one use, finalised when it goes out of scope.
// A statement that cannot be prepared is logged and holds no handle.
#include <sqlite3.h>

#include <QtGlobal>

namespace lq {

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (db && sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            qWarning("SQL error: %s", sqlite3_errmsg(db));
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace lq
