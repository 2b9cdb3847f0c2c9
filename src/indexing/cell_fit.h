// SPDX-License-Identifier: GPL-3.0-or-later
// A cell fitted to the observed lines: each line given the calculated reflection nearest to
// it within its tolerance, the cell (and the zero shift when asked) refined by least squares
// on 2θ, and again until the indices no longer change.
#pragma once

#include <array>
#include <vector>

#include "centring.h"
#include "crystal_system.h"
#include "lattice.h"
#include "lines.h"

namespace dorvalix::indexing {

using SystemCoefficients = std::array<long double, kMaxCoefficients>;

// The coefficients of crystal system `code` nearest (least squares) to a general metric,
// and the metric of coefficients.
SystemCoefficients CoefficientsOf(int code, const Metric& g);
Metric MetricOfCoefficients(int code, const SystemCoefficients& x);

struct FitOptions {
    bool refineZero = false;
    long double maxZero = 1;  // degrees: a fit that moves the zero further fails
    int maxRounds = 12;       // assignment rounds
    long double widen = 1;    // the first round's tolerance, as a multiple of the lines'
    int minIndexed = 0;       // fewer indexed lines than this: the fit fails
};

// The index of one line under a fitted cell.
struct LineIndex {
    bool indexed = false;
    Hkl hkl{};
    long double delta = 0;  // 2θobs − zero − 2θcalc, degrees
    int matches = 0;        // distinct calculated positions within the tolerance
};

struct CellFit {
    bool ok = false;
    int code = kTriclinic;
    Centring centring = Centring::P;
    SystemCoefficients x{};
    Metric g{};
    long double zero = 0;          // degrees, subtracted from every 2θ
    std::vector<LineIndex> lines;  // one per line of the set
    int indexed = 0;
    long double sumSq = 0;  // Σ delta² over the indexed lines, degrees²
    // de Wolff's M over the first (up to) 20 indexed lines, with the centring; 0 when none.
    long double m20 = 0;
    int nCalc20 = 0;
    long double volume = 0;  // Å³

    int Unindexed() const { return static_cast<int>(lines.size()) - indexed; }
};

// Fits crystal system `code` with the centring to the lines, from the metric `start` and
// the zero `zeroStart`. ok is false when the lines do not determine the coefficients (too
// few indexed) or the cell is lost (no longer positive definite, zero out of range).
CellFit FitCell(const LineSet& lines, int code, Centring centring, const Metric& start,
                long double zeroStart, const FitOptions& options);

// Fits once with the indices given (no reassignment): hkl of the lines with indexed set.
// Used where a change of basis carries known indices into a new cell.
CellFit FitWithIndices(const LineSet& lines, int code, Centring centring, const Metric& start,
                       long double zeroStart, const std::vector<LineIndex>& indices,
                       const FitOptions& options);

// The root-mean-square 2θ residual of a fit, degrees.
long double RmsDelta(const CellFit& fit);

}  // namespace dorvalix::indexing
