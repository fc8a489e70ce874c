#pragma once
// The Statistics page (TabSheet7): the number of sentences and words, the rebuild of the word
// statistics, and the grid WordsList of every word in one of three orders, with a search box
// (alphabetical order only) and a double click that marks or unmarks a word for typing.
#include <QAbstractTableModel>

#include <memory>

#include "core/AppContext.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "ui/Page.h"

class QTableView;

namespace Ui {
class TabSheet7;
}

namespace lq {

struct BusyBudget;

enum class WordOrder { ByCount, ByWord, ByAnswers };  // By123, ByABC, ByINP

// The rows of wrdstt in one order, each read from the database when the grid paints it
// ("... LIMIT row,1"). A row is read once per painting of the grid: ForgetRow() before each.
class WordStatsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit WordStatsModel(const Database* db, QObject* parent = nullptr);

    WordOrder Order() const { return order_; }
    void SetOrder(WordOrder order);
    // The grid's number of rows (the number of words); the view is reset.
    void SetRows(int rows);
    // Forgets the row read last, so that the next painting reads afresh.
    void ForgetRow() const { cachedRow_ = -1; }

    // Reads row `row` of the current order from the database; false when there is no such row.
    bool ReadRow(int row, CurrentRow& out) const;
    // The budget that the reads of one painting share for waiting on a lock (may be null).
    void SetPaintBudget(BusyBudget* budget) { paintBudget_ = budget; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const Database* db_;
    BusyBudget* paintBudget_ = nullptr;
    WordOrder order_ = WordOrder::ByWord;
    int rows_ = 0;
    mutable int cachedRow_ = -1;
    mutable bool cachedFound_ = false;
    mutable CurrentRow cached_;
};

class StatisticsPage : public Page {
    Q_OBJECT
public:
    // Builds the page's widgets on `tabSheet` (the page control's tab) from the stored layout.
    // Uses ctx.db and ctx.state (ItemCount, WordStatCount).
    StatisticsPage(QWidget* tabSheet, const AppContext& ctx);
    ~StatisticsPage() override;

    // TabSheet7Show: the counts, and the grid with WordStatCount rows, repainted.
    void OnShow() override;

    // "Get Words Statistics": recounts the words, goes to alphabetical order and shows the new
    // count.
    void RebuildStatistics();
    // The three order buttons; the search box works only in alphabetical order.
    void SelectOrder(WordOrder order);
    // The search box: makes the first word that does not sort before `text` the current row.
    void FindWord(const QString& text);
    // Double click: marks the selected word (istate 1), or unmarks it when it was marked (1).
    void ToggleMark();
    // The grid's row count follows state.WordStatCount (start-up and after an import).
    void UpdateRowCount();

    int SelectedGridRow() const { return selectedGridRow_; }
    QTableView* WordsList() const;
    WordStatsModel* Model() const { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Repaint();

    AppContext ctx_;
    std::unique_ptr<Ui::TabSheet7> ui_;
    WordStatsModel* model_ = nullptr;
    int selectedGridRow_ = 0;
};

}  // namespace lq
