#include "platform/CNumbers.h"

#include <charconv>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace lq {
namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

}  // namespace

namespace {

// The leading decimal number of `t` read as atoi reads it, saturated to [lo, hi].
int64_t LeadingInteger(std::string_view t, int64_t lo, int64_t hi) {
    size_t i = 0;
    while (i < t.size() && IsCSpace(t[i])) ++i;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        neg = t[i] == '-';
        ++i;
    }
    // Accumulated as a negative number, whose range holds the magnitude of the lowest value.
    int64_t v = 0;
    bool overflow = false;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        const int digit = t[i] - '0';
        if (!overflow) {
            if (v < (INT64_MIN + digit) / 10) overflow = true;
            else v = v * 10 - digit;
        }
        ++i;
    }
    if (overflow) return neg ? lo : hi;
    if (!neg) return v < -hi ? hi : -v;
    return v < lo ? lo : v;
}

}  // namespace

int CAtoi(std::string_view t) { return static_cast<int>(LeadingInteger(t, INT_MIN, INT_MAX)); }

int64_t CAtoll(std::string_view t) { return LeadingInteger(t, INT64_MIN, INT64_MAX); }

double CAtof(std::string_view t) {
    const std::string s(t);  // strtod needs a terminated text
    return strtod_l(s.c_str(), nullptr, CLocale());
}

double CAtofFinite(std::string_view t) {
    size_t i = 0;
    while (i < t.size() && IsCSpace(t[i])) ++i;
    size_t j = i;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    // Only a digit or a '.' may start a decimal number; "nan", "inf" and "0x" are refused.
    if (j >= t.size() || !((t[j] >= '0' && t[j] <= '9') || t[j] == '.')) return 0.0;
    if (t[j] == '0' && j + 1 < t.size() && (t[j + 1] == 'x' || t[j + 1] == 'X')) return 0.0;
    const double v = CAtof(t.substr(i));
    return std::isfinite(v) ? v : 0.0;
}

bool ParseDecimal(std::string_view t, double& out) {
    size_t b = 0, e = t.size();
    while (b < e && IsCSpace(t[b])) ++b;
    while (e > b && IsCSpace(t[e - 1])) --e;
    std::string_view s = t.substr(b, e - b);
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; ++digits; }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; ++digits; }
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; ++expDigits; }
        if (expDigits == 0) return false;
    }
    if (i != s.size()) return false;
    const double v = CAtof(s);
    if (!std::isfinite(v)) return false;
    out = v;
    return true;
}

std::string FormatFixed(double value, int decimals) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    if (decimals < 0) decimals = 0;
    // Room for the sign, the 309 digits of the largest double, the point and the decimals.
    std::string buf(static_cast<size_t>(decimals) + 320, '\0');
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, decimals);
    buf.resize(r.ec == std::errc() ? static_cast<size_t>(r.ptr - buf.data()) : 0);
    return buf;
}

int TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

int64_t TruncToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

uint32_t TruncToUint32(double v) {
    if (std::isnan(v) || v <= 0.0) return 0;
    if (v >= 4294967295.0) return UINT32_MAX;
    return static_cast<uint32_t>(v);
}

}  // namespace lq
