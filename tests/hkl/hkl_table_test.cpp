#include "hkl_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "crystal_system.h"
#include "errors.h"
#include "hkl_text.h"

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

TEST(HklArithmetic, WavelengthPresets) {
    const std::pair<const char*, long double> expected[] = {
        {"Cu-Ka", 1.54178L}, {"Cu-Ka1", 1.5405L},  {"Fe-Ka", 1.93733L},  {"Fe-Ka1", 1.93597L},
        {"Cr-Ka", 2.29099L}, {"Cr-Ka1", 2.28962L}, {"Mo-Ka", 0.710678L}, {"Mo-Ka1", 0.70926L},
    };
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_STREQ(kWavelengthPresets[i].name, expected[i].first);
        EXPECT_EQ(kWavelengthPresets[i].wavelength, expected[i].second);
        EXPECT_EQ(FindWavelengthPreset(expected[i].first), &kWavelengthPresets[i]);
    }
    EXPECT_EQ(FindWavelengthPreset("mo-ka")->wavelength, 0.710678L);
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

TEST(HklRefusals, WavelengthAndMinimumMustBePositive) {
    EXPECT_FALSE(CheckWavelength(0.710678L));
    EXPECT_FALSE(CheckMinimumD(1.5L));
    for (long double v : {0.0L, -1.54L, std::numeric_limits<long double>::infinity()}) {
        ASSERT_TRUE(CheckWavelength(v));
        EXPECT_STREQ(CheckWavelength(v)->en, "The X-ray wavelength must be greater than 0");
        EXPECT_STREQ(CheckWavelength(v)->ja, "X線の波長には0より大きい値を入れてください");
        ASSERT_TRUE(CheckMinimumD(v));
        EXPECT_STREQ(CheckMinimumD(v)->ja, "最小ｄ値には0より大きい値を入れてください");
    }
    const HklCell cell = CellFromDegrees(4, 4, 4, 90, 90, 90);
    const IndexRange range = RangeOf(cell, 1.5L);
    HklTable table(3, MakeReflection(1, 0, 0, 4, 22));
    auto refusal = GenerateHklTable(cell, range, {kCubic, "all", 0, 1.5L}, table);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en, kWavelengthNotPositiveText.en);
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
        "The sorted table would need more than half of this computer's memory: set a larger "
        "minimum d-value";
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
                 "並べ替えた表にはこのコンピュータのメモリの半分以上が必要です。最小ｄ値を大きく"
                 "してください");
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

TEST(HklFailures, DegenerateCellsRaiseTheArithmeticFaults) {
    // a = 0 with an earlier range: S of (0 k l) is 0, and 1 ÷ S divides by zero.
    HklState state;
    state.range = {-2, 2, -2, 2, -2, 2};
    const std::array<std::string, 6> flat = {"0", "5", "5", "90", "90", "90"};
    try {
        GenerateHklTable(flat, {kCubic, "all", 1.54178L, 1.5L}, state);
        FAIL();
    } catch (const FloatFault& e) {
        EXPECT_EQ(e.FaultKind(), FloatFault::Kind::DivideByZero);
    }
    // Three angles of 150° span no volume: the square root of a negative number.
    try {
        ComputeCellMetric(CellFromDegrees(5, 5, 5, 150, 150, 150));
        FAIL();
    } catch (const FloatFault& e) {
        EXPECT_EQ(e.FaultKind(), FloatFault::Kind::InvalidOperation);
    }
}

}  // namespace
}  // namespace dorvalix
