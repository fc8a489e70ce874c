#pragma once
// File names of module sets made on Windows: '\' separators, mixed letter case and names in
// code page 1251.
#include <string>

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

}  // namespace lq
