#pragma once
// The Learn page (TabSheet1): the sentence's labels, the word-tile board, the typing edits, the
// free-word edit, "show the answer", the Next button and the page's toggles. The layout and the
// board are plain classes (SentenceLayout, TileBoard); this page feeds them the widgets' input
// and shows what they decide.
#include <QImage>
#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/AppContext.h"
#include "learn/TextMetrics.h"
#include "learn/TileBoard.h"
#include "ui/Page.h"

namespace Ui {
class TabSheet1;
}

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace lq {

struct SentenceBoard;
class TypingEdit;

// What the page asks of the rest of the program; every hook may be empty.
struct LearnPageHooks {
    std::function<void()> NextStep;                       // the learning step (NextBtnClick)
    std::function<void(const std::string&)> ShowComment;  // the comments window's text (cp1251)
    std::function<void()> HideTranslation;                // the dictionary library, page hidden
    std::function<void()> LookUpSelectedWord;             // double click on a tile
    std::function<void(bool shown)> ShowPictures;         // ImagesViewBtn
    std::function<void(bool shown)> ShowComments;         // ComentViewBtn
    std::function<void()> OpenRecorder;                   // SpeedButton3 ("My voice record")
    std::function<bool()> CtrlBlocked;                    // a Ctrl the program synthesised itself
    std::function<void()> CtrlReleased;
};

class LearnPage : public Page {
    Q_OBJECT
public:
    LearnPage(QWidget* tabSheet, const AppContext& ctx, SentenceBoard& board);
    ~LearnPage() override;

    LearnPageHooks& Hooks() { return hooks_; }
    Ui::TabSheet1& Form() { return *ui_; }
    TileBoard& Board() { return tiles_; }
    const QImage& WorkBitmap() const { return workBitmap_; }

    // Start-up: the colour of the texts above and below the board.
    void SetTextColors();
    // Start-up: the board's bitmap, as wide as the board and as high as the page, with its font.
    void CreateWorkBitmap();
    // Start-up: the play-delay list shows the stored delay (without running its handler).
    void ShowPlayDelay(uint32_t playDelay);
    // Start-up: the three typing edits out of sight at the left.
    void ParkTypingEdits();

    // TabSheet1Show / TabSheet1Hide (from the page control, never from minimising the window).
    void OnShow() override;
    void OnHide() override;
    bool LearnPageVisible() const { return learnPageVisible_; }

    // The current sentence onto the board; on the shown page the typing edit gets the keyboard.
    void PrepareCurrentItem();
    // Paints the board and moves the typing edits over their tiles.
    void DrawWorkPlace();

    bool SoundOn() const;
    void SetSoundOn(bool on);  // the recorder releases the button
    // Next waits for the new sentence to be solved (at once for a sentence without words).
    void DisableNext();
    bool NextEnabled() const;

    // Handlers.
    void NextBtnClick();
    void ShowAnsClick();
    void BeforeTextDblClick();
    void InpWrdED0Change();
    void InpWrdED1Change();
    void WorkPlaceMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void WorkPlaceMouseUp(Qt::MouseButton button);
    void WorkPlaceDblClick();

    // The application-wide key filter: true when the key was handled (swallowed). `learnPageCurrent`
    // is whether the page control shows this page.
    bool FormShortCut(QKeyEvent* event, bool learnPageCurrent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    // How long the reread of the sentence (at every keystroke in the word box and every placed
    // tile) waits for another program's lock: not at all, the laid-out sentence serves.
    static constexpr int kRereadWaitMs = 0;

private:
    // The current sentence's text, read again (the laid-out one when the row cannot be read).
    std::string RereadSentence();
    void SetSolved(bool solved);
    void ColourTypingEdits(int active);
    void FocusActiveTypingEdit();
    // The keyboard goes to the typing: the active typing edit when words are to be typed, else
    // the free-word edit (when it is on). Each time a sentence is laid out on the shown page.
    void FocusFirstEdit();
    int TypingEditIndex(QObject* edit) const;

    AppContext ctx_;
    SentenceBoard& board_;
    QWidget* tab_;
    std::unique_ptr<Ui::TabSheet1> ui_;
    LearnPageHooks hooks_;
    TileBoard tiles_;
    QFont boardFont_;
    std::unique_ptr<FontTextMetrics> metrics_;
    QImage workBitmap_;
    std::array<TypingEdit*, 3> typingEdits_{};
    std::array<uint32_t, 3> editColours_{};
    bool learnPageVisible_ = false;
    int lastLaidOutItem_ = -2;
    bool placingTypedWord_ = false;
};

}  // namespace lq
