// SPDX-License-Identifier: GPL-3.0-or-later
// The fitted peaks drawn as the fit describes them: each peak's split pseudo-Voigt Kα1 line
// (Toraya, J. Appl. Cryst. 23 (1990) 485; see profile_fit.h) and, for a doublet, the same
// line at the Kα2 position scaled by the Kα2/Kα1 ratio, over the background and the straight
// line each window of the fit added to it (where two windows meet, their mean).
#pragma once

#include <vector>

#include "peaks.h"

namespace dorvalix {

// One line of a fitted peak's shape at `twoTheta` (degrees), its maximum of `height` at
// `centre`: the half widths (1 ± A) FWHM / 2 and the Lorentzian fractions of the two sides.
double SplitPseudoVoigt(const FittedPeak& peak, double centre, double height, double twoTheta);

// The background, the windows' lines and every peak of `peaks` (their Kα2 lines too for a
// doublet of `found.lines`), at each point of the scan; empty when the background does not
// belong to the scan.
std::vector<double> FittedCurve(const Scan& scan, const ScanPeaks& found,
                                const std::vector<FittedPeak>& peaks);

}  // namespace dorvalix
