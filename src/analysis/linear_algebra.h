// SPDX-License-Identifier: GPL-3.0-or-later
// Small dense least squares for the refinement details: Householder QR of a tall matrix with
// a handful of columns (at most seven), in long double.
#pragma once

#include <vector>

namespace dorvalix {

// A P × P matrix, row by row.
using SquareMatrix = std::vector<std::vector<long double>>;

// Householder QR (Golub and Van Loan, Matrix Computations, 4th ed., §5.2) of an N × P
// matrix. Working on A itself, not on AᵀA, keeps the accuracy of the columns when they
// differ in scale by many orders (a 2θ fit's zero beside its coefficients).
class QrFactorization {
  public:
    // `columns` holds the P columns of A, each of length N (N >= P). False when a column
    // is, to the working precision, a combination of the others.
    bool Factor(std::vector<std::vector<long double>> columns);

    // The least-squares solution of A·x ≈ b.
    std::vector<long double> Solve(std::vector<long double> b) const;

    // (AᵀA)⁻¹ = R⁻¹·R⁻ᵀ.
    SquareMatrix InverseNormalMatrix() const;

  private:
    int n_ = 0, p_ = 0;
    std::vector<std::vector<long double>> v_;  // Householder vectors, v_[j] over rows j..N−1
    std::vector<long double> beta_;            // 2 / vᵀv
    SquareMatrix r_;                           // upper triangle
};

}  // namespace dorvalix
