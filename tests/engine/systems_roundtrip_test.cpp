// SPDX-License-Identifier: GPL-3.0-or-later
// For every crystal system, d values computed from a known cell refine back to that cell.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "calculation.h"
#include "deviations.h"
#include "known_cells.h"
#include "numtext.h"

namespace dorvalix {
namespace {

// Q = 1/d² of (h, k, l) for a direct cell, through the inverse of the direct metric.
long double QFromCell(const KnownCell& cell, int h, int k, int l) {
    const long double deg = std::numbers::pi_v<long double> / 180;
    const long double ca = std::cos(cell.alpha * deg), cb = std::cos(cell.beta * deg),
                      cg = std::cos(cell.gamma * deg);
    const long double g[3][3] = {{cell.a * cell.a, cell.a * cell.b * cg, cell.a * cell.c * cb},
                                 {cell.a * cell.b * cg, cell.b * cell.b, cell.b * cell.c * ca},
                                 {cell.a * cell.c * cb, cell.b * cell.c * ca, cell.c * cell.c}};
    // Inverse by cofactors.
    const long double det = g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) -
                            g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
                            g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
    long double inv[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inv[r][c] = (g[r1][c1] * g[r2][c2] - g[r1][c2] * g[r2][c1]) / det;
        }
    }
    const long double v[3] = {static_cast<long double>(h), static_cast<long double>(k),
                              static_cast<long double>(l)};
    long double q = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            q += v[r] * inv[r][c] * v[c];
    return q;
}

void ExpectRelative(long double got, long double want, const char* what, int code) {
    EXPECT_LE(std::fabs(got - want), 1e-9L * std::fabs(want))
        << what << " of system " << code << ": " << FormatGeneral(got) << " vs "
        << FormatGeneral(want);
}

class SystemRoundTrip : public ::testing::TestWithParam<KnownCell> {};

TEST_P(SystemRoundTrip, RefinesBackToTheCell) {
    const KnownCell cell = GetParam();
    CalculationState state;
    state.crystalSystem = cell.code;
    int row = 0;
    for (int h = -2; h <= 2; ++h) {
        for (int k = -2; k <= 2; ++k) {
            for (int l = 0; l <= 2; ++l) {
                if (h == 0 && k == 0 && l == 0) continue;
                const long double d = 1 / std::sqrt(QFromCell(cell, h, k, l));
                ++row;
                state.table.Cell(0, row) = FormatFixed(d, 18, 18);
                state.table.Cell(1, row) = IntText(h);
                state.table.Cell(2, row) = IntText(k);
                state.table.Cell(3, row) = IntText(l);
            }
        }
    }
    const RunReport report = RunCalculation(state, Lang::English);
    ASSERT_TRUE(report.completed) << report.messageText << report.faultText.value_or("");
    const CellParameters& dc = state.result.direct;
    ExpectRelative(dc.a, cell.a, "a", cell.code);
    ExpectRelative(dc.b, cell.b, "b", cell.code);
    ExpectRelative(dc.c, cell.c, "c", cell.code);
    ExpectRelative(dc.alpha, cell.alpha, "alpha", cell.code);
    ExpectRelative(dc.beta, cell.beta, "beta", cell.code);
    ExpectRelative(dc.gamma, cell.gamma, "gamma", cell.code);
    EXPECT_EQ(state.panel.residual, "0.00000000");
}

INSTANTIATE_TEST_SUITE_P(AllSystems, SystemRoundTrip, ::testing::ValuesIn(kKnownCells),
                         KnownCellName);

TEST(Deviations, PerfectFitGivesExactZeros) {
    for (int code = 1; code <= 8; ++code) {
        RefinementResult r;
        r.x = {0, 0.02L, 0.03L, 0.04L, 0.001L, 0.002L, 0.003L};
        if (code == kTrigonal) r.x[2] = 0.005L;
        r.reciprocal = {0.14L, 0.17L, 0.2L, 1.5L, 1.4L, 1.6L, 0.004L};
        r.direct = {7.1L, 5.9L, 5.0L, 1.6L, 1.7L, 1.5L, 250.0L};
        ComputeCellDeviations(r, code);
        for (int q = 0; q < 7; ++q) {
            EXPECT_EQ(r.reciprocalSd[q], 0) << "code " << code << " quantity " << q;
            EXPECT_EQ(r.directSd[q], 0) << "code " << code << " quantity " << q;
        }
    }
}

TEST(Deviations, HexagonalAndTetragonalShareTheirVolumeDeviation) {
    RefinementResult hex, tet;
    for (RefinementResult* r : {&hex, &tet}) {
        r->x[1] = 0.09L;
        r->x[2] = 0.04L;
        r->sx[1] = 0.0002L;
        r->sx[2] = 0.0003L;
        r->reciprocal = {0.3L, 0.3L, 0.2L, kPi0 / 2, kPi0 / 2, kPi0 / 2, 0.018L};
    }
    ComputeCellDeviations(hex, kHexagonal);
    ComputeCellDeviations(tet, kTetragonal);
    EXPECT_EQ(hex.reciprocalSd.volume, tet.reciprocalSd.volume);
}

TEST(Deviations, AngleFunctions) {
    EXPECT_EQ(AngleFromCosine(0), 90);
    EXPECT_NEAR(static_cast<double>(AngleFromCosine(0.5L)), 60.0, 0.01);
    EXPECT_NEAR(static_cast<double>(RhombohedralAngle(0.5L)), 60.0, 0.001);
}

}  // namespace
}  // namespace dorvalix
