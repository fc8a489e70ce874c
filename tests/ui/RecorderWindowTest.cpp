// The recorder window under offscreen: its layout with debug mode off and on, a recording with
// the scripted capture, playing, closing during a recording, the knobs through real mouse
// events, and its geometry keys in the settings file the main window writes.
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "core/AppState.h"
#include "core/Settings.h"
#include "tests/support/AudioCaptureFake.h"
#include "platform/IniFile.h"
#include "tests/support/SoundPlayerFake.h"
#include "recorder/DrawWave.h"
#include "session/Session.h"
#include "tests/ui/LearnTestSupport.h"
#include "tests/recorder/RecorderTestSupport.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/TempDir.h"
#include "ui/LearnPage.h"
#include "ui/RecorderWidgets.h"
#include "ui/TComentFrm.h"
#include "ui/TImagesFrm.h"
#include "ui/TRecFrm.h"
#include "ui/TTessarinMF.h"
#include "ui_RecFrm.h"
#include "ui_TabSheet1.h"

using namespace lq;

namespace {

struct Recorder {
    explicit Recorder(bool debug, const IniFile* ini = nullptr) {
        RecorderServices s;
        s.ini = ini;
        s.debugMode = debug;
        s.player = &player;
        s.capture = &capture;
        s.clock = &clock;
        window = std::make_unique<TRecFrm>(s);
        sentence = test::SentenceImage(11025, 1, 11025, [](int64_t i) { return (i / 25) % 2 ? 12000 : -12000; });
        window->SetSentence(sentence.data(), sentence.size(), 1000.0f);
    }
    Ui::RecFrm& F() { return window->Form(); }

    FakeAudioCapture capture;
    test::FakeRecorderClock clock;
    FakeSoundPlayer player;
    std::vector<uint8_t> sentence;
    std::unique_ptr<TRecFrm> window;
};

int CountColour(const QImage& img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == c;
    return n;
}

}  // namespace

class RecorderWindowTest : public QObject {
    Q_OBJECT
private slots:
    void layoutFollowsDebugMode();
    void recordsWithTheScriptedCapture();
    void waveInFailuresShowInTheLabel();
    void playsSegmentsAndStops();
    void closingDuringARecordingEndsIt();
    void knobsZoomAndPanTheViews();
    void analysisRunsOffTheInterfaceThread();
    void geometryComesFromTheSettings();
    void viewPicturesAreBounded();
    void learnPageOpensItAndTheSettingsHoldAllKeys();
};

void RecorderWindowTest::layoutFollowsDebugMode() {
    for (bool debug : {false, true}) {
        Recorder r(debug);
        r.window->resize(700, 600);
        r.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(r.window.get()));
        QCOMPARE(r.window->objectName(), QString("RecFrm"));
        QCOMPARE(r.window->windowTitle(), QString::fromUtf8("Запись голоса"));
        QCOMPARE(r.F().Panel4->isVisible(), debug);
        QCOMPARE(r.F().Panel5->isVisible(), debug);
        const int client = r.window->height();
        const int expected = (client - 43 - (debug ? 46 + 179 : 0)) / 2;
        QCOMPARE(r.F().OrigView->height(), expected);
        QCOMPARE(r.F().OrigView->y(), debug ? 89 : 43);
        QCOMPARE(r.F().RcrdView->y(), r.F().OrigView->y() + expected);
        QCOMPARE(r.F().OrigView->width(), 700);
        QCOMPARE(r.F().SpeedButton1->geometry(), QRect(108, 4, 35, 35));
        QCOMPARE(r.F().Label1->pos(), QPoint(376, 8));
        // The views are drawn at their own size: the sentence's waveform in OrigView.
        r.F().OrigView->Redraw();
        QCOMPARE(r.F().OrigView->Picture().size(), r.F().OrigView->size());
        QCOMPARE(r.F().RcrdView->Picture().size().isEmpty() || r.F().RcrdView->Picture().size() == r.F().RcrdView->size(), true);
        QVERIFY(CountColour(r.F().OrigView->Picture(), QColor(0, 0x60, 0x40).rgb()) > 100);
        r.window->done(QDialog::Rejected);
    }
}

void RecorderWindowTest::recordsWithTheScriptedCapture() {
    Recorder r(false);
    r.window->resize(600, 300);
    r.window->show();
    QCOMPARE(r.F().Label1->text(), QString("R"));
    // Mark 0.1 .. 0.6 s with the mouse: 600 px show 2 s.
    test::SendRelease(r.F().RcrdView, QPoint(30, 20), Qt::LeftButton);
    test::SendRelease(r.F().OrigView, QPoint(180, 20), Qt::RightButton);
    QVERIFY(std::abs(r.window->Model().MarkerStart - 1e5f) < 1.0f);
    QVERIFY(std::abs(r.window->Model().MarkerEnd - 6e5f) < 1.0f);
    r.F().SpeedButton1->click();
    QVERIFY(r.window->RecTimer().isActive());
    QVERIFY(!r.F().SpeedButton1->isEnabled());
    QCOMPARE(r.F().Label1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    int ticks = 0;
    while (r.window->RecTimer().isActive() && ticks < 50) {
        r.capture.Deliver(FakeAudioCapture::Ramp(10000, 1323));
        r.clock.AdvanceMs(120);
        r.window->RecTimerTimer();
        ++ticks;
    }
    QCOMPARE(ticks, 9);  // 500 ms + 500 ms: the tick at 1080 ms
    QVERIFY(!r.window->RecTimer().isActive());
    QVERIFY(r.F().SpeedButton1->isEnabled());
    QCOMPARE(r.F().Label1->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    QVERIFY(!r.capture.IsOpen());
    QCOMPARE(r.window->Model().WrittenBytes(), int64_t{5512 * 2});
    QCOMPARE(test::SampleAt(r.window->Model().Record(), 1102), int16_t(10000));
    // The recording's view shows the take in blue.
    QVERIFY(CountColour(r.F().RcrdView->Picture(), qRgb(0, 0, 255)) > 50);
}

void RecorderWindowTest::waveInFailuresShowInTheLabel() {
    const QColor red(255, 0, 0);
    {
        Recorder r(false);
        r.capture.openResult = CaptureResult::NoDriver;
        r.window->show();
        r.F().SpeedButton1->click();
        QCOMPARE(r.F().Label1->text(), QString("Open MMSYSERR_NODRIVER"));
        QCOMPARE(r.F().Label1->palette().color(QPalette::WindowText), red);
        QVERIFY(!r.window->RecTimer().isActive());
        QVERIFY(r.F().SpeedButton1->isEnabled());
    }
    {
        Recorder r(false);
        r.capture.startResult = CaptureResult::NoMem;
        r.window->show();
        r.F().SpeedButton1->click();
        QCOMPARE(r.F().Label1->text(), QString("Start MMSYSERR_NOMEM"));
        QVERIFY(r.window->RecTimer().isActive());
        QVERIFY(!r.F().SpeedButton1->isEnabled());  // no second open over the pending device
        for (int i = 0; i < 40 && r.window->RecTimer().isActive(); ++i) {
            r.clock.AdvanceMs(120);
            r.window->RecTimerTimer();
        }
        QVERIFY(!r.window->RecTimer().isActive());
        QVERIFY(!r.capture.IsOpen());
        QVERIFY(r.F().SpeedButton1->isEnabled());
        QCOMPARE(r.F().Label1->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        QCOMPARE(r.capture.opens, 1);
    }
}

void RecorderWindowTest::playsSegmentsAndStops() {
    Recorder r(false);
    r.window->show();
    r.F().SpeedButton3->click();
    QCOMPARE(r.player.Calls().size(), size_t{1});
    QCOMPARE(r.player.Calls()[0].image.size(), size_t{44 + 11024 * 2});  // the last frame is not played
    r.F().SpeedButton2->click();  // refused: the first still plays
    QCOMPARE(r.player.StartedCount(), 1);
    r.F().SpeedButton4->click();
    QCOMPARE(r.player.StopCount(), 1);
    r.F().SpeedButton2->click();  // the recording before any take: silence of the sentence's length
    QCOMPARE(r.player.StartedCount(), 2);
    const auto& silent = r.player.Calls().back().image;
    QCOMPARE(silent.size(), size_t{44 + 11024 * 2});
    QVERIFY(std::all_of(silent.begin() + 44, silent.end(), [](uint8_t b) { return b == 0; }));
}

void RecorderWindowTest::closingDuringARecordingEndsIt() {
    Recorder r(true);
    r.window->show();
    r.F().SpeedButton1->click();
    QVERIFY(r.capture.IsOpen());
    r.capture.Deliver(FakeAudioCapture::Ramp(5, 100));
    r.window->close();
    QVERIFY(!r.capture.IsOpen());
    QVERIFY(!r.window->RecTimer().isActive());
    QCOMPARE(r.window->Model().WrittenBytes(), int64_t{200});  // read before the device closed
    QVERIFY(r.player.StopCount() >= 1);
    // Shown again: a fresh silent image, the record button back.
    r.window->show();
    QVERIFY(r.F().SpeedButton1->isEnabled());
    QCOMPARE(test::SampleAt(r.window->Model().Record(), 0), int16_t(0));
    QCOMPARE(r.F().Label1->text(), QString("R"));
}

void RecorderWindowTest::knobsZoomAndPanTheViews() {
    Recorder r(true);
    r.window->resize(700, 500);
    r.window->show();
    rec::RecorderModel& m = r.window->Model();
    const float width = m.ViewWidth;
    KnobImage* zoom = r.F().WrkSqzImg;
    QCOMPARE(zoom->ShownGlyph(), 2);
    QTest::mousePress(zoom, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(zoom->ShownGlyph(), 3);
    test::SendMove(zoom, QPoint(15, 5), Qt::LeftButton);
    QVERIFY(std::abs(m.ViewWidth - width / std::pow(1.03f, 10.0f)) < width * 1e-5f);
    QTest::mouseRelease(zoom, Qt::LeftButton, {}, QPoint(15, 5));
    QCOMPARE(zoom->ShownGlyph(), 2);
    // A move without the button changes nothing.
    const float now = m.ViewWidth;
    test::SendMove(zoom, QPoint(20, 5));
    QCOMPARE(m.ViewWidth, now);
    // Position: 10 px right moves the centre back by 10 * 0.005 * width.
    KnobImage* pos = r.F().WrkPosImg;
    const float centre = m.ViewCentre;
    QTest::mousePress(pos, Qt::LeftButton, {}, QPoint(5, 5));
    test::SendMove(pos, QPoint(15, 5), Qt::LeftButton);
    QTest::mouseRelease(pos, Qt::LeftButton, {}, QPoint(15, 5));
    QVERIFY(std::abs(m.ViewCentre - (centre - 0.05f * m.ViewWidth)) < 1.0f);
    // Zooming in far is bounded at 1 ms.
    QTest::mousePress(zoom, Qt::LeftButton, {}, QPoint(0, 5));
    test::SendMove(zoom, QPoint(2000, 5), Qt::LeftButton);
    QTest::mouseRelease(zoom, Qt::LeftButton, {}, QPoint(2000, 5));
    QCOMPARE(m.ViewWidth, 1e3f);
}

void RecorderWindowTest::analysisRunsOffTheInterfaceThread() {
    test::RecordingPrompter prompter;
    Recorder r(true);
    r.window->resize(700, 500);
    r.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(r.window.get()));
    const QImage before = r.window->AnalysisPicture().copy();
    // R out of range: the conversion error, nothing computed.
    r.F().WLtR_ED->setText("0");
    r.F().SpeedButton5->click();
    QCOMPARE(prompter.messages.size(), size_t{1});
    QVERIFY(!r.window->AnalysisRunning());
    r.F().WLtR_ED->setText("5");
    r.F().WaveNum->setText("2");
    r.F().SpeedButton5->click();
    // The buttons stay off until the result is back.
    QVERIFY(!r.F().SpeedButton5->isEnabled());
    QVERIFY(!r.F().SpeedButton6->isEnabled());
    QVERIFY(!r.F().SpeedButton7->isEnabled());
    r.window->WaitForAnalysis();
    QVERIFY(r.F().SpeedButton5->isEnabled());
    QCOMPARE(r.window->Grids().size(), size_t{2});
    QCOMPARE(r.F().PB->maximum(), 50);  // the last level's columns
    QVERIFY(r.window->AnalysisPicture() != before);
    // "Rc" on the silent recording, then "Sh" with a bad colour floor: the message only.
    r.F().SpeedButton6->click();
    r.window->WaitForAnalysis();
    QCOMPARE(r.window->Grids()[0].Max, 0.0f);
    r.F().LogMinED->setText("x");
    r.F().SpeedButton7->click();
    QCOMPARE(prompter.messages.size(), size_t{2});
    // Closing while an analysis runs: the window goes without waiting for a result.
    r.F().LogMinED->setText("-5");
    r.F().SpeedButton5->click();
    r.window.reset();
}

void RecorderWindowTest::geometryComesFromTheSettings() {
    test::TempDir dir;
    dir.Write("Tessarin.ini", "[Common]\nRcdLeft  =33\nRcdTop   =44\nRcdHeight=355\nRcdWidth =622\n");
    IniFile ini(dir.File("Tessarin.ini"));
    QVERIFY(ini.Load());
    Recorder r(false, &ini);
    QCOMPARE(r.window->pos(), QPoint(33, 44));
    QCOMPARE(r.window->size(), QSize(622, 355));
    const auto g = r.window->GeometryToSave();
    QVERIFY(g.has_value());
    QCOMPARE(g->Width, 622);
    r.window->setWindowState(Qt::WindowMaximized);
    QVERIFY(!r.window->GeometryToSave().has_value());
}

void RecorderWindowTest::viewPicturesAreBounded() {
    // A view made as large as a widget can be draws into a picture of the bounded size.
    WaveView view;
    view.resize(16777215, 16777215);
    view.Redraw();
    QCOMPARE(view.Picture().size(), QSize(rec::kMaxViewSide, rec::kMaxViewSide));
    view.resize(300, 0);
    view.Redraw();
    QVERIFY(view.Picture().isNull());
    view.resize(320, 110);
    view.Redraw();
    QCOMPARE(view.Picture().size(), QSize(320, 110));
}

void RecorderWindowTest::learnPageOpensItAndTheSettingsHoldAllKeys() {
    test::TempDir dir;
    qputenv("LINDQUEST_INI_DIR", QByteArray::fromStdString(dir.Path()));
    {
        test::LessonDb lessons(dir.File("QV_01.db"));
        lessons.AddModule();
        test::Sentence s;
        s.stract = "One two three.";
        test::AddSentence(lessons, s);
        lessons.db.Close();
    }
    ProgramEnv env;
    env.ProgramDir = dir.Path();
    test::TaggingBuilder builder;
    SessionServices ss;
    ss.soundBuilder = &builder;
    ss.startupPauseMs = 0;
    Session session(env, "QV_01.db", ss);
    FakeSoundPlayer player;
    FakeAudioCapture capture;
    MainWindowServices s;
    s.player = &player;
    s.welcomeWindow = false;
    s.capture = &capture;
    auto window = std::make_unique<TTessarinMF>(session, s);
    TImagesFrm pictures(window->Context(), window.get());
    TComentFrm comments(window->Context(), window.get());
    window->AttachPicturesWindow(pictures);
    window->AttachCommentsWindow(comments);
    window->show();
    QToolButton* button = window->Learn().Form().SpeedButton3;
    QVERIFY(button->isEnabled());
    window->Learn().SetSoundOn(true);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        TRecFrm& rec = window->Recorder();
        shown = rec.isVisible() && rec.isModal();
        // The current sentence's sound: the tagging builder's two samples.
        shown = shown && rec.Model().OrigSampleCount == 2;
        rec.move(70, 80);
        rec.resize(640, 330);
        rec.close();
    });
    button->click();
    QVERIFY(shown);
    QVERIFY(!window->Learn().SoundOn());
    window->close();
    IniFile ini(dir.File("Tessarin.ini"));
    QVERIFY(ini.Load());
    const char* keys[] = {"Left     ", "Top      ", "PlayDelay", "FirstSPos", "Translater", "DoInpWords",
                          "InputAfter", "AddTimeSnd", "ShowNxtSnt", "DoAddInpWr", "ImsLeft  ", "ImsTop   ",
                          "ImsHeight", "ImsWidth ", "CmnLeft  ", "CmnTop   ", "CmnHeight", "CmnWidth ",
                          "RcdLeft  ", "RcdTop   ", "RcdHeight", "RcdWidth "};
    for (const char* key : keys) QVERIFY2(ini.GetString("Common", key, "missing") != "missing", key);
    // Every line of the file is the section or one of its keys.
    int keyLines = 0;
    for (const QString& line : QString::fromStdString(ini.Text()).split('\n', Qt::SkipEmptyParts))
        if (line.contains('=')) ++keyLines;
    QCOMPARE(keyLines, 22);
    QCOMPARE(ReadWindowGeometry(ini, "Rcd").Width, 640);
    QCOMPARE(ReadWindowGeometry(ini, "Rcd").Left, 70);
}

QTEST_MAIN(RecorderWindowTest)
#include "RecorderWindowTest.moc"
