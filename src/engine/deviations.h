// SPDX-License-Identifier: GPL-3.0-or-later
// Standard deviations of the fourteen cell quantities: first-order propagation of the
// coefficient deviations, covariances ignored.
#pragma once

#include <cmath>

#include "refinement.h"

namespace dorvalix {

// One-sided finite differences with a step of 10^-4 deviations per input: each input p_j
// in turn is moved by 0.0001·d_j, ((f − f0) × 10000)² is summed, and the deviation is the
// square root of the sum. f is called with the current inputs; `value` receives f0.
template <class F>
long double FiniteDifferenceDeviation(F f, long double* p, const long double* d, int n,
                                      long double* value = nullptr) {
    const long double f0 = f(p);
    long double sum = 0;
    for (int j = 0; j < n; ++j) {
        const long double saved = p[j];
        p[j] = p[j] + 0.0001L * d[j];
        const long double step = (f(p) - f0) * 10000;
        sum += step * step;
        p[j] = saved;
    }
    if (value != nullptr) *value = f0;
    return std::sqrt(sum);
}

// Angle in degrees from a cosine, for the monoclinic and triclinic systems; only its slope
// matters to the differences. Exactly 90 for a cosine of exactly 0.
long double AngleFromCosine(long double c);

// Angle in degrees from a cosine, for the trigonal system.
long double RhombohedralAngle(long double u);

// Writes the deviations the crystal system `code` computes into result.reciprocalSd and
// result.directSd (angles in degrees); for codes 5–7 it also replaces V* and V.
void ComputeCellDeviations(RefinementResult& result, int code);

}  // namespace dorvalix
