#pragma once
// The word-tile board of the Learn page: hovering, dragging with the left button or Shift,
// dropping at the first move without them (snap to the nearest row, then the solve test), room
// made in the row around a dropped tile, placing a tile after the last placed one, placing by
// typing the next word, the learner's answer read row by row, and the painting of the board.
//
// The board knows nothing of widgets: the view hands it mouse moves in board pixels and shows
// the image it paints; the hooks say where the sentence and the typed texts come from and who
// hears of repaints and of the solve test.
#include <QColor>
#include <QFont>
#include <QImage>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/SentenceBoard.h"
#include "learn/BoardColors.h"
#include "platform/Colors.h"

namespace lq {

inline constexpr int kBoardWidth = 582;   // WorkPlace in the stored layout
inline constexpr int kBoardHeight = 295;
inline constexpr int kAnswerRows = 7;     // rows 0..6 make the answer

// Whether the answer (each word followed by one blank) spells the sentence: both lower-cased by
// the code page, the sentence as the tiles were cut from it, followed by one blank. A sentence
// without words is spelled by the empty answer.
bool AnswerSpellsSentence(std::string_view answer, std::string_view stract);

// Whether `answer` + the trimmed `typed` word + " " is how the sentence starts (lower-cased).
bool TypedWordContinuesAnswer(std::string_view answer, std::string_view typed, std::string_view stract);

class TileBoard {
public:
    explicit TileBoard(SentenceBoard& board, int width = kBoardWidth, int height = kBoardHeight)
        : board_(board), width_(width), height_(height) {}

    // The sentence's text as stored now (re-read for every solve test).
    std::function<std::string()> SentenceSource;
    // The text of typing edit k (0..2), cp1251.
    std::function<std::string(int edit)> EditText;
    // The board changed and must be painted again.
    std::function<void()> Repaint;
    // The result of each solve test.
    std::function<void(bool solved)> SolveResult;

    int Width() const { return width_; }
    int Height() const { return height_; }
    SentenceBoard& Board() { return board_; }
    const SentenceBoard& Board() const { return board_; }

    int SelectedTile = -1;  // the tile under the mouse, which is also the one dragged
    bool TileDragging = false;
    int LastMouseX = 0;
    int LastMouseY = 0;

    // A new sentence was laid out: nothing is selected or dragged.
    void ResetInteraction();

    // Strictly inside the tile: it takes the hover colour and the result is true; otherwise it
    // takes the colour of its row state.
    static bool HitTest(WordTile& tile, int x, int y);
    static uint32_t RowColor(const WordTile& tile) { return tile.Row == -1 ? kFreeTileColor : kPlacedTileColor; }

    // A mouse move at (x, y) in board pixels; `dragHeld` when the left button or Shift is down.
    void MouseMove(bool dragHeld, int x, int y);
    // A button release; only the right button acts.
    void MouseUp(bool rightButton);

    // Snaps the selected tile to its nearest row, then runs the solve test.
    void DropSelectedTile();
    // Compares the answer with the sentence and reports the result; returns it.
    bool RunSolveTest();
    // A sentence without words has no tile to place, so nothing would ever run the solve test:
    // a layout without tiles runs it at once (and reports the sentence solved). Returns whether
    // it ran and found the sentence solved.
    bool SolveIfWordless();
    // The answer: rows 0..6, each by Left; a typed tile counts with its own text when its edit
    // holds the same word, else as "***"; every word followed by one blank.
    std::string ComposeAnswerText() const;
    // Pushes the neighbours of the selected tile in its row outward; true when one moved.
    bool ResolveRowOverlaps();
    // Puts the selected tile after the last placed tile (or at the start of the next row), then
    // drops it.
    void PlaceCurrentWord();
    // The free-word edit: when the answer so far plus `typed` starts the sentence, the first
    // free tile with that word is placed. True when one was.
    bool PlaceTypedWord(std::string_view typed);

    // Paints the board: background, row lines down the whole image, the tiles in index order.
    // A tile's text stands at +6, +6 from its corner, `ascent` being the font's ascent there.
    void Draw(QImage& image, const QFont& font, int ascent) const;

private:
    void SnapSelected();
    void NotifyRepaint() const {
        if (Repaint) Repaint();
    }

    SentenceBoard& board_;
    int width_;
    int height_;
};

}  // namespace lq
