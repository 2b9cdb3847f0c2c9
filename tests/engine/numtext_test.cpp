// SPDX-License-Identifier: GPL-3.0-or-later
#include "numtext.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <random>

#include "errors.h"

namespace dorvalix {
namespace {

TEST(ParseReal, AcceptsThePlatformForms) {
    struct Case {
        const char* text;
        long double value;
    };
    const Case cases[] = {
        {"3.23", 3.23L},     {" 3.23", 3.23L}, {"3.23  ", 3.23L}, {"-2.5", -2.5L},
        {"+2.5", 2.5L},      {".5", 0.5L},     {"5.", 5.0L},      {"1e3", 1000.0L},
        {"1.5E-2", 0.015L},  {"12", 12.0L},    {"0", 0.0L},       {"  -0.001e+2 ", -0.1L},
        {"00012.50", 12.5L},
    };
    for (const Case& c : cases) {
        long double v = 0;
        ASSERT_TRUE(TryParseReal(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(ParseReal, RefusesEverythingElse) {
    for (const char* text : {"", " ", "abc", "3.2a", "3,23", "\t3.23", "3.23\t", "1e", "1e+", ".",
                             "-", "3 .2", "1.2.3", "0x10", "inf", "nan", "1e99999", "３"}) {
        long double v;
        EXPECT_FALSE(TryParseReal(text, v)) << "'" << text << "'";
    }
}

TEST(ParseReal, IsCorrectlyRoundedForLongTexts) {
    // Beyond 19 significant digits the library conversion takes over.
    long double v;
    ASSERT_TRUE(TryParseReal("3.14159265358979323846264338327950288", v));
    EXPECT_EQ(v, 3.14159265358979323846264338327950288L);
    ASSERT_TRUE(TryParseReal("1e-30", v));
    EXPECT_EQ(v, 1e-30L);
    ASSERT_TRUE(TryParseReal("123456789012345678901234567890", v));
    EXPECT_EQ(v, 123456789012345678901234567890.0L);
}

TEST(ParseReal, ConversionErrorNamesTheText) {
    try {
        ParseReal("3.2a");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'3.2a' は浮動小数点数ではありません");
    }
}

TEST(ParseInt, DecimalAndHexadecimal) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {{"2", 2},
                          {" 2", 2},
                          {"  -1", -1},
                          {"+7", 7},
                          {"$10", 16},
                          {"x1F", 31},
                          {"0x1f", 31},
                          {"-$10", -16},
                          {"2147483647", 2147483647},
                          {"-2147483648", INT32_MIN},
                          {"$FFFFFFFF", -1},
                          {"007", 7}};
    for (const Case& c : cases) {
        std::int32_t v = 0;
        ASSERT_TRUE(TryParseInt(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
    for (const char* text : {"", " ", "2 ", "x", "$", "1.0", "1e2", "2147483648", "-2147483649",
                             "abc", "\t2", "- 2", "0x", "$1FFFFFFFF"}) {
        std::int32_t v;
        EXPECT_FALSE(TryParseInt(text, v)) << "'" << text << "'";
    }
    try {
        ParseInt("x1g");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'x1g' は整数ではありません");
    }
}

TEST(FormatF, RoundsHalfAwayFromZeroToEightDigits) {
    struct Case {
        long double v;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        {1234.567891L, 6, "1234.567900"},
        {0.0000001234L, 8, "0.00000012"},
        {0, 8, "0.00000000"},
        {0.125L, 2, "0.13"},  // an exact tie goes away from zero
        {-0.125L, 2, "-0.13"},
        {2.5L, 0, "3"},
        {-2.5L, 0, "-3"},
        {-0.000003L, 5, "0.00000"},  // no sign when the rounded value is zero
        {-0.00001L, 5, "-0.00001"},
        {9.99999999L, 5, "10.00000"},
        {105.83344L, 3, "105.833"},
        {0.00227031L, 6, "0.002270"},
        {440.4687L, 3, "440.469"},
        {12345678.9L, 3, "12345679.000"},
        {0.5L, 0, "1"},
        {99.9996L, 3, "100.000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatF(c.v, c.decimals), c.text) << static_cast<double>(c.v);
        EXPECT_EQ(FormatFixedExact(c.v, c.decimals, 8), c.text) << static_cast<double>(c.v);
    }
}

TEST(FormatFixed, MoreDigitsBeforeThePointThanThePrecisionUseExponentForm) {
    EXPECT_EQ(FormatF(123456789.0L, 3), "1.2345679E8");
    EXPECT_EQ(FormatF(99999999.6L, 1), "1E8");
    EXPECT_EQ(FormatFixed(100.5L, 2, 15), "100.50");
}

TEST(FormatGeneral, ShortestWithFifteenDigits) {
    struct Case {
        long double v;
        const char* text;
    };
    const Case cases[] = {
        {1.5L, "1.5"},
        {100, "100"},
        {0.0001L, "0.0001"},
        {0.00001L, "1E-5"},
        {1.5e-7L, "1.5E-7"},
        {1e15L, "1E15"},
        {123456789012345.0L, "123456789012345"},
        {1.54178L, "1.54178"},
        {0.1L, "0.1"},
        {-2.25L, "-2.25"},
        {0, "0"},
        {5.43L, "5.43"},
        {2.0L / 3, "0.666666666666667"},
        {1e20L, "1E20"},
        {0.710678L, "0.710678"},
        {9.9999999999999999L, "10"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatGeneral(c.v), c.text) << static_cast<double>(c.v);
        EXPECT_EQ(FormatGeneralExact(c.v), c.text) << static_cast<double>(c.v);
    }
}

// The fast formatters agree with the digit-by-digit ones on values of every magnitude,
// including exact ties and values one unit either side of them.
TEST(FastFormats, AgreeWithTheExactExpansion) {
    std::mt19937_64 rng(20261207);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    std::uniform_int_distribution<int> decimals(0, 10);
    for (int i = 0; i < 20000; ++i) {
        long double v = static_cast<long double>(mantissa(rng)) * std::pow(10.0L, exponent(rng));
        if (i % 2) v = -v;
        const int d = decimals(rng);
        ASSERT_EQ(FormatFixed(v, d, 8), FormatFixedExact(v, d, 8))
            << static_cast<double>(v) << " " << d;
        ASSERT_EQ(FormatFixed(v, d, 15), FormatFixedExact(v, d, 15));
        ASSERT_EQ(FormatGeneral(v), FormatGeneralExact(v)) << static_cast<double>(v);
    }
    for (long long n = 1; n < 3000; ++n) {
        // n + 0.5 thousandths: exact binary ties at 3 decimals only for some n; neighbours too.
        const long double tie = (static_cast<long double>(n) + 0.5L) / 8;
        for (long double v : {tie, std::nextafter(tie, 0.0L), std::nextafter(tie, 1e9L)}) {
            for (int d = 0; d <= 4; ++d)
                ASSERT_EQ(FormatFixed(v, d, 8), FormatFixedExact(v, d, 8));
        }
    }
}

TEST(FastFormats, RaiseNoFloatingPointFault) {
    ClearFloatFaults();
    (void)FormatF(1.0L / 3, 5);
    (void)FormatF(-123.456L, 3);
    (void)FormatGeneral(9.87654321e-3L);
    long double v;
    (void)TryParseReal("1.5", v);
    EXPECT_NO_THROW(CheckFloatFaults());
}

TEST(Texts, TrimAndCharacterCount) {
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(CharCount("α"), 1u);
    EXPECT_EQ(CharCount("ｄ値"), 2u);
    EXPECT_EQ(CharCount(" 3.23"), 5u);
}

TEST(FloatFaults, CarryThePlatformTexts) {
    volatile long double zero = 0;
    ClearFloatFaults();
    volatile long double q = 1 / zero;
    (void)q;
    try {
        CheckFloatFaults();
        FAIL();
    } catch (const FloatFault& e) {
        EXPECT_EQ(e.FaultKind(), FloatFault::Kind::DivideByZero);
        EXPECT_STREQ(e.what(), "0 による浮動小数点数除算");
    }
    volatile long double minusOne = -1;
    volatile long double r = std::sqrt(minusOne);
    (void)r;
    try {
        CheckFloatFaults();
        FAIL();
    } catch (const FloatFault& e) {
        EXPECT_STREQ(e.what(), "不正な浮動小数点数演算命令");
    }
    volatile long double big = std::numeric_limits<long double>::max() / 2;
    volatile long double o = big * big;
    (void)o;
    try {
        CheckFloatFaults();
        FAIL();
    } catch (const FloatFault& e) {
        EXPECT_STREQ(e.what(), "浮動小数点数のオーバーフロー");
    }
    // Underflow and inexact results are no fault.
    volatile long double tiny = std::numeric_limits<long double>::min() * 4;
    volatile long double u = tiny * tiny / 3;
    (void)u;
    EXPECT_NO_THROW(CheckFloatFaults());
}

}  // namespace
}  // namespace dorvalix
