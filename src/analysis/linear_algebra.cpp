// SPDX-License-Identifier: GPL-3.0-or-later
#include "linear_algebra.h"

#include <cmath>

namespace dorvalix {

namespace {

// A column whose component outside the span of the columns before it is below this share
// of its length counts as dependent: far above the rounding of long double (about 1e-19),
// far below any column a real data set gives.
constexpr long double kDependentColumn = 1e-14L;

}  // namespace

bool QrFactorization::Factor(std::vector<std::vector<long double>> a) {
    p_ = static_cast<int>(a.size());
    n_ = p_ > 0 ? static_cast<int>(a[0].size()) : 0;
    const auto n = static_cast<std::size_t>(n_), p = static_cast<std::size_t>(p_);
    v_.resize(p);
    beta_.assign(p, 0);
    r_.assign(p, std::vector<long double>(p));
    if (n_ < p_) return false;
    for (std::size_t j = 0; j < p; ++j) {
        long double* col = a[j].data();
        long double above = 0, below = 0;  // rows 0..j−1 and j..N−1
        for (std::size_t i = 0; i < j; ++i)
            above += col[i] * col[i];
        for (std::size_t i = j; i < n; ++i)
            below += col[i] * col[i];
        const long double norm = std::sqrt(below);
        if (!std::isfinite(above + below) || norm <= kDependentColumn * std::sqrt(above + below))
            return false;
        const long double ajj = col[j];
        const long double alpha = ajj > 0 ? -norm : norm;
        auto& vj = v_[j];
        vj.assign(col + j, col + n);
        long double* v = vj.data();
        v[0] = ajj - alpha;
        // vᵀv = ‖a‖² − 2·alpha·ajj + alpha² over rows j..N−1, computed directly for accuracy.
        long double vv = 0;
        for (std::size_t i = 0; i < n - j; ++i)
            vv += v[i] * v[i];
        const long double beta = 2 / vv;
        beta_[j] = beta;
        r_[j][j] = alpha;
        for (std::size_t k = j + 1; k < p; ++k) {
            long double* ck = a[k].data() + j;
            long double dot = 0;
            for (std::size_t i = 0; i < n - j; ++i)
                dot += v[i] * ck[i];
            dot *= beta;
            for (std::size_t i = 0; i < n - j; ++i)
                ck[i] -= dot * v[i];
            r_[j][k] = ck[0];
        }
    }
    return true;
}

std::vector<long double> QrFactorization::Solve(std::vector<long double> b) const {
    const auto n = static_cast<std::size_t>(n_), p = static_cast<std::size_t>(p_);
    for (std::size_t j = 0; j < p; ++j) {
        const long double* v = v_[j].data();
        long double* bj = b.data() + j;
        long double dot = 0;
        for (std::size_t i = 0; i < n - j; ++i)
            dot += v[i] * bj[i];
        dot *= beta_[j];
        for (std::size_t i = 0; i < n - j; ++i)
            bj[i] -= dot * v[i];
    }
    std::vector<long double> x(p);
    for (std::size_t j = p; j-- > 0;) {
        long double sum = b[j];
        for (std::size_t k = j + 1; k < p; ++k)
            sum -= r_[j][k] * x[k];
        x[j] = sum / r_[j][j];
    }
    return x;
}

SquareMatrix QrFactorization::InverseNormalMatrix() const {
    const auto p = static_cast<std::size_t>(p_);
    // R⁻¹, upper triangular, column by column.
    SquareMatrix ri(p, std::vector<long double>(p));
    for (std::size_t c = 0; c < p; ++c) {
        ri[c][c] = 1 / r_[c][c];
        for (std::size_t r = c; r-- > 0;) {
            long double s = 0;
            for (std::size_t k = r + 1; k <= c; ++k)
                s += r_[r][k] * ri[k][c];
            ri[r][c] = -s / r_[r][r];
        }
    }
    SquareMatrix m(p, std::vector<long double>(p));
    for (std::size_t r = 0; r < p; ++r) {
        for (std::size_t c = r; c < p; ++c) {
            long double s = 0;
            for (std::size_t k = c; k < p; ++k)
                s += ri[r][k] * ri[c][k];
            m[r][c] = m[c][r] = s;
        }
    }
    return m;
}

}  // namespace dorvalix
