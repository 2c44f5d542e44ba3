#include "boundary/datetime.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace priv {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
long DaysFromCivil(int y, int m, int d)
{
    using namespace std::chrono;
    const sys_days date{year{y} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)}};
    return static_cast<long>(date.time_since_epoch().count());
}

void CivilFromDays(long z, int& y, int& m, int& d)
{
    using namespace std::chrono;
    const year_month_day date{sys_days{days{z}}};
    y = static_cast<int>(date.year());
    m = static_cast<int>(static_cast<unsigned>(date.month()));
    d = static_cast<int>(static_cast<unsigned>(date.day()));
}

// A date the calendar has (no 31 April, no 29 February outside leap years)
// and a time on the clock (no hour 24, no minute or second 60).
bool IsPossible(const CivilDateTime& v)
{
    using namespace std::chrono;
    const year_month_day date{year{v.year}, month{static_cast<unsigned>(v.month)},
                              day{static_cast<unsigned>(v.day)}};
    return date.ok() && v.hour >= 0 && v.hour < 24 && v.minute >= 0 && v.minute < 60 && v.second >= 0 &&
           v.second < 60;
}

const long kEpochOffset = DaysFromCivil(1899, 12, 30);

} // namespace

double EncodeDateTime(const CivilDateTime& v)
{
    const long days = DaysFromCivil(v.year, v.month, v.day) - kEpochOffset;
    const double seconds = v.hour * 3600.0 + v.minute * 60.0 + v.second;
    return static_cast<double>(days) + seconds / 86400.0;
}

CivilDateTime DecodeDateTime(double dayCount)
{
    // As the host's calendar does: the whole part is the day (also before
    // 1899-12-30), the fraction's size the time of day, resolved to the
    // millisecond so that binary fractions do not lose a second; seconds and
    // minutes are then cut, never rounded up.
    constexpr long long kMillisecondsPerDay = 86400000;
    long long days = static_cast<long long>(std::trunc(dayCount));
    long long milliseconds =
        std::llround(std::fabs(dayCount - static_cast<double>(days)) * kMillisecondsPerDay);
    if (milliseconds >= kMillisecondsPerDay) {
        milliseconds -= kMillisecondsPerDay;
        days += dayCount < 0 ? -1 : 1;
    }
    CivilDateTime v;
    CivilFromDays(static_cast<long>(days) + kEpochOffset, v.year, v.month, v.day);
    const long long seconds = milliseconds / 1000;
    v.hour = static_cast<int>(seconds / 3600);
    v.minute = static_cast<int>(seconds % 3600 / 60);
    v.second = static_cast<int>(seconds % 60);
    return v;
}

std::optional<double> ParseDateTime(std::string_view text)
{
    CivilDateTime v;
    v.year = v.month = v.day = 0;
    const std::string s(text);
    char sep = 0;
    int fields = std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &v.year, &v.month, &v.day, &sep, &v.hour,
                             &v.minute, &v.second);
    if (fields < 3)
        return std::nullopt;
    if (fields < 5) {
        v.hour = v.minute = v.second = 0;
    } else if (fields < 7) {
        v.second = 0;
    }
    if (fields < 6)
        v.minute = 0;
    // An impossible moment is refused rather than carried into the next day
    // or month; a stored one then reads as "no date", as a null does.
    if (!IsPossible(v))
        return std::nullopt;
    return EncodeDateTime(v);
}

std::string FormatDateTimeMinutes(double dayCount)
{
    const CivilDateTime v = DecodeDateTime(dayCount);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d", v.year, v.month, v.day, v.hour,
                  v.minute);
    return buffer;
}

std::string FormatDateTimeSeconds(double dayCount)
{
    const CivilDateTime v = DecodeDateTime(dayCount);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour,
                  v.minute, v.second);
    return buffer;
}

std::string FormatDateCompact(double dayCount)
{
    const CivilDateTime v = DecodeDateTime(dayCount);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", v.year, v.month, v.day);
    return buffer;
}

} // namespace priv
