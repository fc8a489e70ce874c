#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "pages/SettingValues.h"
#include "tests/support/CommaLocale.h"

namespace lq {
namespace {

void CheckParses() {
    const std::pair<std::string, float> addTime[] = {
        {"5", 3.0f},      {"-1", 0.0f},   {"1.5", 1.5f},  {"", 0.0f},      {"abc", 0.0f},
        {"nan", 0.0f},    {"inf", 0.0f},  {"-inf", 0.0f}, {"0x1p1", 0.0f}, {"1,5", 1.0f},
        {" 2.5s", 2.5f},  {"1e999", 0.0f}, {"-0", 0.0f},  {".5", 0.5f},    {std::string(60, '1'), 3.0f},
        {std::string(60, '0') + "2", 2.0f},
    };
    for (const auto& [text, value] : addTime) EXPECT_EQ(ParseAddTimeSnd(text), value) << '"' << text << '"';
    EXPECT_FALSE(std::signbit(ParseAddTimeSnd("-0")));

    const std::pair<std::string, int> inputAfter[] = {
        {"2", 4}, {"30", 12}, {"", 4}, {"99999999999", 12}, {"-99999999999", 4}, {"7", 7}, {"8x", 8}, {"abc", 4},
    };
    for (const auto& [text, value] : inputAfter) EXPECT_EQ(ParseInputAfter(text), value) << '"' << text << '"';

    EXPECT_EQ(FormatAddTimeSnd(3.0f), "3.0");
    EXPECT_EQ(FormatAddTimeSnd(0.25f), "0.2");  // exact binary ties go to even
    EXPECT_EQ(FormatAddTimeSnd(2.25f), "2.2");
    EXPECT_EQ(FormatAddTimeSnd(1.5f), "1.5");
}

TEST(SettingNumbers, CLocaleDecimalsOnly) { CheckParses(); }

TEST(SettingNumbers, TheSameUnderADecimalCommaLocale) {
    test::CommaLocale comma;
    if (!comma.Activate()) GTEST_SKIP() << "no locale with a decimal comma available";
    CheckParses();
}

TEST(SettingPlayDelay, IndexToDelayAndBack) {
    const std::pair<int, uint32_t> byIndex[] = {{0, 2000}, {1, 3000}, {2, 4000}, {3, 5000}, {4, 10000}, {-1, 10000}, {7, 10000}};
    for (const auto& [index, delay] : byIndex) EXPECT_EQ(PlayDelayForIndex(index), delay) << index;
    const std::pair<uint32_t, int> byDelay[] = {{0, 0},    {2000, 0}, {2001, 1}, {2500, 1},          {3000, 1},
                                                {4000, 2}, {5000, 3}, {5001, 4}, {0xFFFFFFFFu, 4}};
    for (const auto& [delay, index] : byDelay) EXPECT_EQ(PlayDelayIndex(delay), index) << delay;
}

}  // namespace
}  // namespace lq
