#include "recorder/DrawWave.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "platform/CNumbers.h"
#include "recorder/WaveData.h"

namespace lq::rec {

QColor ColourFromBgr(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF), static_cast<int>((bgr >> 16) & 0xFF));
}

void DrawWave(QImage& target, const uint8_t* image, size_t size, const QColor& colour, float markerStart,
              float markerEnd, const TimeAxis& axis) {
    const int W = target.width();
    const int H = target.height();
    if (W <= 0 || H <= 0) return;
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

    QPainter p(&target);
    const WaveData w = ReadWaveData(image, size);
    if (w.HasSound() && w.frames > 0) {
        // The visible samples only: the first and last index are found directly, and every
        // sample near them is still tested as the whole walk would.
        const double us = w.usPerSample;
        const int64_t first = std::clamp<int64_t>(TruncToInt64(std::floor(viewStart / us)) - 2, 0, w.frames);
        const int64_t last = std::clamp<int64_t>(TruncToInt64(std::ceil(viewEnd / us)) + 2, 0, w.frames);
        QPolygon path;
        path.reserve(static_cast<int>(std::min<int64_t>(last - first, 4 * W + 8)) + 1);
        path << QPoint(std::max(0, xOf(0.0)), mid);
        int lastX = -1;
        int hi = 0;
        int lo = 0;
        bool several = false;
        for (int64_t i = first; i < last; ++i) {
            const float t = static_cast<float>(i) * w.usPerSample;
            if (t <= viewStart || t >= viewEnd) continue;
            const int x = xOf(t);
            const int s = w.Sample(i);
            if (x != lastX) {
                if (several) {
                    path << QPoint(x, yOf(hi)) << QPoint(x, yOf(lo));
                } else {
                    path << QPoint(x, yOf(s));
                }
                hi = lo = s;
                several = false;
            } else {
                hi = std::max(hi, s);
                lo = std::min(lo, s);
                several = true;
            }
            lastX = x;
        }
        p.setPen(QPen(colour, 0));
        if (path.size() > 1) p.drawPolyline(path);
    }

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
