// SPDX-License-Identifier: GPL-3.0-or-later
// Patterns the tests make themselves: Kα1/Kα2 doublets of a profile the fit does not use (a
// pseudo-Voigt convolved with an exponential tail on the low-angle side, as axial divergence
// makes it), on a sloping background, with counting noise from a fixed seed.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "numtext.h"
#include "pattern.h"
#include "peak_search.h"
#include "profile_fit.h"

namespace dorvalix::test {

struct Reflection {
    double twoTheta;  // of the Kα1 line's maximum, degrees
    double height;    // of the Kα1 line alone, counts
};

struct Synthetic {
    double start = 10, step = 0.01;
    std::size_t points = 10000;
    double level = 200, slope = 0;  // background: level + slope × (2θ − start)
    double fwhm = 0.08;             // of the pseudo-Voigt before the tail
    double eta = 0.5;
    double tail = 0.03;  // mean length of the low-angle tail, degrees; 0: none
    Wavelengths lines;   // a doublet draws each reflection's Kα2 line too
    std::vector<Reflection> reflections;
    std::uint32_t seed = 1;
    bool noise = true;
    double scale = 1;  // the counts are multiplied by this after the noise
};

inline Wavelengths CuDoublet(double ratio = 0.5) {
    Wavelengths w;
    w.ka1 = 1.540593L;
    w.ka2 = 1.544414L;
    w.ratio = ratio;
    w.stated = true;
    return w;
}

inline Wavelengths CuSingle() {
    Wavelengths w;
    w.ka1 = 1.540593L;
    w.stated = true;
    return w;
}

// Each peak of a list, for the message of a failed comparison.
inline std::string Describe(const std::vector<FittedPeak>& peaks) {
    std::string out;
    for (const FittedPeak& p : peaks) {
        out += "\n  " + FormatFixed(p.twoTheta, 4, 15) + "° height " +
               FormatFixed(p.height, 0, 15) + " FWHM " + FormatFixed(p.fwhm, 4, 15);
    }
    return out;
}

// The line's shape of height 1 at its maximum: a pseudo-Voigt convolved with
// exp(−t / tail) / tail for t ≥ 0 on the low-angle side. It is tabulated every 1/200 FWHM
// out to 30 FWHM and interpolated linearly (an error of 1e-5 of the height); beyond, the
// tail's pseudo-Voigt stands alone.
class TailedLine {
  public:
    TailedLine(double fwhm, double eta, double tail) : fwhm_(fwhm), eta_(eta), tail_(tail) {
        for (int j = 0; j < kTailSteps; ++j)
            weight_[j] = std::exp(-(j + 0.5) * 8.0 / kTailSteps);
        // Where the convolved shape has its maximum, and its height there.
        double best = -1;
        for (int k = -2000; k <= 2000; ++k) {
            const double x = k * fwhm / 2000;
            const double v = Raw(x);
            if (v > best) {
                best = v;
                top_ = x;
            }
        }
        height_ = best;
        table_.resize(2 * kReach * kPerFwhm + 1);
        for (std::size_t k = 0; k < table_.size(); ++k)
            table_[k] = Raw(X(k) + top_) / height_;
    }
    // The shape at distance dx from the maximum.
    double operator()(double dx) const {
        const double at = (dx / fwhm_ + kReach) * kPerFwhm;
        if (at < 0 || at >= static_cast<double>(table_.size() - 1))
            return PseudoVoigt(dx + top_) / height_;
        const auto k = static_cast<std::size_t>(at);
        const double f = at - static_cast<double>(k);
        return table_[k] * (1 - f) + table_[k + 1] * f;
    }

  private:
    double PseudoVoigt(double x) const {
        const double u2 = 4 * x * x / (fwhm_ * fwhm_);
        const double gauss = u2 < 700 ? std::exp(-std::numbers::ln2 * u2) : 0;
        return eta_ / (1 + u2) + (1 - eta_) * gauss;
    }
    double Raw(double x) const {
        if (tail_ <= 0) return PseudoVoigt(x);
        double sum = 0, weights = 0;
        for (int j = 0; j < kTailSteps; ++j) {
            const double t = (j + 0.5) * 8 * tail_ / kTailSteps;
            sum += weight_[j] * PseudoVoigt(x + t);
            weights += weight_[j];
        }
        return sum / weights;
    }
    static constexpr int kReach = 30, kPerFwhm = 200, kTailSteps = 400;
    double weight_[kTailSteps];
    double X(std::size_t k) const { return (static_cast<double>(k) / kPerFwhm - kReach) * fwhm_; }
    double fwhm_, eta_, tail_;
    double top_ = 0, height_ = 1;
    std::vector<double> table_;
};

inline Scan MakeScan(const Synthetic& s) {
    Scan scan;
    const TailedLine line(s.fwhm, s.eta, s.tail);
    std::mt19937 random(s.seed);
    // Normal deviates by Box–Muller from the fully specified mt19937, so that every platform
    // draws the same noise.
    auto normal = [&]() {
        const double u1 = (static_cast<double>(random()) + 1) / 4294967297.0;
        const double u2 = static_cast<double>(random()) / 4294967296.0;
        return std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
    };
    for (std::size_t i = 0; i < s.points; ++i) {
        const double x = s.start + s.step * static_cast<double>(i);
        double y = s.level + s.slope * (x - s.start);
        for (const Reflection& r : s.reflections) {
            y += r.height * line(x - r.twoTheta);
            if (s.lines.IsDoublet()) {
                const double x2 =
                    static_cast<double>(KAlpha2Position(r.twoTheta, s.lines.ka1, s.lines.ka2));
                y += static_cast<double>(s.lines.ratio) * r.height * line(x - x2);
            }
        }
        if (s.noise) y = std::max(0.0, std::round(y + std::sqrt(y) * normal()));
        scan.twoTheta.push_back(x);
        scan.counts.push_back(y * s.scale);
    }
    return scan;
}

// Two columns of text, as a diffractometer program exports them.
inline std::string XyText(const Scan& scan) {
    std::string out = "# 2theta counts\n";
    for (std::size_t i = 0; i < scan.Size(); ++i)
        out += FormatGeneral(scan.twoTheta[i]) + " " + FormatGeneral(scan.counts[i]) + "\n";
    return out;
}

}  // namespace dorvalix::test
