#pragma once
// A temporary folder removed with everything in it when the object goes.
#include <string>

namespace lq::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes `bytes` to Path()/name (folders created as needed); returns the full path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    static std::string Read(const std::string& path);

private:
    std::string path_;
};

// The source tree (for fixtures) and the build tree, from the test environment.
std::string SourceDir();
std::string BinaryDir();

}  // namespace lq::test
