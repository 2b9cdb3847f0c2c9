// SPDX-License-Identifier: GPL-3.0-or-later
// What a calculation run produces: the fitted metric, both cells, their deviations and the
// per-observation residuals.
#pragma once

#include <array>

#include "crystal_system.h"
#include "observation_table.h"

namespace dorvalix {

// Reciprocal a*, b*, c* (1/Å), α*, β*, γ*, V* (1/Å³) or direct a, b, c (Å), α, β, γ,
// V (Å³). Angles are radians until the results panel converts them to degrees in place.
struct CellParameters {
    long double a = 0, b = 0, c = 0, alpha = 0, beta = 0, gamma = 0, volume = 0;

    // The seven quantities in panel row order 0..6.
    long double& operator[](int row);
    long double operator[](int row) const;
};

// Vectors and matrices are used from index 1, as in the formulas.
using Coefficients = std::array<long double, kMaxCoefficients + 1>;
using NormalMatrix =
    std::array<std::array<long double, kMaxCoefficients + 1>, kMaxCoefficients + 1>;

struct RefinementResult {
    int n = 0;          // included observations fitted
    int p = 0;          // free coefficients
    Coefficients x{};   // fitted coefficients x1..xP of the system's compact order
    Coefficients sx{};  // their standard deviations
    NormalMatrix m{};   // the normal matrix, inverted in place
    CellParameters reciprocal, direct;
    CellParameters reciprocalSd, directSd;  // angle deviations in degrees
    // Working values of the deviation step, slots 1..3 = α, β, γ.
    std::array<long double, 4> reciprocalCos{}, reciprocalCosSd{};
    std::array<long double, 4> directCos{}, directCosSd{};
    // Calculated d, d_obs - d_calc and Qo - Qc of included observation i (1..n).
    std::array<long double, kTableRows> dCalc{}, dDiff{}, qDiff{};
    long double residual = 0;  // sum of (Qo - Qc)^2, 1/Å^4
};

// π as the cell computations use it (ten decimals).
inline constexpr long double kPi0 = 3.1415926535L;

}  // namespace dorvalix
