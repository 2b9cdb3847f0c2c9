// SPDX-License-Identifier: GPL-3.0-or-later
#include "peaks.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dorvalix {

namespace {

// A fitted peak as the start of a new fit, with its shape; a peak that fitted its own shape
// stays strong.
PeakStart StartOf(const FittedPeak& p) {
    PeakStart s;
    s.twoTheta = static_cast<double>(p.twoTheta);
    s.height = static_cast<double>(p.height);
    s.fwhm = static_cast<double>(p.fwhm);
    s.significance = p.shapeFixed ? 0.0 : 1e3;
    s.hasShape = true;
    s.asymmetry = static_cast<double>(p.asymmetry);
    s.etaLeft = static_cast<double>(p.etaLeft);
    s.etaRight = static_cast<double>(p.etaRight);
    return s;
}

// How far a peak's fit reaches: its window and its Kα2 line.
double Reach(const ScanPeaks& found, double fwhm) {
    double reach = 5 * std::max(fwhm, found.typicalWidth);
    if (found.lines.IsDoublet()) {
        // The Kα1–Kα2 distance, 2 tan θ Δλ/λ, grows with 2θ; at 2θ = 160° it is this.
        constexpr double kTan80 = 5.671281819617709;
        reach += 2 * kTan80 / (std::numbers::pi / 180) *
                 static_cast<double>((found.lines.ka2 - found.lines.ka1) / found.lines.ka1);
    }
    return reach;
}

// The peaks `kept` as they are, with the fit of `starts` among them. What the user adds or
// keeps is a peak if the fit finds any height at all (twice its s.u.), whatever the
// search's significance.
std::vector<FittedPeak> Refit(const Scan& scan, const ScanPeaks& found,
                              const std::vector<PeakStart>& starts, std::vector<FittedPeak> kept) {
    FitSetup setup = SetupOf(found);
    setup.minSignificance = 2;
    const FitOutcome fit = FitPeaks(scan, found.background, setup, starts);
    kept.insert(kept.end(), fit.peaks.begin(), fit.peaks.end());
    std::sort(kept.begin(), kept.end(),
              [](const FittedPeak& a, const FittedPeak& b) { return a.twoTheta < b.twoTheta; });
    return kept;
}

}  // namespace

FitSetup SetupOf(const ScanPeaks& found) {
    FitSetup setup;
    setup.lines = found.lines;
    setup.ratio = found.lines.IsDoublet() ? found.ratio.ratio : 0;
    setup.noiseScale = found.noiseScale;
    setup.typicalWidth = found.typicalWidth;
    setup.minWidth = found.minWidth;
    // The fitted height must be as significant as the search's curvature was.
    setup.minSignificance = std::max(2.0, found.significance);
    return setup;
}

ScanPeaks FindPeaks(const Scan& scan, const Wavelengths& lines, const PeakSettings& settings,
                    const Progress& progress) {
    return FindPeaks(scan, lines, settings, {}, progress);
}

ScanPeaks FindPeaks(const Scan& scan, const Wavelengths& lines, const PeakSettings& settings,
                    std::vector<double> background, const Progress& progress) {
    ScanPeaks out;
    out.lines = lines;
    out.significance = settings.significance;
    const double step = MeanStep(scan);
    out.typicalWidth = TypicalPeakWidth(scan);
    if (!(out.typicalWidth > 0)) out.typicalWidth = 5 * step;
    // No diffractometer makes a peak much narrower than its strongest ones: narrower maxima
    // are spikes of noise.
    out.minWidth = settings.minWidth > 0 ? settings.minWidth : 0.3 * out.typicalWidth;
    out.backgroundWidth = settings.backgroundWidth > 0
                              ? settings.backgroundWidth
                              : DefaultBackgroundWidth(scan, out.typicalWidth);
    const auto part = [&](double from, double to) -> Progress {
        if (!progress) return {};
        return [&progress, from, to](double f) { return progress(from + (to - from) * f); };
    };
    out.background = background.size() == scan.Size()
                         ? std::move(background)
                         : ScanBackground(scan, out.backgroundWidth, part(0, 0.2));
    if (out.background.size() != scan.Size()) {
        out.cancelled = true;
        return out;
    }
    out.noiseScale = NoiseScale(scan);
    SearchSettings search;
    search.significance = settings.significance;
    // The run of the second derivative stays at its two steps: a spike of noise makes a run
    // as wide as a peak does, so the minimum width is judged on the fitted FWHM.
    search.minWidth = 0;
    search.typicalWidth = out.typicalWidth;
    search.rangeMin = settings.rangeMin;
    search.rangeMax = settings.rangeMax;
    const std::vector<PeakStart> starts = SearchPeaks(scan, out.background, lines, search);
    if (!Report(progress, 0.25)) {
        out.cancelled = true;
        return out;
    }
    out.ratio.ratio = lines.IsDoublet() ? lines.ratio : 0;
    if (lines.IsDoublet()) {
        FitSetup setup = SetupOf(out);
        setup.ratio = lines.ratio;
        out.ratio = RefineRatio(scan, out.background, setup, starts);
    }
    out.lines.ratio = out.ratio.ratio;
    if (!Report(progress, 0.35)) {
        out.cancelled = true;
        return out;
    }
    FitOutcome fit = FitPeaks(scan, out.background, SetupOf(out), starts, part(0.35, 1));
    out.cancelled = fit.cancelled || !Report(progress, 1);
    for (const FittedPeak& p : fit.peaks) {
        if (p.twoTheta >= settings.rangeMin && p.twoTheta <= settings.rangeMax)
            out.peaks.push_back(p);
    }
    return out;
}

std::vector<FittedPeak> AddPeak(const Scan& scan, const ScanPeaks& found, double twoTheta) {
    if (scan.Size() == 0 || found.background.size() != scan.Size() ||
        !(twoTheta >= scan.twoTheta.front() && twoTheta <= scan.twoTheta.back()))
        return found.peaks;
    std::vector<PeakStart> starts;
    std::vector<FittedPeak> kept;
    for (const FittedPeak& p : found.peaks) {
        if (std::abs(static_cast<double>(p.twoTheta) - twoTheta) <
            Reach(found, static_cast<double>(p.fwhm)))
            starts.push_back(StartOf(p));
        else
            kept.push_back(p);
    }
    const std::size_t i = std::min(LowerIndex(scan, twoTheta), scan.Size() - 1);
    PeakStart added;
    added.twoTheta = twoTheta;
    added.height = std::max(scan.counts[i] - found.background[i], 1.0);
    added.fwhm = found.typicalWidth;
    // The shape of the fitted peak nearest to it, which the fit keeps.
    const FittedPeak* nearest = nullptr;
    for (const FittedPeak& p : found.peaks) {
        if (!p.shapeFixed &&
            (!nearest || std::abs(static_cast<double>(p.twoTheta) - twoTheta) <
                             std::abs(static_cast<double>(nearest->twoTheta) - twoTheta)))
            nearest = &p;
    }
    if (nearest != nullptr) {
        added.hasShape = true;
        added.fwhm = static_cast<double>(nearest->fwhm);
        added.asymmetry = static_cast<double>(nearest->asymmetry);
        added.etaLeft = static_cast<double>(nearest->etaLeft);
        added.etaRight = static_cast<double>(nearest->etaRight);
    }
    starts.push_back(added);
    return Refit(scan, found, starts, kept);
}

std::vector<FittedPeak> RemovePeak(const Scan& scan, const ScanPeaks& found, std::size_t index) {
    if (index >= found.peaks.size() || found.background.size() != scan.Size()) return found.peaks;
    const double at = static_cast<double>(found.peaks[index].twoTheta);
    std::vector<PeakStart> starts;
    std::vector<FittedPeak> kept;
    for (std::size_t k = 0; k < found.peaks.size(); ++k) {
        if (k == index) continue;
        const FittedPeak& p = found.peaks[k];
        if (std::abs(static_cast<double>(p.twoTheta) - at) <
            Reach(found, static_cast<double>(p.fwhm)))
            starts.push_back(StartOf(p));
        else
            kept.push_back(p);
    }
    return Refit(scan, found, starts, kept);
}

}  // namespace dorvalix
