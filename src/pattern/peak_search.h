// SPDX-License-Identifier: GPL-3.0-or-later
// Peak search on the second derivative of the counts (Savitzky & Golay, Anal. Chem. 36
// (1964) 1627: a quadratic fitted over a moving window), which is negative under a peak. A
// point is a peak where the negative second derivative has a maximum that exceeds
// `significance` times its standard deviation from counting statistics (√counts, or the
// file's s.u., scaled to the scatter the second derivative shows over the whole scan), over
// a run at least the minimum width wide, with counts above the background. Of a Kα1/Kα2 doublet
// resolved into two maxima, the Kα2 maximum is no peak of its own.
#pragma once

#include <vector>

#include "pattern.h"

namespace dorvalix {

struct SearchSettings {
    double significance = 3;  // in standard deviations of the second derivative
    double minWidth = 0;      // degrees 2θ of the negative second derivative; 0: 2 steps
    double typicalWidth = 0;  // FWHM the smoothing window is chosen for; 0: measured
    double rangeMin = -1e300, rangeMax = 1e300;  // 2θ limits of the search
};

// Where the search found a peak, and the start of its fit.
struct PeakStart {
    double twoTheta = 0;      // degrees
    double height = 0;        // counts above the background
    double fwhm = 0;          // degrees
    double significance = 0;  // of the second derivative, in standard deviations
    // The shape to start from, when a fit has told it (a peak fitted again).
    bool hasShape = false;
    double asymmetry = 0, etaLeft = 0.5, etaRight = 0.5;
};

// The scale of the counts' variance: how much the point-to-point scatter of the data
// exceeds (or falls short of) counting statistics, from the median of the squared second
// differences. 1 for counts that follow Poisson statistics.
double NoiseScale(const Scan& scan);

// The variance of each count: the file's s.u. squared, or the count (at least 1), times
// `noiseScale`.
std::vector<double> CountVariances(const Scan& scan, double noiseScale);

// The peaks of a scan over its `background` in increasing 2θ; `lines` tells where a Kα2
// maximum lies.
std::vector<PeakStart> SearchPeaks(const Scan& scan, const std::vector<double>& background,
                                   const Wavelengths& lines, const SearchSettings& settings);

// 2θ of the Kα2 line of a Kα1 reflection at `twoTheta1` (degrees); 0 past the Kα2 cut-off.
long double KAlpha2Position(long double twoTheta1, long double ka1, long double ka2);

// The counts above the background with the Kα2 lines taken out, for display only (the fit
// models them instead): Rachinger's stripping (J. Sci. Instrum. 25 (1948) 254), from low to
// high 2θ, I1(2θ) = I(2θ) − ratio × I1(2θ'), where 2θ' is the Kα1 angle whose Kα2 line lies
// at 2θ. A single line leaves the counts above the background as they are.
std::vector<double> StripKAlpha2(const Scan& scan, const std::vector<double>& background,
                                 const Wavelengths& lines);

}  // namespace dorvalix
