#include "platform/Cp1251.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <array>

namespace lq {
namespace {

// Unicode code points of the cp1251 bytes 0x80..0xFF (0x98 is unassigned).
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// Lower-case table built from the Unicode mapping: a byte is lowered when its character has
// a lower-case partner that is also in the code page.
struct LowerTable {
    std::array<unsigned char, 256> map{};
    LowerTable() {
        for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(i);
        for (int c = 'A'; c <= 'Z'; ++c) map[c] = static_cast<unsigned char>(c + 32);
        for (int i = 0; i < 128; ++i) {
            const QChar upper(kHigh[i]);
            const char16_t lower = upper.toLower().unicode();
            if (lower == upper.unicode()) continue;
            for (int j = 0; j < 128; ++j) {
                if (kHigh[j] == lower) {
                    map[0x80 + i] = static_cast<unsigned char>(0x80 + j);
                    break;
                }
            }
        }
    }
};

const LowerTable& Lower() {
    static const LowerTable table;
    return table;
}

int EncodeOne(char32_t u) {
    if (u < 0x80) return static_cast<int>(u);
    for (int i = 0; i < 128; ++i)
        if (kHigh[i] == u && u != 0xFFFD) return 0x80 + i;
    return -1;
}

}  // namespace

QString FromCp1251(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (unsigned char c : bytes) out.append(c < 0x80 ? QChar(c) : QChar(kHigh[c - 0x80]));
    return out;
}

std::string ToCp1251(const QString& text, char replacement) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    const auto ucs4 = text.toUcs4();
    for (char32_t u : ucs4) {
        const int b = EncodeOne(u);
        out.push_back(b < 0 ? replacement : static_cast<char>(b));
    }
    return out;
}

unsigned char Cp1251ToLower(unsigned char c) { return Lower().map[c]; }

std::string Cp1251Lower(std::string_view text) {
    std::string out(text);
    for (auto& ch : out) ch = static_cast<char>(Cp1251ToLower(static_cast<unsigned char>(ch)));
    return out;
}

bool HasNonAscii(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) { ++i; continue; }
        int len;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
        else return false;
        if (i + static_cast<size_t>(len) > n) return false;
        for (int k = 1; k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        i += static_cast<size_t>(len);
    }
    return true;
}

std::string NameToCp1251(std::string_view name) {
    if (!HasNonAscii(name) || !IsValidUtf8(name)) return std::string(name);
    std::string out;
    out.reserve(name.size());
    for (char32_t u : QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toUcs4()) {
        const int b = EncodeOne(u);
        if (b < 0) return std::string(name);  // not a cp1251 text: kept as it is
        out.push_back(static_cast<char>(b));
    }
    return out;
}

QString FromName(std::string_view name) {
    return IsValidUtf8(name) ? QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) : FromCp1251(name);
}

std::string Cp1251ToUtf8(std::string_view bytes) {
    const QByteArray utf8 = FromCp1251(bytes).toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

std::string TextFileToCp1251(std::string_view bytes) {
    bool bom = bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
               static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF;
    std::string_view body = bom ? bytes.substr(3) : bytes;
    if (!HasNonAscii(body) || !IsValidUtf8(body)) return std::string(body);
    return ToCp1251(QString::fromUtf8(body.data(), static_cast<qsizetype>(body.size())));
}

}  // namespace lq
