#pragma once
// The program's date-time value: days since 1899-12-30 00:00 as a double, in local wall-clock
// time (the fraction is the time of day). Arithmetic is on the double, so "now + 0.5" is twelve
// wall-clock hours later whatever summer time does in between.
#include <string>
#include <string_view>

namespace lq {

using DateTime = double;

struct CivilTime {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, msec = 0;
};

DateTime EncodeDateTime(const CivilTime& t);
CivilTime DecodeDateTime(DateTime value);  // rounded to the millisecond

// The current local wall-clock time.
DateTime NowDateTime();

// "yyyy-mm-dd hh:nn:ss" (rounded to milliseconds first, then cut to seconds).
std::string DateText(DateTime value);

// Reads "yyyy-mm-dd hh:nn:ss": '-' and ':' are blanks, and up to six decimal fields are read in
// order; fields that are missing keep the values `fields` held. Returns the number of fields read.
int ParseDateFields(std::string_view text, int fields[6]);
// The six fields of ParseDateFields (year, month, day, hour, minute, second) as a civil time.
CivilTime CivilFromFields(const int fields[6]);
// Whole date text to a value; false (and `out` untouched) unless all six fields are present.
bool ParseDateText(std::string_view text, DateTime& out);

// The source of "now" for everything that schedules; tests inject a fixed or stepping clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime Now() = 0;
};

class SystemClock final : public Clock {
public:
    DateTime Now() override { return NowDateTime(); }
};

}  // namespace lq
