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

WindowGeometry FittedGeometry(const QWidget& window, const WindowGeometry& wanted) {
    const QScreen* screen = ScreenOf(window, QPoint(wanted.Left, wanted.Top));
    if (!screen) return wanted;
    const QRect a = screen->availableGeometry();
    // The frame is known once the window has been shown; before, it counts as none.
    const QSize extra = window.frameGeometry().size() - window.geometry().size();
    QSize minimum = window.minimumSize();
    if (const QLayout* layout = window.layout()) minimum = minimum.expandedTo(layout->totalMinimumSize());
    return FitWindowToArea(wanted, {a.x(), a.y(), a.width(), a.height()},
                           {extra.width(), extra.height(), minimum.width(), minimum.height()});
}

}  // namespace

void PlaceOnScreen(QWidget& window, const WindowGeometry& wanted) {
    const WindowGeometry shown = FittedGeometry(window, wanted);
    // Set even where the window reports it already: a window not yet shown reports 0,0, and the
    // window manager keeps only a position the window asked for (it places the others itself).
    window.move(shown.Left, shown.Top);
    window.resize(shown.Width, shown.Height);
}

void KeepOnScreen(QWidget& window) {
    const WindowGeometry shown = FittedGeometry(window, {window.x(), window.y(), window.height(), window.width()});
    if (window.pos() != QPoint(shown.Left, shown.Top)) window.move(shown.Left, shown.Top);
    if (window.size() != QSize(shown.Width, shown.Height)) window.resize(shown.Width, shown.Height);
}

}  // namespace lq
