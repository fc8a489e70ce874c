#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "core/SqlText.h"
#include "pages/ScoreGraph.h"
#include "platform/CNumbers.h"
#include "platform/DateTime.h"
#include "tests/pages/PagesTestSupport.h"

namespace lq {
namespace {

constexpr int W = 584;
constexpr int H = 544;

std::vector<const GraphItem*> OfKind(const std::vector<GraphItem>& items, GraphItemKind kind) {
    std::vector<const GraphItem*> out;
    for (const GraphItem& i : items)
        if (i.kind == kind) out.push_back(&i);
    return out;
}

std::vector<std::string> GridLabels(const GraphView& v) {
    const std::vector<GraphItem> items = BuildGraphItems({}, v, W, H);
    std::vector<std::string> out;
    for (const GraphItem* i : OfKind(items, GraphItemKind::GridLabel)) out.push_back(i->text);
    return out;
}

// ---- grid ----

struct GridCase {
    float scale, min;
    float step;
    std::vector<std::string> labels;  // empty: not checked
};

TEST(GraphGrid, StepAndLabelsFollowSinglePrecision) {
    const GridCase cases[] = {
        {1.0f, 0.0f, 10.0f, {"10.00", "20.00", "30.00", "40.00", "50.00", "60.00", "70.00", "80.00", "90.00"}},
        {100.0f / 30.0f, 0.0f, 5.0f, {"5.00", "10.00", "15.00", "20.00", "25.00"}},
        {2500.0f, 0.0f, 0.01f, {"0.01", "0.02", "0.03"}},
        {0.01f, 0.0f, 20.0f, {}},
        {2.0f, 0.0f, 5.0f, {"5.00", "10.00", "15.00", "20.00", "25.00", "30.00", "35.00", "40.00", "45.00"}},
        {1.0f, 12.5f, 10.0f, {"20.00", "30.00", "40.00", "50.00", "60.00", "70.00", "80.00", "90.00", "100.00", "110.00"}},
    };
    for (const GridCase& c : cases) {
        GraphView v;
        v.ScoreScale = c.scale;
        v.ScoreMin = c.min;
        EXPECT_FLOAT_EQ(GraphGridStep(v), c.step) << "scale " << c.scale;
        if (!c.labels.empty()) {
            EXPECT_EQ(GridLabels(v), c.labels) << "scale " << c.scale;
        }
    }
}

TEST(GraphGrid, LineOfValueTenSitsAtTheMappedHeight) {
    GraphView v;  // scale 1, min 0: h = trunc(10 * 0.01 * 544 + 0.5) = 54
    const std::vector<GraphItem> items = BuildGraphItems({}, v, W, H);
    const auto lines = OfKind(items, GraphItemKind::GridLine);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0]->a, QPoint(0, H - 54));
    EXPECT_EQ(lines[0]->b, QPoint(W, H - 54));
}

// ---- loading and smoothing ----

TEST(AnswerHistory, SmoothingMatchesTheHandComputedValues) {
    AnswerHistoryBuilder b;
    const float g[7] = {10.0f, 20.0f, 15.0f, 30.0f, 12.5f, 40.0f, 25.0f};
    const float a[7] = {7.0f, 9.0f, 3.0f, 11.0f, 5.0f, 8.0f, 13.0f};
    const std::string gt[7] = {"10.00000", "20.00000", "15.00000", "30.00000", "12.50000", "40.00000", "25.00000"};
    const std::string at[7] = {"7.00000", "9.00000", "3.00000", "11.00000", "5.00000", "8.00000", "13.00000"};

    ASSERT_TRUE(b.AddRow(gt[0].c_str(), "10", "2024-01-05 08:09:07", at[0].c_str()));
    ASSERT_TRUE(b.AddRow(gt[1].c_str(), "10", "2024-01-05 08:10:00", at[1].c_str()));
    // After two rows the first score is pulled toward the second with weight 0.99.
    EXPECT_EQ(b.Points()[0].glrang, (1.0f - 0.99f) * g[0] + 0.99f * g[1]);
    EXPECT_EQ(b.Points()[1].glrang, g[1]);
    EXPECT_EQ(b.Points()[0].glansn, 0.05f * a[0]);
    EXPECT_EQ(b.Points()[0].day, static_cast<float>(45296.0 + 29347.0 / 86400.0));

    // The same arithmetic by hand for all seven rows.
    std::vector<float> rang, ansn;
    float avg = 0.0f;
    for (int n = 0; n < 7; ++n) {
        if (n >= 2) {
            ASSERT_TRUE(b.AddRow(gt[n].c_str(), "10", "2024-01-06 10:00:00", at[n].c_str()));
        }
        rang.push_back(g[n]);
        float w = 0.99f;
        for (int j = n - 1; j >= 0 && j >= n - 99; --j) {
            rang[static_cast<size_t>(j)] = (1.0f - w) * rang[static_cast<size_t>(j)] + w * rang[static_cast<size_t>(j) + 1];
            w -= 0.01f;
        }
        float v = 0.05f * a[n] + 0.95f * avg;
        avg = v;
        if (n > 5) {
            const float s = 0.02f + 0.1f + 0.3f + 0.1f + 0.02f;
            v = (0.02f * v + 0.1f * ansn[5] + 0.3f * ansn[4] + 0.1f * ansn[3] + 0.02f * ansn[2]) / s;
        }
        ansn.push_back(v);
    }
    ASSERT_EQ(b.Points().size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(b.Points()[i].glrang, rang[i]) << i;
        EXPECT_EQ(b.Points()[i].glansn, ansn[i]) << i;
    }
    // The filter changes the value from the seventh row on; the running average does not see it.
    EXPECT_NE(ansn[6], 0.05f * a[6] + 0.95f * ansn[5]);
}

TEST(AnswerHistory, NullColumnsReadAsZeroAndBadDatesAreLeftOut) {
    AnswerHistoryBuilder b;
    EXPECT_TRUE(b.AddRow(nullptr, nullptr, "2024-01-01 00:00:00", nullptr));
    EXPECT_FALSE(b.AddRow("5", "1", nullptr, "1"));
    EXPECT_FALSE(b.AddRow("5", "1", "yesterday", "1"));
    EXPECT_FALSE(b.AddRow("5", "1", "2024-13-01 00:00:00", "1"));
    EXPECT_FALSE(b.AddRow("5", "1", "2024-01-01", "1"));
    EXPECT_TRUE(b.AddRow("nan", "70000", "2024-01-02 00:00:00", "inf"));
    ASSERT_EQ(b.Points().size(), 2u);
    EXPECT_EQ(b.Points()[0].glrang, 0.0f);
    EXPECT_EQ(b.Points()[1].glrang, 0.0f);
    EXPECT_EQ(b.Points()[1].glansn, 0.0f);
    EXPECT_EQ(b.Points()[1].isentn, static_cast<uint16_t>(70000));  // kept to 16 bits
}

TEST(AnswerHistory, LoadsFromTheDatabaseInDateOrderBeyondTheOldCapacity) {
    test::PagesFixture f;
    f.Exec("BEGIN;");
    for (int i = 0; i < 25000; ++i) {
        const std::string date = DateText(45000.0 + i / 1000.0);
        f.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('%.5f', %i, '%s', '%.5f');", 10.0, 100,
                   date.c_str(), 3.0));
    }
    f.Exec("COMMIT;");
    f.Exec("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values(NULL, NULL, '2000-01-01 00:00:00', NULL);");
    f.Exec("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('1', 1, 'broken', '1');");
    const std::vector<AnswerPoint> h = LoadAnswerHistory(f.db, 25002);
    ASSERT_EQ(h.size(), 25001u);  // the broken date is left out
    EXPECT_EQ(h[0].isentn, 0);    // the NULL row is the oldest
    EXPECT_LT(h[0].day, h[1].day);
}

// ---- the start-up view ----

TEST(GraphInitialView, ScoresAreComparedAsNumbers) {
    test::PagesFixture f;
    for (const char* g : {"5.00000", "50.00000", "9.50000"})
        f.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('%s', 1, '2024-01-01 00:00:00', '0');", g));
    const GraphView v = InitialGraphView(f.db, 3, W);
    EXPECT_EQ(v.ScoreMin, 0.0f);
    EXPECT_EQ(v.ScoreScale, 100.0f / 55.0f);
    EXPECT_EQ(v.IndexScale, 2.0f);
    EXPECT_EQ(v.IndexStart, 3.0f - 292.0f / 2.0f);
}

TEST(GraphInitialView, EdgeRanges) {
    const GraphView empty = InitialGraphView(0.0f, 0.0f, 0, W);  // an empty history
    EXPECT_EQ(empty.ScoreMin, 0.0f);
    EXPECT_EQ(empty.ScoreScale, 20.0f);
    const GraphView high = InitialGraphView(60.0f, 40.0f, 10, W);
    EXPECT_EQ(high.ScoreMin, 35.0f);
    EXPECT_EQ(high.ScoreScale, 100.0f / 30.0f);
    const GraphView upsideDown = InitialGraphView(-100.0f, 50.0f, 10, W);  // never a negative scale
    EXPECT_EQ(upsideDown.ScoreScale, 1.0f);
}

// ---- marks ----

std::vector<AnswerPoint> History(std::vector<float> days, std::vector<uint16_t> sentences = {}) {
    std::vector<AnswerPoint> h;
    for (size_t i = 0; i < days.size(); ++i) {
        AnswerPoint p;
        p.glrang = 20.0f;
        p.glansn = 5.0f;
        p.day = days[i];
        p.isentn = i < sentences.size() ? sentences[i] : 100;
        h.push_back(p);
    }
    return h;
}

GraphView TenPixelsPerRecord() {
    GraphView v;
    v.IndexScale = 10.0f;
    v.IndexStart = 0.0f;
    return v;
}

TEST(GraphMarks, ModuleLinesFollowTheRunningMaximum) {
    const auto items = BuildGraphItems(History({1, 1, 1, 1, 1, 1}, {100, 100, 150, 120, 150, 160}), TenPixelsPerRecord(), W, H);
    const auto lines = OfKind(items, GraphItemKind::ModuleLine);
    const auto labels = OfKind(items, GraphItemKind::ModuleLabel);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->a, QPoint(20, 0));
    EXPECT_EQ(lines[0]->b, QPoint(20, H));
    EXPECT_EQ(lines[1]->a.x(), 50);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]->text, "150(+50)");
    EXPECT_EQ(labels[0]->a, QPoint(21, 1));
    EXPECT_EQ(labels[1]->text, "160(+10)");
}

TEST(GraphMarks, DayCirclesStackAndTheStrictTest) {
    const GraphView v = TenPixelsPerRecord();
    const int y = H - static_cast<int>(20.0f * 0.01f * H + 0.5f);
    {
        const auto items = BuildGraphItems(History({100.3f, 102.8f}), v, W, H);
        const auto circles = OfKind(items, GraphItemKind::DayCircle);
        ASSERT_EQ(circles.size(), 2u);
        EXPECT_EQ(circles[0]->a, QPoint(10, y));
        EXPECT_EQ(circles[1]->a, QPoint(10, y + 7));
        const auto labels = OfKind(items, GraphItemKind::DayLabel);
        ASSERT_EQ(labels.size(), 1u);
        EXPECT_EQ(labels[0]->a, QPoint(7, y + 14));
        EXPECT_EQ(labels[0]->text, "1");
    }
    {
        const auto items = BuildGraphItems(History({100.3f, 101.0f, 101.5f}), v, W, H);
        const auto circles = OfKind(items, GraphItemKind::DayCircle);
        ASSERT_EQ(circles.size(), 1u);
        EXPECT_EQ(circles[0]->a.x(), 20);  // not at 101.0, at the next record of day 101
        const auto labels = OfKind(items, GraphItemKind::DayLabel);
        ASSERT_EQ(labels.size(), 1u);
        EXPECT_EQ(labels[0]->text, "2");
        const auto final = OfKind(items, GraphItemKind::FinalLabel);
        ASSERT_EQ(final.size(), 1u);
        EXPECT_EQ(final[0]->text, "0");
    }
}

TEST(GraphMarks, OneRecordDrawsNoSegmentAndTheFinalMarkZero) {
    const auto items = BuildGraphItems(History({100.5f}), TenPixelsPerRecord(), W, H);
    EXPECT_TRUE(OfKind(items, GraphItemKind::ScoreSegment).empty());
    EXPECT_TRUE(OfKind(items, GraphItemKind::AnswerSegment).empty());
    const auto final = OfKind(items, GraphItemKind::FinalLabel);
    ASSERT_EQ(final.size(), 1u);
    EXPECT_EQ(final[0]->text, "0");
    EXPECT_EQ(OfKind(items, GraphItemKind::FinalCircle).size(), 1u);
}

TEST(GraphMarks, OnlyRecordsInViewAreDrawn) {
    GraphView v = TenPixelsPerRecord();
    v.IndexStart = 3.0f;  // records 0..2 lie left of the view
    const auto items = BuildGraphItems(History({1, 1, 1, 1, 1, 1}), v, W, H);
    const auto segments = OfKind(items, GraphItemKind::ScoreSegment);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0]->a.x(), 0);
    EXPECT_EQ(segments[1]->b.x(), 20);
}

// ---- pan and zoom ----

TEST(GraphPanZoom, StepsAccumulateInSinglePrecision) {
    GraphView v;
    v.Zoom(0, 100, 0, 65);  // 35 pixels up
    float expected = 1.0f;
    for (int i = 0; i < 35; ++i) expected *= 1.02f;
    EXPECT_EQ(v.ScoreScale, expected);
    EXPECT_NEAR(v.ScoreScale, 2.0f, 0.01f);

    GraphView p;
    p.Pan(200, 0, 100, 0, W);  // 100 pixels left: one view width of records
    float start = 0.0f;
    for (int i = 0; i < 100; ++i) start += static_cast<float>(W) / 2.0f * 0.01f;
    EXPECT_EQ(p.IndexStart, start);
    EXPECT_NEAR(p.IndexStart, W / 2.0f, 0.01f);
    p.Pan(0, 10, 0, 0, W);  // 10 pixels up lowers the bottom by 10 % of the range
    EXPECT_NEAR(p.ScoreMin, -10.0f, 1e-4f);
}

TEST(GraphPanZoom, NoDragCanHangTheDrawingOrOverflowACoordinate) {
    std::vector<AnswerPoint> h = History(std::vector<float>(3000, 1.0f));
    for (size_t i = 0; i < h.size(); ++i) h[i].day = 45000.0f + static_cast<float>(i) * 3.0f;

    GraphView v;
    v.Zoom(0, 0, 20000, 20000);   // far down and right
    v.Zoom(0, 0, -20000, 0);
    v.Pan(0, 0, -20000, -20000, W);
    v.Pan(0, 0, 40000, 40000, W);
    for (float f : {v.ScoreScale, v.ScoreMin, v.IndexScale, v.IndexStart}) EXPECT_TRUE(std::isfinite(f));
    EXPECT_GE(v.ScoreScale, GraphView::kMinScoreScale);
    EXPECT_LE(v.IndexScale, GraphView::kMaxIndexScale);

    GraphView extremes[4];
    extremes[0] = v;
    extremes[1].ScoreScale = GraphView::kMinScoreScale;
    extremes[2].ScoreScale = GraphView::kMaxScoreScale;
    extremes[2].IndexScale = GraphView::kMaxIndexScale;
    extremes[3].IndexScale = GraphView::kMinIndexScale;
    extremes[3].ScoreMin = -GraphView::kMaxScoreOffset;
    QImage bitmap(kGraphBitmapSize, kGraphBitmapSize, QImage::Format_RGB32);
    test::EnsureGuiApp();
    const auto t0 = std::chrono::steady_clock::now();
    for (const GraphView& e : extremes) {
        const auto items = BuildGraphItems(h, e, W, H);
        // Unclamped views ask for millions of primitives; the clamps keep a repaint small.
        EXPECT_LT(items.size(), 200000u);
        EXPECT_LT(OfKind(items, GraphItemKind::GridLine).size(), static_cast<size_t>(H + 2));
        for (const GraphItem& i : items) {
            EXPECT_LE(std::abs(i.a.x()), (1 << 20) + W);
            EXPECT_LE(std::abs(i.a.y()), (1 << 20) + H);
        }
        PaintGraph(bitmap, items, W, H);
    }
    // A backstop against a hang only: sanitizer builds on a loaded machine are slow.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));

    GraphView nonFinite;
    nonFinite.ScoreScale = NAN;
    nonFinite.IndexStart = INFINITY;
    EXPECT_FALSE(BuildGraphItems(h, nonFinite, W, H).empty());
}

// ---- the rendered image ----

TEST(GraphImage, ColoursLandWhereTheMappingSays) {
    test::EnsureGuiApp();
    std::vector<AnswerPoint> h = History({100.2f, 100.4f, 101.5f, 101.7f, 102.2f});
    for (size_t i = 0; i < h.size(); ++i) {
        h[i].glrang = 40.0f + 2.0f * static_cast<float>(i);
        h[i].glansn = 70.0f;
    }
    GraphView v;  // scale 1, min 0
    v.IndexScale = 20.0f;
    QImage bitmap(kGraphBitmapSize, kGraphBitmapSize, QImage::Format_RGB32);
    PaintGraph(bitmap, BuildGraphItems(h, v, W, H), W, H);

    EXPECT_EQ(bitmap.pixelColor(583, 543), QColor(Qt::white));
    EXPECT_EQ(bitmap.pixelColor(400, 490), QColor(192, 192, 192));  // the line of value 10: h = 54

    auto near = [&](int x, int y, const QColor& c) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (bitmap.pixelColor(x + dx, y + dy) == c) return true;
        return false;
    };
    // Between records 0 and 1 (x 0..20) the red curve runs from 40 to 42.
    const int yScore = H - static_cast<int>(41.0f * 0.01f * H + 0.5f);
    EXPECT_TRUE(near(10, yScore, QColor(255, 0, 0)));
    const int yAnswers = H - static_cast<int>(70.0f * 0.01f * H + 0.5f);
    EXPECT_TRUE(near(30, yAnswers, QColor(0, 0, 255)));
    // Record 2 starts a new day: its circle's centre is green.
    const int y2 = H - static_cast<int>(44.0f * 0.01f * H + 0.5f);
    EXPECT_EQ(bitmap.pixelColor(40, y2 + 1), QColor(0, 128, 0));
}

}  // namespace
}  // namespace lq
