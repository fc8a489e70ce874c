#pragma once
// The Setting page (TabSheet5): the learning options of CommonSettings, written the moment a
// control changes. The page also holds the groups of the module list ("Add Items", "Items
// List") and of the sound check ("Sound Check"), whose buttons are reported as signals to the
// parts that own them; until the sound check declares itself available its buttons stay
// disabled and say why.
#include <QString>

#include <memory>

#include "core/AppContext.h"
#include "ui/Page.h"

namespace Ui {
class TabSheet5;
}

class QAbstractButton;
class QPlainTextEdit;
class QTableView;
class QWidget;

namespace lq {

class SettingPage : public Page {
    Q_OBJECT
public:
    SettingPage(QWidget* tabSheet, const AppContext& ctx);
    ~SettingPage() override;

    // TabSheet5Show: fills the controls (which runs their handlers, so the clamps apply), clears
    // the sound-check memo, counts the modules and shows SpeedButton8 in debug mode only.
    void OnShow() override;

    // Start-up, after the settings were read: selects the translator and answer-field radio
    // buttons (their handlers set the same values).
    void ShowStartupSettings();

    // The Learn page's free word edit (InpWrdED0): enabled and visible exactly while
    // "Input next word in sentence" is checked.
    void SetFreeWordEdit(QWidget* edit) { freeWordEdit_ = edit; }

    // The owner of the sound check switches its buttons on once it is connected.
    void SetSoundCheckAvailable(bool available);

    QPlainTextEdit* SoundCheckMemo() const;  // Memo1
    QTableView* ModuleList() const;          // ModulList
    int ModuleRowCount() const { return moduleRows_; }

    // The shared handler of WW_RB, Ln_RB and QV_RB: Translater 0, 1 or 2; another sender changes
    // nothing.
    void TranslatorClicked(QObject* sender);

signals:
    // "Add Items" and "Items List" (module management).
    void AddItemsClicked();
    void ImportOldDataClicked();
    void SelectAllModulesClicked();
    void UnselectAllModulesClicked();
    void DeleteModuleClicked();
    void ModuleListDoubleClicked(int line);  // a line of ModulList (never an empty place)
    void ModuleRowCountChanged(int rows);  // each time the page is shown: the list is read again
    // "Sound Check".
    void SoundCheckVariablesClicked();
    void SoundCheckSound1Clicked();
    void SoundCheckSound2Clicked();

private:
    void SetAvailable(QAbstractButton* button, bool available, const QString& reason);

    AppContext ctx_;
    std::unique_ptr<Ui::TabSheet5> ui_;
    QWidget* freeWordEdit_ = nullptr;
    int moduleRows_ = 0;
};

}  // namespace lq
