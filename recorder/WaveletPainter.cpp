#include "recorder/WaveletPainter.h"

#include <QPainter>
#include <algorithm>

#include "platform/Colors.h"
#include "platform/CNumbers.h"
#include "recorder/DrawWave.h"

namespace lq {
namespace {

// Fills columns [x1, x2) of rows [y1, y2] with colour c, clipped to the canvas.
void FillSpan(QImage& canvas, int x1, int x2, int y1, int y2, uint32_t c) {
    const int xs = std::max(x1, 0), xe = std::min(x2, canvas.width());
    const int ys = std::max(y1, 0), ye = std::min(y2, canvas.height() - 1);
    if (xs >= xe || ys > ye) return;
    const QRgb rgb = BgrColor(c).rgb();
    for (int y = ys; y <= ye; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        std::fill(line + xs, line + xe, rgb);
    }
}

// The canvas's rectangle (left, top)-(right, bottom): a one-pixel outline on columns left and
// right-1 and rows top and bottom-1, the inside filled with the brush.
void FrameRect(QImage& canvas, int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pen, uint32_t brush) {
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (right == left || bottom == top) return;
    // Sides far off the canvas stay off it, and x2 - 1 and the like cannot overflow.
    const int64_t w = canvas.width(), h = canvas.height();
    const int x1 = static_cast<int>(std::clamp<int64_t>(left, -2, w + 2));
    const int x2 = static_cast<int>(std::clamp<int64_t>(right, -2, w + 2));
    const int y1 = static_cast<int>(std::clamp<int64_t>(top, -2, h + 2));
    const int y2 = static_cast<int>(std::clamp<int64_t>(bottom, -2, h + 2));
    FillSpan(canvas, x1 + 1, x2 - 1, y1 + 1, y2 - 2, brush);
    FillSpan(canvas, x1, x2, y1, y1, pen);
    FillSpan(canvas, x1, x2, y2 - 1, y2 - 1, pen);
    FillSpan(canvas, x1, x1 + 1, y1, y2 - 1, pen);
    FillSpan(canvas, x2 - 1, x2, y1, y2 - 1, pen);
}

}  // namespace

void PaintWaveletGrid(QImage& canvas, const WaveletGrid& grid, float viewCentre, float viewWidth, float logMin,
                      uint32_t brush) {
    if (canvas.isNull()) return;
    const float yScale = static_cast<float>(canvas.height()) / kWaveletLogFreqSpan;
    const float xScale = static_cast<float>(canvas.width()) / viewWidth;
    const float viewStart = static_cast<float>(viewCentre - viewWidth * 0.5);
    const float x0 = grid.T0 - viewStart;

    const int xa = TruncToInt(x0 * xScale);
    const int xb = TruncToInt((static_cast<float>(grid.N) * grid.Dt + x0) * xScale);
    const int ya = TruncToInt((grid.F0 - kWaveletLogFreqBase) * yScale);
    const int yb = TruncToInt((static_cast<float>(grid.M) * grid.Df + grid.F0 - kWaveletLogFreqBase) * yScale);
    FrameRect(canvas, int64_t{xa} - 1, int64_t{ya} - 1, int64_t{xb} + 2, int64_t{yb} + 3, kWaveletFrameColor, brush);

    if (grid.N <= 0 || grid.M <= 0 || grid.Magnitudes.size() < static_cast<size_t>(grid.N) * grid.M) return;
    const float range = static_cast<float>((grid.Max - grid.Min) * 1.1);
    for (int i = 0; i < grid.N; ++i) {
        const float left = x0 + static_cast<float>(i) * grid.Dt;
        const int x1 = TruncToInt(left * xScale);
        const int x2 = TruncToInt(static_cast<double>((left + grid.Dt) * xScale) + 1.0);
        for (int j = 0; j < grid.M; ++j) {
            const float fj = static_cast<float>(j) * grid.Df + grid.F0;
            const int y1 = TruncToInt((fj - kWaveletLogFreqBase) * yScale);
            const int y2 = TruncToInt(static_cast<double>((fj - kWaveletLogFreqBase + grid.Df) * yScale) + 1.0);
            FillSpan(canvas, x1, x2, y1, y2, MagnitudeColor(grid.Magnitude(i, j) - grid.Min, range, logMin));
        }
    }
}

WaveletCanvas::WaveletCanvas(int width, int height, uint32_t background) : background_(background) {
    Resize(width, height);
}

void WaveletCanvas::Resize(int width, int height) {
    const QSize bounded = rec::BoundedViewSize(width, height);
    width = bounded.width();
    height = bounded.height();
    if (!image_.isNull() && image_.width() == width && image_.height() == height) return;
    QImage next(width, height, QImage::Format_RGB32);
    next.fill(BgrColor(background_));
    if (!image_.isNull() && !next.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, image_);
    }
    image_ = std::move(next);
}

void WaveletCanvas::Paint(const std::vector<WaveletGrid>& grids, float viewCentre, float viewWidth, float logMin) {
    for (const WaveletGrid& grid : grids) PaintWaveletGrid(image_, grid, viewCentre, viewWidth, logMin, background_);
}

}  // namespace lq
