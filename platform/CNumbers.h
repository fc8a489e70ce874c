#pragma once
// Locale-independent number reading and writing with the C runtime's semantics.
// The program never depends on the process's numeric locale: a text written as
// "57.12340" stays "57.12340" under any locale the desktop sets.
#include <cstdint>
#include <string>
#include <string_view>

namespace lq {

// atoi: leading blanks (space, \t\n\v\f\r), optional sign, decimal digits up to the first other
// character; 0 when there are none. Out-of-range values saturate at INT_MIN / INT_MAX.
int CAtoi(std::string_view text);
// The same for 64-bit values (atoll), saturating at INT64_MIN / INT64_MAX.
int64_t CAtoll(std::string_view text);

// atof in the "C" locale: the longest prefix strtod accepts (decimal, hexadecimal, "inf", "nan");
// 0.0 when there is none.
double CAtof(std::string_view text);

// Like CAtof, but a prefix that is not a plain finite decimal ("nan", "inf", hexadecimal, overflow)
// gives 0.0.
double CAtofFinite(std::string_view text);

// Strict parse of a whole text as a finite C-locale decimal number (optional blanks around it,
// optional sign, digits with at most one '.', optional exponent). False for anything else.
bool ParseDecimal(std::string_view text, double& out);

// printf("%.Nf") of a double, always with '.' ("%.5f" -> FormatFixed(v, 5)). Non-finite values
// are written as they would be by printf ("nan", "inf", "-inf"); callers that store numbers
// clamp before formatting.
std::string FormatFixed(double value, int decimals);

// Float-to-int conversions that truncate toward zero and saturate (NaN gives 0).
int TruncToInt(double value);
int64_t TruncToInt64(double value);
uint32_t TruncToUint32(double value);

}  // namespace lq
