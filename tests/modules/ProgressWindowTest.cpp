// The progress and welcome windows on the offscreen platform.
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "Version.h"
#include "main/ui/TProgressFrm.h"
#include "main/ui/TWlcmScrnFrm.h"
#include "platform/Cp1251.h"

namespace lq {

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
