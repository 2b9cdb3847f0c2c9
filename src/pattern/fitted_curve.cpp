// SPDX-License-Identifier: GPL-3.0-or-later
#include "fitted_curve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dorvalix {

namespace {

// A line is drawn out to this many FWHM from its maximum: there its Lorentzian tail is
// below 1/10000 of the height.
constexpr double kReachFwhm = 50;

// Adds the line of `peak` centred at `centre` to `curve` over the points it reaches.
void AddLine(const Scan& scan, const FittedPeak& peak, double centre, double height,
             std::vector<double>& curve) {
    const double reach = kReachFwhm * std::max(static_cast<double>(peak.fwhm), MeanStep(scan));
    const std::size_t from = LowerIndex(scan, centre - reach);
    const std::size_t to = LowerIndex(scan, centre + reach);
    for (std::size_t i = from; i < to; ++i)
        curve[i] += SplitPseudoVoigt(peak, centre, height, scan.twoTheta[i]);
}

}  // namespace

double SplitPseudoVoigt(const FittedPeak& peak, double centre, double height, double twoTheta) {
    const bool left = twoTheta < centre;
    const double fwhm = static_cast<double>(peak.fwhm);
    const double asymmetry = static_cast<double>(peak.asymmetry);
    const double halfWidth = fwhm * (left ? 1 + asymmetry : 1 - asymmetry) / 2;
    const double eta = static_cast<double>(left ? peak.etaLeft : peak.etaRight);
    if (!(halfWidth > 0)) return twoTheta == centre ? height : 0;
    const double u = (twoTheta - centre) / halfWidth;
    const double u2 = u * u;
    return height * (eta / (1 + u2) + (1 - eta) * std::exp(-std::numbers::ln2 * u2));
}

std::vector<double> FittedCurve(const Scan& scan, const ScanPeaks& found,
                                const std::vector<FittedPeak>& peaks) {
    if (found.background.size() != scan.Size()) return {};
    std::vector<double> curve = found.background;
    // The windows' lines, each once (its peaks share it).
    std::vector<double> line(scan.Size(), 0);
    std::vector<int> windows(scan.Size(), 0);
    const FittedPeak* previous = nullptr;
    for (const FittedPeak& p : peaks) {
        const bool same = previous && previous->windowFrom == p.windowFrom &&
                          previous->windowTo == p.windowTo && previous->lineLevel == p.lineLevel &&
                          previous->lineSlope == p.lineSlope;
        previous = &p;
        if (same || !(p.windowTo > p.windowFrom)) continue;
        for (std::size_t i = LowerIndex(scan, static_cast<double>(p.windowFrom));
             i < scan.Size() && scan.twoTheta[i] <= p.windowTo; ++i) {
            line[i] +=
                static_cast<double>(p.lineLevel + p.lineSlope * (scan.twoTheta[i] - p.lineCentre));
            ++windows[i];
        }
    }
    for (std::size_t i = 0; i < scan.Size(); ++i) {
        if (windows[i] > 0) curve[i] += line[i] / windows[i];
    }
    const Wavelengths& lines = found.lines;
    for (const FittedPeak& p : peaks) {
        const auto centre = static_cast<double>(p.twoTheta);
        const auto height = static_cast<double>(p.height);
        AddLine(scan, p, centre, height, curve);
        if (lines.IsDoublet() && found.ratio.ratio > 0) {
            const long double second = KAlpha2Position(p.twoTheta, lines.ka1, lines.ka2);
            if (second > 0) {
                AddLine(scan, p, static_cast<double>(second),
                        height * static_cast<double>(found.ratio.ratio), curve);
            }
        }
    }
    return curve;
}

}  // namespace dorvalix
