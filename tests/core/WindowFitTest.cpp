#include <gtest/gtest.h>

#include <climits>

#include "core/WindowFit.h"

namespace lq {
namespace {

struct FitCase {
    const char* name;
    WindowGeometry wanted;  // left, top, height, width
    ScreenArea area;
    WindowFrame frame;
    WindowGeometry shown;
};

void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class FitWindowToAreaTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitWindowToAreaTest, ShownGeometry) {
    const FitCase& c = GetParam();
    const WindowGeometry g = FitWindowToArea(c.wanted, c.area, c.frame);
    EXPECT_EQ(g.Left, c.shown.Left);
    EXPECT_EQ(g.Top, c.shown.Top);
    EXPECT_EQ(g.Height, c.shown.Height);
    EXPECT_EQ(g.Width, c.shown.Width);
}

constexpr ScreenArea kScreen{0, 0, 800, 600};
// A second screen right of a first one, under a panel 30 pixels high.
constexpr ScreenArea kRightScreen{1920, 30, 1280, 994};

INSTANTIATE_TEST_SUITE_P(
    Cases, FitWindowToAreaTest,
    ::testing::Values(
        FitCase{"fits", {33, 44, 355, 622}, kScreen, {}, {33, 44, 355, 622}},
        FitCase{"exactlyTheArea", {0, 0, 600, 800}, kScreen, {}, {0, 0, 600, 800}},
        FitCase{"largestNineDigits", {999999999, 999999999, 999999999, 999999999}, kScreen, {}, {0, 0, 600, 800}},
        FitCase{"largestNineDigitsSizeOnly", {10, 500, 999999999, 999999999}, kScreen, {}, {0, 0, 600, 800}},
        FitCase{"negativeNineDigits", {-999999999, -999999999, -999999999, -999999999}, kScreen, {}, {0, 0, 1, 1}},
        FitCase{"negativePositionOnly", {-999999999, -5, 200, 500}, kScreen, {}, {0, 0, 200, 500}},
        FitCase{"zero", {0, 0, 0, 0}, kScreen, {}, {0, 0, 1, 1}},
        FitCase{"qtLargestWidgetWidth", {10, 500, 200, 16777215}, kScreen, {}, {0, 400, 200, 800}},
        FitCase{"pastTheRightEdge", {700, 10, 200, 200}, kScreen, {}, {600, 10, 200, 200}},
        FitCase{"intLimits", {INT_MAX, INT_MIN, INT_MAX, INT_MIN}, kScreen, {}, {799, 0, 600, 1}},
        FitCase{"frameCounts", {999999999, 999999999, 999999999, 999999999}, kScreen, {8, 30, 0, 0}, {0, 0, 570, 792}},
        FitCase{"framedAtTheBottom", {10, 500, 200, 500}, kScreen, {8, 30, 0, 0}, {10, 370, 200, 500}},
        FitCase{"minimumKept", {10, 10, 0, 0}, kScreen, {0, 0, 120, 60}, {10, 10, 60, 120}},
        FitCase{"minimumLargerThanTheArea", {50, 50, 100, 100}, kScreen, {0, 0, 1000, 700}, {0, 0, 700, 1000}},
        FitCase{"otherScreenFits", {2000, 100, 400, 600}, kRightScreen, {}, {2000, 100, 400, 600}},
        FitCase{"otherScreenFromDefaults", {10, 10, 500, 200}, kRightScreen, {}, {1920, 30, 500, 200}},
        FitCase{"otherScreenLargest", {999999999, 999999999, 999999999, 999999999}, kRightScreen, {},
                {1920, 30, 994, 1280}},
        FitCase{"emptyArea", {10, 10, 200, 200}, {0, 0, 0, 0}, {}, {0, 0, 1, 1}}),
    [](const ::testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lq
