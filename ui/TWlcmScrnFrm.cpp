#include "ui/TWlcmScrnFrm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QScreen>

#include "core/FileVersion.h"
#include "platform/Prompter.h"
#include "ui/WidgetFonts.h"
#include "ui_WlcmScrnFrm.h"

namespace lq {

QString ProgramVersionText() {
    return QString::fromStdString(FileVersionText());
}

TWlcmScrnFrm::TWlcmScrnFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::WlcmScrnFrm>()) {
    ui_->setupUi(this);
    SetFontPixels(this, 11);
    SetFontPixels(ui_->Label5, 24);
    SetFontPixels(ui_->VersionLbl, 24);
    SetFontPixels(ui_->StatusMem, 11);
    ui_->OkBtn->hide();
    ui_->OkBtn->setEnabled(false);
    connect(ui_->OkBtn, &QPushButton::clicked, this, &TWlcmScrnFrm::OkBtnClick);
    setFixedSize(335, 193);
}

TWlcmScrnFrm::~TWlcmScrnFrm() = default;

std::unique_ptr<TWlcmScrnFrm> TWlcmScrnFrm::Open() {
    auto w = std::make_unique<TWlcmScrnFrm>();
    w->ClearStatus();
    w->SetVersionText(ProgramVersionText());
    w->ui_->StatusMem->appendPlainText(QString::fromLatin1(kStatusOpeningFiles));
    w->ShowNow();
    return w;
}

void TWlcmScrnFrm::ClearStatus() { ui_->StatusMem->clear(); }

void TWlcmScrnFrm::SetVersionText(const QString& text) { ui_->VersionLbl->setText(text); }

void TWlcmScrnFrm::AddStatusLine(const QString& line) {
    ui_->StatusMem->appendPlainText(line);
    repaint();
}

void TWlcmScrnFrm::ShowNow() {
    const bool first = !isVisible();
    if (first) {
        if (const QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    show();
    if (HaveDisplay()) raise();  // the offscreen platform has no stacking order
    // A window that has just been mapped needs the event loop once before it can paint.
    if (first) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void TWlcmScrnFrm::Finish() {
    closing_ = true;
    close();
}

QString TWlcmScrnFrm::StatusText() const { return ui_->StatusMem->toPlainText(); }

void TWlcmScrnFrm::OkBtnClick() { Finish(); }

void TWlcmScrnFrm::closeEvent(QCloseEvent* event) {
    if (closing_) event->accept();
    else event->ignore();
}

}  // namespace lq
