#pragma once
// Putting the current sentence on the Learn page's board: the labels around the board, the cut
// into word tiles (tile 0 is the last word), the choice of the words the learner must type, the
// stored per-word weights, and the first arrangement of the tiles.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/SentenceBoard.h"

namespace lq {

struct CurrentRow;
class Random;
class TextMetrics;

inline constexpr int kTypingEditCount = 3;   // InpWrdED1..InpWrdED3
inline constexpr int kNoTypingKey = 65535;   // a key this high is never chosen for typing

// The text with the bytes 0..32 removed from both ends.
std::string TrimCtl(std::string_view text);

// The sentence as the tiles are cut from it: trimmed, and every run of blanks inside made one
// blank. Tabs stay inside their word.
std::string SentenceTileText(std::string_view stract);

// The words of a blank-collapsed sentence, from the right: [0] is the last word.
std::vector<std::string> CutWordsFromRight(std::string_view collapsed);

// Reads a stored weight list ("%i %i " per tile) into `entries` from entry 0 on: one number per
// blank-separated token (read like atoi; an empty or non-numeric token is 0). Numbers beyond the
// entries are ignored; entries without a number keep their value.
void ParseWordPairList(std::string_view text, std::vector<int>& entries);

struct LayoutOptions {
    int InputAfter = 12;
    int DoInpWords = 1;
    int ShowNxtSnt = 1;
    int FirstSPos = 0;
    int DoAddInpWr = 0;
    bool DebugMode = false;
    double LastNextTime = 0;  // date-time of the last step (or of the start-up)
    int BoardWidth = 582;
    int BoardHeight = 295;
};

// Given a word in its lower-cased, normalised form: whether wrdstt holds it, with its mark and
// its occurrence count.
using WordStatLookup = std::function<bool(const std::string& word, int& istate, int& icount)>;

// Where the free-word edit (InpWrdED0) goes.
struct FreeEditState {
    bool Enabled = false;
    bool Visible = false;
    int Top = 40;
};

// What the layout decided for the widgets around the board.
struct LayoutResult {
    bool NewSentenceMark = false;  // Label1 "N": the sentence was never answered
    std::string BeforeText;        // cp1251
    bool AfterVisible = false;
    std::string AfterText;         // cp1251
    std::string Comment;           // for the comments window
    FreeEditState FreeEdit;
};

class SentenceLayout {
public:
    SentenceLayout(const TextMetrics& metrics, Random& rng) : metrics_(metrics), rng_(rng) {}

    // The layout of `row` (the current sentence, just read) on `board`. `debugLines` are the
    // rolling scheduling lines shown in debug mode (entries 0..2, then the shown line).
    LayoutResult Prepare(const CurrentRow& row, const LayoutOptions& options, const WordStatLookup& lookup,
                         SentenceBoard& board, std::array<std::string, 4>& debugLines) const;

    // The three arrangements of the tiles, each with its random draws in the documented order.
    // All tiles placed in sentence order on the top rows (a sentence with words to type).
    void ArrangeTyped(SentenceBoard& board, int width) const;
    // Shuffled, free, in lines from the bottom right.
    void ArrangeBottomRows(SentenceBoard& board, int width, int height) const;
    // Shuffled, free, in a staircase of columns from the right, each column one row shorter
    // than the one to its right; the tiles that the staircase cannot hold on the board (after its
    // last column, or where a column would pass the left edge) go into the room left in the same
    // rows, each at the right-most place where it keeps 4 pixels from its neighbours (the lower
    // row first when two places are as far right). No two tiles overlap and every tile lies on
    // the board, as long as the board has room for them; more go into a second layer over the
    // first, laid out the same way.
    void ArrangeColumns(SentenceBoard& board, int width, int height) const;

private:
    // Puts tiles `last` down to 0 into the free room of the column layout's rows.
    static void FillRowGaps(SentenceBoard& board, int last, int width, int height);
    // Fills the weights and counts and chooses up to three words to type.
    void ChooseTypedWords(const CurrentRow& row, const WordStatLookup& lookup, SentenceBoard& board) const;

    const TextMetrics& metrics_;
    Random& rng_;
};

}  // namespace lq
