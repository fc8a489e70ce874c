#include "app/CommandLine.h"

#include <cctype>

namespace lq {

std::string RawCommandLine(int argc, char** argv) {
    std::string raw;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) raw.push_back(' ');
        raw += argv[i];
    }
    return raw;
}

std::optional<std::string> FindAddItemsArg(const std::string& raw) {
    static const std::string key = "-additems";
    const size_t n = raw.size();
    const size_t k = key.size();
    for (size_t i = 0; i + k < n; ++i) {
        if (raw.compare(i, k, key) != 0) continue;
        const size_t start = i + k + 1;
        if (start >= n) return std::string();
        size_t end = raw.find(' ', start);
        if (end == std::string::npos) end = n;
        return raw.substr(start, end - start);
    }
    return std::nullopt;
}

ProgramOptions ParseOptions(const std::vector<std::string>& params) {
    ProgramOptions o;
    for (size_t i = 0; i < params.size(); ++i) {
        std::string p = params[i];
        for (char& c : p) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (p == "-debug") o.debug = true;
        if (p == "-dbfile" && i + 1 < params.size()) {
            o.dbFile = params[i + 1];
            o.dbFileGiven = true;
        }
    }
    return o;
}

std::vector<std::string> RestartArguments(const ProgramOptions& options) {
    std::vector<std::string> args;
    if (options.debug) args.emplace_back("-debug");
    if (options.dbFileGiven) {
        args.emplace_back("-dbfile");
        args.push_back(options.dbFile);
    }
    return args;
}

}  // namespace lq
