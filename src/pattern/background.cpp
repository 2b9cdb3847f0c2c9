// SPDX-License-Identifier: GPL-3.0-or-later
#include "background.h"

#include <algorithm>
#include <cmath>

namespace dorvalix {

namespace {

// The log-log-square-root operator of SNIP and its inverse (Morháč et al. 1997).
double Lls(double y) {
    return std::log(std::log(std::sqrt(y + 1) + 1) + 1);
}
double InverseLls(double v) {
    const double a = std::exp(std::exp(v) - 1) - 1;
    return a * a - 1;
}

}  // namespace

std::vector<double> SnipBackground(const std::vector<double>& counts, std::size_t halfWidth,
                                   const Progress& progress) {
    const std::size_t n = counts.size();
    if (n == 0) return {};
    // The transform needs counts of 0 or more: a scan with negative values (subtracted or
    // scrambled data) is lifted for it and set back after.
    const double lowest = *std::min_element(counts.begin(), counts.end());
    const double lift = lowest < 0 ? -lowest : 0;
    std::vector<double> v(n), next(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = Lls(counts[i] + lift);
    halfWidth = std::min(halfWidth, (n - 1) / 2);
    // The widest window first: the background is then as smooth as the window allows.
    for (std::size_t p = halfWidth; p >= 1; --p) {
        next = v;
        for (std::size_t i = p; i + p < n; ++i)
            next[i] = std::min(v[i], 0.5 * (v[i - p] + v[i + p]));
        v.swap(next);
        if (p % 64 == 0 && !Report(progress, 1 - static_cast<double>(p) / halfWidth)) return {};
    }
    for (std::size_t i = 0; i < n; ++i)
        v[i] = InverseLls(v[i]) - lift;
    return v;
}

std::vector<double> ScanBackground(const Scan& scan, double width, const Progress& progress) {
    const double step = MeanStep(scan);
    // At most half the scan (SnipBackground's own limit), counted before converting.
    const double points = step > 0 && width > 0 ? width / (2 * step) : 1;
    const double limit = static_cast<double>(scan.Size());
    const auto half =
        static_cast<std::size_t>(std::clamp(std::round(points), 1.0, std::max(limit, 1.0)));
    return SnipBackground(scan.counts, half, progress);
}

double TypicalPeakWidth(const Scan& scan) {
    const std::size_t n = scan.Size();
    const double step = MeanStep(scan);
    if (n < 10 || !(step > 0)) return 0;
    // Lightly smoothed counts, so that one noisy point does not end a peak.
    std::vector<double> s(n);
    s[0] = scan.counts[0];
    s[n - 1] = scan.counts[n - 1];
    for (std::size_t i = 1; i + 1 < n; ++i)
        s[i] = (scan.counts[i - 1] + 2 * scan.counts[i] + scan.counts[i + 1]) / 4;
    std::vector<char> taken(n, 0);
    const double points = static_cast<double>(n);
    const auto reach = static_cast<std::ptrdiff_t>(std::clamp(1.0 / step, 20.0, points));
    // (width, height above the base) of the highest maxima.
    std::vector<std::pair<double, double>> measured;
    for (int k = 0; k < 8; ++k) {
        std::ptrdiff_t top = -1;
        for (std::size_t i = 0; i < n; ++i) {
            if (!taken[i] && (top < 0 || s[i] > s[static_cast<std::size_t>(top)]))
                top = static_cast<std::ptrdiff_t>(i);
        }
        if (top < 0) break;
        const auto at = [&](std::ptrdiff_t i) { return s[static_cast<std::size_t>(i)]; };
        const std::ptrdiff_t lo = std::max<std::ptrdiff_t>(0, top - reach);
        const std::ptrdiff_t hi =
            std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(n) - 1, top + reach);
        double base = at(top);
        for (std::ptrdiff_t i = lo; i <= hi; ++i)
            base = std::min(base, at(i));
        const double half = 0.5 * (at(top) + base);
        std::ptrdiff_t l = top, r = top;
        while (l > lo && at(l) >= half)
            --l;
        while (r < hi && at(r) >= half)
            ++r;
        const bool whole = at(l) < half && at(r) < half && at(top) > base;
        double width = 0;
        if (whole) {
            // Linear interpolation of the half-maximum crossing on each side.
            const auto x = [&](std::ptrdiff_t i) {
                return scan.twoTheta[static_cast<std::size_t>(i)];
            };
            const double xl = x(l) + (x(l + 1) - x(l)) * (half - at(l)) / (at(l + 1) - at(l));
            const double xr = x(r) - (x(r) - x(r - 1)) * (half - at(r)) / (at(r - 1) - at(r));
            width = xr - xl;
            if (std::isfinite(width) && width > 0) {
                measured.emplace_back(width, at(top) - base);
            } else {
                width = 0;
            }
        }
        const auto margin = static_cast<std::ptrdiff_t>(std::clamp(3 * width / step, 3.0, points));
        for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(0, l - margin);
             i <= std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(n) - 1, r + margin); ++i)
            taken[static_cast<std::size_t>(i)] = 1;
    }
    // Only clear peaks count, a tenth of the strongest or more: a scan of few peaks would
    // otherwise measure its noise.
    double strongest = 0;
    for (const auto& [w, h] : measured)
        strongest = std::max(strongest, h);
    std::vector<double> widths;
    for (const auto& [w, h] : measured) {
        if (h >= 0.1 * strongest) widths.push_back(w);
    }
    if (widths.empty()) return 0;
    std::sort(widths.begin(), widths.end());
    return widths[widths.size() / 2];
}

double DefaultBackgroundWidth(const Scan& scan, double typicalWidth) {
    const double step = MeanStep(scan);
    const double range = scan.Size() > 1 ? scan.twoTheta.back() - scan.twoTheta.front() : 0;
    double width = 15 * typicalWidth;
    width = std::max(width, 20 * step);
    if (range > 0) width = std::min(width, range / 4);
    return width;
}

}  // namespace dorvalix
