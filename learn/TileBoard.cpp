#include "learn/TileBoard.h"

#include <QPainter>
#include <QRect>
#include <algorithm>
#include <vector>

#include "core/Words.h"
#include "learn/SentenceLayout.h"
#include "platform/CNumbers.h"
#include "platform/Cp1251.h"

namespace lq {

bool AnswerSpellsSentence(std::string_view answer, std::string_view stract) {
    const std::string sentence = SentenceTileText(stract);
    // A sentence without words is spelled by the answer without words.
    if (sentence.empty()) return answer.empty();
    return Cp1251Lower(answer) == Cp1251Lower(sentence) + " ";
}

bool TypedWordContinuesAnswer(std::string_view answer, std::string_view typed, std::string_view stract) {
    std::string said(answer);
    said += TrimCtl(typed);
    said += ' ';
    const std::string c = Cp1251Lower(said);
    std::string s = Cp1251Lower(SentenceTileText(stract)) + " ";
    if (s.size() > c.size()) s.resize(c.size());
    return c == s;
}

void TileBoard::ResetInteraction() {
    SelectedTile = -1;
    TileDragging = false;
}

bool TileBoard::HitTest(WordTile& tile, int x, int y) {
    if (tile.Left < x && x < tile.Left + tile.Width && tile.Top < y && y < tile.Top + tile.Height) {
        tile.Color = kHoverTileColor;
        return true;
    }
    tile.Color = RowColor(tile);
    return false;
}

void TileBoard::MouseMove(bool dragHeld, int x, int y) {
    std::vector<WordTile>& tiles = board_.WordTiles;
    const int n = board_.WordTileCount();
    if (SelectedTile >= n) SelectedTile = -1;
    if (dragHeld) {
        if (SelectedTile != -1 && 10 < x && x < width_ - 10 && 10 < y && y < height_ - 10) {
            WordTile& t = tiles[SelectedTile];
            t.Left += x - LastMouseX;
            t.Top += y - LastMouseY;
            LastMouseX = x;
            LastMouseY = y;
            NotifyRepaint();
        }
        TileDragging = true;
        return;
    }

    if (TileDragging) {
        DropSelectedTile();
        TileDragging = false;
        // The push can change the order in which the row reads, so the test runs again.
        if (ResolveRowOverlaps()) RunSolveTest();
    }

    // The tiles are drawn in index order, so the one on top is the last one hit.
    int hit = -1;
    for (int i = n - 1; i >= 0; --i) {
        if (HitTest(tiles[i], x, y)) {
            hit = i;
            break;
        }
    }
    if (hit == -1) {
        if (SelectedTile != -1) {
            tiles[SelectedTile].Color = RowColor(tiles[SelectedTile]);
            NotifyRepaint();
        }
        SelectedTile = -1;
        return;
    }
    if (hit != SelectedTile) {
        if (SelectedTile != -1) tiles[SelectedTile].Color = RowColor(tiles[SelectedTile]);
        SelectedTile = hit;
        NotifyRepaint();
    }
    LastMouseX = x;
    LastMouseY = y;
}

void TileBoard::MouseUp(bool rightButton) {
    if (rightButton && SelectedTile != -1) PlaceCurrentWord();
}

void TileBoard::SnapSelected() {
    WordTile& t = board_.WordTiles[SelectedTile];
    const int pitch = board_.RowPitch > 0 ? board_.RowPitch : 1;
    const float p = static_cast<float>(pitch);
    const float v = p * (static_cast<float>(t.Top) / p + 0.5f);
    const int row = TruncToInt(static_cast<double>(v / p));
    t.Row = row;
    t.Top = row * pitch + 4;
    if (t.Top > height_ - 4) {
        t.Row = row - 1;
        t.Top = (row - 1) * pitch + 4;
    }
    NotifyRepaint();
}

void TileBoard::DropSelectedTile() {
    if (SelectedTile >= board_.WordTileCount()) SelectedTile = -1;
    if (SelectedTile != -1) SnapSelected();
    RunSolveTest();
}

bool TileBoard::RunSolveTest() {
    const std::string answer = ComposeAnswerText();
    const std::string sentence = SentenceSource ? SentenceSource() : board_.SentenceText;
    const bool solved = AnswerSpellsSentence(answer, sentence);
    if (SolveResult) SolveResult(solved);
    return solved;
}

bool TileBoard::SolveIfWordless() {
    if (board_.WordTileCount() != 0) return false;
    return RunSolveTest();
}

std::string TileBoard::ComposeAnswerText() const {
    const std::vector<WordTile>& tiles = board_.WordTiles;
    std::string answer;
    std::vector<int> rowTiles;
    for (int row = 0; row < kAnswerRows; ++row) {
        rowTiles.clear();
        for (int i = 0; i < board_.WordTileCount(); ++i)
            if (tiles[i].Row == row) rowTiles.push_back(i);
        std::stable_sort(rowTiles.begin(), rowTiles.end(),
                         [&](int a, int b) { return tiles[a].Left < tiles[b].Left; });
        for (int i : rowTiles) {
            const WordTile& t = tiles[i];
            if (t.InputEdit < 0) {
                answer += t.Text;
            } else {
                const std::string typed = EditText ? EditText(t.InputEdit) : std::string();
                answer += NormalizeWord(Cp1251Lower(typed)) == NormalizeWord(Cp1251Lower(t.Text)) ? t.Text : "***";
            }
            answer += ' ';
        }
    }
    return answer;
}

bool TileBoard::ResolveRowOverlaps() {
    if (SelectedTile < 0 || SelectedTile >= board_.WordTileCount()) return false;
    std::vector<WordTile>& tiles = board_.WordTiles;
    const int s = SelectedTile;
    const int l = tiles[s].Left;
    const int r = tiles[s].Row;
    struct Entry {
        int index;
        int value;
        int width;
    };
    auto byValue = [](const Entry& a, const Entry& b) { return a.value < b.value; };
    bool moved = false;

    std::vector<Entry> side;
    for (int i = 0; i < board_.WordTileCount(); ++i)
        if (i != s && tiles[i].Row == r && tiles[i].Left <= l) side.push_back({i, tiles[i].Left, tiles[i].Width});
    side.push_back({s, l + 1, tiles[s].Width});
    std::stable_sort(side.begin(), side.end(), byValue);
    for (size_t k = side.size() - 1; k >= 1; --k) {
        Entry& prev = side[k - 1];
        if (prev.value + prev.width > side[k].value - 3) {
            prev.value = side[k].value - prev.width - 4;
            tiles[prev.index].Left = prev.value;
            moved = true;
        }
    }

    side.clear();
    for (int i = 0; i < board_.WordTileCount(); ++i)
        if (i != s && tiles[i].Row == r && tiles[i].Left >= l) side.push_back({i, tiles[i].Left, tiles[i].Width});
    side.push_back({s, l - 1, tiles[s].Width});
    std::stable_sort(side.begin(), side.end(), byValue);
    for (size_t k = 1; k < side.size(); ++k) {
        const Entry& prev = side[k - 1];
        if (side[k].value < prev.value + prev.width + 3) {
            side[k].value = prev.value + prev.width + 4;
            tiles[side[k].index].Left = side[k].value;
            moved = true;
        }
    }
    NotifyRepaint();
    return moved;
}

void TileBoard::PlaceCurrentWord() {
    if (SelectedTile < 0 || SelectedTile >= board_.WordTileCount()) return;
    std::vector<WordTile>& tiles = board_.WordTiles;
    bool any = false;
    int y = 0;
    for (const WordTile& t : tiles) {
        if (t.Row == -1) continue;
        if (!any || t.Top > y) y = t.Top;
        any = true;
    }
    int x = 10;
    for (const WordTile& t : tiles)
        if (t.Row != -1 && t.Top == y) x = std::max(x, t.Left + t.Width);
    WordTile& sel = tiles[SelectedTile];
    if (sel.Width + x > width_ - 45) {
        x = 25;
        y += board_.RowPitch;
    } else {
        x += 15;
    }
    sel.Left = x;
    sel.Top = y;
    DropSelectedTile();
}

bool TileBoard::PlaceTypedWord(std::string_view typed) {
    const std::string sentence = SentenceSource ? SentenceSource() : board_.SentenceText;
    if (!TypedWordContinuesAnswer(ComposeAnswerText(), typed, sentence)) return false;
    const std::string word = Cp1251Lower(TrimCtl(typed));
    std::vector<WordTile>& tiles = board_.WordTiles;
    for (int i = 0; i < board_.WordTileCount(); ++i) {
        if (tiles[i].Row == -1 && Cp1251Lower(tiles[i].Text) == word) {
            SelectedTile = i;
            tiles[i].Color = kPlacedTileColor;
            PlaceCurrentWord();
            return true;
        }
    }
    return false;
}

void TileBoard::Draw(QImage& image, const QFont& font, int ascent) const {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(QRect(0, 0, width_, height_), BgrColor(kBoardColor));

    p.setPen(BgrColor(kRowLineColor));
    const int pitch = board_.RowPitch;
    if (pitch > 0) {
        int k = 1;
        do {
            p.drawLine(0, k * pitch, image.width() - 1, k * pitch);
            ++k;
        } while (k * pitch < image.height());
    }

    p.setFont(font);
    const QPen outline(BgrColor(kTileOutlineColor));
    const QPen text(Qt::black);
    for (const WordTile& t : board_.WordTiles) {
        p.setPen(outline);
        p.setBrush(BgrColor(t.Color));
        // The outline covers Left .. Left+Width-1 and Top .. Top+Height-1.
        p.drawRoundedRect(QRect(t.Left, t.Top, t.Width - 1, t.Height - 1), 6, 6);
        p.setPen(text);
        p.drawText(t.Left + 6, t.Top + 6 + ascent, FromCp1251(t.Text));
    }
}

}  // namespace lq
