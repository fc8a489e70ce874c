// The pre-update hook's interface is declared only when this is defined; the library itself must
// have been built with it (RowHooks() asks).
#ifndef SQLITE_ENABLE_PREUPDATE_HOOK
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#endif
#include "core/Database.h"

#include <QtGlobal>

#include <cctype>
#include <cstring>
#include <vector>

#include "core/BusyWait.h"
#include "core/CurrentRow.h"
#include "core/Log.h"
#include "core/SqlText.h"
#include "platform/CNumbers.h"

namespace lq {

namespace {

// Whether the statement's first word is ROLLBACK (blanks and comments before it skipped). A
// "ROLLBACK TO" a savepoint undoes rows the pre-update hook has reported, and SQLite calls no
// rollback hook for it; a whole ROLLBACK calls one as well.
bool RollsBack(sqlite3_stmt* stmt) {
    const char* s = sqlite3_sql(stmt);
    if (!s) return false;
    for (;;) {
        while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\f') ++s;
        if (s[0] == '-' && s[1] == '-') {
            while (*s && *s != '\n') ++s;
        } else if (s[0] == '/' && s[1] == '*') {
            const char* end = std::strstr(s + 2, "*/");
            if (!end) return false;
            s = end + 2;
        } else {
            break;
        }
    }
    return sqlite3_strnicmp(s, "ROLLBACK", 8) == 0 && !(std::isalnum(static_cast<unsigned char>(s[8])) || s[8] == '_');
}

}  // namespace

Database::~Database() { Close(); }

SqlResult Database::Open(const std::string& path) {
    Close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                   nullptr);
    auto fail = [&](SqlResult failure) {
        qCWarning(lcCore, "Can't open database: %s", failure.message.c_str());
        sqlite3_close(db);
        return failure;
    };
    if (rc != SQLITE_OK) return fail({rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)});
    sqlite3_busy_handler(db, &DatabaseBusyHandler, this);
    busyTimeoutMs_ = kBusyTimeoutMs;
    // A file that is not a database opens without complaint and fails at the first statement.
    char* msg = nullptr;
    const int checked = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, &msg);
    if (checked != SQLITE_OK) {
        SqlResult failure{checked, msg ? msg : sqlite3_errmsg(db)};
        sqlite3_free(msg);
        return fail(std::move(failure));
    }
    db_ = db;
    path_ = path;
    const SqlResult schema = EnsureSchema();
    if (!schema.ok()) {
        db_ = nullptr;
        path_.clear();
        return fail(schema);
    }
    EnsureSpeedIndexes();
    if (RowHooks()) sqlite3_preupdate_hook(db_, &Database::OnPreUpdate, this);
    sqlite3_rollback_hook(db_, &Database::OnRollback, this);
    NoticeOtherWrites();
    return {};
}

bool Database::RowHooks() { return sqlite3_compileoption_used("ENABLE_PREUPDATE_HOOK") != 0; }

void Database::OnPreUpdate(void* self, sqlite3* db, int op, const char* dbName, const char* table,
                           sqlite3_int64 oldKey, sqlite3_int64 newKey) {
    if (!dbName || !table || std::strcmp(dbName, "main") != 0) return;
    const RowChange::Kind kind = op == SQLITE_INSERT   ? RowChange::Kind::Insert
                                 : op == SQLITE_DELETE ? RowChange::Kind::Delete
                                                       : RowChange::Kind::Update;
    const RowChange change(db, kind, table, oldKey, newKey);
    for (const auto& l : static_cast<Database*>(self)->listeners_) l->OnRowChange(change);
}

void Database::OnRollback(void* self) { static_cast<Database*>(self)->NotifyStale(); }

void Database::NotifyStale() const {
    const ConnectionLock lock(db_);
    for (const auto& l : listeners_) l->OnStale();
}

bool Database::NoticeOtherWrites() const {
    if (!db_) return false;
    const ConnectionLock lock(db_);
    if (!versionQuery_ && sqlite3_prepare_v3(db_, "PRAGMA data_version;", -1, SQLITE_PREPARE_PERSISTENT,
                                             &versionQuery_, nullptr) != SQLITE_OK)
        return false;
    const bool ok = sqlite3_step(versionQuery_) == SQLITE_ROW;
    const long long version = ok ? sqlite3_column_int64(versionQuery_, 0) : -1;
    sqlite3_reset(versionQuery_);
    if (!ok) return false;
    if (version != dataVersion_) {
        dataVersion_ = version;
        NotifyStale();
    }
    return true;
}

bool Database::InTransaction() const { return db_ && !sqlite3_get_autocommit(db_); }

SqlResult Database::Scan(const char* sql, const std::function<void(const ScanRow&)>& onRow) const {
    if (!db_) return Failed({SQLITE_MISUSE, "no database connection"});
    sqlite3_stmt* raw = nullptr;
    int rc;
    {
        const ConnectionLock lock(db_);
        rc = sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr);
        if (rc != SQLITE_OK || !raw) {
            const SqlResult r{rc != SQLITE_OK ? rc : SQLITE_MISUSE, sqlite3_errmsg(db_)};
            sqlite3_finalize(raw);
            return Failed(r);
        }
    }
    // Finalised also when a row's callback throws.
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    if (!sqlite3_stmt_readonly(raw)) return Failed({SQLITE_MISUSE, "a scan only reads"});
    const ScanRow row(raw);
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) onRow(row);
    if (rc == SQLITE_DONE) {
        if (RollsBack(raw)) NotifyStale();
        return {};
    }
    const ConnectionLock lock(db_);
    return Failed({rc, sqlite3_errmsg(db_)});
}

bool RowChange::Is(const char* table) const { return sqlite3_stricmp(table_, table) == 0; }

bool RowChange::Old(int column, sqlite3_value*& value) const {
    return column >= 0 && sqlite3_preupdate_old(db_, column, &value) == SQLITE_OK;
}

bool RowChange::New(int column, sqlite3_value*& value) const {
    return column >= 0 && sqlite3_preupdate_new(db_, column, &value) == SQLITE_OK;
}

sqlite3_value* ScanRow::Value(int column) const { return sqlite3_column_value(stmt_, column); }
long long ScanRow::Int(int column) const { return sqlite3_column_int64(stmt_, column); }
bool ScanRow::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
std::string_view ScanRow::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))) : std::string_view();
}

void Database::FinalizeCached() {
    // The connection's lock before the cache's, as in QueryCached (a finalize takes the first).
    const ConnectionLock connection(db_);
    std::lock_guard<std::recursive_mutex> lock(cacheMutex_);
    for (auto& entry : cache_) sqlite3_finalize(entry.second);
    cache_.clear();
}

void Database::Close() {
    FinalizeCached();
    if (db_) {
        {
            const ConnectionLock lock(db_);
            if (RowHooks()) sqlite3_preupdate_hook(db_, nullptr, nullptr);
            sqlite3_rollback_hook(db_, nullptr, nullptr);
            listeners_.clear();
            sqlite3_finalize(versionQuery_);
            versionQuery_ = nullptr;
            dataVersion_ = -1;
        }
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    path_.clear();
}

SqlResult Database::Exec(const std::string& sql) { return Query(sql, RowCallback()); }

SqlResult Database::Query(const std::string& sql, CurrentRow& row) const {
    return Query(sql, [&row](int n, char** v, char** c) { StoreCurrentRow(row, n, v, c); });
}

SqlResult Database::Query(const std::string& sql, const RowCallback& onRow) const {
    if (!db_) return Failed({SQLITE_MISUSE, "no database connection"});
    const ConnectionLock lock(db_);
    SqlResult r;
    // The statements of the text one after another, as sqlite3_exec runs them.
    const char* tail = sql.c_str();
    while (*tail) {
        sqlite3_stmt* stmt = nullptr;
        const char* next = nullptr;
        const int rc = sqlite3_prepare_v2(db_, tail, -1, &stmt, &next);
        if (rc != SQLITE_OK) return Failed({rc, sqlite3_errmsg(db_)});
        tail = next;
        if (!stmt) continue;  // only blanks or a comment
        bool refused = false;
        r = Step(stmt, onRow, refused);
        sqlite3_finalize(stmt);
        if (!r.ok()) return Failed(r, refused);
    }
    return r;
}

SqlResult Database::ExecCached(const char* sql, std::initializer_list<SqlArg> args) {
    return QueryCached(sql, args, RowCallback());
}

SqlResult Database::QueryCached(const char* sql, std::initializer_list<SqlArg> args, CurrentRow& row) const {
    return QueryCached(sql, args, [&row](int n, char** v, char** c) { StoreCurrentRow(row, n, v, c); });
}

SqlResult Database::QueryCached(const char* sql, std::initializer_list<SqlArg> args, const RowCallback& onRow) const {
    if (!db_) return Failed({SQLITE_MISUSE, "no database connection"});
    // The connection's lock first, then the cache's: the order of every path here.
    const ConnectionLock lock(db_);
    std::lock_guard<std::recursive_mutex> cacheLock(cacheMutex_);
    sqlite3_stmt*& stmt = cache_[sql];
    if (!stmt) {
        const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (rc != SQLITE_OK || !stmt) {
            const SqlResult r{rc != SQLITE_OK ? rc : SQLITE_MISUSE, sqlite3_errmsg(db_)};
            sqlite3_finalize(stmt);
            cache_.erase(sql);
            return Failed(r);
        }
    }
    int index = 1;
    for (const SqlArg& a : args) {
        if (a.isText)
            sqlite3_bind_text(stmt, index, a.text.data(), static_cast<int>(a.text.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_int64(stmt, index, a.number);
        ++index;
    }
    bool refused = false;
    const SqlResult r = Step(stmt, onRow, refused);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return r.ok() ? r : Failed(r, refused);
}

SqlResult Database::Step(sqlite3_stmt* stmt, const RowCallback& onRow, bool& refused) const {
    if (!sqlite3_stmt_readonly(stmt)) {
        SqlResult refusal = WriteRefusal();
        if (!refusal.ok()) {
            refused = true;
            return refusal;
        }
    }
    std::vector<char*> values;
    std::vector<char*> names;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!onRow) continue;
        const int n = sqlite3_column_count(stmt);
        values.resize(static_cast<size_t>(n));
        names.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            values[static_cast<size_t>(i)] =
                const_cast<char*>(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
            names[static_cast<size_t>(i)] = const_cast<char*>(sqlite3_column_name(stmt, i));
        }
        onRow(n, values.data(), names.data());
    }
    if (rc != SQLITE_DONE) return {rc, sqlite3_errmsg(db_)};
    if (RollsBack(stmt)) NotifyStale();
    SqlResult r;
    r.changes = sqlite3_changes(db_);
    return r;
}

long long Database::LastInsertRowId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

void Database::SetBusyTimeout(int ms) const {
    if (!db_) return;
    // The handler reads the timeout at each retry (see BusyWait); an operation may bound it further.
    busyTimeoutMs_ = ms;
}

bool Database::IsReadOnly() const { return db_ && sqlite3_db_readonly(db_, "main") == 1; }

SqlResult Database::CheckWritable() {
    if (!db_) return {SQLITE_MISUSE, "no database connection"};
    if (IsReadOnly()) return {SQLITE_READONLY, sqlite3_errstr(SQLITE_READONLY)};
    if (!sqlite3_get_autocommit(db_)) return {};  // inside a transaction: nothing to learn here
    const int waited = busyTimeoutMs_;
    SetBusyTimeout(0);
    SqlResult r;
    char* msg = nullptr;
    // Rewriting the header's user version needs the journal, as every real change does.
    int version = 0;
    r.code = sqlite3_exec(db_, "BEGIN IMMEDIATE;", nullptr, nullptr, &msg);
    if (r.code == SQLITE_OK) {
        r.code = sqlite3_exec(
            db_, "PRAGMA user_version;",
            [](void* out, int, char** values, char**) {
                *static_cast<int*>(out) = values[0] ? CAtoi(values[0]) : 0;
                return 0;
            },
            &version, &msg);
    }
    if (r.code == SQLITE_OK)
        r.code = sqlite3_exec(db_, Sql("PRAGMA user_version=%d;", version).c_str(), nullptr, nullptr, &msg);
    if (r.code != SQLITE_OK) r.message = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
    SetBusyTimeout(waited);
    return r;
}

}  // namespace lq
