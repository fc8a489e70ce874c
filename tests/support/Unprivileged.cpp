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
constexpr int kCannotRun = 79;

// Every folder on the way must be searchable by the child (a temporary folder is 0700).
void OpenToOthers(const std::vector<std::string>& folders) {
    namespace fs = std::filesystem;
    for (const std::string& folder : folders) {
        std::error_code ec;
        fs::permissions(folder,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec,
                        fs::perm_options::add, ec);
    }
}

// In the child: becomes the unprivileged user (when root) and checks that the folders can be
// reached; ends the child when either fails.
void BecomeUnprivileged(const std::vector<std::string>& folders) {
    if (RunningAsRoot() && !DropRoot()) _exit(kCannotDrop);
    for (const std::string& folder : folders)
        if (access(folder.c_str(), R_OK | X_OK) != 0) _exit(kCannotReach);
}

UnprivilegedRun Await(pid_t child) {
    UnprivilegedRun run;
    if (child < 0) {
        run.why = "fork failed";
        return run;
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
        case kCannotRun:
            run.outcome = UnprivilegedRun::Failed;
            run.why = "the child program could not be started";
            break;
        default: run.outcome = UnprivilegedRun::Failed; run.why = "a check failed in the unprivileged child"; break;
    }
    return run;
}

}  // namespace

bool RunningAsRoot() { return geteuid() == 0; }

bool DropRoot() {
    return setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0 &&
           setresuid(kNobody, kNobody, kNobody) == 0 && geteuid() == kNobody && getegid() == kNobody;
}

UnprivilegedRun RunUnprivileged(const std::vector<std::string>& folders, const std::function<bool()>& check) {
    UnprivilegedRun run;
    if (!RunningAsRoot()) {
        run.outcome = check() ? UnprivilegedRun::Passed : UnprivilegedRun::Failed;
        return run;
    }
    OpenToOthers(folders);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        BecomeUnprivileged(folders);
        const bool ok = check();
        std::fflush(nullptr);
        _exit(ok ? 0 : 1);
    }
    return Await(child);
}

UnprivilegedRun RunUnprivilegedProgram(const std::vector<std::string>& folders, const std::vector<std::string>& argv,
                                       const std::vector<std::pair<std::string, std::string>>& env) {
    if (RunningAsRoot()) OpenToOthers(folders);
    // Everything the child needs is made before the fork: it only sets variables and execs.
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        BecomeUnprivileged(folders);
        execv(args[0], args.data());
        _exit(kCannotRun);
    }
    return Await(child);
}

}  // namespace lq::test
