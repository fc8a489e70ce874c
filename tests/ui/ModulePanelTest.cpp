// The Setting page's module management on the offscreen platform: "Add" through the chooser
// window and the real import, the module list's marks, the delete question and a deletion the
// database refuses.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Settings.h"
#include "modules/ModuleFolder.h"
#include "tests/modules/ModuleTestSupport.h"
#include "tests/support/RecordingPrompter.h"
#include "ui/ModuleListModel.h"
#include "ui/ModulePanel.h"
#include "ui/SettingPage.h"
#include "ui/TChooseModuleFrm.h"
#include "ui/TProgressFrm.h"
#include "ui_ChooseModuleFrm.h"

namespace lq {
namespace {

template <typename T>
T* Find(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    if (!c) qFatal("no child %s", name);
    return c;
}

QStringList Lines(TChooseModuleFrm& dialog) {
    QStringList lines;
    QListWidget* list = dialog.Form().ListBox1;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

// A program folder with its database, the Setting page on a sheet and its module panel.
struct PageFixture {
    PageFixture() {
        env.ProgramDir = folder.Dir();
        ctx.env = &env;
        ctx.state = &state;
        ctx.settings = &settings;
        ctx.db = &folder.Db();
        ctx.row = &row;
        sheet.resize(584, 552);
        page = std::make_unique<SettingPage>(&sheet, ctx);
        ModuleManagerServices s;
        s.restart = [this] { ++restarts; };
        panel = std::make_unique<ModulePanel>(*page, ctx, std::move(s));
    }
    ~PageFixture() {
        panel.reset();
        page.reset();
    }
    QAbstractButton* Button(const char* name) { return Find<QAbstractButton>(&sheet, name); }
    QTableView* View() { return page->ModuleList(); }
    QString Cell(int r, int c) { return View()->model()->index(r, c).data().toString(); }
    QStringList Column(int c) {
        QStringList col;
        for (int r = 0; r < View()->model()->rowCount(); ++r) col << Cell(r, c);
        return col;
    }
    long long Scalar(const std::string& sql) {
        long long n = -1;
        folder.Db().Query(sql, [&n](int, char** v, char**) { n = v[0] ? std::atoll(v[0]) : -1; });
        return n;
    }
    void Exec(const std::string& sql) { QVERIFY2(folder.Db().Exec(sql).ok(), sql.c_str()); }
    // Runs `inDialog` on the chooser once "Add" has shown it modally.
    void AddThrough(std::function<void(TChooseModuleFrm&)> inDialog) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TChooseModuleFrm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            ran = true;
            inDialog(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        Button("AddItemsBtn")->click();
        QVERIFY(ran);
    }
    void DoubleClick(int r) {
        const QRect rect = View()->visualRect(View()->model()->index(r, 1));
        // A double-click is a press and a release, then the double-click event.
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(View()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    test::ProgramFolder folder;
    ProgramEnv env;
    LearnState state;
    CommonSettings settings;
    CurrentRow row;
    AppContext ctx;
    QWidget sheet;
    test::RecordingPrompter prompter;
    ProgressWindow progress;
    ScopedAppProgress useProgress{&progress};
    std::unique_ptr<SettingPage> page;
    std::unique_ptr<ModulePanel> panel;
    int restarts = 0;
};

}  // namespace

class ModulePanelTest : public QObject {
    Q_OBJECT

private slots:
    void addToggleAndDelete() {
        PageFixture f;
        f.folder.AddFixtureModule("Beta");
        f.folder.AddFixtureModule("alpha");
        f.folder.AddFixtureModule("gamma", "pos");  // not addable: no index
        f.folder.AddFixtureModule("added");
        f.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 10001, 'added.mp3');");
        f.Exec("INSERT INTO items2 (isound, stract) values(1, 'kept');");
        f.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(1, 1, 1, 'cat');");
        f.Exec("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('1.0', 1, '2024-01-01 00:00:00', '0');");
        f.sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.sheet));
        f.page->OnShow();
        QCOMPARE(f.Column(1), QStringList{QStringLiteral("added")});

        // "Add" lists only the addable modules, sorted ignoring case; OK takes the clicked one.
        f.AddThrough([](TChooseModuleFrm& d) {
            QCOMPARE(d.objectName(), QStringLiteral("ChooseModuleFrm"));
            QCOMPARE(d.windowTitle(), QStringLiteral("Choose module for adding"));
            QVERIFY(d.isModal());
            QCOMPARE(Lines(d), (QStringList{QStringLiteral("alpha.txt"), QStringLiteral("Beta.txt")}));
            QVERIFY(d.Form().BitBtn1->isEnabled());
            QCOMPARE(d.Form().ListBox1->currentRow(), 0);
            QCOMPARE(d.Form().FileName->text(), QStringLiteral("alpha.txt"));
            QListWidget* list = d.Form().ListBox1;
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
            QCOMPARE(d.Form().FileName->text(), QStringLiteral("Beta.txt"));
            d.Form().BitBtn1->click();
        });
        QCOMPARE(f.restarts, 1);
        QVERIFY(f.prompter.messages.empty());
        QVERIFY(f.progress.Window() && !f.progress.Window()->isVisible());
        QCOMPARE(f.Scalar("SELECT count(*) FROM items2 WHERE isound=2;"), 3LL);
        QCOMPARE(f.Column(0), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(f.Column(1), (QStringList{QStringLiteral("added"), QStringLiteral("Beta")}));
        QCOMPARE(f.Column(2), (QStringList{QStringLiteral("+"), QStringLiteral("+")}));

        // A double-click flips the mark in the database and the grid shows it.
        f.DoubleClick(1);
        QCOMPARE(f.Scalar("SELECT isigns FROM sounds WHERE ididnt=2;"), 0LL);
        QCOMPARE(f.Cell(1, 2), QStringLiteral(" "));
        QCOMPARE(f.View()->currentIndex().row(), 1);
        f.DoubleClick(1);
        QCOMPARE(f.Scalar("SELECT isigns FROM sounds WHERE ididnt=2;"), 1LL);
        QCOMPARE(f.Cell(1, 2), QStringLiteral("+"));

        f.Button("SpeedButton7")->click();
        QCOMPARE(f.Scalar("SELECT sum(isigns) FROM sounds;"), 0LL);
        QCOMPARE(f.Column(2), (QStringList{QStringLiteral(" "), QStringLiteral(" ")}));
        f.Button("SpeedButton6")->click();
        QCOMPARE(f.Scalar("SELECT sum(isigns) FROM sounds;"), 2LL);
        QCOMPARE(f.Column(2), (QStringList{QStringLiteral("+"), QStringLiteral("+")}));

        // Delete: asked by name; No keeps it, Yes removes the module and its sentences only.
        f.View()->setCurrentIndex(f.View()->model()->index(1, 0));
        f.prompter.answers = {MsgResult::No};
        f.Button("DelModuleBtn")->click();
        QCOMPARE(f.prompter.messages.back().text, QStringLiteral("Are you sure to del module 'Beta'?"));
        QCOMPARE(f.Scalar("SELECT count(*) FROM sounds;"), 2LL);
        QCOMPARE(f.restarts, 1);
        f.Button("DelModuleBtn")->click();
        QCOMPARE(f.restarts, 2);
        QCOMPARE(f.Scalar("SELECT count(*) FROM sounds WHERE ididnt=2;"), 0LL);
        QCOMPARE(f.Scalar("SELECT count(*) FROM items2 WHERE isound=2;"), 0LL);
        QCOMPARE(f.Scalar("SELECT count(*) FROM items2;"), 1LL);
        QCOMPARE(f.Scalar("SELECT count(*) FROM wrdstt;"), 1LL);
        QCOMPARE(f.Scalar("SELECT count(*) FROM answcn;"), 1LL);
        QCOMPARE(f.Column(1), QStringList{QStringLiteral("added")});

        // A deletion the database refuses changes nothing and does not restart.
        f.Exec("CREATE TRIGGER t BEFORE DELETE ON items2 BEGIN SELECT RAISE(ABORT,'kept by a trigger'); END;");
        f.View()->setCurrentIndex(f.View()->model()->index(0, 0));
        f.prompter.messages.clear();
        f.Button("DelModuleBtn")->click();
        QCOMPARE(f.prompter.messages.size(), size_t{2});
        QVERIFY(f.prompter.messages[1].text.contains(QStringLiteral("kept by a trigger")));
        QCOMPARE(f.restarts, 2);
        QCOMPARE(f.Scalar("SELECT count(*) FROM sounds;"), 1LL);
        QCOMPARE(f.Scalar("SELECT count(*) FROM items2;"), 1LL);
        QCOMPARE(f.Column(1), QStringList{QStringLiteral("added")});
    }

    void chooserFullListingAndCancel() {
        PageFixture f;
        f.folder.AddFixtureModule("one");
        f.folder.AddFixtureModule("two", "mp3");
        f.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 10001, 'three.mp3');");
        f.folder.AddFixtureModule("three");
        const std::filesystem::path cwd = std::filesystem::current_path();
        f.AddThrough([](TChooseModuleFrm& d) {
            QCOMPARE(Lines(d), QStringList{QStringLiteral("one.txt")});
            d.Form().BitBtn4->click();  // "Test2"
            QCOMPARE(Lines(d), (QStringList{QStringLiteral("one.txt"), QString::fromUtf8(kModuleCanBeAdded),
                                            QStringLiteral("three.txt"), QString::fromUtf8(kModuleAlreadyAdded),
                                            QStringLiteral("two.txt"), QString::fromUtf8(kModuleFilesMissing)}));
            QVERIFY(!d.Form().BitBtn1->isEnabled());
            d.Form().ListBox1->setCurrentRow(2);
            QVERIFY(!d.Form().BitBtn1->isEnabled());
            d.Form().BitBtn2->click();  // Cancel
        });
        QCOMPARE(f.restarts, 0);
        QCOMPARE(f.Scalar("SELECT count(*) FROM items2;"), 0LL);
        QCOMPARE(std::filesystem::current_path(), cwd);
        // Shown again: the normal listing with its first line chosen.
        f.AddThrough([](TChooseModuleFrm& d) {
            QCOMPARE(Lines(d), QStringList{QStringLiteral("one.txt")});
            QVERIFY(d.Form().BitBtn1->isEnabled());
            QCOMPARE(d.FileName(), std::string("one.txt"));
        });
        QCOMPARE(f.restarts, 0);
    }

    // A module named with Cyrillic letters (UTF-8 in Data/): listed, imported, shown and asked
    // about by its letters, stored in cp1251, and its first sentence heard with its picture.
    void cyrillicModuleThroughTheChooser() {
        PageFixture f;
        f.folder.AddFixtureModule("урок2");
        f.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 10001, 'урок5.mp3');");  // an older database's
        f.sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.sheet));
        f.AddThrough([](TChooseModuleFrm& d) {
            QCOMPARE(Lines(d), QStringList{QStringLiteral("урок2.txt")});
            QCOMPARE(d.Form().FileName->text(), QStringLiteral("урок2.txt"));
            d.Form().BitBtn1->click();
        });
        QCOMPARE(f.restarts, 1);
        QVERIFY(f.prompter.messages.empty());
        std::string stored;
        f.folder.Db().Query("SELECT sfname FROM sounds WHERE ididnt=2;",
                            [&stored](int, char** v, char**) { stored = v[0] ? v[0] : ""; });
        QCOMPARE(stored, test::Cp("урок2.mp3"));
        QCOMPARE(f.Column(1), (QStringList{QStringLiteral("урок5"), QStringLiteral("урок2")}));
        f.Exec("DELETE FROM sounds WHERE ididnt=1;");
        const test::FirstSentence first = test::PlayFirstSentence(f.folder);
        QVERIFY(first.waveBytes > 10000);
        QCOMPARE(first.pictures, 1);

        f.AddThrough([](TChooseModuleFrm& d) {
            QVERIFY(Lines(d).isEmpty());
            d.Form().BitBtn4->click();  // "Test2"
            QCOMPARE(Lines(d), (QStringList{QStringLiteral("урок2.txt"), QString::fromUtf8(kModuleAlreadyAdded)}));
        });
        f.page->OnShow();
        f.View()->setCurrentIndex(f.View()->model()->index(0, 0));
        f.prompter.answers = {MsgResult::No};
        f.Button("DelModuleBtn")->click();
        QCOMPARE(f.prompter.messages.back().text, QStringLiteral("Are you sure to del module 'урок2'?"));
    }

    void emptyFolderKeepsTheLastName() {
        PageFixture f;
        f.folder.AddFixtureModule("one");
        TChooseModuleFrm dialog(f.ctx);
        dialog.show();
        QCOMPARE(dialog.FileName(), std::string("one.txt"));
        dialog.hide();
        f.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 10001, 'ONE.mp3');");
        dialog.show();
        QVERIFY(Lines(dialog).isEmpty());
        QVERIFY(!dialog.Form().BitBtn1->isEnabled());
        QCOMPARE(dialog.FileName(), std::string("one.txt"));
        QCOMPARE(dialog.size(), QSize(310, 316));
        dialog.hide();
    }
};

}  // namespace lq

QTEST_MAIN(lq::ModulePanelTest)
#include "ModulePanelTest.moc"
