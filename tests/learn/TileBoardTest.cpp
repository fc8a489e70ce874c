#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <string>
#include <vector>

#include "platform/Fonts.h"
#include "learn/TextMetrics.h"
#include "learn/TileBoard.h"

namespace lq {
namespace {

class TileBoardTest : public ::testing::Test {
protected:
    TileBoardTest() : board(sb) {
        sb.RowPitch = 43;
        board.SentenceSource = [this] { return stract; };
        board.EditText = [this](int k) { return edits[k]; };
        board.Repaint = [this] { ++repaints; };
        board.SolveResult = [this](bool s) {
            solved = s;
            ++solveTests;
        };
    }
    // Adds a tile; Row -1 is free.
    int Add(const std::string& text, int left, int top, int row = -1, int width = 0) {
        WordTile t;
        t.Text = text;
        t.Left = left;
        t.Top = top;
        t.Row = row;
        t.Width = width ? width : 10 * static_cast<int>(text.size()) + 12;
        t.Height = 35;
        t.Color = row == -1 ? kFreeTileColor : kPlacedTileColor;
        sb.WordTiles.push_back(t);
        return sb.WordTileCount() - 1;
    }
    WordTile& T(int i) { return sb.WordTiles[i]; }

    SentenceBoard sb;
    TileBoard board;
    std::string stract;
    std::string edits[3];
    int repaints = 0;
    int solveTests = 0;
    bool solved = false;
};

TEST_F(TileBoardTest, DropSnapsToTheNearestRow) {
    struct Case {
        int top, row, snapped;
    } cases[] = {{0, 0, 4},    {21, 0, 4},   {22, 1, 47},  {64, 1, 47}, {65, 2, 90},
                 {284, 6, 262}, {-30, 0, 4}, {-70, -1, -39}};
    for (const Case& c : cases) {
        sb.WordTiles.clear();
        board.SelectedTile = Add("w", 100, c.top);
        board.DropSelectedTile();
        EXPECT_EQ(T(0).Row, c.row) << c.top;
        EXPECT_EQ(T(0).Top, c.snapped) << c.top;
    }
}

TEST_F(TileBoardTest, ComposeReadsRowsByLeft) {
    Add("c", 50, 47, 1);
    Add("b", 200, 4, 0);
    Add("a", 10, 4, 0);
    Add("tie", 200, 4, 0);  // same Left as "b": index order
    Add("free", 10, 200, -1);
    Add("low", 10, 305, 7);  // row 7 is not part of the answer
    EXPECT_EQ(board.ComposeAnswerText(), "a b tie c ");
}

TEST_F(TileBoardTest, TypedTileCountsOnlyWithItsWord) {
    Add("sat.", 100, 4, 0);
    T(0).InputEdit = 1;
    Add("The", 10, 4, 0);
    edits[1] = "SAT";
    EXPECT_EQ(board.ComposeAnswerText(), "The sat. ");
    edits[1] = "sit";
    EXPECT_EQ(board.ComposeAnswerText(), "The *** ");
}

TEST(SolveTest, ComparesLowerCaseWithTheCollapsedSentence) {
    struct Case {
        const char* answer;
        const char* stract;
        bool solved;
    } cases[] = {
        {"The cat ", "the CAT", true},
        {"The cat ", " The cat \r\n", true},
        {"The cat ", "The  cat", true},  // a double blank stored inside
        {"cat The ", "The cat", false},
        {"The cat", "The cat", false},
        {"\xC4\xE0 ", "\xE4\xC0", true},  // Cyrillic capitals and small letters
        // A sentence without words is spelled by no words, and only by them.
        {"", "", true},
        {"", " \t\r\n ", true},
        {" ", "", false},
        {"a ", "  ", false},
        {"", "a", false},
    };
    for (const Case& c : cases) EXPECT_EQ(AnswerSpellsSentence(c.answer, c.stract), c.solved) << c.answer;
}

TEST_F(TileBoardTest, AWordlessSentenceIsSolvedAsSoonAsItIsLaidOut) {
    stract = "   ";
    EXPECT_TRUE(board.SolveIfWordless());
    EXPECT_EQ(solveTests, 1);
    EXPECT_TRUE(solved);
    // With tiles on the board nothing runs: the learner's moves do the solve test.
    stract = "one";
    solved = false;
    Add("one", 300, 200);
    EXPECT_FALSE(board.SolveIfWordless());
    EXPECT_EQ(solveTests, 1);
    EXPECT_FALSE(solved);
}

TEST_F(TileBoardTest, TwoBlanksInARowCanBeSolved) {
    stract = "The  cat";
    Add("cat", 300, 200);
    board.SelectedTile = Add("The", 300, 150);
    board.MouseUp(true);  // placed after the last placed tile: first in row 0
    board.SelectedTile = 0;
    board.MouseUp(true);
    EXPECT_TRUE(solved);
}

TEST_F(TileBoardTest, PushMakesRoomOnBothSides) {
    // S at 100, 50 wide, row 0. Left side: a gap under 2 pixels is pushed to 3.
    struct Case {
        int otherLeft, otherWidth, expectedLeft;
    } cases[] = {
        {49, 50, 47},    // gap 1 at the left: ends 3 before S
        {48, 50, 48},    // gap 2: left alone
        {151, 40, 153},  // gap 1 at the right
        {152, 40, 152},  // gap 2: left alone
        {100, 40, 57},   // the same Left: pushed to the left
    };
    for (const Case& c : cases) {
        sb.WordTiles.clear();
        board.SelectedTile = Add("S", 100, 4, 0, 50);
        Add("o", c.otherLeft, 4, 0, c.otherWidth);
        board.ResolveRowOverlaps();
        EXPECT_EQ(T(1).Left, c.expectedLeft) << c.otherLeft;
        EXPECT_EQ(T(0).Left, 100);
    }
}

TEST_F(TileBoardTest, PushChainsAlongTheRow) {
    board.SelectedTile = Add("S", 100, 4, 0, 50);
    Add("a", 120, 4, 0, 40);
    Add("b", 160, 4, 0, 40);
    Add("c", 300, 4, 0, 40);
    Add("other row", 120, 47, 1, 40);
    Add("l1", 60, 4, 0, 40);
    Add("l2", 20, 4, 0, 40);
    EXPECT_TRUE(board.ResolveRowOverlaps());
    EXPECT_EQ(T(1).Left, 153);
    EXPECT_EQ(T(2).Left, 197);
    EXPECT_EQ(T(3).Left, 300);
    EXPECT_EQ(T(4).Left, 120);
    EXPECT_EQ(T(5).Left, 57);  // 3 before S
    EXPECT_EQ(T(6).Left, 13);  // 4 before l1
}

TEST_F(TileBoardTest, PlaceCurrentWordGoesAfterTheLastPlacedTile) {
    board.SelectedTile = Add("The", 300, 200);
    board.PlaceCurrentWord();
    EXPECT_EQ(T(0).Left, 25);
    EXPECT_EQ(T(0).Top, 4);
    EXPECT_EQ(T(0).Row, 0);
    board.SelectedTile = Add("cat", 300, 250);
    board.PlaceCurrentWord();
    EXPECT_EQ(T(1).Left, 25 + 42 + 15);
    EXPECT_EQ(T(1).Row, 0);
    // A tile that would pass width - 45 starts the next row.
    board.SelectedTile = Add(std::string(47, 'x'), 0, 250);  // 482 wide
    board.PlaceCurrentWord();
    EXPECT_EQ(T(2).Left, 25);
    EXPECT_EQ(T(2).Row, 1);
    EXPECT_EQ(T(2).Top, 47);
}

class DragTest : public TileBoardTest {
protected:
    void SetUp() override {
        stract = "one two";
        a = Add("one", 300, 256);  // 42 wide
        b = Add("two", 400, 256);
    }
    // Left button held from (x0, y0) to (x1, y1) in 5-pixel steps.
    void Drag(int x0, int y0, int x1, int y1) {
        board.MouseMove(false, x0, y0);
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) / 5 + 1;
        for (int k = 1; k <= steps; ++k)
            board.MouseMove(true, x0 + (x1 - x0) * k / steps, y0 + (y1 - y0) * k / steps);
    }
    int a = 0, b = 0;
};

TEST_F(DragTest, HoverSelectsAndColoursTheTile) {
    board.MouseMove(false, 310, 270);
    EXPECT_EQ(board.SelectedTile, a);
    EXPECT_EQ(T(a).Color, kHoverTileColor);
    board.MouseMove(false, 410, 270);
    EXPECT_EQ(board.SelectedTile, b);
    EXPECT_EQ(T(a).Color, kFreeTileColor);
    board.MouseMove(false, 5, 5);
    EXPECT_EQ(board.SelectedTile, -1);
    EXPECT_EQ(T(b).Color, kFreeTileColor);
    // The edges are outside (strict).
    board.MouseMove(false, 300, 270);
    EXPECT_EQ(board.SelectedTile, -1);
}

TEST_F(DragTest, HoverTakesTheTileDrawnOnTop) {
    const int over = Add("three", 320, 260);  // drawn after "one", over its right part
    board.MouseMove(false, 330, 270);
    EXPECT_EQ(board.SelectedTile, over);
    EXPECT_EQ(T(over).Color, kHoverTileColor);
    // Where only "one" lies, "one" is taken.
    board.MouseMove(false, 305, 262);
    EXPECT_EQ(board.SelectedTile, a);
    // A drag moves the tile on top.
    Drag(330, 270, 330, 100);
    EXPECT_EQ(T(over).Top, 260 - 170);
    EXPECT_EQ(T(a).Top, 256);
}

TEST_F(DragTest, DropHappensAtTheFirstMoveWithoutTheButton) {
    Drag(310, 270, 40, 30);
    EXPECT_TRUE(board.TileDragging);
    EXPECT_EQ(T(a).Row, -1) << "a release alone does not drop";
    board.MouseMove(false, 40, 30);
    EXPECT_FALSE(board.TileDragging);
    EXPECT_EQ(T(a).Row, 0);
    EXPECT_EQ(T(a).Top, 4);
    EXPECT_FALSE(solved);
    Drag(410, 270, 120, 30);
    board.MouseMove(false, 120, 30);
    EXPECT_TRUE(solved);
    // Swapping the two words unsolves it.
    Drag(40, 20, 200, 20);
    board.MouseMove(false, 200, 20);
    EXPECT_FALSE(solved);
}

TEST_F(DragTest, OutsideTheBandNothingMovesAndTheNextMoveJumps) {
    board.MouseMove(false, 310, 270);
    board.MouseMove(true, 300, 270);
    EXPECT_EQ(T(a).Left, 290);
    board.MouseMove(true, 5, 270);  // X outside 10 < X < 572
    EXPECT_EQ(T(a).Left, 290);
    EXPECT_EQ(board.LastMouseX, 300);
    board.MouseMove(true, 200, 270);
    EXPECT_EQ(T(a).Left, 190) << "the whole delta from the last position in the band";
    board.MouseMove(true, 200, 290);  // Y outside 10 < Y < 285
    EXPECT_EQ(T(a).Top, 256);
}

TEST_F(DragTest, ShiftWithoutAButtonDragsAndDraggingNeedsNoSelection) {
    board.MouseMove(true, 100, 100);  // nothing under the mouse
    EXPECT_TRUE(board.TileDragging);
    board.MouseMove(false, 310, 270);
    EXPECT_FALSE(board.TileDragging);
    board.MouseMove(true, 320, 200);  // "Shift held" is the same input for the board
    EXPECT_EQ(T(a).Top, 256 - 70);
}

TEST_F(DragTest, RightReleaseOnAFreeTilePlacesIt) {
    board.MouseMove(false, 410, 270);
    board.MouseUp(false);
    EXPECT_EQ(T(b).Row, -1);
    board.MouseUp(true);
    EXPECT_EQ(T(b).Row, 0);
    EXPECT_EQ(T(b).Left, 25);
}

TEST_F(DragTest, DropOntoANeighbourPushesItAndTestsAgain) {
    // "two" is dropped at exactly the Left of "one": the push moves "one" to its left, so the row
    // reads "one two" although index order alone would read "two one".
    stract = "one two";
    T(a).Row = 0;
    T(a).Top = 4;
    T(a).Left = 100;
    std::swap(sb.WordTiles[a], sb.WordTiles[b]);  // tile 0 is "two", tile 1 "one"
    board.MouseMove(false, 410, 270);
    ASSERT_EQ(board.SelectedTile, 0);
    board.MouseMove(true, 110, 20);  // Left 100, Top 6
    board.MouseMove(false, 110, 20);
    EXPECT_EQ(T(0).Left, 100);
    EXPECT_EQ(T(1).Left, 100 + 1 - 42 - 4);
    EXPECT_TRUE(solved);
}

TEST_F(DragTest, ResetClearsTheSelection) {
    board.MouseMove(false, 310, 270);
    board.MouseMove(true, 312, 270);
    board.ResetInteraction();
    EXPECT_EQ(board.SelectedTile, -1);
    EXPECT_FALSE(board.TileDragging);
    board.MouseUp(true);  // nothing to place
    EXPECT_EQ(T(a).Row, -1);
}

class TypedWordTest : public TileBoardTest {
protected:
    void SetUp() override {
        stract = "The cat, the cat sat";
        Add("sat", 400, 256);
        Add("cat", 300, 256);
        Add("the", 200, 256);
        Add("cat,", 100, 256);
        Add("The", 20, 256);
    }
};

TEST_F(TypedWordTest, TheNextWordIsPlacedWhenComplete) {
    EXPECT_FALSE(board.PlaceTypedWord("cat,")) << "not the first word";
    EXPECT_FALSE(board.PlaceTypedWord("th"));
    EXPECT_TRUE(board.PlaceTypedWord(" THE "));
    EXPECT_EQ(T(2).Row, 0) << "the first free tile in index order whose text matches";
    EXPECT_EQ(T(2).Left, 25);
    EXPECT_EQ(T(4).Row, -1);
    EXPECT_TRUE(board.PlaceTypedWord("Cat,"));
    EXPECT_EQ(T(3).Row, 0);
}

TEST_F(TypedWordTest, PunctuationMustBeTypedAndDuplicatesPlaceInTurn) {
    stract = "cat, cat";
    sb.WordTiles.clear();
    Add("cat", 300, 256);
    Add("cat,", 100, 256);
    EXPECT_FALSE(board.PlaceTypedWord("cat"));
    EXPECT_TRUE(board.PlaceTypedWord("CAT,"));
    EXPECT_EQ(T(1).Row, 0);
    EXPECT_EQ(T(1).Left, 25);
    EXPECT_EQ(T(1).Color, kPlacedTileColor);
    EXPECT_TRUE(board.PlaceTypedWord("cat"));
    EXPECT_EQ(T(0).Left, 25 + 52 + 15);
    EXPECT_TRUE(solved);
}

TEST_F(TypedWordTest, SameWordTwicePlacesOneTileThenTheOther) {
    stract = "go go";
    sb.WordTiles.clear();
    Add("go", 300, 256);
    Add("go", 100, 256);
    EXPECT_TRUE(board.PlaceTypedWord("go"));
    EXPECT_EQ(T(0).Row, 0);
    EXPECT_EQ(T(1).Row, -1);
    EXPECT_TRUE(board.PlaceTypedWord("go"));
    EXPECT_EQ(T(1).Row, 0);
    EXPECT_TRUE(solved);
    EXPECT_FALSE(board.PlaceTypedWord("go"));
}

TEST_F(TypedWordTest, DoubleBlankSentenceAcceptsItsWords) {
    stract = "The  cat";
    sb.WordTiles.clear();
    Add("cat", 300, 256);
    Add("The", 100, 256);
    EXPECT_TRUE(board.PlaceTypedWord("the"));
    EXPECT_TRUE(board.PlaceTypedWord("cat"));
    EXPECT_TRUE(solved);
}

TEST_F(TileBoardTest, ManyTilesInOneRow) {
    std::string sentence;
    for (int i = 0; i < 25; ++i) {
        const std::string w = "w" + std::to_string(i);
        sentence += (i ? " " : "") + w;
        Add(w, 10 + i * 20, 4, 0, 19);
    }
    // Stored right to left: the answer still reads by Left.
    stract = sentence;
    EXPECT_TRUE(board.RunSolveTest());
    board.SelectedTile = 12;
    board.ResolveRowOverlaps();
    for (int i = 1; i < 25; ++i) EXPECT_GE(T(i).Left - (T(i - 1).Left + 19), 3);
    EXPECT_TRUE(board.RunSolveTest());
}

class RenderTest : public TileBoardTest {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_learn";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance()) app = new QGuiApplication(argc, argv);
    }
    static inline QGuiApplication* app = nullptr;
};

TEST_F(RenderTest, BoardColoursAndTileEdges) {
    const int placed = Add("x", 100, 4, 0, 60);
    const int hover = Add("y", 300, 47, 1, 60);
    T(hover).Color = kHoverTileColor;
    QImage image(582, 544, QImage::Format_RGB32);
    image.fill(Qt::black);
    board.Draw(image, TahomaPoints(14), 19);
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0xF0, 0xF0, 0xC8));
    EXPECT_EQ(image.pixelColor(300, 43), QColor(0xE6, 0xE6, 0xBE));
    EXPECT_EQ(image.pixelColor(5, 43 * 12), QColor(0xE6, 0xE6, 0xBE)) << "row lines run down the whole image";
    EXPECT_EQ(image.pixelColor(T(placed).Left + 50, T(placed).Top + 30), QColor(0xD2, 0xD2, 0xD2));
    EXPECT_EQ(image.pixelColor(T(hover).Left + 50, T(hover).Top + 30), QColor(0xF0, 0xF0, 0xFF));
    EXPECT_EQ(image.pixelColor(T(placed).Left + 30, T(placed).Top), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(image.pixelColor(T(placed).Left + 59, T(placed).Top + 17), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(image.pixelColor(T(placed).Left + 60, T(placed).Top + 17), QColor(0xF0, 0xF0, 0xC8));
    EXPECT_EQ(image.pixelColor(T(placed).Left + 30, T(placed).Top + 35), QColor(0xF0, 0xF0, 0xC8));
}

TEST_F(RenderTest, TahomaMeasuresAsOnTheWindowsCanvas) {
    // 14 points at 96 dpi: a 19-pixel font whose line is 23 pixels, so the rows are 43 apart.
    const QFont font = TahomaPoints(14);
    EXPECT_EQ(font.pixelSize(), 19);
    const FontTextMetrics metrics(font);
    if (EnsureTahoma() == "Tahoma") {
        EXPECT_EQ(metrics.TextHeight("SSS"), 23);
        EXPECT_EQ(metrics.Ascent(), 19);
    }
    EXPECT_GT(metrics.TextWidth("SSS"), 20);
    EXPECT_EQ(metrics.TextWidth("\xCF\xF0\xE8"), QFontMetrics(font).horizontalAdvance(QString::fromUtf8("При")));
}

}  // namespace
}  // namespace lq
