// SPDX-License-Identifier: GPL-3.0-or-later
// Niggli reduction of a lattice (Křivý and Gruber, Acta Cryst. A32, 297, 1976), through
// gemmi's implementation with the tolerance of Grosse-Kunstleve, Sauter and Adams (Acta
// Cryst. A60, 1, 2004).
#pragma once

#include <optional>

#include "lattice.h"

namespace dorvalix::indexing {

struct Reduced {
    Metric g{};      // reciprocal metric of the Niggli cell
    IntMatrix3 m{};  // change of basis from the given cell to it (columns: new vectors)
};

// The Niggli cell of the lattice of g; `relativeEpsilon` scales the comparisons with the
// cell's mean squared edge. Empty when g is no lattice.
std::optional<Reduced> NiggliReduce(const Metric& g, long double relativeEpsilon = 1e-5L);

}  // namespace dorvalix::indexing
