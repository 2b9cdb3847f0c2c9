// SPDX-License-Identifier: GPL-3.0-or-later
// From a scan to its peaks: the background, the search, the Kα2/Kα1 ratio and the fit, in
// the steps a window shows one by one (background with its width, search with its
// significance, a peak added where the user clicks or removed) and the command line runs
// at once.
#pragma once

#include <optional>
#include <vector>

#include "background.h"
#include "pattern.h"
#include "peak_search.h"
#include "profile_fit.h"
#include "progress.h"

namespace dorvalix {

struct PeakSettings {
    double backgroundWidth = 0;  // degrees 2θ; 0: DefaultBackgroundWidth
    double significance = 3;     // of the second derivative, in standard deviations
    double minWidth = 0;         // degrees 2θ: the narrowest peak; 0: 0.3 typical widths
    double rangeMin = -1e300, rangeMax = 1e300;
};

// Everything found on one scan.
struct ScanPeaks {
    double typicalWidth = 0;     // degrees
    double minWidth = 0;         // degrees, as used
    double backgroundWidth = 0;  // degrees, as used
    std::vector<double> background;
    double noiseScale = 1;
    double significance = 3;  // as used
    Wavelengths lines;        // as given, with the ratio the fit used
    RatioEstimate ratio;      // of a doublet; refined or the start
    std::vector<FittedPeak> peaks;
    bool cancelled = false;
};

// The scan's background, search, ratio and fit. `lines` must be known (ka1 > 0).
ScanPeaks FindPeaks(const Scan& scan, const Wavelengths& lines, const PeakSettings& settings,
                    const Progress& progress = {});

// The same over a background already computed (the one a window shows, of as many points
// as the scan; otherwise it is computed).
ScanPeaks FindPeaks(const Scan& scan, const Wavelengths& lines, const PeakSettings& settings,
                    std::vector<double> background, const Progress& progress = {});

// The fit's set-up for a scan whose background and ratio are known (for refitting).
FitSetup SetupOf(const ScanPeaks& found);

// The peaks again after one was added at `twoTheta` (a click): the peaks whose windows
// reach it are fitted again with it; the others stay.
std::vector<FittedPeak> AddPeak(const Scan& scan, const ScanPeaks& found, double twoTheta);

// The peaks again after peak `index` was removed: its neighbours are fitted again.
std::vector<FittedPeak> RemovePeak(const Scan& scan, const ScanPeaks& found, std::size_t index);

}  // namespace dorvalix
