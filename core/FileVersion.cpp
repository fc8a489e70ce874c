#include "core/FileVersion.h"

#include <cstdio>

#include "Version.h"

namespace lq {

bool GetFileVersion(const char*, uint32_t& ms, uint32_t& ls) {
    // "+ 0" keeps a part that the build left empty at 0.
    const uint32_t major = LQ_VERSION_MAJOR + 0, minor = LQ_VERSION_MINOR + 0;
    const uint32_t patch = LQ_VERSION_PATCH + 0, tweak = LQ_VERSION_TWEAK + 0;
    ms = (major & 0xFFFF) << 16 | (minor & 0xFFFF);
    ls = (patch & 0xFFFF) << 16 | (tweak & 0xFFFF);
    return ms != 0 || ls != 0;
}

std::string FileVersionText() {
    uint32_t ms = 0, ls = 0;
    GetFileVersion("lindquest", ms, ls);
    char text[48];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF),
                  static_cast<int>(ls >> 16), static_cast<int>(ls & 0xFFFF));
    return text;
}

}  // namespace lq
