// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "crystal_system.h"
#include "errors.h"
#include "hkl_text.h"
#include "numtext.h"

namespace dorvalix {
namespace {

using Hkl = std::tuple<int, int, int>;

std::vector<Hkl> Indices(const HklTable& table) {
    std::vector<Hkl> out;
    for (const HklReflection& r : table)
        out.emplace_back(r.h, r.k, r.l);
    return out;
}

bool Contains(const HklTable& table, int h, int k, int l) {
    for (const HklReflection& r : table)
        if (r.h == h && r.k == k && r.l == l) return true;
    return false;
}

const HklReflection* Find(const HklTable& table, int h, int k, int l) {
    for (const HklReflection& r : table)
        if (r.h == h && r.k == k && r.l == l) return &r;
    return nullptr;
}

std::string Line(const HklReflection& r) {
    std::string line;
    for (int column = 0; column < 5; ++column)
        line += HklCellText(r, column);
    return line;
}

// The English text of a refusal, for comparisons; "none" when there is none.
const char* EnglishOf(const HklRefusal& refusal) {
    return refusal ? refusal->en : "none";
}

IndexRange RangeOf(const HklCell& cell, long double d_min) {
    IndexRange range;
    EXPECT_FALSE(ComputeIndexRange(cell, d_min, range));
    return range;
}

HklTable Generate(const HklCell& cell, long double d_min, int system, const char* choice,
                  long double wavelength = 1.54178L) {
    HklTable table;
    const HklParameters p{system, choice, wavelength, d_min};
    EXPECT_FALSE(GenerateHklTable(cell, RangeOf(cell, d_min), p, table));
    return table;
}

// --- Silicon, the worked example ----------------------------------------------------------

const std::array<std::string, 6> kSiliconTexts = {"5.431", "5.431", "5.431", "90", "90", "90"};

TEST(HklSilicon, RangeIsMinusFourToFour) {
    HklState state;
    ReadCellTexts(kSiliconTexts, state.cell);
    ASSERT_FALSE(ComputeIndexRange(state.cell, 1.5L, state.range));
    const IndexRange& r = state.range;
    EXPECT_EQ(std::make_tuple(r.hmin, r.hmax, r.kmin, r.kmax, r.lmin, r.lmax),
              std::make_tuple(-4, 4, -4, 4, -4, 4));
}

const char* const kSiliconGenerated[] = {
    "   5.4310  0  0  1  16.32", "   2.7155  0  0  2  32.98", "   1.8103  0  0  3  50.41",
    "   3.8403  1  1  0  23.16", "   3.1356  1  1  1  28.46", "   2.4288  2  1  0  37.01",
    "   2.2172  2  1  1  40.69", "   1.9201  2  2  0  47.34", "   1.8103  2  2  1  50.41",
    "   1.5678  2  2  2  58.91", "   1.7174  3  1  0  53.34", "   1.6375  3  1  1  56.17",
    "   1.5063  3  2  0  61.57",
};
const char* const kSiliconSorted[] = {
    "   5.4310  0  0  1  16.32", "   3.8403  1  1  0  23.16", "   3.1356  1  1  1  28.46",
    "   2.7155  0  0  2  32.98", "   2.4288  2  1  0  37.01", "   2.2172  2  1  1  40.69",
    "   1.9201  2  2  0  47.34", "   1.8103  0  0  3  50.41", "   1.8103  2  2  1  50.41",
    "   1.7174  3  1  0  53.34", "   1.6375  3  1  1  56.17", "   1.5678  2  2  2  58.91",
    "   1.5063  3  2  0  61.57",
};

TEST(HklSilicon, GeneratesThirteenRowsInLoopOrderAndSortsThem) {
    HklState state;
    ReadCellTexts(kSiliconTexts, state.cell);
    ASSERT_FALSE(ComputeIndexRange(state.cell, 1.5L, state.range));
    const HklParameters p{kCubic, "asym", 1.54178L, 1.5L};
    ASSERT_FALSE(GenerateHklTable(kSiliconTexts, p, state));
    ASSERT_EQ(state.table.size(), 13u);
    EXPECT_EQ(state.grid_rows, 30);
    for (std::size_t i = 0; i < 13; ++i)
        EXPECT_EQ(Line(state.table[i]), kSiliconGenerated[i]) << "row " << i + 1;
    SortHklTable(state.table);
    for (std::size_t i = 0; i < 13; ++i)
        EXPECT_EQ(Line(state.table[i]), kSiliconSorted[i]) << "row " << i + 1;
}

// --- Which reflections are listed -------------------------------------------------------------

TEST(HklGeneration, CubicAsymmetricUnitAndAll) {
    const HklCell cell = CellFromDegrees(4, 4, 4, 90, 90, 90);
    const HklTable asym = Generate(cell, 1.5L, kCubic, "asym");
    EXPECT_TRUE(Contains(asym, 0, 0, 1));
    EXPECT_FALSE(Contains(asym, 1, 0, 0));
    EXPECT_FALSE(Contains(asym, 0, 0, -1));
    const HklTable all = Generate(cell, 1.5L, kCubic, "all");
    EXPECT_TRUE(Contains(all, 0, 0, 1));
    EXPECT_TRUE(Contains(all, 1, 0, 0));
    EXPECT_TRUE(Contains(all, 0, 0, -1));
    EXPECT_FALSE(Contains(all, 0, 0, 0));
    // Friedel mates and equivalents get rows of their own.
    // {100}, {110}, {111}, {200}, {210}, {211}; d(220) = 1.414 is below the minimum.
    EXPECT_EQ(all.size(), 6u + 12u + 8u + 6u + 24u + 24u);
    EXPECT_EQ(Indices(asym),
              (std::vector<Hkl>{{0, 0, 1}, {0, 0, 2}, {1, 1, 0}, {1, 1, 1}, {2, 1, 0}, {2, 1, 1}}));
}

TEST(HklGeneration, OtherRangeChoiceListsNothing) {
    const HklCell cell = CellFromDegrees(4, 4, 4, 90, 90, 90);
    HklTable table;
    table.push_back(MakeReflection(1, 1, 1, 2, 20));
    const HklParameters p{kCubic, "ALL", 1.54178L, 1.5L};
    EXPECT_FALSE(GenerateHklTable(cell, RangeOf(cell, 1.5L), p, table));
    EXPECT_TRUE(table.empty());
}

TEST(HklGeneration, ReflectionAtTheMinimumIsListed) {
    // 90° from 3.141592 is not a right angle: d(004) of a = 4 Å is a hair below 1.
    const HklCell cell = CellFromDegrees(4, 4, 4, 90, 90, 90);
    const CellMetric m = ComputeCellMetric(cell);
    EXPECT_LT(SpacingD(m, 0, 0, 4), 1.0L);
    const HklTable table = Generate(cell, 1.0L, kCubic, "all");
    const HklReflection* r = Find(table, 0, 0, 4);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(HklCellText(*r, 0), "   1.0000");

    // A d exactly equal to the minimum is listed; one clearly below it is not.
    const HklCell oblique = CellFromDegrees(6.1L, 7.3L, 8.2L, 80, 95, 105);
    const long double d210 = SpacingD(ComputeCellMetric(oblique), 2, 1, 0);
    EXPECT_TRUE(Contains(Generate(oblique, d210, kTriclinic, "all"), 2, 1, 0));
    EXPECT_FALSE(Contains(Generate(oblique, d210 * (1 + 2e-9L), kTriclinic, "all"), 2, 1, 0));
}

TEST(HklGeneration, ReflectionAtHalfTheWavelengthIsNotListed) {
    const HklCell cell = CellFromDegrees(4, 4, 4, 90, 90, 90);
    const long double d110 = SpacingD(ComputeCellMetric(cell), 1, 1, 0);
    const HklTable at = Generate(cell, 1.0L, kCubic, "all", 2 * d110);
    EXPECT_FALSE(Contains(at, 1, 1, 0));
    EXPECT_TRUE(Contains(at, 1, 0, 0));
    EXPECT_EQ(at.size(), 6u);  // only {100} lies above λ ÷ 2

    const HklTable below = Generate(cell, 1.0L, kCubic, "all", std::nextafter(2 * d110, 0.0L));
    const HklReflection* r = Find(below, 1, 1, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(HklCellText(*r, 4), " 180.00");
}

TEST(HklGeneration, GridRowsNeverBelowThirty) {
    // Orthorhombic 4.1 × 5.3 × 6.7 Å: d(004) = 1.675 is the 30th reflection of the
    // asymmetric unit.
    const std::array<std::string, 6> texts = {"4.1", "5.3", "6.7", "90", "90", "90"};
    struct Case {
        long double d_min;
        std::size_t n;
        int rows;
    };
    for (const Case c : {Case{1.68L, 29, 30}, Case{1.67L, 30, 31}, Case{1.66L, 31, 32}}) {
        HklState state;
        ReadCellTexts(texts, state.cell);
        ASSERT_FALSE(ComputeIndexRange(state.cell, c.d_min, state.range));
        const HklParameters p{kOrthorhombic, "asym", 1.54178L, c.d_min};
        ASSERT_FALSE(GenerateHklTable(texts, p, state));
        EXPECT_EQ(state.table.size(), c.n) << c.d_min;
        EXPECT_EQ(state.grid_rows, c.rows) << c.d_min;
    }
    EXPECT_EQ(HklGridRowCount(0), 30);
    EXPECT_EQ(HklGridRowCount(100000), 100001);
}

// Every reflection with d ≥ d_min of an oblique cell, also those with |h| beyond the
// spacing of the (100) planes ÷ d_min, found in loop order with the texts of the exact
// arithmetic: compared with a search over a range three times as wide.
TEST(HklGeneration, ObliqueCellMissesNoReflection) {
    struct Case {
        HklCell cell;
        long double d_min;
        long double wavelength;
    };
    const Case cases[] = {
        {CellFromDegrees(10, 12, 15, 60, 110, 75), 1.2L, 1.54178L},
        {CellFromDegrees(7.5L, 7.9L, 20.1L, 120, 65, 100), 0.9L, 0.710678L},
        {CellFromDegrees(5.2L, 9.4L, 6.3L, 90, 128, 90), 0.6L, 0.70926L},
    };
    for (const Case& c : cases) {
        const CellMetric m = ComputeCellMetric(c.cell);
        const IndexRange range = RangeOf(c.cell, c.d_min);
        HklTable table;
        ASSERT_FALSE(
            GenerateHklTable(c.cell, range, {kTriclinic, "all", c.wavelength, c.d_min}, table));
        HklTable expected;
        for (int h = 3 * range.hmin; h <= 3 * range.hmax; ++h) {
            for (int k = 3 * range.kmin; k <= 3 * range.kmax; ++k) {
                for (int l = 3 * range.lmin; l <= 3 * range.lmax; ++l) {
                    if (h == 0 && k == 0 && l == 0) continue;
                    const long double d = SpacingD(m, h, k, l);
                    if (d < c.d_min * (1 - 1e-9L) || d <= c.wavelength / 2) continue;
                    expected.push_back(
                        MakeReflection(h, k, l, d, TwoThetaDegrees(c.wavelength, d)));
                }
            }
        }
        ASSERT_EQ(table.size(), expected.size());
        for (std::size_t i = 0; i < table.size(); ++i)
            ASSERT_EQ(Line(table[i]), Line(expected[i])) << i;

        // Bounds from the spacings of the (100), (010) and (001) planes would have lost
        // some of them.
        const HklCell& e = c.cell;
        const long double old_max[3] = {
            std::trunc(m.v / (std::sin(e.alpha) * e.b * e.c * c.d_min) + 1),
            std::trunc(m.v / (std::sin(e.beta) * e.c * e.a * c.d_min) + 1),
            std::trunc(m.v / (std::sin(e.gamma) * e.a * e.b * c.d_min) + 1)};
        bool beyond = false;
        for (const HklReflection& r : table) {
            beyond = beyond || std::abs(r.h) > old_max[0] || std::abs(r.k) > old_max[1] ||
                     std::abs(r.l) > old_max[2];
        }
        EXPECT_TRUE(beyond);
    }
}

// Wavelengths that put 2θ of (0 0 1) on a half hundredth, where the last bit of the
// arcsine decides the text: the table shows what the exact arithmetic gives. The cases are
// those where a plain double arcsine would round the other way.
TEST(HklGeneration, TwoThetaOnRoundingEdges) {
    const HklCell cell = CellFromDegrees(4, 4, 4, 90, 90, 90);
    const long double d = SpacingD(ComputeCellMetric(cell), 0, 0, 1);
    const IndexRange range = RangeOf(cell, 3.9L);
    auto text = [&](long double two_theta) {
        return HklCellText(MakeReflection(0, 0, 1, d, two_theta), 4);
    };
    int hard = 0;
    for (int tie = 1000; tie < 18000; ++tie) {
        const long double two_theta = (tie + 0.5L) / 100;
        double x = static_cast<double>(std::sin(two_theta * 3.14159L / 360));
        x = std::nextafter(std::nextafter(x, 0.0), 0.0);
        for (int step = 0; step < 5; ++step, x = std::nextafter(x, 1.0)) {
            const long double exact = static_cast<long double>(ArcSinSafe(x)) * 180 / 3.14159L * 2;
            const long double plain = static_cast<long double>(std::asin(x)) * 180 / 3.14159L * 2;
            if (text(exact) == text(plain)) continue;
            const long double wavelength = 2 * d * x;
            ASSERT_EQ(static_cast<double>(wavelength / (2 * d)), x);
            HklTable table;
            ASSERT_FALSE(GenerateHklTable(cell, range, {kCubic, "asym", wavelength, 3.9L}, table));
            ASSERT_EQ(table.size(), 1u);
            EXPECT_EQ(HklCellText(table[0], 4), text(exact)) << static_cast<double>(wavelength);
            ++hard;
        }
    }
    EXPECT_GT(hard, 0);
}

// --- Asymmetric unit ------------------------------------------------------------------------

TEST(HklAsymmetricUnit, EveryRule) {
    struct Rule {
        std::vector<int> systems;
        std::vector<Hkl> kept, refused;
    };
    const Rule rules[] = {
        // Cubic: h ≥ k ≥ l ≥ 0 with h, k > 0, or (0 0 l > 0).
        {{1},
         {{1, 1, 0}, {1, 1, 1}, {2, 1, 0}, {3, 3, 3}, {0, 0, 1}},
         {{1, 2, 0}, {2, 1, 2}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {1, 1, -1}, {-1, -1, 0}}},
        // Hexagonal and tetragonal: h > 0, 0 ≤ k ≤ h, l ≥ 0, or (0 0 l > 0).
        {{2, 3},
         {{1, 0, 0}, {1, 1, 0}, {2, 1, 5}, {2, 2, 3}, {0, 0, 1}},
         {{1, 2, 0}, {1, 0, -1}, {0, 1, 0}, {-1, 0, 0}, {1, -1, 0}, {0, 0, -2}}},
        // Orthorhombic: every index ≥ 0.
        {{4}, {{0, 0, 1}, {0, 1, 2}, {3, 2, 1}}, {{1, -1, 0}, {-1, 0, 0}, {0, 0, -1}}},
        // Monoclinic β: (k ≥ 0, l > 0), (h ≥ 0, k > 0, l = 0), (h > 0, 0, 0).
        {{5},
         {{-1, 0, 1}, {-2, 3, 1}, {0, 1, 0}, {1, 0, 0}},
         {{1, -1, 1}, {-1, 1, 0}, {-1, 0, 0}, {0, 0, -1}, {3, 2, -1}}},
        // Triclinic: one of each Friedel pair.
        {{6}, {{1, -5, -5}, {0, 1, -3}, {0, 0, 1}}, {{0, -1, 3}, {0, 0, -1}, {-1, 5, 5}}},
        // Monoclinic γ: (k > 0, l ≥ 0), (h > 0, k = 0, l ≥ 0), (0 0 l > 0).
        {{7},
         {{-3, 1, 0}, {1, 0, 0}, {1, 0, 2}, {0, 0, 1}},
         {{2, 1, -1}, {-1, 0, 1}, {1, 0, -1}, {0, 0, -1}}},
        // Trigonal: h > 0, 0 ≤ k ≤ h, l ≤ k; for k = 0 also |l| ≤ h.
        {{8},
         {{1, 0, 0}, {1, 0, -1}, {3, 0, -3}, {2, 1, -5}, {1, 1, 1}},
         {{1, 0, -2}, {1, 0, 1}, {2, 1, 2}, {0, 0, 1}, {2, 3, 0}, {1, -1, -1}}},
        // No system: everything.
        {{0, 9, -1}, {{-1, -2, -3}, {-1, 0, 0}, {0, -1, 0}}, {}},
    };
    for (const Rule& rule : rules) {
        for (int system : rule.systems) {
            for (const auto& [h, k, l] : rule.kept)
                EXPECT_TRUE(InAsymmetricUnit(system, h, k, l)) << system << ": " << h << k << l;
            for (const auto& [h, k, l] : rule.refused)
                EXPECT_FALSE(InAsymmetricUnit(system, h, k, l)) << system << ": " << h << k << l;
        }
    }
}

// --- Arithmetic ---------------------------------------------------------------------------

TEST(HklArithmetic, ArcSinSafeAndItsFallbacks) {
    // Within one unit in the last place of a double of the arcsine.
    EXPECT_NEAR(ArcSinSafe(0.5), 0.52359877559829887308, 1.2e-16);
    EXPECT_NEAR(ArcSinSafe(0.25), 0.25268025514207865349, 6e-17);
    EXPECT_NEAR(ArcSinSafe(-0.9), -1.11976951499863418669, 2.3e-16);
    EXPECT_EQ(ArcSinSafe(0), 0);
    EXPECT_EQ(ArcSinSafe(1), 1.5707963267948966);    // x × π ÷ 2
    EXPECT_EQ(ArcSinSafe(-1), -1.5707963267948966);  // x × π ÷ 2
    EXPECT_EQ(ArcSinSafe(1.5), 999);
    EXPECT_EQ(ArcSinSafe(-2), 999);
}

TEST(HklArithmetic, MetricOfAnOrthogonalCell) {
    const CellMetric m = ComputeCellMetric(CellFromDegrees(2, 3, 5, 90, 90, 90));
    // cos 90° is about 3.3e-7 with 3.141592: tiny but not 0.
    EXPECT_NEAR(static_cast<double>(m.s_hh), 225.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(m.s_kk), 100.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(m.s_ll), 36.0, 1e-9);
    EXPECT_NE(m.s_hk, 0);
    EXPECT_NEAR(static_cast<double>(m.s_hk), 0, 1e-4);
    EXPECT_NEAR(static_cast<double>(m.v), 30.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(SpacingD(m, 1, 1, 1)), 1 / std::sqrt(1 / 4. + 1 / 9. + 1 / 25.),
                1e-6);
}

// Each preset's 2θ: the Bragg angle 2·asin(λ ÷ 2d) of the line's published wavelength,
// worked out here, for a spacing close to λ ÷ 2 where 2θ is most sensitive to λ (a digit
// wrong in the fifth place moves it by more than 0.01°). The wavelength is the extended
// value nearest to its decimal, as the program's own number conversion gives it.
TEST(HklArithmetic, WavelengthPresetsGiveTheirBraggAngles) {
    const struct {
        const char* name;
        const char* wavelength;
    } lines[] = {{"Cu-Ka", "1.54178"},  {"Cu-Ka1", "1.5405"}, {"Fe-Ka", "1.93733"},
                 {"Fe-Ka1", "1.93597"}, {"Cr-Ka", "2.29099"}, {"Cr-Ka1", "2.28962"},
                 {"Mo-Ka", "0.710678"}, {"Mo-Ka1", "0.70926"}};
    ASSERT_EQ(std::size(lines), kWavelengthPresets.size());
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        const WavelengthPreset* preset = FindWavelengthPreset(lines[i].name);
        ASSERT_NE(preset, nullptr) << lines[i].name;
        EXPECT_EQ(preset, &kWavelengthPresets[i]) << "menu order";
        EXPECT_EQ(preset->wavelength, ParseReal(lines[i].wavelength)) << lines[i].name;
        const double lambda = std::stod(lines[i].wavelength);
        const double d = lambda / 2 / 0.999;  // sin θ = 0.999, 2θ near 175°
        const double bragg = 2 * std::asin(lambda / (2 * d)) * 180 / M_PI;
        EXPECT_NEAR(static_cast<double>(TwoThetaDegrees(preset->wavelength, d)), bragg, 1e-3)
            << lines[i].name;
    }
    EXPECT_EQ(FindWavelengthPreset("mo-ka"), FindWavelengthPreset("Mo-Ka"));
    EXPECT_EQ(FindWavelengthPreset("Mo-Ka2"), nullptr);
    EXPECT_EQ(FindWavelengthPreset(""), nullptr);
}

// --- Refusals and failures ---------------------------------------------------------------------

TEST(HklRefusals, RangeNeedsACellAndAPositiveMinimum) {
    IndexRange range{-2, 2, -3, 3, -4, 4};
    const IndexRange before = range;
    auto same = [&] {
        return std::tie(range.hmin, range.hmax, range.kmax, range.lmax) ==
               std::tie(before.hmin, before.hmax, before.kmax, before.lmax);
    };
    auto refusal = ComputeIndexRange(HklCell{}, 1.5L, range);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en, "Set Cell Constant");
    EXPECT_STREQ(refusal->ja, "格子定数を設定してください");
    EXPECT_TRUE(same());

    const HklCell cell = CellFromDegrees(5, 5, 5, 90, 90, 90);
    for (long double d_min : {0.0L, -1.5L}) {
        refusal = ComputeIndexRange(cell, d_min, range);
        ASSERT_TRUE(refusal);
        EXPECT_STREQ(refusal->en, kMinimumDNotPositiveText.en);
        EXPECT_TRUE(same());
    }
    // 1261³ triples, just over two thousand million.
    refusal = ComputeIndexRange(CellFromDegrees(629.5L, 629.5L, 629.5L, 90, 90, 90), 1, range);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en,
                 "The hkl range holds more than 2,000,000,000 indices: set a larger minimum "
                 "d-value");
    EXPECT_STREQ(refusal->ja, "指数範囲が20億組を超えます。最小ｄ値を大きくしてください");
    EXPECT_TRUE(same());
    // 1259³ triples are covered.
    EXPECT_FALSE(ComputeIndexRange(CellFromDegrees(628.5L, 628.5L, 628.5L, 90, 90, 90), 1, range));
    EXPECT_EQ(range.hmax, 629);
    EXPECT_LE(IndexTripleCount(range), kMaxIndexTriples);
}

// The limits at their boundaries: with a minimum d of 0.2, 125.79 Å gives ±629 on each axis
// (1259³ = 1 995 616 979 triples), 125.81 Å gives ±630 (1261³ = 2 005 142 581).
TEST(HklRefusals, TripleCountAtItsBoundary) {
    IndexRange range;
    EXPECT_FALSE(
        ComputeIndexRange(CellFromDegrees(125.79L, 125.79L, 125.79L, 90, 90, 90), 0.2L, range));
    EXPECT_EQ(range.hmax, 629);
    EXPECT_EQ(IndexTripleCount(range), 1259.0L * 1259 * 1259);
    const IndexRange before = range;
    const HklRefusal refusal =
        ComputeIndexRange(CellFromDegrees(125.81L, 125.81L, 125.81L, 90, 90, 90), 0.2L, range);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en, kRangeTooLargeText.en);
    EXPECT_EQ(range.hmax, before.hmax);
    // One long axis alone stays far below the count.
    EXPECT_FALSE(ComputeIndexRange(CellFromDegrees(125.81L, 5, 5, 90, 90, 90), 0.2L, range));
    // The generation counts the range it is given, whatever made it, before any work.
    HklTable table;
    const IndexRange wide{-630, 630, -630, 630, -630, 630};
    EXPECT_STREQ(EnglishOf(GenerateHklTable(CellFromDegrees(125.81L, 125.81L, 125.81L, 90, 90, 90),
                                            wide, {kCubic, "all", 1.54178L, 0.2L}, table)),
                 kRangeTooLargeText.en);
}

// A table may hold exactly as many reflections as its limit allows. A cubic cell of 1 Å:
// the shells h² + k² + l² up to 827 hold 99 872 reflections (there is no shell 828), with
// 829 there are 100 136; a minimum d between the shells takes them or not.
TEST(HklRefusals, ReflectionCountAtItsBoundary) {
    const HklCell cell = CellFromDegrees(1, 1, 1, 90, 90, 90);
    const long double inside = 1 / std::sqrt(828.5L), beyond = 1 / std::sqrt(829.5L);
    const HklParameters upTo827{kCubic, "all", 0.01L, inside};
    const HklParameters upTo829{kCubic, "all", 0.01L, beyond};
    const HklLimit exact{99'872, {"more than 99872", "99872 を超えます"}};
    const HklLimit oneLess{99'871, {"more than 99871", "99871 を超えます"}};
    HklTable table;
    EXPECT_FALSE(GenerateHklTable(cell, RangeOf(cell, inside), upTo827, table, exact));
    EXPECT_EQ(table.size(), 99'872u);
    EXPECT_STREQ(EnglishOf(GenerateHklTable(cell, RangeOf(cell, inside), upTo827, table, oneLess)),
                 "more than 99871");
    EXPECT_TRUE(table.empty());
    EXPECT_STREQ(EnglishOf(GenerateHklTable(cell, RangeOf(cell, beyond), upTo829, table, exact)),
                 "more than 99872");
    EXPECT_FALSE(
        GenerateHklTable(cell, RangeOf(cell, beyond), upTo829, table, {100'136, {"", ""}}));
    EXPECT_EQ(table.size(), 100'136u);
    // The same limits for the count that comes before a table.
    EXPECT_EQ(CountHklReflections(cell, RangeOf(cell, inside), upTo827, 200'000), 99'872u);
}

// Numbers that describe no cell are refused before anything is computed: they used to give
// tables (120°, 120°, 120°; 180°, 90°, 90°; 360°, 360°, 360°) or an empty one (a < 0).
TEST(HklRefusals, NumbersThatAreNoCell) {
    const struct {
        long double a, b, c, alpha, beta, gamma;
    } refused[] = {
        {-5.431L, 5.431L, 5.431L, 90, 90, 90},
        {5, -5, 5, 90, 90, 90},
        {5, 5, 0, 90, 90, 90},
        {5, 5, 5, 120, 120, 120},
        {5, 5, 5, 180, 90, 90},
        {5, 5, 5, 360, 360, 360},
        {5, 5, 5, 0, 90, 90},
        {5, 5, 5, 90, -90, 90},
        {5, 5, 5, 60, 60, 120},
        {5, 5, 5, 170, 100, 100},
        {5, 5, 5, 150, 150, 150},
        {5, 5, 5, 90, 90, 200},
    };
    for (const auto& c : refused) {
        const HklCell cell = CellFromDegrees(c.a, c.b, c.c, c.alpha, c.beta, c.gamma);
        const std::string what = FormatGeneral(c.a) + " " + FormatGeneral(c.b) + " " +
                                 FormatGeneral(c.c) + " " + FormatGeneral(c.alpha) + " " +
                                 FormatGeneral(c.beta) + " " + FormatGeneral(c.gamma);
        EXPECT_STREQ(EnglishOf(CheckCell(cell)), kNotACellText.en) << what;
        IndexRange range;
        EXPECT_STREQ(EnglishOf(ComputeIndexRange(cell, 1.5L, range)), kNotACellText.en) << what;
        EXPECT_EQ(range.hmax, 0) << what;
        HklTable table(2, MakeReflection(1, 0, 0, 4, 22));
        EXPECT_STREQ(EnglishOf(GenerateHklTable(cell, {-3, 3, -3, 3, -3, 3},
                                                {kCubic, "all", 1.54178L, 1.5L}, table)),
                     kNotACellText.en)
            << what;
        EXPECT_TRUE(table.empty()) << what;
    }
    // Close to the edge but cells.
    for (const auto& c :
         {std::array<long double, 3>{119.99L, 120, 120}, std::array<long double, 3>{179.9L, 90, 90},
          std::array<long double, 3>{60, 60, 119.99L}}) {
        EXPECT_STREQ(EnglishOf(CheckCell(CellFromDegrees(5, 5, 5, c[0], c[1], c[2]))), "none")
            << static_cast<double>(c[0]) << " " << static_cast<double>(c[2]);
    }
    EXPECT_NE(std::string(kNotACellText.en).find("describe no cell"), std::string::npos);
    EXPECT_NE(std::string(kNotACellText.ja).find("単位格子"), std::string::npos);
}

// λ from 0.01 to 100 Å as typed, both ends included; below, every 2θ would print as 0.00
// (1e-4000 is an extended number, 1e-999 one that double precision cannot hold).
TEST(HklRefusals, WavelengthFrom001To100AndMinimumPositive) {
    EXPECT_FALSE(CheckMinimumD(1.5L));
    for (const char* taken : {"0.01", "0.710678", "100", "1.00000000000000000001e2"})
        EXPECT_FALSE(CheckWavelength(ParseReal(taken))) << taken;
    for (const char* refused : {"0.00999999", "100.00001", "1e-999", "1e-4000", "0", "-1.54"}) {
        const HklRefusal refusal = CheckWavelength(ParseReal(refused));
        ASSERT_TRUE(refusal) << refused;
        EXPECT_STREQ(refusal->en, "The X-ray wavelength must be a number from 0.01 to 100 Å");
        EXPECT_STREQ(refusal->ja, "X線の波長には0.01から100 Åまでの数値を入れてください");
    }
    for (long double v : {0.0L, -1.54L, std::numeric_limits<long double>::infinity(),
                          std::numeric_limits<long double>::quiet_NaN()}) {
        EXPECT_TRUE(CheckWavelength(v));
        ASSERT_TRUE(CheckMinimumD(v));
        EXPECT_STREQ(CheckMinimumD(v)->ja, "最小ｄ値には0より大きい値を入れてください");
    }
    const HklCell cell = CellFromDegrees(4, 4, 4, 90, 90, 90);
    const IndexRange range = RangeOf(cell, 1.5L);
    HklTable table(3, MakeReflection(1, 0, 0, 4, 22));
    auto refusal = GenerateHklTable(cell, range, {kCubic, "all", 0, 1.5L}, table);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en, kWavelengthRangeText.en);
    EXPECT_TRUE(table.empty());
    refusal = GenerateHklTable(cell, range, {kCubic, "all", 1.54178L, -1}, table);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en, kMinimumDNotPositiveText.en);
}

TEST(HklRefusals, TooManyReflections) {
    // 363³ index triples are allowed, but about 25 million reflections lie in the sphere:
    // counted, not built, and refused by the window.
    const HklCell cell = CellFromDegrees(36, 36, 36, 90, 90, 90);
    const HklParameters p{kCubic, "all", 0.1L, 0.2L};
    HklTable table(3, MakeReflection(1, 0, 0, 4, 22));
    auto refusal = GenerateHklTable(cell, RangeOf(cell, 0.2L), p, table);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en,
                 "The table would hold more than 20,000,000 reflections: set a larger minimum "
                 "d-value");
    EXPECT_STREQ(refusal->ja, "反射の数が2000万を超えます。最小ｄ値を大きくしてください");
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.capacity(), 0u);  // nothing was built
    // Counting stops soon after the count passes the limit it was given.
    const std::optional<std::size_t> some = CountHklReflections(cell, RangeOf(cell, 0.2L), p, 1000);
    ASSERT_TRUE(some);
    EXPECT_GT(*some, 1000u);
    EXPECT_LT(*some, 20'000'000u);
}

// A table of exactly as many reflections as the limit allows is made; one more is refused.
TEST(HklRefusals, LimitsAtTheirBoundaries) {
    const HklCell cell = CellFromDegrees(7.1L, 8.2L, 9.3L, 80, 95, 105);
    const IndexRange range = RangeOf(cell, 0.6L);
    for (const char* choice : {"all", "asym"}) {
        const HklParameters p{kTriclinic, choice, 0.710678L, 0.6L};
        const std::optional<std::size_t> n = CountHklReflections(cell, range, p, 1'000'000);
        ASSERT_TRUE(n);
        ASSERT_GT(*n, 1000u);
        const Text refusal = {"too many", "多すぎ"};
        HklTable table;
        EXPECT_FALSE(GenerateHklTable(cell, range, p, table, {*n, refusal}));
        EXPECT_EQ(table.size(), *n);
        const HklRefusal refused = GenerateHklTable(cell, range, p, table, {*n - 1, refusal});
        ASSERT_TRUE(refused);
        EXPECT_STREQ(refused->en, "too many");
        EXPECT_TRUE(table.empty());
    }

    EXPECT_EQ(kWindowLimit.reflections, 20'000'000u);
    EXPECT_STREQ(kWindowLimit.refusal.en, kTooManyReflectionsText.en);
    // The tool: 100 million, or what half the memory holds at 32 bytes a reflection.
    const std::uint64_t enough = 2ULL * 32 * 100'000'000;
    struct Memory {
        std::uint64_t bytes;
        std::size_t reflections;
        const char* en;
    };
    const char* const hundred_million =
        "The table would hold more than 100,000,000 reflections: set a larger minimum d-value";
    const char* const half_memory =
        "The sorted table would need more than half of the memory this program may use: set a "
        "larger minimum d-value";
    const Memory memories[] = {
        {0, 100'000'000, hundred_million},  // unknown
        {24ULL << 30, 100'000'000, hundred_million}, {enough, 100'000'000, hundred_million},
        {enough - 64, 99'999'999, half_memory},      {4ULL << 30, 67'108'864, half_memory},
    };
    for (const Memory& m : memories) {
        const HklLimit limit = ToolLimit(m.bytes);
        EXPECT_EQ(limit.reflections, m.reflections) << m.bytes;
        EXPECT_STREQ(limit.refusal.en, m.en) << m.bytes;
    }
    EXPECT_STREQ(ToolLimit(0).refusal.ja, "反射の数が1億を超えます。最小ｄ値を大きくしてください");
    EXPECT_STREQ(ToolLimit(1ULL << 30).refusal.ja,
                 "並べ替えた表にはこのプログラムが使えるメモリの半分以上が必要です。最小ｄ値を"
                 "大きくしてください");
    EXPECT_GT(PhysicalMemory(), 0u);
}

TEST(HklRefusals, CalculateWithoutCellOrRange) {
    HklState state;
    state.table.push_back(MakeReflection(1, 0, 0, 4, 22));
    std::array<std::string, 6> texts = {"", "5", "5", "90", "90", "90"};
    auto refusal = GenerateHklTable(texts, {kCubic, "all", 1.54178L, 1.5L}, state);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en, "Set Cell Constant");
    EXPECT_TRUE(state.table.empty());
    EXPECT_EQ(state.grid_rows, 30);

    texts[0] = "5";
    state.grid_rows = 200;
    refusal = GenerateHklTable(texts, {kCubic, "all", 1.54178L, 1.5L}, state);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en, "Set hkl range ");
    EXPECT_STREQ(refusal->ja, "指数範囲を設定してください");
    EXPECT_EQ(state.grid_rows, 30);
    EXPECT_EQ(state.cell.a, 0);  // the cell grid is not read
}

TEST(HklFailures, ConversionErrorStoresTheRowsBefore) {
    HklState state;
    state.range = {-2, 2, -2, 2, -2, 2};
    const std::array<std::string, 6> texts = {"5.1", "6.2", "x", "90", "90", "90"};
    try {
        GenerateHklTable(texts, {kCubic, "all", 1.54178L, 1.5L}, state);
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'x' は浮動小数点数ではありません");
    }
    EXPECT_EQ(state.cell.a, 5.1L);
    EXPECT_EQ(state.cell.b, 6.2L);
    EXPECT_EQ(state.cell.c, 0);
}

TEST(HklFailures, DegenerateCellsAreRefusedOrRaiseTheArithmeticFaults) {
    // Calculate with a = 0 typed after an earlier range is refused as no cell.
    HklState state;
    state.range = {-2, 2, -2, 2, -2, 2};
    const std::array<std::string, 6> flat = {"0", "5", "5", "90", "90", "90"};
    EXPECT_STREQ(EnglishOf(GenerateHklTable(flat, {kCubic, "all", 1.54178L, 1.5L}, state)),
                 kNotACellText.en);
    EXPECT_TRUE(state.table.empty());
    // The metric itself: three angles of 150° span no volume, the square root of a negative
    // number.
    try {
        ComputeCellMetric(CellFromDegrees(5, 5, 5, 150, 150, 150));
        FAIL();
    } catch (const FloatFault& e) {
        EXPECT_EQ(e.FaultKind(), FloatFault::Kind::InvalidOperation);
    }
}

}  // namespace
}  // namespace dorvalix
