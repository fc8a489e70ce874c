#pragma once
// The lesson database: one SQLite connection shared by the user-interface thread and the sound
// thread (serialized mode), the schema, the statement convention and the row store.
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

// sqlite3_mprintf into a std::string ("%q" doubles apostrophes, "%Q" adds quotes or NULL, "%lld" ...).
std::string Sql(const char* format, ...);

// Stored-text escapes: an apostrophe inside sentence texts is stored as "#*#".
std::string EscapeApostrophes(std::string_view text);    // "'" -> "#*#"
std::string UnescapeApostrophes(std::string_view text);  // "#*#" -> "'"

// One value per known column name of the four tables, plus the aggregates.
struct CurrentRow {
    std::string sfname;
    int isigns = 1;
    int CountResult = 0;  // "count(*)"
    int ididnt = -1;
    int isound = -1;
    int isndbg = 0, isndfn = 0, irange = 0, irng_2 = 0, iaansw = 0, igansw = 0;
    std::string dtansw, dtansn;
    int iplace = 0;
    int isntbf = -1, isntaf = -1;
    std::string strbef, stract, straft, strtrn, strind;
    int ipicnm = 0, ipic_1 = 0, ipic_2 = 0, ipic_3 = 0, ipic_4 = 0, ipic_5 = 0;
    float glrang = 0.0f;
    std::string dtdate;
    int isentn = 0;
    float glansn = 0.0f;
    int istate = 0, icount = 0, ianswr = 0;
    std::string twordd;
    float GlrangSum = 0.0f;
    int IntAggregate = 0;      // "max(igansw)", "sum(irng_2)"
    float FloatAggregate = 0;  // "max(glrang)", "min(glrang)"
};

// The row callback: each non-NULL column of a row goes into the field of its name.
void StoreCurrentRow(CurrentRow& row, int columnCount, char** values, char** names);

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

// What a write inside an operation gets once the engine has ended the operation's transaction
// by itself (the statement that made it do so may have been another thread's).
SqlResult TransactionEndedByEngine();

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
    // What was read may no longer be so: a transaction was rolled back, a statement failed (its
    // partial changes are undone without a row report), or another connection wrote to the
    // file (found by Database::NoticeOtherWrites).
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
    // file really is a database, and ensures the schema. On failure returns false with the
    // engine's code and text and leaves no connection.
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

// While it lives, remembers the first statement that failed on `db` in the constructing thread
// (through Exec, Query and the cached calls; the other thread's statements are not seen). Lets
// an operation of many statements find out whether all of them worked.
//
// A Transaction holds one that also guards the operation's writes: once it has seen a failure,
// or while it expects a transaction that the connection no longer has, the writes of this thread
// on `db` are not run (see Database).
class FailureWatch {
public:
    explicit FailureWatch(const Database& db);
    ~FailureWatch();
    FailureWatch(const FailureWatch&) = delete;
    FailureWatch& operator=(const FailureWatch&) = delete;

    bool Failed() const { return !first_.ok(); }
    const SqlResult& First() const { return first_; }

private:
    friend class Database;
    friend class Transaction;
    const Database& db_;
    FailureWatch* outer_;
    SqlResult first_;
    bool guardsWrites_ = false;       // a failure stops this thread's later writes
    bool expectsTransaction_ = false;  // the connection must be inside a transaction for a write
};

// The schema statements exactly as the database stores them in sqlite_master.
const char* const* SchemaStatements(int* count);

// Indexes added to every file on opening so that the learning step's reference queries are
// seeks. SQLite keeps them up to date for any program that writes the file, also one that does
// not know them; they change no statement's result. Both lead with igansw so that no statement
// that filters on isound or dtansn and orders by iplace is drawn away from the iplace index.
const char* const* SpeedIndexStatements(int* count);

struct LearnState;

inline constexpr const char* kDefaultDatabaseName = "QV_01.db";

// The windowed start-up's open of `path`. When it cannot be opened the learner is told
// ("Can't open database: %s") and QV_01.db in `programDir` is opened instead, unless that is
// the same file (so a broken file is reported once). False when no connection could be had at
// all (that has been reported too).
bool OpenAtStartup(Database& db, const std::string& path, const std::string& programDir);

// Opens `programDir`/QV_01.db when no connection is open, then reads ItemCount and Score
// (an empty history leaves Score as it was). False when there is no connection.
bool OpenDatabaseAndTotals(Database& db, const std::string& programDir, LearnState& state, CurrentRow& row);

// Keeps the 16385 newest rows of the score history (and those sharing the boundary date) once
// it holds more than 16640; returns the row count afterwards.
int PruneAnswerHistory(Database& db, CurrentRow& row);

}  // namespace lq
