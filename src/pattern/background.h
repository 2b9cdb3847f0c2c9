// SPDX-License-Identifier: GPL-3.0-or-later
// The background under the peaks, by SNIP (statistics-sensitive non-linear iterative peak
// clipping; Ryan, Clayton, Griffin, Sie & Cousens, Nucl. Instrum. Methods B 34 (1988) 396),
// with the log-log-square-root transform that makes the clipping follow counting statistics
// and the clipping window shrinking from its widest (Morháč, Kliman, Matoušek, Veselský &
// Turzo, Nucl. Instrum. Methods A 401 (1997) 113). One parameter: the widest window's width
// in degrees 2θ; features narrower than that are clipped as peaks.
#pragma once

#include <vector>

#include "pattern.h"
#include "progress.h"

namespace dorvalix {

// The SNIP background of `counts` with a widest half-window of `halfWidth` points. Returns
// an empty vector when cancelled through `progress`.
std::vector<double> SnipBackground(const std::vector<double>& counts, std::size_t halfWidth,
                                   const Progress& progress = {});

// The background of a scan for a window `width` degrees wide (at least 3 points).
std::vector<double> ScanBackground(const Scan& scan, double width, const Progress& progress = {});

// The full width at half maximum typical of the scan's strongest peaks, in degrees 2θ
// (measured on the few highest maxima; the Kα doublet unresolved counts as one). 0 for a
// scan too short to tell.
double TypicalPeakWidth(const Scan& scan);

// The background width chosen when none is given: 15 typical peak widths, at least 20 steps
// and at most a quarter of the scan.
double DefaultBackgroundWidth(const Scan& scan, double typicalWidth);

}  // namespace dorvalix
