#pragma once
// A grid that reads its rows from the database while it paints: the rows of one paint share one
// bounded wait for another program's lock (see core/BusyWait.h), so a paint during a lock holds
// the window once for the busy timeout, not once per row.
#include <QEvent>
#include <QObject>
#include <QWidget>

#include "core/BusyWait.h"
#include "core/Database.h"

namespace lq {

class PaintWait : public QObject {
public:
    // Watches the paints of `viewport` (the grid's), whose parent owns it.
    explicit PaintWait(QWidget* viewport) : QObject(viewport), budget_(kBusyTimeoutMs) {
        viewport->installEventFilter(this);
    }
    // The budget of the paint under way, for the OperationWait around each row's reads.
    BusyBudget& Budget() { return budget_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) budget_.Restart();
        return false;
    }

private:
    BusyBudget budget_;
};

}  // namespace lq
