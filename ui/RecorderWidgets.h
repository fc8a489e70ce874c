#pragma once
// The recorder window's small widgets: a waveform view that draws itself at its own size, a drag
// knob image, the bar that resizes the analysis panel, and a canvas kept between paints.
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "recorder/KnobDrag.h"

namespace lq {

class WaveView final : public QWidget {
    Q_OBJECT
public:
    explicit WaveView(QWidget* parent = nullptr);
    // Draws the view into an image of the view's size; called on every paint.
    std::function<void(QImage&)> Render;
    // Draws now with `render` (the recording tick, a marker click, a knob move); the next paint
    // shows that picture. Without an argument, with Render.
    void Redraw(const std::function<void(QImage&)>& render = {});
    const QImage& Picture() const { return picture_; }

signals:
    void Released(Qt::MouseButton button, int x);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void RenderNow(const std::function<void(QImage&)>& render);
    // The view's size, bounded (rec::BoundedViewSize).
    QSize PictureSize() const;
    QImage picture_;
    bool fresh_ = false;  // picture_ was drawn by Redraw and not yet shown
};

class KnobImage final : public QWidget {
    Q_OBJECT
public:
    explicit KnobImage(QWidget* parent = nullptr);
    // Makes the image a knob on `logic`'s value; `glyphs` are the window's knob pictures.
    void Attach(std::unique_ptr<rec::KnobDrag> logic, const std::vector<QPixmap>* glyphs);
    // The picture index shown now.
    int ShownGlyph() const { return shown_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawGlyph();
    std::unique_ptr<rec::KnobDrag> logic_;
    const std::vector<QPixmap>* glyphs_ = nullptr;
    int shown_ = -1;
};

// The six knob pictures: amplitude, zoom and position, each released and pressed.
std::vector<QPixmap> MakeKnobGlyphs();

class SplitterBar final : public QWidget {
    Q_OBJECT
public:
    explicit SplitterBar(QWidget* parent = nullptr);

signals:
    // The bar was dragged by `dy` pixels (positive: down).
    void Dragged(int dy);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int lastY_ = 0;
};

// Shows a picture kept elsewhere (the analysis canvas, which stays from one analysis to the next).
class CanvasView final : public QWidget {
    Q_OBJECT
public:
    explicit CanvasView(QWidget* parent = nullptr);
    void SetPicture(const QImage* picture) { picture_ = picture; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const QImage* picture_ = nullptr;
};

}  // namespace lq
