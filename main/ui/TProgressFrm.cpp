#include "main/ui/TProgressFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <algorithm>

#include "platform/Cp1251.h"
#include "main/ui/WidgetFonts.h"
#include "platform/Prompter.h"
#include "ui_ProgressFrm.h"

namespace lq {

TProgressFrm::TProgressFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::ProgressFrm>()) {
    ui_->setupUi(this);
    SetFontPixels(this, 11);
    SetFontPixels(ui_->Label1, 16);
    SetFontPixels(ui_->Label2, 16);
    setFixedSize(459, 142);
}

TProgressFrm::~TProgressFrm() = default;

void TProgressFrm::ShowProgress(const QString& text, int position, int maximum) {
    ui_->Label1->setText(text);
    // Maximum first: the bar ignores a value outside its range. A maximum of 0 would turn the
    // bar into a busy indicator, so it gets the range 0..1 then.
    const int top = maximum > 0 ? maximum : 1;
    ui_->PB->setMaximum(top);
    ui_->PB->setValue(maximum > 0 ? std::clamp(position, 0, top) : 0);
    ui_->Label2->setText(QString::fromLatin1(ProgressPercentText(position, maximum).c_str()));

    const bool first = !isVisible();
    if (first && !placed_) {
        if (const QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
        placed_ = true;
    }
    show();
    if (HaveDisplay()) raise();  // the offscreen platform has no stacking order
    // A window that has just been mapped needs the event loop once before it can paint.
    if (first) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void TProgressFrm::HideProgress() { hide(); }

void TProgressFrm::closeEvent(QCloseEvent* event) { event->ignore(); }

ProgressWindow::ProgressWindow() = default;
ProgressWindow::~ProgressWindow() = default;

TProgressFrm* ProgressWindow::Create() {
    if (!frm_ && qobject_cast<QApplication*>(QCoreApplication::instance())) frm_ = std::make_unique<TProgressFrm>();
    return frm_.get();
}

void ProgressWindow::ShowProgress(const std::string& text, int position, int maximum) {
    if (TProgressFrm* w = Create()) w->ShowProgress(FromCp1251(text), position, maximum);
}

void ProgressWindow::HideProgress() {
    if (frm_) frm_->HideProgress();
}

}  // namespace lq
