#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace lq {
namespace {

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string RuntimeLockPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || *runtime != '/') return {};
    std::string dir = runtime;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/" + name + ".lock";
}

std::string TempLockPath(const std::string& name) {
    return TempFolder() + "/" + name + "-" + std::to_string(getuid()) + ".lock";
}

int OpenLockFile(const std::string& path) {
    // O_CLOEXEC: a program started later must never inherit (and so keep) the lock.
    // O_NOFOLLOW: in a shared temporary folder the name must not lead elsewhere.
    int fd;
    do {
        fd = open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

InstanceLock::~InstanceLock() { Release(); }

std::string InstanceLock::LockPath(const std::string& name) {
    const std::string runtime = RuntimeLockPath(name);
    return runtime.empty() ? TempLockPath(name) : runtime;
}

InstanceLock::Result InstanceLock::Acquire(const std::string& name, int timeoutMs) {
    Release();

    // The runtime folder first; when it is unusable, the temporary folder.
    std::vector<std::string> paths;
    const std::string runtime = RuntimeLockPath(name);
    if (!runtime.empty()) paths.push_back(runtime);
    paths.push_back(TempLockPath(name));
    int fd = -1;
    for (const std::string& p : paths) {
        fd = OpenLockFile(p);
        if (fd >= 0) break;
    }
    if (fd < 0) return Result::Failed;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return Result::Acquired;
        }
        const int err = errno;
        if (err != EWOULDBLOCK && err != EINTR) {
            close(fd);
            return Result::Failed;
        }
        if (err == EWOULDBLOCK && Clock::now() >= deadline) {
            close(fd);
            return Result::Running;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

}  // namespace lq
