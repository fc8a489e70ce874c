#pragma once
// The per-user single-instance lock: an exclusive flock() on a lock file. The kernel drops the
// lock when its process dies, so a copy that was killed never blocks the next one.
#include <string>

namespace lq {

class InstanceLock {
public:
    enum class Result {
        Acquired,  // this process holds the lock
        Running,   // another process held it for the whole wait
        Failed     // the lock file could not be opened; callers go on as if no copy runs
    };

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Tries for up to `timeoutMs` milliseconds.
    Result Acquire(const std::string& name, int timeoutMs = 100);
    void Release();
    bool Held() const { return fd_ >= 0; }

    // $XDG_RUNTIME_DIR/<name>.lock, else <temp>/<name>-<uid>.lock.
    static std::string LockPath(const std::string& name);

private:
    int fd_ = -1;
};

}  // namespace lq
