#pragma once
// Keeps a top-level window within the available area of its screen (see FitWindowToArea): at its
// creation, with the geometry of the settings file, and each time it is shown.
#include "core/Settings.h"

class QWidget;

namespace lq {

// Moves and resizes `window` to `wanted` (frame's top left corner, client size) fitted into the
// available area of the screen that holds that corner (the window's own screen when none does).
// The position is always set, 0,0 too, so that the window manager keeps it.
void PlaceOnScreen(QWidget& window, const WindowGeometry& wanted);
// The same with the geometry the window has now; for the windows' show events.
void KeepOnScreen(QWidget& window);

}  // namespace lq
