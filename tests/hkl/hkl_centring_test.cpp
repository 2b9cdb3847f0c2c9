// SPDX-License-Identifier: GPL-3.0-or-later
// The hkl table of a centred lattice: the reflections the centring makes absent are left out,
// the others are listed exactly as the primitive table lists them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "crystal_system.h"
#include "hkl_table.h"
#include "hkl_text.h"

namespace dorvalix {
namespace {

HklTable Generate(const HklCell& cell, long double d_min, int system, const char* choice,
                  Centring lattice, long double wavelength = 1.54178L) {
    IndexRange range;
    EXPECT_FALSE(ComputeIndexRange(cell, d_min, range));
    HklTable table;
    EXPECT_FALSE(
        GenerateHklTable(cell, range, {system, choice, wavelength, d_min, lattice}, table));
    return table;
}

std::vector<std::string> Lines(const HklTable& table) {
    std::vector<std::string> lines;
    for (const HklReflection& r : table) {
        std::string line;
        for (int column = 0; column < 5; ++column)
            line += HklCellText(r, column);
        lines.push_back(line);
    }
    return lines;
}

// The reflection conditions of the centred lattices (International Tables for
// Crystallography A, table 2.2.13.1), written out here apart from the code under test.
bool Observable(Centring c, int h, int k, int l) {
    switch (c) {
        case Centring::P:
            return true;
        case Centring::A:
            return std::abs(k + l) % 2 == 0;
        case Centring::B:
            return std::abs(h + l) % 2 == 0;
        case Centring::C:
            return std::abs(h + k) % 2 == 0;
        case Centring::I:
            return std::abs(h + k + l) % 2 == 0;
        case Centring::F:
            return std::abs(h + k) % 2 == 0 && std::abs(k + l) % 2 == 0;
        case Centring::R:
            return std::abs(-h + k + l) % 3 == 0;
    }
    return false;
}

// The primitive table with the absent reflections struck out by hand.
HklTable Filtered(const HklTable& primitive, Centring c) {
    HklTable out;
    for (const HklReflection& r : primitive)
        if (Observable(c, r.h, r.k, r.l)) out.push_back(r);
    return out;
}

// The worked example's silicon (space group Fd-3m): with F only the reflections whose
// indices are all odd or all even stay, as generated and as sorted.
TEST(HklCentring, SiliconWithFKeepsAllOddAndAllEvenIndices) {
    const HklCell silicon = CellFromDegrees(5.431L, 5.431L, 5.431L, 90, 90, 90);
    HklTable table = Generate(silicon, 1.5L, kCubic, "asym", Centring::F);
    EXPECT_EQ(Lines(table),
              (std::vector<std::string>{"   2.7155  0  0  2  32.98", "   3.1356  1  1  1  28.46",
                                        "   1.9201  2  2  0  47.34", "   1.5678  2  2  2  58.91",
                                        "   1.6375  3  1  1  56.17"}));
    SortHklTable(table);
    EXPECT_EQ(Lines(table),
              (std::vector<std::string>{"   3.1356  1  1  1  28.46", "   2.7155  0  0  2  32.98",
                                        "   1.9201  2  2  0  47.34", "   1.6375  3  1  1  56.17",
                                        "   1.5678  2  2  2  58.91"}));
    // Every reflection of the whole sphere, Friedel mates and equivalents too.
    for (const HklReflection& r : Generate(silicon, 1.5L, kCubic, "all", Centring::F)) {
        const int odd = (r.h & 1) + (r.k & 1) + (r.l & 1);
        EXPECT_TRUE(odd == 0 || odd == 3) << r.h << " " << r.k << " " << r.l;
    }
}

// Small cells of every shape, both range choices: the centred table is the primitive one
// with the absent reflections struck out, row for row.
TEST(HklCentring, CentredTablesAreThePrimitiveOnesFilteredByHand) {
    const struct {
        const char* name;
        HklCell cell;
        int system;
    } cells[] = {
        {"tetragonal", CellFromDegrees(4.1L, 4.1L, 6.3L, 90, 90, 90), kTetragonal},
        {"orthorhombic", CellFromDegrees(5.2L, 6.1L, 7.3L, 90, 90, 90), kOrthorhombic},
        {"monoclinic", CellFromDegrees(9.75L, 8.93L, 5.26L, 90, 105.8L, 90), kMonoclinicBeta},
        {"triclinic", CellFromDegrees(5.1L, 6.2L, 7.3L, 80, 95, 105), kTriclinic},
        {"hexagonal", CellFromDegrees(4.9L, 4.9L, 13.6L, 90, 90, 120), kHexagonal},
    };
    for (const auto& c : cells) {
        for (const char* choice : {"all", "asym"}) {
            const HklTable primitive = Generate(c.cell, 1.2L, c.system, choice, Centring::P);
            ASSERT_GT(primitive.size(), 20u) << c.name;
            for (const Centring lattice :
                 {Centring::A, Centring::B, Centring::C, Centring::I, Centring::F, Centring::R}) {
                const HklTable centred = Generate(c.cell, 1.2L, c.system, choice, lattice);
                const std::string what =
                    std::string(c.name) + " " + choice + " " + CentringLetter(lattice);
                EXPECT_EQ(Lines(centred), Lines(Filtered(primitive, lattice))) << what;
                EXPECT_LT(centred.size(), primitive.size()) << what;
            }
        }
    }
}

// The table of the benchmark (about 995,000 reflections): the body-centred lattice keeps
// half the reflections of the primitive one. Inside the sphere d ≥ d_min the reflections of
// even and odd h + k + l alternate; the counts differ only through where the surface cuts
// the lattice, so by no more than the reflections in the outermost shell (d within 0.01 %
// of d_min).
TEST(HklCentring, BodyCentredBenchmarkTableIsHalfThePrimitiveOne) {
    const HklCell cell = CellFromDegrees(25.1L, 27.3L, 30.2L, 85, 95, 100);
    const long double moKa = FindWavelengthPreset("Mo-Ka")->wavelength;
    const long double dMin = 0.44L;
    const HklTable primitive = Generate(cell, dMin, kTriclinic, "all", Centring::P, moKa);
    const HklTable body = Generate(cell, dMin, kTriclinic, "all", Centring::I, moKa);
    const long long p = static_cast<long long>(primitive.size());
    const long long i = static_cast<long long>(body.size());
    EXPECT_GT(p, 990'000);
    EXPECT_LT(p, 1'000'000);
    const CellMetric metric = ComputeCellMetric(cell);
    long long shell = 0;
    for (const HklReflection& r : primitive)
        shell += SpacingD(metric, r.h, r.k, r.l) < dMin * (1 + 1e-4L);
    EXPECT_GT(shell, 0);
    EXPECT_LE(std::llabs(2 * i - p), shell) << "P " << p << ", I " << i << ", shell " << shell;
    // The centring keeps (h, k, l) and (−h, −k, −l) alike: the count stays even.
    EXPECT_EQ(i % 2, 0);
}

}  // namespace
}  // namespace dorvalix
