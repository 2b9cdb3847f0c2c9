// SPDX-License-Identifier: GPL-3.0-or-later
// The s.u. notation of journals and CIF, and the figures-of-merit texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

#include "numtext.h"
#include "refinement_details.h"

namespace dorvalix {
namespace {

// Whether the binary value of a decimal constant lies above the decimal: its exact digits,
// as glibc's printf writes them, start with the decimal's own ("1.0005" for
// 1.00050000000000000001, not for 1.00049999999999999999). Which side it lies on depends
// on the width of long double; 40 digits show the side of every constant here in every
// format.
bool StoredAbove(long double x, std::string_view decimalDigits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.40Le", x);
    return std::string_view(text).starts_with(decimalDigits);
}

TEST(SuNotation, RuleOfNineteen) {
    const struct {
        long double value, su;
        const char* text;
    } cases[] = {
        // The examples every journal's rule gives.
        {5.4311812L, 0.0000512L, "5.43118(5)"},
        {5.4311812L, 0.000142L, "5.43118(14)"},
        {440.469L, 0.785L, "440.5(8)"},
        {105.8334L, 0.0688L, "105.83(7)"},
        {1.23456L, 0.0196L, "1.23(2)"},
        {1.23456L, 0.0149L, "1.235(15)"},
        {440.469L, 25.3L, "440(30)"},
        {0.5L, 0.96L, "1(1)"},
        // Two digits that round to 20 keep one; one digit that rounds to 10 moves up.
        {2.5L, 0.0199L, "2.50(2)"},
        {2.5L, 0.00995L, "2.50(1)"},
        {2.5L, 0.0951L, "2.5(1)"},
        // 19 keeps two digits, 20 one.
        {7.77777L, 0.00019L, "7.77777(19)"},
        {7.77777L, 0.00020L, "7.7778(2)"},
        // Leading digits 20 (truncated) that round to 21: one digit all the same.
        {7.77777L, 0.000206L, "7.7778(2)"},
        {7.77777L, 0.0002099L, "7.7778(2)"},
        // 0.0001 is stored just above in the x87 format and in double
        // (1.00000000000000000000114e-4 in x87): its leading digits are 10, two of them.
        // binary128 and a pair of doubles store it just below
        // (9.99999999999999999999999999999999966e-5 in binary128): 99, one digit.
        {7.77777L, 0.0001L, StoredAbove(0.0001L, "1.0000") ? "7.77777(10)" : "7.7778(1)"},
        // The value rounds half away from zero at the s.u.'s place.
        {2.25L, 0.3L, "2.3(3)"},
        {-2.25L, 0.3L, "-2.3(3)"},
        {-0.04L, 0.3L, "0.0(3)"},
        {0.0500123L, 0.00123L, "0.0500(12)"},
        // Large s.u. in the units of the value.
        {12345.6L, 150L, "12350(150)"},
        {12345.6L, 2500L, "12000(3000)"},
        {0.0022703L, 0.00000405L, "0.002270(4)"},
        // An s.u. far beyond any integer's range: its digits are read, not its value.
        {3.5e16L, 7.2e31L, "0(70000000000000000000000000000000)"},
        {1e20L, 1.9e19L, "100000000000000000000(19000000000000000000)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SuText(c.value, c.su), c.text)
            << FormatGeneral(c.value) << " " << FormatGeneral(c.su);
    }
}

TEST(SuNotation, FixedAnglesAndMissingSu) {
    EXPECT_EQ(SuText(90, std::nullopt, true), "90");
    EXPECT_EQ(SuText(120, std::nullopt, true), "120");
    EXPECT_EQ(SuText(60, 0.01L, true), "60");  // fixed wins over any s.u.
    EXPECT_EQ(SuText(2, std::nullopt), "2.00000");
    EXPECT_EQ(SuText(2, 0.0L), "2.00000");
    EXPECT_EQ(SuText(9.7529912345L, std::nullopt), "9.75299");
    EXPECT_EQ(SuText(-0.0000049L, 0.0L), "0.00000");
}

TEST(SuNotation, AtDecimalPlaceAndLeadingDigits) {
    // The exact decimal value decides: 0.015 and 2.675 are stored just below (in a pair
    // of doubles 2.675 lies just above), 0.125 exactly. 1.0005 is stored just above in
    // the x87 format (1.00050000000000000001), just below in binary128
    // (1.00049999999999999999999999999999999) and in double.
    EXPECT_EQ(FormatAtDecimalPlace(0.125L, 2), "0.13");
    EXPECT_EQ(FormatAtDecimalPlace(0.015L, 2), StoredAbove(0.015L, "1.5000") ? "0.02" : "0.01");
    EXPECT_EQ(FormatAtDecimalPlace(2.675L, 2), StoredAbove(2.675L, "2.6750") ? "2.68" : "2.67");
    EXPECT_EQ(FormatAtDecimalPlace(1.0005L, 3), StoredAbove(1.0005L, "1.0005") ? "1.001" : "1.000");
    EXPECT_EQ(FormatAtDecimalPlace(0.5L, 0), "1");
    EXPECT_EQ(FormatAtDecimalPlace(-0.5L, 0), "-1");
    EXPECT_EQ(FormatAtDecimalPlace(449.9L, -2), "400");
    EXPECT_EQ(FormatAtDecimalPlace(450L, -2), "500");
    EXPECT_EQ(FormatAtDecimalPlace(49.9L, -2), "0");
    EXPECT_EQ(FormatAtDecimalPlace(1e-30L, 25), "0.0000000000000000000000000");
    long long digits;
    EXPECT_EQ(LeadingDecimalDigits(0.0000512L, 2, digits), -5);
    EXPECT_EQ(digits, 51);
    EXPECT_EQ(LeadingDecimalDigits(25.3L, 2, digits), 1);
    EXPECT_EQ(digits, 25);
    // 0.1000000000000000000013... in the x87 format; just below 0.1 in a pair of doubles.
    const bool above = StoredAbove(0.1L, "1.0000");
    EXPECT_EQ(LeadingDecimalDigits(0.1L, 3, digits), above ? -1 : -2);
    EXPECT_EQ(digits, above ? 100 : 999);
    EXPECT_EQ(LeadingDecimalDigits(0.0199999L, 2, digits), -2);
    EXPECT_EQ(digits, 19);
}

TEST(MeritText, JournalForm) {
    FigureM m;
    m.n = 7;
    EXPECT_EQ(MeritText(m), "");  // no value
    m.value = 45.249L;
    EXPECT_EQ(MeritText(m), "M(7) = 45.2");
    FigureF f;
    f.n = 7;
    f.value = 30.06L;
    f.meanAbsD2Theta = 0.01234L;
    f.nPoss = 19;
    EXPECT_EQ(MeritText(f), "F(7) = 30.1 (0.0123, 19)");
    f.meanAbsD2Theta = 0.000123456L;  // three significant digits below 0.001
    EXPECT_EQ(MeritText(f), "F(7) = 30.1 (0.000123, 19)");
    f.value.reset();
    EXPECT_EQ(MeritText(f), "");
}

}  // namespace
}  // namespace dorvalix
