// SPDX-License-Identifier: GPL-3.0-or-later
#include "date_patterns.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace dorvalix {
namespace {

TEST(DatePatterns, EraBoundaries) {
    const struct {
        LocalDateTime t;
        const char* era;
    } cases[] = {
        {{2024, 7, 14}, "令和6"},   {{2019, 5, 1}, "令和元"},  {{2019, 4, 30}, "平成31"},
        {{1989, 1, 8}, "平成元"},   {{1989, 1, 7}, "昭和64"},  {{1926, 12, 25}, "昭和元"},
        {{1926, 12, 24}, "大正15"}, {{1912, 7, 30}, "大正元"}, {{1912, 7, 29}, "明治45"},
        {{1868, 10, 23}, "明治元"}, {{1868, 10, 22}, "1868"},  {{2006, 7, 14}, "平成18"},
        {{2019, 12, 31}, "令和元"}, {{2020, 1, 1}, "令和2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EraYear(c.t), c.era) << c.t.year << "-" << c.t.month << "-" << c.t.day;
}

TEST(DatePatterns, Weekdays) {
    EXPECT_EQ(DayOfWeek(2006, 7, 14), 5);  // Friday
    EXPECT_EQ(DayOfWeek(2000, 1, 1), 6);   // Saturday
    EXPECT_EQ(DayOfWeek(2000, 2, 29), 2);  // Tuesday
    EXPECT_EQ(DayOfWeek(1989, 1, 8), 0);   // Sunday
    EXPECT_EQ(DayOfWeek(1900, 3, 1), 4);   // Thursday, after a February without 29
    EXPECT_EQ(DayOfWeek(2024, 12, 31), 2);
}

TEST(DatePatterns, ReportFileAndClipboard) {
    EXPECT_EQ(FormatReportDateEnglish({2006, 7, 14, 9, 5}), "2006-07-14 09:05");
    EXPECT_EQ(FormatReportDateEnglish({2024, 12, 31, 23, 59}), "2024-12-31 23:59");
    EXPECT_EQ(FormatReportDateJapanese({2006, 7, 14, 9, 5}), "平成18年07月14日(金曜日)  09時05分");
    EXPECT_EQ(FormatReportDateJapanese({2019, 5, 1, 0, 0}), "令和元年05月01日(水曜日)  00時00分");
}

TEST(DatePatterns, PrintedReport) {
    EXPECT_EQ(FormatPrintDateEnglish({2006, 7, 4, 9, 5}), "2006-7-4  09:5");
    EXPECT_EQ(FormatPrintDateEnglish({2006, 11, 24, 14, 30}), "2006-11-24  14:30");
    EXPECT_EQ(FormatPrintDateJapanese({2006, 7, 4, 9, 5}), "平成18年7月4日(火曜日)  09時5分");
    EXPECT_EQ(FormatPrintDateJapanese({2023, 1, 1, 0, 0}), "令和5年1月1日(日曜日)  00時0分");
}

// The clock reads the local time of the machine's time zone: in a zone nine hours east of
// UTC it is the UTC time of the system clock plus nine hours, worked out here from the
// seconds since 1970 (civil-from-days, Howard Hinnant's algorithm).
TEST(DatePatterns, CurrentTimeIsTheLocalTimeOfTheZone) {
    const char* const saved = std::getenv("TZ");
    const std::string savedValue = saved != nullptr ? saved : "";
    setenv("TZ", "JST-9", 1);
    tzset();
    auto expected = [](std::time_t t) {
        const long long s = static_cast<long long>(t) + 9 * 3600;
        long long days = s / 86400;
        const long long secondOfDay = s % 86400;
        days += 719468;
        const long long era = days / 146097;
        const long long doe = days - era * 146097;
        const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const long long mp = (5 * doy + 2) / 153;
        const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
        const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
        return LocalDateTime{year, month, day, static_cast<int>(secondOfDay / 3600),
                             static_cast<int>(secondOfDay % 3600 / 60)};
    };
    auto same = [](const LocalDateTime& a, const LocalDateTime& b) {
        return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
               a.minute == b.minute;
    };
    const std::time_t before = std::time(nullptr);
    const LocalDateTime now = CurrentLocalDateTime();
    const std::time_t after = std::time(nullptr);
    if (saved != nullptr) {
        setenv("TZ", savedValue.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    // A minute may turn between the readings.
    EXPECT_TRUE(same(now, expected(before)) || same(now, expected(after)))
        << now.year << "-" << now.month << "-" << now.day << " " << now.hour << ":" << now.minute;
}

}  // namespace
}  // namespace dorvalix
