// SPDX-License-Identifier: GPL-3.0-or-later
// Reduction and Bravais lattices: a cell given in any primitive basis comes back as the
// conventional cell of its highest-symmetry lattice, including cells whose metric is higher
// than their nominal system.
#include <gtest/gtest.h>

#include <cmath>

#include "bravais.h"
#include "crystal_system.h"
#include "lattice.h"
#include "reduction.h"
#include "space_groups.h"

namespace dorvalix::indexing {
namespace {

struct BravaisCase {
    const char* name;
    Cell cell;
    Centring centring;  // of the cell as given
    const char* bravais;
    Cell conventional;  // expected
};

void PrintTo(const BravaisCase& c, std::ostream* os) {
    *os << c.name;
}

// A scrambled primitive basis of the lattice: the primitive cell times a unimodular matrix.
Metric ScrambledPrimitive(const BravaisCase& c) {
    const Metric g = *ReciprocalMetricOf(c.cell);
    const Metric primitive = *PrimitiveOf(g, c.centring);
    const IntMatrix3 scramble = {{{1, 1, 0}, {0, 1, 2}, {1, 1, 1}}};  // determinant 1
    return *TransformedMetric(primitive, scramble);
}

class BravaisOfCell : public ::testing::TestWithParam<BravaisCase> {};

TEST_P(BravaisOfCell, HighestSymmetryFormIsTheConventionalCell) {
    const BravaisCase& c = GetParam();
    const auto reduced = NiggliReduce(ScrambledPrimitive(c));
    ASSERT_TRUE(reduced);
    std::vector<LatticeForm> forms = ConventionalForms(reduced->g, 1.0L);
    ASSERT_FALSE(forms.empty());
    const LatticeForm* best = &forms.front();
    for (const LatticeForm& f : forms)
        if (f.rank > best->rank) best = &f;
    EXPECT_EQ(best->bravais, c.bravais);
    const Cell got = *CellOf(*TransformedMetric(reduced->g, best->m));
    const long double want[6] = {c.conventional.a,     c.conventional.b,    c.conventional.c,
                                 c.conventional.alpha, c.conventional.beta, c.conventional.gamma};
    const long double have[6] = {got.a, got.b, got.c, got.alpha, got.beta, got.gamma};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(have[i], want[i], 1e-9L) << "parameter " << i;
    // Right-handed.
    EXPECT_GT(Determinant(best->m), 0);
}

INSTANTIATE_TEST_SUITE_P(Lattices, BravaisOfCell,
                         ::testing::Values(BravaisCase{"cF",
                                                       {5.431L, 5.431L, 5.431L, 90, 90, 90},
                                                       Centring::F,
                                                       "cF",
                                                       {5.431L, 5.431L, 5.431L, 90, 90, 90}},
                                           BravaisCase{"cI",
                                                       {2.884L, 2.884L, 2.884L, 90, 90, 90},
                                                       Centring::I,
                                                       "cI",
                                                       {2.884L, 2.884L, 2.884L, 90, 90, 90}},
                                           BravaisCase{"tI",
                                                       {3.785L, 3.785L, 9.514L, 90, 90, 90},
                                                       Centring::I,
                                                       "tI",
                                                       {3.785L, 3.785L, 9.514L, 90, 90, 90}},
                                           BravaisCase{"hP",
                                                       {3.25L, 3.25L, 5.207L, 90, 90, 120},
                                                       Centring::P,
                                                       "hP",
                                                       {3.25L, 3.25L, 5.207L, 90, 90, 120}},
                                           BravaisCase{"hR",
                                                       {4.759L, 4.759L, 12.991L, 90, 90, 120},
                                                       Centring::R,
                                                       "hR",
                                                       {4.759L, 4.759L, 12.991L, 90, 90, 120}},
                                           // A cell on rhombohedral axes (a = 5 Å, α = 75°): a_h =
                                           // 2a·sin(α/2), c_h = a·√(3 + 6·cos α).
                                           BravaisCase{"hR from rhombohedral axes",
                                                       {5.0L, 5.0L, 5.0L, 75, 75, 75},
                                                       Centring::P,
                                                       "hR",
                                                       {6.087614290087206L, 6.087614290087206L,
                                                        10.668779534950477L, 90, 90, 120}},
                                           BravaisCase{"oC",
                                                       {5.1L, 6.2L, 7.3L, 90, 90, 90},
                                                       Centring::C,
                                                       "oC",
                                                       {5.1L, 6.2L, 7.3L, 90, 90, 90}},
                                           BravaisCase{"oF",
                                                       {5.1L, 6.2L, 7.3L, 90, 90, 90},
                                                       Centring::F,
                                                       "oF",
                                                       {5.1L, 6.2L, 7.3L, 90, 90, 90}},
                                           BravaisCase{"mC",
                                                       {9.75L, 8.93L, 5.25L, 90, 105.8L, 90},
                                                       Centring::C,
                                                       "mC",
                                                       {9.75L, 8.93L, 5.25L, 90, 105.8L, 90}},
                                           // A monoclinic cell with β = 90° is orthorhombic.
                                           BravaisCase{"monoclinic with beta 90",
                                                       {9.75L, 8.93L, 5.25L, 90, 90, 90},
                                                       Centring::P,
                                                       "oP",
                                                       {5.25L, 8.93L, 9.75L, 90, 90, 90}},
                                           // A tetragonal cell with c = a is cubic.
                                           BravaisCase{"tetragonal with c = a",
                                                       {4.1L, 4.1L, 4.1L, 90, 90, 90},
                                                       Centring::P,
                                                       "cP",
                                                       {4.1L, 4.1L, 4.1L, 90, 90, 90}},
                                           BravaisCase{"aP",
                                                       {7.12L, 8.45L, 9.87L, 84.3L, 97.6L, 102.1L},
                                                       Centring::P,
                                                       "aP",
                                                       {7.12L, 8.45L, 9.87L, 84.3L, 82.4L, 77.9L}}),
                         [](const ::testing::TestParamInfo<BravaisCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

// The index shown of a reflection: the conventional one (1 1 1, not 1 -1 -1), always of the
// same d in a cell of the system, and allowed by the lattice when the original was (the R
// lattice's -3m, not 6/mmm, on hexagonal axes).
TEST(ShownIndices, ConventionalTripleOfTheSameLine) {
    const struct {
        int code;
        Centring centring;
        Hkl given, shown;
        Cell cell;
    } cases[] = {
        {kCubic, Centring::F, {1, -1, -1}, {1, 1, 1}, {5.43, 5.43, 5.43, 90, 90, 90}},
        {kCubic, Centring::F, {0, 2, -2}, {2, 2, 0}, {5.43, 5.43, 5.43, 90, 90, 90}},
        {kTetragonal, Centring::I, {-1, 0, -3}, {1, 0, 3}, {4.1, 4.1, 9.7, 90, 90, 90}},
        {kHexagonal, Centring::P, {-1, 2, 0}, {1, 1, 0}, {4.9, 4.9, 5.4, 90, 90, 120}},
        {kHexagonal, Centring::R, {-1, -1, 3}, {1, 1, 3}, {4.76, 4.76, 12.99, 90, 90, 120}},
        {kMonoclinicBeta, Centring::C, {1, -3, -1}, {1, 3, -1}, {9.7, 8.9, 5.25, 90, 105.6, 90}},
        {kMonoclinicGamma, Centring::P, {-2, 1, -1}, {2, -1, 1}, {6.1, 7.2, 8.3, 90, 90, 97}},
        {kTriclinic, Centring::P, {-1, 2, -3}, {1, -2, 3}, {5, 6, 7, 80, 85, 95}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShownIndices(c.given, c.code, c.centring), c.shown)
            << c.code << " " << c.given[0] << c.given[1] << c.given[2];
        // Every triple of a small range: the same Q, never fewer indices not negative, and
        // the lattice's condition kept.
        const Metric g = *ReciprocalMetricOf(c.cell);
        for (int h = -4; h <= 4; ++h) {
            for (int k = -4; k <= 4; ++k) {
                for (int l = -4; l <= 4; ++l) {
                    const Hkl hkl{h, k, l};
                    const Hkl s = ShownIndices(hkl, c.code, c.centring);
                    ASSERT_NEAR(static_cast<double>(QOf(g, s)), static_cast<double>(QOf(g, hkl)),
                                1e-12)
                        << c.code << ": " << h << " " << k << " " << l;
                    ASSERT_EQ(AllowedByCentring(c.centring, h, k, l),
                              AllowedByCentring(c.centring, s[0], s[1], s[2]));
                }
            }
        }
    }
}

// A group of lower Laue symmetry than its lattice: Pa-3 allows 0 2 3 but not 3 2 0, one
// line of the powder pattern, and neither 3 1 0 nor any triple of its line.
TEST(SpaceGroupLines, ALineIsAllowedWhenAnyTripleOfItIs) {
    const auto pa3 = SpaceGroup::Find("Pa-3");
    ASSERT_TRUE(pa3);
    EXPECT_FALSE(pa3->Allowed({3, 2, 0}));
    EXPECT_TRUE(pa3->Allowed({0, 2, 3}));
    EXPECT_TRUE(pa3->AllowedOnItsLine({3, 2, 0}, kCubic));
    EXPECT_FALSE(pa3->AllowedOnItsLine({3, 1, 0}, kCubic));
    EXPECT_FALSE(pa3->AllowedOnItsLine({1, 0, 0}, kCubic));
}

}  // namespace
}  // namespace dorvalix::indexing
