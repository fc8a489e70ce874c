// The pages and small windows built on a plain page control with a temporary database.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/SentenceBoard.h"
#include "core/SqlText.h"
#include "platform/Cp1251.h"
#include "platform/DateTime.h"
#include "platform/KeySynth.h"
#include "tests/pages/PagesTestSupport.h"
#include "tests/support/RecordingPrompter.h"
#include "ui/AboutPage.h"
#include "tests/support/StatementTrace.h"
#include "ui/EditPage.h"
#include "ui/GraphsPage.h"
#include "ui/ListPage.h"
#include "ui/Page.h"
#include "ui/SettingPage.h"
#include "ui/TComentFrm.h"
#include "ui/TImagesFrm.h"

namespace lq {
namespace {

// A main window's page control with its seven empty tab sheets.
struct PageControl {
    PageControl() {
        for (int i = 1; i <= 7; ++i) {
            auto* sheet = new QWidget;
            sheet->setObjectName(QStringLiteral("TabSheet%1").arg(i));
            tabs.addTab(sheet, sheet->objectName());
        }
        tabs.resize(592, 580);
    }
    QWidget* Sheet(int n) { return tabs.widget(n - 1); }
    QTabWidget tabs;
};

template <class T>
T* Find(QWidget* parent, const char* name) {
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no widget %s", name);
    return w;
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void SaveShot(QWidget* w, const char* name) {
    const QByteArray dir = qgetenv("LQ_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// A click on a check box's or radio button's indicator (its label may be shorter than the widget).
void ClickIndicator(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }

class RecordingOpener : public UrlOpener {
public:
    void Open(const QUrl& url) override { urls.push_back(url); }
    std::vector<QUrl> urls;
};

}  // namespace

class PagesUiTest : public QObject {
    Q_OBJECT
private slots:
    void graphsPageLoadsPansAndZooms();
    void editPageShowsStoresAndMarks();
    void listPageDrawsTheQueue();
    void settingPageHandlers();
    void settingPageOtherGroups();
    void aboutPage();
    void pagesOutliveTheirTabs();
    void picturesWindow();
    void commentsWindow();
    void keySynthesis();
};

void PagesUiTest::graphsPageLoadsPansAndZooms() {
    test::PagesFixture f;
    // 60 days of answers: about 25 a day, the score rising, a module added on day 30.
    f.Exec("BEGIN;");
    int rows = 0;
    for (int day = 0; day < 60; ++day) {
        for (int k = 0; k < 20 + (day * 7) % 11; ++k) {
            const double when = 45300.0 + day + 0.3 + k * 0.01;
            const double score = 2.0 + day * 0.6 + std::sin(rows * 0.3) * 0.8 - (day >= 30 ? 4.0 : 0.0);
            f.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('%.5f', %i, '%s', '%.5f');", score,
                       day >= 30 ? 180 : 120, DateText(when).c_str(), 20.0 + (day % 7) * 2.0));
            ++rows;
        }
    }
    f.Exec("COMMIT;");
    f.state.AnswerHistoryCount = rows;

    PageControl pc;
    GraphsPage page(pc.Sheet(4), f.ctx);
    GraphCanvas* canvas = Find<GraphCanvas>(pc.Sheet(4), "GrphsView");
    QCOMPARE(canvas, page.Canvas());
    page.InitScales();
    const GraphView start = page.View();
    QCOMPARE(start.IndexStart, static_cast<float>(rows) - 292.0f / 2.0f);
    canvas->setFixedSize(584, 544);
    pc.tabs.setCurrentIndex(3);
    pc.tabs.show();
    page.OnShow();
    QCOMPARE(static_cast<int>(page.History().size()), rows);
    QCOMPARE(f.state.AnswerHistoryCount, rows);

    // Pan the newest answers into the view's left half and look at them.
    SendMouse(canvas, QEvent::MouseButtonPress, {300, 300}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(canvas, QEvent::MouseMove, {450, 300}, Qt::NoButton, Qt::LeftButton);
    SendMouse(canvas, QEvent::MouseButtonRelease, {450, 300}, Qt::LeftButton, Qt::NoButton);
    float expectedStart = start.IndexStart;
    for (int i = 0; i < 150; ++i) expectedStart -= 584.0f / start.IndexScale * 0.01f;
    QCOMPARE(page.View().IndexStart, expectedStart);
    const QImage shot = canvas->grab().toImage();
    QCOMPARE(shot.pixelColor(583, 543), QColor(Qt::white));
    SaveShot(pc.Sheet(4), "graphs-page");

    // Right drag, 35 one-pixel moves up: the score scale grows by 1.02 per pixel.
    const float scale0 = page.View().ScoreScale;
    SendMouse(canvas, QEvent::MouseButtonPress, {200, 400}, Qt::RightButton, Qt::RightButton);
    for (int i = 1; i <= 35; ++i) SendMouse(canvas, QEvent::MouseMove, {200, 400 - i}, Qt::NoButton, Qt::RightButton);
    float scale = scale0;
    for (int i = 0; i < 35; ++i) scale *= 1.02f;
    QCOMPARE(page.View().ScoreScale, scale);

    // A drag far down and right neither hangs the painting nor breaks the view.
    SendMouse(canvas, QEvent::MouseMove, {20200, 20365}, Qt::NoButton, Qt::RightButton);
    SendMouse(canvas, QEvent::MouseButtonPress, {0, 0}, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    SendMouse(canvas, QEvent::MouseMove, {-20000, 20000}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    QElapsedTimer timer;
    timer.start();
    canvas->grab();
    QVERIFY(timer.elapsed() < 1000);
    for (float v : {page.View().ScoreScale, page.View().ScoreMin, page.View().IndexScale, page.View().IndexStart})
        QVERIFY(std::isfinite(v));
    QVERIFY(page.View().ScoreScale >= GraphView::kMinScoreScale);
}

void PagesUiTest::editPageShowsStoresAndMarks() {
    test::PagesFixture f;
    const int id = f.InsertItem("The cat sat.");
    f.Exec(Sql("UPDATE items2 SET strind='1 4 0 2 ' WHERE ididnt=%i;", id));
    f.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(5, 0, 1, 'cat');");
    f.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(9, 0, 0, 'sat');");
    f.state.CurrentItemId = id;
    SentenceBoard board;
    for (const char* w : {"sat.", "cat", "The"}) {
        WordTile t;
        t.Text = w;
        board.WordTiles.push_back(t);
    }

    PageControl pc;
    EditPage page(pc.Sheet(2), f.ctx, board);
    QWidget* sheet = pc.Sheet(2);
    {
        const test::StatementTrace trace(f.db);  // the sentence is read with its id bound
        page.OnShow();
        QVERIFY(trace.Ran({"SELECT * FROM items2 WHERE ididnt=?;",
                           "SELECT * FROM items2 WHERE ididnt=" + std::to_string(id) + ";"}));
    }
    QCOMPARE(Find<QPlainTextEdit>(sheet, "BeforeTxt")->toPlainText(), QStringLiteral("before"));
    QCOMPARE(Find<QPlainTextEdit>(sheet, "LearnTxt")->toPlainText(), QStringLiteral("The cat sat."));
    QCOMPARE(Find<QPlainTextEdit>(sheet, "AfterTxt")->toPlainText(), QStringLiteral("after"));
    QVERIFY(Find<QCheckBox>(sheet, "DoInpCB")->isChecked());
    QVERIFY(board.ItemTypingEnabled);
    QListWidget* list = Find<QListWidget>(sheet, "ListBox1");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), QStringLiteral("***\t5\t  \tcat"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("   \t9\t  \tsat"));
    QCOMPARE(list->item(2)->text(), QStringLiteral("   \t---\t \tthe"));
    QListWidget* pairs = Find<QListWidget>(sheet, "AddTxt");
    QCOMPARE(pairs->count(), 3);
    QCOMPARE(pairs->item(0)->text(), QStringLiteral("-\t-\tThe"));
    QCOMPARE(pairs->item(2)->text(), QStringLiteral("1\t4\tsat."));
    QVERIFY(!pairs->isVisibleTo(sheet));

    // Double-clicking "cat" clears its mark and keeps the line selected.
    pc.tabs.setCurrentIndex(1);
    pc.tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pc.tabs));
    const QRect r = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(list->item(0)->text(), QStringLiteral("   \t5\t  \tcat"));
    QCOMPARE(list->currentRow(), 0);
    SaveShot(sheet, "edit-page");

    // Replace stores the edited texts, lines joined, apostrophes escaped, isigns 2 when unchecked.
    Find<QPlainTextEdit>(sheet, "LearnTxt")->setPlainText(QStringLiteral("It's\nnew"));
    Find<QCheckBox>(sheet, "DoInpCB")->setChecked(false);
    QTest::mouseClick(Find<QAbstractButton>(sheet, "ReplBtnEd"), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(f.ItemText(id, "stract")), QStringLiteral("It'snew"));
    QCOMPARE(QString::fromStdString(f.ItemText(id, "isigns")), QStringLiteral("2"));

    // In debug mode the pair list is shown.
    f.env.DebugMode = true;
    page.OnShow();
    QVERIFY(pairs->isVisibleTo(sheet));
    QVERIFY(!board.ItemTypingEnabled);

    // Changes that cannot be stored are told, with the engine's message, each time.
    f.Exec("CREATE TRIGGER refuse_items BEFORE UPDATE ON items2 BEGIN SELECT RAISE(ABORT, 'no items'); END;");
    f.Exec("CREATE TRIGGER refuse_words BEFORE UPDATE ON wrdstt BEGIN SELECT RAISE(ABORT, 'no words'); END;");
    test::RecordingPrompter prompter;
    Find<QPlainTextEdit>(sheet, "LearnTxt")->setPlainText(QStringLiteral("lost"));
    QTest::mouseClick(Find<QAbstractButton>(sheet, "ReplBtnEd"), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(f.ItemText(id, "stract")), QStringLiteral("It'snew"));
    QCOMPARE(prompter.messages.size(), size_t(1));
    QVERIFY(prompter.messages[0].text.contains(QStringLiteral("no items")));
    QVERIFY(prompter.messages[0].text.contains(QStringLiteral("sentence")));
    page.OnShow();
    const QRect first = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(list->item(0)->text(), QStringLiteral("   \t5\t  \tcat"));
    QCOMPARE(prompter.messages.size(), size_t(2));
    QVERIFY(prompter.messages[1].text.contains(QStringLiteral("no words")));
    QVERIFY(prompter.messages[1].text.contains(QStringLiteral("mark")));
}

void PagesUiTest::listPageDrawsTheQueue() {
    test::PagesFixture f;
    for (int i = 0; i < 12; ++i) f.InsertItem("Sentence number " + std::to_string(i) + ".");
    f.Exec("UPDATE items2 SET irng_2=900, dtansn='2099-01-01 00:00:00' WHERE iplace=1;");
    f.state.NowText = "2024-06-01 12:00:00";
    f.state.LastNextTime = 45444.5;

    PageControl pc;
    ListPage page(pc.Sheet(3), f.ctx);
    QTableView* grid = Find<QTableView>(pc.Sheet(3), "DrawGrid1");
    QCOMPARE(grid, page.Grid());
    page.OnShow();
    QCOMPARE(grid->model()->rowCount(), 12);
    QCOMPARE(grid->columnWidth(0), 550);
    QCOMPARE(grid->rowHeight(0), 52);
    pc.tabs.setCurrentIndex(2);
    pc.tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pc.tabs));
    const QImage img = grid->viewport()->grab().toImage();
    QCOMPARE(img.pixelColor(400, 50), QColor(Qt::white));
    QCOMPARE(img.pixelColor(400, 52 + 50), QColor(245, 245, 245));
    QCOMPARE(img.pixelColor(550 - 8, 7), QColor(100, 240, 100));   // the first row's mark
    QCOMPARE(img.pixelColor(550 - 8, 52 + 7), QColor(Qt::white));  // irng_2 0
    // The blue summary line (a sentence not yet due) ends before the circle: no blue ink there.
    for (int x = 550 - 16; x < 550; ++x)
        for (int y = 0; y < 16; ++y) {
            const QColor c = img.pixelColor(x, y);
            QVERIFY2(c.blue() - std::max(c.red(), c.green()) < 40, qPrintable(QStringLiteral("blue at %1,%2").arg(x).arg(y)));
        }
    SaveShot(pc.Sheet(3), "list-page");

    // An empty database draws nothing.
    f.state.ItemCount = 0;
    page.OnShow();
    QCOMPARE(grid->model()->rowCount(), 0);
}

void PagesUiTest::settingPageHandlers() {
    test::PagesFixture f;
    f.settings.InputAfter = 20;
    f.settings.AddTimeSnd = 2.25f;
    f.settings.DoAddInpWr = 1;
    f.settings.Translater = 2;
    f.settings.FirstSPos = 1;
    f.settings.ShowNxtSnt = 0;
    PageControl pc;
    QWidget* sheet = pc.Sheet(5);
    SettingPage page(sheet, f.ctx);
    QLineEdit freeWord;
    freeWord.setEnabled(false);
    freeWord.setVisible(false);
    page.SetFreeWordEdit(&freeWord);

    page.ShowStartupSettings();
    QVERIFY(Find<QRadioButton>(sheet, "QV_RB")->isChecked());
    QVERIFY(Find<QRadioButton>(sheet, "FspRB_R")->isChecked());
    QCOMPARE(f.settings.Translater, 2);
    QCOMPARE(f.settings.FirstSPos, 1);

    Find<QPlainTextEdit>(sheet, "Memo1")->setPlainText(QStringLiteral("old lines"));
    page.OnShow();
    QCOMPARE(f.settings.InputAfter, 12);  // the clamp applies on showing
    QCOMPARE(Find<QLineEdit>(sheet, "AddSoundTimeED")->text(), QStringLiteral("2.2"));
    QCOMPARE(f.settings.AddTimeSnd.load(), 2.2f);
    QVERIFY(!Find<QCheckBox>(sheet, "ShowNxtSntCB")->isChecked());
    QVERIFY(freeWord.isEnabled());
    QVERIFY(!freeWord.isHidden());
    QVERIFY(Find<QPlainTextEdit>(sheet, "Memo1")->toPlainText().isEmpty());

    // Typed numbers.
    QLineEdit* addTime = Find<QLineEdit>(sheet, "AddSoundTimeED");
    const std::pair<const char*, float> typed[] = {{"5", 3.0f}, {"1.5", 1.5f}, {"nan", 0.0f}, {"1,5", 1.0f}, {"0x1p1", 0.0f}};
    for (const auto& [text, value] : typed) {
        addTime->setText(QString::fromLatin1(text));
        QCOMPARE(f.settings.AddTimeSnd.load(), value);
    }
    QLineEdit* after = Find<QLineEdit>(sheet, "InputAfterGAED");
    after->setText(QStringLiteral("2"));
    QCOMPARE(f.settings.InputAfter, 4);
    after->setText(QStringLiteral("99999999999"));
    QCOMPARE(f.settings.InputAfter, 12);

    // Check boxes and radio buttons.
    pc.tabs.setCurrentIndex(4);
    pc.tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pc.tabs));
    SaveShot(sheet, "setting-page");
    ClickIndicator(Find<QCheckBox>(sheet, "DoAddIptWrCB"));
    QCOMPARE(f.settings.DoAddInpWr, 0);
    QVERIFY(!freeWord.isEnabled());
    QVERIFY(freeWord.isHidden());
    ClickIndicator(Find<QCheckBox>(sheet, "DoInputCB"));
    QCOMPARE(f.settings.DoInpWords, 0);
    ClickIndicator(Find<QCheckBox>(sheet, "ShowNxtSntCB"));
    QCOMPARE(f.settings.ShowNxtSnt, 1);
    ClickIndicator(Find<QRadioButton>(sheet, "WW_RB"));
    QCOMPARE(f.settings.Translater, 0);
    ClickIndicator(Find<QRadioButton>(sheet, "Ln_RB"));
    QCOMPARE(f.settings.Translater, 1);
    page.TranslatorClicked(&freeWord);  // another sender changes nothing
    QCOMPARE(f.settings.Translater, 1);
    ClickIndicator(Find<QRadioButton>(sheet, "FspRB_B"));
    QCOMPARE(f.settings.FirstSPos, 0);
    QCOMPARE(Find<QRadioButton>(sheet, "QV_RB")->text(), QStringLiteral("ZEDivedazazu"));
}

void PagesUiTest::settingPageOtherGroups() {
    test::PagesFixture f;
    f.InsertSound("one.mp3");
    f.InsertSound("two.mp3");
    PageControl pc;
    QWidget* sheet = pc.Sheet(5);
    SettingPage page(sheet, f.ctx);
    QSignalSpy rows(&page, &SettingPage::ModuleRowCountChanged);
    page.OnShow();
    QCOMPARE(rows.count(), 1);
    QCOMPARE(rows.at(0).at(0).toInt(), 2);
    QCOMPARE(page.ModuleRowCount(), 2);
    QVERIFY(!Find<QAbstractButton>(sheet, "SpeedButton8")->isVisibleTo(sheet));
    f.env.DebugMode = true;
    page.OnShow();
    QVERIFY(Find<QAbstractButton>(sheet, "SpeedButton8")->isVisibleTo(sheet));

    // The module buttons work from the start with their own hints; the sound check's buttons
    // stay disabled and say why until their owner is connected.
    QAbstractButton* add = Find<QAbstractButton>(sheet, "AddItemsBtn");
    QAbstractButton* del = Find<QAbstractButton>(sheet, "DelModuleBtn");
    QAbstractButton* sound1 = Find<QAbstractButton>(sheet, "SpeedButton2");
    QVERIFY(add->isEnabled() && del->isEnabled() && Find<QAbstractButton>(sheet, "BitBtn1")->isEnabled());
    QCOMPARE(del->toolTip(), QStringLiteral("Delete currently selected module"));
    QCOMPARE(Find<QAbstractButton>(sheet, "SpeedButton6")->toolTip(), QStringLiteral("Select all modules"));
    QVERIFY(add->toolTip().isEmpty());
    QVERIFY(!sound1->isEnabled());
    page.SetSoundCheckAvailable(true);
    QVERIFY(sound1->isEnabled());
    QSignalSpy adds(&page, &SettingPage::AddItemsClicked);
    QSignalSpy sounds(&page, &SettingPage::SoundCheckSound1Clicked);
    QSignalSpy selects(&page, &SettingPage::SelectAllModulesClicked);
    add->click();
    sound1->click();
    Find<QAbstractButton>(sheet, "SpeedButton6")->click();
    QCOMPARE(adds.count(), 1);
    QCOMPARE(sounds.count(), 1);
    QCOMPARE(selects.count(), 1);
    QCOMPARE(page.SoundCheckMemo(), Find<QPlainTextEdit>(sheet, "Memo1"));
    QCOMPARE(page.ModuleList(), Find<QTableView>(sheet, "ModulList"));
}

void PagesUiTest::aboutPage() {
    PageControl pc;
    RecordingOpener opener;
    AboutPage page(pc.Sheet(6), &opener, ProgramVersion{9, 3, 1, 1});
    QWidget* sheet = pc.Sheet(6);
    page.OnShow();
    QCOMPARE(Find<QLabel>(sheet, "Label5")->text(), QStringLiteral("Lindquest 9.3.1.1"));
    QCOMPARE(Find<QLabel>(sheet, "Label13")->text(), QStringLiteral("Вы можете скачать с сайта:"));
    QVERIFY(Find<QLabel>(sheet, "Label12")->text().startsWith(QStringLiteral("Новые версии программы \"Lindquest\"")));
    pc.tabs.setCurrentIndex(5);
    pc.tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pc.tabs));
    QTest::mouseClick(Find<QLabel>(sheet, "Label4"), Qt::LeftButton);
    QCOMPARE(opener.urls.size(), size_t(1));
    QCOMPARE(opener.urls[0], QUrl(QString::fromLatin1(AboutPage::kSiteAddress)));
    SaveShot(sheet, "about-page");

    QWidget otherSheet;
    AboutPage compiled(&otherSheet, &opener);
    compiled.OnShow();
    QVERIFY(compiled.VersionLabel()->text().startsWith(QStringLiteral("Lindquest ")));
}

// The main window owns its pages in unique_ptrs: a tab that goes first must not take its page
// with it (the page would be deleted twice).
void PagesUiTest::pagesOutliveTheirTabs() {
    test::PagesFixture f;
    SentenceBoard board;
    std::vector<std::unique_ptr<QWidget>> tabs;
    const auto tab = [&tabs] { return tabs.emplace_back(std::make_unique<QWidget>()).get(); };
    std::vector<std::unique_ptr<Page>> pages;
    pages.push_back(std::make_unique<AboutPage>(tab()));
    pages.push_back(std::make_unique<EditPage>(tab(), f.ctx, board));
    pages.push_back(std::make_unique<GraphsPage>(tab(), f.ctx));
    pages.push_back(std::make_unique<ListPage>(tab(), f.ctx));
    pages.push_back(std::make_unique<SettingPage>(tab(), f.ctx));
    std::vector<QPointer<Page>> watched;
    for (auto& p : pages) watched.emplace_back(p.get());
    tabs.clear();
    int gone = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (watched[i].isNull()) {
            (void)pages[i].release();  // deleted with its tab already
            ++gone;
        }
    }
    QCOMPARE(gone, 0);
    pages.clear();
}

void PagesUiTest::picturesWindow() {
    test::PagesFixture f;
    f.dir.Write("Data/demo01.ims", test::TempDir::Read(test::SourceDir() + "/Data/demo01.ims"));
    f.dir.Write("Data/unit.ims", test::MakeIms({test::MakeJpeg(200, 150, qRgb(255, 0, 0)),
                                                test::MakeJpeg(300, 100, qRgb(0, 255, 0))}));
    const int demo = f.InsertSound("demo01.mp3");
    const int unit = f.InsertSound("unit.mp3");
    const int two = f.InsertItem("Two pictures.", unit, 2, {0, 1});
    const int demoItem = f.InsertItem("Demo pictures.", demo, 5, {0, 1, 2, 3, 4});
    const int none = f.InsertItem("None.", unit, 0);
    f.ini->SetString("Common", "ImsLeft  ", "30");
    f.ini->SetString("Common", "ImsWidth ", "464");
    f.ini->SetString("Common", "ImsHeight", "400");

    TImagesFrm w(f.ctx);
    QVERIFY(!w.isVisible());
    QVERIFY(w.windowFlags() & Qt::Tool);
    QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(w.windowTitle(), QStringLiteral("Images:"));
    QCOMPARE(w.Geometry().Left, 30);
    QCOMPARE(w.Geometry().Top, 10);
    QCOMPARE(w.Geometry().Width, 464);
    QCOMPARE(w.Geometry().Height, 400);

    f.state.CurrentItemId = two;
    w.LoadItemImages();
    w.DrawImages();  // hidden: only a later paint
    QCOMPARE(w.Pictures().Count, 2);
    w.ShowWindow(true);
    QVERIFY(w.isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QImage img = w.View()->grab().toImage();
    QCOMPARE(img.pixelColor(125, 90).red() > 200, true);      // the first picture, stretched to 250 x 187
    QCOMPARE(img.pixelColor(150, 187 + 2 + 50).green() > 200, true);  // the second below it (250 + 300 > 464)
    QCOMPARE(img.pixelColor(400, 350), QColor(128, 128, 128));

    f.state.CurrentItemId = demoItem;
    w.LoadItemImages();
    QCOMPARE(w.Pictures().Count, 5);
    SaveShot(&w, "pictures-window");

    f.state.CurrentItemId = none;
    w.LoadItemImages();
    QCOMPARE(w.Pictures().Count, 0);
    img = w.View()->grab().toImage();
    QCOMPARE(img.pixelColor(10, 10), QColor(128, 128, 128));
    w.ShowWindow(false);
    QVERIFY(!w.isVisible());
}

void PagesUiTest::commentsWindow() {
    test::PagesFixture f;
    const int id = f.InsertItem("A sentence.", 1, 0, {}, "one||two it's");
    f.state.CurrentItemId = id;
    f.db.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", id), f.row);

    TComentFrm w(f.ctx);
    QVERIFY(!w.isVisible());
    QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(w.windowTitle(), QStringLiteral("Comments:"));
    QCOMPARE(w.Geometry().Width, 200);
    QCOMPARE(w.Geometry().Height, 200);

    w.ShowComment(f.row.strtrn);
    QCOMPARE(w.Editor()->toPlainText(), QStringLiteral("one\ntwo it's"));
    w.ShowWindow(true);
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    SaveShot(&w, "comments-window");

    w.Editor()->setPlainText(QStringLiteral("new\n|line's ||x"));
    QTest::mouseClick(Find<QAbstractButton>(&w, "BitBtn1"), Qt::LeftButton);
    std::string raw;
    f.db.Query(Sql("SELECT strtrn FROM items2 WHERE ididnt=%i;", id), [&](int, char** v, char**) { raw = v[0]; });
    QCOMPARE(QString::fromStdString(raw), QStringLiteral("new||!line#*#s !!x"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Comments:"));

    // Cyrillic text goes through code page 1251.
    w.Editor()->setPlainText(QStringLiteral("Дом"));
    w.BitBtn1Click();
    QCOMPARE(f.ItemText(id, "strtrn"), std::string("\xC4\xEE\xEC"));

    f.state.ShortcutsSuspended = false;
    SendMouse(w.Editor()->viewport(), QEvent::MouseMove, {20, 20}, Qt::NoButton, Qt::NoButton);
    QVERIFY(f.state.ShortcutsSuspended);

    // A failed save is told, with the engine's message, and says so in the title.
    f.Exec("CREATE TRIGGER refuse BEFORE UPDATE ON items2 BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    test::RecordingPrompter prompter;
    w.BitBtn1Click();
    QCOMPARE(w.windowTitle(), QStringLiteral("Comments: (not saved)"));
    QCOMPARE(prompter.messages.size(), size_t(1));
    QVERIFY(prompter.messages[0].text.contains(QStringLiteral("comment")));
    QVERIFY(prompter.messages[0].text.contains(QStringLiteral("refused")));
    QCOMPARE(f.ItemText(id, "strtrn"), std::string("\xC4\xEE\xEC"));
    w.ShowComment("next");
    QCOMPARE(w.windowTitle(), QStringLiteral("Comments:"));
}

namespace {
// Counts the Control and C keys that reach it.
class KeyCounter : public QWidget {
public:
    int ctrlDown = 0, ctrlUp = 0, cDown = 0;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Control) ++ctrlDown;
        if (e->key() == Qt::Key_C && (e->modifiers() & Qt::ControlModifier)) ++cDown;
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Control) ++ctrlUp;
    }
};
}  // namespace

void PagesUiTest::keySynthesis() {
    XTestKeySynth keys;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        QVERIFY(!keys.Available());
        QVERIFY(!keys.Send(SynthKey::ControlLeft, true));  // nothing is sent without X11
        keys.Flush();
        QSKIP("keystrokes are synthesised on X11 only");
    }
    QVERIFY(keys.Available());
    KeyCounter target;
    target.resize(200, 100);
    target.show();
    target.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&target));
    QCursor::setPos(target.mapToGlobal(QPoint(100, 50)));
    for (const auto& [key, down] : std::initializer_list<std::pair<SynthKey, bool>>{
             {SynthKey::ControlLeft, true}, {SynthKey::C, true}, {SynthKey::C, false},
             {SynthKey::C, true}, {SynthKey::C, false}, {SynthKey::ControlLeft, false}})
        QVERIFY(keys.Send(key, down));
    keys.Flush();
    QTRY_COMPARE(target.ctrlUp, 1);
    QCOMPARE(target.ctrlDown, 1);
    QCOMPARE(target.cDown, 2);
}

}  // namespace lq

QTEST_MAIN(lq::PagesUiTest)
#include "PagesUiTest.moc"
