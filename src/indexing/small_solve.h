// SPDX-License-Identifier: GPL-3.0-or-later
// A small symmetric linear system (at most a few unknowns) solved by Gaussian elimination
// with partial pivoting, after scaling the unknowns so that the diagonal is 1.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace dorvalix::indexing {

using SmallMatrix = std::vector<std::vector<long double>>;

// Solves a·x = b; false when a is singular to the working precision or not finite.
inline bool SolveSymmetric(SmallMatrix a, std::vector<long double> b, std::vector<long double>& x) {
    const std::size_t n = b.size();
    std::vector<long double> scale(n, 1);
    for (std::size_t i = 0; i < n; ++i) {
        if (!(a[i][i] > 0) || !std::isfinite(a[i][i])) return false;
        scale[i] = 1 / std::sqrt(a[i][i]);
    }
    for (std::size_t i = 0; i < n; ++i) {
        b[i] *= scale[i];
        for (std::size_t j = 0; j < n; ++j)
            a[i][j] *= scale[i] * scale[j];
    }
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        // Scaled to a unit diagonal, a pivot this small means dependent unknowns.
        if (!(std::fabs(a[pivot][c]) > 1e-13L)) return false;
        std::swap(a[pivot], a[c]);
        std::swap(b[pivot], b[c]);
        for (std::size_t r = c + 1; r < n; ++r) {
            const long double f = a[r][c] / a[c][c];
            if (f == 0) continue;
            for (std::size_t k = c; k < n; ++k)
                a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    x.assign(n, 0);
    for (std::size_t c = n; c-- > 0;) {
        long double s = b[c];
        for (std::size_t k = c + 1; k < n; ++k)
            s -= a[c][k] * x[k];
        x[c] = s / a[c][c];
    }
    for (std::size_t i = 0; i < n; ++i) {
        x[i] *= scale[i];
        if (!std::isfinite(x[i])) return false;
    }
    return true;
}

}  // namespace dorvalix::indexing
