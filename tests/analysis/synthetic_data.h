// SPDX-License-Identifier: GPL-3.0-or-later
// Synthetic observation tables for the refinement-details tests: reflections of a known cell,
// with d written to a chosen number of decimals (the rounding is the noise), optionally
// shifted on the 2θ scale by a zero error.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "calculation.h"
#include "numtext.h"

namespace dorvalix::test {

// The full reciprocal metric (a*², b*², c*², b*c*cos α*, c*a*cos β*, a*b*cos γ*) of a
// direct cell, from the direct metric's inverse: written out here, apart from the code
// under test.
struct DirectCell {
    long double a, b, c, alpha, beta, gamma;  // Å, degrees
};

inline std::array<long double, 6> ReciprocalMetricOf(const DirectCell& cell) {
    const long double r = std::numbers::pi_v<long double> / 180;
    const long double ca = std::cos(cell.alpha * r), cb = std::cos(cell.beta * r),
                      cg = std::cos(cell.gamma * r);
    const long double g11 = cell.a * cell.a, g22 = cell.b * cell.b, g33 = cell.c * cell.c;
    const long double g23 = cell.b * cell.c * ca, g13 = cell.a * cell.c * cb,
                      g12 = cell.a * cell.b * cg;
    const long double det = g11 * (g22 * g33 - g23 * g23) - g12 * (g12 * g33 - g23 * g13) +
                            g13 * (g12 * g23 - g22 * g13);
    return {(g22 * g33 - g23 * g23) / det, (g11 * g33 - g13 * g13) / det,
            (g11 * g22 - g12 * g12) / det, (g13 * g12 - g11 * g23) / det,
            (g12 * g23 - g22 * g13) / det, (g23 * g13 - g33 * g12) / det};
}

inline long double QOf(const std::array<long double, 6>& g, int h, int k, int l) {
    return g[0] * h * h + g[1] * k * k + g[2] * l * l +
           2 * (g[3] * k * l + g[4] * l * h + g[5] * h * k);
}

struct Hkl {
    int h, k, l;
};

// Reflections with indices in −limit..limit (h ≥ 0), d ≥ dMin, of distinct d, largest d
// first, at most `count`.
inline std::vector<Hkl> ReflectionsOf(const std::array<long double, 6>& g, long double dMin,
                                      int count, int limit = 3) {
    std::vector<std::pair<long double, Hkl>> all;
    for (int h = 0; h <= limit; ++h)
        for (int k = -limit; k <= limit; ++k)
            for (int l = -limit; l <= limit; ++l) {
                if (h == 0 && (k < 0 || (k == 0 && l <= 0))) continue;
                const long double q = QOf(g, h, k, l);
                if (q > 0 && 1 / std::sqrt(q) >= dMin) all.push_back({q, {h, k, l}});
            }
    std::stable_sort(all.begin(), all.end(), [](auto& x, auto& y) { return x.first < y.first; });
    std::vector<Hkl> out;
    long double last = -1;
    for (const auto& [q, hkl] : all) {
        if (q - last < 1e-6L * q) continue;
        last = q;
        out.push_back(hkl);
        if (static_cast<int>(out.size()) == count) break;
    }
    return out;
}

// A small deterministic scatter in −1..1 (the same on every machine).
inline long double Scatter(std::uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<long double>(seed >> 8) / static_cast<long double>(1u << 23) - 1;
}

// d of each reflection, scaled by (1 + noise·scatter) and written with `decimals` decimals,
// into rows 1.. of the state's table; `zero` (degrees) is added to each 2θ at λ first.
inline void FillSynthetic(CalculationState& state, int code, const std::array<long double, 6>& g,
                          const std::vector<Hkl>& reflections, int decimals, long double noise = 0,
                          long double zero = 0, long double lambda = 1.54178L,
                          std::uint32_t seed = 1) {
    state.crystalSystem = code;
    int row = 0;
    for (const Hkl& r : reflections) {
        long double d = 1 / std::sqrt(QOf(g, r.h, r.k, r.l));
        if (zero != 0) {
            const long double rad = std::numbers::pi_v<long double> / 180;
            const long double twoTheta = 2 * std::asin(lambda / (2 * d)) / rad + zero;
            d = lambda / (2 * std::sin(twoTheta / 2 * rad));
        }
        d *= 1 + noise * Scatter(seed);
        ++row;
        state.table.Cell(0, row) = FormatFixed(d, decimals, 20);
        state.table.Cell(1, row) = IntText(r.h);
        state.table.Cell(2, row) = IntText(r.k);
        state.table.Cell(3, row) = IntText(r.l);
        state.table.Cell(4, row).clear();
    }
}

}  // namespace dorvalix::test
