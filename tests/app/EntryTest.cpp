#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ProgramEntry.h"
#include "core/Restart.h"
#include "platform/InstanceLock.h"
#include "platform/Process.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

class RecordingLauncher final : public ProcessLauncher {
public:
    explicit RecordingLauncher(std::vector<std::string>& events, bool succeed = true)
        : events_(events), succeed_(succeed) {}
    bool StartDetached(const std::string& program, const std::vector<std::string>& args) override {
        // The lock must be free by now, or the new copy would refuse to start.
        InstanceLock probe;
        const bool free = probe.Acquire(kInstanceLockName, 0) == InstanceLock::Result::Acquired;
        std::string line = "launch " + program;
        for (const std::string& a : args) line += " [" + a + "]";
        events_.push_back(line + (free ? " (lock free)" : " (lock held)"));
        return succeed_;
    }

private:
    std::vector<std::string>& events_;
    bool succeed_;
};

// Each test gets its own runtime folder, so the lock never meets a real running copy.
class EntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        oldRuntime_ = old ? old : "";
        hadRuntime_ = old != nullptr;
        setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    }
    void TearDown() override {
        if (hadRuntime_) setenv("XDG_RUNTIME_DIR", oldRuntime_.c_str(), 1);
        else unsetenv("XDG_RUNTIME_DIR");
        SetMainWindowCloser(nullptr);
    }

    int Run(std::vector<std::string> args, const EntryRoads& roads) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        return RunEntry(static_cast<int>(argv.size()), argv.data(), roads);
    }

    test::TempDir runtime_;
    test::RecordingPrompter prompter_;
    std::string oldRuntime_;
    bool hadRuntime_ = false;
};

TEST_F(EntryTest, ImportRoadReturnsTheImportResultAndIgnoresTheOptions) {
    std::string seenDir, seenArg;
    bool windows = false;
    EntryRoads roads;
    roads.importModule = [&](const std::string& dir, const std::string& arg) {
        seenDir = dir;
        seenArg = arg;
        return 2;
    };
    roads.runWindows = [&](const ProgramEnv&, const ProgramOptions&) {
        windows = true;
        return 0;
    };
    EXPECT_EQ(Run({"prog", "-dbfile", "other.db", "-debug", "-additems", "unit07.txt"}, roads), 2);
    EXPECT_EQ(seenArg, "unit07.txt");
    EXPECT_EQ(seenDir, ExtractFileDir(ExecutablePath()));
    EXPECT_FALSE(windows);
}

TEST_F(EntryTest, ImportRoadExceptionIsShownAndNeverReportsSuccess) {
    EntryRoads roads;
    roads.importModule = [](const std::string&, const std::string&) -> int { throw std::runtime_error("disk on fire"); };
    EXPECT_EQ(Run({"prog", "-additems", "a.txt"}, roads), kImportFailedExitCode);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, "disk on fire");
}

TEST_F(EntryTest, SecondCopyIsRefusedWithTheWarning) {
    InstanceLock first;
    ASSERT_EQ(first.Acquire(kInstanceLockName, 100), InstanceLock::Result::Acquired);
    bool ran = false;
    EntryRoads roads;
    roads.runWindows = [&](const ProgramEnv&, const ProgramOptions&) {
        ran = true;
        return 0;
    };
    EXPECT_EQ(Run({"prog"}, roads), 1);
    EXPECT_FALSE(ran);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, QString::fromUtf8("Возможно программа 'Lindquest' уже запущена."));
    EXPECT_EQ(prompter_.messages[0].caption, "Ooops...");
    EXPECT_EQ(prompter_.messages[0].icon, MsgIcon::Warning);
}

TEST_F(EntryTest, WindowedRoadPassesTheOptions) {
    ProgramEnv seenEnv;
    ProgramOptions seen;
    EntryRoads roads;
    roads.runWindows = [&](const ProgramEnv& env, const ProgramOptions& o) {
        seenEnv = env;
        seen = o;
        return 0;
    };
    EXPECT_EQ(Run({"prog", "-DEBUG", "-dbfile", "My.db"}, roads), 0);
    EXPECT_TRUE(seenEnv.DebugMode);
    EXPECT_EQ(seen.dbFile, "My.db");
    EXPECT_FALSE(seenEnv.ProgramDir.empty());
}

TEST_F(EntryTest, RestartLaunchesOnlyAfterTheShutDownAndWithTheLockFree) {
    std::vector<std::string> events;
    RecordingLauncher launcher(events);
    EntryRoads roads;
    roads.launcher = &launcher;
    roads.runWindows = [&](const ProgramEnv&, const ProgramOptions&) {
        SetMainWindowCloser([&] { events.push_back("close requested"); });
        RestartProgram();
        events.push_back("settings written, sound thread joined, database closed");
        return 0;
    };
    EXPECT_EQ(Run({"prog", "-debug"}, roads), 0);
    const std::string program = ExtractFileDir(ExecutablePath()) + "/lindquest";
    EXPECT_EQ(events, (std::vector<std::string>{"close requested",
                                                "settings written, sound thread joined, database closed",
                                                "launch " + program + " [-debug] (lock free)"}));
    EXPECT_TRUE(prompter_.messages.empty());
}

struct RestartLaunchCase {
    std::vector<std::string> args;
    std::string launched;  // the new copy's arguments, each in brackets
};

void PrintTo(const RestartLaunchCase& c, std::ostream* os) {
    for (const std::string& a : c.args) *os << '[' << a << ']';
}

class EntryRestartTest : public EntryTest, public ::testing::WithParamInterface<RestartLaunchCase> {};

// The new copy is started on the database and in the mode of this one.
TEST_P(EntryRestartTest, NewCopyGetsTheOptions) {
    std::vector<std::string> events;
    RecordingLauncher launcher(events);
    EntryRoads roads;
    roads.launcher = &launcher;
    roads.runWindows = [&](const ProgramEnv&, const ProgramOptions&) {
        RestartProgram();
        return 0;
    };
    std::vector<std::string> args{"prog"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    EXPECT_EQ(Run(args, roads), 0);
    const std::string program = ExtractFileDir(ExecutablePath()) + "/lindquest";
    EXPECT_EQ(events, (std::vector<std::string>{"launch " + program + GetParam().launched + " (lock free)"}));
    EXPECT_TRUE(prompter_.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryRestartTest,
    ::testing::Values(RestartLaunchCase{{}, ""}, RestartLaunchCase{{"-dbfile", "alt.db", "-debug"}, " [-debug] [-dbfile] [alt.db]"},
                      RestartLaunchCase{{"-DeBuG"}, " [-debug]"},
                      RestartLaunchCase{{"-dbfile", "Мои уроки.db"}, " [-dbfile] [Мои уроки.db]"},
                      RestartLaunchCase{{"-dbfile"}, ""}));

TEST_F(EntryTest, FailedRestartIsReported) {
    std::vector<std::string> events;
    RecordingLauncher launcher(events, false);
    EntryRoads roads;
    roads.launcher = &launcher;
    roads.runWindows = [&](const ProgramEnv&, const ProgramOptions&) {
        RestartProgram();
        return 0;
    };
    Run({"prog"}, roads);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_TRUE(prompter_.messages[0].text.contains("restart"));
}

}  // namespace
}  // namespace lq
