// SPDX-License-Identifier: GPL-3.0-or-later
#include "date_patterns.h"

#include <ctime>

#include "numtext.h"

namespace dorvalix {

namespace {

struct Era {
    const char* name;
    int year, month, day;  // first day of the era
};

// Latest first.
constexpr Era kEras[] = {
    {"令和", 2019, 5, 1},  {"平成", 1989, 1, 8},   {"昭和", 1926, 12, 25},
    {"大正", 1912, 7, 30}, {"明治", 1868, 10, 23},
};

constexpr const char* kWeekdays[] = {"日曜日", "月曜日", "火曜日", "水曜日",
                                     "木曜日", "金曜日", "土曜日"};

long DateKey(int year, int month, int day) {
    return (static_cast<long>(year) * 100 + month) * 100 + day;
}

std::string TwoDigits(int v) {
    std::string text = IntText(v);
    if (text.size() < 2) text.insert(0, 1, '0');
    return text;
}

std::string FourDigits(int v) {
    std::string text = IntText(v);
    while (text.size() < 4)
        text.insert(0, 1, '0');
    return text;
}

std::string JapaneseDate(const LocalDateTime& t, std::string (*number)(int)) {
    return EraYear(t) + "年" + number(t.month) + "月" + number(t.day) + "日(" +
           kWeekdays[DayOfWeek(t.year, t.month, t.day)] + ")  " + TwoDigits(t.hour) + "時" +
           number(t.minute) + "分";
}

std::string Plain(int v) {
    return IntText(v);
}

}  // namespace

LocalDateTime CurrentLocalDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
}

int DayOfWeek(int year, int month, int day) {
    // Sakamoto's method.
    static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    const int w =
        (year + year / 4 - year / 100 + year / 400 + kOffsets[(month + 11) % 12] + day) % 7;
    return w < 0 ? w + 7 : w;
}

std::string EraYear(const LocalDateTime& t) {
    const long key = DateKey(t.year, t.month, t.day);
    for (const Era& era : kEras) {
        if (key < DateKey(era.year, era.month, era.day)) continue;
        const int inEra = t.year - era.year + 1;
        return std::string(era.name) + (inEra == 1 ? std::string("元") : IntText(inEra));
    }
    return IntText(t.year);
}

std::string FormatReportDateEnglish(const LocalDateTime& t) {
    return FourDigits(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " +
           TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
}

std::string FormatReportDateJapanese(const LocalDateTime& t) {
    return JapaneseDate(t, TwoDigits);
}

std::string FormatPrintDateEnglish(const LocalDateTime& t) {
    return FourDigits(t.year) + "-" + IntText(t.month) + "-" + IntText(t.day) + "  " +
           TwoDigits(t.hour) + ":" + IntText(t.minute);
}

std::string FormatPrintDateJapanese(const LocalDateTime& t) {
    return JapaneseDate(t, Plain);
}

}  // namespace dorvalix
