#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lq::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "lqtest-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path p = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
}

std::string TempDir::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string SourceDir() {
    const char* s = std::getenv("LQ_SOURCE_DIR");
    return s ? s : LQ_DEFAULT_SOURCE_DIR;
}

std::string BinaryDir() {
    const char* s = std::getenv("LQ_BINARY_DIR");
    return s ? s : LQ_DEFAULT_BINARY_DIR;
}

}  // namespace lq::test
