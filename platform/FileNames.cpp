#include "platform/FileNames.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "platform/Cp1251.h"

namespace lq {
namespace {

std::string Slashes(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == '\0' || AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return b[i] == '\0';
}

// The entry of `dir` named `part` ignoring ASCII case; the smallest such name when several
// differ only in case, so the answer does not depend on the directory's order. "" when none.
std::string FindEntryCi(const std::string& dir, const std::string& part) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::vector<std::string> matches;
    while (const dirent* e = readdir(d)) {
        if (EqualsIgnoringAsciiCase(part, e->d_name)) matches.emplace_back(e->d_name);
    }
    closedir(d);
    if (matches.empty()) return {};
    return *std::min_element(matches.begin(), matches.end());
}

bool HasNonAscii(const std::string& s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The spellings a name may have in the folder, most likely first.
std::vector<std::string> SpellingsOf(const std::string& name) {
    if (!HasNonAscii(name)) return {name};
    if (!IsValidUtf8(name)) return {Cp1251ToUtf8(name), name};
    std::vector<std::string> spellings{name};
    if (std::string cp1251 = NameToCp1251(name); cp1251 != name) spellings.push_back(std::move(cp1251));
    spellings.push_back(Cp1251ToUtf8(name));
    return spellings;
}

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& name) {
    const std::string n = Slashes(name);
    if (dir.empty()) return n;
    if (n.empty()) return dir;
    if (dir.back() == '/' || n.front() == '/') return dir + n;
    return dir + "/" + n;
}

std::string ResolveCi(const std::string& dir, const std::string& name) {
    const std::string n = Slashes(name);
    const std::string exact = JoinPath(dir, n);
    if (n.empty()) return {};
    if (Exists(exact)) return exact;

    // Walk the name one folder at a time, taking each part's real spelling.
    std::string current = dir;
    size_t pos = 0;
    while (pos <= n.size()) {
        size_t next = n.find('/', pos);
        if (next == std::string::npos) next = n.size();
        const std::string part = n.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty()) continue;
        std::string candidate = JoinPath(current, part);
        if (part != "." && part != ".." && !Exists(candidate)) {
            const std::string real = FindEntryCi(current, part);
            if (real.empty()) return {};
            candidate = JoinPath(current, real);
        }
        current = candidate;
    }
    return Exists(current) ? current : std::string();
}

std::string ResolveNameCi(const std::string& dir, const std::string& name) {
    for (const std::string& spelling : SpellingsOf(name)) {
        if (std::string path = ResolveCi(dir, spelling); !path.empty()) return path;
    }
    return {};
}

}  // namespace lq
