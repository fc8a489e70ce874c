#pragma once
// Where a window stands on the screen: the geometry read from the settings file (or the one the
// window has now) fitted into the available area of its screen, so that no stored value, however
// large or negative, makes a window larger than the screen or puts it out of sight.
#include "core/Settings.h"

namespace lq {

// A rectangle of the screen in pixels: its top left corner and its size.
struct ScreenArea {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// What the window adds to and demands of its client size: the frame's width and height beyond the
// client area (0 before the window is first shown) and the smallest client size its layout allows.
struct WindowFrame {
    int ExtraWidth = 0;
    int ExtraHeight = 0;
    int MinWidth = 0;
    int MinHeight = 0;
};

// `wanted` holds the frame's top left corner and the client size (the settings' left, top,
// height, width). The client size is cut to what the area holds with the frame (but never below
// the window's minimum or 1 pixel), and the corner is moved just as far as it takes for the
// framed window to lie inside the area; a window that fits already keeps its geometry. A window
// whose minimum is larger than the area stands at the area's left or top edge.
WindowGeometry FitWindowToArea(const WindowGeometry& wanted, const ScreenArea& area, const WindowFrame& frame = {});

}  // namespace lq
