// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "numtext.h"

namespace dorvalix {
namespace {

// The cell texts by the obviously correct route: the exact formatter and the blank rules.
std::string ExpectedD(long double d) {
    return (d >= 10 ? "  " : "   ") + FormatFixedExact(d, 4, 6);
}
std::string ExpectedTwoTheta(long double t) {
    return (t >= 100 ? " " : t >= 10 ? "  " : "   ") + FormatFixedExact(t, 2, 5);
}
std::string DText(long double d) {
    return HklCellText(MakeReflection(1, 2, 3, d, 45), 0);
}
std::string TwoThetaText(long double t) {
    return HklCellText(MakeReflection(1, 2, 3, 2, t), 4);
}

TEST(HklText, CellFormats) {
    const std::pair<long double, const char*> d_cases[] = {
        {2.34561L, "   2.3456"},     {12.34567L, "  12.3457"},
        {3.14159265L, "   3.1416"},  {123.456789L, "  123.4570"},
        {9.99996L, "   10.0000"},    {0.00004L, "   0.0000"},
        {1234.5678L, "  1234.5700"}, {54321.6L, "  54321.6000"},
        {1234567.8L, "  1.23457E6"}, {1e7L, "  1E7"},
    };
    for (const auto& [d, text] : d_cases)
        EXPECT_EQ(DText(d), text) << static_cast<double>(d);
    const std::pair<long double, const char*> t_cases[] = {
        {5.1L, "   5.10"},    {28.4415L, "  28.44"}, {123.4567L, " 123.46"},
        {9.996L, "   10.00"}, {99.999L, "  100.00"}, {0.004L, "   0.00"},
    };
    for (const auto& [t, text] : t_cases)
        EXPECT_EQ(TwoThetaText(t), text) << static_cast<double>(t);
    const std::pair<int, const char*> index_cases[] = {
        {1, "  1"},
        {12, "  12"},
        {0, "  0"},
        {-1, " -1"},
        {-123456, " -123456"},
        {INT_MIN, " -2147483648"},
        {INT_MAX, "  2147483647"},
    };
    for (const auto& [v, text] : index_cases) {
        const HklReflection r = MakeReflection(v, v, v, 2, 45);
        for (int column = 1; column <= 3; ++column)
            EXPECT_EQ(HklCellText(r, column), text);
    }
    EXPECT_EQ(HklCellText(MakeReflection(1, 2, 3, 2, 45), 5), "");
}

// Values whose decimal expansion ends exactly on the rounding digit, and their neighbours.
std::vector<long double> TieValues() {
    std::vector<long double> values;
    std::mt19937_64 rng(4242);
    // m ÷ 2^s with odd m: the last decimal is a 5 in the place the rounding looks at.
    const struct {
        long double low, high;
        int shift;
    } bands[] = {{0, 100, 5},     {100, 1000, 4},  {1000, 1e4L, 3}, {1e4L, 1e5L, 2},
                 {1e5L, 1e6L, 1}, {1e6L, 1e7L, 0}, {0, 200, 3}};
    for (const auto& band : bands) {
        const long double scale = std::ldexp(1.0L, band.shift);
        for (int i = 0; i < 3000; ++i) {
            const auto span = static_cast<std::uint64_t>((band.high - band.low) * scale);
            const auto m = static_cast<std::uint64_t>(band.low * scale) + rng() % span;
            const long double v = static_cast<long double>(m | 1) / scale;
            values.push_back(v);
            values.push_back(std::nextafter(v, 0.0L));
            values.push_back(std::nextafter(v, 1e30L));
        }
    }
    for (long double edge : {10.0L, 100.0L, 99.99995L, 99.995L, 9.99995L, 9.995L, 999999.5L}) {
        values.push_back(edge);
        values.push_back(std::nextafter(edge, 0.0L));
        values.push_back(std::nextafter(edge, 1e30L));
    }
    return values;
}

TEST(HklText, DMatchesTheExactFormatter) {
    std::vector<long double> values = TieValues();
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> exponent(-4, 8);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int i = 0; i < 200000; ++i) {
        values.push_back(std::pow(10.0L, exponent(rng)) * (1 + unit(rng) * 1e-3L));
    }
    for (long double d : values)
        ASSERT_EQ(DText(d), ExpectedD(d)) << static_cast<double>(d);
}

TEST(HklText, TwoThetaMatchesTheExactFormatter) {
    std::vector<long double> values;
    for (long double v : TieValues())
        if (v < 600) values.push_back(v);
    std::mt19937_64 rng(8);
    std::uniform_real_distribution<long double> angle(0, 180.0001L);
    for (int i = 0; i < 200000; ++i)
        values.push_back(angle(rng));
    for (long double t : values)
        ASSERT_EQ(TwoThetaText(t), ExpectedTwoTheta(t)) << static_cast<double>(t);
}

// The sort compares keys: a larger key must be a larger d text, an equal key the same text.
TEST(HklText, DKeysOrderLikeTheTexts) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> exponent(-3, 7);
    std::vector<long double> values;
    for (int i = 0; i < 20000; ++i)
        values.push_back(std::pow(10.0L, exponent(rng)));
    for (long double v : TieValues())
        values.push_back(v);
    for (std::size_t i = 0; i + 1 < values.size(); ++i) {
        const long double a = values[i], b = values[i + 1];
        const std::uint32_t ka = DKeyOf(a), kb = DKeyOf(b);
        const long double ta = ParseReal(FormatFixedExact(a, 4, 6));
        const long double tb = ParseReal(FormatFixedExact(b, 4, 6));
        ASSERT_EQ(ka < kb, ta < tb) << static_cast<double>(a) << " " << static_cast<double>(b);
        ASSERT_EQ(ka == kb, ta == tb) << static_cast<double>(a) << " " << static_cast<double>(b);
        ASSERT_EQ(DValueOfKey(ka), ta);
    }
}

TEST(HklText, ClipboardTextIsPaddedToTheGridRows) {
    HklTable table = {MakeReflection(1, 1, 1, 3.1355L, 28.44L),
                      MakeReflection(-2, 0, 10, 12.5L, 7.06L),
                      MakeReflection(3, -1, 0, 1.2L, 104.5L)};
    const std::string text = CopyHklTable(table, HklGridRowCount(table.size()));
    const std::string data =
        "   3.1355  1  1  1  28.44\r\n"
        "  12.5000 -2  0  10   7.06\r\n"
        "   1.2000  3 -1  0 104.50\r\n";
    std::string padding;
    for (int i = 0; i < 26; ++i)
        padding += "\r\n";
    EXPECT_EQ(text, data + padding);  // 29 lines

    // Rows emptied while the grid kept its 200 rows: 199 empty lines.
    std::string empty_lines;
    for (int i = 0; i < 199; ++i)
        empty_lines += "\r\n";
    EXPECT_EQ(CopyHklTable({}, 200), empty_lines);

    // A large table: every line as the cells show it.
    HklTable large;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        large.push_back(MakeReflection(i % 37 - 18, -i % 11, i, 0.5L + i * 0.013L, 3 + i * 0.035L));
        for (int column = 0; column < 5; ++column)
            expected += HklCellText(large.back(), column);
        expected += "\r\n";
    }
    EXPECT_EQ(CopyHklTable(large, HklGridRowCount(large.size())), expected);
}

TEST(HklText, RangeAndCellGridTexts) {
    EXPECT_EQ(RangeGridText(-4), "   -4");
    EXPECT_EQ(RangeGridText(4), "   4");
    EXPECT_EQ(RangeGridText(0), "   0");

    EXPECT_EQ(CellGridText(5.43L), "    5.43");
    EXPECT_EQ(CellGridText(90), "   90");
    EXPECT_EQ(CellGridText(105.6L), "  105.6");
    EXPECT_EQ(CellGridText(10), "   10");
    EXPECT_EQ(CellGridText(100), "  100");

    EXPECT_EQ(RefinedCellGridText(5.4321449L), "    5.4321");
    EXPECT_EQ(RefinedCellGridText(5.43215001L), "    5.4322");
    EXPECT_EQ(RefinedCellGridText(90), "   90");
    EXPECT_EQ(RefinedCellGridText(105.60004L), "  105.6");
    // Rounded up to 10, but the blanks follow the unrounded value.
    EXPECT_EQ(RefinedCellGridText(9.99996L), "    10");
    EXPECT_EQ(RefinedCellGridText(99.99996L), "   100");
}

}  // namespace
}  // namespace dorvalix
