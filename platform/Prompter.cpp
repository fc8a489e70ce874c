#include "platform/Prompter.h"

#include <QGuiApplication>

#include <atomic>
#include <cstdio>

namespace lq {
namespace {

std::atomic<Prompter*> g_prompter{nullptr};

}  // namespace

MsgResult StderrPrompter::Show(const QString& text, const QString& caption, MsgIcon, MsgButtons buttons) {
    const QByteArray line = (caption + QStringLiteral(": ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

Prompter& AppPrompter() {
    static StderrPrompter fallback;
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
