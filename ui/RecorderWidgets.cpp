#include "ui/RecorderWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "platform/CNumbers.h"
#include "recorder/DrawWave.h"

namespace lq {

WaveView::WaveView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

QSize WaveView::PictureSize() const { return rec::BoundedViewSize(width(), height()); }

void WaveView::RenderNow(const std::function<void(QImage&)>& render) {
    if (picture_.size() != PictureSize()) picture_ = QImage(PictureSize(), QImage::Format_RGB32);
    if (picture_.isNull()) return;
    if (render)
        render(picture_);
    else
        picture_.fill(Qt::white);
}

void WaveView::Redraw(const std::function<void(QImage&)>& render) {
    RenderNow(render ? render : Render);
    fresh_ = true;
    update();
}

void WaveView::paintEvent(QPaintEvent*) {
    if (!fresh_ || picture_.size() != PictureSize()) RenderNow(Render);
    fresh_ = false;
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void WaveView::mouseReleaseEvent(QMouseEvent* event) {
    emit Released(event->button(), TruncToInt(event->position().x()));
}

KnobImage::KnobImage(QWidget* parent) : QWidget(parent) {}

void KnobImage::Attach(std::unique_ptr<rec::KnobDrag> logic, const std::vector<QPixmap>* glyphs) {
    logic_ = std::move(logic);
    glyphs_ = glyphs;
    DrawGlyph();
}

void KnobImage::DrawGlyph() {
    shown_ = logic_ ? logic_->Glyph() : -1;
    update();
}

void KnobImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (glyphs_ && shown_ >= 0 && shown_ < static_cast<int>(glyphs_->size()))
        p.drawPixmap(0, 0, (*glyphs_)[static_cast<size_t>(shown_)]);
}

void KnobImage::mousePressEvent(QMouseEvent* event) {
    if (!logic_) return;
    const QPoint at = event->position().toPoint();
    logic_->Press((event->buttons() & Qt::LeftButton) != 0, at.x(), at.y());
    DrawGlyph();
}

void KnobImage::mouseMoveEvent(QMouseEvent* event) {
    if (!logic_) return;
    const QPoint at = event->position().toPoint();
    logic_->Move((event->buttons() & Qt::LeftButton) != 0, at.x(), at.y());
}

void KnobImage::mouseReleaseEvent(QMouseEvent*) {
    if (!logic_) return;
    logic_->Release();
    DrawGlyph();
}

std::vector<QPixmap> MakeKnobGlyphs() {
    std::vector<QPixmap> glyphs;
    const QString marks[3] = {QStringLiteral("\u2195"), QStringLiteral("\u2194"), QStringLiteral("\u21c6")};
    for (const QString& mark : marks) {
        for (bool pressed : {false, true}) {
            QPixmap pm(25, 25);
            pm.fill(Qt::white);
            QPainter p(&pm);
            p.setPen(pressed ? Qt::darkGray : Qt::lightGray);
            p.drawRect(0, 0, 24, 24);
            p.fillRect(2, 2, 21, 21, pressed ? QColor(200, 200, 200) : QColor(235, 235, 235));
            p.setPen(pressed ? Qt::blue : Qt::black);
            p.drawText(QRect(pressed ? 1 : 0, pressed ? 1 : 0, 25, 25), Qt::AlignCenter, mark);
            p.end();
            glyphs.push_back(pm);
        }
    }
    return glyphs;
}

SplitterBar::SplitterBar(QWidget* parent) : QWidget(parent) { setCursor(Qt::SplitVCursor); }

void SplitterBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
}

void SplitterBar::mousePressEvent(QMouseEvent* event) { lastY_ = TruncToInt(event->globalPosition().y()); }

void SplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const int y = TruncToInt(event->globalPosition().y());
    const int dy = y - lastY_;
    lastY_ = y;
    if (dy != 0) emit Dragged(dy);
}

CanvasView::CanvasView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void CanvasView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (picture_) p.drawImage(0, 0, *picture_);
}

}  // namespace lq
