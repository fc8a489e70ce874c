#pragma once
// File names of module sets made on Windows: '\' separators and mixed letter case.
#include <string>

namespace lq {

// The path of `name` inside `dir`: the exact name when it exists, else the first entry whose name
// matches it ignoring ASCII case; "" when none does. '\' in `name` is taken as '/'.
std::string ResolveCi(const std::string& dir, const std::string& name);

// dir + "/" + name, with '\' in name turned into '/'.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace lq
