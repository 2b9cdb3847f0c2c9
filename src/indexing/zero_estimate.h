// SPDX-License-Identifier: GPL-3.0-or-later
// The zero shift of a 2θ scale estimated before any cell is known (Dong, Wu and Chen,
// J. Appl. Cryst. 32, 1162, 1999): orders of one reflection have Q in the ratio n², so
// two lines with sin θ₂ = n·sin θ₁ after the zero is taken off tell the zero. Every pair of
// low lines gives the zero it would need for n = 2 and 3; the values many pairs agree on
// are the estimates.
#pragma once

#include <vector>

#include "lines.h"

namespace dorvalix::indexing {

struct ZeroEstimate {
    long double zero = 0;  // degrees, subtracted from every 2θ
    int pairs = 0;         // line pairs that agree on it
};

// Up to three estimates within ±range, most pairs first; only those two or more pairs
// support.
std::vector<ZeroEstimate> EstimateZero(const LineSet& lines, long double range);

}  // namespace dorvalix::indexing
