#pragma once
// A small file system of its own for a test: a tmpfs of a given size mounted on a temporary
// folder (needs the right to mount, as CI's root has), unmounted and removed when the object
// goes, also when the test fails. Where mounting is not allowed, Mounted() is false and Why()
// says why, for GTEST_SKIP.
#include <cstdint>
#include <string>

namespace lq::test {

class SmallDisk {
public:
    explicit SmallDisk(uint64_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    // Bytes still free for files.
    uint64_t FreeBytes() const;
    // Fills the disk with one file until about `bytes` stay free; false when it cannot.
    bool LeaveFree(uint64_t bytes, const std::string& name = "filler");

private:
    std::string path_;
    std::string why_;
    bool mounted_ = false;
};

}  // namespace lq::test
