#include "platform/DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "platform/CNumbers.h"

namespace lq {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr int64_t kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01
constexpr int64_t kMsPerDay = 86400000;

}  // namespace

DateTime EncodeDateTime(const CivilTime& t) {
    const int64_t days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) + kEpochOffset;
    const double frac = (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.msec) / kMsPerDay;
    return static_cast<double>(days) + frac;
}

CivilTime DecodeDateTime(DateTime value) {
    // Milliseconds since the epoch of the type, rounded; the floor keeps times of day positive.
    const int64_t ms = TruncToInt64(std::round(value * kMsPerDay));
    int64_t days = ms / kMsPerDay;
    int64_t rem = ms % kMsPerDay;
    if (rem < 0) {
        rem += kMsPerDay;
        --days;
    }
    CivilTime t;
    CivilFromDays(days - kEpochOffset, t.year, t.month, t.day);
    t.hour = static_cast<int>(rem / 3600000);
    t.minute = static_cast<int>(rem / 60000 % 60);
    t.second = static_cast<int>(rem / 1000 % 60);
    t.msec = static_cast<int>(rem % 1000);
    return t;
}

DateTime NowDateTime() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&secs, &local);
    CivilTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.msec = static_cast<int>(ms % 1000);
    return EncodeDateTime(t);
}

std::string DateText(DateTime value) {
    if (!std::isfinite(value)) value = 0.0;
    const CivilTime t = DecodeDateTime(value);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

int ParseDateFields(std::string_view text, int fields[6]) {
    size_t i = 0;
    int count = 0;
    auto isBlank = [](char c) { return c == ' ' || c == '-' || c == ':' || c == '\t'; };
    while (count < 6) {
        while (i < text.size() && isBlank(text[i])) ++i;
        if (i >= text.size()) break;
        size_t j = i;
        if (text[j] == '+' || text[j] == '-') ++j;
        if (j >= text.size() || text[j] < '0' || text[j] > '9') break;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
        fields[count++] = CAtoi(text.substr(i, j - i));
        i = j;
    }
    return count;
}

bool ParseDateText(std::string_view text, DateTime& out) {
    int f[6] = {0, 0, 0, 0, 0, 0};
    if (ParseDateFields(text, f) != 6) return false;
    if (f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 31 || f[3] < 0 || f[3] > 23 || f[4] < 0 || f[4] > 59 ||
        f[5] < 0 || f[5] > 60 || f[0] < 1 || f[0] > 9999)
        return false;
    out = EncodeDateTime(CivilFromFields(f));
    return true;
}

CivilTime CivilFromFields(const int fields[6]) {
    CivilTime t;
    t.year = fields[0];
    t.month = fields[1];
    t.day = fields[2];
    t.hour = fields[3];
    t.minute = fields[4];
    t.second = fields[5];
    return t;
}

}  // namespace lq
