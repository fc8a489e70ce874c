#pragma once
// Runs a check where file permissions really apply. As root they do not (root writes into a
// read-only file or folder), so there the check runs in a forked child that first drops to the
// unprivileged user and group 65534; otherwise it runs in this process.
#include <functional>
#include <string>
#include <vector>

namespace lq::test {

struct UnprivilegedRun {
    enum Outcome { Passed, Failed, Unavailable } outcome = Unavailable;
    std::string why;  // for Unavailable: why permissions cannot be made to apply here
};

// `check` returns true when everything it looked at held. `folders` must be reachable by the
// unprivileged user; they are opened to it (searchable, readable) before the child starts.
UnprivilegedRun RunUnprivileged(const std::vector<std::string>& folders, const std::function<bool()>& check);

// Whether the calling process is root (file permission bits do not stop it).
bool RunningAsRoot();

}  // namespace lq::test
