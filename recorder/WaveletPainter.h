#pragma once
// Painting the wavelet grids on the analysis view's canvas, on the waveform views' time axis
// (viewStart = viewCentre - viewWidth/2, viewWidth microseconds across the canvas) and with
// log-frequency -8.5 at the top and -3.3 at the bottom. Painting never clears: each analysis
// paints over the previous picture, so the canvas is kept between paints.
#include <QImage>
#include <cstdint>
#include <vector>

#include "recorder/Wavelet.h"

namespace lq {

inline constexpr uint32_t kWaveletFrameColor = 0x0000FF;   // red, 0x00BBGGRR
inline constexpr uint32_t kWaveletCanvasColor = 0xFFFFFF;  // the canvas's brush and first content

// One grid: a red frame from (xa-1, ya-1) to (xb+2, yb+3), right and bottom edges excluded, its
// inside filled with `brush`, then every cell in its ramp colour (Magnitudes - Min against
// (Max - Min) * 1.1 on a log scale down to logMin). Drawing outside the canvas is clipped.
void PaintWaveletGrid(QImage& canvas, const WaveletGrid& grid, float viewCentre, float viewWidth, float logMin,
                      uint32_t brush = kWaveletCanvasColor);

// The persistent picture of the analysis view: created in its background colour, kept across
// analyses and resizes (what still fits stays), painted over grid by grid.
class WaveletCanvas {
public:
    explicit WaveletCanvas(int width = 0, int height = 0, uint32_t background = kWaveletCanvasColor);

    void Resize(int width, int height);
    // Grids 0..size-1 in order.
    void Paint(const std::vector<WaveletGrid>& grids, float viewCentre, float viewWidth, float logMin);
    const QImage& Image() const { return image_; }
    QImage& Image() { return image_; }

private:
    QImage image_;
    uint32_t background_;
};

}  // namespace lq
