#pragma once
// A page of the main window's page control. The main window calls OnShow when the page becomes
// the current one (and the window is visible) and OnHide when it stops being it; spontaneous
// hide/show of the whole window (minimise, restore) do not count.
#include <QObject>

namespace lq {

class Page : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void OnShow() {}
    virtual void OnHide() {}
};

}  // namespace lq
