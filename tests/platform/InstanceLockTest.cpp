// The single-instance lock across processes. The test binary starts copies of itself that hold
// the lock ("--lock-holder <name> <mode>") and sleep ("--sleeper"); see main() at the end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/InstanceLock.h"
#include "platform/Process.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace lq {
namespace {

const char* ResultWord(InstanceLock::Result r) {
    switch (r) {
        case InstanceLock::Result::Acquired: return "acquired";
        case InstanceLock::Result::Running: return "running";
        case InstanceLock::Result::Failed: return "failed";
    }
    return "?";
}

// Starts `args` with stdin and stdout connected to pipes (or /dev/null); -1 on failure.
pid_t Spawn(const std::vector<std::string>& args, int* toChild, int* fromChild) {
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (toChild && pipe2(in, O_CLOEXEC) != 0) return -1;
    if (fromChild && pipe2(out, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (toChild) posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    else posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (fromChild) posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    else posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (toChild) {
        close(in[0]);
        *toChild = in[1];
    }
    if (fromChild) {
        close(out[1]);
        *fromChild = out[0];
    }
    return rc == 0 ? pid : -1;
}

// Holder side: takes the lock, reports, then does what its mode says.
int RunHolder(const std::string& name, const std::string& mode) {
    InstanceLock lock;
    const InstanceLock::Result r = lock.Acquire(name, 100);
    std::printf("%s\n", ResultWord(r));
    std::fflush(stdout);
    if (mode == "child-then-exit" || mode == "child-then-release") {
        const pid_t child = Spawn({ExecutablePath(), "--sleeper"}, nullptr, nullptr);
        if (mode == "child-then-release") lock.Release();
        std::printf("child %d\n", static_cast<int>(child));
        std::fflush(stdout);
        // Ends without releasing: only the kernel's clean-up of this process frees the lock.
        if (mode == "child-then-exit") _exit(0);
    }
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        if (std::strncmp(line, "release", 7) == 0) {
            lock.Release();
            std::printf("released\n");
            std::fflush(stdout);
        }
    }
    return 0;
}

class Holder {
public:
    Holder(const std::string& name, const std::string& mode) {
        pid_ = Spawn({ExecutablePath(), "--lock-holder", name, mode}, &in_, &out_);
    }
    ~Holder() {
        if (in_ >= 0) close(in_);
        if (out_ >= 0) close(out_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool Started() const { return pid_ > 0; }

    std::string ReadLine(int timeoutMs = 10000) {
        std::string line;
        pollfd p{out_, POLLIN, 0};
        while (poll(&p, 1, timeoutMs) > 0) {
            char c;
            if (read(out_, &c, 1) != 1 || c == '\n') return line;
            line += c;
        }
        return line.empty() ? "(nothing)" : line;
    }

    void Send(const std::string& line) {
        const std::string l = line + "\n";
        ASSERT_EQ(write(in_, l.data(), l.size()), static_cast<ssize_t>(l.size()));
    }

    void KillHard() {
        kill(pid_, SIGKILL);
        Reap();
    }

    int Reap() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
};

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* n : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
            const char* v = std::getenv(n);
            saved_.emplace_back(n, v ? std::optional<std::string>(v) : std::nullopt);
        }
        // Our own folders: the lock never meets a real running copy or another test run.
        setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
        setenv("TMPDIR", temp_.Path().c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [n, v] : saved_) {
            if (v) setenv(n.c_str(), v->c_str(), 1);
            else unsetenv(n.c_str());
        }
    }

    static double MsSince(std::chrono::steady_clock::time_point t0) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    }

    const std::string name_ = "Lindquest_070917";
    test::TempDir runtime_, temp_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(InstanceLockTest, TheLockFileLivesInTheRuntimeFolder) {
    EXPECT_EQ(InstanceLock::LockPath(name_), runtime_.Path() + "/Lindquest_070917.lock");
    InstanceLock lock;
    EXPECT_FALSE(lock.Held());
    ASSERT_EQ(lock.Acquire(name_), InstanceLock::Result::Acquired);
    EXPECT_TRUE(lock.Held());
    EXPECT_TRUE(std::filesystem::exists(runtime_.Path() + "/Lindquest_070917.lock"));
    EXPECT_EQ(lock.Acquire(name_), InstanceLock::Result::Acquired) << "taking it again is harmless";
    lock.Release();
    EXPECT_FALSE(lock.Held());
    lock.Release();
    EXPECT_EQ(lock.Acquire(name_, 0), InstanceLock::Result::Acquired);
}

TEST_F(InstanceLockTest, WithoutARuntimeFolderTheTemporaryFolderWithTheUserId) {
    const std::string expected = temp_.Path() + "/Lindquest_070917-" + std::to_string(getuid()) + ".lock";
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InstanceLock::LockPath(name_), expected);
    setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(InstanceLock::LockPath(name_), expected);
    InstanceLock lock;
    ASSERT_EQ(lock.Acquire(name_), InstanceLock::Result::Acquired);
    EXPECT_TRUE(std::filesystem::exists(expected));
}

TEST_F(InstanceLockTest, AnUnusableRuntimeFolderFallsBackToTheTemporaryFolder) {
    setenv("XDG_RUNTIME_DIR", (runtime_.Path() + "/missing").c_str(), 1);
    InstanceLock lock;
    ASSERT_EQ(lock.Acquire(name_), InstanceLock::Result::Acquired);
    EXPECT_TRUE(std::filesystem::exists(temp_.Path() + "/Lindquest_070917-" + std::to_string(getuid()) + ".lock"));
}

TEST_F(InstanceLockTest, NoUsableFolderIsAFailureAndCallersRun) {
    setenv("XDG_RUNTIME_DIR", (runtime_.Path() + "/missing").c_str(), 1);
    setenv("TMPDIR", (temp_.Path() + "/missing").c_str(), 1);
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire(name_), InstanceLock::Result::Failed);
    EXPECT_FALSE(lock.Held());
}

TEST_F(InstanceLockTest, ASecondLockInTheSameProcessWaitsAndGivesUp) {
    InstanceLock first, second;
    ASSERT_EQ(first.Acquire(name_), InstanceLock::Result::Acquired);
    EXPECT_EQ(second.Acquire(name_, 0), InstanceLock::Result::Running);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(second.Acquire(name_, 50), InstanceLock::Result::Running);
    EXPECT_GE(MsSince(t0), 49.0);
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_EQ(second.Acquire(name_, 0), InstanceLock::Result::Acquired);
}

TEST_F(InstanceLockTest, AnotherProcessHoldingItMeansRunningAfterAbout100Ms) {
    Holder holder(name_, "hold");
    ASSERT_TRUE(holder.Started());
    ASSERT_EQ(holder.ReadLine(), "acquired");

    InstanceLock lock;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(lock.Acquire(name_, 100), InstanceLock::Result::Running);
    const double waited = MsSince(t0);
    EXPECT_GE(waited, 99.0);
    EXPECT_LT(waited, 1000.0);

    holder.Send("release");
    ASSERT_EQ(holder.ReadLine(), "released");
    EXPECT_EQ(lock.Acquire(name_, 100), InstanceLock::Result::Acquired);
}

TEST_F(InstanceLockTest, WhileWeHoldItAnotherProcessIsRefused) {
    InstanceLock lock;
    ASSERT_EQ(lock.Acquire(name_), InstanceLock::Result::Acquired);
    Holder holder(name_, "hold");
    ASSERT_TRUE(holder.Started());
    EXPECT_EQ(holder.ReadLine(), "running");
}

TEST_F(InstanceLockTest, AKilledHolderLeavesTheLockFree) {
    Holder holder(name_, "hold");
    ASSERT_TRUE(holder.Started());
    ASSERT_EQ(holder.ReadLine(), "acquired");
    InstanceLock lock;
    ASSERT_EQ(lock.Acquire(name_, 0), InstanceLock::Result::Running);
    holder.KillHard();
    EXPECT_EQ(lock.Acquire(name_, 100), InstanceLock::Result::Acquired);
}

class ChildOfHolder : public InstanceLockTest, public ::testing::WithParamInterface<const char*> {};

// A program the holder started (a dictionary, the restarted copy) must not keep the lock.
TEST_P(ChildOfHolder, DoesNotKeepTheLock) {
    Holder holder(name_, GetParam());
    ASSERT_TRUE(holder.Started());
    ASSERT_EQ(holder.ReadLine(), "acquired");
    const std::string childLine = holder.ReadLine();
    ASSERT_EQ(childLine.rfind("child ", 0), 0u) << childLine;
    const pid_t child = static_cast<pid_t>(std::atoi(childLine.c_str() + 6));
    ASSERT_GT(child, 0);
    if (std::string(GetParam()) == "child-then-exit") holder.Reap();

    ASSERT_EQ(kill(child, 0), 0) << "the child still runs";
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire(name_, 100), InstanceLock::Result::Acquired);
    kill(child, SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(Modes, ChildOfHolder, ::testing::Values("child-then-exit", "child-then-release"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "child-then-exit" ? std::string("HolderExits")
                                                                                 : std::string("HolderReleases");
                         });

}  // namespace
}  // namespace lq

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--lock-holder") == 0) return lq::RunHolder(argv[2], argv[3]);
    if (argc >= 2 && std::strcmp(argv[1], "--sleeper") == 0) {
        sleep(30);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
