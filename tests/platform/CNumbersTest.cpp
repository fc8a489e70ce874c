#include <gtest/gtest.h>

#include <sys/wait.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>

#include "platform/CNumbers.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

struct IntCase {
    const char* text;
    int value;
};
void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class CAtoiTable : public ::testing::TestWithParam<IntCase> {};

TEST_P(CAtoiTable, ReadsTheLeadingNumber) { EXPECT_EQ(CAtoi(GetParam().text), GetParam().value) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(
    Table, CAtoiTable,
    ::testing::Values(IntCase{"12", 12}, IntCase{" 12abc", 12}, IntCase{"\t\n\v\f\r 7", 7}, IntCase{"abc", 0},
                      IntCase{"", 0}, IntCase{"-", 0}, IntCase{"+", 0}, IntCase{"+5", 5}, IntCase{"-42x", -42},
                      IntCase{"+-5", 0}, IntCase{"- 5", 0}, IntCase{"007", 7}, IntCase{"0x10", 0},
                      IntCase{"1e3", 1}, IntCase{"3.9", 3}, IntCase{" 10", 10}, IntCase{"2147483647", INT_MAX},
                      IntCase{"2147483648", INT_MAX}, IntCase{"99999999999999999999999", INT_MAX},
                      IntCase{"-2147483648", INT_MIN}, IntCase{"-2147483649", INT_MIN},
                      IntCase{"-99999999999999999999999", INT_MIN}, IntCase{"123456789", 123456789}));

TEST(CAtoi, StopsAtTheEndOfTheView) {
    const std::string text = "12345";
    EXPECT_EQ(CAtoi(std::string_view(text).substr(0, 3)), 123);
    EXPECT_EQ(CAtoi(std::string_view("4\0" "5", 3)), 4);
}

struct Int64Case {
    const char* text;
    int64_t value;
};
void PrintTo(const Int64Case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class CAtollTable : public ::testing::TestWithParam<Int64Case> {};

TEST_P(CAtollTable, ReadsTheLeadingNumber) {
    EXPECT_EQ(CAtoll(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CAtollTable,
    ::testing::Values(Int64Case{"12", 12}, Int64Case{" -7x", -7}, Int64Case{"abc", 0}, Int64Case{"", 0},
                      Int64Case{"2147483648", 2147483648LL}, Int64Case{"-2147483649", -2147483649LL},
                      Int64Case{"9223372036854775807", INT64_MAX}, Int64Case{"9223372036854775808", INT64_MAX},
                      Int64Case{"-9223372036854775808", INT64_MIN}, Int64Case{"-9223372036854775809", INT64_MIN},
                      Int64Case{"99999999999999999999999", INT64_MAX},
                      Int64Case{"-99999999999999999999999", INT64_MIN}));

struct FloatCase {
    const char* text;
    double atof;    // CAtof
    double finite;  // CAtofFinite
};
void PrintTo(const FloatCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class CAtofTable : public ::testing::TestWithParam<FloatCase> {};

TEST_P(CAtofTable, ReadsThePrefix) {
    const FloatCase& c = GetParam();
    EXPECT_DOUBLE_EQ(CAtof(c.text), c.atof) << c.text;
    EXPECT_DOUBLE_EQ(CAtofFinite(c.text), c.finite) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CAtofTable,
    ::testing::Values(FloatCase{"3.0", 3.0, 3.0}, FloatCase{" 2.5x", 2.5, 2.5}, FloatCase{"1e3", 1000, 1000},
                      FloatCase{"1E-2", 0.01, 0.01}, FloatCase{"1e", 1, 1}, FloatCase{"1e+", 1, 1},
                      FloatCase{".5", 0.5, 0.5}, FloatCase{"-.5", -0.5, -0.5}, FloatCase{"+7.", 7, 7},
                      FloatCase{"abc", 0, 0}, FloatCase{"", 0, 0}, FloatCase{".", 0, 0}, FloatCase{"-", 0, 0},
                      FloatCase{"2,5", 2, 2}, FloatCase{"0x10", 16, 0}, FloatCase{"-0x1p3", -8, 0},
                      FloatCase{"57.12340", 57.1234, 57.1234}, FloatCase{"5", 5, 5}, FloatCase{"-1", -1, -1}));

TEST(CAtof, NonFiniteTextsAreReadByCAtofAndRefusedByCAtofFinite) {
    EXPECT_TRUE(std::isnan(CAtof("nan")));
    EXPECT_TRUE(std::isnan(CAtof(" -NaN(123)")));
    EXPECT_TRUE(std::isinf(CAtof("inf")));
    EXPECT_TRUE(std::isinf(CAtof("-Infinity")));
    EXPECT_TRUE(std::isinf(CAtof("1e999")));
    for (const char* t : {"nan", "NAN", "-nan", "inf", "+INF", "infinity", "1e999", "-1e999", "0x10", "0X1A", " 0x"})
        EXPECT_EQ(CAtofFinite(t), 0.0) << t;
}

struct DecimalCase {
    const char* text;
    bool ok;
    double value;
};
void PrintTo(const DecimalCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseDecimalTable : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(ParseDecimalTable, AcceptsOnlyAWholeFiniteDecimal) {
    double v = -12345.0;
    EXPECT_EQ(ParseDecimal(GetParam().text, v), GetParam().ok) << GetParam().text;
    EXPECT_DOUBLE_EQ(v, GetParam().ok ? GetParam().value : -12345.0) << "untouched on failure";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseDecimalTable,
    ::testing::Values(DecimalCase{"3.0", true, 3.0}, DecimalCase{" 2.5 ", true, 2.5}, DecimalCase{"-1", true, -1},
                      DecimalCase{"+.5", true, 0.5}, DecimalCase{"5.", true, 5}, DecimalCase{"1e5", true, 1e5},
                      DecimalCase{"1.5E-3", true, 1.5e-3}, DecimalCase{"0", true, 0},
                      DecimalCase{"", false, 0}, DecimalCase{" ", false, 0}, DecimalCase{".", false, 0},
                      DecimalCase{"-", false, 0}, DecimalCase{"2,5", false, 0}, DecimalCase{"2.5x", false, 0},
                      DecimalCase{"1e", false, 0}, DecimalCase{"1e+", false, 0}, DecimalCase{"nan", false, 0},
                      DecimalCase{"inf", false, 0}, DecimalCase{"0x10", false, 0}, DecimalCase{"1e400", false, 0},
                      DecimalCase{"1.2.3", false, 0}, DecimalCase{"--1", false, 0}, DecimalCase{"1 2", false, 0}));

// FormatFixed must write what printf writes in the C locale.
TEST(FormatFixed, MatchesPrintfInTheCLocale) {
    const double values[] = {0.0,        -0.0,         1.0,       -1.0,     1.0 / 3,   2.0 / 3,       57.1234,
                             0.5,        1.5,          2.5,       -2.5,     0.125,     0.000005,      0.0000049,
                             -0.0000001, 1e-300,       123456789.123456789, 1e15, 1e20, 4294967296.5, -1e22,
                             1.7976931348623157e308, 3.0f, 2.675,  1.005};
    for (int decimals : {0, 1, 2, 4, 5}) {
        for (double v : values) {
            char expected[512];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
            EXPECT_EQ(FormatFixed(v, decimals), expected) << v << " with " << decimals;
        }
    }
}

TEST(FormatFixed, LongResultsAreWrittenWhole) {
    char expected[1024];
    std::snprintf(expected, sizeof expected, "%.100f", -1.7976931348623157e308);
    EXPECT_EQ(FormatFixed(-1.7976931348623157e308, 100), expected);
    std::snprintf(expected, sizeof expected, "%.300f", 1e-300);
    EXPECT_EQ(FormatFixed(1e-300, 300), expected);
    EXPECT_EQ(FormatFixed(2.5, -3), "2") << "no decimals below zero";
}

TEST(FormatFixed, NonFiniteValues) {
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 5), "nan");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 5), "inf");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 1), "-inf");
}

TEST(CNumbersLocale, CommaLocaleChangesNothing) {
    test::CommaLocale comma;
    if (!comma.Available()) GTEST_SKIP() << "no locale with a decimal comma available";
    ASSERT_TRUE(comma.Activate());
    char printed[32];
    std::snprintf(printed, sizeof printed, "%.1f", 2.5);
    const double libcRead = std::atof("57.12340");
    const std::string fixed = FormatFixed(57.1234, 5);
    const double read = CAtof("57.12340");
    const double finite = CAtofFinite("2.5");
    double decimal = 0;
    const bool parsed = ParseDecimal("2.5", decimal);
    comma.Deactivate();

    EXPECT_STREQ(printed, "2,5") << "the locale really uses a comma";
    EXPECT_EQ(libcRead, 57.0);
    EXPECT_EQ(fixed, "57.12340");
    EXPECT_DOUBLE_EQ(read, 57.1234);
    EXPECT_DOUBLE_EQ(finite, 2.5);
    EXPECT_TRUE(parsed);
    EXPECT_DOUBLE_EQ(decimal, 2.5);
}

struct TruncCase {
    double value;
    int asInt;
    uint32_t asUint32;
};
void PrintTo(const TruncCase& c, std::ostream* os) { *os << c.value; }

class TruncTable : public ::testing::TestWithParam<TruncCase> {};

TEST_P(TruncTable, TruncatesTowardZeroAndSaturates) {
    EXPECT_EQ(TruncToInt(GetParam().value), GetParam().asInt) << GetParam().value;
    EXPECT_EQ(TruncToUint32(GetParam().value), GetParam().asUint32) << GetParam().value;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, TruncTable,
    ::testing::Values(TruncCase{0.0, 0, 0}, TruncCase{2.9, 2, 2}, TruncCase{-2.9, -2, 0}, TruncCase{-0.5, 0, 0},
                      TruncCase{2147483646.9, 2147483646, 2147483646u}, TruncCase{2147483647.5, INT_MAX, 2147483647u},
                      TruncCase{2147483648.0, INT_MAX, 2147483648u}, TruncCase{1e10, INT_MAX, UINT32_MAX},
                      TruncCase{-2147483647.9, -2147483647, 0}, TruncCase{-2147483648.9, INT_MIN, 0},
                      TruncCase{-1e10, INT_MIN, 0}, TruncCase{4294967294.7, INT_MAX, 4294967294u},
                      TruncCase{4294967295.5, INT_MAX, UINT32_MAX}, TruncCase{kInf, INT_MAX, UINT32_MAX},
                      TruncCase{-kInf, INT_MIN, 0}, TruncCase{kNaN, 0, 0}, TruncCase{-kNaN, 0, 0}));

TEST(TruncToInt64, SaturatesAtTheEnds) {
    EXPECT_EQ(TruncToInt64(-3.7), -3);
    EXPECT_EQ(TruncToInt64(9007199254740993.0), 9007199254740992);
    EXPECT_EQ(TruncToInt64(9.3e18), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(TruncToInt64(-9.3e18), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TruncToInt64(kInf), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(TruncToInt64(kNaN), 0);
}

TEST(TruncToInt, SinglePrecisionValues) {
    EXPECT_EQ(TruncToInt(2147483520.0f), 2147483520);  // the largest float below 2^31
    EXPECT_EQ(TruncToInt(2147483648.0f), INT_MAX);
    EXPECT_EQ(TruncToInt(std::nanf("")), 0);
}

}  // namespace
}  // namespace lq
