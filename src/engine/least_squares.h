// SPDX-License-Identifier: GPL-3.0-or-later
// The least-squares fit of the reciprocal metric through the normal equations.
#pragma once

#include <array>

#include "observation_table.h"
#include "refinement.h"

namespace dorvalix {

// Fixed work arrays of the fit, allocated once with the window's state.
struct LeastSquaresWork {
    // The design matrix, kept transposed: at[j][i] = A[i][j], the entry of coefficient j
    // in the design row of observation i, as the integer it was computed in. An entry is
    // converted to extended where it is used, which is exact (it is below 2^35).
    std::array<std::array<std::int64_t, kTableRows>, kMaxCoefficients + 1> at{};
    bool smallEntries = true;                  // every entry is at most 2^26 in magnitude
    std::array<long double, kTableRows> qo{};  // observed Q = 1/d^2
    Coefficients delta{};                      // right-hand side A^T Qo
};

// Row i of A is the design row of observation i for the crystal system `code`.
void BuildDesignMatrix(LeastSquaresWork& work, const ParsedObservations& obs, int code);
// Qo[i] = 1 / (d[i] · d[i]); a d of 0 is a division by zero (FloatFault).
void ComputeObservedQ(LeastSquaresWork& work, const ParsedObservations& obs);
// M = A^T A, each entry summed over i = 1..N in order.
void BuildNormalMatrix(const LeastSquaresWork& work, int n, int p, NormalMatrix& m);
// Gauss-Jordan inversion in place with the absolute pivot threshold 0.00001; false when a
// pivot is too small (M is left partly transformed).
bool InvertNormalMatrix(NormalMatrix& m, int p);
// Delta = A^T Qo.
void ComputeRightHandSide(LeastSquaresWork& work, int n, int p);
// x = M^-1 Delta.
void SolveCoefficients(const NormalMatrix& minv, const Coefficients& delta, int p, Coefficients& x);
// sigma(x_j) = sqrt(M^-1_jj · R / (N - P)).
void ComputeCoefficientDeviations(RefinementResult& result);

}  // namespace dorvalix
