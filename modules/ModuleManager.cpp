#include "modules/ModuleManager.h"

#include <QString>

#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Progress.h"
#include "core/Restart.h"
#include "core/Settings.h"
#include "core/Transaction.h"
#include "core/WriteReports.h"
#include "modules/ImportModule.h"
#include "modules/OldDataImport.h"
#include "platform/CNumbers.h"
#include "platform/Cp1251.h"
#include "platform/Prompter.h"

namespace lq {

SqlValue<std::vector<ModuleListRow>> ReadModuleList(const Database& db) {
    SqlValue<std::vector<ModuleListRow>> rows;
    rows.error = db.Query("SELECT ididnt,isigns,sfname FROM sounds ORDER BY ididnt;", [&](int n, char** v, char**) {
        if (n < 3) return;
        ModuleListRow row;
        row.ididnt = v[0] ? CAtoll(v[0]) : 0;
        row.isigns = v[1] ? CAtoi(v[1]) : 0;
        row.sfname = v[2] ? v[2] : "";
        rows.value.push_back(std::move(row));
    });
    if (!rows.ok()) rows.value.clear();
    return rows;
}

std::string ModuleShownName(const std::string& sfname) {
    return sfname.size() > 4 ? sfname.substr(0, sfname.size() - 4) : std::string();
}

std::string ModuleCellText(const ModuleListRow& row, int r, int column) {
    switch (column) {
        case 0: return std::to_string(r + 1);
        case 1: return ModuleShownName(row.sfname);
        case 2: return row.isigns != 0 ? "+" : " ";
        default: return {};
    }
}

ModuleManager::ModuleManager(const AppContext& ctx, ModuleManagerServices services)
    : ctx_(ctx), services_(std::move(services)) {
    if (!services_.importModule) {
        services_.importModule = [this](const std::string& name) {
            LearnState none;
            return lq::ImportModule(*ctx_.db, ctx_.env->ProgramDir, name, ctx_.state ? *ctx_.state : none);
        };
    }
    if (!services_.restart) services_.restart = [] { RestartProgram(); };
}

Prompter& ModuleManager::Ask() const { return services_.prompter ? *services_.prompter : AppPrompter(); }

std::optional<ModuleListRow> ModuleManager::ModuleAt(int r) const {
    if (r < 0) return std::nullopt;
    CurrentRow row;
    row.ididnt = 0;
    const SqlResult res = ctx_.db->QueryCached("SELECT * FROM sounds ORDER BY ididnt LIMIT ?,1;", {r}, row);
    if (!res.ok()) {
        ReportFailedWrite("The module list could not be read", res, &Ask());
        return std::nullopt;
    }
    if (row.ididnt < 1) return std::nullopt;
    return ModuleListRow{row.ididnt, row.isigns, row.sfname};
}

void ModuleManager::Toggle(int r) {
    const std::optional<ModuleListRow> m = ModuleAt(r);
    if (!m) return;
    const SqlResult res = ctx_.db->ExecCached(m->isigns == 0 ? "UPDATE sounds set isigns=1 WHERE ididnt=?;"
                                                                 : "UPDATE sounds set isigns=0 WHERE ididnt=?;",
                                              {m->ididnt});
    if (!res.ok()) ReportFailedWrite("The module's mark was not changed", res, &Ask());
}

void ModuleManager::SetAll(bool selected) {
    const SqlResult res = ctx_.db->Exec(selected ? "UPDATE sounds SET isigns=1;" : "UPDATE sounds SET isigns=0;");
    if (!res.ok()) ReportFailedWrite("The marks were not changed", res, &Ask());
}

void ModuleManager::Delete(int r) {
    const std::optional<ModuleListRow> m = ModuleAt(r);
    if (!m) return;
    const QString question = QStringLiteral("Are you sure to del module '%1'?")
                                 .arg(FromName(ModuleShownName(m->sfname)));
    if (Ask().Show(question, QString::fromLatin1(kQuestionCaption), MsgIcon::Question, MsgButtons::YesNo) !=
        MsgResult::Yes)
        return;

    Database& db = *ctx_.db;
    Transaction txn(db);
    SqlResult res = txn.Begin();
    if (res.ok()) res = db.ExecCached("DELETE FROM sounds WHERE ididnt=?;", {m->ididnt});
    if (res.ok()) res = db.ExecCached("DELETE FROM items2 WHERE isound=?;", {m->ididnt});
    if (res.ok()) res = txn.Commit();
    if (!res.ok()) {
        txn.Rollback();
        ReportFailedWrite("The module was not deleted (nothing was changed)", res, &Ask());
        return;
    }
    // The deletion stands; a failed compaction loses nothing.
    if (const SqlResult vacuum = db.Exec("VACUUM;"); !vacuum.ok())
        ReportFailedWrite("The module was deleted, but the database file was not compacted", vacuum, &Ask());
    services_.restart();
}

void ModuleManager::Add() {
    if (!services_.chooseModule) return;
    const std::optional<std::string> name = services_.chooseModule();
    if (!name) return;
    if (services_.importModule(*name) == kImportDone) services_.restart();
}

void ModuleManager::ImportOldData() {
    const int inputAfter = ctx_.settings ? ctx_.settings->InputAfter : 12;
    Progress& progress = services_.progress ? *services_.progress : AppProgress();
    if (RunOldDataImport(*ctx_.db, ctx_.env->ProgramDir, inputAfter, progress, Ask())) services_.restart();
}

}  // namespace lq
