// The progress and welcome windows on the offscreen platform.
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "Version.h"
#include "core/Progress.h"
#include "platform/Cp1251.h"
#include "ui/TProgressFrm.h"
#include "ui/TWlcmScrnFrm.h"

namespace lq {

using namespace std::chrono_literals;

// What the progress window shows each time it paints itself.
class PaintLog final : public QObject {
public:
    explicit PaintLog(TProgressFrm* w)
        : text_(w->findChild<QLabel*>(QStringLiteral("Label1"))), percent_(w->findChild<QLabel*>(QStringLiteral("Label2"))) {
        w->installEventFilter(this);
        bar_ = w->findChild<QProgressBar*>(QStringLiteral("PB"));
        bar_->installEventFilter(this);
    }
    QStringList painted;  // "text|percent"
    int barPaints = 0;    // the bar's paintings, its own included
    QString Last() const { return painted.isEmpty() ? QString() : painted.last(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        if (watched == bar_) ++barPaints;
        else painted << text_->text() + QLatin1Char('|') + percent_->text();
        return false;
    }

private:
    QProgressBar* bar_;
    QLabel* text_;
    QLabel* percent_;
};

class ProgressWindowTest : public QObject {
    Q_OBJECT

private:
    template <typename T>
    static T* Child(QWidget* w, const char* name) {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no child %s", name);
        return c;
    }

private slots:
    void createdOnFirstUseThenShownAndHidden() {
        ProgressWindow progress;
        QVERIFY(!progress.Window());
        progress.HideProgress();  // nothing to hide yet
        QVERIFY(!progress.Window());

        progress.ShowProgress("Adding module", 3, 8);
        TProgressFrm* w = progress.Window();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->objectName(), QStringLiteral("ProgressFrm"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Lindquest Progress"));
        QCOMPARE(w->size(), QSize(459, 142));
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(Child<QLabel>(w, "Label1")->text(), QStringLiteral("Adding module"));
        QCOMPARE(Child<QLabel>(w, "Label2")->text(), QStringLiteral("37.50/%"));
        QCOMPARE(Child<QProgressBar>(w, "PB")->value(), 3);

        progress.HideProgress();
        QVERIFY(!w->isVisible());
        progress.HideProgress();
        QVERIFY(!w->isVisible());
        QCOMPARE(Child<QLabel>(w, "Label2")->text(), QStringLiteral("37.50/%"));  // kept until the next report

        progress.ShowProgress("again", 1, 3);
        QCOMPARE(progress.Window(), w);  // the same window, shown again
        QVERIFY(w->isVisible());
        QCOMPARE(Child<QLabel>(w, "Label2")->text(), QStringLiteral("33.33/%"));
    }

    void maximumIsSetBeforeThePosition() {
        ProgressWindow progress;
        progress.ShowProgress("a", 50, 100);
        progress.ShowProgress("b", 150, 200);
        QProgressBar* bar = Child<QProgressBar>(progress.Window(), "PB");
        QCOMPARE(bar->maximum(), 200);
        QCOMPARE(bar->value(), 150);
        QCOMPARE(Child<QLabel>(progress.Window(), "Label1")->text(), QStringLiteral("b"));
    }

    void zeroMaximumAndOutOfRangePositions() {
        ProgressWindow progress;
        progress.ShowProgress("none", 0, 0);
        QProgressBar* bar = Child<QProgressBar>(progress.Window(), "PB");
        QCOMPARE(Child<QLabel>(progress.Window(), "Label2")->text(), QStringLiteral("0.00/%"));
        QVERIFY(bar->maximum() > bar->minimum());  // not a busy indicator
        progress.ShowProgress("over", 12, 10);
        QCOMPARE(bar->value(), 10);
        progress.ShowProgress("under", -4, 10);
        QCOMPARE(bar->value(), 0);
    }

    void textIsCp1251AndTheUserCannotClose() {
        ProgressWindow progress;
        progress.ShowProgress(ToCp1251(QString::fromUtf8("Добавление")), 1, 2);
        TProgressFrm* w = progress.Window();
        QCOMPARE(Child<QLabel>(w, "Label1")->text(), QString::fromUtf8("Добавление"));
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
    }

    // A thousand reports over a second: about 30 paintings, the labels and bar always at the
    // latest report, and the last painting showing the last report.
    void repaintsAboutThirtyTimesASecondAndEndsOnTheLastReport() {
        ProgressRepaintThrottle::TimePoint now{1h};
        ProgressWindow progress([&] { return now; });
        PaintLog log(progress.Create());
        for (int i = 0; i < 1000; ++i) {
            now += 1ms;
            progress.ShowProgress("Words statistic", i, 1000);
            if (i % 97 == 0) {
                QCOMPARE(Child<QLabel>(progress.Window(), "Label2")->text(),
                         QString::fromLatin1(ProgressPercentText(i, 1000).c_str()));
                QCOMPARE(Child<QProgressBar>(progress.Window(), "PB")->value(), i);
            }
        }
        QVERIFY2(log.painted.size() <= 1000 / 33 + 4, qPrintable(QString::number(log.painted.size())));
        QVERIFY(log.painted.size() >= 25);
        QVERIFY2(log.barPaints <= log.painted.size() + 2, qPrintable(QString::number(log.barPaints)));
        QCOMPARE(log.Last(), QStringLiteral("Words statistic|99.90/%"));
        QVERIFY(!progress.Window()->PaintPending());
        const qsizetype before = log.painted.size();
        progress.HideProgress();
        QCOMPARE(log.painted.size(), before);  // nothing left to paint
        QVERIFY(!progress.Window()->isVisible());
    }

    // A report inside the interval waits; hiding the window paints it first.
    void waitingReportIsPaintedBeforeHiding() {
        ProgressRepaintThrottle::TimePoint now{1h};
        ProgressWindow progress([&] { return now; });
        PaintLog log(progress.Create());
        progress.ShowProgress("Adding module", 0, 10);
        QCOMPARE(log.Last(), QStringLiteral("Adding module|0.00/%"));
        progress.ShowProgress("Adding module", 4, 10);
        QCOMPARE(Child<QLabel>(progress.Window(), "Label2")->text(), QStringLiteral("40.00/%"));
        QVERIFY(progress.Window()->PaintPending());
        progress.HideProgress();
        QCOMPARE(log.Last(), QStringLiteral("Adding module|40.00/%"));
        QVERIFY(!progress.Window()->PaintPending());
        QVERIFY(!progress.Window()->isVisible());
    }

    // A waiting report is painted by the trailing timer once the event loop runs.
    void waitingReportIsPaintedWhenTheEventLoopRuns() {
        ProgressRepaintThrottle::TimePoint now{1h};
        ProgressWindow progress([&] { return now; });
        PaintLog log(progress.Create());
        progress.ShowProgress("Answers", 0, 8);
        progress.ShowProgress("Answers", 3, 8);
        QVERIFY(progress.Window()->PaintPending());
        QTRY_VERIFY(!progress.Window()->PaintPending());
        QCOMPARE(log.Last(), QStringLiteral("Answers|37.50/%"));
        QVERIFY(progress.Window()->isVisible());
        progress.HideProgress();
    }

    // Stages announced at 0 one right after the other are each painted at once, and so is the
    // last item of a loop.
    void stagesAndLastItemsArePaintedAtOnce() {
        ProgressRepaintThrottle::TimePoint now{1h};
        ProgressWindow progress([&] { return now; });
        PaintLog log(progress.Create());
        progress.ShowProgress("Reading data", 0, 100);
        progress.ShowProgress("Sorting", 0, 100);
        QCOMPARE(log.Last(), QStringLiteral("Sorting|0.00/%"));
        for (int i = 0; i < 50; ++i) progress.ShowProgress("Module 1 (2)", i, 50);
        QCOMPARE(log.Last(), QStringLiteral("Module 1 (2)|98.00/%"));
        QVERIFY(!progress.Window()->PaintPending());
        progress.HideProgress();
    }

    // A loop over 200,000 items: the widgets are set only when what they show changes (the
    // percentage moves every 20 items), and each painting shows the latest report.
    void longLoopSetsTheWidgetsOnlyWhenTheyChange() {
        ProgressRepaintThrottle::TimePoint now{1h};
        ProgressWindow progress([&] { return now; });
        PaintLog log(progress.Create());
        QProgressBar* bar = Child<QProgressBar>(progress.Window(), "PB");
        int barSets = 0;
        connect(bar, &QProgressBar::valueChanged, this, [&barSets] { ++barSets; });
        for (int i = 0; i < 200000; ++i) {
            if (i % 7 == 0) now += 1ms;
            progress.ShowProgress("Words statistic", i, 200000);
            if (i == 12345) {
                QCOMPARE(Child<QLabel>(progress.Window(), "Label2")->text(), QStringLiteral("6.17/%"));
                QVERIFY(bar->value() > 12345 - 20 && bar->value() <= 12345);
            }
        }
        QVERIFY2(barSets <= 200000 / 20 + log.painted.size() + 2, qPrintable(QString::number(barSets)));
        QCOMPARE(log.Last(), QStringLiteral("Words statistic|100.00/%"));
        QCOMPARE(bar->value(), 199999);
        progress.HideProgress();
    }

    void createdHiddenByTheWindowedStart() {
        ProgressWindow progress;
        TProgressFrm* w = progress.Create();
        QVERIFY(w);
        QVERIFY(!w->isVisible());
        QCOMPARE(progress.Create(), w);
    }

    void welcomeWindowShowsVersionAndStatusLines() {
        const QString version = QString::asprintf("%d.%d.%d.%d", LQ_VERSION_MAJOR, LQ_VERSION_MINOR,
                                                  LQ_VERSION_PATCH, LQ_VERSION_TWEAK);
        QCOMPARE(ProgramVersionText(), version);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(version).hasMatch());

        std::unique_ptr<TWlcmScrnFrm> w = TWlcmScrnFrm::Open();
        QVERIFY(w->isVisible());
        QCOMPARE(w->objectName(), QStringLiteral("WlcmScrnFrm"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Welcome"));
        QCOMPARE(w->size(), QSize(335, 193));
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(Child<QLabel>(w.get(), "Label5")->text(), QStringLiteral("Lindquest"));
        QCOMPARE(Child<QLabel>(w.get(), "VersionLbl")->text(), version);
        QVERIFY(!Child<QPushButton>(w.get(), "OkBtn")->isVisible());
        QVERIFY(!Child<QPushButton>(w.get(), "OkBtn")->isEnabled());
        QPlainTextEdit* status = Child<QPlainTextEdit>(w.get(), "StatusMem");
        QVERIFY(status->isReadOnly());
        QCOMPARE(status->toPlainText(), QStringLiteral("Opening files..."));

        for (const char* line : {kStatusReadingSentences, kStatusReadingAnswers, kStatusPreparingSound,
                                 kStatusReadingStatistics})
            w->AddStatusLine(QString::fromLatin1(line));
        QCOMPARE(w->StatusText(), QStringLiteral("Opening files...\nReading sentences & indexes...\nReading answers & "
                                                 "sounds...\nPreparing first sound...\nReading statistics..."));

        QVERIFY(!w->close());  // Alt+F4 during the start-up
        QVERIFY(w->isVisible());
        w->Finish();
        QVERIFY(!w->isVisible());
    }
};

}  // namespace lq

QTEST_MAIN(lq::ProgressWindowTest)
#include "ProgressWindowTest.moc"
