#include "date_patterns.h"

#include <gtest/gtest.h>

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

TEST(DatePatterns, CurrentTimeIsAPlausibleDate) {
    const LocalDateTime now = CurrentLocalDateTime();
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    EXPECT_TRUE(now.day >= 1 && now.day <= 31);
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
    EXPECT_TRUE(now.minute >= 0 && now.minute <= 59);
}

}  // namespace
}  // namespace dorvalix
