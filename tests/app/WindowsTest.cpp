// The windowed road as the entry runs it: every window opened (main, pictures, comments, module
// chooser, recorder, progress), then the program closed. Built with ASan (build-asan) this shows
// that nothing is read after it is freed, also while Qt deletes the main window's tool windows
// after the main window's own members are gone.
#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "app/Windows.h"
#include "core/Progress.h"
#include "tests/support/LessonDb.h"
#include "tests/support/TempDir.h"
#include "ui/LearnPage.h"
#include "ui/TChooseModuleFrm.h"
#include "ui/TComentFrm.h"
#include "ui/TImagesFrm.h"
#include "ui/TProgressFrm.h"
#include "ui/TRecFrm.h"
#include "ui/TTessarinMF.h"
#include "ui_TabSheet1.h"

using namespace lq;

namespace {

template <class T>
T* Find() {
    for (QWidget* w : QApplication::allWidgets())
        if (auto* t = qobject_cast<T*>(w)) return t;
    return nullptr;
}

// Shows `open` modally and closes whatever modal window it showed once the loop runs.
template <class Open>
bool OpenModal(Open open) {
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = modal->isVisible();
            modal->close();
        }
    });
    open();
    return shown;
}

void MoveOver(QWidget* target) {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void everyWindowOpensAndTheProgramCloses();
};

void WindowsTest::everyWindowOpensAndTheProgramCloses() {
    test::TempDir dir;
    qputenv("LINDQUEST_INI_DIR", QByteArray::fromStdString(dir.Path()));
    std::filesystem::create_directories(dir.File("Data"));
    {
        test::LessonDb lessons(dir.File("QV_01.db"));
        lessons.AddModule();
        test::ItemRow item;
        item.stract = "One two three.";
        lessons.AddItem(item);
        item.stract = "Four five.";
        lessons.AddItem(item);
    }
    ProgramEnv env;
    env.ProgramDir = dir.Path();
    ProgramOptions options;

    bool chooserShown = false, recorderShown = false, progressShown = false, picturesShown = false,
         commentsShown = false;
    int movesWhileClosing = 0;
    // Once the event loop runs with every window made (the start-up paints its welcome window
    // before that, and timers may fire then).
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* main = Find<TTessarinMF>();
        if (!main || !main->isVisible() || !Find<TComentFrm>() || !Find<TImagesFrm>()) return;
        poll.stop();
        Ui::TabSheet1& learn = main->Learn().Form();
        learn.ImagesViewBtn->click();
        learn.ComentViewBtn->click();
        auto* pictures = Find<TImagesFrm>();
        auto* comments = Find<TComentFrm>();
        picturesShown = pictures->isVisible();
        commentsShown = comments->isVisible();
        MoveOver(comments->Editor()->viewport());

        if (auto* chooser = Find<TChooseModuleFrm>()) chooserShown = OpenModal([chooser] { chooser->Choose(); });
        recorderShown = OpenModal([main] { main->OpenRecorder(); });
        ShowProgress("Adding module", 1, 4);
        auto* progress = Find<TProgressFrm>();
        progressShown = progress && progress->isVisible();
        HideProgress();

        // While the main window's children go, after its own members: a pointer moving over the
        // comments text still finds what the comments window uses.
        QPointer<TComentFrm> alive(comments);
        for (QObject* child : main->children())
            if (child != comments)
                QObject::connect(child, &QObject::destroyed, [alive, &movesWhileClosing] {
                    if (!alive) return;
                    MoveOver(alive->Editor()->viewport());
                    ++movesWhileClosing;
                });
        main->close();
    });
    poll.start();
    // A run that never gets there still ends.
    QTimer::singleShot(60000, [] {
        if (auto* main = Find<TTessarinMF>()) main->close();
    });
    QCOMPARE(RunWindows(*qApp, env, options), 0);

    QVERIFY(picturesShown);
    QVERIFY(commentsShown);
    QVERIFY(chooserShown);
    QVERIFY(recorderShown);
    QVERIFY(progressShown);
    QVERIFY(movesWhileClosing > 0);
    QVERIFY(QApplication::topLevelWidgets().isEmpty() || !Find<TTessarinMF>());
    // The shut-down wrote the settings with the geometry of the windows that existed.
    const std::string ini = test::TempDir::Read(dir.File("Tessarin.ini"));
    for (const char* key : {"\nLeft=", "\nImsLeft=", "\nCmnLeft=", "\nRcdLeft="})
        QVERIFY2(ini.find(key) != std::string::npos, (std::string(key) + " in\n" + ini).c_str());
    qunsetenv("LINDQUEST_INI_DIR");
}

QTEST_MAIN(WindowsTest)
#include "WindowsTest.moc"
