#include "ui/TChooseModuleFrm.h"

#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include "core/AppState.h"
#include "modules/ImportModule.h"
#include "modules/ModuleFiles.h"
#include "modules/ModuleFolder.h"
#include "platform/Cp1251.h"
#include "platform/FileNames.h"
#include "platform/Prompter.h"
#include "ui/WidgetFonts.h"
#include "ui_ChooseModuleFrm.h"

namespace lq {

TChooseModuleFrm::TChooseModuleFrm(const AppContext& ctx, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ctx_(ctx),
      ui_(std::make_unique<Ui::ChooseModuleFrm>()) {
    ui_->setupUi(this);
    setFixedSize(310, 316);
    SetFontPixels(this, 11, QStringLiteral("Tahoma"));
    SetFontPixels(ui_->ListBox1, 16, QStringLiteral("Tahoma"));
    ui_->FileName->setVisible(false);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
    connect(ui_->ListBox1, &QListWidget::currentRowChanged, this, [this](int line) { ListBox1Click(line); });
    ui_->BitBtn4->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
}

TChooseModuleFrm::~TChooseModuleFrm() = default;

std::optional<std::string> TChooseModuleFrm::Choose() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    return fileName_;
}

void TChooseModuleFrm::ListModules(bool showAll) {
    const std::string dataDir = JoinPath(ctx_.env ? ctx_.env->ProgramDir : std::string(), kModuleFolder);
    ModuleListing listing;
    if (ctx_.db) listing = lq::ListModules(dataDir, *ctx_.db, showAll);
    {
        const QSignalBlocker block(ui_->ListBox1);
        ui_->ListBox1->clear();
        lines_ = std::move(listing.lines);
        for (const std::string& line : lines_) {
            auto* item = new QListWidgetItem(FromName(line), ui_->ListBox1);
            item->setSizeHint(QSize(0, 19));
        }
    }
    if (!listing.error.ok()) {
        AppPrompter().Show(QStringLiteral("The module list could not be made. SQL error: ") +
                               QString::fromUtf8(listing.error.message.c_str()),
                           QString::fromLatin1(kImportCaption), MsgIcon::Error);
    }
}

void TChooseModuleFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (!placed_) {
        if (const QScreen* s = screen()) move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
        placed_ = true;
    }
    FormShow();
}

void TChooseModuleFrm::FormShow() {
    ListModules(false);
    ui_->BitBtn1->setEnabled(!lines_.empty());
    if (!lines_.empty()) {
        ui_->ListBox1->setCurrentRow(0);
        ListBox1Click(0);
    }
}

void TChooseModuleFrm::ListBox1Click(int line) {
    if (line < 0 || static_cast<size_t>(line) >= lines_.size()) return;
    fileName_ = lines_[static_cast<size_t>(line)];
    ui_->FileName->setText(FromName(fileName_));
}

void TChooseModuleFrm::BitBtn4Click() {
    ListModules(true);
    ui_->BitBtn1->setEnabled(false);
}

}  // namespace lq
