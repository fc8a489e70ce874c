#pragma once
// The QApplication of the program: an exception that escapes an event handler is shown to the
// learner and the event loop goes on, instead of ending the process.
#include <QApplication>
#include <functional>

namespace lq {

class Application final : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// SIGTERM and SIGINT close the main window as the learner would, so its shut-down runs.
// `closeMainWindow` is called on the user-interface thread.
void InstallTerminationHandler(QObject* context, std::function<void()> closeMainWindow);

}  // namespace lq
