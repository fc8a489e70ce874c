#include "learn/SentenceLayout.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <numeric>
#include <utility>

#include "core/CurrentRow.h"
#include "core/Random.h"
#include "core/Words.h"
#include "learn/BoardColors.h"
#include "learn/TextMetrics.h"
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
        t.Color = kFreeTileColor;
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
    // The number of tiles column `column` of the staircase holds: its slots go up from
    // height - pitch in steps, down to a Top of step x column.
    auto columnSlots = [&](int column) {
        const int room = height - pitch - step * column;
        return (room < 0 || step <= 0) ? 0 : room / step + 1;
    };

    // The staircase, for as long as its columns stand on the board.
    int x = widest + 2;
    int y = pitch;
    int c = 0;  // width of the next column, looked ahead
    int column = 0;
    int i = n - 1;
    while (i >= 0 && width - x >= 0 && columnSlots(column) > 0) {
        WordTile& t = tiles[i];
        t.Left = width - x;
        t.Top = height - y;
        const int j = i - (8 - column);
        if (j >= 0 && j < n && tiles[j].Width > c) c = tiles[j].Width;
        y += step;
        if (t.Top < step * column) {
            // A new column; this tile goes to its bottom. The look-ahead above can miss a tile
            // of the new column, which would then reach into this one: the column is as wide
            // as its widest tile at least.
            const int held = columnSlots(column + 1);
            for (int k = i; k >= 0 && k > i - held; --k) c = std::max(c, tiles[k].Width);
            x += c + 4;
            y = pitch;
            c = 0;
            ++column;
            continue;
        }
        --i;
    }
    // Tiles the staircase cannot hold (past its last column or the board's left edge) go into
    // the free room of the same rows.
    if (i >= 0) FillRowGaps(board, i, width, height);
}

void SentenceLayout::FillRowGaps(SentenceBoard& board, int last, int width, int height) {
    std::vector<WordTile>& tiles = board.WordTiles;
    const int pitch = board.RowPitch;
    const int step = std::max(1, pitch - 4);
    const int rows = height - pitch >= 0 ? (height - pitch) / step + 1 : 1;
    auto rowTop = [&](int row) { return height - pitch - step * row; };
    constexpr int kGap = 4;
    const int rightBound = width - 2;

    // The tiles already in each row, as [Left, right edge).
    std::vector<std::vector<std::pair<int, int>>> taken(static_cast<size_t>(rows));
    for (int k = static_cast<int>(tiles.size()) - 1; k > last; --k) {
        const WordTile& t = tiles[k];
        for (int row = 0; row < rows; ++row)
            if (t.Top == rowTop(row)) taken[static_cast<size_t>(row)].push_back({t.Left, t.Left + t.Width});
    }
    // The right-most place in a row where a tile of width w keeps the gap to its neighbours and
    // stays inside the board; false when there is none.
    auto rightMost = [&](std::vector<std::pair<int, int>>& row, int w, int& left) {
        std::sort(row.begin(), row.end());
        int gapRight = rightBound;
        for (int k = static_cast<int>(row.size()) - 1; k >= -1; --k) {
            const int leftBound = k >= 0 ? row[static_cast<size_t>(k)].second + kGap : 0;
            if (gapRight - w >= leftBound) {
                left = gapRight - w;
                return true;
            }
            if (k >= 0) gapRight = std::min(gapRight, row[static_cast<size_t>(k)].first - kGap);
        }
        return false;
    };

    for (int i = last; i >= 0; --i) {
        WordTile& t = tiles[i];
        int bestRow = -1, bestLeft = 0;
        for (int row = 0; row < rows; ++row) {
            int left = 0;
            if (rightMost(taken[static_cast<size_t>(row)], t.Width, left) && (bestRow < 0 || left > bestLeft)) {
                bestRow = row;
                bestLeft = left;
            }
        }
        if (bestRow < 0) {
            // A tile wider than the board starts an empty row.
            for (int row = 0; row < rows && bestRow < 0; ++row)
                if (taken[static_cast<size_t>(row)].empty()) bestRow = row;
            if (bestRow < 0) {
                // The board is full: the rest lies in a second layer over the first, each layer
                // without overlaps (the hit test takes the tile drawn on top).
                for (auto& row : taken) row.clear();
                ++i;
                continue;
            }
            bestLeft = 0;
        }
        t.Left = bestLeft;
        t.Top = rowTop(bestRow);
        taken[static_cast<size_t>(bestRow)].push_back({t.Left, t.Left + t.Width});
    }
}

}  // namespace lq
