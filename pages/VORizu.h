#pragma once
// The interface of the product's own dictionary library, "libVORizu.so" in the program folder.
// The program loads it by absolute path at start-up (never from anywhere else, never unloaded)
// and looks up the three entry points below; any of them may be missing, which disables that
// call only. All three are called on the user-interface thread; the program relies only on each
// call returning.
#include <cstdint>

extern "C" {

// Show the translation of `cp1251Word` (a zero-terminated text in code page 1251, the word
// normalised but not lower-cased) near the screen point (x, y), the top-right corner of the
// word's tile. The coordinates are logical (device-independent) pixels of the virtual desktop;
// multiply by the screen's device pixel ratio for device pixels. `owner` is the native window id
// of the main window (0 when there is none, e.g. without a display).
void _ShowTransl(uintptr_t owner, int32_t x, int32_t y, const char* cp1251Word);
using ShowTranslFn = void (*)(uintptr_t owner, int32_t x, int32_t y, const char* cp1251Word);

// Hide whatever the library shows. Called each time the Learn page is hidden.
void _HideTransl(void);
using HideTranslFn = void (*)(void);

// The program is closing. Called first of all when the main window closes.
void _ExitTransl(void);
using ExitTranslFn = void (*)(void);

}  // extern "C"
