#include "ui/ListPage.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QTableView>
#include <optional>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "pages/ItemListRow.h"
#include "platform/Cp1251.h"
#include "ui/PaintWait.h"
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

// The summary line (about a hundred characters) ends before the circle at the cell's right: 7
// points at 96 dots per inch as pixels, and smaller while a wider stand-in for Courier New would
// still reach the circle.
QFont SummaryFont(const QFont& base, const QString& text, int room) {
    QFont f = GridFont(base, 7);
    for (int pixels = 9; pixels >= 6; --pixels) {
        f.setPixelSize(pixels);
        if (QFontMetrics(f).horizontalAdvance(text) <= room) break;
    }
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

ItemListDelegate::ItemListDelegate(const AppContext& ctx, QObject* parent, PaintWait* wait)
    : QStyledItemDelegate(parent), ctx_(ctx), wait_(wait) {}

QSize ItemListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {kColumnWidth, kRowHeight};
}

void ItemListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!ctx_.db || !ctx_.state || ctx_.state->ItemCount < 1) return;
    const int r = index.row();
    CurrentRow row;
    {
        std::optional<OperationWait> wait;
        if (wait_) wait.emplace(*ctx_.db, wait_->Budget());
        ReadListRow(*ctx_.db, r, row);
    }

    const QRect cell = option.rect;
    const QColor background = (r % 2) ? QColor(245, 245, 245) : QColor(Qt::white);
    painter->save();
    painter->fillRect(cell, background);

    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(QColor(200, 200, 200), 1));
    painter->setBrush(FromRgb(ListMarkColor(row.irng_2)));
    painter->drawEllipse(QRect(cell.right() + 1 - 15, cell.top(), 14, 14));
    painter->setBrush(background);

    const int x = cell.left() + 2;
    const int summaryRoom = cell.width() - 2 - 16;  // up to the circle, one pixel apart
    const QString summary = FromCp1251(ListSummaryLine(row, r, ctx_.state->LastNextTime));
    painter->setFont(SummaryFont(option.font, summary, summaryRoom));
    painter->setPen(ListRowNotDue(row, ctx_.state->NowText) ? QColor(0, 0, 240) : QColor(Qt::black));
    painter->drawText(QRect(x, cell.top() + 2, summaryRoom, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      summary);

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
    grid->setItemDelegate(new ItemListDelegate(ctx_, grid, new PaintWait(grid->viewport())));
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
