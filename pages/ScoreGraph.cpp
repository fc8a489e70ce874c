#include "pages/ScoreGraph.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Database.h"
#include "platform/CNumbers.h"
#include "platform/DateTime.h"

namespace lq {
namespace {

constexpr float kGridSteps[11] = {0.01f, 0.02f, 0.05f, 0.1f, 0.2f, 0.5f, 1.0f, 2.0f, 5.0f, 10.0f, 20.0f};
constexpr float kSmoothWeights[5] = {0.02f, 0.1f, 0.3f, 0.1f, 0.02f};
constexpr float kCoordLimit = static_cast<float>(1 << 20);
constexpr int kCirclePitch = 7;

// Keeps `field` when the candidate is not finite; otherwise stores it inside [lo, hi].
void Keep(float& field, float candidate, float lo, float hi) {
    if (!std::isfinite(candidate)) return;
    field = std::clamp(candidate, lo, hi);
}

GraphView Sanitized(const GraphView& v) {
    GraphView s;  // the defaults stand in for values that are not finite
    Keep(s.ScoreScale, v.ScoreScale, GraphView::kMinScoreScale, GraphView::kMaxScoreScale);
    Keep(s.ScoreMin, v.ScoreMin, -GraphView::kMaxScoreOffset, GraphView::kMaxScoreOffset);
    Keep(s.IndexScale, v.IndexScale, GraphView::kMinIndexScale, GraphView::kMaxIndexScale);
    Keep(s.IndexStart, v.IndexStart, -GraphView::kMaxIndexOffset, GraphView::kMaxIndexOffset);
    return s;
}

// Float to pixel: truncation toward zero, inside +-2^20 (NaN gives 0).
int Coord(float v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(v, -kCoordLimit, kCoordLimit));
}

int MapX(int index, const GraphView& v) { return Coord((static_cast<float>(index) - v.IndexStart) * v.IndexScale); }

int MapY(float value, const GraphView& v, int height) {
    const float h = (value - v.ScoreMin) * v.ScoreScale * 0.01f * static_cast<float>(height) + 0.5f;
    return height - Coord(h);
}

std::string IntText(long long v) { return std::to_string(v); }

}  // namespace

void AnswerHistoryBuilder::Reset() {
    points_.clear();
    glansnAverage_ = 0.0f;
}

bool AnswerHistoryBuilder::AddRow(const char* glrang, const char* isentn, const char* dtdate, const char* glansn) {
    DateTime when = 0;
    if (!dtdate || !ParseDateText(dtdate, when)) return false;

    const size_t n = points_.size();
    points_.emplace_back();
    AnswerPoint& p = points_.back();

    // Score: the new value pulls the 99 records before it toward itself, the pull cascading
    // backward (record j + 1 is already updated when record j is).
    p.glrang = glrang ? static_cast<float>(CAtofFinite(glrang)) : 0.0f;
    float w = 0.99f;
    for (size_t k = 1; k <= 99 && k <= n; ++k) {
        const size_t j = n - k;
        points_[j].glrang = (1.0f - w) * points_[j].glrang + w * points_[j + 1].glrang;
        w -= 0.01f;
    }

    p.day = static_cast<float>(when);
    p.isentn = static_cast<uint16_t>(isentn ? CAtoi(isentn) : 0);

    // Answers per day: an exponential average, then a five-tap filter over the stored values.
    const float g = glansn ? static_cast<float>(CAtofFinite(glansn)) : 0.0f;
    p.glansn = 0.05f * g + 0.95f * glansnAverage_;
    glansnAverage_ = p.glansn;
    if (n > 5) {
        const float* wt = kSmoothWeights;
        const float sum = wt[0] + wt[1] + wt[2] + wt[3] + wt[4];
        p.glansn = (wt[0] * p.glansn + wt[1] * points_[n - 1].glansn + wt[2] * points_[n - 2].glansn +
                    wt[3] * points_[n - 3].glansn + wt[4] * points_[n - 4].glansn) /
                   sum;
    }
    return true;
}

std::vector<AnswerPoint> LoadAnswerHistory(const Database& db, size_t expectedCount) {
    AnswerHistoryBuilder builder;
    builder.Reserve(expectedCount);
    db.Query("SELECT * FROM answcn ORDER BY dtdate ASC;", [&builder](int count, char** values, char** names) {
        const char* glrang = nullptr;
        const char* isentn = nullptr;
        const char* dtdate = nullptr;
        const char* glansn = nullptr;
        for (int i = 0; i < count; ++i) {
            if (!names[i]) continue;
            if (std::strcmp(names[i], "glrang") == 0) glrang = values[i];
            else if (std::strcmp(names[i], "isentn") == 0) isentn = values[i];
            else if (std::strcmp(names[i], "dtdate") == 0) dtdate = values[i];
            else if (std::strcmp(names[i], "glansn") == 0) glansn = values[i];
        }
        builder.AddRow(glrang, isentn, dtdate, glansn);
    });
    return builder.Take();
}

void GraphView::Pan(int x0, int y0, int x1, int y1, int width) {
    for (int x = x0; x != x1; x += (x1 > x0 ? 1 : -1)) {
        const float step = static_cast<float>(width) / IndexScale * 0.01f;
        Keep(IndexStart, x1 < x0 ? IndexStart + step : IndexStart - step, -kMaxIndexOffset, kMaxIndexOffset);
    }
    for (int y = y0; y != y1; y += (y1 > y0 ? 1 : -1)) {
        const float step = 1.0f / ScoreScale;
        Keep(ScoreMin, y1 < y0 ? ScoreMin - step : ScoreMin + step, -kMaxScoreOffset, kMaxScoreOffset);
    }
}

void GraphView::Zoom(int x0, int y0, int x1, int y1) {
    for (int y = y0; y != y1; y += (y1 > y0 ? 1 : -1))
        Keep(ScoreScale, y1 < y0 ? ScoreScale * 1.02f : ScoreScale * (1.0f / 1.02f), kMinScoreScale, kMaxScoreScale);
    for (int x = x0; x != x1; x += (x1 > x0 ? 1 : -1))
        Keep(IndexScale, x1 > x0 ? IndexScale * 1.01f : IndexScale * (1.0f / 1.01f), kMinIndexScale, kMaxIndexScale);
}

GraphView InitialGraphView(float maxScore, float minScore, int answerHistoryCount, int viewWidth) {
    GraphView v;
    if (!std::isfinite(maxScore)) maxScore = 0.0f;
    if (!std::isfinite(minScore)) minScore = 0.0f;
    v.IndexScale = 2.0f;
    v.IndexStart = static_cast<float>(answerHistoryCount) - static_cast<float>(viewWidth / 2) / v.IndexScale;
    v.ScoreMin = minScore - 5.0f;
    if (v.ScoreMin < 0.0f) v.ScoreMin = 0.0f;
    const float range = (maxScore + 5.0f) - v.ScoreMin;
    v.ScoreScale = range > 0.0f ? 100.0f / range : 1.0f;
    return Sanitized(v);
}

GraphView InitialGraphView(const Database& db, int answerHistoryCount, int viewWidth) {
    float maxScore = 0.0f, minScore = 0.0f;  // an empty history: both stay 0
    db.Query("SELECT max(CAST(glrang AS REAL)), min(CAST(glrang AS REAL)) FROM answcn;",
             [&](int count, char** values, char**) {
                 if (count >= 1 && values[0]) maxScore = static_cast<float>(CAtofFinite(values[0]));
                 if (count >= 2 && values[1]) minScore = static_cast<float>(CAtofFinite(values[1]));
             });
    return InitialGraphView(maxScore, minScore, answerHistoryCount, viewWidth);
}

float GraphGridStep(const GraphView& view) {
    const GraphView v = Sanitized(view);
    const float top = 100.0f / v.ScoreScale + v.ScoreMin;
    const float span = (top - v.ScoreMin) * 0.2f;
    for (int k = 0; k + 1 < 11; ++k) {
        if (kGridSteps[k + 1] >= span) return kGridSteps[k];
    }
    return kGridSteps[10];
}

std::vector<GraphItem> BuildGraphItems(const std::vector<AnswerPoint>& history, const GraphView& view, int width,
                                       int height) {
    std::vector<GraphItem> items;
    const GraphView v = Sanitized(view);
    const int W = std::max(width, 0);
    const int H = std::max(height, 0);

    // Grid: at most one line per pixel row, whatever the view.
    const float step = GraphGridStep(v);
    const float top = 100.0f / v.ScoreScale + v.ScoreMin;
    int n = TruncToInt(v.ScoreMin / step + 1.0f);
    for (int lines = 0; static_cast<float>(n) * step < top && lines <= H; ++lines, ++n) {
        const float value = static_cast<float>(n) * step;
        const int y = MapY(value, v, H);
        items.push_back({GraphItemKind::GridLine, {0, y}, {W, y}, {}});
        items.push_back({GraphItemKind::GridLabel, {1, y + 1}, {}, FormatFixed(value, 2)});
    }

    const int count = static_cast<int>(std::min<size_t>(history.size(), static_cast<size_t>(INT32_MAX)));
    auto inView = [W](int x) { return x >= 0 && x <= W; };

    // Score curve with module lines and day marks.
    bool any = false;
    QPoint prev;
    int dayMark = 0;
    int maxSentences = 0;
    int lastMarked = 0;
    for (int i = 0; i < count; ++i) {
        const int x = MapX(i, v);
        if (!inView(x)) continue;
        const AnswerPoint& p = history[static_cast<size_t>(i)];
        const int y = MapY(p.glrang, v, H);
        if (!any) {
            any = true;
            prev = {x, y};
            dayMark = TruncToInt(p.day);
            maxSentences = p.isentn;
            continue;
        }
        if (p.isentn > maxSentences) {
            items.push_back({GraphItemKind::ModuleLine, {x, 0}, {x, H}, {}});
            items.push_back({GraphItemKind::ModuleLabel, {x + 1, 1}, {},
                             IntText(p.isentn) + "(+" + IntText(p.isentn - maxSentences) + ")"});
            maxSentences = p.isentn;
        }
        items.push_back({GraphItemKind::ScoreSegment, prev, {x, y}, {}});
        prev = {x, y};
        if (static_cast<float>(static_cast<long long>(dayMark) + 1) < p.day) {
            // One circle per whole day from dayMark + 1 up to the record's day, stacked downward;
            // circles below the view are counted but not drawn.
            const long long last = static_cast<long long>(std::floor(p.day));
            const long long circles = std::max(last - dayMark, 1LL);
            const long long drawn = std::min<long long>(circles, std::max(0, (H - y) / kCirclePitch) + 2);
            for (long long k = 0; k < drawn; ++k)
                items.push_back({GraphItemKind::DayCircle, {x, Coord(static_cast<float>(y + kCirclePitch * k))}, {}, {}});
            const int yc = Coord(static_cast<float>(y) + static_cast<float>(kCirclePitch) * static_cast<float>(circles - 1));
            dayMark = TruncToInt(p.day);
            items.push_back({GraphItemKind::DayLabel, {x - 3, Coord(static_cast<float>(yc) + kCirclePitch)}, {},
                             IntText(i - lastMarked)});
            lastMarked = i;
        }
    }

    // Final mark at the newest record.
    if (any && count > 0) {
        const int x = MapX(count - 1, v);
        if (inView(x)) {
            const int y = MapY(history.back().glrang, v, H);
            items.push_back({GraphItemKind::FinalCircle, {x, y}, {}, {}});
            items.push_back({GraphItemKind::FinalLabel, {x - 3, y + kCirclePitch}, {}, IntText(count - 1 - lastMarked)});
        }
    }

    // Answers-per-day curve on the same scale.
    bool first = true;
    for (int i = 0; i < count; ++i) {
        const int x = MapX(i, v);
        if (!inView(x)) continue;
        const QPoint pt(x, MapY(history[static_cast<size_t>(i)].glansn, v, H));
        if (!first) items.push_back({GraphItemKind::AnswerSegment, prev, pt, {}});
        prev = pt;
        first = false;
    }
    return items;
}

void PaintGraph(QImage& bitmap, const std::vector<GraphItem>& items, int width, int height) {
    QPainter painter(&bitmap);
    painter.fillRect(QRect(0, 0, width, height), Qt::white);

    const QColor silver(192, 192, 192), red(255, 0, 0), green(0, 128, 0), blue(0, 0, 255);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetrics metrics(font);

    auto pen = [&](const QColor& c, int w) { painter.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)); };
    auto label = [&](const GraphItem& item, const QColor* background) {
        const QString text = QString::fromStdString(item.text);
        const QRect r(item.a, QSize(metrics.horizontalAdvance(text), metrics.height()));
        if (background) painter.fillRect(r, *background);
        painter.setPen(Qt::black);
        painter.drawText(r, Qt::AlignLeft | Qt::AlignTop, text);
    };
    auto circle = [&](const QPoint& c) {
        pen(green, 1);
        painter.setBrush(green);
        painter.drawEllipse(QRect(c.x() - 3, c.y() - 3, 6, 6));
        painter.setBrush(Qt::NoBrush);
    };
    const QColor white(Qt::white);

    for (const GraphItem& item : items) {
        switch (item.kind) {
        case GraphItemKind::GridLine:
        case GraphItemKind::ModuleLine:
            pen(silver, 1);
            painter.drawLine(item.a, item.b);
            break;
        case GraphItemKind::GridLabel:
            label(item, nullptr);
            break;
        case GraphItemKind::ModuleLabel:
            label(item, &silver);
            break;
        case GraphItemKind::ScoreSegment:
            pen(red, 2);
            painter.drawLine(item.a, item.b);
            break;
        case GraphItemKind::AnswerSegment:
            pen(blue, 2);
            painter.drawLine(item.a, item.b);
            break;
        case GraphItemKind::DayCircle:
        case GraphItemKind::FinalCircle:
            circle(item.a);
            break;
        case GraphItemKind::DayLabel:
        case GraphItemKind::FinalLabel:
            label(item, &white);
            break;
        }
    }
}

}  // namespace lq
