#pragma once
// Restarting the program after its lesson data changed (an import, a module deletion).
// RestartProgram only asks: the main window closes and runs its whole shut-down (settings
// written, sound thread stopped, database closed); then the entry releases the instance lock
// and starts a new copy with the "-debug" and "-dbfile" options this copy was started with.
#include <functional>

namespace lq {

// What closes the main window; the main window registers itself.
void SetMainWindowCloser(std::function<void()> closer);

void RestartProgram();
bool RestartRequested();
void ClearRestartRequest();

}  // namespace lq
