#pragma once
// The program's fonts. The windows were designed for "Tahoma" at 96 dots per inch; on Linux the
// metric-compatible clone of the fonts-wine package stands in for it, and DejaVu Sans where that
// is not installed. Sizes are given in pixels so that the layout does not depend on the
// screen's dots per inch.
#include <QFont>
#include <QString>

namespace lq {

inline constexpr const char* kTahomaFontFile = "/usr/share/wine/fonts/tahoma.ttf";
inline constexpr const char* kFallbackFontFamily = "DejaVu Sans";

// Registers the Tahoma clone with the application (once; a QGuiApplication must exist) and
// makes "Tahoma" resolve to the fallback family when the file is missing. Returns the family
// that "Tahoma" stands for.
QString EnsureTahoma();

// "Tahoma" of the given pixel height.
QFont TahomaPixels(int pixels);

// "Tahoma" of the given point size at 96 dots per inch (14 pt = 19 px).
QFont TahomaPoints(int points);

// Pixels of a point size at 96 dots per inch, rounded to the nearest pixel.
int PointsToPixels96(int points);

}  // namespace lq
