// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any file the readers take, then background, search and fit of its first
// scan (up to 20,000 points). Whatever the counts, the peaks are finite, inside the scan, in
// increasing 2θ, with a positive height and width, and a d that belongs to their 2θ.
#include <cmath>

#include "pattern_fuzz.h"
#include "peaks.h"
#include "xray_lines.h"

using namespace dorvalix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Pattern pattern;
    try {
        pattern = ParsePattern(bytes, "scan.xy", Lang::English);
    } catch (const DorvalixError&) {
        return 0;
    }
    fuzz::CheckPattern(pattern);
    const Scan& scan = pattern.scans.front();
    if (scan.Size() > 20000) return 0;
    // The doublet for an even size, one line for an odd one.
    const Wavelengths lines = WavelengthsOf(*FindXrayLine(size % 2 == 0 ? "Cu-Ka" : "Cu-Ka1"));
    const ScanPeaks found = FindPeaks(scan, lines, PeakSettings{});
    if (found.background.size() != scan.Size()) fuzz::Fail("a background of another length");
    for (std::size_t k = 0; k < found.peaks.size(); ++k) {
        const FittedPeak& p = found.peaks[k];
        if (!std::isfinite(p.twoTheta) || !std::isfinite(p.d) || !std::isfinite(p.height) ||
            !std::isfinite(p.fwhm) || !std::isfinite(p.area))
            fuzz::Fail("a peak that is not finite");
        if (p.twoTheta < scan.twoTheta.front() || p.twoTheta > scan.twoTheta.back())
            fuzz::Fail("a peak outside the scan");
        if (!(p.height > 0) || !(p.fwhm > 0)) fuzz::Fail("a peak of no height or width");
        if (k > 0 && p.twoTheta < found.peaks[k - 1].twoTheta) fuzz::Fail("peaks out of order");
        if (std::abs(p.d - DSpacing(p.twoTheta, lines.ka1)) > 1e-9L * p.d)
            fuzz::Fail("a d that is not its 2θ's");
    }
    return 0;
}
