// SPDX-License-Identifier: GPL-3.0-or-later
#include "least_squares.h"

#include <cmath>
#include <utility>

#include "errors.h"

namespace dorvalix {

void BuildDesignMatrix(LeastSquaresWork& work, const ParsedObservations& obs, int code) {
    const int p = ParameterCount(code);
    constexpr std::int64_t kSmall = 1 << 26;
    bool small = true;
    for (int i = 1; i <= obs.count; ++i) {
        const IntegerDesignRow row = MakeIntegerDesignRow(code, obs.h[i], obs.k[i], obs.l[i]);
        for (int j = 1; j <= p; ++j) {
            const std::int64_t v = row[static_cast<std::size_t>(j - 1)];
            work.at[j][i] = v;
            small = small && v <= kSmall && v >= -kSmall;
        }
    }
    work.smallEntries = small;
}

void ComputeObservedQ(LeastSquaresWork& work, const ParsedObservations& obs) {
    for (int i = 1; i <= obs.count; ++i)
        work.qo[i] = 1 / (obs.d[i] * obs.d[i]);
    CheckFloatFaults();
}

void BuildNormalMatrix(const LeastSquaresWork& work, int n, int p, NormalMatrix& m) {
    for (auto& row : m)
        row.fill(0);
    // M is symmetric term by term: M[c][r] sums the same products A[i][r]·A[i][c] in the
    // same order as M[r][c], so the lower triangle is a copy of the upper one.
    for (int r = 1; r <= p; ++r) {
        const auto& ar = work.at[r];
        for (int c = r; c <= p; ++c) {
            const auto& ac = work.at[c];
            long double sum = 0;
            if (work.smallEntries) {
                // Each product is below 2^52 and each partial sum of at most 300 products
                // below 2^61: the extended-precision sums are exact and equal these.
                std::int64_t isum = 0;
                for (int i = 1; i <= n; ++i)
                    isum += ar[i] * ac[i];
                sum = static_cast<long double>(isum);
            } else {
                for (int i = 1; i <= n; ++i) {
                    sum += static_cast<long double>(ar[i]) * static_cast<long double>(ac[i]);
                }
            }
            m[r][c] = sum;
            m[c][r] = sum;
        }
    }
    CheckFloatFaults();
}

bool InvertNormalMatrix(NormalMatrix& m, int p) {
    if (p == 1) {
        m[1][1] = 1 / m[1][1];
        CheckFloatFaults();
        return true;
    }
    std::array<int, kMaxCoefficients + 1> pivot{};  // row chosen at step k
    std::array<int, kMaxCoefficients + 1> step{};   // step at which row r served, 0 = not yet
    for (int k = 1; k <= p; ++k) {
        long double best = 0;
        int pr = 0;
        for (int r = 1; r <= p; ++r) {
            if (step[r] == 0 && std::fabs(m[r][k]) > best) {
                best = std::fabs(m[r][k]);
                pr = r;
            }
        }
        if (best < 0.00001L) return false;
        pivot[k] = pr;
        step[pr] = k;
        const long double v = m[pr][k];
        for (int j = 1; j <= p; ++j) {
            if (j == k) continue;
            m[pr][j] = m[pr][j] / v;
            for (int i = 1; i <= p; ++i) {
                if (i != pr) m[i][j] = m[i][j] - m[pr][j] * m[i][k];
            }
        }
        m[pr][k] = 1 / v;
        for (int i = 1; i <= p; ++i) {
            if (i != pr) m[i][k] = -m[i][k] * m[pr][k];
        }
        CheckFloatFaults();
    }
    // Undo the permutation of the pivots.
    for (int k = 1; k <= p; ++k) {
        const int pr = pivot[k];
        const int q = step[k];
        if (pr != k) {
            for (int j = 1; j <= p; ++j)
                std::swap(m[k][j], m[pr][j]);
            for (int i = 1; i <= p; ++i)
                std::swap(m[i][k], m[i][q]);
        }
        pivot[q] = pr;
        pivot[k] = k;
        step[pr] = q;
        step[k] = k;
    }
    return true;
}

void ComputeRightHandSide(LeastSquaresWork& work, int n, int p) {
    for (int r = 1; r <= p; ++r) {
        long double sum = 0;
        for (int i = 1; i <= n; ++i)
            sum += static_cast<long double>(work.at[r][i]) * work.qo[i];
        work.delta[r] = sum;
    }
    CheckFloatFaults();
}

void SolveCoefficients(const NormalMatrix& minv, const Coefficients& delta, int p,
                       Coefficients& x) {
    for (int r = 1; r <= p; ++r) {
        long double sum = 0;
        for (int c = 1; c <= p; ++c)
            sum += minv[r][c] * delta[c];
        x[r] = sum;
    }
    CheckFloatFaults();
}

void ComputeCoefficientDeviations(RefinementResult& result) {
    // N - P is formed as an unsigned count (at least 1 after the refusals).
    const long double dof = static_cast<long double>(static_cast<unsigned>(result.n - result.p));
    for (int j = 1; j <= result.p; ++j) {
        result.sx[j] = std::sqrt(result.m[j][j] * result.residual / dof);
    }
    CheckFloatFaults();
}

}  // namespace dorvalix
