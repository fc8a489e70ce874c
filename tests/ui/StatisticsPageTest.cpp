#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>
#include <chrono>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Progress.h"
#include "core/SqlText.h"
#include "tests/core/CoreTestDb.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/StatementTrace.h"
#include "ui/ScoreLabels.h"
#include "ui/StatisticsPage.h"
#include "ui/TProgressFrm.h"

namespace lq {
namespace {

using test::CoreTestDb;

// One application for the whole run, never destroyed: Qt's input devices must not outlive it
// in the exit handlers.
QApplication& App() {
    static int argc = 1;
    static char name[] = "test_statistics";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class StatisticsPageTest : public ::testing::Test {
protected:
    StatisticsPageTest() {
        ctx.db = &t.db;
        ctx.state = &state;
        ctx.row = &t.row;
    }

    void AddWord(const char* word, int icount, int ianswr, int istate) {
        t.Exec(Sql("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(%i, %i, %i, '%q');", icount, ianswr,
                   istate, word));
        state.WordStatCount = t.Count("SELECT count(*) FROM wrdstt;");
    }
    void Words() {
        AddWord("banana", 3, 1, 0);
        AddWord("apple", 5, 0, 1);
        AddWord("cherry", 1, 7, 0);
        AddWord("o*brien", 2, 2, 0);
    }
    StatisticsPage& Page() {
        if (!page) {
            tab.resize(584, 552);
            page = std::make_unique<StatisticsPage>(&tab, ctx);
            tab.show();
        }
        return *page;
    }
    template <class W>
    W* Find(const char* name) {
        W* w = tab.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString Cell(int row, int column) {
        return Page().Model()->data(Page().Model()->index(row, column)).toString();
    }
    QStringList Column(int column) {
        QStringList out;
        Page().Model()->ForgetRow();
        for (int r = 0; r < Page().Model()->rowCount(); ++r) out << Cell(r, column);
        return out;
    }
    int CurrentRow() { return Page().WordsList()->currentIndex().row(); }
    int IstateOf(const char* word) {
        lq::CurrentRow r;
        t.db.Query(Sql("SELECT * FROM wrdstt WHERE twordd='%q';", word), r);
        return r.istate;
    }

    bool appReady_ = (App(), true);  // before any widget
    CoreTestDb t;
    LearnState state;
    AppContext ctx;
    QWidget tab;
    std::unique_ptr<StatisticsPage> page;
};

TEST_F(StatisticsPageTest, LayoutHasTheStoredWidgets) {
    Page();
    EXPECT_EQ(tab.objectName(), "TabSheet7");
    EXPECT_EQ(Find<QGroupBox>("GroupBox5")->title(), "Statistics");
    EXPECT_EQ(Find<QLabel>("Label9")->text(), "Sentences:");
    EXPECT_EQ(Find<QLabel>("Label8")->text(), "Words found:");
    EXPECT_EQ(Find<QLabel>("Label7")->font().pixelSize(), 16);
    EXPECT_EQ(Find<QToolButton>("SpeedButton1")->text(), "Get Words Statistics");
    EXPECT_EQ(Find<QToolButton>("By123")->text(), "123");
    EXPECT_EQ(Find<QToolButton>("ByABC")->text(), "ABC");
    EXPECT_EQ(Find<QToolButton>("ByINP")->text(), "Inp");
    EXPECT_TRUE(Find<QToolButton>("ByABC")->isChecked());
    EXPECT_TRUE(Find<QLineEdit>("Edit2")->isEnabled());
    QTableView* grid = Find<QTableView>("WordsList");
    const int widths[] = {40, 40, 130, 40, 40};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 18);
    EXPECT_FALSE(grid->horizontalHeader()->isVisibleTo(grid));
    EXPECT_EQ(grid->font().pixelSize(), 11);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(StatisticsPageTest, ShowingThePageShowsTheCounts) {
    Words();
    state.ItemCount = 17;
    Page().OnShow();
    EXPECT_EQ(Find<QLabel>("Label7")->text(), "4");
    EXPECT_EQ(Find<QLabel>("Label10")->text(), "17");
    EXPECT_EQ(Page().Model()->rowCount(), 4);
}

TEST_F(StatisticsPageTest, GridSortsThreeWays) {
    Words();
    Page().OnShow();
    EXPECT_EQ(Column(2), (QStringList{"apple", "banana", "cherry", "o*brien"}));
    EXPECT_EQ(Column(0), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(Column(1), (QStringList{"5", "3", "1", "2"}));
    EXPECT_EQ(Column(3), (QStringList{"1", "0", "0", "0"}));
    EXPECT_EQ(Column(4), (QStringList{"0", "1", "7", "2"}));

    Find<QToolButton>("By123")->click();
    EXPECT_EQ(Page().Model()->Order(), WordOrder::ByCount);
    EXPECT_EQ(Column(2), (QStringList{"cherry", "o*brien", "banana", "apple"}));
    EXPECT_FALSE(Find<QLineEdit>("Edit2")->isEnabled());
    EXPECT_FALSE(Find<QToolButton>("ByABC")->isChecked());

    Find<QToolButton>("ByINP")->click();
    EXPECT_EQ(Column(2), (QStringList{"apple", "banana", "o*brien", "cherry"}));
    EXPECT_FALSE(Find<QLineEdit>("Edit2")->isEnabled());

    Find<QToolButton>("ByABC")->click();
    EXPECT_EQ(Column(2), (QStringList{"apple", "banana", "cherry", "o*brien"}));
    EXPECT_TRUE(Find<QLineEdit>("Edit2")->isEnabled());
}

TEST_F(StatisticsPageTest, EachPaintingReadsTheRowsAfresh) {
    Words();
    Page().OnShow();
    (void)Page().WordsList()->grab();
    EXPECT_EQ(Cell(0, 4), "0");
    t.Exec("UPDATE wrdstt SET ianswr=9 WHERE twordd='apple';");  // as the sound thread would
    (void)Page().WordsList()->grab();                             // a painting forgets the row read
    EXPECT_EQ(Cell(0, 4), "9");
}

TEST_F(StatisticsPageTest, SearchFindsTheFirstWordNotBeforeTheText) {
    Words();
    Page().OnShow();
    QLineEdit* edit = Find<QLineEdit>("Edit2");
    edit->setText("B");
    EXPECT_EQ(CurrentRow(), 1);
    EXPECT_EQ(Page().SelectedGridRow(), 1);
    edit->setText("ch");
    EXPECT_EQ(CurrentRow(), 2);
    edit->setText("o'b");  // apostrophes are stored as '*'
    EXPECT_EQ(CurrentRow(), 3);
    edit->setText("zzz");  // after every word: the last row
    EXPECT_EQ(CurrentRow(), 3);
    edit->setText("a");
    EXPECT_EQ(CurrentRow(), 0);
}

// The grid's row reads and the search run prepared with their values bound.
TEST_F(StatisticsPageTest, RowsAndSearchRunWithTheirValuesBound) {
    Words();
    Page().OnShow();
    const test::StatementTrace trace(t.db);
    Column(0);
    Find<QLineEdit>("Edit2")->setText("O'B");
    const test::StatementTrace::Statement expected[] = {
        {"SELECT * FROM wrdstt ORDER BY twordd ASC, ididnt ASC LIMIT ?,1;",
         "SELECT * FROM wrdstt ORDER BY twordd ASC, ididnt ASC LIMIT 3,1;"},
        {"SELECT count(*) FROM wrdstt WHERE twordd<? ORDER BY twordd ASC;",
         "SELECT count(*) FROM wrdstt WHERE twordd<'o''b' ORDER BY twordd ASC;"},
    };
    const auto& ran = trace.Statements();
    for (const auto& e : expected) EXPECT_NE(std::find(ran.begin(), ran.end(), e), ran.end()) << e.expanded;
}

TEST_F(StatisticsPageTest, SearchTextIsOnlyLowerCased) {
    Words();
    AddWord("2nd", 1, 0, 0);  // as an older version's data may hold it
    Page().OnShow();
    QLineEdit* edit = Find<QLineEdit>("Edit2");
    edit->setText("c");
    ASSERT_EQ(CurrentRow(), 3);  // 2nd, apple, banana, cherry
    // Digits and end punctuation are part of the text: "9z" sorts before every letter.
    edit->setText("9z");
    EXPECT_EQ(CurrentRow(), 1);
    edit->setText("2");
    EXPECT_EQ(CurrentRow(), 0);
    edit->setText("Banana.");
    EXPECT_EQ(CurrentRow(), 3);  // after "banana"
    edit->setText("(b");
    EXPECT_EQ(CurrentRow(), 0);  // "(" sorts before the digits
}

TEST_F(StatisticsPageTest, SearchTextCannotRunStatements) {
    Words();
    Page().OnShow();
    QLineEdit* edit = Find<QLineEdit>("Edit2");
    edit->setText("x'; DELETE FROM wrdstt; --");
    EXPECT_EQ(t.Count("SELECT count(*) FROM wrdstt;"), 4);
    EXPECT_EQ(CurrentRow(), 3);  // "x*" sorts after every word
    edit->setText("c'); DROP TABLE wrdstt; --");
    EXPECT_EQ(t.Count("SELECT count(*) FROM wrdstt;"), 4);
}

TEST_F(StatisticsPageTest, DoubleClickTogglesTheMark) {
    AddWord("apple", 5, 0, 5);
    AddWord("banana", 3, 1, 0);
    Page().OnShow();
    QTableView* grid = Page().WordsList();
    const QPoint where = grid->visualRect(Page().Model()->index(0, 2)).center();
    auto doubleClick = [&] {
        // As the platform delivers it: press, release, then the double click.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, where);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, where);
    };
    doubleClick();
    EXPECT_EQ(IstateOf("apple"), 1);
    doubleClick();
    EXPECT_EQ(IstateOf("apple"), 0);
    doubleClick();
    EXPECT_EQ(IstateOf("apple"), 1);
    EXPECT_EQ(IstateOf("banana"), 0);
    Page().Model()->ForgetRow();
    EXPECT_EQ(Cell(0, 3), "1");
}

TEST_F(StatisticsPageTest, DoubleClickOnAnEmptyTableChangesNothing) {
    Page().OnShow();
    EXPECT_EQ(Page().Model()->rowCount(), 0);
    Page().ToggleMark();
    // A stale count: the grid shows a row that names no word.
    state.WordStatCount = 3;
    Page().OnShow();
    EXPECT_EQ(Cell(2, 2), "");
    Page().ToggleMark();
    EXPECT_EQ(t.Count("SELECT count(*) FROM wrdstt;"), 0);
}

TEST_F(StatisticsPageTest, RebuildButtonCountsTheWordsAndGoesToAlphabeticalOrder) {
    test::ItemSpec s;
    s.stract = "Dogs like dogs.";
    t.AddItem(s);
    state.ItemCount = 1;
    Page().OnShow();
    Find<QToolButton>("By123")->click();
    Find<QToolButton>("SpeedButton1")->click();
    EXPECT_EQ(state.WordStatCount, 2);
    EXPECT_EQ(Find<QLabel>("Label7")->text(), "2");
    EXPECT_TRUE(Find<QToolButton>("ByABC")->isChecked());
    EXPECT_EQ(Page().Model()->Order(), WordOrder::ByWord);
    EXPECT_FALSE(Find<QLineEdit>("Edit2")->isEnabled());  // left as it was
    EXPECT_EQ(Column(2), (QStringList{"dogs", "like"}));
    EXPECT_EQ(Column(1), (QStringList{"2", "1"}));
}

// The rebuild reports every sentence to the progress window, which paints about 30 times a
// second and ends as it always has: hidden, with the last sentence's report in its labels and bar.
TEST_F(StatisticsPageTest, RebuildButtonShowsProgressAtAboutThirtyPaintingsASecond) {
    constexpr int kSentences = 3000;
    t.Exec("BEGIN;");
    test::ItemSpec s;
    for (int i = 0; i < kSentences; ++i) {
        std::string word = "zq";
        for (int k = i % 700; k > 0; k /= 26) word += static_cast<char>('a' + k % 26);
        s.stract = "Sentence number " + word + " here.";
        t.AddItem(s);
    }
    t.Exec("COMMIT;");
    state.ItemCount = kSentences;
    Page().OnShow();
    ProgressWindow progress;
    ScopedAppProgress useProgress(&progress);
    TProgressFrm* w = progress.Create();
    struct PaintCounter final : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    w->installEventFilter(&counter);

    const auto start = std::chrono::steady_clock::now();
    Find<QToolButton>("SpeedButton1")->click();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(state.WordStatCount, 703);
    EXPECT_LE(counter.paints, ms.count() / 33 + 4) << ms.count() << " ms";
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->PaintPending());
    EXPECT_EQ(w->findChild<QLabel*>("Label1")->text(), "Words statistic");
    EXPECT_EQ(w->findChild<QLabel*>("Label2")->text(),
              QString::fromLatin1(ProgressPercentText(kSentences - 1, kSentences).c_str()));
    EXPECT_EQ(w->findChild<QProgressBar*>("PB")->maximum(), kSentences);
    EXPECT_EQ(w->findChild<QProgressBar*>("PB")->value(), kSentences - 1);
}

// A word statistics table that refuses every change: the double click and the rebuild say so
// with the engine's message, and the table stays as it was.
TEST_F(StatisticsPageTest, FailedWritesAreToldAndChangeNothing) {
    test::ItemSpec s;
    s.stract = "Dogs like dogs.";
    t.AddItem(s);
    state.ItemCount = 1;
    AddWord("apple", 5, 0, 1);
    t.Exec("CREATE TRIGGER refuse BEFORE UPDATE ON wrdstt BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    test::RecordingPrompter prompter;
    Page().OnShow();
    QTableView* grid = Page().WordsList();
    const QPoint where = grid->visualRect(Page().Model()->index(0, 2)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, where);
    EXPECT_EQ(IstateOf("apple"), 1);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains("mark")) << prompter.messages[0].text.toStdString();
    EXPECT_TRUE(prompter.messages[0].text.contains("refused"));

    Find<QToolButton>("SpeedButton1")->click();
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_TRUE(prompter.messages[1].text.contains("statistics")) << prompter.messages[1].text.toStdString();
    EXPECT_TRUE(prompter.messages[1].text.contains("refused"));
    EXPECT_EQ(state.WordStatCount, 1);
    EXPECT_EQ(Column(2), (QStringList{"apple"}));
    EXPECT_EQ(t.Count("SELECT count(*) FROM wrdstt WHERE icount=5;"), 1) << "the old counts are kept";
}

// ---- The Learn page's score labels ------------------------------------------------------------

class ScoreLabelsTest : public ::testing::Test {
protected:
    ScoreLabelsTest() {
        for (QLabel* l : {&score, &score2, &daysLeft}) {
            l->setParent(&panel);
            l->setToolTip("Your score :)");
        }
        score.setText("99");
        score2.setText("98765");
        daysLeft.setText("99");
        daysLeft.hide();
        panel.show();
    }
    bool appReady_ = (App(), true);
    QWidget panel;
    QLabel score, score2, daysLeft;
};

TEST_F(ScoreLabelsTest, TextsAndHintsAfterAStep) {
    ScoreLabels labels(&score, &score2, &daysLeft);
    labels.Show(MakeScoreLabelTexts(57.99996f, -12.345f));
    EXPECT_EQ(score.text(), "58");
    EXPECT_EQ(score2.text(), "0000");
    EXPECT_EQ(score.toolTip(), "-12.35");
    EXPECT_EQ(daysLeft.text(), "-12.35");
    EXPECT_EQ(daysLeft.toolTip(), "58.0000");
    EXPECT_EQ(score2.toolTip(), "Your score :)");
}

TEST_F(ScoreLabelsTest, FirstShowingWritesOnlyTheScore) {
    ScoreLabels labels(&score, &score2, &daysLeft);
    labels.ShowScore(95.1234f);
    EXPECT_EQ(score.text(), "95");
    EXPECT_EQ(score2.text(), "1234");
    EXPECT_EQ(daysLeft.text(), "99");
    EXPECT_EQ(daysLeft.toolTip(), "Your score :)");
    labels.ShowScore(0.0f);
    EXPECT_EQ(score.text(), "0");
    EXPECT_EQ(score2.text(), "0000");
}

TEST_F(ScoreLabelsTest, DoubleClickSwitchesViewsAndBack) {
    ScoreLabels labels(&score, &score2, &daysLeft);
    QTest::mouseDClick(&score, Qt::LeftButton);
    EXPECT_TRUE(score.isHidden());
    EXPECT_TRUE(score2.isHidden());
    EXPECT_FALSE(daysLeft.isHidden());
    QTest::mouseDClick(&daysLeft, Qt::LeftButton);
    EXPECT_FALSE(score.isHidden());
    EXPECT_FALSE(score2.isHidden());
    EXPECT_TRUE(daysLeft.isHidden());
    panel.hide();  // the view switches also while the page is not shown
    labels.Toggle();
    EXPECT_TRUE(score.isHidden());
    EXPECT_FALSE(daysLeft.isHidden());
}

}  // namespace
}  // namespace lq
