// SPDX-License-Identifier: GPL-3.0-or-later
#include "zero_estimate.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dorvalix::indexing {

namespace {

const long double kRadians = std::numbers::pi_v<long double> / 180;

// The zero z with sin((2θ₂ − z)/2) = n·sin((2θ₁ − z)/2): with t = z/2,
// tan t = (sin θ₂ − n·sin θ₁) / (cos θ₂ − n·cos θ₁).
long double ZeroOf(long double twoTheta1, long double twoTheta2, int n) {
    const long double a = twoTheta2 * kRadians / 2, b = twoTheta1 * kRadians / 2;
    return 2 * std::atan((std::sin(a) - n * std::sin(b)) / (std::cos(a) - n * std::cos(b))) /
           kRadians;
}

}  // namespace

std::vector<ZeroEstimate> EstimateZero(const LineSet& set, long double range) {
    struct Value {
        long double z, spread;
    };
    std::vector<Value> values;
    const std::size_t n = std::min<std::size_t>(set.size(), 20);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const Line &l1 = set.lines[i], &l2 = set.lines[j];
            for (int order = 2; order <= 3; ++order) {
                const long double z = ZeroOf(l1.twoTheta, l2.twoTheta, order);
                if (!(std::fabs(z) <= range)) continue;
                // How far the tolerances of the two lines move the zero.
                const long double dz1 =
                    std::fabs(ZeroOf(l1.twoTheta + l1.tolerance, l2.twoTheta, order) - z);
                const long double dz2 =
                    std::fabs(ZeroOf(l1.twoTheta, l2.twoTheta + l2.tolerance, order) - z);
                values.push_back({z, dz1 + dz2});
            }
        }
    }
    std::vector<ZeroEstimate> out;
    std::vector<bool> used(values.size());
    for (int estimate = 0; estimate < 3; ++estimate) {
        // The value whose interval holds the most others not used yet.
        int bestCount = 0;
        std::size_t best = 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (used[i]) continue;
            int count = 0;
            for (std::size_t k = 0; k < values.size(); ++k)
                if (!used[k] &&
                    std::fabs(values[k].z - values[i].z) <= values[i].spread + values[k].spread)
                    ++count;
            if (count > bestCount) {
                bestCount = count;
                best = i;
            }
        }
        if (bestCount < 2) break;
        long double sum = 0, weight = 0;
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (used[k] ||
                std::fabs(values[k].z - values[best].z) > values[best].spread + values[k].spread)
                continue;
            const long double w = 1 / (values[k].spread * values[k].spread + 1e-12L);
            sum += w * values[k].z;
            weight += w;
            used[k] = true;
        }
        out.push_back({sum / weight, bestCount});
    }
    return out;
}

}  // namespace dorvalix::indexing
