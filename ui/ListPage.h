#pragma once
// The List page (TabSheet3): every sentence as one 52-pixel row of DrawGrid1, in the order of the
// learning queue. Each painted row reads its sentence from the database.
#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <memory>

#include "core/AppContext.h"
#include "ui/Page.h"

namespace Ui {
class TabSheet3;
}

class QTableView;

namespace lq {

class PaintWait;

// ItemCount rows of one column; the rows carry no data, the delegate reads them.
class ItemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetRowCount(int rows);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    int rows_ = 0;
};

class ItemListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // `wait` bounds the waits of the rows of one paint (may be null).
    ItemListDelegate(const AppContext& ctx, QObject* parent, PaintWait* wait = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    AppContext ctx_;
    PaintWait* wait_;
};

class ListPage : public Page {
    Q_OBJECT
public:
    ListPage(QWidget* tabSheet, const AppContext& ctx);
    ~ListPage() override;

    // TabSheet3Show: the grid gets ItemCount rows.
    void OnShow() override;
    QTableView* Grid() const;

private:
    AppContext ctx_;
    std::unique_ptr<Ui::TabSheet3> ui_;
    ItemListModel model_;
};

}  // namespace lq
