#pragma once
// The lesson database: one SQLite connection shared by the user-interface thread and the sound
// thread (serialized mode), with its statement cache, its scans and its change hooks. The row
// store is in core/CurrentRow.h, Sql() and the stored-text escapes in core/SqlText.h, the
// failure watches and Transaction in core/Transaction.h, the schema in core/Schema.h.
//
// Statements keep their texts; a statement with values runs bound (ExecCached/QueryCached, "?"
// placeholders, prepared once per connection), and only PRAGMAs, whose values cannot be bound,
// are formatted with Sql() (sqlite3_mprintf, %q for every text). Each call returns its own result
// code and message; failures are logged as "SQL error: %s" under lq.core and the caller goes on
// with whatever the row store holds.
#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/ConnectionLock.h"

namespace lq {

struct CurrentRow;

struct SqlResult {
    int code = SQLITE_OK;
    std::string message;
    // Rows the statement (the last one of a text) changed, read right after it under the
    // connection's lock, so that the other thread's statements do not get in between.
    int changes = 0;
    bool ok() const { return code == SQLITE_OK; }
};

// A value read from the database, or the failure that kept it from being read (the value is
// then its default).
template <class T>
struct SqlValue {
    T value{};
    SqlResult error;
    bool ok() const { return error.ok(); }
};

using RowCallback = std::function<void(int columnCount, char** values, char** names)>;

// A value bound to a "?" of a cached statement: an integer or a text.
struct SqlArg {
    SqlArg(int v) : isText(false), number(v) {}        // NOLINT(google-explicit-constructor)
    SqlArg(long long v) : isText(false), number(v) {}  // NOLINT(google-explicit-constructor)
    SqlArg(const std::string& v) : isText(true), text(v) {}  // NOLINT(google-explicit-constructor)
    bool isText;
    long long number = 0;
    std::string text;
};

class FailureWatch;

// One row of a table about to be inserted, updated or deleted by a statement of this connection,
// as SQLite's pre-update hook reports it. Old() reads a column before an update or a delete,
// New() after an insert or an update; both are valid only during the call that hands it.
class RowChange {
public:
    enum class Kind { Insert, Update, Delete };
    RowChange(sqlite3* db, Kind kind, const char* table, long long oldKey, long long newKey)
        : db_(db), kind_(kind), table_(table), oldKey_(oldKey), newKey_(newKey) {}
    Kind What() const { return kind_; }
    // The table's name as the statement gave it; compare without regard to case.
    bool Is(const char* table) const;
    long long OldKey() const { return oldKey_; }
    long long NewKey() const { return newKey_; }
    // False when the column is not there (the values are then unknown).
    bool Old(int column, sqlite3_value*& value) const;
    bool New(int column, sqlite3_value*& value) const;

private:
    sqlite3* db_;
    Kind kind_;
    const char* table_;
    long long oldKey_;
    long long newKey_;
};

// A keeper of what it has read from the file (a cache) registers on the connection to hear of
// every change that may make it stale. Its calls come with the connection's lock held; a
// listener must not run a statement from them.
class ChangeListener {
public:
    virtual ~ChangeListener() = default;
    // A row of the main database is about to change (only where the library has the pre-update
    // hook; see Database::RowHooks).
    virtual void OnRowChange(const RowChange& change) = 0;
    // What was read may no longer be so: a transaction was rolled back (also to a savepoint,
    // which undoes reported rows with no hook of SQLite's), a statement failed (its partial
    // changes are undone without a row report), or another connection wrote to the file (found
    // by Database::NoticeOtherWrites).
    virtual void OnStale() = 0;
};

// A row of a scan (Database::Scan): the columns with their stored types.
class ScanRow {
public:
    explicit ScanRow(sqlite3_stmt* stmt) : stmt_(stmt) {}
    sqlite3_value* Value(int column) const;
    long long Int(int column) const;
    bool IsNull(int column) const;
    // The column's text (its bytes, NUL bytes included); empty for NULL.
    std::string_view Text(int column) const;

private:
    sqlite3_stmt* stmt_;
};

class Database {
public:
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // Opens (creating when missing) in serialized mode with a 5 s busy timeout, checks that the
    // file really is a database, and ensures the schema. On failure returns the engine's code and
    // text (a SqlResult that is not ok()) and leaves no connection.
    SqlResult Open(const std::string& path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    const std::string& Path() const { return path_; }

    // The connection's lock for a scope (see ConnectionLock): lets a caller run several calls
    // without the other thread's statements between them.
    ConnectionLock Lock() const { return ConnectionLock(db_); }
    // Whether a transaction is open on the connection (sqlite3_get_autocommit says no).
    bool InTransaction() const;

    // A statement without rows (or whose rows are not wanted).
    SqlResult Exec(const std::string& sql);
    // A query whose rows go through StoreCurrentRow into `row`.
    SqlResult Query(const std::string& sql, CurrentRow& row) const;
    // A query with a row callback of the caller's.
    SqlResult Query(const std::string& sql, const RowCallback& onRow) const;

    // The same with the values bound to the "?" of `sql` in order. The statement is prepared
    // once per connection and kept until Close(); rows reach the callback as sqlite3_exec hands
    // them (each column as text, NULL as a null pointer). Safe from any thread.
    //
    // Every call runs under the connection's lock. Inside an operation's Transaction (on this
    // thread) a statement that would change the file is not run once an earlier statement of the
    // operation has failed, nor when the engine has ended the operation's transaction by itself
    // (SQLITE_FULL, SQLITE_IOERR and the like may roll it all back): it returns that failure, so
    // nothing of the operation is stored in autocommit mode behind its back. Reads still run.
    SqlResult ExecCached(const char* sql, std::initializer_list<SqlArg> args);
    SqlResult QueryCached(const char* sql, std::initializer_list<SqlArg> args, CurrentRow& row) const;
    SqlResult QueryCached(const char* sql, std::initializer_list<SqlArg> args, const RowCallback& onRow) const;

    long long LastInsertRowId() const;

    // How long a statement waits for another process's lock before it fails with SQLITE_BUSY
    // (kBusyTimeoutMs after Open). The connection is shared, so this holds for both threads; an
    // OperationWait (core/BusyWait.h) bounds the waits of one operation together.
    void SetBusyTimeout(int ms) const;
    int BusyTimeout() const { return busyTimeoutMs_; }

    // True when the engine opened the file read-only (sqlite3_db_readonly).
    bool IsReadOnly() const;
    // Whether a change can really be stored: a file that opened read-write may still refuse its
    // first write (its folder is read-only, so no journal can be made). Changes one header field
    // inside a transaction and rolls it back; nothing is stored. Does not wait for a lock: a
    // busy database gives SQLITE_BUSY, which says nothing about writability.
    SqlResult CheckWritable();

    // The eleven schema statements as "CREATE ... IF NOT EXISTS", in one transaction.
    SqlResult EnsureSchema();
    // The indexes of SpeedIndexStatements, when the file can take them (on opening).
    void EnsureSpeedIndexes();

    // A read that hands each row with its typed values (a cache's fill, a long walk). Each step
    // takes the connection's lock by itself, so the other thread's statements may run between
    // the rows unless the caller holds Lock(). Its failure is noted like any other statement's.
    SqlResult Scan(const char* sql, const std::function<void(const ScanRow&)>& onRow) const;

    // Whether the library reports each changed row to the listeners (its pre-update hook).
    static bool RowHooks();
    // The listener of type T on this connection, made (and registered) on first use; it lives
    // until the connection closes. Null while no connection is open.
    template <class T>
    T* Listener() const {
        const ConnectionLock lock(db_);
        if (!db_) return nullptr;
        for (const auto& l : listeners_)
            if (auto* t = dynamic_cast<T*>(l.get())) return t;
        auto made = std::make_unique<T>(*this);
        T* t = made.get();
        listeners_.push_back(std::move(made));
        return t;
    }
    // Tells the listeners that the file is stale when another connection has written to it
    // since the last call ("PRAGMA data_version"). False when that cannot be told.
    bool NoticeOtherWrites() const;
    // Tells every listener that what it read may be stale.
    void NotifyStale() const;

private:
    friend class FailureWatch;
    friend class DatabaseTestAccess;  // tests' way to the raw connection (tests/support)
    static void OnPreUpdate(void* self, sqlite3* db, int op, const char* dbName, const char* table,
                            sqlite3_int64 oldKey, sqlite3_int64 newKey);
    static void OnRollback(void* self);
    void FinalizeCached();
    // A failed statement: logged, and noted by this thread's watches on this connection.
    void NoteFailure(const SqlResult& r) const;
    // Before a statement that changes the file: the failure that forbids it (see above), or ok.
    SqlResult WriteRefusal() const;
    // Runs one prepared statement to its end (rows to `onRow`); `refused` tells a write that
    // was not run. Called with the connection's lock held.
    SqlResult Step(sqlite3_stmt* stmt, const RowCallback& onRow, bool& refused) const;
    // The common end of a failed call: the listeners told, the failure noted (unless it is a
    // refusal, which repeats a failure noted already).
    SqlResult Failed(SqlResult r, bool refused = false) const;

    sqlite3* db_ = nullptr;
    std::string path_;
    mutable std::recursive_mutex cacheMutex_;  // held while a cached statement runs
    mutable std::unordered_map<std::string, sqlite3_stmt*> cache_;
    mutable std::atomic<int> busyTimeoutMs_{0};  // read by the busy handler on both threads
    mutable sqlite3_stmt* versionQuery_ = nullptr;  // "PRAGMA data_version;"
    mutable long long dataVersion_ = -1;
    // Guarded by the connection's lock, under which the hooks call them.
    mutable std::vector<std::unique_ptr<ChangeListener>> listeners_;
};

inline constexpr int kBusyTimeoutMs = 5000;

}  // namespace lq
