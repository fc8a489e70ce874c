#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/Process.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

TEST(ExtractFileDir, Table) {
    EXPECT_EQ(ExtractFileDir("/a/b/c"), "/a/b");
    EXPECT_EQ(ExtractFileDir("/a/b/"), "/a/b");
    EXPECT_EQ(ExtractFileDir("/a//b"), "/a");
    EXPECT_EQ(ExtractFileDir("/lindquest"), "/");
    EXPECT_EQ(ExtractFileDir("/"), "/");
    EXPECT_EQ(ExtractFileDir("build/lindquest"), "build");
    EXPECT_EQ(ExtractFileDir("lindquest"), "");
    EXPECT_EQ(ExtractFileDir(""), "");
}

TEST(ExecutablePath, IsTheRunningFileWithoutLinks) {
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(path, std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_EQ(std::filesystem::path(path).filename(), "test_platform");
}

std::string WaitForFile(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(path)) return test::TempDir::Read(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "(never written)";
}

TEST(QtProcessLauncher, StartsTheProgramWithItsArgumentsAsTheyAre) {
    test::TempDir dir;
    const std::string out = dir.File("out.txt");
    QtProcessLauncher launcher;
    // The script writes its arguments; a shell between would split or expand them.
    const std::string script = "printf '%s|%s|%s' \"$1\" \"$2\" \"$#\" > \"$3.part\" && mv \"$3.part\" \"$3\"";
    ASSERT_TRUE(launcher.StartDetached("/bin/sh", {"-c", script, "sh", "a b", "c;d $HOME `x`", out}));
    EXPECT_EQ(WaitForFile(out), "a b|c;d $HOME `x`|3");
}

TEST(QtProcessLauncher, AMissingProgramIsAFailure) {
    test::TempDir dir;
    QtProcessLauncher launcher;
    EXPECT_FALSE(launcher.StartDetached(dir.File("lindquest"), {}));
    EXPECT_FALSE(launcher.StartDetached("", {}));
}

}  // namespace
}  // namespace lq
