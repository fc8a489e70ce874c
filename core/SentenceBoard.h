#pragma once
// The current sentence as the Learn page shows it: its word tiles on the board and what the
// layout decided about typed words. The layout fills it; the board, the typing edits and the
// learning step read it. Tile 0 is the sentence's last word.
#include <cstdint>
#include <string>
#include <vector>

namespace lq {

struct WordTile {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Row = -1;           // board row, -1 = not placed
    std::string Text;       // cp1251
    uint32_t Color = 0;     // fill colour (0x00BBGGRR), the board's to set
    int InputEdit = -1;     // index of the typing edit over the tile (0..2), -1 = none
};

struct SentenceBoard {
    std::vector<WordTile> WordTiles;   // WordTileCount = WordTiles.size()
    int RowPitch = 0;
    // Two entries per tile: [2i] = flag, [2i+1] = weight (the stored per-word weight list).
    std::vector<int> WordWeightPairs;
    // [2i] = the word's statistics count when tile i is flagged.
    std::vector<int> WordCounts;
    // The tiles whose words must be typed, ascending; at most three.
    std::vector<int> TypedWordTiles;
    int ActiveTypingEdit = 0;
    bool ItemTypingEnabled = false;
    // The sentence as the tiles were cut from it (trimmed, double blanks collapsed).
    std::string SentenceText;

    int WordTileCount() const { return static_cast<int>(WordTiles.size()); }
    int TypedWordCount() const { return static_cast<int>(TypedWordTiles.size()); }
};

}  // namespace lq
