#include "ui/StatisticsPage.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <optional>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/Words.h"
#include "core/WriteReports.h"
#include "platform/Cp1251.h"
#include "platform/Fonts.h"
#include "ui/PaintWait.h"
#include "ui_TabSheet7.h"

namespace lq {
namespace {

const char* RowStatement(WordOrder order) {
    // Equal keys are taken in id order, so that paging through the grid is stable.
    switch (order) {
        case WordOrder::ByCount: return "SELECT * FROM wrdstt ORDER BY icount ASC, ididnt ASC LIMIT ?,1;";
        case WordOrder::ByAnswers: return "SELECT * FROM wrdstt ORDER BY ianswr ASC, ididnt ASC LIMIT ?,1;";
        case WordOrder::ByWord: break;
    }
    return "SELECT * FROM wrdstt ORDER BY twordd ASC, ididnt ASC LIMIT ?,1;";
}

constexpr int kColumnWidths[5] = {40, 40, 130, 40, 40};

}  // namespace

// ---- WordStatsModel ------------------------------------------------------------------------

WordStatsModel::WordStatsModel(const Database* db, QObject* parent) : QAbstractTableModel(parent), db_(db) {}

void WordStatsModel::SetOrder(WordOrder order) {
    order_ = order;
    ForgetRow();
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 4));
}

void WordStatsModel::SetRows(int rows) {
    beginResetModel();
    rows_ = rows > 0 ? rows : 0;
    ForgetRow();
    endResetModel();
}

bool WordStatsModel::ReadRow(int row, CurrentRow& out) const {
    if (!db_ || row < 0) return false;
    std::optional<OperationWait> wait;
    if (paintBudget_) wait.emplace(*db_, *paintBudget_);
    out.ididnt = -1;
    db_->QueryCached(RowStatement(order_), {row}, out);
    return out.ididnt != -1;
}

int WordStatsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int WordStatsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 5; }

QVariant WordStatsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    const int row = index.row();
    if (row != cachedRow_) {
        cached_ = CurrentRow();
        cachedFound_ = ReadRow(row, cached_);
        cachedRow_ = row;
    }
    if (index.column() == 0) return QString::number(row + 1);
    if (!cachedFound_) return {};
    switch (index.column()) {
        case 1: return QString::number(cached_.icount);
        case 2: return FromCp1251(cached_.twordd);
        case 3: return QString::number(cached_.istate);
        case 4: return QString::number(cached_.ianswr);
        default: return {};
    }
}

// ---- StatisticsPage ------------------------------------------------------------------------

StatisticsPage::StatisticsPage(QWidget* tabSheet, const AppContext& ctx)
    : ctx_(ctx), ui_(std::make_unique<Ui::TabSheet7>()) {
    ui_->setupUi(tabSheet);

    for (QLabel* value : {ui_->Label7, ui_->Label10}) {
        value->setFont(TahomaPixels(16));
        QPalette p = value->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 128));  // navy
        value->setPalette(p);
    }

    auto* order = new QButtonGroup(this);
    order->setExclusive(true);
    order->addButton(ui_->By123);
    order->addButton(ui_->ByABC);
    order->addButton(ui_->ByINP);
    ui_->ByABC->setChecked(true);

    model_ = new WordStatsModel(ctx_.db, this);
    QTableView* grid = ui_->WordsList;
    grid->setModel(model_);
    grid->setFont(TahomaPixels(11));
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(18);
    for (int c = 0; c < 5; ++c) grid->setColumnWidth(c, kColumnWidths[c]);
    grid->viewport()->installEventFilter(this);
    model_->SetPaintBudget(&(new PaintWait(grid->viewport()))->Budget());

    connect(ui_->SpeedButton1, &QToolButton::clicked, this, &StatisticsPage::RebuildStatistics);
    connect(ui_->By123, &QToolButton::clicked, this, [this] { SelectOrder(WordOrder::ByCount); });
    connect(ui_->ByABC, &QToolButton::clicked, this, [this] { SelectOrder(WordOrder::ByWord); });
    connect(ui_->ByINP, &QToolButton::clicked, this, [this] { SelectOrder(WordOrder::ByAnswers); });
    connect(ui_->Edit2, &QLineEdit::textChanged, this, &StatisticsPage::FindWord);
    connect(grid, &QTableView::doubleClicked, this, [this] { ToggleMark(); });
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) selectedGridRow_ = current.row();
            });

    UpdateRowCount();
}

StatisticsPage::~StatisticsPage() = default;

QTableView* StatisticsPage::WordsList() const { return ui_->WordsList; }

bool StatisticsPage::eventFilter(QObject* watched, QEvent* event) {
    // Every painting reads its rows from the database afresh.
    if (watched == ui_->WordsList->viewport() && event->type() == QEvent::Paint) model_->ForgetRow();
    return Page::eventFilter(watched, event);
}

void StatisticsPage::Repaint() {
    model_->ForgetRow();
    ui_->WordsList->viewport()->update();
}

void StatisticsPage::UpdateRowCount() {
    const int words = ctx_.state ? ctx_.state->WordStatCount : 0;
    if (model_->rowCount() != words) model_->SetRows(words);
}

void StatisticsPage::OnShow() {
    const int words = ctx_.state ? ctx_.state->WordStatCount : 0;
    ui_->Label7->setText(QString::number(words));
    ui_->Label10->setText(QString::number(ctx_.state ? ctx_.state->ItemCount : 0));
    UpdateRowCount();
    Repaint();
}

void StatisticsPage::RebuildStatistics() {
    if (ctx_.db && ctx_.state) {
        const OperationWait wait(*ctx_.db);
        const SqlValue<int> words = RebuildWordStatistics(*ctx_.db, ctx_.state->ItemCount);
        CurrentRow row;
        ctx_.state->WordStatCount = words.ok() ? words.value : CountWordStats(*ctx_.db, row);
        if (!words.ok()) ReportFailedWrite("The word statistics were not rebuilt; they stay as they were", words.error);
    }
    ui_->ByABC->setChecked(true);
    model_->SetOrder(WordOrder::ByWord);
    ui_->Label7->setText(QString::number(ctx_.state ? ctx_.state->WordStatCount : 0));
    model_->SetRows(ctx_.state ? ctx_.state->WordStatCount : 0);
    Repaint();
}

void StatisticsPage::SelectOrder(WordOrder order) {
    ui_->Edit2->setEnabled(order == WordOrder::ByWord);
    model_->SetOrder(order);
    Repaint();
}

void StatisticsPage::FindWord(const QString& text) {
    if (!ctx_.db) return;
    // The text is only lower-cased (digits and punctuation stay: "9z" sorts before the letters),
    // and compared as a quoted value.
    const std::string word = Cp1251Lower(ToCp1251(text));
    const OperationWait wait(*ctx_.db);
    CurrentRow row;
    row.CountResult = -1;
    const SqlResult r =
        ctx_.db->QueryCached("SELECT count(*) FROM wrdstt WHERE twordd<? ORDER BY twordd ASC;", {word}, row);
    const int rows = model_->rowCount();
    if (!r.ok() || row.CountResult < 0 || rows == 0) return;
    const int target = std::min(row.CountResult, rows - 1);
    QTableView* grid = ui_->WordsList;
    const QModelIndex index = model_->index(target, 0);
    grid->setCurrentIndex(index);
    grid->scrollTo(index);
}

void StatisticsPage::ToggleMark() {
    if (!ctx_.db) return;
    const OperationWait wait(*ctx_.db);
    CurrentRow row;
    if (!model_->ReadRow(selectedGridRow_, row)) return;  // a row that names no word
    const SqlResult r = StoreWordMark(*ctx_.db, row.twordd, ToggledWordMark(row.istate));
    if (!r.ok()) ReportFailedWrite("The word's mark was not changed", r);
    Repaint();
}

}  // namespace lq
