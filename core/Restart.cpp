#include "core/Restart.h"

#include <utility>

namespace lq {
namespace {
std::function<void()>& Closer() {
    static std::function<void()> closer;
    return closer;
}
bool g_restartRequested = false;
}  // namespace

void SetMainWindowCloser(std::function<void()> closer) { Closer() = std::move(closer); }

void RestartProgram() {
    g_restartRequested = true;
    if (Closer()) Closer()();
}

bool RestartRequested() { return g_restartRequested; }
void ClearRestartRequest() { g_restartRequested = false; }

}  // namespace lq
