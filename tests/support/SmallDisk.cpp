#include "tests/support/SmallDisk.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace lq::test {

SmallDisk::SmallDisk(uint64_t bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "lq-disk-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        why_ = std::string("mkdtemp: ") + std::strerror(errno);
        return;
    }
    path_ = name.data();
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        why_ = std::string("cannot mount a small tmpfs here: ") + std::strerror(errno);
        return;
    }
    mounted_ = true;
}

SmallDisk::~SmallDisk() {
    if (mounted_ && umount2(path_.c_str(), MNT_DETACH) != 0) std::perror("umount2");
    if (!path_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
}

uint64_t SmallDisk::FreeBytes() const {
    struct statvfs s {};
    if (statvfs(path_.c_str(), &s) != 0) return 0;
    return static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
}

bool SmallDisk::LeaveFree(uint64_t bytes, const std::string& name) {
    const uint64_t free = FreeBytes();
    if (free < bytes) return false;
    const int fd = ::open(File(name).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0) return false;
    std::vector<char> block(4096, 'x');
    uint64_t left = free - bytes;
    bool ok = true;
    while (left > 0 && ok) {
        const size_t n = left < block.size() ? static_cast<size_t>(left) : block.size();
        const ssize_t written = ::write(fd, block.data(), n);
        ok = written > 0;
        if (ok) left -= static_cast<uint64_t>(written);
    }
    ::close(fd);
    return ok;
}

}  // namespace lq::test
