// The main, pictures, comments and recorder windows on a settings file with values no screen
// holds: each window stands within the screen's available area from its creation on and when it
// is shown, and the shut-down writes back the geometry that was shown.
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <memory>
#include <string>

#include "core/AppState.h"
#include "core/Settings.h"
#include "platform/AudioCaptureFake.h"
#include "platform/IniFile.h"
#include "platform/SoundPlayerFake.h"
#include "session/Session.h"
#include "tests/support/TempDir.h"
#include "ui/TComentFrm.h"
#include "ui/TImagesFrm.h"
#include "ui/TRecFrm.h"
#include "ui/TTessarinMF.h"

using namespace lq;

namespace {

// The settings file with every window's position keys set to `pos` and size keys to `size`.
std::string IniText(const std::string& pos, const std::string& size) {
    std::string text = "[Common]\nLeft     =" + pos + "\nTop      =" + pos + "\n";
    for (const char* p : {"Ims", "Cmn", "Rcd"}) {
        const std::string prefix = p;
        text += prefix + "Left  =" + pos + "\n" + prefix + "Top   =" + pos + "\n";
        text += prefix + "Height=" + size + "\n" + prefix + "Width =" + size + "\n";
    }
    return text;
}

QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// The window's frame lies in the available area.
bool OnScreen(const QWidget& w) { return Available().contains(w.frameGeometry()); }

QString Describe(const char* name, const QWidget& w) {
    const QRect r = w.frameGeometry();
    return QStringLiteral("%1 at %2,%3 size %4x%5 (screen %6x%7)")
        .arg(QString::fromLatin1(name))
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(Available().width())
        .arg(Available().height());
}

#define VERIFY_ON_SCREEN(name, w) QVERIFY2(OnScreen(w), qPrintable(Describe(name, w)))

void CompareWritten(const IniFile& ini, const char* prefix, const QWidget& w) {
    const WindowGeometry g = ReadWindowGeometry(ini, prefix);
    QCOMPARE(QRect(g.Left, g.Top, g.Width, g.Height), QRect(w.pos(), w.size()));
}

}  // namespace

class WindowGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void windowsStayOnTheScreen_data();
    void windowsStayOnTheScreen();
};

void WindowGeometryTest::windowsStayOnTheScreen_data() {
    QTest::addColumn<QString>("pos");
    QTest::addColumn<QString>("size");
    QTest::addColumn<bool>("fits");
    QTest::newRow("largest") << "999999999" << "999999999" << false;
    // Cut to nine characters when read: -99999999.
    QTest::newRow("negative") << "-999999999" << "-999999999" << false;
    QTest::newRow("zero") << "0" << "0" << false;
    QTest::newRow("widgetLimit") << "16777215" << "16777215" << false;
    QTest::newRow("offScreenAndHuge") << "-999999999" << "16777215" << false;
    QTest::newRow("fits") << "33" << "222" << true;
}

void WindowGeometryTest::windowsStayOnTheScreen() {
    QFETCH(QString, pos);
    QFETCH(QString, size);
    QFETCH(bool, fits);
    test::TempDir dir;
    qputenv("LINDQUEST_INI_DIR", QByteArray::fromStdString(dir.Path()));
    dir.Write("Tessarin.ini", IniText(pos.toStdString(), size.toStdString()));

    ProgramEnv env;
    env.ProgramDir = dir.Path();
    SessionServices ss;
    ss.startupPauseMs = 0;
    Session session(env, "QV_01.db", ss);
    FakeSoundPlayer player;
    FakeAudioCapture capture;
    MainWindowServices s;
    s.player = &player;
    s.capture = &capture;
    s.welcomeWindow = false;
    auto window = std::make_unique<TTessarinMF>(session, s);
    // The recorder is created with the start-up: it lays its views out (and sizes their pictures)
    // when first shown, so it must stand within the screen before that.
    QVERIFY(window->HasRecorder());
    TRecFrm& recorder = window->Recorder();
    VERIFY_ON_SCREEN("recorder before showing", recorder);
    TImagesFrm pictures(window->Context(), window.get());
    TComentFrm comments(window->Context(), window.get());
    window->AttachPicturesWindow(pictures);
    window->AttachCommentsWindow(comments);
    VERIFY_ON_SCREEN("pictures before showing", pictures);
    VERIFY_ON_SCREEN("comments before showing", comments);

    window->show();
    pictures.ShowWindow(true);
    comments.ShowWindow(true);
    recorder.show();
    QCoreApplication::processEvents();
    VERIFY_ON_SCREEN("main", *window);
    VERIFY_ON_SCREEN("pictures", pictures);
    VERIFY_ON_SCREEN("comments", comments);
    VERIFY_ON_SCREEN("recorder", recorder);
    if (fits) {
        // Kept as read: the size exactly; the corner is the frame's, or the client's where the
        // platform places a window before it knows the frame.
        for (QWidget* w : {static_cast<QWidget*>(&pictures), static_cast<QWidget*>(&comments),
                           static_cast<QWidget*>(&recorder)})
            QCOMPARE(w->size(), QSize(222, 222));
        for (QWidget* w : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(&pictures),
                           static_cast<QWidget*>(&comments), static_cast<QWidget*>(&recorder)})
            QVERIFY(w->pos() == QPoint(33, 33) || w->geometry().topLeft() == QPoint(33, 33));
    }
    const QPoint mainPos = window->pos();
    const QRect shownPictures(pictures.pos(), pictures.size());
    const QRect shownComments(comments.pos(), comments.size());
    const QRect shownRecorder(recorder.pos(), recorder.size());

    recorder.close();
    window->close();
    IniFile ini(dir.File("Tessarin.ini"));
    QVERIFY(ini.Load());
    QCOMPARE(QPoint(ReadSettingInt(ini, "Left     ", "x"), ReadSettingInt(ini, "Top      ", "x")), mainPos);
    CompareWritten(ini, "Ims", pictures);
    CompareWritten(ini, "Cmn", comments);
    CompareWritten(ini, "Rcd", recorder);
    QCOMPARE(QRect(pictures.pos(), pictures.size()), shownPictures);
    QCOMPARE(QRect(comments.pos(), comments.size()), shownComments);
    QCOMPARE(QRect(recorder.pos(), recorder.size()), shownRecorder);
}

QTEST_MAIN(WindowGeometryTest)
#include "WindowGeometryTest.moc"
