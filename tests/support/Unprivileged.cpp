#include "tests/support/Unprivileged.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace lq::test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr int kCannotDrop = 77;
constexpr int kCannotReach = 78;

}  // namespace

bool RunningAsRoot() { return geteuid() == 0; }

UnprivilegedRun RunUnprivileged(const std::vector<std::string>& folders, const std::function<bool()>& check) {
    UnprivilegedRun run;
    if (!RunningAsRoot()) {
        run.outcome = check() ? UnprivilegedRun::Passed : UnprivilegedRun::Failed;
        return run;
    }
    // Every folder on the way must be searchable by the child (a temporary folder is 0700).
    for (const std::string& folder : folders) {
        std::error_code ec;
        std::filesystem::permissions(folder,
                                     std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                         std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                         std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add, ec);
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        run.why = "fork failed";
        return run;
    }
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
            setresuid(kNobody, kNobody, kNobody) != 0 || geteuid() != kNobody || getegid() != kNobody)
            _exit(kCannotDrop);
        for (const std::string& folder : folders)
            if (access(folder.c_str(), R_OK | X_OK) != 0) _exit(kCannotReach);
        const bool ok = check();
        std::fflush(nullptr);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        run.outcome = UnprivilegedRun::Failed;
        run.why = "the unprivileged child did not end normally";
        return run;
    }
    switch (WEXITSTATUS(status)) {
        case 0: run.outcome = UnprivilegedRun::Passed; break;
        case kCannotDrop: run.why = "cannot drop root to uid/gid 65534 (setresuid/setresgid refused)"; break;
        case kCannotReach: run.why = "uid 65534 cannot reach the test folder (check TMPDIR's permissions)"; break;
        default: run.outcome = UnprivilegedRun::Failed; run.why = "a check failed as uid 65534"; break;
    }
    return run;
}

}  // namespace lq::test
