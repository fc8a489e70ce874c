#pragma once
// A page of the main window's page control. The main window calls OnShow when the page becomes
// the current one (and the window is visible) and OnHide when it stops being it; spontaneous
// hide/show of the whole window (minimise, restore) do not count. A page has no Qt parent: whoever
// creates it owns it alone (the main window keeps its pages in unique_ptrs), and its tab may go
// before it.
#include <QObject>

namespace lq {

class Page : public QObject {
    Q_OBJECT
public:
    Page() = default;
    virtual void OnShow() {}
    virtual void OnHide() {}
};

}  // namespace lq
