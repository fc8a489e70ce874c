#include "ui/ModulePanel.h"

#include <QHeaderView>
#include <QTableView>

#include "ui/ModuleListModel.h"
#include "ui/SettingPage.h"
#include "ui/TChooseModuleFrm.h"

namespace lq {

ModulePanel::ModulePanel(SettingPage& page, const AppContext& ctx, ModuleManagerServices services)
    : page_(page), ctx_(ctx), model_(std::make_unique<ModuleListModel>()) {
    if (!services.chooseModule) services.chooseModule = [this] { return Chooser().Choose(); };
    manager_ = std::make_unique<ModuleManager>(ctx_, std::move(services));

    QTableView* view = page_.ModuleList();
    view->setModel(model_.get());
    view->setColumnWidth(0, 40);
    view->setColumnWidth(1, 150);
    view->setColumnWidth(2, 40);

    // Every action ends with the list as the database holds it; the current line stays.
    auto after = [this](auto action) {
        return [this, action]() {
            const int line = SelectedModuleRow();
            action();
            Reload();
            QTableView* v = page_.ModuleList();
            if (line < model_->rowCount()) v->setCurrentIndex(model_->index(line, 0));
        };
    };
    connect(&page_, &SettingPage::ModuleRowCountChanged, this, [this](int) { Reload(); });
    connect(&page_, &SettingPage::ModuleListDoubleClicked, this,
            [this, after](int line) { after([this, line] { manager_->Toggle(line); })(); });
    connect(&page_, &SettingPage::SelectAllModulesClicked, this, after([this] { manager_->SetAll(true); }));
    connect(&page_, &SettingPage::UnselectAllModulesClicked, this, after([this] { manager_->SetAll(false); }));
    connect(&page_, &SettingPage::DeleteModuleClicked, this,
            after([this] { manager_->Delete(SelectedModuleRow()); }));
    connect(&page_, &SettingPage::AddItemsClicked, this, after([this] { manager_->Add(); }));
    connect(&page_, &SettingPage::ImportOldDataClicked, this, after([this] { manager_->ImportOldData(); }));
}

ModulePanel::~ModulePanel() {
    if (page_.ModuleList()->model() == model_.get()) page_.ModuleList()->setModel(nullptr);
}

int ModulePanel::SelectedModuleRow() const {
    const QModelIndex current = page_.ModuleList()->currentIndex();
    return current.isValid() ? current.row() : 0;
}

void ModulePanel::Reload() {
    // After a change that restarts the program the connection is already closed.
    if (!ctx_.db || !ctx_.db->IsOpen()) return;
    model_->Reload(*ctx_.db);  // a failed read is logged by the database and shows no rows
}

TChooseModuleFrm& ModulePanel::Chooser() {
    if (chooserWindow_) return *chooserWindow_;
    if (!ownChooser_) ownChooser_ = std::make_unique<TChooseModuleFrm>(ctx_);
    return *ownChooser_;
}

}  // namespace lq
