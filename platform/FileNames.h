#pragma once
// File names of module sets made on Windows: '\' separators, mixed letter case and names in
// code page 1251.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lq {

// The path of `name` inside `dir`: the exact name when it exists, else the first entry whose name
// matches it ignoring ASCII case; "" when none does. '\' in `name` is taken as '/'.
std::string ResolveCi(const std::string& dir, const std::string& name);

// ResolveCi for a name in either encoding: the program's cp1251 (a module name as this version
// stores it) or UTF-8 (the file system's names, and the module names earlier versions stored).
// Tries the name as the file system spells it (UTF-8) first, then the bytes as they stand; a valid
// UTF-8 name also in cp1251, and its bytes read as cp1251. "" when none is there.
std::string ResolveNameCi(const std::string& dir, const std::string& name);

// dir + "/" + name, with '\' in name turned into '/'.
std::string JoinPath(const std::string& dir, const std::string& name);

// The entries of one folder, read once, for many look-ups by name: the same answers as ResolveCi
// for a name without a folder part, without reading the folder again for each.
class FolderIndex {
public:
    // Reads `dir` ("" is the current folder); a folder that cannot be read has no entries.
    explicit FolderIndex(const std::string& dir);

    // The entry's real name: `name` itself when the folder has it, else the smallest name that
    // matches it ignoring ASCII case; "" when none does.
    std::string Find(std::string_view name) const;
    // The same for a module name in any of the spellings ResolveNameCi tries.
    std::string FindName(const std::string& name) const;
    // Whether the entry `realName` (as Find gives it) is a regular file or a link to one.
    bool IsRegularFile(const std::string& realName) const;
    // dir/realName.
    std::string PathOf(const std::string& realName) const { return JoinPath(dir_, realName); }

    // Every entry but "." and "..", in the folder's order.
    const std::vector<std::string>& Names() const { return names_; }

private:
    enum class Kind : unsigned char { Regular, Other, Unknown };
    std::string dir_;
    std::vector<std::string> names_;
    std::vector<Kind> kinds_;
    std::unordered_map<std::string, std::vector<size_t>> folded_;  // ASCII lower-cased name -> its entries
};

}  // namespace lq
