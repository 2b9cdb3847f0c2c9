// SPDX-License-Identifier: GPL-3.0-or-later
// Indexing through zones (Runge, Ito, de Wolff; Visser, J. Appl. Cryst. 2, 89, 1969), with
// the error-stable treatment of Oishi-Tomiyasu (J. Appl. Cryst. 45, 299, 2012): a zone is a
// plane of the reciprocal lattice, Q(h, j) = a·h² + b·j² + c·h·j over two of its vectors.
// Two low lines are taken as the zone's basis and every other line votes for the cross term
// c it would need (an interval from its tolerance); where enough lines agree, a zone is
// found. Two zones that share a row span the lattice but for one cross term, which the lines
// vote for again. Each lattice found is refined on all lines (with the zero shift when
// asked). The search assumes nothing about symmetry: it finds triclinic and monoclinic cells,
// and higher ones that the Bravais step then recognises.
#pragma once

#include <functional>
#include <vector>

#include "cell_fit.h"
#include "lines.h"

namespace dorvalix::indexing {

struct ZoneSettings {
    int impurities = 1;
    bool refineZero = false;
    long double zeroRange = 0.25L;
    long double zero = 0;          // the zero the lines are corrected by before the search
    long double slack = 0;         // added to every tolerance (2θ, degrees): the zero's error
    long double maxVolume = 5000;  // Å³
    long double maxSpacing = 40;   // largest d of a lattice row normal to a zone, Å
    int keptZones = 80;            // the best zones combined pairwise (twice as many completed
                                   // by a normal row)
};

struct ZoneOutcome {
    std::vector<CellFit> fits;  // triclinic fits leaving at most `impurities` lines out
    int zones = 0;              // distinct zones found
    int combinations = 0;       // zone pairs tried
    int bestZoneLines = 0;      // lines indexed by the zone that indexes most
};

// The search on up to `threads` threads; `stop` is asked now and then whether to give up.
ZoneOutcome SearchZones(const LineSet& lines, const ZoneSettings& settings, int threads,
                        const std::function<bool()>& stop);

}  // namespace dorvalix::indexing
