#include "ui/ListPage.h"

#include <QHeaderView>
#include <QPainter>
#include <QTableView>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "pages/ItemListRow.h"
#include "platform/Cp1251.h"
#include "ui_TabSheet3.h"

namespace lq {
namespace {

constexpr int kRowHeight = 52;
constexpr int kColumnWidth = 550;

QColor FromRgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QFont GridFont(const QFont& base, int points) {
    QFont f = base;
    f.setFamily(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPointSize(points);
    return f;
}

}  // namespace

void ItemListModel::SetRowCount(int rows) {
    beginResetModel();
    rows_ = std::max(rows, 0);
    endResetModel();
}

int ItemListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ItemListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

QVariant ItemListModel::data(const QModelIndex&, int) const { return {}; }

ItemListDelegate::ItemListDelegate(const AppContext& ctx, QObject* parent) : QStyledItemDelegate(parent), ctx_(ctx) {}

QSize ItemListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {kColumnWidth, kRowHeight};
}

void ItemListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!ctx_.db || !ctx_.state || ctx_.state->ItemCount < 1) return;
    const int r = index.row();
    CurrentRow row;
    ReadListRow(*ctx_.db, r, row);

    const QRect cell = option.rect;
    const QColor background = (r % 2) ? QColor(245, 245, 245) : QColor(Qt::white);
    painter->save();
    painter->fillRect(cell, background);

    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(QColor(200, 200, 200), 1));
    painter->setBrush(FromRgb(ListMarkColor(row.irng_2)));
    painter->drawEllipse(QRect(cell.right() + 1 - 15, cell.top(), 14, 14));
    painter->setBrush(background);

    const QFont small = GridFont(option.font, 7);
    painter->setFont(small);
    painter->setPen(ListRowNotDue(row, ctx_.state->NowText) ? QColor(0, 0, 240) : QColor(Qt::black));
    const int x = cell.left() + 2;
    painter->drawText(QRect(x, cell.top() + 2, cell.width() - 2, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      FromCp1251(ListSummaryLine(row, r, ctx_.state->LastNextTime)));

    painter->setFont(GridFont(option.font, 8));
    painter->setPen(Qt::black);
    painter->drawText(QRect(x, cell.top() + 18, cell.width() - 2, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      FromCp1251(ListBeforeText(row)));
    painter->drawText(QRect(x, cell.top() + 34, cell.width() - 2, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      FromCp1251(row.stract));
    painter->restore();
}

ListPage::ListPage(QWidget* tabSheet, const AppContext& ctx)
    : ctx_(ctx), ui_(std::make_unique<Ui::TabSheet3>()), model_(this) {
    ui_->setupUi(tabSheet);
    QTableView* grid = ui_->DrawGrid1;
    grid->setModel(&model_);
    grid->setItemDelegate(new ItemListDelegate(ctx_, grid));
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
}

ListPage::~ListPage() = default;

QTableView* ListPage::Grid() const { return ui_->DrawGrid1; }

void ListPage::OnShow() {
    model_.SetRowCount(ctx_.state ? ctx_.state->ItemCount : 0);
    ui_->DrawGrid1->horizontalHeader()->resizeSection(0, kColumnWidth);
}

}  // namespace lq
