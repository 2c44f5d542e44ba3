// Date-times travel as the host's day counts: days since 1899-12-30, the
// fraction being the time of day; 0 means "no date".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace priv {

struct CivilDateTime {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

double EncodeDateTime(const CivilDateTime& value);
CivilDateTime DecodeDateTime(double dayCount);

// Reads "yyyy-mm-dd", "yyyy-mm-dd hh:nn" or "yyyy-mm-dd hh:nn:ss" (a "T" may
// stand for the space, fractions of seconds are ignored).
std::optional<double> ParseDateTime(std::string_view text);

// "yyyy-mm-dd hh:nn" (the form statements are written in).
std::string FormatDateTimeMinutes(double dayCount);
// "yyyy-mm-dd hh:nn:ss".
std::string FormatDateTimeSeconds(double dayCount);
// "yyyymmdd".
std::string FormatDateCompact(double dayCount);

} // namespace priv
