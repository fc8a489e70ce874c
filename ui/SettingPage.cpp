#include "ui/SettingPage.h"

#include <QStyle>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/Settings.h"
#include "pages/SettingValues.h"
#include "platform/Cp1251.h"
#include "ui_TabSheet5.h"

namespace lq {
namespace {

const char* const kHintProperty = "lqHint";

void SetTextIfDifferent(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) edit->setText(text);  // a different text runs the change handler
}

}  // namespace

SettingPage::SettingPage(QWidget* tabSheet, const AppContext& ctx)
    : ctx_(ctx), ui_(std::make_unique<Ui::TabSheet5>()) {
    ui_->setupUi(tabSheet);
    Ui::TabSheet5& u = *ui_;
    QIcon trash = tabSheet->style()->standardIcon(QStyle::SP_TrashIcon);
    if (trash.isNull()) trash = tabSheet->style()->standardIcon(QStyle::SP_DialogDiscardButton);
    u.DelModuleBtn->setIcon(trash);

    CommonSettings* s = ctx_.settings;
    connect(u.AddSoundTimeED, &QLineEdit::textChanged, this, [s](const QString& t) {
        if (s) s->AddTimeSnd.store(ParseAddTimeSnd(ToCp1251(t)));
    });
    connect(u.InputAfterGAED, &QLineEdit::textChanged, this, [s](const QString& t) {
        if (s) s->InputAfter = ParseInputAfter(ToCp1251(t));
    });
    connect(u.FspRB_B, &QRadioButton::toggled, this, [s](bool on) {
        if (on && s) s->FirstSPos = 0;
    });
    connect(u.FspRB_R, &QRadioButton::toggled, this, [s](bool on) {
        if (on && s) s->FirstSPos = 1;
    });
    connect(u.DoInputCB, &QCheckBox::toggled, this, [s](bool on) {
        if (s) s->DoInpWords = on ? 1 : 0;
    });
    connect(u.ShowNxtSntCB, &QCheckBox::toggled, this, [s](bool on) {
        if (s) s->ShowNxtSnt = on ? 1 : 0;
    });
    connect(u.DoAddIptWrCB, &QCheckBox::toggled, this, [this, s](bool on) {
        if (s) s->DoAddInpWr = on ? 1 : 0;
        if (freeWordEdit_) {
            freeWordEdit_->setEnabled(on);
            freeWordEdit_->setVisible(on);
        }
    });
    for (QRadioButton* rb : {u.WW_RB, u.Ln_RB, u.QV_RB}) {
        connect(rb, &QRadioButton::toggled, this, [this, rb](bool on) {
            if (on) TranslatorClicked(rb);
        });
    }

    connect(u.AddItemsBtn, &QPushButton::clicked, this, &SettingPage::AddItemsClicked);
    connect(u.BitBtn1, &QPushButton::clicked, this, &SettingPage::ImportOldDataClicked);
    connect(u.SpeedButton6, &QToolButton::clicked, this, &SettingPage::SelectAllModulesClicked);
    connect(u.SpeedButton7, &QToolButton::clicked, this, &SettingPage::UnselectAllModulesClicked);
    connect(u.DelModuleBtn, &QToolButton::clicked, this, &SettingPage::DeleteModuleClicked);
    connect(u.ModulList, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) emit ModuleListDoubleClicked(index.row());
    });
    connect(u.SpeedButton5, &QToolButton::clicked, this, &SettingPage::SoundCheckVariablesClicked);
    connect(u.SpeedButton2, &QToolButton::clicked, this, &SettingPage::SoundCheckSound1Clicked);
    connect(u.SpeedButton4, &QToolButton::clicked, this, &SettingPage::SoundCheckSound2Clicked);

    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{u.SpeedButton5, u.SpeedButton2, u.SpeedButton4})
        b->setProperty(kHintProperty, b->toolTip());
    SetSoundCheckAvailable(false);
    u.SpeedButton8->setVisible(false);
}

SettingPage::~SettingPage() = default;

QPlainTextEdit* SettingPage::SoundCheckMemo() const { return ui_->Memo1; }

QTableView* SettingPage::ModuleList() const { return ui_->ModulList; }

void SettingPage::SetAvailable(QAbstractButton* button, bool available, const QString& reason) {
    button->setEnabled(available);
    const QString hint = button->property(kHintProperty).toString();
    if (available) button->setToolTip(hint);
    else button->setToolTip(hint.isEmpty() ? reason : hint + QLatin1Char('\n') + reason);
}

void SettingPage::SetSoundCheckAvailable(bool available) {
    const QString why = QStringLiteral("The sound check is not available in this build.");
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{ui_->SpeedButton5, ui_->SpeedButton2, ui_->SpeedButton4})
        SetAvailable(b, available, why);
}

void SettingPage::TranslatorClicked(QObject* sender) {
    if (!ctx_.settings) return;
    if (sender == ui_->WW_RB) ctx_.settings->Translater = kTranslaterWordWeb;
    else if (sender == ui_->Ln_RB) ctx_.settings->Translater = kTranslaterLingvo;
    else if (sender == ui_->QV_RB) ctx_.settings->Translater = kTranslaterLibrary;
}

void SettingPage::ShowStartupSettings() {
    if (!ctx_.settings) return;
    const CommonSettings& s = *ctx_.settings;
    if (s.Translater == kTranslaterWordWeb) ui_->WW_RB->setChecked(true);
    else if (s.Translater == kTranslaterLingvo) ui_->Ln_RB->setChecked(true);
    else if (s.Translater == kTranslaterLibrary) ui_->QV_RB->setChecked(true);
    if (s.FirstSPos == 0) ui_->FspRB_B->setChecked(true);
    else if (s.FirstSPos == 1) ui_->FspRB_R->setChecked(true);
}

void SettingPage::OnShow() {
    Ui::TabSheet5& u = *ui_;
    if (CommonSettings* s = ctx_.settings) {
        u.DoInputCB->setChecked(s->DoInpWords != 0);
        SetTextIfDifferent(u.InputAfterGAED, QString::number(s->InputAfter));
        SetTextIfDifferent(u.AddSoundTimeED, QString::fromLatin1(FormatAddTimeSnd(s->AddTimeSnd.load()).c_str()));
        u.ShowNxtSntCB->setChecked(s->ShowNxtSnt != 0);
        u.DoAddIptWrCB->setChecked(s->DoAddInpWr != 0);
    }
    u.Memo1->clear();
    if (ctx_.db && ctx_.row) {
        ctx_.row->CountResult = 0;
        ctx_.db->Query("SELECT count(*) FROM sounds;", *ctx_.row);
        moduleRows_ = ctx_.row->CountResult;
    }
    emit ModuleRowCountChanged(moduleRows_);
    u.SpeedButton8->setVisible(ctx_.env && ctx_.env->DebugMode);
}

}  // namespace lq
