// SPDX-License-Identifier: GPL-3.0-or-later
#include "peak_search.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "background.h"

namespace dorvalix {

namespace {

constexpr long double kDegree = std::numbers::pi_v<long double> / 180;

// The median of a chi-square variable of one degree of freedom: the squared scatter of
// normal noise has this median relative to its variance.
constexpr double kChiSquare1Median = 0.454936423119572;

}  // namespace

long double KAlpha2Position(long double twoTheta1, long double ka1, long double ka2) {
    const long double s = ka2 / ka1 * std::sin(twoTheta1 * kDegree / 2);
    if (!(s < 1)) return 0;
    return 2 * std::asin(s) / kDegree;
}

std::vector<double> StripKAlpha2(const Scan& scan, const std::vector<double>& background,
                                 const Wavelengths& lines) {
    const std::size_t n = scan.Size();
    std::vector<double> net(n);
    for (std::size_t i = 0; i < n; ++i)
        net[i] = scan.counts[i] - (background.size() == n ? background[i] : 0);
    if (!lines.IsDoublet()) return net;
    const long double rho = lines.ka1 / lines.ka2;
    for (std::size_t i = 0; i < n; ++i) {
        // The Kα1 angle whose Kα2 line lies here, and the stripped counts there.
        const long double s = rho * std::sin(scan.twoTheta[i] * kDegree / 2);
        const auto x1 = static_cast<double>(2 * std::asin(s) / kDegree);
        const std::size_t j = LowerIndex(scan, x1);
        if (j == 0 || j >= i) continue;
        const double f = (x1 - scan.twoTheta[j - 1]) / (scan.twoTheta[j] - scan.twoTheta[j - 1]);
        const double earlier = net[j - 1] + f * (net[j] - net[j - 1]);
        net[i] -= static_cast<double>(lines.ratio) * earlier;
    }
    return net;
}

std::vector<double> CountVariances(const Scan& scan, double noiseScale) {
    std::vector<double> v(scan.Size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        // An s.u. of 0 tells nothing: counting statistics stand in for it.
        const double su = scan.su.empty() ? 0 : scan.su[i];
        const double base = su > 0 ? su * su : std::max(scan.counts[i], 1.0);
        v[i] = base * noiseScale;
    }
    return v;
}

double NoiseScale(const Scan& scan) {
    const std::size_t n = scan.Size();
    if (n < 5) return 1;
    const std::vector<double> v = CountVariances(scan, 1);
    // r = y(i) − (y(i−1) + y(i+1)) / 2 has the variance v(i) + (v(i−1) + v(i+1)) / 4 for
    // independent counts; peaks, smooth over a few steps, add little to most points.
    std::vector<double> ratios;
    ratios.reserve(n);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double r = scan.counts[i] - 0.5 * (scan.counts[i - 1] + scan.counts[i + 1]);
        const double var = v[i] + 0.25 * (v[i - 1] + v[i + 1]);
        if (var > 0) ratios.push_back(r * r / var);
    }
    if (ratios.empty()) return 1;
    const auto mid = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2);
    std::nth_element(ratios.begin(), mid, ratios.end());
    const double scale = *mid / kChiSquare1Median;
    // Data with no scatter at all (computed patterns) keep a floor, so that every variance
    // stays positive.
    return std::clamp(scale, 1e-6, 1e6);
}

std::vector<PeakStart> SearchPeaks(const Scan& scan, const std::vector<double>& background,
                                   const Wavelengths& lines, const SearchSettings& settings) {
    const std::size_t n = scan.Size();
    const double step = MeanStep(scan);
    if (n < 7 || !(step > 0) || background.size() != n) return {};
    double fwhm = settings.typicalWidth > 0 ? settings.typicalWidth : TypicalPeakWidth(scan);
    if (!(fwhm > 0)) fwhm = 5 * step;
    // A window about one FWHM wide: the second derivative of a peak is then sharpest
    // against the noise.
    const auto m = static_cast<std::ptrdiff_t>(
        std::clamp<double>(std::round(fwhm / step / 2), 2, std::max<double>(2, (n - 1) / 2.0 - 1)));
    const std::size_t w = static_cast<std::size_t>(2 * m + 1);
    // Savitzky–Golay coefficients of a quadratic over j = −m..m: the second derivative
    // is Σ 2 (j² − mean j²) y(i+j) / Σ (j² − mean j²)², the smoothed value
    // Σ (3(3m² + 3m − 1) − 15 j²) y(i+j) / ((2m − 1)(2m + 1)(2m + 3)).
    std::vector<double> c2(w), c0(w);
    const double md = static_cast<double>(m);
    const double meanSquare = md * (md + 1) / 3;
    double norm = 0;
    for (std::ptrdiff_t j = -m; j <= m; ++j) {
        const double d = static_cast<double>(j * j) - meanSquare;
        norm += d * d;
    }
    for (std::ptrdiff_t j = -m; j <= m; ++j) {
        const auto k = static_cast<std::size_t>(j + m);
        c2[k] = 2 * (static_cast<double>(j * j) - meanSquare) / norm;
        c0[k] = (3 * (3 * md * md + 3 * md - 1) - 15 * static_cast<double>(j * j)) /
                ((2 * md - 1) * (2 * md + 1) * (2 * md + 3));
    }
    const std::vector<double> variance = CountVariances(scan, 1);
    std::vector<double> curvature(n, 0), sigma(n, 0);
    for (std::size_t i = static_cast<std::size_t>(m); i + static_cast<std::size_t>(m) < n; ++i) {
        double d = 0, v = 0;
        for (std::size_t k = 0; k < w; ++k) {
            const std::size_t at = i + k - static_cast<std::size_t>(m);
            d += c2[k] * scan.counts[at];
            v += c2[k] * c2[k] * variance[at];
        }
        curvature[i] = -d;
        sigma[i] = std::sqrt(v);
    }
    // The noise of the second derivative as the data show it: data that were smoothed, or
    // are not counts, scatter less (or more) at the window's scale than counting statistics
    // say. Peaks occupy a minority of the points, so a low quantile of |d2 / σ| measures the
    // noise: the 30th percentile of |z| for normal z is 0.38532.
    {
        std::vector<double> z;
        z.reserve(n);
        for (std::size_t i = static_cast<std::size_t>(m); i + static_cast<std::size_t>(m) < n;
             ++i) {
            if (sigma[i] > 0) z.push_back(std::abs(curvature[i]) / sigma[i]);
        }
        if (!z.empty()) {
            const auto q = z.begin() + static_cast<std::ptrdiff_t>(z.size() * 3 / 10);
            std::nth_element(z.begin(), q, z.end());
            const double scale = std::clamp(*q / 0.38532, 1e-3, 1e3);
            for (double& s : sigma)
                s *= scale;
        }
    }
    const double minWidth = settings.minWidth > 0 ? settings.minWidth : 2 * step;
    std::vector<PeakStart> found;
    for (std::size_t i = static_cast<std::size_t>(m) + 1; i + static_cast<std::size_t>(m) + 1 < n;
         ++i) {
        const double c = curvature[i];
        if (!(c > 0) || c < curvature[i - 1] || !(c > curvature[i + 1])) continue;
        if (c < settings.significance * sigma[i]) continue;
        if (scan.twoTheta[i] < settings.rangeMin || scan.twoTheta[i] > settings.rangeMax) continue;
        std::size_t l = i, r = i;
        while (l > 0 && curvature[l - 1] > 0)
            --l;
        while (r + 1 < n && curvature[r + 1] > 0)
            ++r;
        const double run = scan.twoTheta[r] - scan.twoTheta[l] + step;
        if (run < minWidth) continue;
        double smooth = 0;
        for (std::size_t k = 0; k < w; ++k)
            smooth += c0[k] * scan.counts[i + k - static_cast<std::size_t>(m)];
        const double height = smooth - background[i];
        if (!(height > 0)) continue;
        // The top of the parabola through the curvature at i − 1, i and i + 1.
        const double a = curvature[i - 1], b = curvature[i], e = curvature[i + 1];
        const double denominator = a - 2 * b + e;
        const double shift =
            denominator < 0 ? std::clamp(0.5 * (a - e) / denominator, -0.5, 0.5) : 0;
        const double x =
            scan.twoTheta[i] + shift * 0.5 * (scan.twoTheta[i + 1] - scan.twoTheta[i - 1]);
        found.push_back({x, height, std::max(fwhm, 0.9 * run), c / sigma[i]});
    }
    if (lines.IsDoublet() && found.size() > 1) {
        // A maximum where a stronger peak's Kα2 line falls is that line.
        std::vector<std::size_t> order(found.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            order[k] = k;
        std::sort(order.begin(), order.end(),
                  [&](std::size_t p, std::size_t q) { return found[p].height > found[q].height; });
        std::vector<char> dropped(found.size(), 0);
        for (const std::size_t a : order) {
            if (dropped[a]) continue;
            const auto x2 =
                static_cast<double>(KAlpha2Position(found[a].twoTheta, lines.ka1, lines.ka2));
            if (!(x2 > 0)) continue;
            const double tolerance = std::max(0.35 * found[a].fwhm, 1.5 * step);
            for (std::size_t b = 0; b < found.size(); ++b) {
                if (b == a || dropped[b] || found[b].twoTheta <= found[a].twoTheta) continue;
                if (std::abs(found[b].twoTheta - x2) < tolerance &&
                    found[b].height < 0.8 * found[a].height)
                    dropped[b] = 1;
            }
        }
        std::vector<PeakStart> kept;
        for (std::size_t k = 0; k < found.size(); ++k) {
            if (!dropped[k]) kept.push_back(found[k]);
        }
        found.swap(kept);
    }
    return found;
}

}  // namespace dorvalix
