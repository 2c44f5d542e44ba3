#include "boundary/datetime.h"

#include <cmath>
#include <cstdio>

namespace priv {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
long DaysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long yy = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const long kEpochOffset = DaysFromCivil(1899, 12, 30);

} // namespace

double EncodeDateTime(const CivilDateTime& v)
{
    const long days =
        DaysFromCivil(v.year, static_cast<unsigned>(v.month), static_cast<unsigned>(v.day)) - kEpochOffset;
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
    if (fields < 3 || v.month < 1 || v.month > 12 || v.day < 1 || v.day > 31)
        return std::nullopt;
    if (fields < 5) {
        v.hour = v.minute = v.second = 0;
    } else if (fields < 7) {
        v.second = 0;
    }
    if (fields < 6)
        v.minute = 0;
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
