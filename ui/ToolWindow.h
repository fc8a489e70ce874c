#pragma once
// The pictures and comments windows' common frame: a tool window that asks the window manager
// for no close button and is shown and hidden by a toggle button of the Learn page. Should the
// window be closed anyway (Alt+F4 where the window manager still allows it), the toggle is told,
// so that it shows whether the window is there.
#include <QWidget>

#include <functional>

namespace lq {

class ToolWindow : public QWidget {
    Q_OBJECT
public:
    // `extraFlags` are added to the tool window's own (for example, staying on top).
    explicit ToolWindow(QWidget* parent, Qt::WindowFlags extraFlags = {});

    // The toggle button: down shows the window (restored when it was minimised), up hides it.
    void ShowWindow(bool shown);
    // Called when the window was closed other than by ShowWindow(false).
    std::function<void()> Closed;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool hiding_ = false;  // ShowWindow(false) is under way
};

}  // namespace lq
