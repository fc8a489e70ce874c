#include "ui/LearnPage.h"

#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <algorithm>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/Score.h"
#include "core/Settings.h"
#include "core/Words.h"
#include "learn/SentenceLayout.h"
#include "learn/Shortcuts.h"
#include "pages/SettingValues.h"
#include "platform/Cp1251.h"
#include "platform/Fonts.h"
#include "platform/Prompter.h"
#include "ui/Log.h"
#include "ui/WorkPlace.h"
#include "ui_TabSheet1.h"

namespace lq {
namespace {

inline constexpr uint32_t kSentenceTextColor = 0xDCDCDC;  // background of the texts around the board
inline constexpr int kTypingFontPixels = 21;
inline constexpr int kSentenceFontPixels = 16;

void SetBackground(QWidget* w, uint32_t bgr) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, BgrColor(bgr));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

}  // namespace

LearnPage::LearnPage(QWidget* tabSheet, const AppContext& ctx, SentenceBoard& board)
    : ctx_(ctx),
      board_(board),
      tab_(tabSheet),
      ui_(std::make_unique<Ui::TabSheet1>()),
      tiles_(board, kBoardWidth, kBoardHeight) {
    ui_->setupUi(tab_);
    typingEdits_ = {ui_->InpWrdED1, ui_->InpWrdED2, ui_->InpWrdED3};

    boardFont_ = TahomaPoints(14);
    metrics_ = std::make_unique<FontTextMetrics>(boardFont_);
    for (QLineEdit* e : {static_cast<QLineEdit*>(ui_->InpWrdED0), static_cast<QLineEdit*>(ui_->InpWrdED1),
                         static_cast<QLineEdit*>(ui_->InpWrdED2), static_cast<QLineEdit*>(ui_->InpWrdED3)})
        e->setFont(TahomaPixels(kTypingFontPixels));
    for (QLabel* l : {static_cast<QLabel*>(ui_->BeforeText), ui_->AfterText}) {
        l->setFont(TahomaPixels(kSentenceFontPixels));
        l->setTextFormat(Qt::PlainText);
    }
    ui_->WorkPlace->setFixedSize(kBoardWidth, kBoardHeight);
    ui_->WorkPlace->SetImage(&workBitmap_);

    tiles_.SentenceSource = [this] { return RereadSentence(); };
    tiles_.EditText = [this](int k) {
        return k >= 0 && k < 3 ? ToCp1251(typingEdits_[static_cast<size_t>(k)]->text()) : std::string();
    };
    tiles_.Repaint = [this] { DrawWorkPlace(); };
    tiles_.SolveResult = [this](bool solved) { SetSolved(solved); };

    connect(ui_->WorkPlace, &WorkPlace::MouseMoved, this,
            [this](Qt::MouseButtons b, Qt::KeyboardModifiers m, QPoint p) { WorkPlaceMouseMove(b, m, p.x(), p.y()); });
    connect(ui_->WorkPlace, &WorkPlace::MouseReleased, this,
            [this](Qt::MouseButton b, QPoint) { WorkPlaceMouseUp(b); });
    connect(ui_->WorkPlace, &WorkPlace::DoubleClicked, this, [this] { WorkPlaceDblClick(); });
    for (TypingEdit* e : typingEdits_) {
        e->installEventFilter(this);
        connect(e, &QLineEdit::textChanged, this, [this] { InpWrdED1Change(); });
    }
    connect(ui_->InpWrdED0, &QLineEdit::textChanged, this, [this] { InpWrdED0Change(); });
    connect(ui_->NextBtn, &QPushButton::clicked, this, [this] { NextBtnClick(); });
    connect(ui_->ShowAns, &QToolButton::clicked, this, [this] { ShowAnsClick(); });
    connect(ui_->BeforeText, &ClickLabel::DoubleClicked, this, [this] { BeforeTextDblClick(); });
    connect(ui_->ImagesViewBtn, &QToolButton::toggled, this, [this](bool on) {
        if (hooks_.ShowPictures) hooks_.ShowPictures(on);
    });
    connect(ui_->ComentViewBtn, &QToolButton::toggled, this, [this](bool on) {
        if (hooks_.ShowComments) hooks_.ShowComments(on);
    });
    connect(ui_->SpeedButton3, &QToolButton::clicked, this, [this] {
        if (hooks_.OpenRecorder) hooks_.OpenRecorder();
    });
    connect(ui_->ComboBox1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (ctx_.settings) ctx_.settings->PlayDelay = PlayDelayForIndex(index);
    });
}

LearnPage::~LearnPage() = default;

void LearnPage::SetTextColors() {
    SetBackground(ui_->BeforeText, kSentenceTextColor);
    SetBackground(ui_->AfterText, kSentenceTextColor);
}

void LearnPage::CreateWorkBitmap() {
    const int height = std::max(tab_->height(), ui_->WorkPlace->height());
    workBitmap_ = QImage(ui_->WorkPlace->width(), height, QImage::Format_RGB32);
    workBitmap_.fill(BgrColor(kBoardColor));
}

void LearnPage::ShowPlayDelay(uint32_t playDelay) {
    const QSignalBlocker block(ui_->ComboBox1);
    ui_->ComboBox1->setCurrentIndex(PlayDelayIndex(playDelay));
}

void LearnPage::ParkTypingEdits() {
    for (TypingEdit* e : typingEdits_) e->move(-100, e->y());
}

void LearnPage::OnShow() {
    learnPageVisible_ = true;
    if (ctx_.state->ItemCount > 0) PrepareCurrentItem();
    const ScoreLabelTexts t = MakeScoreLabelTexts(ctx_.state->Score, ctx_.state->DaysToTarget);
    ui_->ScoreLbl->setText(QString::fromStdString(t.score));
    ui_->Score2Lbl->setText(QString::fromStdString(t.score2));
}

void LearnPage::OnHide() {
    learnPageVisible_ = false;
    if (hooks_.HideTranslation) hooks_.HideTranslation();
}

std::string LearnPage::RereadSentence() {
    // Read again at every keystroke and placed tile: while another program holds the file the
    // board goes on at once with the sentence it laid out, rather than holding the window.
    BusyBudget budget(kRereadWaitMs);
    const OperationWait wait(*ctx_.db, budget);
    const SqlResult read =
        ctx_.db->QueryCached("SELECT * FROM items2 WHERE ididnt=?;", {ctx_.state->CurrentItemId}, *ctx_.row);
    return read.ok() ? ctx_.row->stract : board_.SentenceText;
}

void LearnPage::PrepareCurrentItem() {
    LearnState& state = *ctx_.state;
    const CommonSettings& settings = *ctx_.settings;
    CurrentRow& row = *ctx_.row;
    const SqlResult read = ctx_.db->QueryCached("SELECT * FROM items2 WHERE ididnt=?;", {state.CurrentItemId}, row);
    if (!read.ok() && state.CurrentItemId == lastLaidOutItem_) {
        // Another program holds the file: the board keeps the sentence as it is laid out rather
        // than being laid out again from another row's texts.
        qCInfo(lcUi, "The sentence stays as laid out: %s", read.message.c_str());
        return;
    }

    LayoutOptions options;
    options.InputAfter = settings.InputAfter;
    options.DoInpWords = settings.DoInpWords;
    options.ShowNxtSnt = settings.ShowNxtSnt;
    options.FirstSPos = settings.FirstSPos;
    options.DoAddInpWr = settings.DoAddInpWr;
    options.DebugMode = ctx_.env && ctx_.env->DebugMode;
    options.LastNextTime = state.LastNextTime;
    options.BoardWidth = tiles_.Width();
    options.BoardHeight = tiles_.Height();
    CurrentRow statRow;
    const WordStatLookup lookup = [this, &statRow](const std::string& w, int& istate, int& icount) {
        return LookupWordStat(*ctx_.db, statRow, w, istate, icount);
    };
    const SentenceLayout layout(*metrics_, *ctx_.rng);
    const LayoutResult result = layout.Prepare(row, options, lookup, board_, state.DebugLines);

    ui_->Label1->setVisible(result.NewSentenceMark);
    ui_->BeforeText->setText(FromCp1251(result.BeforeText));
    ui_->AfterText->setVisible(result.AfterVisible);
    ui_->AfterText->setText(FromCp1251(result.AfterText));
    if (hooks_.ShowComment) hooks_.ShowComment(result.Comment);

    for (TypingEdit* e : typingEdits_) {
        const QSignalBlocker block(e);
        e->hide();
        e->clear();
    }
    for (int k = 0; k < board_.TypedWordCount(); ++k) {
        const WordTile& t = board_.WordTiles[static_cast<size_t>(board_.TypedWordTiles[static_cast<size_t>(k)])];
        TypingEdit* e = typingEdits_[static_cast<size_t>(k)];
        e->resize(t.Width, t.Height);
        e->show();
        e->raise();
    }
    ui_->InpWrdED0->setEnabled(result.FreeEdit.Enabled);
    ui_->InpWrdED0->setVisible(result.FreeEdit.Visible);
    ui_->InpWrdED0->move(ui_->InpWrdED0->x(), result.FreeEdit.Top);

    tiles_.ResetInteraction();
    // A helped answer stays helped until another sentence is laid out.
    if (state.CurrentItemId != lastLaidOutItem_) state.AnswerShown = false;
    lastLaidOutItem_ = state.CurrentItemId;
    DrawWorkPlace();
    tiles_.SolveIfWordless();
    if (learnPageVisible_) FocusFirstEdit();
}

void LearnPage::DrawWorkPlace() {
    if (workBitmap_.isNull()) CreateWorkBitmap();
    tiles_.Draw(workBitmap_, boardFont_, metrics_->Ascent());
    const QPoint origin = ui_->WorkPlace->pos();
    for (const WordTile& t : board_.WordTiles) {
        if (t.InputEdit >= 0 && t.InputEdit < 3)
            typingEdits_[static_cast<size_t>(t.InputEdit)]->move(origin.x() + t.Left, origin.y() + t.Top);
    }
    ui_->WorkPlace->update();
}

bool LearnPage::SoundOn() const { return ui_->SoundLoopBtn->isChecked(); }

void LearnPage::SetSoundOn(bool on) { ui_->SoundLoopBtn->setChecked(on); }

void LearnPage::SetSolved(bool solved) {
    ctx_.state->SentenceSolved = solved;
    ui_->NextBtn->setEnabled(solved);
}

void LearnPage::DisableNext() {
    ui_->NextBtn->setEnabled(false);
    // The step clears the solved state after it has laid out the new sentence; one without
    // words is solved again at once, or the learner could never leave it.
    tiles_.SolveIfWordless();
}

bool LearnPage::NextEnabled() const { return ui_->NextBtn->isEnabled(); }

void LearnPage::NextBtnClick() {
    if (hooks_.NextStep) {
        hooks_.NextStep();
    } else {
        qCWarning(lcUi, "The learning step is not connected.");
    }
}

void LearnPage::ShowAnsClick() {
    CurrentRow& row = *ctx_.row;
    ctx_.db->QueryCached("SELECT * FROM items2 WHERE ididnt=?;", {ctx_.state->CurrentItemId}, row);
    const bool show = row.iaansw == 0 ||
                      AppPrompter().Show(QStringLiteral("Are you sure you want to show answer?"), QStringLiteral("What"),
                                         MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes;
    if (!show) return;
    ui_->BeforeText->setText(FromCp1251(row.stract));
    ctx_.state->AnswerShown = true;
}

void LearnPage::BeforeTextDblClick() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(ui_->BeforeText->text());
}

void LearnPage::InpWrdED0Change() {
    if (placingTypedWord_) return;
    if (!tiles_.PlaceTypedWord(ToCp1251(ui_->InpWrdED0->text()))) return;
    placingTypedWord_ = true;
    ui_->InpWrdED0->setText(QString());
    placingTypedWord_ = false;
}

void LearnPage::InpWrdED1Change() { tiles_.DropSelectedTile(); }

void LearnPage::WorkPlaceMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y) {
    tiles_.MouseMove((buttons & Qt::LeftButton) || (modifiers & Qt::ShiftModifier), x, y);
    if (!typingEdits_[0]->isHidden()) FocusActiveTypingEdit();
    ctx_.state->ShortcutsSuspended = false;
}

void LearnPage::WorkPlaceMouseUp(Qt::MouseButton button) { tiles_.MouseUp(button == Qt::RightButton); }

void LearnPage::WorkPlaceDblClick() {
    if (hooks_.LookUpSelectedWord) hooks_.LookUpSelectedWord();
}

void LearnPage::FocusFirstEdit() {
    if (!typingEdits_[0]->isHidden()) {
        FocusActiveTypingEdit();
    } else if (!ui_->InpWrdED0->isHidden() && ui_->InpWrdED0->isEnabled()) {
        ui_->InpWrdED0->setFocus(Qt::OtherFocusReason);
    }
}

void LearnPage::FocusActiveTypingEdit() {
    const int active = std::clamp(board_.ActiveTypingEdit, 0, 2);
    TypingEdit* e = typingEdits_[static_cast<size_t>(active)];
    e->setFocus(Qt::OtherFocusReason);
    e->deselect();
    ColourTypingEdits(active);
}

void LearnPage::ColourTypingEdits(int active) {
    for (int k = 0; k < 3; ++k) {
        const uint32_t colour = k == active ? kActiveEditColor : kOtherEditColor;
        if (editColours_[static_cast<size_t>(k)] == colour) continue;
        editColours_[static_cast<size_t>(k)] = colour;
        typingEdits_[static_cast<size_t>(k)]->setStyleSheet(
            QStringLiteral("background-color: %1;").arg(BgrColor(colour).name()));
    }
}

int LearnPage::TypingEditIndex(QObject* edit) const {
    for (int k = 0; k < 3; ++k)
        if (typingEdits_[static_cast<size_t>(k)] == edit) return k;
    return -1;
}

bool LearnPage::eventFilter(QObject* watched, QEvent* event) {
    const int k = TypingEditIndex(watched);
    if (k < 0) return Page::eventFilter(watched, event);
    TypingEdit* edit = typingEdits_[static_cast<size_t>(k)];
    switch (event->type()) {
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(event);
            board_.ActiveTypingEdit = k;
            const QPoint p = me->position().toPoint() + edit->pos() - ui_->WorkPlace->pos();
            WorkPlaceMouseMove(me->buttons(), me->modifiers(), p.x(), p.y());
            break;
        }
        case QEvent::MouseButtonRelease:
            WorkPlaceMouseUp(static_cast<QMouseEvent*>(event)->button());
            break;
        case QEvent::MouseButtonDblClick:
            if (ctx_.state->SentenceSolved) WorkPlaceDblClick();
            break;
        case QEvent::FocusIn:
            board_.ActiveTypingEdit = k;
            ColourTypingEdits(k);
            break;
        default:
            break;
    }
    return false;
}

bool LearnPage::FormShortCut(QKeyEvent* event, bool learnPageCurrent) {
    if (event->type() == QEvent::KeyRelease) {
        if (event->key() == Qt::Key_Control && hooks_.CtrlReleased) hooks_.CtrlReleased();
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    ShortcutKey key = ShortcutKey::Other;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key = ShortcutKey::Enter;
            break;
        case Qt::Key_Control:
            key = ShortcutKey::Ctrl;
            break;
        case Qt::Key_Alt:
            key = ShortcutKey::Alt;
            break;
        default:
            return false;
    }
    ShortcutState s;
    s.onLearnPage = learnPageCurrent;
    s.suspended = ctx_.state->ShortcutsSuspended;
    s.solved = ctx_.state->SentenceSolved;
    s.nextEnabled = NextEnabled();
    s.selectedTile = tiles_.SelectedTile;
    s.autoRepeat = event->isAutoRepeat();
    s.ctrlBlocked = key == ShortcutKey::Ctrl && hooks_.CtrlBlocked && hooks_.CtrlBlocked();
    const ShortcutAction a = DecideShortcut(key, s);
    if (a.runNext) NextBtnClick();
    if (a.placeWord) tiles_.PlaceCurrentWord();
    return a.swallow;
}

}  // namespace lq
