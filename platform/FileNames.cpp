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

std::string AsciiFolded(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = AsciiLower(c);
    return out;
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
            const std::string real = FolderIndex(current).Find(part);
            if (real.empty()) return {};
            candidate = JoinPath(current, real);
        }
        current = candidate;
    }
    return Exists(current) ? current : std::string();
}

FolderIndex::FolderIndex(const std::string& dir) : dir_(dir) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return;
    while (const dirent* e = readdir(d)) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        names_.emplace_back(name);
        // A link, or a file system that does not tell, is looked at when it is asked about.
        kinds_.push_back(e->d_type == DT_REG                             ? Kind::Regular
                         : e->d_type == DT_LNK || e->d_type == DT_UNKNOWN ? Kind::Unknown
                                                                          : Kind::Other);
    }
    closedir(d);
    for (size_t i = 0; i < names_.size(); ++i) folded_[AsciiFolded(names_[i])].push_back(i);
}

std::string FolderIndex::Find(std::string_view name) const {
    const auto it = folded_.find(AsciiFolded(name));
    if (it == folded_.end()) return {};
    // Several names that differ only in case: the smallest, so the answer does not depend on
    // the folder's order.
    const std::string* best = nullptr;
    for (const size_t i : it->second) {
        if (names_[i] == name) return names_[i];
        if (!best || names_[i] < *best) best = &names_[i];
    }
    return *best;
}

bool FolderIndex::IsRegularFile(const std::string& realName) const {
    if (realName.empty()) return false;
    const auto it = folded_.find(AsciiFolded(realName));
    if (it == folded_.end()) return false;
    for (const size_t i : it->second) {
        if (names_[i] != realName) continue;
        if (kinds_[i] != Kind::Unknown) return kinds_[i] == Kind::Regular;
        struct stat st;
        return stat(PathOf(realName).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }
    return false;
}

std::string FolderIndex::FindName(const std::string& name) const {
    for (const std::string& spelling : SpellingsOf(name)) {
        if (std::string real = Find(spelling); !real.empty()) return real;
    }
    return {};
}

std::string ResolveNameCi(const std::string& dir, const std::string& name) {
    for (const std::string& spelling : SpellingsOf(name)) {
        if (std::string path = ResolveCi(dir, spelling); !path.empty()) return path;
    }
    return {};
}

}  // namespace lq
