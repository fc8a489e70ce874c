#include "ui/TProgressFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <algorithm>
#include <string>
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
    // Called once per item of long loops: each widget is set only when what it shows changes.
    const bool textChanged = ui_->Label1->text() != text;
    if (textChanged) ui_->Label1->setText(text);
    const bool rangeChanged = maximum != shownMaximum_;
    if (rangeChanged || position != shownPosition_) {
        std::string percent = ProgressPercentText(position, maximum);
        if (percent != shownPercent_) {
            shownPercent_ = std::move(percent);
            ui_->Label2->setText(QString::fromLatin1(shownPercent_.c_str()));
            // The bar moves with the percentage (finer than its pixels), or when it is painted.
            SetBar(position, maximum);
        } else if (rangeChanged) {
            SetBar(position, maximum);
        }
    }
    reportedPosition_ = position;
    reportedMaximum_ = maximum;

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
        SetBar(position, maximum);
        repaint();
    } else if (throttle_.Pending() && !trailing_.isActive()) {
        trailing_.start(throttle_.UntilDue());
    }
}

void TProgressFrm::SetBar(int position, int maximum) {
    shownPosition_ = position;
    shownMaximum_ = maximum;
    // Maximum first: the bar ignores a value outside its range. A maximum of 0 would turn the
    // bar into a busy indicator, so it gets the range 0..1 then. The bar paints itself at once
    // when its value moves by a pixel; here only the window's own repaint paints it.
    const int top = maximum > 0 ? maximum : 1;
    const int value = maximum > 0 ? std::clamp(position, 0, top) : 0;
    if (ui_->PB->maximum() == top && ui_->PB->value() == value) return;
    ui_->PB->setUpdatesEnabled(false);
    ui_->PB->setMaximum(top);
    ui_->PB->setValue(value);
    ui_->PB->setUpdatesEnabled(true);
}

void TProgressFrm::PaintPendingReport() {
    if (!throttle_.Pending() || !isVisible()) return;
    SetBar(reportedPosition_, reportedMaximum_);
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
    TProgressFrm* w = Create();
    if (!w) return;
    // A loop reports the same text for every item: it is converted once.
    if (!converted_ || text != text_) {
        text_ = text;
        shownText_ = FromCp1251(text);
        converted_ = true;
    }
    w->ShowProgress(shownText_, position, maximum);
}

void ProgressWindow::HideProgress() {
    if (frm_) frm_->HideProgress();
}

}  // namespace lq
