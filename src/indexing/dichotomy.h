// SPDX-License-Identifier: GPL-3.0-or-later
// Successive dichotomy (Louër and Louër, J. Appl. Cryst. 5, 271, 1972; Boultif and Louër,
// J. Appl. Cryst. 24, 987, 1991; 37, 724, 2004), worked in reciprocal space: Q(hkl) is
// linear in the coefficients of a crystal system, so over a box of coefficients every
// reflection's Q lies between exact bounds. A box is kept while every line (but the
// impurities allowed) falls within the Q range of some reflection, and halved until its
// ranges are below the lines' tolerance; then the cell at its centre is refined. The zero
// shift, when refined, is one more dimension of the box. Boxes are searched shell by shell
// of cell volume, so that the smallest cells come first.
#pragma once

#include <functional>
#include <vector>

#include "cell_fit.h"
#include "lines.h"

namespace dorvalix::indexing {

struct DichotomySettings {
    int code = kOrthorhombic;     // 1 cubic, 2 hexagonal, 3 tetragonal, 4 orthorhombic,
                                  // 5 monoclinic (b unique)
    long double maxSpacing = 40;  // largest d of a cell axis (d100, d010, d001), Å
    int impurities = 1;           // lines that need not be indexed
    bool refineZero = false;
    long double zeroRange = 0.25L;  // |zero| searched, degrees
    int maxFitsPerBox = 400;        // refinements a box may start (a guard on bad data)
};

// One top-level box of the search, with the cell volumes it spans.
struct DichotomyBox {
    std::array<double, 4> lo{}, hi{};
    double vMin = 0, vMax = 0;
};

// The top-level boxes of a system's search: its coefficient space cut into boxes whose
// diagonal coefficients span a ratio of 1.5 and whose monoclinic cross coefficient spans a
// quarter of its range.
std::vector<DichotomyBox> DichotomyBoxes(const LineSet& lines, const DichotomySettings& settings);

struct DichotomyOutcome {
    std::vector<CellFit> fits;  // refined cells that leave at most `impurities` lines out
    long long nodes = 0;        // boxes examined
    bool truncated = false;     // maxFitsPerBox reached
};

// Searches one top-level box for cells of volume vMin..vMax; `stop` is asked now and then
// whether to give up.
DichotomyOutcome SearchBox(const LineSet& lines, const DichotomySettings& settings,
                           const DichotomyBox& box, double vMin, double vMax,
                           const std::function<bool()>& stop);

}  // namespace dorvalix::indexing
