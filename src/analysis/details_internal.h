// SPDX-License-Identifier: GPL-3.0-or-later
// What the parts of the refinement details share: the included observations with their
// design rows, and the propagation of a covariance to a cell.
#pragma once

#include <vector>

#include "linear_algebra.h"
#include "metric.h"
#include "refinement_details.h"

namespace dorvalix::details {

// The included observations of the run, in table order.
struct Observations {
    int code = kNoSystem;
    int n = 0, p = 0;
    std::vector<int> rows;  // table row of each
    std::vector<std::int32_t> h, k, l;
    std::vector<long double> d, qObs;
    std::vector<std::vector<long double>> a;  // design columns: a[j][i], j = 0..P−1
};

// aᵢᵀx.
long double DesignDot(const Observations& o, int i, const long double* x);

// 2θ in degrees of a spacing with sin θ = s; empty unless 0 <= s < 1.
std::optional<long double> TwoThetaOfSine(long double s);

// The reciprocal and the direct cell of the coefficients x[0..P−1] with the s.u. that the
// covariance `cx` (P × P; empty: none) gives them. False when x describes no cell.
bool CellsWithSu(int code, const long double* x, int p, const SquareMatrix& cx,
                 CellWithSu& reciprocal, CellWithSu& direct);

// The refusal of a cell whose length or its s.u. is not finite or beyond kMaxCellLength.
std::optional<DetailsMessage> CellNotDetermined(const CellWithSu& direct);

FiguresOfMerit ComputeFiguresOfMerit(const Observations& o, const std::vector<long double>& qCalc,
                                     const long double* x, const DetailsOptions& options);

// The fit on 2θ, started from the Q fit's coefficients; the refusal when it cannot be made.
std::optional<DetailsMessage> FitTwoTheta(const Observations& o, const long double* x,
                                          const DetailsOptions& options, TwoThetaFit& fit);

}  // namespace dorvalix::details
