// The main window on a lesson database in a temporary folder: start-up and shut-down, the Learn
// page's layout, drags, typing and shortcuts through the real widgets, the play timer and the
// sound check, with a sound builder and a player of the tests' own.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "LearnTestSupport.h"
#include "Version.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Score.h"
#include "core/Settings.h"
#include "platform/IniFile.h"
#include "core/SqlText.h"
#include "learn/SentenceLayout.h"
#include "platform/Cp1251.h"
#include "session/Session.h"
#include "tests/support/SoundPlayerFake.h"
#include "sound/LoadSoundThread.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/StatementTrace.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"
#include "ui/LearnPage.h"
#include "ui/TComentFrm.h"
#include "ui/TImagesFrm.h"
#include "ui/TTessarinMF.h"
#include "ui/WorkPlace.h"
#include "ui_TabSheet1.h"
#include "ui_TessarinMF.h"

using namespace lq;

namespace {

// Counts the key presses that reach a widget.
class KeyCounter final : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) ++presses;
        return false;
    }
};

// One run of the program on its own folder, database and settings file.
struct Run {
    explicit Run(const std::string& ini = "") {
        qputenv("LINDQUEST_INI_DIR", QByteArray::fromStdString(dir.Path()));
        if (!ini.empty()) dir.Write("Tessarin.ini", ini);
        lessons = std::make_unique<test::LessonDb>(dir.File("QV_01.db"));
        lessons->AddModule();
    }
    ~Run() {
        window.reset();
        session.reset();
    }

    void Start() {
        lessons->db.Close();
        env.ProgramDir = programDir;
        SessionServices ss;
        ss.soundBuilder = &builder;
        ss.startupPauseMs = 0;
        session = std::make_unique<Session>(env, "QV_01.db", ss);
        MainWindowServices s;
        s.player = otherPlayer ? otherPlayer : &player;
        s.monotonicMs = [this] { return now; };
        s.welcomeWindow = false;
        window = std::make_unique<TTessarinMF>(*session, s);
        window->show();
    }
    TTessarinMF& W() { return *window; }
    LearnPage& Learn() { return window->Learn(); }
    Ui::TabSheet1& F() { return window->Learn().Form(); }
    LearnState& State() { return *window->Context().state; }
    SentenceBoard& Board() { return window->Board(); }
    int Count(const std::string& sql) {
        CurrentRow r;
        r.CountResult = -1;
        window->Context().db->Query(sql, r);
        return r.CountResult;
    }
    CurrentRow Item(int id) {
        CurrentRow r;
        r.ididnt = -1;
        window->Context().db->Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", id), r);
        return r;
    }
    // Rebuilds the current sentence by dragging each word's tile into row 0, in sentence order.
    void SolveByDragging() {
        std::vector<std::string> words = CutWordsFromRight(Board().SentenceText);
        std::reverse(words.begin(), words.end());
        int left = 14;
        std::vector<bool> used(static_cast<size_t>(Board().WordTileCount()));
        for (const std::string& word : words) {
            int index = -1;
            for (int i = 0; i < Board().WordTileCount(); ++i)
                if (!used[i] && Board().WordTiles[i].Text == word && (index < 0 || Board().WordTiles[i].Row == -1))
                    index = i;
            if (index >= 0) used[index] = true;
            QVERIFY2(index >= 0, word.c_str());
            const WordTile t = Board().WordTiles[index];
            const QPoint from(t.Left + t.Width / 2, t.Top + t.Height / 2);
            const QPoint to(left + t.Width / 2, 6 + t.Height / 2);
            test::SendDrag(F().WorkPlace, from, to);
            QCOMPARE(Board().WordTiles[index].Row, 0);
            left += t.Width + 12;
        }
    }
    // Plays at the next timer tick and returns the sentence whose sound was handed to the player.
    int PlayedNow() {
        now += 100000;
        const size_t before = player.Calls().size();
        window->Timer1Timer();
        if (player.Calls().size() == before) return -2;
        player.Finish();
        return test::TaggingBuilder::TagOf(player.Calls().back().image);
    }

    test::TempDir dir;
    std::string programDir = dir.Path();  // where the program runs (its database is there)
    std::unique_ptr<test::LessonDb> lessons;
    test::TaggingBuilder builder;
    FakeSoundPlayer player;
    SoundPlayer* otherPlayer = nullptr;  // set before Start to play through another player
    int64_t now = 1000;
    ProgramEnv env;
    std::unique_ptr<Session> session;
    std::unique_ptr<TTessarinMF> window;
};

}  // namespace

class LearnWindowTest : public QObject {
    Q_OBJECT
private slots:
    void fileVersionIsTheProjectVersion();
    void startupOnAnEmptyDatabase();
    void startupBuildsTheFirstSoundHereAndTheNextOnTheThread();
    void playDelayIsShownWithoutChangingIt_data();
    void playDelayIsShownWithoutChangingIt();
    void inputAfterAboveTwelveIsKeptUntilTheSettingPageShows();
    void learnPageLaysOutTheFirstSentence();
    void dragsRebuildThreeSentencesThroughNext();
    void shortcutsActOnlyOnTheLearnPage();
    void aSentenceWithoutWordsIsSolvedWhenLaidOut();
    void showAnswerAsksForAnsweredSentences();
    void helpedAnswerStaysHelpedAcrossPageSwitches();
    void doubleClickCopiesTheTextAbove();
    void typedWordsGetEditsOverTheirTiles();
    void freeWordEditPlacesTheNextWord();
    void timerPlaysOnlyOnTheLearnPageWithSoundOn();
    void soundDeviceRestsWhileSoundIsOff();
    void soundCheckButtons();
    void shutDownWaitsForTheSoundThread();
    void aFailedWordCountIsToldAtATimerTickOnce();
    void otherWindowsHookIn();
    void closedSmallWindowsReleaseTheirButtons();
    void mainWindowKeepsItsLayoutSize();
    void typingStartsWithoutTabs();
    void theFirstTypingEditHasTheKeyboard();
    void sentenceReadsRunWithTheirValuesBound();
    void doubleClickLooksUpTheHoveredWordWithoutALibrary();
    void minimisingKeepsTheBoard();
    void closingTheMainWindowEndsTheProgram();
    void readOnlyProgramFolderIsToldOnceAndStoresNothing();
    void lockedDatabaseKeepsTheSentenceUntilTheStepIsStored();
    void pageSwitchWaitsOnceForALock();
    void placedTilesWaitBrieflyForALock();
};

void LearnWindowTest::fileVersionIsTheProjectVersion() {
    uint32_t ms = 1, ls = 1;
    QVERIFY(GetFileVersion("lindquest", ms, ls));
    QCOMPARE(ms, uint32_t(LQ_VERSION_MAJOR) << 16 | LQ_VERSION_MINOR);
    QCOMPARE(ls, uint32_t(LQ_VERSION_PATCH) << 16 | LQ_VERSION_TWEAK);
    QCOMPARE(QString::fromStdString(FileVersionText()), QStringLiteral("%1.%2.%3.%4")
                                                            .arg(LQ_VERSION_MAJOR)
                                                            .arg(LQ_VERSION_MINOR)
                                                            .arg(LQ_VERSION_PATCH)
                                                            .arg(LQ_VERSION_TWEAK));
}

void LearnWindowTest::startupOnAnEmptyDatabase() {
    Run run;
    run.Start();
    TTessarinMF& w = run.W();
    QTest::qWait(20);
    QVERIFY(run.builder.Builds().empty());
    QCOMPARE(w.pos(), QPoint(10, 10));
    QCOMPARE(run.F().ComboBox1->currentIndex(), 0);
    QCOMPARE(w.Context().settings->PlayDelay, 2000u);
    QCOMPARE(w.Form().Pages->currentWidget(), w.Form().TabSheet1);
    const QStringList captions{"Learn", "Edit", "List", "Graphs", "Setting", "Statistics", "About"};
    const QStringList names{"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4", "TabSheet5", "TabSheet7", "TabSheet6"};
    QCOMPARE(w.Form().Pages->count(), 7);
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(w.Form().Pages->tabText(i), captions[i]);
        QCOMPARE(w.Form().Pages->widget(i)->objectName(), names[i]);
    }
    QCOMPARE(run.Board().WordTileCount(), 0);
    QCOMPARE(run.F().ScoreLbl->text(), QString("0"));
    QCOMPARE(run.F().Score2Lbl->text(), QString("0000"));
    QVERIFY(!run.F().NextBtn->isEnabled());
    run.F().SoundLoopBtn->setChecked(true);
    QCOMPARE(run.PlayedNow(), -1);  // an all-zero buffer is handed over and refused
    w.close();
    const std::string ini = test::TempDir::Read(run.dir.File("Tessarin.ini"));
    QVERIFY(ini.find("[Common]") != std::string::npos);
    QVERIFY(ini.find("PlayDelay=2000") != std::string::npos);
    QVERIFY(!w.Context().db->IsOpen());
}

void LearnWindowTest::startupBuildsTheFirstSoundHereAndTheNextOnTheThread() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    test::AddSentence(*run.lessons, {"three four"});
    run.Start();
    const int current = run.State().CurrentItemId;
    const int next = run.State().NextItemId;
    QVERIFY(current > 0);
    QVERIFY(next > 0);
    QVERIFY(current != next);
    QTRY_COMPARE(run.builder.Builds().size(), size_t{2});
    const auto builds = run.builder.Builds();
    QCOMPARE(builds[0].itemId, current);
    QCOMPARE(builds[0].thread, std::this_thread::get_id());
    QCOMPARE(builds[1].itemId, next);
    QVERIFY(builds[1].thread != std::this_thread::get_id());
    QCOMPARE(run.W().Sound()->CurrentSoundDuration(), 1000.0f + current);
}

void LearnWindowTest::playDelayIsShownWithoutChangingIt_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("item");
    QTest::addColumn<uint>("delay");
    QTest::newRow("0") << "0" << 0 << 0u;
    QTest::newRow("2000") << "2000" << 0 << 2000u;
    QTest::newRow("2001") << "2001" << 1 << 2001u;
    QTest::newRow("2500") << "2500" << 1 << 2500u;
    QTest::newRow("3000") << "3000" << 1 << 3000u;
    QTest::newRow("4000") << "4000" << 2 << 4000u;
    QTest::newRow("5000") << "5000" << 3 << 5000u;
    QTest::newRow("5001") << "5001" << 4 << 5001u;
    QTest::newRow("-1") << "-1" << 4 << 4294967295u;
}

void LearnWindowTest::playDelayIsShownWithoutChangingIt() {
    QFETCH(QString, stored);
    QFETCH(int, item);
    QFETCH(uint, delay);
    Run run("[Common]\nPlayDelay=" + stored.toStdString() + "\nLeft     =33\nTop      =44\n");
    run.Start();
    QCOMPARE(run.F().ComboBox1->currentIndex(), item);
    QCOMPARE(run.W().Context().settings->PlayDelay, delay);
    QCOMPARE(run.W().pos(), QPoint(33, 44));
    // The learner's choice does change it.
    run.F().ComboBox1->setCurrentIndex(item == 4 ? 3 : 4);
    QCOMPARE(run.W().Context().settings->PlayDelay, item == 4 ? 5000u : 10000u);
}

void LearnWindowTest::inputAfterAboveTwelveIsKeptUntilTheSettingPageShows() {
    for (const bool showSettingPage : {false, true}) {
        Run run("[Common]\nInputAfter=20\n");
        run.Start();
        QCOMPARE(run.W().Context().settings->InputAfter, 20);
        QCOMPARE(run.W().Context().settings->InputAfterFloat, 20.0f);
        if (showSettingPage) {
            run.W().Form().Pages->setCurrentWidget(run.W().Form().TabSheet5);
            QCOMPARE(run.W().Context().settings->InputAfter, 12);
        }
        run.W().close();
        IniFile ini(run.dir.File("Tessarin.ini"));
        QVERIFY(ini.Load());
        QCOMPARE(ini.GetString("Common", "InputAfter", "missing"), std::string(showSettingPage ? "12" : "20"));
    }
}

void LearnWindowTest::learnPageLaysOutTheFirstSentence() {
    Run run("[Common]\nDoAddInpWr=0\n");
    test::AddSentence(*run.lessons, {"The quick  fox", 0, 0, 0, "0", "Before it", "After it"});
    run.Start();
    QVERIFY(run.Learn().LearnPageVisible());
    QCOMPARE(run.Board().WordTileCount(), 3);
    QCOMPARE(run.Board().SentenceText, std::string("The quick fox"));
    for (const WordTile& t : run.Board().WordTiles) {
        QCOMPARE(t.Row, -1);
        QCOMPARE(t.Top, kBoardHeight - t.Height - 4);
        QCOMPARE(t.Height, run.Board().RowPitch - 8);
    }
    QVERIFY(run.F().Label1->isVisibleTo(run.F().Panel2));  // never answered: "N"
    QCOMPARE(run.F().BeforeText->text(), QString("Before it"));
    QCOMPARE(run.F().AfterText->text(), QString("After it"));
    QVERIFY(run.F().InpWrdED1->isHidden());
    QVERIFY(run.F().InpWrdED0->isHidden());  // "Input next word" is off
    QCOMPARE(run.F().InpWrdED0->y(), 40);
    QCOMPARE(run.F().WorkPlace->size(), QSize(kBoardWidth, kBoardHeight));
    for (const char* name : {"NextBtn", "ShowAns", "SoundLoopBtn", "ImagesViewBtn", "ComentViewBtn", "ComboBox1",
                             "BeforeText", "AfterText", "WorkPlace", "InpWrdED0", "InpWrdED1", "InpWrdED2", "InpWrdED3",
                             "AnswerCountLbl", "ScoreLbl", "Score2Lbl", "DaysLeftLbl", "Label1", "Panel1", "Panel2"})
        QVERIFY2(run.W().findChild<QWidget*>(name), name);
    // The board image: background and the tiles' free colour.
    const QImage& img = run.Learn().WorkBitmap();
    QCOMPARE(img.pixelColor(2, 2), QColor(0xF0, 0xF0, 0xC8));
    const WordTile& t = run.Board().WordTiles[0];
    QCOMPARE(img.pixelColor(t.Left + t.Width - 3, t.Top + t.Height - 4), QColor(0xBE, 0xBE, 0xBE));
    if (qEnvironmentVariableIsSet("LQ_LEARN_SCREENSHOT"))
        run.W().grab().save(qEnvironmentVariable("LQ_LEARN_SCREENSHOT"));
}

void LearnWindowTest::dragsRebuildThreeSentencesThroughNext() {
    Run run;
    test::AddSentence(*run.lessons, {"one two", 0, 0, 1});
    test::AddSentence(*run.lessons, {"red fox runs", 0, 0, 2});
    test::AddSentence(*run.lessons, {"we can go", 0, 0, 3});
    test::AddSentence(*run.lessons, {"last one here", 0, 0, 4});
    run.Start();
    run.F().SoundLoopBtn->setChecked(true);
    QCOMPARE(run.PlayedNow(), run.State().CurrentItemId);
    for (int round = 0; round < 3; ++round) {
        const int answered = run.State().CurrentItemId;
        const int expectedNext = run.State().NextItemId;
        const int history = run.Count("SELECT count(*) FROM answcn;");
        run.SolveByDragging();
        QVERIFY(run.State().SentenceSolved);
        QVERIFY(run.F().NextBtn->isEnabled());
        QTest::mouseClick(run.F().NextBtn, Qt::LeftButton);
        const CurrentRow row = run.Item(answered);
        QCOMPARE(row.irange, 1);
        QCOMPARE(row.igansw, 1);
        QCOMPARE(row.iaansw, 1);
        QCOMPARE(row.irng_2, 10);
        QCOMPARE(run.Count("SELECT count(*) FROM answcn;"), history + 1);
        QCOMPARE(run.State().RunAnswerCount, round + 1);
        QCOMPARE(run.F().AnswerCountLbl->text(), QString::number(round + 1));
        QCOMPARE(run.State().CurrentItemId, expectedNext);
        QVERIFY(!run.F().NextBtn->isEnabled());
        QVERIFY(!run.State().SentenceSolved);
        QCOMPARE(run.Board().SentenceText, run.Item(expectedNext).stract);
        QCOMPARE(run.PlayedNow(), expectedNext);
        CurrentRow scratch;
        const CommonSettings& settings = *run.W().Context().settings;
        QCOMPARE(run.State().Score, ComputeScore(*run.W().Context().db, scratch, run.State().ItemCount, settings.InputAfter));
        scratch.ididnt = -1;
        run.W().Context().db->Query("SELECT * FROM answcn ORDER BY ididnt DESC LIMIT 1;", scratch);
        QCOMPARE(scratch.glrang, std::stof(StoredNumberText(run.State().Score)));
        QCOMPARE(scratch.isentn, 4);
    }
    QVERIFY(run.State().Score > 0.0f);
}

void LearnWindowTest::aSentenceWithoutWordsIsSolvedWhenLaidOut() {
    Run run;
    const int empty = test::AddSentence(*run.lessons, {"", 0, 0, 1});
    const int blank = test::AddSentence(*run.lessons, {" \t ", 0, 0, 2});
    test::AddSentence(*run.lessons, {"one two", 0, 0, 3});
    run.Start();
    QCOMPARE(run.State().CurrentItemId, empty);
    QCOMPARE(run.Board().WordTileCount(), 0);
    QVERIFY(run.State().SentenceSolved);
    QVERIFY(run.F().NextBtn->isEnabled());
    // The step grades it as a success and lays out the next one, which has no words either.
    QTest::mouseClick(run.F().NextBtn, Qt::LeftButton);
    QCOMPARE(run.Item(empty).iaansw, 1);
    QCOMPARE(run.Item(empty).igansw, 1);
    QCOMPARE(run.State().CurrentItemId, blank);
    QVERIFY(run.State().SentenceSolved);
    QVERIFY(run.F().NextBtn->isEnabled());
    // With the answer shown it is a failure.
    run.State().AnswerShown = true;
    QTest::mouseClick(run.F().NextBtn, Qt::LeftButton);
    QCOMPARE(run.Item(blank).iaansw, 0);
    QCOMPARE(run.Count("SELECT count(*) FROM answcn;"), 2);
    // A sentence with words waits for its tiles.
    QVERIFY(run.Board().WordTileCount() > 0);
    QVERIFY(!run.State().SentenceSolved);
    QVERIFY(!run.F().NextBtn->isEnabled());
}

void LearnWindowTest::shortcutsActOnlyOnTheLearnPage() {
    Run run("[Common]\nDoAddInpWr=1\n");
    test::AddSentence(*run.lessons, {"one two"});
    test::AddSentence(*run.lessons, {"three four"});
    test::AddSentence(*run.lessons, {"five six"});
    run.Start();
    run.W().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&run.W()));
    QLineEdit* edit = run.F().InpWrdED0;
    QVERIFY(!edit->isHidden());
    KeyCounter reached;
    edit->installEventFilter(&reached);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    auto steps = [&] { return run.State().RunAnswerCount; };

    QTest::keyClick(edit, Qt::Key_Return);  // not solved: nothing, but swallowed
    QCOMPARE(steps(), 0);
    QCOMPARE(reached.presses, 0);
    QTest::keyClick(edit, Qt::Key_Control);  // Next disabled: nothing, reaches the edit
    QCOMPARE(steps(), 0);
    QCOMPARE(reached.presses, 1);
    QTest::keyClick(edit, Qt::Key_Alt);  // nothing under the mouse: swallowed
    QCOMPARE(reached.presses, 1);

    run.SolveByDragging();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Enter);  // the keypad's Enter too
    QCOMPARE(steps(), 1);
    QCOMPARE(reached.presses, 1);

    run.SolveByDragging();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Control);
    QCOMPARE(steps(), 2);
    QCOMPARE(reached.presses, 2);

    // Alt places the hovered tile after the answer.
    const WordTile t = run.Board().WordTiles[0];
    test::SendMove(run.F().WorkPlace, QPoint(t.Left + 5, t.Top + 5));
    QCOMPARE(run.Learn().Board().SelectedTile, 0);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Alt);
    QCOMPARE(run.Board().WordTiles[0].Row, 0);
    QCOMPARE(run.Board().WordTiles[0].Left, 25);

    // Suspended: Enter goes through to the edit.
    run.SolveByDragging();
    run.State().ShortcutsSuspended = true;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(steps(), 2);
    QCOMPARE(reached.presses, 3);
    run.State().ShortcutsSuspended = false;

    // Another page: the keys are left alone.
    run.W().Form().Pages->setCurrentWidget(run.W().Form().TabSheet7);
    QWidget* other = run.W().Form().TabSheet7->findChild<QTableView*>();
    QVERIFY(other);
    KeyCounter reachedOther;
    other->installEventFilter(&reachedOther);
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QTest::keyClick(other, Qt::Key_Return);
    QCOMPARE(reachedOther.presses, 1);
    QCOMPARE(steps(), 2);
}

void LearnWindowTest::showAnswerAsksForAnsweredSentences() {
    test::RecordingPrompter prompter;
    Run run;
    test::AddSentence(*run.lessons, {"new one", 0, 0});
    run.Start();
    QTest::mouseClick(run.F().ShowAns, Qt::LeftButton);
    QCOMPARE(run.F().BeforeText->text(), QString("new one"));
    QVERIFY(run.State().AnswerShown);
    QVERIFY(prompter.messages.empty());

    Run answered;
    test::AddSentence(*answered.lessons, {"old one", 3, 2, 0, "0", "before"});
    answered.Start();
    prompter.answers = {MsgResult::No};
    QTest::mouseClick(answered.F().ShowAns, Qt::LeftButton);
    QCOMPARE(answered.F().BeforeText->text(), QString("before"));
    QVERIFY(!answered.State().AnswerShown);
    QCOMPARE(prompter.messages.size(), size_t{1});
    QCOMPARE(prompter.messages[0].text, QString("Are you sure you want to show answer?"));
    QCOMPARE(prompter.messages[0].caption, QString("What"));
    QCOMPARE(prompter.messages[0].buttons, MsgButtons::YesNo);
    prompter.answers = {MsgResult::Yes};
    QTest::mouseClick(answered.F().ShowAns, Qt::LeftButton);
    QCOMPARE(answered.F().BeforeText->text(), QString("old one"));
    QVERIFY(answered.State().AnswerShown);
}

void LearnWindowTest::helpedAnswerStaysHelpedAcrossPageSwitches() {
    test::RecordingPrompter prompter;
    Run run;
    const int id = test::AddSentence(*run.lessons, {"one two", 3, 2});
    test::AddSentence(*run.lessons, {"three four", 3, 2, 5});
    run.Start();
    QCOMPARE(run.State().CurrentItemId, id);
    QTest::mouseClick(run.F().ShowAns, Qt::LeftButton);
    run.SolveByDragging();
    QTabWidget* pages = run.W().Form().Pages;
    pages->setCurrentWidget(run.W().Form().TabSheet7);
    QVERIFY(!run.Learn().LearnPageVisible());
    pages->setCurrentWidget(run.W().Form().TabSheet1);
    QVERIFY(run.Learn().LearnPageVisible());
    QVERIFY(run.State().AnswerShown);
    QVERIFY(run.F().NextBtn->isEnabled());  // solved before the switch
    QTest::mouseClick(run.F().NextBtn, Qt::LeftButton);
    const CurrentRow row = run.Item(id);
    QCOMPARE(row.iaansw, 2);  // a failure does not count an answer
    QCOMPARE(row.igansw, 0);
    QVERIFY(!run.State().AnswerShown);
}

void LearnWindowTest::doubleClickCopiesTheTextAbove() {
    Run run;
    test::AddSentence(*run.lessons, {"one", 0, 0, 0, "0", "\xcf\xf0\xe8\xe2\xe5\xf2"});
    run.Start();
    QTest::mouseDClick(run.F().BeforeText, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("Привет"));
}

void LearnWindowTest::typedWordsGetEditsOverTheirTiles() {
    Run run;
    test::AddSentence(*run.lessons, {"The cat, sat", 12, 12});
    run.lessons->MarkWord("sat", 1);
    run.lessons->MarkWord("cat", 2);
    run.Start();
    SentenceBoard& b = run.Board();
    QCOMPARE(b.TypedWordTiles, (std::vector<int>{0, 1}));
    QLineEdit* ed1 = run.F().InpWrdED1;
    QLineEdit* ed2 = run.F().InpWrdED2;
    QVERIFY(!ed1->isHidden());
    QVERIFY(!ed2->isHidden());
    QVERIFY(run.F().InpWrdED3->isHidden());
    QVERIFY(run.F().InpWrdED0->isHidden());
    const QPoint origin = run.F().WorkPlace->pos();
    QCOMPARE(ed1->geometry(), QRect(origin + QPoint(b.WordTiles[0].Left, b.WordTiles[0].Top),
                                    QSize(b.WordTiles[0].Width, b.WordTiles[0].Height)));
    for (const WordTile& t : b.WordTiles) QCOMPARE(t.Row, 0);
    QVERIFY(!run.State().SentenceSolved);

    // A move over an edit hovers the tile below it.
    test::SendMove(ed2, QPoint(5, 5));
    QCOMPARE(run.Learn().Board().SelectedTile, 1);
    QCOMPARE(b.ActiveTypingEdit, 1);
    QVERIFY(ed2->hasFocus() || !run.W().isActiveWindow());
    // Dragging through the edit moves its tile, and the edit goes with it.
    const QPoint tileBefore(b.WordTiles[1].Left, b.WordTiles[1].Top);
    test::SendMove(ed2, QPoint(15, 7), Qt::LeftButton);
    QCOMPARE(QPoint(b.WordTiles[1].Left, b.WordTiles[1].Top), tileBefore + QPoint(10, 2));
    QCOMPARE(ed2->pos(), origin + QPoint(b.WordTiles[1].Left, b.WordTiles[1].Top));
    test::SendMove(ed2, QPoint(15, 7));  // the drop snaps it back into its row
    QCOMPARE(b.WordTiles[1].Row, 0);
    QCOMPARE(ed2->pos(), origin + QPoint(b.WordTiles[1].Left, b.WordTiles[1].Top));

    QTest::keyClicks(ed1, "sit");
    QVERIFY(!run.State().SentenceSolved);
    ed1->clear();
    QTest::keyClicks(ed1, "SAT");
    QTest::keyClicks(ed2, "cat");
    QVERIFY(run.State().SentenceSolved);
    QVERIFY(run.F().NextBtn->isEnabled());
}

void LearnWindowTest::freeWordEditPlacesTheNextWord() {
    Run run("[Common]\nDoAddInpWr=1\n");
    test::AddSentence(*run.lessons, {"The cat sat"});
    run.Start();
    QLineEdit* ed0 = run.F().InpWrdED0;
    QVERIFY(!ed0->isHidden());
    QCOMPARE(ed0->y(), 4);
    QTest::keyClicks(ed0, "cat");
    QCOMPARE(ed0->text(), QString("cat"));  // not the first word: nothing placed
    ed0->clear();
    QTest::keyClicks(ed0, "THE");
    QCOMPARE(ed0->text(), QString());
    const WordTile* the = nullptr;
    for (const WordTile& t : run.Board().WordTiles)
        if (t.Text == "The") the = &t;
    QVERIFY(the);
    QCOMPARE(the->Row, 0);
    QCOMPARE(the->Left, 25);
    QCOMPARE(the->Top, 4);
    QTest::keyClicks(ed0, "cat");
    QTest::keyClicks(ed0, " ");
    QTest::keyClicks(ed0, "sat");
    QVERIFY(run.State().SentenceSolved);
}

void LearnWindowTest::timerPlaysOnlyOnTheLearnPageWithSoundOn() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    run.Start();
    const int current = run.State().CurrentItemId;
    QCOMPARE(run.PlayedNow(), -2);  // sound off at start
    run.F().SoundLoopBtn->click();
    QCOMPARE(run.PlayedNow(), current);
    run.W().Form().Pages->setCurrentWidget(run.W().Form().TabSheet7);
    QCOMPARE(run.PlayedNow(), -2);
    run.W().Form().Pages->setCurrentWidget(run.W().Form().TabSheet1);
    QCOMPARE(run.PlayedNow(), current);
    // Within delay + duration nothing more; a reset plays at the next tick.
    run.now += 200;
    const size_t calls = run.player.Calls().size();
    run.W().Timer1Timer();
    QCOMPARE(run.player.Calls().size(), calls);
    run.W().Scheduler().Reset();
    run.W().Timer1Timer();
    QCOMPARE(run.player.Calls().size(), calls + 1);
    QCOMPARE(run.player.Calls().back().mode, PlayMode::NoStop);
}

// The program's player over a fake device: no device before the first play, none once sound is
// off and the sentence has ended, whatever the timer does meanwhile; switching sound on again
// opens one at the next tick.
void LearnWindowTest::soundDeviceRestsWhileSoundIsOff() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    FakeSoundOutput::Counts device;
    SdlSoundPlayer player(std::make_unique<FakeSoundOutput>(device), std::chrono::milliseconds(20));
    run.otherPlayer = &player;
    run.Start();
    for (int i = 0; i < 3; ++i) run.W().Timer1Timer();
    QCOMPARE(device.opens.load(), 0);
    run.F().SoundLoopBtn->click();
    run.W().Timer1Timer();
    QCOMPARE(device.opens.load(), 1);
    QVERIFY(player.DeviceOpen());
    run.F().SoundLoopBtn->click();  // off while the sentence plays: it plays to its end
    QVERIFY(player.DeviceOpen());
    device.Drain();
    QTRY_VERIFY(!player.DeviceOpen());
    for (int i = 0; i < 3; ++i) {
        run.now += 100000;
        run.W().Timer1Timer();
    }
    QCOMPARE(device.opens.load(), 1);
    QCOMPARE(device.closes.load(), 1);
    run.F().SoundLoopBtn->click();
    run.now += 100000;
    run.W().Timer1Timer();
    QCOMPARE(device.opens.load(), 2);
    QVERIFY(player.DeviceOpen());
    run.window.reset();  // the window goes before the player it was given
}

void LearnWindowTest::soundCheckButtons() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    test::AddSentence(*run.lessons, {"three four"});
    run.Start();
    QTRY_COMPARE(run.builder.Builds().size(), size_t{2});
    QPlainTextEdit memo;
    memo.appendPlainText("old");
    run.W().SpeedButton5Click(&memo);
    QCOMPARE(memo.toPlainText(), QString("Handle 1 - OK\nHandle 2 - OK"));
    memo.clear();
    run.W().SpeedButton2Click(&memo);
    QCOMPARE(test::TaggingBuilder::TagOf(run.player.Calls().back().image), run.State().CurrentItemId);
    run.W().SpeedButton2Click(&memo);
    QCOMPARE(memo.toPlainText().split('\n').size(), 6);
    QCOMPARE(memo.toPlainText(), QString("Sound 1\nMakeSound: 5\n\nSound 1\nMakeSound: 5\n"));
    const int stops = run.player.StopCount();
    run.W().SpeedButton4Click(&memo);
    QCOMPARE(run.player.StopCount(), stops + 1);
    QCOMPARE(test::TaggingBuilder::TagOf(run.player.Calls().back().image), run.State().NextItemId);
    QVERIFY(memo.toPlainText().endsWith("Sound 2\nMakeSound: 5\n"));
}

void LearnWindowTest::shutDownWaitsForTheSoundThread() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    test::AddSentence(*run.lessons, {"three four"});
    run.lessons->MarkWord("two", 1);
    run.Start();
    QTRY_COMPARE(run.builder.Builds().size(), size_t{2});
    run.builder.delayMs = 300;
    TLoadSound* sound = run.W().Sound();
    sound->QueueAnsweredWord("two");
    sound->MakeSound(sound->Buffers().PendingSlot(), run.State().NextItemId);
    QTRY_COMPARE(run.builder.Started(), 3);  // the build is running
    run.W().close();
    QCOMPARE(run.builder.Builds().size(), size_t{3});  // and ended before the window closed
    QVERIFY(!run.W().Context().db->IsOpen());
    test::LessonDb check(run.dir.File("QV_01.db"));
    QCOMPARE(check.Count("SELECT count(*) FROM wrdstt WHERE twordd='two' AND ianswr=1;"), 1);
}

void LearnWindowTest::aFailedWordCountIsToldAtATimerTickOnce() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    test::AddSentence(*run.lessons, {"three four"});
    run.lessons->MarkWord("two", 1);
    QVERIFY(run.lessons->db
                .Exec("CREATE TRIGGER refuse BEFORE UPDATE OF ianswr ON wrdstt BEGIN SELECT RAISE(ABORT, 'disk "
                      "refused'); END;")
                .ok());
    test::RecordingPrompter prompter;
    run.Start();
    QTRY_COMPARE(run.builder.Builds().size(), size_t{2});
    TLoadSound* sound = run.W().Sound();
    sound->QueueAnsweredWord("two");
    sound->QueueAnsweredWord("two");
    sound->MakeSound(sound->Buffers().PendingSlot(), run.State().NextItemId);
    QTRY_VERIFY_WITH_TIMEOUT((run.W().Timer1Timer(), !prompter.messages.empty()), 5000);
    QCOMPARE(prompter.messages.size(), size_t{1});
    QVERIFY2(prompter.messages[0].text.contains("not being saved"), qPrintable(prompter.messages[0].text));
    QVERIFY(prompter.messages[0].text.contains("disk refused"));
    sound->QueueAnsweredWord("two");
    sound->MakeSound(sound->Buffers().PendingSlot(), run.State().NextItemId);
    QTest::qWait(100);
    run.W().Timer1Timer();
    run.W().close();
    QCOMPARE(prompter.messages.size(), size_t{1});
}

void LearnWindowTest::otherWindowsHookIn() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    run.lessons->db.Exec("UPDATE items2 SET strtrn='first||second';");
    run.Start();
    TImagesFrm pictures(run.W().Context());
    TComentFrm comments(run.W().Context());
    run.W().AttachPicturesWindow(pictures);
    run.W().AttachCommentsWindow(comments);
    run.Learn().PrepareCurrentItem();
    QCOMPARE(comments.Editor()->toPlainText(), QString("first\nsecond"));
    run.F().ComentViewBtn->click();
    QVERIFY(comments.isVisible());
    run.F().ImagesViewBtn->click();
    QVERIFY(pictures.isVisible());
    run.F().ImagesViewBtn->click();
    QVERIFY(!pictures.isVisible());
    // The Setting page's sound-check buttons reach the main window.
    run.W().Form().Pages->setCurrentWidget(run.W().Form().TabSheet5);
    auto* variables = run.W().Form().TabSheet5->findChild<QToolButton*>("SpeedButton5");
    auto* memo = run.W().Form().TabSheet5->findChild<QPlainTextEdit*>("Memo1");
    QVERIFY(variables && memo);
    QVERIFY(variables->isEnabled());
    variables->click();
    QCOMPARE(memo->toPlainText(), QString("Handle 1 - OK\nHandle 2 - OK"));
    run.W().close();
    const std::string ini = test::TempDir::Read(run.dir.File("Tessarin.ini"));
    QVERIFY(ini.find("ImsLeft") != std::string::npos);
    QVERIFY(ini.find("CmnWidth") != std::string::npos);
}

void LearnWindowTest::closedSmallWindowsReleaseTheirButtons() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    run.Start();
    TImagesFrm pictures(run.W().Context(), &run.W());
    TComentFrm comments(run.W().Context(), &run.W());
    run.W().AttachPicturesWindow(pictures);
    run.W().AttachCommentsWindow(comments);
    const std::pair<QToolButton*, QWidget*> toggles[] = {{run.F().ImagesViewBtn, &pictures},
                                                         {run.F().ComentViewBtn, &comments}};
    for (const auto& [button, window] : toggles) {
        button->click();
        QVERIFY(window->isVisible());
        QVERIFY(button->isChecked());
        // Closed by the window manager (Alt+F4 where it allows it): the button comes up with it.
        window->close();
        QVERIFY(!window->isVisible());
        QVERIFY(!button->isChecked());
        // So one click shows the window again, and the next hides it.
        button->click();
        QVERIFY(window->isVisible());
        button->click();
        QVERIFY(!window->isVisible());
        QVERIFY(!button->isChecked());
    }
    // Shown and hidden with the main window: no button changes.
    run.F().ImagesViewBtn->click();
    run.W().hide();
    run.W().show();
    QVERIFY(run.F().ImagesViewBtn->isChecked());
}

void LearnWindowTest::mainWindowKeepsItsLayoutSize() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    run.Start();
    TTessarinMF& w = run.W();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QSize laidOut(594, 584);
    QCOMPARE(w.size(), laidOut);
    QCOMPARE(w.minimumSize(), laidOut);
    QCOMPARE(w.maximumSize(), laidOut);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    w.resize(400, 300);
    QCOMPARE(w.size(), laidOut);
    // Every shown control of every page lies within the window.
    QTabWidget* pages = w.Form().Pages;
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QCoreApplication::processEvents();
        for (QWidget* c : pages->widget(i)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (c->isHidden()) continue;
            const QRect r(c->mapTo(&w, QPoint(0, 0)), c->size());
            QVERIFY2(w.rect().contains(r), qPrintable(c->objectName()));
        }
    }
}

void LearnWindowTest::typingStartsWithoutTabs() {
    Run run("[Common]\nDoAddInpWr=1\n");
    test::AddSentence(*run.lessons, {"The cat sat"});
    test::AddSentence(*run.lessons, {"The dog ran"});
    run.Start();
    QVERIFY(QTest::qWaitForWindowActive(&run.W()));
    QLineEdit* ed0 = run.F().InpWrdED0;
    QCOMPARE(QApplication::focusWidget(), ed0);
    // The learner types the sentence where the keyboard is and presses Enter.
    const int first = run.State().CurrentItemId;
    QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(run.Board().SentenceText));
    QVERIFY(run.State().SentenceSolved);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(run.F().AnswerCountLbl->text(), QString("1"));
    QVERIFY(run.State().CurrentItemId != first);
    QCOMPARE(QApplication::focusWidget(), ed0);
    // Back from another page, where the keyboard was elsewhere.
    QWidget* edit = run.W().Form().TabSheet2->findChild<QPlainTextEdit*>("BeforeTxt");
    QVERIFY(edit);
    run.W().Form().Pages->setCurrentWidget(run.W().Form().TabSheet2);
    edit->setFocus();
    QCOMPARE(QApplication::focusWidget(), edit);
    run.W().Form().Pages->setCurrentWidget(run.W().Form().TabSheet1);
    QCOMPARE(QApplication::focusWidget(), ed0);
}

void LearnWindowTest::theFirstTypingEditHasTheKeyboard() {
    Run run;
    test::AddSentence(*run.lessons, {"The cat, sat", 12, 12});
    run.lessons->MarkWord("sat", 1);
    run.lessons->MarkWord("cat", 2);
    run.Start();
    QVERIFY(QTest::qWaitForWindowActive(&run.W()));
    QVERIFY(!run.F().InpWrdED1->isHidden());
    QCOMPARE(QApplication::focusWidget(), run.F().InpWrdED1);
    QTest::keyClicks(QApplication::focusWidget(), "sat");
    QCOMPARE(run.F().InpWrdED1->text(), QString("sat"));
}

void LearnWindowTest::sentenceReadsRunWithTheirValuesBound() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    run.Start();
    {
        // The trace must end before closing the window closes the connection.
        const test::StatementTrace trace(*run.W().Context().db);
        run.Learn().PrepareCurrentItem();
        const std::string id = std::to_string(run.State().CurrentItemId);
        QVERIFY(trace.Ran({"SELECT * FROM items2 WHERE ididnt=?;", "SELECT * FROM items2 WHERE ididnt=" + id + ";"}));
    }
    run.W().close();
}

void LearnWindowTest::doubleClickLooksUpTheHoveredWordWithoutALibrary() {
    Run run("[Common]\nTranslater=2\n");  // the dictionary library, which is not there
    test::AddSentence(*run.lessons, {"don't, stop"});
    run.Start();
    QGuiApplication::clipboard()->clear();
    QTest::mouseDClick(run.F().WorkPlace, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());  // nothing selected: nothing at all
    const WordTile t = run.Board().WordTiles[0];
    test::SendMove(run.F().WorkPlace, QPoint(t.Left + 5, t.Top + 5));
    QCOMPARE(run.Learn().Board().SelectedTile, 0);
    QTest::mouseDClick(run.F().WorkPlace, Qt::LeftButton, Qt::NoModifier, QPoint(t.Left + 5, t.Top + 5));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(t.Text));
    // A new layout forgets the hovered tile.
    run.Learn().PrepareCurrentItem();
    QCOMPARE(run.Learn().Board().SelectedTile, -1);
}

void LearnWindowTest::minimisingKeepsTheBoard() {
    Run run;
    test::AddSentence(*run.lessons, {"one two three four five six"});
    run.Start();
    std::vector<int> lefts;
    for (const WordTile& t : run.Board().WordTiles) lefts.push_back(t.Left);
    run.W().showMinimized();
    QTest::qWait(20);
    run.W().showNormal();
    QTest::qWait(20);
    QVERIFY(run.Learn().LearnPageVisible());
    std::vector<int> after;
    for (const WordTile& t : run.Board().WordTiles) after.push_back(t.Left);
    QCOMPARE(after, lefts);
}

void LearnWindowTest::closingTheMainWindowEndsTheProgram() {
    Run run;
    test::AddSentence(*run.lessons, {"one two"});
    run.Start();
    TImagesFrm pictures(run.W().Context());
    run.W().AttachPicturesWindow(pictures);
    pictures.show();
    QTimer::singleShot(0, &run.W(), [&run] { run.W().close(); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!run.W().Context().db->IsOpen());
}

namespace {

// Everything the learner's steps store, as text.
std::string StoredState(const Database& db) {
    std::string out;
    for (const char* sql : {"SELECT * FROM items2 ORDER BY ididnt;", "SELECT * FROM answcn;", "SELECT * FROM wrdstt;"})
        db.Query(sql, [&](int n, char** values, char**) {
            for (int i = 0; i < n; ++i) out += std::string(values[i] ? values[i] : "NULL") + "|";
            out += "\n";
        });
    return out;
}

// Solves the sentence on the board and presses Next: the learner sees the pre-selected sentence.
void AnswerOne(Run& run) {
    const int expectedNext = run.State().NextItemId;
    run.SolveByDragging();
    QVERIFY(run.F().NextBtn->isEnabled());
    QTest::mouseClick(run.F().NextBtn, Qt::LeftButton);
    QCOMPARE(run.State().CurrentItemId, expectedNext);
    QCOMPARE(run.Board().SentenceText, run.Item(expectedNext).stract);
    QVERIFY(!run.F().NextBtn->isEnabled());
}

}  // namespace

// The program installed for all users: its folder and database cannot be written by the learner.
// The run on that folder is a fresh process of this test program (as uid 65534 when the tests
// run as root, since permission bits do not stop root); it finds the folder in this variable.
constexpr const char* kReadOnlyFolderVariable = "LQ_TEST_READ_ONLY_PROGRAM_DIR";

void LearnWindowTest::readOnlyProgramFolderIsToldOnceAndStoresNothing() {
    const QByteArray childFolder = qgetenv(kReadOnlyFolderVariable);
    if (!childFolder.isEmpty()) {
        // The child: the program on the read-only folder says so once, lets the learner go on and
        // stores nothing.
        Run run;
        run.programDir = childFolder.toStdString();
        Database db;
        QVERIFY(db.Open(run.programDir + "/QV_01.db").ok());
        const std::string before = StoredState(db);
        db.Close();
        test::RecordingPrompter prompter;
        run.Start();
        QCOMPARE(prompter.messages.size(), size_t(1));
        QVERIFY(prompter.messages[0].text.contains(QStringLiteral("will not be saved")));
        for (int round = 0; round < 3; ++round) {
            AnswerOne(run);
            if (QTest::currentTestFailed()) return;
        }
        QCOMPARE(run.State().RunAnswerCount, 3);
        QCOMPARE(prompter.messages.size(), size_t(1));
        QCOMPARE(StoredState(*run.W().Context().db), before);
        run.W().close();
        return;
    }

    Run run;
    for (const char* text : {"one two", "red fox runs", "we can go"}) test::AddSentence(*run.lessons, {text});
    run.lessons->db.Close();
    const std::string path = run.dir.File("QV_01.db");
    const std::string bytes = test::TempDir::Read(path);
    std::string before;
    {
        Database db;
        QVERIFY(db.Open(path).ok());
        before = StoredState(db);
    }
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(run.dir.Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const test::UnprivilegedRun child = test::RunUnprivilegedProgram(
        {run.dir.Path()}, {"/proc/self/exe", "readOnlyProgramFolderIsToldOnceAndStoresNothing"},
        {{kReadOnlyFolderVariable, run.dir.Path()}});
    fs::permissions(run.dir.Path(), fs::perms::owner_all, fs::perm_options::add);
    if (child.outcome == test::UnprivilegedRun::Unavailable) QSKIP(child.why.c_str());
    QVERIFY2(child.outcome == test::UnprivilegedRun::Passed, child.why.c_str());
    QVERIFY(test::TempDir::Read(path) == bytes);

    // Started again where it can write, the program finds the history as it was and stores.
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    test::RecordingPrompter prompter;
    run.Start();
    QVERIFY(prompter.messages.empty());
    QCOMPARE(StoredState(*run.W().Context().db), before);
    AnswerOne(run);
    QCOMPARE(run.Count("SELECT count(*) FROM answcn;"), 1);
    QVERIFY(prompter.messages.empty());
}

// Another program holds the lock: a step waits once, stores nothing and changes nothing on
// screen (board, sound, following sentence, score); the learner is told each time and answers
// again. When the lock goes, the same answer is stored and the learner goes on.
void LearnWindowTest::lockedDatabaseKeepsTheSentenceUntilTheStepIsStored() {
    for (const char* lock : {"BEGIN IMMEDIATE;", "BEGIN EXCLUSIVE;"}) {
        Run run;
        for (const char* text : {"one two", "red fox runs", "we can go"}) test::AddSentence(*run.lessons, {text});
        test::RecordingPrompter prompter;
        run.Start();
        Database other;
        QVERIFY(other.Open(run.dir.File("QV_01.db")).ok());
        const std::string before = StoredState(other);
        const int current = run.State().CurrentItemId, next = run.State().NextItemId;
        const QString score = run.F().ScoreLbl->text() + run.F().Score2Lbl->text();
        run.F().SoundLoopBtn->setChecked(true);
        QCOMPARE(run.PlayedNow(), current);
        QVERIFY(other.Exec(lock).ok());
        constexpr int kWaitMs = 300;
        run.W().Context().db->SetBusyTimeout(kWaitMs);
        run.SolveByDragging();
        const std::string sentence = run.Board().SentenceText;
        const QString answers = run.F().AnswerCountLbl->text();
        for (int round = 0; round < 2; ++round) {
            QElapsedTimer timer;
            timer.start();
            QTest::mouseClick(run.F().NextBtn, Qt::LeftButton);
            QVERIFY2(timer.elapsed() < 3 * kWaitMs, "one busy wait per step");
            QCOMPARE(run.State().CurrentItemId, current);
            QCOMPARE(run.State().NextItemId, next);
            QCOMPARE(run.Board().SentenceText, sentence);
            QCOMPARE(run.Board().WordTiles[0].Row, 0);  // the tiles stay where the learner put them
            QVERIFY(run.F().NextBtn->isEnabled());
            QVERIFY(run.State().SentenceSolved);
            QCOMPARE(run.PlayedNow(), current);
            QCOMPARE(run.F().ScoreLbl->text() + run.F().Score2Lbl->text(), score);
            QCOMPARE(run.F().AnswerCountLbl->text(), answers);
            QCOMPARE(prompter.messages.size(), size_t(round + 1));
            QVERIFY2(prompter.messages.back().text.contains(QStringLiteral("press Next again")),
                     qPrintable(prompter.messages.back().text));
        }
        QVERIFY(other.Exec("ROLLBACK;").ok());
        QCOMPARE(StoredState(other), before);

        // The lock is gone: the same answer is stored, and nothing more is said.
        QTest::mouseClick(run.F().NextBtn, Qt::LeftButton);
        QCOMPARE(run.State().CurrentItemId, next);
        QCOMPARE(run.Board().SentenceText, run.Item(next).stract);
        QCOMPARE(run.PlayedNow(), next);
        QCOMPARE(run.Item(current).iaansw, 1);
        QCOMPARE(run.Count("SELECT count(*) FROM answcn;"), 1);
        QCOMPARE(prompter.messages.size(), size_t(2));
        AnswerOne(run);
        QCOMPARE(run.Count("SELECT count(*) FROM answcn;"), 2);
    }
}

// Another program holds the file for longer than a busy timeout: showing a page waits at most
// once, however many statements the page runs, and then shows what it could read.
void LearnWindowTest::pageSwitchWaitsOnceForALock() {
    Run run;
    for (int i = 0; i < 12; ++i)
        test::AddSentence(*run.lessons, {"alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu"});
    run.Start();
    const std::string sentence = run.Board().SentenceText;
    Database other;
    QVERIFY(other.Open(run.dir.File("QV_01.db")).ok());
    QVERIFY(other.Exec("BEGIN EXCLUSIVE;").ok());
    constexpr int kWaitMs = 300;
    run.W().Context().db->SetBusyTimeout(kWaitMs);
    QTabWidget* pages = run.W().Form().Pages;
    for (QWidget* page : {run.W().Form().TabSheet2, run.W().Form().TabSheet3, run.W().Form().TabSheet7,
                          run.W().Form().TabSheet1}) {
        QElapsedTimer timer;
        timer.start();
        pages->setCurrentWidget(page);
        page->repaint();
        for (QAbstractScrollArea* grid : page->findChildren<QAbstractScrollArea*>()) grid->viewport()->repaint();
        // Each of these pages runs more than ten statements; one wait each would take seconds.
        QVERIFY2(timer.elapsed() < 5 * kWaitMs, qPrintable(page->objectName() + QStringLiteral(": %1 ms").arg(timer.elapsed())));
    }
    QCOMPARE(run.Board().SentenceText, sentence);
    QVERIFY(other.Exec("ROLLBACK;").ok());
}

// Each placed tile reads its sentence again; while another program holds the file the board goes
// on at once with the sentence it laid out, rather than waiting a busy timeout for every tile.
void LearnWindowTest::placedTilesWaitBrieflyForALock() {
    Run run;
    test::AddSentence(*run.lessons, {"alpha beta gamma delta epsilon zeta"});
    run.Start();
    Database other;
    QVERIFY(other.Open(run.dir.File("QV_01.db")).ok());
    QVERIFY(other.Exec("BEGIN EXCLUSIVE;").ok());
    constexpr int kWaitMs = 1500;
    run.W().Context().db->SetBusyTimeout(kWaitMs);
    QElapsedTimer timer;
    timer.start();
    run.SolveByDragging();
    QVERIFY2(timer.elapsed() < kWaitMs, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(run.State().SentenceSolved);
    QVERIFY(run.F().NextBtn->isEnabled());
    QVERIFY(other.Exec("ROLLBACK;").ok());
}

QTEST_MAIN(LearnWindowTest)
#include "LearnWindowTest.moc"
