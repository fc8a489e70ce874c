#include "ui/ToolWindow.h"

#include <QEvent>
#include <QHideEvent>

#include "ui/ScreenFit.h"

namespace lq {

// A title and no close button. The minimise hint is what makes the window's stated functions
// exclude closing: with none of the button hints the window allows every function, closing
// included. A window manager that minimises a tool window (openbox) minimises the main window
// with it, and restores both together, so the toggle stays true to what is shown.
ToolWindow::ToolWindow(QWidget* parent, Qt::WindowFlags extraFlags)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                          extraFlags) {}

void ToolWindow::ShowWindow(bool shown) {
    if (!shown) {
        hiding_ = true;
        hide();
        hiding_ = false;
        return;
    }
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

void ToolWindow::showEvent(QShowEvent* event) {
    KeepOnScreen(*this);
    QWidget::showEvent(event);
}

void ToolWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Closed; a window hidden with its minimised main window is hidden spontaneously and stays.
    if (!hiding_ && isHidden() && Closed) Closed();
}

}  // namespace lq
