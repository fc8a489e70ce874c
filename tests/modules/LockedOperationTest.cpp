// The module operations while another program holds the database's lock: a module's import (also
// on the "-additems" road), a module's deletion and the older version's data each wait for the
// lock at most once, about one busy timeout in all, then give up, tell the learner and change
// nothing. A lock that passes during the operation and comes back at its next statement is no
// second wait.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/Progress.h"
#include "core/Settings.h"
#include "core/SqlText.h"
#include "modules/ImportModule.h"
#include "modules/ModuleManager.h"
#include "modules/OldDataImport.h"
#include "session/ImportRoad.h"
#include "tests/modules/ModuleTestSupport.h"
#include "tests/modules/OldDataWriter.h"
#include "tests/support/RawConnection.h"
#include "tests/support/RecordingPrompter.h"

namespace lq {
namespace {

using Row = std::vector<std::string>;
using namespace std::chrono_literals;

class QuietProgress final : public Progress {
public:
    void ShowProgress(const std::string&, int, int) override {}
    void HideProgress() override {}
};

class LockedOperation : public ::testing::Test {
protected:
    static constexpr int kBudgetMs = 800;

    LockedOperation() {
        Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'old.mp3');");
        Exec("INSERT INTO items2 (isound, iplace, stract) values(1, 100, 'kept');");
        Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(1, 1, 0, 'kept');");
        folder.Db().SetBusyTimeout(kBudgetMs);
        EXPECT_TRUE(other.Open(folder.Db().Path()).ok());
        other.SetBusyTimeout(0);  // the lock is taken at once or not at all
        before = Tables();
    }
    ~LockedOperation() override {
        if (release.joinable()) release.join();
        sqlite3_trace_v2(test::RawHandle(folder.Db()), 0, nullptr, nullptr);
        sqlite3_exec(test::RawHandle(other), "ROLLBACK;", nullptr, nullptr, nullptr);
    }
    void Exec(const std::string& sql) { ASSERT_TRUE(folder.Db().Exec(sql).ok()) << sql; }
    std::vector<std::vector<Row>> Tables() const {
        return {folder.Rows("sounds"), folder.Rows("items2"), folder.Rows("wrdstt"), folder.Rows("answcn")};
    }
    void Lock() { ASSERT_EQ(sqlite3_exec(test::RawHandle(other), "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK); }

    // The lock is held from the start, let go after 80 % of the budget, and taken again as the
    // operation's next statement begins: a statement of the operation waits again.
    void LockThatPassesAndComesBack() {
        Lock();
        sqlite3_trace_v2(test::RawHandle(folder.Db()), SQLITE_TRACE_STMT, &LockedOperation::OnStatement, this);
        release = std::thread([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(kBudgetMs * 8 / 10));
            sqlite3_exec(test::RawHandle(other), "ROLLBACK;", nullptr, nullptr, nullptr);
            released = true;
        });
    }
    static int OnStatement(unsigned, void* self, void*, void*) {
        auto* me = static_cast<LockedOperation*>(self);
        if (me->released && !me->retaken.exchange(true)) {
            EXPECT_EQ(sqlite3_exec(test::RawHandle(me->other), "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        return 0;
    }

    long long MsOf(const std::function<void()>& f) {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    }
    // Gave up within about one budget (waiting twice takes 1.8 budgets), changed nothing, and
    // told the learner once, with the engine's word for the lock.
    void ExpectGaveUp(long long ms, const char* told) {
        EXPECT_LT(ms, kBudgetMs * 14 / 10) << "waited more than once";
        if (release.joinable()) release.join();
        if (retaken) {
            EXPECT_GE(ms, kBudgetMs * 9 / 10) << "the lock that came back was not waited for";
        }
        sqlite3_exec(test::RawHandle(other), "ROLLBACK;", nullptr, nullptr, nullptr);
        EXPECT_EQ(Tables(), before);
        EXPECT_EQ(sqlite3_get_autocommit(test::RawHandle(folder.Db())), 1) << "a transaction was left open";
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_TRUE(prompter.messages[0].text.contains(QString::fromLatin1(told))) << prompter.messages[0].text.toStdString();
        EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("database is locked")))
            << prompter.messages[0].text.toStdString();
    }

    test::ProgramFolder folder;
    Database other;
    test::RecordingPrompter prompter;
    QuietProgress progress;
    std::vector<std::vector<Row>> before;
    std::thread release;
    std::atomic<bool> released{false}, retaken{false};
};

TEST_F(LockedOperation, ModuleImport) {
    folder.AddFixtureModule("unit07");
    for (const bool passes : {false, true}) {
        SCOPED_TRACE(passes ? "a lock that passes and comes back" : "a lock held throughout");
        prompter.messages.clear();
        released = retaken = false;
        if (passes) LockThatPassesAndComesBack(); else Lock();
        ModuleImporter importer(folder.Db(), folder.Dir());
        importer.SetProgress(&progress);
        int itemCount = 1;
        ImportResult result = kImportDone;
        const long long ms = MsOf([&] { result = importer.Import("unit07.txt", itemCount); });
        EXPECT_EQ(result, kImportFailed);
        EXPECT_EQ(itemCount, 1);
        ExpectGaveUp(ms, "SQL error");
        EXPECT_EQ(retaken, passes);
        sqlite3_trace_v2(test::RawHandle(folder.Db()), 0, nullptr, nullptr);
    }
}

TEST_F(LockedOperation, ModuleDeletion) {
    ProgramEnv env;
    env.ProgramDir = folder.Dir();
    LearnState state;
    CommonSettings settings;
    AppContext ctx;
    ctx.env = &env;
    ctx.state = &state;
    ctx.settings = &settings;
    ctx.db = &folder.Db();
    int restarts = 0;
    ModuleManagerServices s;
    s.restart = [&] { ++restarts; };
    s.prompter = &prompter;
    ModuleManager manager(ctx, std::move(s));
    for (const bool passes : {false, true}) {
        SCOPED_TRACE(passes ? "a lock that passes and comes back" : "a lock held throughout");
        prompter.messages.clear();
        released = retaken = false;
        if (passes) LockThatPassesAndComesBack(); else Lock();
        const long long ms = MsOf([&] { manager.Delete(0); });
        if (passes) {
            // The module's row was read once the lock had passed; the question came, then the
            // deletion met the lock again.
            ASSERT_EQ(prompter.messages.size(), 2u);
            EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("What"));
            prompter.messages.erase(prompter.messages.begin());
            ExpectGaveUp(ms, "The module was not deleted (nothing was changed)");
        } else {
            ExpectGaveUp(ms, "The module list could not be read");
        }
        EXPECT_EQ(retaken, passes);
        EXPECT_EQ(restarts, 0);
        sqlite3_trace_v2(test::RawHandle(folder.Db()), 0, nullptr, nullptr);
    }
}

TEST_F(LockedOperation, OldData) {
    folder.Write("new.mp3", "sound");
    test::OldDataSet data;
    data.modules = {"*+   xxxxxnew.mp3"};
    data.items = {{"b", "s", "0 1 0 ", "a", "t"}};
    data.index = {test::OldRecord(0, 0, 1)};
    data.words = {{1, 1, 0, "one"}};
    data.points = {{1.0f, 1, 1.0f, 1.0f}};
    data.Write(folder.Dir());
    // The import's one exclusive BEGIN is its only statement that can meet the lock.
    Lock();
    bool imported = true;
    const long long ms = MsOf([&] { imported = RunOldDataImport(folder.Db(), folder.Dir(), 12, progress, prompter); });
    EXPECT_FALSE(imported);
    EXPECT_GE(ms, kBudgetMs * 9 / 10);
    ExpectGaveUp(ms, "The old data were not imported (nothing was changed)");
}

// The road opens its own connection, with the program's busy timeout.
TEST_F(LockedOperation, AddItemsRoad) {
    folder.AddFixtureModule("unit07");
    Lock();
    int code = kImportDone;
    const long long ms = MsOf([&] { code = RunImportRoad(folder.Dir(), "unit07.txt"); });
    EXPECT_EQ(code, kImportFailed);
    EXPECT_LT(ms, kBusyTimeoutMs + 3000);
    sqlite3_exec(test::RawHandle(other), "ROLLBACK;", nullptr, nullptr, nullptr);
    EXPECT_EQ(Tables(), before);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QStringLiteral("Can't open database: ")))
        << prompter.messages[0].text.toStdString();
}

}  // namespace
}  // namespace lq
