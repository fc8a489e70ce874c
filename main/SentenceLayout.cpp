#include "main/SentenceLayout.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <numeric>
#include <utility>

#include "main/Database.h"
#include "main/Random.h"
#include "main/TextMetrics.h"
#include "main/Words.h"
#include "platform/CNumbers.h"
#include "platform/Cp1251.h"
#include "platform/DateTime.h"

namespace lq {
namespace {

bool IsCtl(char c) { return static_cast<unsigned char>(c) <= 32; }

// The age in days of the last answer, for the debug line.
std::string AgeText(const std::string& dtansw, double lastNextTime) {
    int fields[6] = {1899, 12, 30, 0, 0, 0};
    ParseDateFields(dtansw, fields);
    const float age = static_cast<float>(lastNextTime - EncodeDateTime(CivilFromFields(fields)));
    return " " + FormatFixed(static_cast<double>(age), 2);
}

void UpdateDebugLines(const CurrentRow& row, double lastNextTime, std::array<std::string, 4>& lines) {
    lines[0] = lines[1];
    lines[1] = lines[2];
    lines[2] = std::to_string(row.iplace) + " " + std::to_string(row.irng_2);
    lines[3] = lines[0] + " " + lines[1] + " " + lines[2] + AgeText(row.dtansw, lastNextTime);
}

int ClampToInt(int64_t v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

std::string TrimCtl(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsCtl(text[b])) ++b;
    while (e > b && IsCtl(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

std::string SentenceTileText(std::string_view stract) {
    const std::string trimmed = TrimCtl(stract);
    std::string s;
    s.reserve(trimmed.size());
    for (char c : trimmed) {
        if (c == ' ' && !s.empty() && s.back() == ' ') continue;
        s.push_back(c);
    }
    return s;
}

std::vector<std::string> CutWordsFromRight(std::string_view collapsed) {
    std::vector<std::string> words;
    std::string_view s = collapsed;
    while (!s.empty()) {
        const size_t p = s.rfind(' ');
        if (p == std::string_view::npos) {
            words.emplace_back(s);
            break;
        }
        words.emplace_back(s.substr(p + 1));
        s = s.substr(0, p);
    }
    return words;
}

void ParseWordPairList(std::string_view text, std::vector<int>& entries) {
    size_t pos = 0;
    size_t entry = 0;
    while (pos < text.size() && entry < entries.size()) {
        const size_t blank = text.find(' ', pos);
        const size_t end = blank == std::string_view::npos ? text.size() : blank;
        entries[entry++] = CAtoi(text.substr(pos, end - pos));
        pos = end + 1;  // the one blank after the token
    }
}

LayoutResult SentenceLayout::Prepare(const CurrentRow& row, const LayoutOptions& options,
                                     const WordStatLookup& lookup, SentenceBoard& board,
                                     std::array<std::string, 4>& debugLines) const {
    LayoutResult result;
    result.NewSentenceMark = row.iaansw == 0;
    result.AfterVisible = options.ShowNxtSnt != 0;
    result.BeforeText = row.strbef;
    if (options.DebugMode) {
        UpdateDebugLines(row, options.LastNextTime, debugLines);
        result.AfterText = debugLines[3];
    } else {
        result.AfterText = options.ShowNxtSnt != 0 ? row.straft : std::string();
    }
    result.Comment = row.strtrn;

    board.SentenceText = SentenceTileText(row.stract);
    board.RowPitch = metrics_.TextHeight("SSS") + 20;
    board.WordTiles.clear();
    for (std::string& word : CutWordsFromRight(board.SentenceText)) {
        WordTile t;
        t.Width = metrics_.TextWidth(word) + 12;
        t.Height = board.RowPitch - 8;
        t.Text = std::move(word);
        board.WordTiles.push_back(std::move(t));
    }

    board.TypedWordTiles.clear();
    board.ActiveTypingEdit = 0;
    if (row.igansw >= options.InputAfter && row.isound != -1 && options.DoInpWords != 0) {
        ChooseTypedWords(row, lookup, board);
    }

    if (board.TypedWordCount() > 0) {
        result.FreeEdit = {false, false, 40};
    } else {
        const bool on = options.DoAddInpWr != 0;
        result.FreeEdit = {on, on, on ? 4 : 40};
    }

    if (board.TypedWordCount() > 0) {
        ArrangeTyped(board, options.BoardWidth);
    } else if (options.FirstSPos == 0) {
        ArrangeBottomRows(board, options.BoardWidth, options.BoardHeight);
    } else {
        ArrangeColumns(board, options.BoardWidth, options.BoardHeight);
    }
    return result;
}

void SentenceLayout::ChooseTypedWords(const CurrentRow& row, const WordStatLookup& lookup,
                                      SentenceBoard& board) const {
    const int n = board.WordTileCount();
    board.WordWeightPairs.assign(static_cast<size_t>(2 * n), 0);
    board.WordCounts.assign(static_cast<size_t>(2 * n), 0);
    std::vector<int> keys(static_cast<size_t>(n), kNoTypingKey);
    if (n > 0) board.WordWeightPairs[0] = 1;
    ParseWordPairList(row.strind, board.WordWeightPairs);

    board.ItemTypingEnabled = row.isigns == 1;
    if (!board.ItemTypingEnabled) return;

    for (int i = n - 1; i >= 0; --i) {
        const std::string w = NormalizeWord(Cp1251Lower(board.WordTiles[i].Text));
        int istate = 0, icount = 0;
        const bool found = lookup && lookup(w, istate, icount);
        if (found && istate != 0) {
            board.WordWeightPairs[2 * i] = 1;
            board.WordCounts[2 * i] = icount;
            keys[i] = ClampToInt(static_cast<int64_t>(board.WordWeightPairs[2 * i + 1]) * icount);
        } else {
            board.WordWeightPairs[2 * i] = 0;
        }
    }

    // Ascending keys; equal keys keep ascending tile order.
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
    for (int pos = 0; pos < std::min(n, kTypingEditCount); ++pos) {
        if (keys[order[pos]] < kNoTypingKey) board.TypedWordTiles.push_back(order[pos]);
    }
    std::sort(board.TypedWordTiles.begin(), board.TypedWordTiles.end());
    for (int k = 0; k < board.TypedWordCount(); ++k) {
        WordTile& t = board.WordTiles[board.TypedWordTiles[k]];
        t.Width += 20;
        t.InputEdit = k;
    }
}

void SentenceLayout::ArrangeTyped(SentenceBoard& board, int width) const {
    int x = RandomBelow(rng_, 100) + 4;
    const int margin = RandomBelow(rng_, 50) + 20;
    int y = 4;
    int row = 0;
    for (int i = board.WordTileCount() - 1; i >= 0; --i) {
        WordTile& t = board.WordTiles[i];
        t.Left = x;
        t.Top = y;
        t.Row = row;
        t.Color = kPlacedTileColor;
        x += t.Width + 5;
        if (t.Left + t.Width > width - margin) {
            y += board.RowPitch;
            ++row;
            t.Left = 4;
            t.Top = y;
            t.Row = row;
            x = 4 + t.Width + 5;
        }
    }
}

void SentenceLayout::ArrangeBottomRows(SentenceBoard& board, int width, int height) const {
    int a = 4, b = 4;
    for (int i = board.WordTileCount() - 1; i >= 0; --i) {
        const int r = RandomBelow(rng_, i);
        if (r != i) std::swap(board.WordTiles[i], board.WordTiles[r]);
        WordTile& t = board.WordTiles[i];
        t.Left = width - t.Width - a;
        t.Top = height - t.Height - b;
        a += t.Width + 5;
        if (t.Left < 0) {
            a = 4;
            b += board.RowPitch;
            t.Left = width - t.Width - 4;
            t.Top = height - t.Height - b;
            a = 4 + t.Width + 5;
        }
    }
}

void SentenceLayout::ArrangeColumns(SentenceBoard& board, int width, int height) const {
    const int n = board.WordTileCount();
    std::vector<WordTile>& tiles = board.WordTiles;
    int widest = 0;
    for (int i = n - 1; i >= 0; --i) {
        const int r = RandomBelow(rng_, i);
        if (r != i) std::swap(tiles[i], tiles[r]);
        widest = std::max(widest, tiles[i].Width);
    }

    const int pitch = board.RowPitch;
    const int step = pitch - 4;
    // Tiles a full-height column holds: bottom slot at height - pitch, then one step up each.
    const int fullColumn = (step > 0 && height >= pitch) ? (height - pitch) / step + 1 : 1;
    auto widestOfNext = [&](int from) {
        int w = 0;
        for (int j = from; j >= 0 && j > from - fullColumn; --j) w = std::max(w, tiles[j].Width);
        return w;
    };

    int x = widest + 2;
    int y = pitch;
    int c = 0;       // width of the next column, looked ahead
    int column = 0;
    bool fullHeight = false;  // past the staircase
    bool freshColumn = true;  // no tile placed in this column yet
    int i = n - 1;
    while (i >= 0) {
        WordTile& t = tiles[i];
        t.Left = width - x;
        t.Top = height - y;
        if (fullHeight) {
            t.Left = std::max(0, t.Left);
        } else {
            const int j = i - (8 - column);
            if (j >= 0 && j < n && tiles[j].Width > c) c = tiles[j].Width;
        }
        y += step;
        const int lowestTop = fullHeight ? 0 : step * column;
        if (t.Top < lowestTop && !freshColumn) {
            // A new column; this tile goes to its bottom.
            if (!fullHeight && height - pitch < step * (column + 1)) fullHeight = true;
            if (fullHeight) c = widestOfNext(i);
            x += c + 4;
            y = pitch;
            c = 0;
            ++column;
            freshColumn = true;
            continue;
        }
        freshColumn = false;
        --i;
    }
}

}  // namespace lq
