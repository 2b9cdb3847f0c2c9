// SPDX-License-Identifier: GPL-3.0-or-later
// The date and time patterns of the reports, with the Japanese era calendar.
#pragma once

#include <string>

namespace dorvalix {

// A local calendar date and clock time.
struct LocalDateTime {
    int year = 2000;  // Gregorian
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;   // 0..59
};

// The current local date and time of the machine.
LocalDateTime CurrentLocalDateTime();

// 0 = Sunday .. 6 = Saturday, for a Gregorian date.
int DayOfWeek(int year, int month, int day);

// The era name and the year within the era, as in 令和6 or 平成元. The first year of an
// era is always written 元. Dates before 明治 (1868-10-23) give the Gregorian year alone.
std::string EraYear(const LocalDateTime& t);

// Report file and clipboard: "2006-07-14 09:05".
std::string FormatReportDateEnglish(const LocalDateTime& t);
// Report file and clipboard: "平成18年07月14日(金曜日)  09時05分".
std::string FormatReportDateJapanese(const LocalDateTime& t);

// Printed report, single-letter month, day and minute: "2006-7-4  09:5".
std::string FormatPrintDateEnglish(const LocalDateTime& t);
// Printed report: "平成18年7月4日(火曜日)  09時5分".
std::string FormatPrintDateJapanese(const LocalDateTime& t);

}  // namespace dorvalix
