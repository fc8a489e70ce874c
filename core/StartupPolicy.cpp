#include "core/StartupPolicy.h"

#include <QString>

#include <filesystem>
#include <system_error>

#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "platform/Prompter.h"

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
