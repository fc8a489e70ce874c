// The main, pictures, comments and recorder windows on a settings file with values no screen
// holds: each window stands within the screen's available area from its creation on and when it
// is shown, and the shut-down writes back the geometry that was shown. A position that fits (the
// screen's corner too) is kept, also under a real window manager.
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/AppState.h"
#include "core/Settings.h"
#include "session/Session.h"
#include "tests/support/AudioCaptureFake.h"
#include "platform/IniFile.h"
#include "tests/support/SoundPlayerFake.h"
#include "tests/support/TempDir.h"
#include "ui/ScreenFit.h"
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
    void keptPositionsUnderAWindowManager();
    void aStoredPositionIsAlwaysAskedFor();
};

void WindowGeometryTest::windowsStayOnTheScreen_data() {
    QTest::addColumn<QString>("pos");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QPoint>("kept");  // where the windows stand; -1,-1 for anywhere on the screen
    const QPoint anywhere(-1, -1);
    QTest::newRow("largest") << "999999999" << "999999999" << anywhere;
    // Cut to nine characters when read: -99999999.
    QTest::newRow("negative") << "-999999999" << "-999999999" << anywhere;
    QTest::newRow("zero") << "0" << "0" << anywhere;
    QTest::newRow("widgetLimit") << "16777215" << "16777215" << anywhere;
    QTest::newRow("offScreenAndHuge") << "-999999999" << "16777215" << anywhere;
    QTest::newRow("fits") << "33" << "222" << QPoint(33, 33);
    // The screen's corner, as stored or as fitted: asked for like any other position.
    QTest::newRow("corner") << "0" << "222" << QPoint(0, 0);
    QTest::newRow("leftOfTheCorner") << "-40" << "222" << QPoint(0, 0);
}

namespace {

// The four windows of a run on the settings file `ini`, with the main window's fakes.
struct Windows {
    explicit Windows(const std::string& ini) {
        qputenv("LINDQUEST_INI_DIR", QByteArray::fromStdString(dir.Path()));
        dir.Write("Tessarin.ini", ini);
        env.ProgramDir = dir.Path();
        SessionServices ss;
        ss.startupPauseMs = 0;
        session = std::make_unique<Session>(env, "QV_01.db", ss);
        MainWindowServices s;
        s.player = &player;
        s.capture = &capture;
        s.welcomeWindow = false;
        main = std::make_unique<TTessarinMF>(*session, s);
        pictures = std::make_unique<TImagesFrm>(main->Context(), main.get());
        comments = std::make_unique<TComentFrm>(main->Context(), main.get());
        main->AttachPicturesWindow(*pictures);
        main->AttachCommentsWindow(*comments);
    }
    ~Windows() {
        comments.reset();
        pictures.reset();
        main.reset();
    }
    TRecFrm& Recorder() { return main->Recorder(); }
    void ShowAll() {
        main->show();
        pictures->ShowWindow(true);
        comments->ShowWindow(true);
        Recorder().show();
    }
    std::vector<QWidget*> All() { return {main.get(), pictures.get(), comments.get(), &Recorder()}; }
    // Closes the recorder, then the main window (the shut-down), and reads the settings file back.
    void CloseAll(IniFile& ini) {
        Recorder().close();
        main->close();
        QVERIFY(ini.Load());
    }

    test::TempDir dir;
    ProgramEnv env;
    FakeSoundPlayer player;
    FakeAudioCapture capture;
    std::unique_ptr<Session> session;  // outlives the windows
    std::unique_ptr<TTessarinMF> main;
    std::unique_ptr<TImagesFrm> pictures;
    std::unique_ptr<TComentFrm> comments;
};

}  // namespace

void WindowGeometryTest::windowsStayOnTheScreen() {
    QFETCH(QString, pos);
    QFETCH(QString, size);
    QFETCH(QPoint, kept);
    Windows w(IniText(pos.toStdString(), size.toStdString()));
    // The recorder is created with the start-up: it lays its views out (and sizes their pictures)
    // when first shown, so it must stand within the screen before that.
    QVERIFY(w.main->HasRecorder());
    VERIFY_ON_SCREEN("recorder before showing", w.Recorder());
    VERIFY_ON_SCREEN("pictures before showing", *w.pictures);
    VERIFY_ON_SCREEN("comments before showing", *w.comments);

    w.ShowAll();
    QCoreApplication::processEvents();
    VERIFY_ON_SCREEN("main", *w.main);
    VERIFY_ON_SCREEN("pictures", *w.pictures);
    VERIFY_ON_SCREEN("comments", *w.comments);
    VERIFY_ON_SCREEN("recorder", w.Recorder());
    if (kept != QPoint(-1, -1)) {
        // Kept as read (or as fitted): the size exactly; the corner is the frame's, or the
        // client's where the platform places a window before it knows the frame. The main
        // window keeps its own size.
        for (QWidget* x : w.All()) {
            if (x != w.main.get()) QCOMPARE(x->size(), QSize(222, 222));
            QVERIFY2(x->pos() == kept || x->geometry().topLeft() == kept, qPrintable(Describe("window", *x)));
        }
    }
    const QPoint mainPos = w.main->pos();
    const QRect shownPictures(w.pictures->pos(), w.pictures->size());
    const QRect shownComments(w.comments->pos(), w.comments->size());
    const QRect shownRecorder(w.Recorder().pos(), w.Recorder().size());

    IniFile ini(w.dir.File("Tessarin.ini"));
    w.CloseAll(ini);
    QCOMPARE(QPoint(ReadSettingInt(ini, "Left     ", "x"), ReadSettingInt(ini, "Top      ", "x")), mainPos);
    CompareWritten(ini, "Ims", *w.pictures);
    CompareWritten(ini, "Cmn", *w.comments);
    CompareWritten(ini, "Rcd", w.Recorder());
    QCOMPARE(QRect(w.pictures->pos(), w.pictures->size()), shownPictures);
    QCOMPARE(QRect(w.comments->pos(), w.comments->size()), shownComments);
    QCOMPARE(QRect(w.Recorder().pos(), w.Recorder().size()), shownRecorder);
}

void WindowGeometryTest::keptPositionsUnderAWindowManager() {
    if (qgetenv("LQ_WINDOW_MANAGER").isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X display with a window manager (see WithWindowManager.sh)");
    // The top left corner as stored, one left of it that the fit brings there, and a place
    // within the screen; each kept to the pixel, as the frame's corner, and written back.
    const std::pair<const char*, QPoint> stored[] = {{"0", {0, 0}}, {"-40", {0, 0}}, {"100", {100, 100}}};
    for (const auto& [pos, kept] : stored) {
        Windows w(IniText(pos, "222"));
        w.ShowAll();
        for (QWidget* x : w.All()) QVERIFY(QTest::qWaitForWindowExposed(x));
        const auto framedInPlace = [&, kept = kept] {
            for (QWidget* x : w.All())
                if (x->frameGeometry().topLeft() != kept || x->frameGeometry().size() == x->size()) return false;
            return true;
        };
        (void)QTest::qWaitFor(framedInPlace, 5000);  // checked one by one below
        for (QWidget* x : w.All()) {
            QVERIFY2(x->frameGeometry().size() != x->size(), qPrintable(Describe(pos, *x)));
            QVERIFY2(x->frameGeometry().topLeft() == kept, qPrintable(Describe(pos, *x)));
        }
        IniFile ini(w.dir.File("Tessarin.ini"));
        w.CloseAll(ini);
        for (const char* key : {"Left     ", "ImsLeft  ", "CmnLeft  ", "RcdLeft  "})
            QCOMPARE(ReadSettingInt(ini, key, "x"), kept.x());
        for (const char* key : {"Top      ", "ImsTop   ", "CmnTop   ", "RcdTop   "})
            QCOMPARE(ReadSettingInt(ini, key, "x"), kept.y());
    }
}

void WindowGeometryTest::aStoredPositionIsAlwaysAskedFor() {
    // A window not yet shown reports 0,0: the corner must still be asked for, or the window
    // manager places the window where it likes (the window tells it only positions it was given).
    for (const WindowGeometry& stored : {WindowGeometry{0, 0, 222, 222}, WindowGeometry{-40, -40, 222, 222},
                                         WindowGeometry{33, 33, 222, 222}}) {
        QWidget window;
        QCOMPARE(window.pos(), QPoint(0, 0));
        PlaceOnScreen(window, stored);
        QVERIFY(window.testAttribute(Qt::WA_Moved));
        QCOMPARE(window.pos(), QPoint(std::max(stored.Left, 0), std::max(stored.Top, 0)));
    }
}

QTEST_MAIN(WindowGeometryTest)
#include "WindowGeometryTest.moc"
