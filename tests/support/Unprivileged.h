#pragma once
// Runs a check where file permissions really apply. As root they do not (root writes into a
// read-only file or folder), so there the check runs in a forked child that first drops to the
// unprivileged user and group 65534; otherwise it runs in this process.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lq::test {

struct UnprivilegedRun {
    enum Outcome { Passed, Failed, Unavailable } outcome = Unavailable;
    std::string why;  // for Unavailable: why permissions cannot be made to apply here
};

// `check` returns true when everything it looked at held. `folders` must be reachable by the
// unprivileged user; they are opened to it (searchable, readable) before the child starts.
// The forked child must not start threads (use RunUnprivilegedProgram for that).
UnprivilegedRun RunUnprivileged(const std::vector<std::string>& folders, const std::function<bool()>& check);

// The same for a program: `argv` (argv[0] is the file to run, "/proc/self/exe" for this test
// program) runs in a fresh process with `env` added to the environment, as uid/gid 65534 when
// this process is root. Passed when it exits with 0.
UnprivilegedRun RunUnprivilegedProgram(const std::vector<std::string>& folders, const std::vector<std::string>& argv,
                                       const std::vector<std::pair<std::string, std::string>>& env);

// Whether the calling process is root (file permission bits do not stop it).
bool RunningAsRoot();

// Makes a root process the unprivileged user and group 65534 for good (for a forked child that
// then runs a program of its own); false when the system refuses.
bool DropRoot();

}  // namespace lq::test
