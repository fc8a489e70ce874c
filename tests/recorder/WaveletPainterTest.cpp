#include "recorder/WaveletPainter.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/Colors.h"
#include "platform/CNumbers.h"
#include "recorder/DrawWave.h"
#include "tests/recorder/WaveletTestSupport.h"

namespace lq {
namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;

// The 179-pixel analysis view of the window, 400 pixels wide, with the analysis of a 1-s tone.
class WaveletPaintTest : public testing::Test {
protected:
    static constexpr float kCentre = 600000.0f;
    static constexpr float kWidth = 1.2e6f;
    WaveletCanvas canvas{400, 179};

    static std::vector<WaveletGrid> Analyse(const WaveletSignal& signal, int levels) {
        auto grids = ComputeWaveletLevels(signal, {kCentre, kWidth, levels, 5.0f});
        return grids ? *grids : std::vector<WaveletGrid>{};
    }
    static WaveletSignal ToneSignal() {
        const auto image = test::MakeWave(11025, 1, 11025, test::Tone(1e4, -5.9, 11025));
        return WaveletSignalFromImage(image.data(), image.size());
    }
    int CountColour(QRgb c) const {
        int n = 0;
        for (int y = 0; y < canvas.Image().height(); ++y)
            for (int x = 0; x < canvas.Image().width(); ++x) n += canvas.Image().pixel(x, y) == c;
        return n;
    }
};

TEST_F(WaveletPaintTest, Level0OfSilenceFillsTheViewBlackWithItsFrameJustOutside) {
    const auto grids = Analyse(test::MonoSignal(11025, [](int) { return int16_t{0}; }), 1);
    ASSERT_EQ(grids.size(), 1u);
    canvas.Paint(grids, kCentre, kWidth, -5.0f);
    EXPECT_EQ(CountColour(kBlack), 400 * 179);
}

TEST_F(WaveletPaintTest, Level1FrameSurroundsItsCellsAroundThePeak) {
    const auto grids = Analyse(ToneSignal(), 2);
    ASSERT_EQ(grids.size(), 2u);
    canvas.Paint(grids, kCentre, kWidth, -5.0f);
    const WaveletGrid& g = grids[1];
    // Where the frame lies on this axis: x = (t - viewStart) * W / ViewWidth, y = (f + 8.5) * H / 5.2.
    const float xScale = 400.0f / kWidth, yScale = 179.0f / 5.2f;
    const float x0 = g.T0 - (kCentre - kWidth * 0.5f);
    const int xa = TruncToInt(x0 * xScale), xb = TruncToInt((50 * g.Dt + x0) * xScale);
    const int ya = TruncToInt((g.F0 + 8.5f) * yScale), yb = TruncToInt((25 * g.Df + g.F0 + 8.5f) * yScale);
    ASSERT_GT(xa, 1);
    ASSERT_LT(xb, 396);
    ASSERT_GT(ya, 1);
    ASSERT_LT(yb, 175);
    const QImage& image = canvas.Image();
    // The outline: columns xa-1 and xb+1, rows ya-1 and yb+2 (the rectangle's right and bottom
    // edges, xb+2 and yb+3, are left out), hugging the cells.
    for (int y = ya - 1; y <= yb + 2; ++y) {
        EXPECT_EQ(image.pixel(xa - 1, y), kRed) << y;
        EXPECT_EQ(image.pixel(xb + 1, y), kRed) << y;
    }
    for (int x = xa - 1; x <= xb + 1; ++x) {
        EXPECT_EQ(image.pixel(x, ya - 1), kRed) << x;
        EXPECT_EQ(image.pixel(x, yb + 2), kRed) << x;
    }
    // Just outside, level 0's cells; inside, level 1's cells cover the frame's white inside.
    EXPECT_NE(image.pixel(xa - 2, (ya + yb) / 2), kRed);
    EXPECT_NE(image.pixel(xb + 2, (ya + yb) / 2), kRed);
    for (int y = ya; y <= yb + 1; ++y)
        for (int x = xa; x <= xb; ++x) EXPECT_NE(image.pixel(x, y), kWhite) << x << "," << y;
    // The peak cell is the brightest of its grid: k 754, blue 242, green 13.
    const int ip = TruncToInt((g.TPeak - g.T0) / g.Dt + 0.5f), jp = TruncToInt((g.FPeak - g.F0) / g.Df + 0.5f);
    EXPECT_EQ(g.Magnitude(ip, jp), g.Max);
    EXPECT_EQ(MagnitudeColor(g.Max - g.Min, (g.Max - g.Min) * 1.1f, -5.0f), 0xF20D00u);
}

TEST_F(WaveletPaintTest, EachAnalysisPaintsOverThePreviousOne) {
    const auto tone = Analyse(ToneSignal(), 2);
    canvas.Paint(tone, kCentre, kWidth, -5.0f);
    const QImage first = canvas.Image().copy();
    // A second analysis of the deeper level alone, on a view moved to the right: what it does not
    // cover keeps the first picture.
    std::vector<WaveletGrid> deeper{tone[1]};
    canvas.Paint(deeper, kCentre - 300000.0f, kWidth, -5.0f);
    const QImage& second = canvas.Image();
    int kept = 0, changed = 0;
    for (int y = 0; y < 179; ++y)
        for (int x = 0; x < 400; ++x) (second.pixel(x, y) == first.pixel(x, y) ? kept : changed)++;
    EXPECT_GT(kept, 400 * 179 * 9 / 10);
    EXPECT_GT(changed, 100);
}

TEST_F(WaveletPaintTest, DefaultGridsLieBelowTheView) {
    // "Sh" before any analysis: the initial grids' cells start at f = 0.1, far under the view.
    canvas.Paint(std::vector<WaveletGrid>(1), kCentre, kWidth, -5.0f);
    EXPECT_EQ(CountColour(kWhite), 400 * 179);
}

TEST_F(WaveletPaintTest, AbsurdAxesPaintWithoutOverflow) {
    const auto grids = Analyse(ToneSignal(), 3);
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float widths[] = {0.0f, 1e-30f, -1e6f, 3e38f, inf, nan, 1.0f};
    const float centres[] = {0.0f, -3e38f, 3e38f, nan};
    for (const float w : widths)
        for (const float c : centres) canvas.Paint(grids, c, w, -5.0f);
    // Grids whose own fields are absurd.
    WaveletGrid odd = grids[0];
    odd.Dt = 3e38f;
    odd.Df = -3e38f;
    odd.Max = inf;
    canvas.Paint({odd}, kCentre, kWidth, -5.0f);
    odd.Magnitudes.resize(3);
    canvas.Paint({odd}, kCentre, kWidth, -5.0f);
    WaveletCanvas empty;
    empty.Paint(grids, kCentre, kWidth, -5.0f);
    EXPECT_TRUE(empty.Image().isNull());
}

TEST_F(WaveletPaintTest, ResizeKeepsThePicture) {
    canvas.Paint(Analyse(ToneSignal(), 1), kCentre, kWidth, -5.0f);
    const QImage before = canvas.Image().copy();
    canvas.Resize(500, 200);
    EXPECT_EQ(canvas.Image().size(), QSize(500, 200));
    EXPECT_EQ(canvas.Image().copy(0, 0, 400, 179), before);
    EXPECT_EQ(canvas.Image().pixel(450, 190), kWhite);
    canvas.Resize(100, 50);
    EXPECT_EQ(canvas.Image().copy(), before.copy(0, 0, 100, 50));
}

// However large the view is made, the picture stays within the bound (and keeps what it held).
TEST_F(WaveletPaintTest, ResizeIsBounded) {
    canvas.Paint(Analyse(ToneSignal(), 1), kCentre, kWidth, -5.0f);
    const QImage before = canvas.Image().copy();
    canvas.Resize(16777215, 999999999);
    ASSERT_EQ(canvas.Image().size(), QSize(rec::kMaxViewSide, rec::kMaxViewSide));
    EXPECT_EQ(canvas.Image().copy(0, 0, 400, 179), before);
    canvas.Resize(-999999999, 16777215);
    EXPECT_EQ(canvas.Image().width(), 0);
    EXPECT_TRUE(canvas.Image().isNull());
}

}  // namespace
}  // namespace lq
