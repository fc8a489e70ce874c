#include "ui/EditPage.h"

#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/SentenceBoard.h"
#include "core/Words.h"
#include "core/WriteReports.h"
#include "platform/Cp1251.h"
#include "ui/WidgetFonts.h"
#include "ui_TabSheet2.h"

namespace lq {
namespace {

// The editor's text with every kind of line break as '\n'.
std::string MemoText(const QPlainTextEdit* memo) {
    QString t = memo->toPlainText();
    t.replace(QChar::LineSeparator, QLatin1Char('\n')).replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return ToCp1251(t);
}

}  // namespace

WordServices WordServices::FromDatabase(const AppContext& ctx) {
    WordServices w;
    w.normalize = [](std::string_view word) { return NormalizeWord(word); };
    w.lookup = [&ctx](const std::string& word, int& istate, int& icount) {
        return ctx.db && ctx.row && LookupWordStat(*ctx.db, *ctx.row, word, istate, icount);
    };
    return w;
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* w = opt.widget;
    QStyle* style = w ? w->style() : nullptr;
    if (style) style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);

    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color((opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    QTextOption to(Qt::AlignLeft | Qt::AlignVCenter);
    to.setTabStopDistance(tabStop_);
    to.setWrapMode(QTextOption::NoWrap);
    painter->drawText(QRectF(opt.rect.adjusted(2, 0, -2, 0)), text, to);
    painter->restore();
}

EditPage::EditPage(QWidget* tabSheet, const AppContext& ctx, SentenceBoard& board, WordServices words)
    : ctx_(ctx), board_(board), words_(std::move(words)), ui_(std::make_unique<Ui::TabSheet2>()) {
    ui_->setupUi(tabSheet);
    for (QWidget* memo : {static_cast<QWidget*>(ui_->BeforeTxt), static_cast<QWidget*>(ui_->LearnTxt),
                          static_cast<QWidget*>(ui_->AfterTxt)})
        SetFontPixels(memo, 16, QStringLiteral("Tahoma"));
    SetFontPixels(ui_->ListBox1, 11, QStringLiteral("Tahoma"));
    ui_->ListBox1->setItemDelegate(new TabStopDelegate(30, ui_->ListBox1));
    ui_->AddTxt->setItemDelegate(new TabStopDelegate(20, ui_->AddTxt));
    connect(ui_->ReplBtnEd, &QPushButton::clicked, this, &EditPage::ReplBtnEdClick);
    connect(ui_->ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
}

EditPage::~EditPage() = default;

void EditPage::OnShow() {
    if (!ctx_.db || !ctx_.row || !ctx_.state) return;
    CurrentRow& row = *ctx_.row;
    row.ididnt = -1;
    ctx_.db->QueryCached("SELECT * FROM items2 WHERE ididnt=?;", {ctx_.state->CurrentItemId}, row);
    const bool found = row.ididnt != -1;
    if (found) board_.ItemTypingEnabled = row.isigns == 1;

    ui_->BeforeTxt->setPlainText(found ? FromCp1251(row.strbef) : QString());
    ui_->LearnTxt->setPlainText(found ? FromCp1251(row.stract) : QString());
    ui_->AfterTxt->setPlainText(found ? FromCp1251(row.straft) : QString());
    ui_->AddTxt->clear();

    if (board_.WordTileCount() > 0) {
        for (const std::string& line : WordPairLines(board_, ParseWordPairNumbers(found ? row.strind : std::string())))
            ui_->AddTxt->addItem(FromCp1251(line));
        entries_ = BuildWordList(board_, words_.normalize, words_.lookup);
        ui_->ListBox1->clear();
        for (const WordListEntry& e : entries_) ui_->ListBox1->addItem(FromCp1251(e.Line));
    }
    ui_->DoInpCB->setChecked(board_.ItemTypingEnabled);
    ui_->AddTxt->setVisible(ctx_.env && ctx_.env->DebugMode);
}

void EditPage::ReplBtnEdClick() {
    if (!ctx_.db || !ctx_.state) return;
    const SqlResult r = ReplaceItemTexts(*ctx_.db, ctx_.state->CurrentItemId, ui_->DoInpCB->isChecked(),
                                         JoinMemoLines(MemoText(ui_->BeforeTxt)),
                                         JoinMemoLines(MemoText(ui_->LearnTxt)),
                                         JoinMemoLines(MemoText(ui_->AfterTxt)));
    if (!r.ok()) ReportFailedWrite("The sentence was not changed", r);
}

void EditPage::ListBox1DblClick() {
    const int line = ui_->ListBox1->currentRow();
    if (line < 0 || line >= static_cast<int>(entries_.size()) || !ctx_.db || !ctx_.row) return;
    const OperationWait wait(*ctx_.db);  // the mark and the page read again wait once together
    const SqlValue<bool> toggled = ToggleWordMark(*ctx_.db, *ctx_.row, entries_[static_cast<size_t>(line)].Word);
    if (!toggled.ok()) ReportFailedWrite("The word's mark was not changed", toggled.error);
    OnShow();
    if (line < ui_->ListBox1->count()) ui_->ListBox1->setCurrentRow(line);
}

}  // namespace lq
