#pragma once
// Process services: starting a detached program, the running executable's path.
#include <string>
#include <vector>

namespace lq {

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts `program` with `args` detached (no shell); false when it could not be started.
    virtual bool StartDetached(const std::string& program, const std::vector<std::string>& args) = 0;
};

class QtProcessLauncher final : public ProcessLauncher {
public:
    bool StartDetached(const std::string& program, const std::vector<std::string>& args) override;
};

// The absolute path of the running executable (/proc/self/exe), or "" when unknown.
std::string ExecutablePath();
// The folder part of a path, without a trailing slash ("/a/b/c" -> "/a/b").
std::string ExtractFileDir(const std::string& path);

}  // namespace lq
