#pragma once
// A dynamic library loaded by absolute path (dlopen). Never unloaded by this class: callers keep
// entry points for the whole run.
#include <string>

namespace lq {

class DynLib {
public:
    // False when the file is missing or not a loadable library (the reason is in Error()).
    bool Open(const std::string& absolutePath);
    bool IsOpen() const { return handle_ != nullptr; }
    // The export's address, or nullptr when missing (or nothing loaded).
    void* Symbol(const char* name) const;
    const std::string& Error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace lq
