#pragma once
// The Learn page's small widgets: the board view WorkPlace (it only shows the board's image and
// reports the mouse), the label that reports double clicks (BeforeText), and the typing edits.
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QWidget>

namespace lq {

class WorkPlace final : public QWidget {
    Q_OBJECT
public:
    explicit WorkPlace(QWidget* parent = nullptr);
    // The image to show (the board is painted into it; WorkPlace copies it at 0, 0).
    void SetImage(const QImage* image) { image_ = image; }

signals:
    // Every move, with or without a button (mouse tracking is on).
    void MouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint pos);
    void MouseReleased(Qt::MouseButton button, QPoint pos);
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    const QImage* image_ = nullptr;
};

class ClickLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void DoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A line edit with mouse tracking whose text is selected on entering only when autoSelect is set
// (as a Tab into it does by default).
class TypingEdit final : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(bool autoSelect READ autoSelect WRITE setAutoSelect)
public:
    explicit TypingEdit(QWidget* parent = nullptr);
    bool autoSelect() const { return autoSelect_; }
    void setAutoSelect(bool on) { autoSelect_ = on; }

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    bool autoSelect_ = true;
};

}  // namespace lq
