#include "ui/QtPrompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace lq {
namespace {

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
    if (!CanShowBox()) return StderrPrompter().Show(text, caption, icon, buttons);
    const bool yesNo = buttons == MsgButtons::YesNo;
    QMessageBox box(BoxIcon(icon), caption, text, yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int answer = box.exec();
    if (!yesNo) return MsgResult::Ok;
    return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

}  // namespace lq
