#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "FixedMetrics.h"
#include "core/CurrentRow.h"
#include "core/Random.h"
#include "learn/BoardColors.h"
#include "learn/SentenceLayout.h"
#include "platform/DateTime.h"

namespace lq {
namespace {

constexpr int W = 582;
constexpr int H = 295;

std::string Words(int n, const std::string& word = "ab") {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? " " : "") + word + std::to_string(i % 10);
    return s;
}

class LayoutTest : public ::testing::Test {
protected:
    LayoutResult Lay(const std::string& stract, std::vector<int> draws = {}) {
        row.stract = stract;
        rng = ScriptedRandom(std::move(draws));
        SentenceLayout layout(metrics, rng);
        return layout.Prepare(row, options, lookup, board, debugLines);
    }
    // Marks a word in the statistics (stored form) with its count.
    void Mark(const std::string& word, int icount, int istate = 1) { stats[word] = {istate, icount}; }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const WordTile& w : board.WordTiles) t.push_back(w.Text);
        return t;
    }

    test::FixedMetrics metrics;
    ScriptedRandom rng;
    CurrentRow row;
    LayoutOptions options;
    SentenceBoard board;
    std::array<std::string, 4> debugLines;
    std::map<std::string, std::pair<int, int>> stats;
    WordStatLookup lookup = [this](const std::string& w, int& istate, int& icount) {
        auto it = stats.find(w);
        if (it == stats.end()) return false;
        istate = it->second.first;
        icount = it->second.second;
        return true;
    };
};

TEST(SentenceText, TrimsControlsAndCollapsesBlanks) {
    EXPECT_EQ(TrimCtl("\t\r\n  a b \x01\x20"), "a b");
    EXPECT_EQ(SentenceTileText("  a  b   c "), "a b c");
    EXPECT_EQ(SentenceTileText("a\t b"), "a\t b");  // a tab stays inside its word
    EXPECT_EQ(SentenceTileText(" \x1f "), "");
}

TEST(SentenceText, CutsWordsFromTheRight) {
    EXPECT_EQ(CutWordsFromRight("The cat sat"), (std::vector<std::string>{"sat", "cat", "The"}));
    EXPECT_EQ(CutWordsFromRight(SentenceTileText("a  b")), (std::vector<std::string>{"b", "a"}));
    EXPECT_TRUE(CutWordsFromRight("").empty());
}

TEST(WordPairList, ReadsTokensIntoEntries) {
    struct Case {
        std::string text;
        size_t entries;
        std::vector<int> expected;
    } cases[] = {
        {"0", 4, {0, 9, 9, 9}},
        {"", 4, {9, 9, 9, 9}},
        {"1 3 0 0 1 2 ", 6, {1, 3, 0, 0, 1, 2}},
        {"1 3 0 0 1 2 7 7", 4, {1, 3, 0, 0}},  // extra numbers ignored
        {"5  7", 4, {5, 0, 7, 9}},             // an empty token reads 0
        {"-2 x4 3y", 4, {-2, 0, 3, 9}},
    };
    for (const Case& c : cases) {
        std::vector<int> entries(c.entries, 9);
        ParseWordPairList(c.text, entries);
        EXPECT_EQ(entries, c.expected) << "'" << c.text << "'";
    }
    std::string many;
    for (int i = 0; i < 500; ++i) many += std::to_string(i) + " ";
    std::vector<int> entries(6, 9);
    ParseWordPairList(many, entries);
    EXPECT_EQ(entries, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST_F(LayoutTest, TilesComeFromTheRightWithTheirSizes) {
    options.FirstSPos = 0;
    Lay("  Hello,  big world ", {0, 0, 0});
    ASSERT_EQ(board.WordTileCount(), 3);
    EXPECT_EQ(board.RowPitch, 43);
    EXPECT_EQ(board.SentenceText, "Hello, big world");
    for (const WordTile& t : board.WordTiles) {
        EXPECT_EQ(t.Height, 35);
        EXPECT_EQ(t.Width, 10 * static_cast<int>(t.Text.size()) + 12);
        EXPECT_EQ(t.Row, -1);
        EXPECT_EQ(t.Color, kFreeTileColor);
        EXPECT_EQ(t.InputEdit, -1);
    }
}

TEST_F(LayoutTest, OneWordSitsFourPixelsFromTheBottomRightCorner) {
    Lay("word");
    ASSERT_EQ(board.WordTileCount(), 1);
    EXPECT_EQ(board.WordTiles[0].Left, W - 52 - 4);
    EXPECT_EQ(board.WordTiles[0].Top, 256);
    EXPECT_EQ(rng.DrawCount(), 0);  // RandomBelow(0) draws nothing
}

TEST_F(LayoutTest, DoubleBlankGivesTwoTiles) {
    Lay("a  b", {0});
    // The shuffle of two tiles always exchanges them.
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(LayoutTest, EmptySentenceGivesNoTiles) {
    Lay("   ");
    EXPECT_EQ(board.WordTileCount(), 0);
    EXPECT_EQ(board.SentenceText, "");
}

TEST_F(LayoutTest, BottomRowsWrapWhenTheLeftEdgeIsPassed) {
    // Ten words of 10 bytes: tiles 112 wide; five fit on a line of 582 (4 + 5*117 = 589 > 582).
    std::string s;
    for (int i = 0; i < 10; ++i) s += (i ? " " : "") + std::string("abcdefghi") + char('0' + i);
    Lay(s, std::vector<int>(10, 0));  // every draw 0: the shuffle is a rotation
    int lines = 0;
    int lastTop = 1 << 30;
    for (int i = board.WordTileCount() - 1; i >= 0; --i) {
        const WordTile& t = board.WordTiles[i];
        EXPECT_GE(t.Left, 0);
        if (t.Top != lastTop) {
            ++lines;
            EXPECT_EQ(t.Left, W - t.Width - 4) << "a line starts at the right";
            lastTop = t.Top;
        }
    }
    // Lefts 466, 349, 232, 115, then -2: four tiles a line.
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(board.WordTiles[9].Top, 256);
    EXPECT_EQ(board.WordTiles[9 - 3].Top, 256);
    EXPECT_EQ(board.WordTiles[9 - 3].Left, 115);
    EXPECT_EQ(board.WordTiles[9 - 4].Top, 256 - 43);
    EXPECT_EQ(board.WordTiles[9 - 8].Top, 256 - 86);
}

TEST_F(LayoutTest, ShuffleMovesEveryTileAndKeepsTheWords) {
    for (int n = 2; n <= 10; ++n) {
        for (int run = 0; run < 100; ++run) {
            std::string s;
            for (int i = 0; i < n; ++i) s += (i ? " " : "") + std::string("w") + std::to_string(i);
            row.stract = s;
            StdRandom real(static_cast<uint32_t>(n * 1000 + run));
            SentenceLayout layout(metrics, real);
            layout.Prepare(row, options, lookup, board, debugLines);
            std::vector<std::string> before = CutWordsFromRight(s);
            std::vector<std::string> after = Texts();
            for (int i = 0; i < n; ++i) EXPECT_NE(after[i], before[i]) << "n=" << n << " run=" << run;
            std::sort(before.begin(), before.end());
            std::sort(after.begin(), after.end());
            EXPECT_EQ(after, before);
        }
    }
}

TEST_F(LayoutTest, ColumnStaircaseHoldsTwentyEightTiles) {
    options.FirstSPos = 1;
    Lay(Words(28), std::vector<int>(28, 0));
    // Every tile is 42 wide: the columns stand 46 apart from x = W - 44 leftwards.
    std::map<int, std::vector<int>> columns;  // Left -> Tops
    for (const WordTile& t : board.WordTiles) columns[t.Left].push_back(t.Top);
    ASSERT_EQ(columns.size(), 7u);
    int height = 7;
    for (auto it = columns.rbegin(); it != columns.rend(); ++it, --height) {
        std::vector<int> tops = it->second;
        std::sort(tops.rbegin(), tops.rend());
        ASSERT_EQ(static_cast<int>(tops.size()), height) << "column at " << it->first;
        for (int k = 0; k < height; ++k) EXPECT_EQ(tops[k], 252 - 39 * k);
    }
    EXPECT_EQ(columns.rbegin()->first, W - 44);
    EXPECT_EQ(std::next(columns.rbegin())->first, W - 44 - 46);
}

bool Intersect(const WordTile& a, const WordTile& b) {
    return a.Left < b.Left + b.Width && b.Left < a.Left + a.Width && a.Top < b.Top + b.Height &&
           b.Top < a.Top + a.Height;
}

// Every tile inside the board and, among tiles first..last, no two that intersect.
void ExpectVisibleAndApart(const SentenceBoard& board, int first, int last, const std::string& what) {
    for (const WordTile& t : board.WordTiles) {
        EXPECT_GE(t.Left, 0) << what << " " << t.Text;
        EXPECT_GE(t.Top, 0) << what << " " << t.Text;
        EXPECT_LE(t.Top + t.Height, H) << what << " " << t.Text;
        EXPECT_LE(t.Left + t.Width, W) << what << " " << t.Text;
    }
    for (int a = first; a <= last; ++a)
        for (int b = a + 1; b <= last; ++b)
            EXPECT_FALSE(Intersect(board.WordTiles[a], board.WordTiles[b]))
                << what << ": " << board.WordTiles[a].Text << " at " << board.WordTiles[a].Left << ","
                << board.WordTiles[a].Top << " and " << board.WordTiles[b].Text << " at " << board.WordTiles[b].Left
                << "," << board.WordTiles[b].Top;
}

// Narrow text: one pixel a byte, so that 200 short words fit on the board.
class NarrowMetrics final : public TextMetrics {
public:
    int TextWidth(std::string_view text) const override { return static_cast<int>(text.size()); }
    int TextHeight(std::string_view) const override { return 23; }
};

TEST_F(LayoutTest, ColumnLayoutBeyondTheStaircaseShowsEveryTileApart) {
    options.FirstSPos = 1;
    for (int n : {29, 60}) {
        Lay(Words(n), std::vector<int>(n, 0));
        ASSERT_EQ(board.WordTileCount(), n);
        ExpectVisibleAndApart(board, 0, n - 1, std::to_string(n) + " words");
    }
    NarrowMetrics narrow;
    row.stract = Words(200);
    rng = ScriptedRandom(std::vector<int>(200, 0));
    SentenceLayout(narrow, rng).Prepare(row, options, lookup, board, debugLines);
    ASSERT_EQ(board.WordTileCount(), 200);
    ExpectVisibleAndApart(board, 0, 199, "200 words");
}

TEST_F(LayoutTest, ColumnLayoutOfWordsOfEveryWidthShowsEveryTileApart) {
    options.FirstSPos = 1;
    for (int n : {5, 12, 20, 28, 29, 35, 45}) {
        for (uint32_t seed = 1; seed <= 40; ++seed) {
            std::string s;
            uint32_t v = seed * 2654435761u + static_cast<uint32_t>(n);
            for (int i = 0; i < n; ++i) {
                v = v * 1103515245u + 12345u;
                s += (i ? " " : "") + std::string(1 + (v >> 16) % 8, static_cast<char>('a' + i % 26));
            }
            row.stract = s;
            StdRandom real(seed);
            SentenceLayout(metrics, real).Prepare(row, options, lookup, board, debugLines);
            ASSERT_EQ(board.WordTileCount(), n);
            ExpectVisibleAndApart(board, 0, n - 1, std::to_string(n) + " words, seed " + std::to_string(seed));
        }
    }
}

TEST_F(LayoutTest, ColumnLayoutOfAVeryWideWordKeepsTheOthersOnTheBoard) {
    options.FirstSPos = 1;
    Lay(Words(10) + " " + std::string(70, 'x'), std::vector<int>(11, 0));
    int wide = -1;
    for (int i = 0; i < board.WordTileCount(); ++i)
        if (board.WordTiles[i].Width > W) wide = i;
    ASSERT_GE(wide, 0);
    EXPECT_EQ(board.WordTiles[wide].Left, 0);  // as much of it as the board shows
    for (int i = 0; i < board.WordTileCount(); ++i) {
        if (i == wide) continue;
        const WordTile& t = board.WordTiles[i];
        EXPECT_GE(t.Left, 0);
        EXPECT_LE(t.Left + t.Width, W);
        EXPECT_FALSE(Intersect(t, board.WordTiles[wide])) << t.Text;
    }
}

TEST_F(LayoutTest, ColumnLayoutOfMoreThanTheBoardHoldsLaysTheRestOverTheFirstLayer) {
    options.FirstSPos = 1;
    Lay(Words(200), std::vector<int>(200, 0));
    ASSERT_EQ(board.WordTileCount(), 200);
    // Tiles 42 wide, 46 apart: seven rows of twelve fill the board (tiles 199 down to 116); the
    // rest lies over them, on the board too, again apart from each other.
    ExpectVisibleAndApart(board, 200 - 84, 199, "first layer");
    ExpectVisibleAndApart(board, 200 - 168, 200 - 85, "second layer");
}

TEST_F(LayoutTest, ColumnLayoutOnATinyBoardFinishes) {
    options.FirstSPos = 1;
    options.BoardHeight = 30;  // lower than one row
    Lay(Words(12), std::vector<int>(12, 0));
    EXPECT_EQ(board.WordTileCount(), 12);
}

TEST_F(LayoutTest, LongSentencesAndWordsHaveNoFixedLimit) {
    std::string longWord(120, 'x');
    Lay(Words(150) + " " + longWord);
    ASSERT_EQ(board.WordTileCount(), 151);
    bool found = false;
    for (const WordTile& t : board.WordTiles) found |= t.Text == longWord;
    EXPECT_TRUE(found);
}

class TypedLayoutTest : public LayoutTest {
protected:
    void SetUp() override {
        row.igansw = 12;
        row.isound = 1;
        row.isigns = 1;
        row.strind = "0";
        options.InputAfter = 12;
        options.DoInpWords = 1;
    }
};

TEST_F(TypedLayoutTest, FreshSentenceTypesTheThreeMarkedWordsNearestTheEnd) {
    for (const char* w : {"one", "two", "three", "four", "five"}) Mark(w, 2);
    Lay("one two three four five", {10, 10});
    EXPECT_EQ(board.TypedWordTiles, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(board.ItemTypingEnabled);
    ASSERT_EQ(board.WordWeightPairs.size(), 10u);
    EXPECT_EQ(board.WordWeightPairs[0], 1);
    for (int t = 0; t < 5; ++t) EXPECT_EQ(board.WordCounts[2 * t], 2);
    // The typed tiles are 20 wider and carry edits 0, 1, 2 from the end of the sentence.
    EXPECT_EQ(board.WordTiles[0].Text, "five");
    EXPECT_EQ(board.WordTiles[0].Width, 40 + 12 + 20);
    EXPECT_EQ(board.WordTiles[0].InputEdit, 0);
    EXPECT_EQ(board.WordTiles[2].InputEdit, 2);
    EXPECT_EQ(board.WordTiles[3].InputEdit, -1);
    EXPECT_EQ(board.WordTiles[3].Width, 30 + 12);
}

TEST_F(TypedLayoutTest, TypedModePlacesEveryTileInSentenceOrder) {
    for (const char* w : {"cat", "sat"}) Mark(w, 1);
    const LayoutResult r = Lay("The cat sat", {6, 10});  // x = 10, margin = 30
    ASSERT_EQ(board.WordTileCount(), 3);
    const WordTile& the = board.WordTiles[2];
    EXPECT_EQ(the.Left, 10);
    EXPECT_EQ(the.Top, 4);
    EXPECT_EQ(the.Row, 0);
    EXPECT_EQ(the.Color, kPlacedTileColor);
    EXPECT_EQ(board.WordTiles[1].Left, 10 + 42 + 5);
    EXPECT_EQ(board.WordTiles[0].Left, 10 + 42 + 5 + 62 + 5);
    EXPECT_FALSE(r.FreeEdit.Visible);
    EXPECT_FALSE(r.FreeEdit.Enabled);
    EXPECT_EQ(r.FreeEdit.Top, 40);
}

TEST_F(TypedLayoutTest, TypedModeWrapsWhenTheTilePassesTheMargin) {
    // Tiles of 9 bytes: 102 wide, the typed first word 122. x = 4, margin = 20: the limit is 562.
    std::string s;
    for (int i = 0; i < 8; ++i) s += (i ? " " : "") + std::string("abcdefgh") + char('a' + i);
    Mark("abcdefgha", 1);
    Lay(s, {0, 0});
    // Lefts 4, 131, 238, 345, 452: the fifth ends at 554, the sixth would end at 661 > 562.
    const WordTile& sixth = board.WordTiles[8 - 6];
    EXPECT_EQ(sixth.Row, 1);
    EXPECT_EQ(sixth.Left, 4);
    EXPECT_EQ(sixth.Top, 47);
    EXPECT_EQ(board.WordTiles[8 - 7].Left, 4 + 102 + 5);
    EXPECT_EQ(board.WordTiles[8 - 5].Row, 0);
    EXPECT_EQ(board.WordTiles[8 - 5].Left, 452);
}

TEST_F(TypedLayoutTest, KeysChooseTheLightestWordsInTileOrder) {
    // Weights from the stored list; key = weight x count.
    Mark("aa", 1);
    Mark("bb", 1);
    Mark("cc", 1);
    Mark("dd", 1);
    Mark("ee", 70000);  // weight 1 x 70000: never typed
    // tiles: 0 ee, 1 dd, 2 cc, 3 bb, 4 aa
    row.strind = "1 1 1 5 1 2 1 2 1 9 ";
    Lay("aa bb cc dd ee", {0, 0});
    EXPECT_EQ(board.TypedWordTiles, (std::vector<int>{1, 2, 3}));  // keys 5, 2, 2 (equal keys: tile order)
    EXPECT_EQ(board.WordTiles[1].InputEdit, 0);
    EXPECT_EQ(board.WordTiles[3].InputEdit, 2);
    // The flags are the current marks, the weights are the stored ones.
    EXPECT_EQ(board.WordWeightPairs, (std::vector<int>{1, 1, 1, 5, 1, 2, 1, 2, 1, 9}));
}

TEST_F(TypedLayoutTest, OnlyMarkedWordsUnderTheKeyLimitAreTyped) {
    Mark("two", 1, 0);    // found, not marked
    Mark("three", 65535);  // weight 1 x 65535: never typed
    row.strind = "1 1 1 1 1 1 ";
    Lay("one two three", {0, 0, 0});
    EXPECT_TRUE(board.TypedWordTiles.empty());
    EXPECT_EQ(board.WordWeightPairs, (std::vector<int>{1, 1, 0, 1, 0, 1}));
    // No typed words: the tiles are laid out free.
    for (const WordTile& t : board.WordTiles) EXPECT_EQ(t.Row, -1);
}

TEST_F(TypedLayoutTest, GateKeepsTheEarlierWeights) {
    Mark("cat", 1);
    struct Gate {
        int igansw, isound, doInpWords;
    } gates[] = {{11, 1, 1}, {12, -1, 1}, {12, 1, 0}};
    for (const Gate& g : gates) {
        board.WordWeightPairs = {7, 7};
        board.WordCounts = {8, 8};
        board.ItemTypingEnabled = true;
        row.igansw = g.igansw;
        row.isound = g.isound;
        options.DoInpWords = g.doInpWords;
        Lay("The cat", {0});
        EXPECT_TRUE(board.TypedWordTiles.empty());
        EXPECT_EQ(board.WordWeightPairs, (std::vector<int>{7, 7}));
        EXPECT_EQ(board.WordCounts, (std::vector<int>{8, 8}));
        EXPECT_TRUE(board.ItemTypingEnabled);
    }
}

TEST_F(TypedLayoutTest, SentenceWithoutTypingKeepsTheParsedWeights) {
    Mark("cat", 1);
    row.isigns = 0;
    row.strind = "1 4 0 2 ";
    Lay("The cat", {0});
    EXPECT_FALSE(board.ItemTypingEnabled);
    EXPECT_TRUE(board.TypedWordTiles.empty());
    EXPECT_EQ(board.WordWeightPairs, (std::vector<int>{1, 4, 0, 2}));
}

TEST_F(TypedLayoutTest, ManyTilesGetPairsForEveryTile) {
    Mark("ab", 1);  // the digits of the words are not part of them
    std::string many;
    for (int i = 0; i < 500; ++i) many += "3 ";
    row.strind = many;
    Lay(Words(60), {0, 0});
    EXPECT_EQ(board.WordWeightPairs.size(), 120u);
    EXPECT_EQ(board.WordCounts.size(), 120u);
    EXPECT_EQ(board.TypedWordCount(), 3);
}

TEST_F(LayoutTest, FreeWordEditFollowsTheSetting) {
    options.DoAddInpWr = 1;
    EXPECT_TRUE(Lay("a b", {0}).FreeEdit.Visible);
    EXPECT_EQ(Lay("a b", {0}).FreeEdit.Top, 4);
    options.DoAddInpWr = 0;
    const LayoutResult r = Lay("a b", {0});
    EXPECT_FALSE(r.FreeEdit.Visible);
    EXPECT_FALSE(r.FreeEdit.Enabled);
    EXPECT_EQ(r.FreeEdit.Top, 40);
}

TEST_F(LayoutTest, LabelsComeFromTheRow) {
    row.iaansw = 0;
    row.strbef = "before";
    row.straft = "after";
    row.strtrn = "comment";
    options.ShowNxtSnt = 1;
    LayoutResult r = Lay("x");
    EXPECT_TRUE(r.NewSentenceMark);
    EXPECT_EQ(r.BeforeText, "before");
    EXPECT_TRUE(r.AfterVisible);
    EXPECT_EQ(r.AfterText, "after");
    EXPECT_EQ(r.Comment, "comment");
    row.iaansw = 3;
    options.ShowNxtSnt = 0;
    r = Lay("x");
    EXPECT_FALSE(r.NewSentenceMark);
    EXPECT_FALSE(r.AfterVisible);
    EXPECT_EQ(r.AfterText, "");
}

TEST_F(LayoutTest, DebugLineRollsTheSchedulingLines) {
    options.DebugMode = true;
    options.ShowNxtSnt = 0;
    debugLines = {"a", "b", "c", ""};
    row.iplace = 17;
    row.irng_2 = 10;
    row.dtansw = "2024-03-01 12:00:00";
    CivilTime t;
    t.year = 2024;
    t.month = 3;
    t.day = 2;
    options.LastNextTime = EncodeDateTime(t);
    const LayoutResult r = Lay("x");
    EXPECT_EQ(debugLines[0], "b");
    EXPECT_EQ(debugLines[2], "17 10");
    EXPECT_EQ(debugLines[3], "b c 17 10 0.50");
    EXPECT_EQ(r.AfterText, debugLines[3]);
}

}  // namespace
}  // namespace lq
