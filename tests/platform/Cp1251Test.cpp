#include <gtest/gtest.h>

#include <iconv.h>

#include <QChar>
#include <QString>

#include <array>
#include <ostream>
#include <string>

#include "platform/Cp1251.h"

namespace lq {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

// The C library's own cp1251 converter, as an independent reference: the Unicode character of
// one byte, or 0 when the converter has none for it.
char32_t ReferenceChar(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-32LE", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[8] = {};
    char* inp = in;
    char* outp = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || outLeft != 4) return 0;
    return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

TEST(Cp1251, EveryByteRoundTripsExceptTheUnassignedOne) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const QString text = FromCp1251(one);
        ASSERT_EQ(text.size(), 1) << b;
        if (b == 0x98) {
            EXPECT_EQ(text.at(0).unicode(), 0xFFFD);
            EXPECT_EQ(ToCp1251(text), "?");
        } else {
            EXPECT_EQ(ToCp1251(text), one) << "byte " << b;
        }
    }
}

TEST(Cp1251, TableAgreesWithTheCLibraryConverter) {
    if (ReferenceChar('A') != U'A') GTEST_SKIP() << "no CP1251 converter in the C library";
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) continue;
        const QString text = FromCp1251(std::string(1, static_cast<char>(b)));
        EXPECT_EQ(static_cast<char32_t>(text.at(0).unicode()), ReferenceChar(static_cast<unsigned char>(b)))
            << "byte " << b;
    }
}

TEST(Cp1251, KnownLetters) {
    EXPECT_EQ(FromCp1251(Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2})), QString::fromUtf8("Привет"));
    EXPECT_EQ(FromCp1251(Bytes({0xA8, 0xB8, 0xB9, 0x88})), QString::fromUtf8("Ёё№€"));
    EXPECT_EQ(ToCp1251(QString::fromUtf8("ёлка — \u201Cok\u201D")), Bytes({0xB8, 0xEB, 0xEA, 0xE0, ' ', 0x97, ' ', 0x93,
                                                                      'o', 'k', 0x94}));
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeTheReplacement) {
    EXPECT_EQ(ToCp1251(QString::fromUtf8("a😀b")), "a?b");  // one character, two UTF-16 units
    EXPECT_EQ(ToCp1251(QString::fromUtf8("日本")), "??");
    EXPECT_EQ(ToCp1251(QString::fromUtf8("x\u00E9y"), '_'), "x_y");
    EXPECT_EQ(ToCp1251(QString(QChar(0xD800))), "?");  // a lone surrogate
    EXPECT_EQ(ToCp1251(QString::fromUtf8("\uFFFD")), "?");
}

// Every cp1251 letter pair: A-Z, the Russian alphabet, Ё/ё and the other Cyrillic letters.
TEST(Cp1251, LowerCaseTableHoldsEveryLetterPair) {
    std::array<int, 256> expected{};
    for (int b = 0; b < 256; ++b) expected[b] = b;
    for (int b = 'A'; b <= 'Z'; ++b) expected[b] = b + 32;
    for (int b = 0xC0; b <= 0xDF; ++b) expected[b] = b + 32;
    const int pairs[][2] = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E},
                            {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
                            {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
    for (const auto& p : pairs) expected[p[0]] = p[1];
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(Cp1251ToLower(static_cast<unsigned char>(b)), expected[b]) << "byte " << b;
}

TEST(Cp1251, LowerCaseTableAgreesWithUnicode) {
    for (int b = 0; b < 256; ++b) {
        const QString upper = FromCp1251(std::string(1, static_cast<char>(b)));
        const std::string lowered = ToCp1251(upper.toLower(), '\0');
        const int want = (lowered.size() == 1 && lowered[0] != '\0') ? static_cast<unsigned char>(lowered[0]) : b;
        EXPECT_EQ(Cp1251ToLower(static_cast<unsigned char>(b)), want) << "byte " << b;
    }
}

TEST(Cp1251, LowerOfAText) {
    EXPECT_EQ(Cp1251Lower(Bytes({'H', 'i', ' ', 0xC0, 0xA8, 0xB8, 0xE0, '1', 0x98})),
              Bytes({'h', 'i', ' ', 0xE0, 0xB8, 0xB8, 0xE0, '1', 0x98}));
    EXPECT_EQ(Cp1251Lower(""), "");
}

struct Utf8Case {
    std::string bytes;
    bool valid;
};
void PrintHex(const std::string& bytes, std::ostream* os) {
    static const char* const kHex = "0123456789ABCDEF";
    for (unsigned char c : bytes) *os << kHex[c >> 4] << kHex[c & 15] << ' ';
}
void PrintTo(const Utf8Case& c, std::ostream* os) { PrintHex(c.bytes, os); }

class Utf8Validity : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Validity, Detects) { EXPECT_EQ(IsValidUtf8(GetParam().bytes), GetParam().valid); }

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Validity,
    ::testing::Values(Utf8Case{"", true}, Utf8Case{"plain ascii", true}, Utf8Case{"Привет", true},
                      Utf8Case{"\xF0\x9F\x98\x80", true},               // U+1F600
                      Utf8Case{"\xF4\x8F\xBF\xBF", true},               // U+10FFFF
                      Utf8Case{"\xEF\xBB\xBF" "abc", true},             // byte order mark
                      Utf8Case{"\xCF\xF0\xE8", false},                  // cp1251 "При"
                      Utf8Case{"\xC0\x80", false},                      // overlong NUL
                      Utf8Case{"\xC1\xBF", false},                      // overlong
                      Utf8Case{"\xE0\x80\xAF", false},                  // overlong '/'
                      Utf8Case{"\xF0\x8F\xBF\xBF", false},              // overlong
                      Utf8Case{"\xED\xA0\x80", false},                  // surrogate U+D800
                      Utf8Case{"\xF4\x90\x80\x80", false},              // above U+10FFFF
                      Utf8Case{"\xF5\x80\x80\x80", false},
                      Utf8Case{"\x80", false},                          // lone continuation
                      Utf8Case{"ab\xD0", false},                        // cut at the end
                      Utf8Case{"\xE2\x82", false},
                      Utf8Case{"\xD0\x41", false}));                    // continuation missing

struct FileCase {
    std::string file;
    std::string cp1251;
};
void PrintTo(const FileCase& c, std::ostream* os) { PrintHex(c.file, os); }

class TextFileConversion : public ::testing::TestWithParam<FileCase> {};

TEST_P(TextFileConversion, Converts) { EXPECT_EQ(TextFileToCp1251(GetParam().file), GetParam().cp1251); }

INSTANTIATE_TEST_SUITE_P(
    Table, TextFileConversion,
    ::testing::Values(FileCase{"", ""}, FileCase{"Hello\r\nworld\n", "Hello\r\nworld\n"},
                      FileCase{"\xEF\xBB\xBFHello", "Hello"},                                   // BOM dropped
                      FileCase{"\xD0\x9F\xD1\x80\xD0\xB8 ok", Bytes({0xCF, 0xF0, 0xE8, ' ', 'o', 'k'})},
                      FileCase{"\xEF\xBB\xBF\xD1\x91", Bytes({0xB8})},                         // BOM + ё
                      FileCase{"it\xE2\x80\x99s", Bytes({'i', 't', 0x92, 's'})},                // ’ -> 0x92
                      FileCase{"a\xF0\x9F\x98\x80", "a?"},                                      // no such letter
                      FileCase{Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}),                      // already cp1251
                               Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2})},
                      FileCase{Bytes({'a', 0x92, 's'}), Bytes({'a', 0x92, 's'})},
                      // A mark before cp1251 text (no valid UTF-8) goes as well.
                      FileCase{Bytes({0xEF, 0xBB, 0xBF, 0xCF, 0xF0, 0xE8}), Bytes({0xCF, 0xF0, 0xE8})},
                      FileCase{Bytes({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF, 0xC4}), Bytes({0xEF, 0xBB, 0xBF, 0xC4})}));

// Names: a UTF-8 name whose characters cp1251 holds is converted; every other name is cp1251.
struct NameCase {
    std::string name;
    std::string cp1251;
    const char* shown;  // UTF-8
};
void PrintTo(const NameCase& c, std::ostream* os) { PrintHex(c.name, os); }

class NameConversion : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameConversion, ToCp1251AndBack) {
    const NameCase& c = GetParam();
    EXPECT_EQ(NameToCp1251(c.name), c.cp1251);
    EXPECT_EQ(NameToCp1251(c.cp1251), c.cp1251) << "a converted name stays as it is";
    EXPECT_EQ(FromName(c.name), QString::fromUtf8(c.shown));
    EXPECT_EQ(FromName(c.cp1251), QString::fromUtf8(c.shown)) << "shown alike in either encoding";
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameConversion,
    ::testing::Values(NameCase{"", "", ""}, NameCase{"unit07.mp3", "unit07.mp3", "unit07.mp3"},
                      NameCase{"урок2.mp3", Bytes({0xF3, 0xF0, 0xEE, 0xEA, '2', '.', 'm', 'p', '3'}), "урок2.mp3"},
                      NameCase{"Ёж — «a»", Bytes({0xA8, 0xE6, ' ', 0x97, ' ', 0xAB, 'a', 0xBB}), "Ёж — «a»"},
                      NameCase{"日.mp3", "日.mp3", "日.mp3"},        // no cp1251 letter: kept
                      NameCase{"café.mp3", "café.mp3", "café.mp3"},  // é is not in cp1251
                      NameCase{"\xD0\xB0\xCF", "\xD0\xB0\xCF", "Р°П"}));  // no valid UTF-8: cp1251 as it is

TEST(Cp1251, NamesInUtf8) {
    EXPECT_EQ(Cp1251ToUtf8(Bytes({0xF3, 0xF0, 0xEE, 0xEA, '2', '.', 'm', 'p', '3'})),
              "\xD1\x83\xD1\x80\xD0\xBE\xD0\xBA" "2.mp3");
    EXPECT_EQ(Cp1251ToUtf8("plain"), "plain");
    EXPECT_EQ(Cp1251ToUtf8(""), "");
}

}  // namespace
}  // namespace lq
