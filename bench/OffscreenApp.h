#pragma once
// The one QApplication of a widget benchmark, on the offscreen platform unless QT_QPA_PLATFORM
// names another.
#include <QApplication>

namespace lq::bench {

inline QApplication& OffscreenApp() {
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace lq::bench
