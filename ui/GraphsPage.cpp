#include "ui/GraphsPage.h"

#include <QMouseEvent>
#include <QPainter>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "ui_TabSheet4.h"

namespace lq {

GraphCanvas::GraphCanvas(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphCanvas::paintEvent(QPaintEvent*) {
    emit PaintRequested();
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (bitmap_) p.drawImage(QPoint(0, 0), *bitmap_);
}

void GraphCanvas::mousePressEvent(QMouseEvent* event) { emit MousePressed(event->buttons(), event->position().toPoint()); }

void GraphCanvas::mouseMoveEvent(QMouseEvent* event) { emit MouseMoved(event->buttons(), event->position().toPoint()); }

GraphsPage::GraphsPage(QWidget* tabSheet, const AppContext& ctx)
    : ctx_(ctx), ui_(std::make_unique<Ui::TabSheet4>()),
      bitmap_(kGraphBitmapSize, kGraphBitmapSize, QImage::Format_RGB32) {
    ui_->setupUi(tabSheet);
    bitmap_.fill(Qt::white);
    ui_->GrphsView->SetBitmap(&bitmap_);
    connect(ui_->GrphsView, &GraphCanvas::PaintRequested, this, &GraphsPage::PaintProgressGraph, Qt::DirectConnection);
    connect(ui_->GrphsView, &GraphCanvas::MousePressed, this, &GraphsPage::OnPress);
    connect(ui_->GrphsView, &GraphCanvas::MouseMoved, this, &GraphsPage::OnMove);
}

GraphsPage::~GraphsPage() = default;

GraphCanvas* GraphsPage::Canvas() const { return ui_->GrphsView; }

void GraphsPage::InitScales() {
    scalesSet_ = true;
    if (!ctx_.db) return;
    view_ = InitialGraphView(*ctx_.db, ctx_.state ? ctx_.state->AnswerHistoryCount : 0, kStoredGraphViewWidth);
}

void GraphsPage::OnShow() {
    if (!scalesSet_) InitScales();
    if (ctx_.db) {
        history_ = LoadAnswerHistory(*ctx_.db, ctx_.state ? static_cast<size_t>(std::max(ctx_.state->AnswerHistoryCount, 0)) : 0);
        if (ctx_.state) ctx_.state->AnswerHistoryCount = static_cast<int>(history_.size());
    }
    ui_->GrphsView->update();
}

void GraphsPage::PaintProgressGraph() {
    const GraphCanvas* c = ui_->GrphsView;
    PaintGraph(bitmap_, BuildGraphItems(history_, view_, c->width(), c->height()), c->width(), c->height());
}

void GraphsPage::OnPress(Qt::MouseButtons buttons, QPoint pos) {
    if (buttons & Qt::LeftButton) leftDrag_ = pos;
    if (buttons & Qt::RightButton) rightDrag_ = pos;
}

void GraphsPage::OnMove(Qt::MouseButtons buttons, QPoint pos) {
    if (buttons & Qt::LeftButton) {
        view_.Pan(leftDrag_.x(), leftDrag_.y(), pos.x(), pos.y(), ui_->GrphsView->width());
        leftDrag_ = pos;
        ui_->GrphsView->update();
    }
    if (buttons & Qt::RightButton) {
        view_.Zoom(rightDrag_.x(), rightDrag_.y(), pos.x(), pos.y());
        rightDrag_ = pos;
        ui_->GrphsView->update();
    }
}

}  // namespace lq
