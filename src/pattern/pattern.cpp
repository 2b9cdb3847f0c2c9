// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern.h"

#include <algorithm>

namespace dorvalix {

std::size_t Pattern::PointCount() const {
    std::size_t n = 0;
    for (const Scan& s : scans)
        n += s.Size();
    return n;
}

double MeanStep(const Scan& scan) {
    const std::size_t n = scan.Size();
    return n < 2 ? 0 : (scan.twoTheta.back() - scan.twoTheta.front()) / static_cast<double>(n - 1);
}

std::size_t LowerIndex(const Scan& scan, double twoTheta) {
    return static_cast<std::size_t>(
        std::lower_bound(scan.twoTheta.begin(), scan.twoTheta.end(), twoTheta) -
        scan.twoTheta.begin());
}

}  // namespace dorvalix
