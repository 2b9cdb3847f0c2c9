#include "least_squares.h"

#include <cmath>
#include <utility>

#include "errors.h"

namespace dorvalix {

void BuildDesignMatrix(LeastSquaresWork& work, const ParsedObservations& obs, int code) {
    const int p = ParameterCount(code);
    for (int i = 1; i <= obs.count; ++i) {
        const DesignRow row = MakeDesignRow(code, obs.h[i], obs.k[i], obs.l[i]);
        for (int j = 1; j <= p; ++j)
            work.a[i][j] = row[static_cast<std::size_t>(j - 1)];
    }
}

void TransposeDesignMatrix(LeastSquaresWork& work, int n, int p) {
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= p; ++j)
            work.at[j][i] = work.a[i][j];
    }
}

void ComputeObservedQ(LeastSquaresWork& work, const ParsedObservations& obs) {
    for (int i = 1; i <= obs.count; ++i) {
        work.qo[i] = 1 / (obs.d[i] * obs.d[i]);
        CheckFloatFaults();
    }
}

void BuildNormalMatrix(const LeastSquaresWork& work, int n, int p, NormalMatrix& m) {
    for (auto& row : m)
        row.fill(0);
    // The loops run observation-outermost so that the P×P sums advance side by side;
    // each entry is still summed over i = 1, 2, .., N in that order.
    for (int i = 1; i <= n; ++i) {
        for (int r = 1; r <= p; ++r) {
            const long double atri = work.at[r][i];
            for (int c = 1; c <= p; ++c)
                m[r][c] += atri * work.a[i][c];
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
            sum += work.at[r][i] * work.qo[i];
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
