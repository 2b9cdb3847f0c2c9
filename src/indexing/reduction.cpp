// SPDX-License-Identifier: GPL-3.0-or-later
// The only file that includes gemmi/cellred.hpp: that header defines a function that is not
// inline (GruberVector::selling), which a second translation unit would define again.
#include "reduction.h"

#include <gemmi/cellred.hpp>

#include <cmath>

namespace dorvalix::indexing {

std::optional<Reduced> NiggliReduce(const Metric& g, long double relativeEpsilon) {
    const auto direct = Inverted(g);
    if (!direct) return std::nullopt;
    const Metric& d = *direct;
    // G6 = (a·a, b·b, c·c, 2b·c, 2a·c, 2a·b).
    gemmi::GruberVector gv(
        std::array<double, 6>{static_cast<double>(d[0]), static_cast<double>(d[1]),
                              static_cast<double>(d[2]), static_cast<double>(2 * d[3]),
                              static_cast<double>(2 * d[4]), static_cast<double>(2 * d[5])});
    gv.set_change_of_basis(gemmi::Op::identity());
    const double eps = static_cast<double>(relativeEpsilon * (d[0] + d[1] + d[2]) / 3);
    gv.niggli_reduce(eps, 1000);
    Reduced out;
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            const int v = gv.change_of_basis->rot[i][j];
            if (v % gemmi::Op::DEN != 0) return std::nullopt;
            out.m[i][j] = v / gemmi::Op::DEN;
        }
    }
    const int det = Determinant(out.m);
    if (det != 1 && det != -1) return std::nullopt;
    const auto reduced = TransformedMetric(g, out.m);
    if (!reduced) return std::nullopt;
    out.g = *reduced;
    return out;
}

}  // namespace dorvalix::indexing
