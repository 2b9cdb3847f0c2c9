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
    v_.assign(static_cast<std::size_t>(p_), {});
    beta_.assign(static_cast<std::size_t>(p_), 0);
    r_.assign(static_cast<std::size_t>(p_), std::vector<long double>(static_cast<std::size_t>(p_)));
    if (n_ < p_) return false;
    for (int j = 0; j < p_; ++j) {
        auto& col = a[static_cast<std::size_t>(j)];
        long double full = 0;
        for (const long double e : col)
            full += e * e;
        long double below = 0;  // rows j..N−1
        for (int i = j; i < n_; ++i)
            below += col[static_cast<std::size_t>(i)] * col[static_cast<std::size_t>(i)];
        const long double norm = std::sqrt(below);
        if (!std::isfinite(full) || norm <= kDependentColumn * std::sqrt(full)) return false;
        const long double ajj = col[static_cast<std::size_t>(j)];
        const long double alpha = ajj > 0 ? -norm : norm;
        auto& v = v_[static_cast<std::size_t>(j)];
        v.assign(col.begin() + j, col.end());
        v[0] = ajj - alpha;
        long double vv = 0;
        for (const long double e : v)
            vv += e * e;
        const long double beta = 2 / vv;
        beta_[static_cast<std::size_t>(j)] = beta;
        r_[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)] = alpha;
        for (int k = j + 1; k < p_; ++k) {
            auto& ck = a[static_cast<std::size_t>(k)];
            long double s = 0;
            for (int i = j; i < n_; ++i)
                s += v[static_cast<std::size_t>(i - j)] * ck[static_cast<std::size_t>(i)];
            s *= beta;
            for (int i = j; i < n_; ++i)
                ck[static_cast<std::size_t>(i)] -= s * v[static_cast<std::size_t>(i - j)];
            r_[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] =
                ck[static_cast<std::size_t>(j)];
        }
    }
    return true;
}

std::vector<long double> QrFactorization::Solve(std::vector<long double> b) const {
    for (int j = 0; j < p_; ++j) {
        const auto& v = v_[static_cast<std::size_t>(j)];
        long double s = 0;
        for (int i = j; i < n_; ++i)
            s += v[static_cast<std::size_t>(i - j)] * b[static_cast<std::size_t>(i)];
        s *= beta_[static_cast<std::size_t>(j)];
        for (int i = j; i < n_; ++i)
            b[static_cast<std::size_t>(i)] -= s * v[static_cast<std::size_t>(i - j)];
    }
    std::vector<long double> x(static_cast<std::size_t>(p_));
    for (int j = p_ - 1; j >= 0; --j) {
        long double s = b[static_cast<std::size_t>(j)];
        for (int k = j + 1; k < p_; ++k)
            s -= r_[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] *
                 x[static_cast<std::size_t>(k)];
        x[static_cast<std::size_t>(j)] =
            s / r_[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)];
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
