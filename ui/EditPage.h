#pragma once
// The Edit page (TabSheet2): the current sentence's three texts for editing, whether its words may
// be asked by typing, and its words with their statistics; Replace stores the texts, a double
// click on a word switches its mark.
#include <QStyledItemDelegate>

#include <memory>
#include <vector>

#include "core/AppContext.h"
#include "pages/EditWords.h"
#include "ui/Page.h"

namespace Ui {
class TabSheet2;
}

namespace lq {

struct SentenceBoard;

// The word services of the word statistics (the one normaliser and the lookup in wrdstt).
struct WordServices {
    WordNormalizer normalize;
    WordStatLookup lookup;
    // NormalizeWord and LookupWordStat on ctx's database and row store.
    static WordServices FromDatabase(const AppContext& ctx);
};

// Draws list lines with tab stops every `tabStop` pixels.
class TabStopDelegate : public QStyledItemDelegate {
public:
    TabStopDelegate(int tabStop, QObject* parent) : QStyledItemDelegate(parent), tabStop_(tabStop) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int tabStop_;
};

class EditPage : public Page {
    Q_OBJECT
public:
    // `board` is the Learn page's current sentence (its tiles; ItemTypingEnabled is written here).
    EditPage(QWidget* tabSheet, const AppContext& ctx, SentenceBoard& board, WordServices words);
    EditPage(QWidget* tabSheet, const AppContext& ctx, SentenceBoard& board)
        : EditPage(tabSheet, ctx, board, WordServices::FromDatabase(ctx)) {}
    ~EditPage() override;

    void OnShow() override;    // TabSheet2Show
    void ReplBtnEdClick();     // Replace
    void ListBox1DblClick();   // switch the selected word's mark

private:
    AppContext ctx_;
    SentenceBoard& board_;
    WordServices words_;
    std::unique_ptr<Ui::TabSheet2> ui_;
    std::vector<WordListEntry> entries_;
};

}  // namespace lq
