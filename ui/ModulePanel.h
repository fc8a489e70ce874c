#pragma once
// The module management on the Setting page: ModulList over a ModuleListModel, its double-click,
// "+ Select All", "- Unselect All", the delete button, "Add" and "Import data from old
// version", each done by a ModuleManager; the list is read again on every page show and after
// every change.
#include <QObject>
#include <memory>

#include "modules/ModuleManager.h"

namespace lq {

class ModuleListModel;
class SettingPage;
class TChooseModuleFrm;

class ModulePanel final : public QObject {
    Q_OBJECT
public:
    // The panel must go before `page`. Without a chooser in `services` the panel asks `chooser` (set by SetChooserWindow), or a
    // chooser window of its own.
    ModulePanel(SettingPage& page, const AppContext& ctx, ModuleManagerServices services = {});
    ~ModulePanel() override;

    // The program's one chooser window (created with the other windows at start-up).
    void SetChooserWindow(TChooseModuleFrm* window) { chooserWindow_ = window; }

    ModuleListModel& Model() { return *model_; }
    // SelectedModuleRow: the current line of ModulList, 0 until one is selected.
    int SelectedModuleRow() const;
    void Reload();

private:
    TChooseModuleFrm& Chooser();

    SettingPage& page_;
    AppContext ctx_;
    std::unique_ptr<ModuleListModel> model_;
    std::unique_ptr<ModuleManager> manager_;
    TChooseModuleFrm* chooserWindow_ = nullptr;
    std::unique_ptr<TChooseModuleFrm> ownChooser_;
};

}  // namespace lq
