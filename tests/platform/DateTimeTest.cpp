#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <ostream>
#include <string>

#include "platform/DateTime.h"

namespace lq {
namespace {

constexpr double kSecond = 1.0 / 86400.0;

struct DateCase {
    double value;
    const char* text;
};
void PrintTo(const DateCase& c, std::ostream* os) { *os << c.text; }

class DateTable : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTable, TextAndValueBothWays) {
    EXPECT_EQ(DateText(GetParam().value), GetParam().text);
    double parsed = -1;
    ASSERT_TRUE(ParseDateText(GetParam().text, parsed));
    EXPECT_NEAR(parsed, GetParam().value, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DateTable,
    ::testing::Values(DateCase{0.0, "1899-12-30 00:00:00"}, DateCase{1.0, "1899-12-31 00:00:00"},
                      DateCase{2.0, "1900-01-01 00:00:00"}, DateCase{60.0, "1900-02-28 00:00:00"},
                      DateCase{61.0, "1900-03-01 00:00:00"},  // 1900 had no 29 February
                      DateCase{36526.0, "2000-01-01 00:00:00"}, DateCase{36585.0, "2000-02-29 00:00:00"},
                      DateCase{45351.5, "2024-02-29 12:00:00"}, DateCase{45352.0, "2024-03-01 00:00:00"},
                      DateCase{45000.25, "2023-03-15 06:00:00"},
                      DateCase{2958465.0 + 86399 * kSecond, "9999-12-31 23:59:59"}));

TEST(DateText, RoundsToMillisecondsThenCutsToSeconds) {
    CivilTime t;
    t.year = 2024;
    t.month = 12;
    t.day = 31;
    t.hour = 23;
    t.minute = 59;
    t.second = 59;
    const double base = EncodeDateTime(t);
    EXPECT_EQ(DateText(base), "2024-12-31 23:59:59");
    EXPECT_EQ(DateText(base + 0.9994 * kSecond), "2024-12-31 23:59:59");  // 999 ms: cut
    EXPECT_EQ(DateText(base + 0.9996 * kSecond), "2025-01-01 00:00:00");  // rounds to 1000 ms
    EXPECT_EQ(DateText(base + 0.5 * kSecond), "2024-12-31 23:59:59");
    // A whole second computed in floating point still prints as that second.
    EXPECT_EQ(DateText(EncodeDateTime({2023, 5, 6, 7, 8, 8, 0}) + kSecond), "2023-05-06 07:08:09");
}

TEST(DateText, HalfADayIsTwelveWallClockHours) {
    double v = 0;
    ASSERT_TRUE(ParseDateText("2024-03-31 01:30:00", v));  // a summer-time change in Europe
    EXPECT_EQ(DateText(v + 0.5), "2024-03-31 13:30:00");
    EXPECT_EQ(DateText(v - 1.0), "2024-03-30 01:30:00");
}

TEST(DateText, NonFiniteAndHugeValuesStayHarmless) {
    EXPECT_EQ(DateText(std::numeric_limits<double>::quiet_NaN()), "1899-12-30 00:00:00");
    EXPECT_EQ(DateText(std::numeric_limits<double>::infinity()), "1899-12-30 00:00:00");
    EXPECT_FALSE(DateText(1e300).empty());
    EXPECT_FALSE(DateText(-1e300).empty());
}

TEST(DecodeDateTime, FieldsOfAValue) {
    const CivilTime t = DecodeDateTime(45351.5 + 1.25 * kSecond);
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.hour, 12);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 1);
    EXPECT_EQ(t.msec, 250);
}

TEST(ParseDateFields, ReadsDecimalFieldsInOrder) {
    int f[6] = {-1, -1, -1, -1, -1, -1};
    // "08" and "09" are decimal numbers here (a "%i" scan would take them as octal).
    EXPECT_EQ(ParseDateFields("2024-08-09 08:09:59", f), 6);
    EXPECT_EQ(f[0], 2024);
    EXPECT_EQ(f[1], 8);
    EXPECT_EQ(f[2], 9);
    EXPECT_EQ(f[3], 8);
    EXPECT_EQ(f[4], 9);
    EXPECT_EQ(f[5], 59);

    int g[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(ParseDateFields("2020-01", g), 2);
    EXPECT_EQ(g[0], 2020);
    EXPECT_EQ(g[1], 1);
    EXPECT_EQ(g[2], 3) << "fields that are not there stay as they were";
    EXPECT_EQ(ParseDateFields("", g), 0);
    EXPECT_EQ(ParseDateFields("x2020", g), 0);
}

TEST(ParseDateText, RefusesIncompleteOrImpossibleTexts) {
    for (const char* text : {"", "2024-01-01", "2024-01-01 10:20", "garbage", "2024-13-01 00:00:00",
                             "2024-00-10 00:00:00", "2024-01-32 00:00:00", "2024-01-01 24:00:00",
                             "2024-01-01 00:60:00", "0-01-01 00:00:00"}) {
        double v = 123.0;
        EXPECT_FALSE(ParseDateText(text, v)) << text;
        EXPECT_EQ(v, 123.0) << text;
    }
}

TEST(NowDateTime, IsTheLocalWallClock) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const double value = NowDateTime();
    const CivilTime t = DecodeDateTime(value);
    EXPECT_EQ(t.year, local.tm_year + 1900);
    EXPECT_EQ(t.month, local.tm_mon + 1);
    // Within a few seconds of the C library's local time.
    CivilTime c{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
    EXPECT_NEAR(value, EncodeDateTime(c), 5 * kSecond);
    SystemClock clock;
    EXPECT_NEAR(clock.Now(), value, 5 * kSecond);
}

}  // namespace
}  // namespace lq
