#pragma once
// The module management of the Setting page without its widgets: the module list as the
// database holds it, the marks for learning, the deletion of a module, the addition of a
// module through the chooser and the import of the older version's data. A change of the
// lesson data that succeeded ends in a restart; a failed write is told to the learner with
// the engine's message and leaves nothing half done.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/AppContext.h"
#include "core/Database.h"
#include "modules/ImportModule.h"

namespace lq {

class Progress;
class Prompter;

// One line of the module list: a row of `sounds`.
struct ModuleListRow {
    long long ididnt = 0;
    int isigns = 0;
    std::string sfname;
};

// "SELECT ididnt,isigns,sfname FROM sounds ORDER BY ididnt;" (no rows and the engine's failure
// when it fails).
SqlValue<std::vector<ModuleListRow>> ReadModuleList(const Database& db);

// The text of a cell of line `r` (shown through FromName): column 0 "r+1", column 1 the shown
// name (ModuleShownName), column 2 "+" when marked, else " ".
std::string ModuleCellText(const ModuleListRow& row, int r, int column);

// The name shown for a stored module: sfname less its last four characters (".mp3"), in the
// name's own encoding (cp1251, or UTF-8 when an earlier version stored it; shown through FromName).
std::string ModuleShownName(const std::string& sfname);

inline constexpr const char* kQuestionCaption = "What";

struct ModuleManagerServices {
    // The module chooser: the chosen sentence file's bare name, nullopt on Cancel.
    std::function<std::optional<std::string>()> chooseModule;
    // ImportModule's result for a sentence file name (default: ImportModule into ctx).
    std::function<ImportResult(const std::string&)> importModule;
    // Default: RestartProgram.
    std::function<void()> restart;
    Prompter* prompter = nullptr;  // default: AppPrompter()
    Progress* progress = nullptr;  // default: AppProgress()
};

class ModuleManager {
public:
    ModuleManager(const AppContext& ctx, ModuleManagerServices services);
    ModuleManager(const ModuleManager&) = delete;
    ModuleManager& operator=(const ModuleManager&) = delete;

    // The double-click: flips the mark of the module on line `r` (nothing without one).
    void Toggle(int r);
    // "+ Select All" / "- Unselect All".
    void SetAll(bool selected);
    // The delete button: asks "Are you sure to del module '%s'?"; on Yes deletes the module's
    // row and all its sentences in one transaction, compacts the file and restarts.
    void Delete(int r);
    // "Add": the chooser, then the import; restarts only when the import succeeded.
    void Add();
    // "Import data from old version", then the restart when it succeeded.
    void ImportOldData();

private:
    Prompter& Ask() const;
    // Line `r` of the list, read by place; nullopt (nothing said) when there is none.
    std::optional<ModuleListRow> ModuleAt(int r) const;

    AppContext ctx_;
    ModuleManagerServices services_;
};

}  // namespace lq
