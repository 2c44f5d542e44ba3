// The code-page edge and the host's day counts.
#include "boundary/codepage.h"
#include "boundary/datetime.h"

#include <gtest/gtest.h>

namespace priv {
namespace {

TEST(CodePage, CutsAreMeasuredInHostBytesAndNeverSplitACharacter)
{
    const std::string chinese = "权限管理"; // 4 characters, 8 GBK bytes, 12 UTF-8 bytes
    EXPECT_EQ(CutToHostBytes(chinese, 8), chinese);
    EXPECT_EQ(CutToHostBytes(chinese, 7), "权限管");
    EXPECT_EQ(CutToHostBytes("a" + chinese, 2), "a");
    EXPECT_EQ(CutToHostBytes(std::string(300, 'x'), 255), std::string(255, 'x'));
    EXPECT_EQ(CutUtf8Bytes(chinese, 4), "权");
}

TEST(CodePage, RoundTripsChineseAndMarksWhatTheCodePageLacks)
{
    EXPECT_EQ(HostToUtf8(Utf8ToHost("操作员 O'Brien")), "操作员 O'Brien");
    EXPECT_EQ(Utf8ToHost("\xF0\x9F\x98\x80"), "?"); // an emoji has no GBK form
}

TEST(DateTime, DayCountsMatchTheHostCalendar)
{
    EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime({1900, 1, 1, 12, 0, 0}), 2.5);
    const double moment = EncodeDateTime({2024, 3, 5, 14, 7, 59});
    EXPECT_EQ(FormatDateTimeMinutes(moment), "2024-03-05 14:07");
    EXPECT_EQ(FormatDateTimeSeconds(moment), "2024-03-05 14:07:59");
    EXPECT_EQ(FormatDateCompact(0.0), "18991230");
    EXPECT_DOUBLE_EQ(*ParseDateTime("2024-03-05 14:07:59"), moment);
    EXPECT_DOUBLE_EQ(*ParseDateTime("2024-03-05T14:07:59.250"), moment);
    EXPECT_EQ(FormatDateTimeMinutes(*ParseDateTime("2024-03-05 14:07")), "2024-03-05 14:07");
    EXPECT_FALSE(ParseDateTime("yesterday").has_value());
    // Seconds are cut, never rounded up into the next minute.
    EXPECT_EQ(FormatDateTimeMinutes(moment + 0.6 / 86400.0), "2024-03-05 14:07");
    EXPECT_EQ(FormatDateTimeSeconds(EncodeDateTime({2024, 3, 5, 23, 59, 59}) + 0.9 / 86400.0),
              "2024-03-05 23:59:59");
    // Before 1899-12-30 the fraction's size is still the time of day.
    EXPECT_EQ(FormatDateTimeSeconds(-1.25), "1899-12-29 06:00:00");
}

TEST(DateTime, ImpossibleMomentsAreRefusedNotCarriedOver)
{
    for (const char* text : {"2024-02-30", "2023-02-29", "2024-02-31 10:00", "2024-04-31", "2024-13-01",
                             "2024-00-10", "2024-01-00", "2024-01-32", "2024-01-01 24:00", "2024-01-01 25:61",
                             "2024-01-01 12:60", "2024-01-01 12:00:60", "2024-01-01 -1:00"})
        EXPECT_FALSE(ParseDateTime(text).has_value()) << text;
    // The edges that do exist stay readable.
    EXPECT_EQ(FormatDateTimeSeconds(*ParseDateTime("2024-02-29 23:59:59")), "2024-02-29 23:59:59");
    EXPECT_EQ(FormatDateTimeMinutes(*ParseDateTime("2000-12-31 00:00")), "2000-12-31 00:00");
}

} // namespace
} // namespace priv
