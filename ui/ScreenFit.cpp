#include "ui/ScreenFit.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

#include "core/WindowFit.h"

namespace lq {
namespace {

const QScreen* ScreenOf(const QWidget& window, QPoint corner) {
    if (const QScreen* s = QGuiApplication::screenAt(corner)) return s;
    if (const QScreen* s = window.screen()) return s;
    return QGuiApplication::primaryScreen();
}

}  // namespace

void PlaceOnScreen(QWidget& window, const WindowGeometry& wanted) {
    const QScreen* screen = ScreenOf(window, QPoint(wanted.Left, wanted.Top));
    WindowGeometry shown = wanted;
    if (screen) {
        const QRect a = screen->availableGeometry();
        // The frame is known once the window has been shown; before, it counts as none.
        const QSize extra = window.frameGeometry().size() - window.geometry().size();
        QSize minimum = window.minimumSize();
        if (const QLayout* layout = window.layout()) minimum = minimum.expandedTo(layout->totalMinimumSize());
        shown = FitWindowToArea(wanted, {a.x(), a.y(), a.width(), a.height()},
                                {extra.width(), extra.height(), minimum.width(), minimum.height()});
    }
    if (window.pos() != QPoint(shown.Left, shown.Top)) window.move(shown.Left, shown.Top);
    if (window.size() != QSize(shown.Width, shown.Height)) window.resize(shown.Width, shown.Height);
}

void KeepOnScreen(QWidget& window) { PlaceOnScreen(window, {window.x(), window.y(), window.height(), window.width()}); }

}  // namespace lq
