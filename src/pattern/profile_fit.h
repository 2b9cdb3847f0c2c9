// SPDX-License-Identifier: GPL-3.0-or-later
// Least-squares fit of the peaks, window by window: the counts around a group of overlapping
// peaks are fitted by the background plus a straight line, and for each peak a split
// pseudo-Voigt for its Kα1 line (Toraya, J. Appl. Cryst. 23 (1990) 485: a pseudo-Voigt whose
// half width and Lorentzian fraction differ on either side of the maximum) and the same profile for
// its Kα2 line at 2 asin(λ₂/λ₁ sin θ₁), scaled by the Kα2/Kα1 intensity ratio. The asymmetric
// profile keeps the Kα1 maximum where it is: a symmetric one shifts low-angle peaks, whose
// axial-divergence tail lies on the low-angle side, by 0.01–0.03°. No Kα2 stripping comes before
// the fit.
//
// Each peak has six parameters: the 2θ of the Kα1 maximum, its height, the FWHM, the
// asymmetry A = (wL − wR) / (wL + wR) of the half widths and the Lorentzian fractions of the
// two sides. A weak peak takes its shape (A and the fractions) from the strong peaks nearest
// to it. The weighted least squares
// is Levenberg–Marquardt (Marquardt, J. Soc. Indust. Appl. Math. 11 (1963) 431); the s.u.
// are those of the covariance scaled by the reduced χ².
#pragma once

#include <vector>

#include "pattern.h"
#include "peak_search.h"
#include "progress.h"

namespace dorvalix {

struct FittedPeak {
    long double twoTheta = 0;    // of the Kα1 maximum, degrees
    long double twoThetaSu = 0;  // its s.u.; NaN when the fit cannot tell
    long double d = 0;           // Å, from Kα1
    long double fwhm = 0;        // degrees, of the Kα1 line
    long double height = 0;      // counts above the background, of the Kα1 line
    long double area = 0;        // counts × degrees, of the Kα1 line
    long double eta = 0;         // Lorentzian fraction, the mean of the two sides
    long double etaLeft = 0, etaRight = 0;
    long double asymmetry = 0;  // (wL − wR) / (wL + wR)
    bool shapeFixed = false;    // the shape taken from stronger peaks
    // The straight line the fit added to the background in the peak's window (the peaks
    // of a window share it): level + slope × (2θ − lineCentre) from 2θ windowFrom to
    // windowTo, in counts and degrees.
    long double lineLevel = 0, lineSlope = 0, lineCentre = 0;
    long double windowFrom = 0, windowTo = 0;
};

struct FitSetup {
    Wavelengths lines;           // Kα1 (and Kα2)
    long double ratio = 0;       // the Kα2/Kα1 ratio the fit uses; 0 for a single line
    double noiseScale = 1;       // NoiseScale of the scan
    double typicalWidth = 0;     // FWHM typical of the scan, degrees
    double minWidth = 0;         // a fitted FWHM below this (degrees) is noise, not a peak
    double minSignificance = 2;  // a fitted height below this many s.u. is noise
};

struct FitOutcome {
    std::vector<FittedPeak> peaks;  // in increasing 2θ
    bool cancelled = false;
};

// Fits the peaks that start at `starts` (any order). Peaks the fit finds insignificant
// (height below setup.minSignificance times its s.u.), narrower than setup.minWidth (a spike of
// noise) or that run away from their start are dropped.
FitOutcome FitPeaks(const Scan& scan, const std::vector<double>& background, const FitSetup& setup,
                    const std::vector<PeakStart>& starts, const Progress& progress = {});

// The Kα2/Kα1 intensity ratio refined on the strongest peaks whose doublet is at least
// partly resolved, starting from setup.ratio; `refined` is false (and the ratio the start)
// when no peak can tell.
struct RatioEstimate {
    long double ratio = 0;
    long double su = 0;
    bool refined = false;
};
RatioEstimate RefineRatio(const Scan& scan, const std::vector<double>& background,
                          const FitSetup& setup, const std::vector<PeakStart>& starts);

// d of a Kα1 reflection at 2θ (degrees).
long double DSpacing(long double twoTheta, long double wavelength);

}  // namespace dorvalix
