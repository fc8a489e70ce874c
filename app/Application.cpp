#include "app/Application.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <exception>
#include <functional>

#include "platform/Prompter.h"

namespace lq {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        AppPrompter().Show(QString::fromUtf8(e.what()), QStringLiteral("Lindquest"), MsgIcon::Error);
    } catch (...) {
        AppPrompter().Show(QStringLiteral("Unknown error"), QStringLiteral("Lindquest"), MsgIcon::Error);
    }
    return false;
}

namespace {
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char c = 1;
    // Only async-signal-safe calls here; the notifier does the rest on the UI thread.
    [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &c, 1);
}
}  // namespace

void InstallTerminationHandler(QObject* context, std::function<void()> closeMainWindow) {
    if (g_signalPipe[0] < 0 && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [close = std::move(closeMainWindow)] {
        char buf[16];
        [[maybe_unused]] const ssize_t n = read(g_signalPipe[0], buf, sizeof buf);
        close();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

}  // namespace lq
