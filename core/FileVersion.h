#pragma once
// The program's version, compiled in from the project version: what the welcome window and the
// About page show.
#include <cstdint>
#include <string>

namespace lq {

// ms = major << 16 | minor, ls = patch << 16 | tweak. False (and both 0) when no version was
// compiled in. `moduleName` names the program's file; there is only one.
bool GetFileVersion(const char* moduleName, uint32_t& ms, uint32_t& ls);
// "%d.%d.%d.%d" of the version ("0.0.0.0" when there is none).
std::string FileVersionText();

}  // namespace lq
