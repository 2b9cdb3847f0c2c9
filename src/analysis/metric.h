// SPDX-License-Identifier: GPL-3.0-or-later
// The full reciprocal metric and the cell quantities as functions of it, with gradients.
#pragma once

#include <array>

#include "crystal_system.h"

namespace dorvalix {

// g = (a*², b*², c*², b*c*·cos α*, c*a*·cos β*, a*b*·cos γ*): Q(hkl) = g1·h² + g2·k² +
// g3·l² + 2·g4·kl + 2·g5·lh + 2·g6·hk.
using Metric = std::array<long double, 6>;

// The 6 × P matrix T of a crystal system with g = T·x, from its free coefficients.
using MetricMap = std::array<std::array<long double, kMaxCoefficients>, 6>;
MetricMap MetricMapOf(int code);

// g = T·x for the coefficients x[0..P−1].
Metric MetricOf(const MetricMap& t, const long double* x, int p);

// Q of (h, k, l).
long double MetricQ(const Metric& g, long double h, long double k, long double l);

// The seven quantities of the reciprocal or the direct cell (a, b, c, α, β, γ, V; angles
// in degrees) and the gradient of each with respect to g.
struct CellFunctions {
    std::array<long double, 7> value{};
    std::array<std::array<long double, 6>, 7> gradient{};
};

// Both cells from g; false when g is not positive definite (no cell).
bool CellsFromMetric(const Metric& g, CellFunctions& reciprocal, CellFunctions& direct);

// The six angles a crystal system fixes: for row 3..5 (α, β, γ) of the reciprocal and the
// direct cell, the exact angle in degrees, or 0 when the angle is free.
struct FixedAngles {
    std::array<long double, 3> reciprocal{}, direct{};
};
FixedAngles FixedAnglesOf(int code);

}  // namespace dorvalix
