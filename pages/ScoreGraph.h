#pragma once
// The score history graph of the Graphs page: the history loaded (and smoothed) from answcn, the
// view values that map it to the screen with their pan and zoom steps, the drawing as a list of
// primitives, and the painting of those primitives on the 600 x 600 graph bitmap.
#include <QImage>
#include <QPoint>

#include <cstdint>
#include <string>
#include <vector>

namespace lq {

class Database;

// One answer of the history (one answcn row).
struct AnswerPoint {
    float glrang = 0.0f;  // the score after the answer, smoothed
    uint16_t isentn = 0;  // sentences in the database at that time
    float day = 0.0f;     // date-time as days since 1899-12-30
    float glansn = 0.0f;  // answers per day, smoothed
};

// Builds the history row by row in date order, smoothing both curves as it goes.
class AnswerHistoryBuilder {
public:
    void Reset();
    void Reserve(size_t count) { points_.reserve(count); }
    // One answcn row; any pointer may be null (a NULL column reads as 0). A row whose date does
    // not parse is left out (false).
    bool AddRow(const char* glrang, const char* isentn, const char* dtdate, const char* glansn);
    const std::vector<AnswerPoint>& Points() const { return points_; }
    std::vector<AnswerPoint> Take() { return std::move(points_); }

private:
    std::vector<AnswerPoint> points_;
    float glansnAverage_ = 0.0f;
};

// "SELECT * FROM answcn ORDER BY dtdate ASC;" into a fresh history. A failing query keeps the
// records delivered before the failure.
std::vector<AnswerPoint> LoadAnswerHistory(const Database& db, size_t expectedCount = 0);

// The four view values. Scales are kept inside fixed bounds and the offsets finite, so no zoom or
// pan can make a drawing loop for ever, draw millions of lines or overflow a coordinate.
struct GraphView {
    float ScoreScale = 1.0f;  // the visible score range is 100 / ScoreScale
    float ScoreMin = 0.0f;    // the score at the bottom edge
    float IndexScale = 2.0f;  // pixels per record
    float IndexStart = 0.0f;  // the record index at the left edge

    static constexpr float kMinScoreScale = 1e-3f, kMaxScoreScale = 1e5f;
    static constexpr float kMinIndexScale = 1e-4f, kMaxIndexScale = 1e4f;
    static constexpr float kMaxScoreOffset = 1e6f;  // |ScoreMin| bound
    static constexpr float kMaxIndexOffset = 1e8f;  // |IndexStart| bound

    // Left-button drag from (x0, y0) to (x1, y1), one pixel at a time: the content follows the
    // pointer. `width` is the view's width.
    void Pan(int x0, int y0, int x1, int y1, int width);
    // Right-button drag: up and right zoom in, the bottom-left corner stays.
    void Zoom(int x0, int y0, int x1, int y1);
};

// The view at start-up: the newest answer at the middle of a view `viewWidth` pixels wide, the
// score range from the lowest stored score - 5 (not below 0) to the highest + 5. The scores are
// compared as numbers, not as their stored texts.
GraphView InitialGraphView(const Database& db, int answerHistoryCount, int viewWidth);
// The same from the extremes already read (also the rule for an empty history: 0 and 0).
GraphView InitialGraphView(float maxScore, float minScore, int answerHistoryCount, int viewWidth);

// The grid step for a view: the largest of 0.01 .. 20 below a fifth of the visible range.
float GraphGridStep(const GraphView& view);

enum class GraphItemKind {
    GridLine,       // silver, width 1
    GridLabel,      // "%.2f", no background
    ModuleLine,     // silver vertical line where sentences were added
    ModuleLabel,    // "%i(+%i)" on silver
    ScoreSegment,   // red, width 2
    DayCircle,      // green
    DayLabel,       // "%i" on white
    FinalCircle,    // green, at the last record
    FinalLabel,     // "%i" on white
    AnswerSegment,  // blue, width 2
};

struct GraphItem {
    GraphItemKind kind;
    QPoint a;  // line start, circle centre, label position
    QPoint b;  // line end
    std::string text;
};

// Everything the graph draws, in drawing order, for a view W x H pixels.
std::vector<GraphItem> BuildGraphItems(const std::vector<AnswerPoint>& history, const GraphView& view, int width,
                                       int height);

// Paints the graph into `bitmap` (the 600 x 600 graph bitmap): white background over W x H,
// then the items.
void PaintGraph(QImage& bitmap, const std::vector<GraphItem>& items, int width, int height);

inline constexpr int kGraphBitmapSize = 600;

}  // namespace lq
