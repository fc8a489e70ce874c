#include "ui/TProgressFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "platform/Cp1251.h"
#include "platform/Prompter.h"
#include "ui/WidgetFonts.h"
#include "ui_ProgressFrm.h"

namespace lq {

TProgressFrm::TProgressFrm(QWidget* parent, ProgressRepaintThrottle::Clock clock)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::ProgressFrm>()),
      throttle_(std::move(clock)) {
    ui_->setupUi(this);
    SetFontPixels(this, 11);
    SetFontPixels(ui_->Label1, 16);
    SetFontPixels(ui_->Label2, 16);
    setFixedSize(459, 142);
    trailing_.setSingleShot(true);
    connect(&trailing_, &QTimer::timeout, this, &TProgressFrm::PaintPendingReport);
}

TProgressFrm::~TProgressFrm() = default;

void TProgressFrm::ShowProgress(const QString& text, int position, int maximum) {
    const bool textChanged = ui_->Label1->text() != text;
    ui_->Label1->setText(text);
    // Maximum first: the bar ignores a value outside its range. A maximum of 0 would turn the
    // bar into a busy indicator, so it gets the range 0..1 then. The bar paints itself at once
    // when its value moves by a pixel; here only the window's own repaint below paints it.
    const int top = maximum > 0 ? maximum : 1;
    ui_->PB->setUpdatesEnabled(false);
    ui_->PB->setMaximum(top);
    ui_->PB->setValue(maximum > 0 ? std::clamp(position, 0, top) : 0);
    ui_->PB->setUpdatesEnabled(true);
    ui_->Label2->setText(QString::fromLatin1(ProgressPercentText(position, maximum).c_str()));

    const bool first = !isVisible();
    if (first) {
        throttle_.Restart();
        if (!placed_) {
            if (const QScreen* s = screen()) {
                const QRect area = s->availableGeometry();
                move(area.center() - QPoint(width() / 2, height() / 2));
            }
            placed_ = true;
        }
        show();
        if (HaveDisplay()) raise();  // the offscreen platform has no stacking order
        // A window that has just been mapped needs the event loop once before it can paint.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (throttle_.Report(position, maximum, textChanged)) {
        trailing_.stop();
        repaint();
    } else if (throttle_.Pending() && !trailing_.isActive()) {
        trailing_.start(throttle_.UntilDue());
    }
}

void TProgressFrm::PaintPendingReport() {
    if (!throttle_.Pending() || !isVisible()) return;
    repaint();
    throttle_.Painted();
}

void TProgressFrm::HideProgress() {
    trailing_.stop();
    PaintPendingReport();
    hide();
}

void TProgressFrm::closeEvent(QCloseEvent* event) { event->ignore(); }

ProgressWindow::ProgressWindow(ProgressRepaintThrottle::Clock clock) : clock_(std::move(clock)) {}
ProgressWindow::~ProgressWindow() = default;

TProgressFrm* ProgressWindow::Create() {
    if (!frm_ && qobject_cast<QApplication*>(QCoreApplication::instance())) frm_ = std::make_unique<TProgressFrm>(nullptr, clock_);
    return frm_.get();
}

void ProgressWindow::ShowProgress(const std::string& text, int position, int maximum) {
    if (TProgressFrm* w = Create()) w->ShowProgress(FromCp1251(text), position, maximum);
}

void ProgressWindow::HideProgress() {
    if (frm_) frm_->HideProgress();
}

}  // namespace lq
