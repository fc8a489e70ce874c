#include "platform/Prompter.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace lq {
namespace {

std::atomic<Prompter*> g_prompter{nullptr};

QMessageBox::Icon BoxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information: return QMessageBox::Information;
        case MsgIcon::Warning: return QMessageBox::Warning;
        case MsgIcon::Error: return QMessageBox::Critical;
        case MsgIcon::Question: return QMessageBox::Question;
        case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// A message box needs widgets and must run on the application's own thread.
bool CanShowBox() {
    const QCoreApplication* app = QCoreApplication::instance();
    return HaveDisplay() && qobject_cast<const QApplication*>(app) && QThread::currentThread() == app->thread();
}

}  // namespace

MsgResult QtPrompter::Show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) {
    if (!CanShowBox()) {
        const QByteArray line = (caption + QStringLiteral(": ") + text + QLatin1Char('\n')).toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    }
    const bool yesNo = buttons == MsgButtons::YesNo;
    QMessageBox box(BoxIcon(icon), caption, text, yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int answer = box.exec();
    if (!yesNo) return MsgResult::Ok;
    return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

Prompter& AppPrompter() {
    static QtPrompter fallback;
    Prompter* p = g_prompter.load();
    return p ? *p : fallback;
}

void SetAppPrompter(Prompter* prompter) { g_prompter.store(prompter); }

bool HaveDisplay() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace lq
