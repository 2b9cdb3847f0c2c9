// SPDX-License-Identifier: GPL-3.0-or-later
#include "peaks.h"

#include <algorithm>
#include <cmath>

namespace dorvalix {

namespace {

// A fitted peak as the start of a new fit; a peak that fitted its own shape stays strong.
PeakStart StartOf(const FittedPeak& p) {
    return {static_cast<double>(p.twoTheta), static_cast<double>(p.height),
            static_cast<double>(p.fwhm), p.shapeFixed ? 0.0 : 1e3};
}

// How far a peak's fit reaches: its window and its Kα2 line.
double Reach(const ScanPeaks& found, double fwhm) {
    double reach = 5 * std::max(fwhm, found.typicalWidth);
    if (found.lines.IsDoublet()) {
        // The Kα1–Kα2 distance grows with 2θ; 2 tan θ Δλ/λ is at most this at 2θ = 160°.
        reach += 2 * std::tan(80 * 3.14159265358979 / 180) * 180 / 3.14159265358979 *
                 static_cast<double>((found.lines.ka2 - found.lines.ka1) / found.lines.ka1);
    }
    return reach;
}

// The peaks `kept` as they are, with the fit of `starts` among them.
std::vector<FittedPeak> Refit(const Scan& scan, const ScanPeaks& found,
                              const std::vector<PeakStart>& starts, std::vector<FittedPeak> kept) {
    const FitOutcome fit = FitPeaks(scan, found.background, SetupOf(found), starts);
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
    return setup;
}

ScanPeaks FindPeaks(const Scan& scan, const Wavelengths& lines, const PeakSettings& settings,
                    const Progress& progress) {
    ScanPeaks out;
    out.lines = lines;
    const double step = MeanStep(scan);
    out.typicalWidth = TypicalPeakWidth(scan);
    if (!(out.typicalWidth > 0)) out.typicalWidth = 5 * step;
    out.backgroundWidth = settings.backgroundWidth > 0
                              ? settings.backgroundWidth
                              : DefaultBackgroundWidth(scan, out.typicalWidth);
    const auto part = [&](double from, double to) -> Progress {
        if (!progress) return {};
        return [&progress, from, to](double f) { return progress(from + (to - from) * f); };
    };
    out.background = ScanBackground(scan, out.backgroundWidth, part(0, 0.2));
    if (out.background.size() != scan.Size()) {
        out.cancelled = true;
        return out;
    }
    out.noiseScale = NoiseScale(scan);
    SearchSettings search;
    search.significance = settings.significance;
    search.minWidth = settings.minWidth;
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
    out.cancelled = fit.cancelled;
    for (const FittedPeak& p : fit.peaks) {
        if (p.twoTheta >= settings.rangeMin && p.twoTheta <= settings.rangeMax)
            out.peaks.push_back(p);
    }
    return out;
}

std::vector<FittedPeak> AddPeak(const Scan& scan, const ScanPeaks& found, double twoTheta) {
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
    const double height = std::max(scan.counts[i] - found.background[i], 1.0);
    starts.push_back({twoTheta, height, found.typicalWidth, 0});
    return Refit(scan, found, starts, kept);
}

std::vector<FittedPeak> RemovePeak(const Scan& scan, const ScanPeaks& found, std::size_t index) {
    if (index >= found.peaks.size()) return found.peaks;
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
