#include "recorder/DrawWave.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "platform/CNumbers.h"
#include "recorder/WaveData.h"

namespace lq::rec {

namespace {

// The largest and smallest channel-0 sample of frames [from, to), folded into hi and lo. Mono
// samples are read in blocks so that the comparison runs over a plain array.
void ColumnExtremes(const WaveData& w, int64_t from, int64_t to, int& hi, int& lo) {
    if (w.channels == 1) {
        // Eight lanes over blocks of 64 samples: the compiler turns each lane step into one
        // vector max and min.
        constexpr int kLanes = 8;
        constexpr int64_t kBlock = 64;
        int16_t block[kBlock];
        int16_t lh[kLanes];
        int16_t ll[kLanes];
        for (int l = 0; l < kLanes; ++l) lh[l] = ll[l] = static_cast<int16_t>(hi);
        int64_t k = from;
        for (; k + kBlock <= to; k += kBlock) {
            std::memcpy(block, w.samples + static_cast<size_t>(k) * 2, sizeof block);
            for (int64_t j = 0; j < kBlock; j += kLanes)
                for (int l = 0; l < kLanes; ++l) {
                    lh[l] = std::max(lh[l], block[j + l]);
                    ll[l] = std::min(ll[l], block[j + l]);
                }
        }
        for (int l = 0; l < kLanes; ++l) {
            hi = std::max(hi, static_cast<int>(lh[l]));
            lo = std::min(lo, static_cast<int>(ll[l]));
        }
        for (; k < to; ++k) {
            const int v = w.Sample(k);
            hi = std::max(hi, v);
            lo = std::min(lo, v);
        }
        return;
    }
    for (int64_t k = from; k < to; ++k) {
        const int v = w.Sample(k);
        hi = std::max(hi, v);
        lo = std::min(lo, v);
    }
}

// A one-pixel line with both end points, clipped to the image (the waveform's strokes are
// drawn straight into the pixels: a QPainter line costs more than the whole walk).
struct Pixels {
    QRgb* bits;
    qsizetype stride;  // pixels per row
    int w;
    int h;
};

void PlotLine(const Pixels& img, QPoint a, QPoint b, QRgb colour) {
    const int w = img.w;
    const int h = img.h;
    int x0 = a.x(), y0 = a.y();
    const int x1 = b.x(), y1 = b.y();
    const int64_t dx = std::abs(int64_t{x1} - x0);
    const int64_t dy = -std::abs(int64_t{y1} - y0);
    if (dx - dy > 4 * (int64_t{w} + h) + 16) return;  // no stroke of the walk is that long
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    for (;;) {
        if (x0 >= 0 && x0 < w && y0 >= 0 && y0 < h) img.bits[y0 * img.stride + x0] = colour;
        if (x0 == x1 && y0 == y1) break;
        const int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

}  // namespace

QColor ColourFromBgr(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF), static_cast<int>((bgr >> 16) & 0xFF));
}

QSize BoundedViewSize(int width, int height) {
    return {std::clamp(width, 0, kMaxViewSide), std::clamp(height, 0, kMaxViewSide)};
}

void DrawWave(QImage& target, const uint8_t* image, size_t size, const QColor& colour, float markerStart,
              float markerEnd, const TimeAxis& axis) {
    const int W = target.width();
    const int H = target.height();
    if (W <= 0 || H <= 0) return;
    if (target.format() != QImage::Format_RGB32) target = QImage(W, H, QImage::Format_RGB32);
    target.fill(Qt::white);
    const float viewWidth = axis.viewWidth;
    if (!(viewWidth > 0.0f) || !std::isfinite(viewWidth) || !std::isfinite(axis.viewCentre)) return;
    const double viewStart = axis.viewCentre - viewWidth * 0.5;
    const double viewEnd = axis.viewCentre + viewWidth * 0.5;
    const int mid = H / 2;
    const float yScale = static_cast<float>(mid * (1.0 / 16484));
    const float xScale = static_cast<float>(W) / viewWidth;
    auto yOf = [&](int v) { return TruncToInt(static_cast<float>(mid) - static_cast<float>(v) * yScale); };
    auto xOf = [&](double t) { return TruncToInt((t - viewStart) * xScale); };

    const WaveData w = ReadWaveData(image, size);
    if (w.HasSound() && w.frames > 0) {
        // The samples with viewStart < t < viewEnd, t = i * usPerSample, form one run of
        // indexes; its ends are estimated and then settled with the exact test.
        auto timeOf = [&](int64_t i) { return static_cast<float>(i) * w.usPerSample; };
        auto visible = [&](int64_t i) {
            const float t = timeOf(i);
            return t > viewStart && t < viewEnd;
        };
        const double us = w.usPerSample;
        int64_t first = std::clamp<int64_t>(TruncToInt64(viewStart / us), 0, w.frames);
        while (first > 0 && timeOf(first - 1) > viewStart) --first;
        while (first < w.frames && timeOf(first) <= viewStart) ++first;
        int64_t last = std::clamp<int64_t>(TruncToInt64(viewEnd / us), first, w.frames);
        if (last < w.frames) ++last;
        while (last > first && !visible(last - 1)) --last;
        while (last < w.frames && visible(last)) ++last;

        std::vector<QPoint> path;
        path.reserve(2 * W + 8);
        path.emplace_back(std::max(0, xOf(0.0)), mid);
        // The walk over the samples column by column: a column's samples are one run of
        // indexes (x grows with i), found from an estimate and settled with the exact x.
        const double usPerPixel = 1.0 / xScale;
        int hi = 0;
        int lo = 0;
        bool several = false;
        int64_t i = first;
        while (i < last) {
            const int x = xOf(timeOf(i));
            int64_t end = std::clamp<int64_t>(TruncToInt64(((x + 1.0) * usPerPixel + viewStart) / us), i + 1, last);
            while (end > i + 1 && xOf(timeOf(end - 1)) != x) --end;
            while (end < last && xOf(timeOf(end)) == x) ++end;
            const int s = w.Sample(i);
            if (several) {
                path.emplace_back(x, yOf(hi));
                path.emplace_back(x, yOf(lo));
            } else {
                path.emplace_back(x, yOf(s));
            }
            hi = lo = s;
            ColumnExtremes(w, i + 1, end, hi, lo);
            several = end - i > 1;
            i = end;
        }
        const QRgb rgb = colour.rgb();
        const Pixels pixels{reinterpret_cast<QRgb*>(target.bits()), target.bytesPerLine() / 4, W, H};
        for (size_t k = 1; k < path.size(); ++k) PlotLine(pixels, path[k - 1], path[k], rgb);
    }

    QPainter p(&target);
    p.setPen(QPen(ColourFromBgr(kMarkerColour), 0));
    auto marker = [&](float m, bool start) {
        if (!(viewStart < m && m < viewEnd)) return;
        const int x = xOf(m);
        p.drawLine(x, 2 * mid, x, 0);
        const QString text = start ? QStringLiteral(">") : QStringLiteral("<");
        const int tx = start ? x - 8 : x + 2;
        p.drawText(QRect(tx, 2, 12, 16), Qt::AlignLeft | Qt::AlignTop, text);
    };
    marker(markerStart, true);
    marker(markerEnd, false);
}

}  // namespace lq::rec
