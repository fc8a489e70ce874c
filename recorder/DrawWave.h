#pragma once
// Drawing the first channel of a WAVE image as a waveform on the recorder's time axis, with the
// two markers, into an image of the view's own size.
#include <QColor>
#include <QImage>
#include <QSize>
#include <cstddef>
#include <cstdint>

namespace lq::rec {

// The program's colour values are 0x00BBGGRR (red in the low byte).
QColor ColourFromBgr(uint32_t bgr);
inline constexpr uint32_t kOrigWaveColour = 0x406000;
inline constexpr uint32_t kRecordWaveColour = 0xFF0000;
inline constexpr uint32_t kMarkerColour = 0x0000FF;

// The largest side of a view's picture (the waveform views, the analysis canvas). A window kept on
// its screen never comes near it; it bounds a picture's memory whatever size its view is given.
inline constexpr int kMaxViewSide = 8192;
// The size of a view's picture: each side within 0 and kMaxViewSide.
QSize BoundedViewSize(int width, int height);

struct TimeAxis {
    float viewCentre = 0.0f;  // µs
    float viewWidth = 0.0f;   // µs
};

// Fills `target` (made RGB32 when it has another format) white and draws `image` (`size` bytes) in `colour`, then the markers that lie
// strictly inside the view. A sample value v is at y = trunc(mid - v * mid / 16484) and a time t
// at x = trunc((t - viewStart) * W / viewWidth); a column holding several samples is drawn as a
// stroke from their maximum to their minimum.
void DrawWave(QImage& target, const uint8_t* image, size_t size, const QColor& colour, float markerStart,
              float markerEnd, const TimeAxis& axis);

}  // namespace lq::rec
