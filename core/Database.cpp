// The pre-update hook's interface is declared only when this is defined; the library itself must
// have been built with it (RowHooks() asks).
#ifndef SQLITE_ENABLE_PREUPDATE_HOOK
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#endif
#include "core/Database.h"

#include <QtGlobal>

#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/Log.h"
#include "platform/CNumbers.h"
#include "platform/Prompter.h"

namespace lq {

std::string Sql(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    char* text = sqlite3_vmprintf(format, ap);
    va_end(ap);
    if (!text) return std::string();
    std::string out(text);
    sqlite3_free(text);
    return out;
}

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, from.size(), from) == 0) {
            out.append(to);
            i += from.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

enum class Kind { Int, IntAggregate, FloatAggregate, Glrang, Float, Text, EscapedText };

struct ColumnField {
    const char* name;
    Kind kind;
    int CurrentRow::*intField;
    float CurrentRow::*floatField;
    std::string CurrentRow::*textField;
};

constexpr ColumnField I(const char* n, int CurrentRow::*f) { return {n, Kind::Int, f, nullptr, nullptr}; }
constexpr ColumnField T(const char* n, std::string CurrentRow::*f) { return {n, Kind::Text, nullptr, nullptr, f}; }
constexpr ColumnField E(const char* n, std::string CurrentRow::*f) { return {n, Kind::EscapedText, nullptr, nullptr, f}; }

const ColumnField kColumns[] = {
    T("sfname", &CurrentRow::sfname),
    I("isigns", &CurrentRow::isigns),
    I("count(*)", &CurrentRow::CountResult),
    I("ididnt", &CurrentRow::ididnt),
    I("isound", &CurrentRow::isound),
    I("isndbg", &CurrentRow::isndbg),
    I("isndfn", &CurrentRow::isndfn),
    I("irange", &CurrentRow::irange),
    I("irng_2", &CurrentRow::irng_2),
    I("iaansw", &CurrentRow::iaansw),
    I("igansw", &CurrentRow::igansw),
    T("dtansw", &CurrentRow::dtansw),
    T("dtansn", &CurrentRow::dtansn),
    I("iplace", &CurrentRow::iplace),
    I("isntbf", &CurrentRow::isntbf),
    I("isntaf", &CurrentRow::isntaf),
    E("strbef", &CurrentRow::strbef),
    E("stract", &CurrentRow::stract),
    E("straft", &CurrentRow::straft),
    E("strtrn", &CurrentRow::strtrn),
    T("strind", &CurrentRow::strind),
    I("ipicnm", &CurrentRow::ipicnm),
    I("ipic_1", &CurrentRow::ipic_1),
    I("ipic_2", &CurrentRow::ipic_2),
    I("ipic_3", &CurrentRow::ipic_3),
    I("ipic_4", &CurrentRow::ipic_4),
    I("ipic_5", &CurrentRow::ipic_5),
    {"glrang", Kind::Glrang, nullptr, &CurrentRow::glrang, nullptr},
    T("dtdate", &CurrentRow::dtdate),
    I("isentn", &CurrentRow::isentn),
    {"glansn", Kind::Float, nullptr, &CurrentRow::glansn, nullptr},
    I("istate", &CurrentRow::istate),
    I("icount", &CurrentRow::icount),
    I("ianswr", &CurrentRow::ianswr),
    T("twordd", &CurrentRow::twordd),
    {"max(igansw)", Kind::IntAggregate, nullptr, nullptr, nullptr},
    {"sum(irng_2)", Kind::IntAggregate, nullptr, nullptr, nullptr},
    {"max(glrang)", Kind::FloatAggregate, nullptr, nullptr, nullptr},
    {"min(glrang)", Kind::FloatAggregate, nullptr, nullptr, nullptr},
};

// The innermost failure watch of this thread (each one links to the one around it).
thread_local FailureWatch* tInnermostWatch = nullptr;

const char* const kSchema[] = {
    "CREATE TABLE answcn (ididnt integer primary key autoincrement, glrang text, isentn integer, dtdate datetime, "
    "glansn text);",
    "CREATE INDEX dtdata on answcn (dtdate);",
    "CREATE TABLE items2 (ididnt integer primary key autoincrement, isound integer, isndbg integer, isndfn integer, "
    "isigns integer, irange integer, irng_2 integer, iaansw integer, igansw integer, dtansw datetime, dtansn "
    "datetime, iplace integer, isntbf integer, isntaf integer, strbef text, stract text, straft text, strtrn text, "
    "strind text, ipicnm integer, ipic_1 integer, ipic_2 integer, ipic_3 integer, ipic_4 integer, ipic_5 integer);",
    "CREATE INDEX igansw on items2 (igansw);",
    "CREATE INDEX iplace on items2 (iplace, ididnt);",
    "CREATE INDEX iranges on items2 (irng_2, igansw);",
    "CREATE TABLE sounds (ididnt integer primary key autoincrement, isigns integer, icodes integer, sfname text);",
    "CREATE TABLE wrdstt (ididnt integer primary key autoincrement, icount integer, ianswr interger, istate "
    "integer, twordd text);",
    "CREATE INDEX ianswr ON wrdstt (ianswr);",
    "CREATE INDEX icount ON wrdstt (icount);",
    "CREATE INDEX twordd on wrdstt (twordd);",
};

const char* const kSpeedIndexes[] = {
    "CREATE INDEX IF NOT EXISTS igansw_isound on items2 (igansw, isound);",
    "CREATE INDEX IF NOT EXISTS igansw_iplace on items2 (igansw, iplace);",
};

// "CREATE TABLE x" -> "CREATE TABLE IF NOT EXISTS x" (likewise for indexes).
std::string IfNotExists(std::string_view statement) {
    for (std::string_view head : {std::string_view("CREATE TABLE "), std::string_view("CREATE INDEX ")}) {
        if (statement.substr(0, head.size()) == head)
            return std::string(head) + "IF NOT EXISTS " + std::string(statement.substr(head.size()));
    }
    return std::string(statement);
}

}  // namespace

SqlResult TransactionEndedByEngine() { return {SQLITE_ABORT, "the database rolled the transaction back"}; }

std::string EscapeApostrophes(std::string_view text) { return ReplaceAll(text, "'", "#*#"); }
std::string UnescapeApostrophes(std::string_view text) { return ReplaceAll(text, "#*#", "'"); }

void StoreCurrentRow(CurrentRow& row, int columnCount, char** values, char** names) {
    for (int i = 0; i < columnCount; ++i) {
        const char* value = values[i];
        if (!value || !names[i]) continue;
        for (const ColumnField& c : kColumns) {
            if (std::strcmp(c.name, names[i]) != 0) continue;
            switch (c.kind) {
                case Kind::Int: row.*c.intField = CAtoi(value); break;
                case Kind::IntAggregate: row.IntAggregate = CAtoi(value); break;
                case Kind::FloatAggregate: row.FloatAggregate = static_cast<float>(CAtof(value)); break;
                case Kind::Glrang:
                    row.glrang = static_cast<float>(CAtof(value));
                    row.GlrangSum += row.glrang;
                    break;
                case Kind::Float: row.*c.floatField = static_cast<float>(CAtof(value)); break;
                case Kind::Text: row.*c.textField = value; break;
                case Kind::EscapedText: row.*c.textField = UnescapeApostrophes(value); break;
            }
            break;
        }
    }
}

const char* const* SchemaStatements(int* count) {
    if (count) *count = static_cast<int>(std::size(kSchema));
    return kSchema;
}

const char* const* SpeedIndexStatements(int* count) {
    if (count) *count = static_cast<int>(std::size(kSpeedIndexes));
    return kSpeedIndexes;
}

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
    if (rc == SQLITE_DONE) return {};
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
    SqlResult r;
    r.changes = sqlite3_changes(db_);
    return r;
}

SqlResult Database::WriteRefusal() const {
    for (const FailureWatch* w = tInnermostWatch; w; w = w->outer_) {
        if (&w->db_ != this || !w->guardsWrites_) continue;
        if (w->Failed()) return w->first_;
        if (w->expectsTransaction_ && sqlite3_get_autocommit(db_)) {
            // Ended by the engine without a failure this thread saw (the other thread's
            // statement, or one run past this class): the operation is over.
            const SqlResult ended = TransactionEndedByEngine();
            NoteFailure(ended);
            return ended;
        }
    }
    return {};
}

SqlResult Database::Failed(SqlResult r, bool refused) const {
    if (refused) {
        qCWarning(lcCore, "Not run after an earlier failure: %s", r.message.c_str());
        // Watches begun after the failure learn of it too.
        for (FailureWatch* w = tInnermostWatch; w; w = w->outer_)
            if (&w->db_ == this && w->first_.ok()) w->first_ = r;
    } else {
        // A failed statement's own changes are undone without any row report.
        NotifyStale();
        NoteFailure(r);
    }
    return r;
}

void Database::EnsureSpeedIndexes() {
    // Best effort: a read-only or foreign file works as before, only slower.
    std::string script = "BEGIN;";
    for (const char* statement : kSpeedIndexes) script += statement;
    script += "COMMIT;";
    if (!Exec(script).ok() && !sqlite3_get_autocommit(db_)) Exec("ROLLBACK;");
}

long long Database::LastInsertRowId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

void Database::NoteFailure(const SqlResult& r) const {
    qCWarning(lcCore, "SQL error: %s", r.message.c_str());
    for (FailureWatch* w = tInnermostWatch; w; w = w->outer_)
        if (&w->db_ == this && w->first_.ok()) w->first_ = r;
}

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

FailureWatch::FailureWatch(const Database& db) : db_(db), outer_(tInnermostWatch) { tInnermostWatch = this; }

FailureWatch::~FailureWatch() {
    // Normally the innermost one goes first; one kept in a container may go out of turn.
    if (tInnermostWatch == this) {
        tInnermostWatch = outer_;
        return;
    }
    for (FailureWatch* w = tInnermostWatch; w; w = w->outer_) {
        if (w->outer_ == this) {
            w->outer_ = outer_;
            return;
        }
    }
}

SqlResult Database::EnsureSchema() {
    std::string script = "BEGIN;";
    for (const char* statement : kSchema) script += IfNotExists(statement);
    script += "COMMIT;";
    SqlResult r = Exec(script);
    if (!r.ok()) Exec("ROLLBACK;");
    return r;
}

}  // namespace lq

// ---- Opening and upkeep --------------------------------------------------------------

namespace lq {
namespace {

void ReportOpenFailure(const std::string& message) {
    AppPrompter().Show(QString::fromUtf8("Can't open database: ") + QString::fromUtf8(message.c_str()),
                       QStringLiteral("Ooops...."), MsgIcon::Error);
}

std::string DefaultPath(const std::string& programDir) {
    return programDir.empty() ? std::string(kDefaultDatabaseName) : programDir + "/" + kDefaultDatabaseName;
}

// Whether two names lead to one file: the same file when both exist, else the same canonical
// path (as far as the folders exist).
bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ea, eb;
    if (fs::exists(a, ea) && fs::exists(b, eb)) {
        std::error_code e;
        const bool same = fs::equivalent(a, b, e);
        if (!e) return same;
    }
    const fs::path ca = fs::weakly_canonical(fs::absolute(a, ea), ea);
    const fs::path cb = fs::weakly_canonical(fs::absolute(b, eb), eb);
    if (ea || eb) return a == b;
    return ca == cb;
}

}  // namespace

bool OpenAtStartup(Database& db, const std::string& path, const std::string& programDir) {
    SqlResult opened = db.Open(path);
    if (opened.ok()) return true;
    ReportOpenFailure(opened.message);
    const std::string fallback = DefaultPath(programDir);
    if (SameFile(fallback, path)) return false;
    opened = db.Open(fallback);
    if (opened.ok()) return true;
    ReportOpenFailure(opened.message);
    return false;
}

bool OpenDatabaseAndTotals(Database& db, const std::string& programDir, LearnState& state, CurrentRow& row) {
    if (!db.IsOpen() && !db.Open(DefaultPath(programDir)).ok()) return false;
    row.CountResult = 0;
    db.Query("SELECT count(*) FROM items2;", row);
    state.ItemCount = row.CountResult;
    db.Query("SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 0,1;", row);
    state.Score = row.glrang;
    return true;
}

int PruneAnswerHistory(Database& db, CurrentRow& row) {
    row.CountResult = 0;
    db.Query("SELECT count(*) FROM answcn;", row);
    int count = row.CountResult;
    if (count > 16640) {
        db.Query("SELECT * FROM answcn ORDER BY dtdate DESC LIMIT 16384,1;", row);
        db.ExecCached("DELETE FROM answcn WHERE dtdate<?;", {row.dtdate});
        db.Exec("VACUUM;");
        row.CountResult = 0;
        db.Query("SELECT count(*) FROM answcn;", row);
        count = row.CountResult;
    }
    return count;
}

}  // namespace lq
