#pragma once
// The Graphs page (TabSheet4): the score history graph on GrphsView, panned with the left mouse
// button and zoomed with the right one.
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <memory>
#include <vector>

#include "core/AppContext.h"
#include "pages/ScoreGraph.h"
#include "ui/Page.h"

namespace Ui {
class TabSheet4;
}

namespace lq {

// The paint box: shows a bitmap and reports the mouse.
class GraphCanvas : public QWidget {
    Q_OBJECT
public:
    explicit GraphCanvas(QWidget* parent = nullptr);
    void SetBitmap(const QImage* bitmap) { bitmap_ = bitmap; }

signals:
    void PaintRequested();  // emitted (directly) before the bitmap is copied
    void MousePressed(Qt::MouseButtons buttons, QPoint pos);
    void MouseMoved(Qt::MouseButtons buttons, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    const QImage* bitmap_ = nullptr;
};

class GraphsPage : public Page {
    Q_OBJECT
public:
    GraphsPage(QWidget* tabSheet, const AppContext& ctx);
    ~GraphsPage() override;

    // Start-up: the view from the stored history (the newest answer in the middle).
    void InitScales();
    // TabSheet4Show: reloads the history and repaints.
    void OnShow() override;

    // Draws the whole graph into the graph bitmap for the view's current size.
    void PaintProgressGraph();

    GraphView& View() { return view_; }
    const std::vector<AnswerPoint>& History() const { return history_; }
    GraphCanvas* Canvas() const;

private:
    void OnPress(Qt::MouseButtons buttons, QPoint pos);
    void OnMove(Qt::MouseButtons buttons, QPoint pos);

    AppContext ctx_;
    std::unique_ptr<Ui::TabSheet4> ui_;
    QImage bitmap_;
    GraphView view_;
    bool scalesSet_ = false;
    std::vector<AnswerPoint> history_;
    QPoint leftDrag_, rightDrag_;
};

// The paint box's width in the stored layout, used for the start-up view.
inline constexpr int kStoredGraphViewWidth = 584;

}  // namespace lq
