#include "ui/WorkPlace.h"

#include <QMouseEvent>
#include <QPainter>

namespace lq {

WorkPlace::WorkPlace(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WorkPlace::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (image_) p.drawImage(0, 0, *image_);
}

void WorkPlace::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMoved(event->buttons(), event->modifiers(), event->position().toPoint());
}

void WorkPlace::mouseReleaseEvent(QMouseEvent* event) {
    emit MouseReleased(event->button(), event->position().toPoint());
}

void WorkPlace::mouseDoubleClickEvent(QMouseEvent*) { emit DoubleClicked(); }

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

TypingEdit::TypingEdit(QWidget* parent) : QLineEdit(parent) { setMouseTracking(true); }

void TypingEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (!autoSelect_) deselect();
}

}  // namespace lq
