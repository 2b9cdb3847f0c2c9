// SPDX-License-Identifier: GPL-3.0-or-later
// The search runs in double: it only decides which boxes hold cells; every cell it finds is
// refined again in long double.
#include "dichotomy.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dorvalix::indexing {

namespace {

constexpr double kRadians = std::numbers::pi / 180;

int CoefficientCount(int code) {
    switch (code) {
        case kCubic:
            return 1;
        case kHexagonal:
        case kTetragonal:
            return 2;
        case kOrthorhombic:
            return 3;
        case kMonoclinicBeta:
            return 4;
        default:
            return 0;
    }
}

// The determinant of the reciprocal metric over a box: its least and greatest value.
void DeterminantRange(int code, const std::array<double, 4>& lo, const std::array<double, 4>& hi,
                      double& dMin, double& dMax) {
    switch (code) {
        case kCubic:
            dMin = lo[0] * lo[0] * lo[0];
            dMax = hi[0] * hi[0] * hi[0];
            break;
        case kTetragonal:
            dMin = lo[0] * lo[0] * lo[1];
            dMax = hi[0] * hi[0] * hi[1];
            break;
        case kHexagonal:
            dMin = 0.75 * lo[0] * lo[0] * lo[1];
            dMax = 0.75 * hi[0] * hi[0] * hi[1];
            break;
        case kOrthorhombic:
            dMin = lo[0] * lo[1] * lo[2];
            dMax = hi[0] * hi[1] * hi[2];
            break;
        case kMonoclinicBeta: {
            // B·(A·C − D²) with 0 ≤ D.
            const double d2max = hi[3] * hi[3], d2min = std::max(lo[3], 0.0) * std::max(lo[3], 0.0);
            dMin = lo[1] * (lo[0] * lo[2] - d2max);
            dMax = hi[1] * (hi[0] * hi[2] - d2min);
            break;
        }
        default:
            dMin = dMax = 0;
            break;
    }
}

void VolumeRange(int code, const std::array<double, 4>& lo, const std::array<double, 4>& hi,
                 double& vMin, double& vMax) {
    double dMin, dMax;
    DeterminantRange(code, lo, hi, dMin, dMax);
    vMin = dMax > 0 ? 1 / std::sqrt(dMax) : 1e300;
    vMax = dMin > 0 ? 1 / std::sqrt(dMin) : 1e300;
}

// A cell with more calculated lines than this for each observed one is not searched.
constexpr int kMaxCalculatedPerLine = 8;

// The lines whose reflections are narrowed first.
constexpr std::size_t kLowLines = 8;

struct Row {
    std::array<double, 4> e{};
    Hkl hkl{};
    double window = 0;  // the Q window at the row's least Q over its top-level box
};

// The lines as the search uses them.
struct LineTable {
    int n = 0;
    double lambda = 1;
    std::vector<double> twoTheta, tol;
    double minTol = 0;

    double Q(double twoThetaDegrees) const {
        const double s =
            2 * std::sin(std::clamp(twoThetaDegrees, 0.0, 179.9) * kRadians / 2) / lambda;
        return s * s;
    }
    // The Q width of ±minTol at Q.
    double Window(double q) const {
        const double c = std::sqrt(std::max(1 - lambda * lambda * q / 4, 1e-6));
        return 2 * minTol * kRadians * (2 / lambda) * std::sqrt(std::max(q, 0.0)) * c;
    }
};

LineTable TableOf(const LineSet& set) {
    LineTable t;
    t.n = static_cast<int>(set.size());
    t.lambda = static_cast<double>(set.wavelength);
    t.minTol = 1e300;
    for (const Line& l : set.lines) {
        t.twoTheta.push_back(static_cast<double>(l.twoTheta));
        t.tol.push_back(static_cast<double>(l.tolerance));
        t.minTol = std::min(t.minTol, static_cast<double>(l.tolerance));
    }
    return t;
}

// The rows of a system whose Q can be at most qLimit somewhere in the box.
std::vector<Row> RowsOf(int code, const std::array<double, 4>& lo, const std::array<double, 4>& hi,
                        double qLimit, const LineTable& table) {
    std::vector<Row> rows;
    auto qMin = [&](const Row& r) {
        double q = 0;
        for (int j = 0; j < CoefficientCount(code); ++j)
            q += r.e[static_cast<std::size_t>(j)] * (r.e[static_cast<std::size_t>(j)] >= 0
                                                         ? lo[static_cast<std::size_t>(j)]
                                                         : hi[static_cast<std::size_t>(j)]);
        return q;
    };
    auto add = [&](int h, int k, int l) {
        if (h == 0 && k == 0 && l == 0) return;
        const IntegerDesignRow e = MakeIntegerDesignRow(code, h, k, l);
        Row r;
        for (std::size_t j = 0; j < 4; ++j)
            r.e[j] = static_cast<double>(e[j]);
        r.hkl = {h, k, l};
        const double q = qMin(r);
        if (q > qLimit) return;
        r.window = table.Window(std::max(q, 1e-12));
        rows.push_back(r);
    };
    auto bound = [&](double factor, double low) {
        return static_cast<int>(std::floor(std::sqrt(factor * qLimit / low)));
    };
    switch (code) {
        case kCubic: {
            const int m = bound(1, lo[0]);
            for (int h = 0; h <= m; ++h)
                for (int k = 0; k <= h; ++k)
                    for (int l = 0; l <= k; ++l)
                        add(h, k, l);
            break;
        }
        case kTetragonal:
        case kHexagonal: {
            // h² + hk + k² ≥ ¾·max(h, k)².
            const int m = bound(code == kHexagonal ? 4.0 / 3 : 1, lo[0]), ml = bound(1, lo[1]);
            for (int h = 0; h <= m; ++h)
                for (int k = 0; k <= h; ++k)
                    for (int l = 0; l <= ml; ++l)
                        add(h, k, l);
            break;
        }
        case kOrthorhombic: {
            const int mh = bound(1, lo[0]), mk = bound(1, lo[1]), ml = bound(1, lo[2]);
            for (int h = 0; h <= mh; ++h)
                for (int k = 0; k <= mk; ++k)
                    for (int l = 0; l <= ml; ++l)
                        add(h, k, l);
            break;
        }
        case kMonoclinicBeta: {
            // On the reduced plane (0 ≤ 2D ≤ A ≤ C): A·h² + 2D·hl + C·l² ≥ ¾·A·h² and ≥ ¾·C·l².
            const int mh = bound(4.0 / 3, lo[0]), mk = bound(1, lo[1]), ml = bound(4.0 / 3, lo[2]);
            for (int h = 0; h <= mh; ++h)
                for (int k = 0; k <= mk; ++k)
                    for (int l = h == 0 ? 0 : -ml; l <= ml; ++l)
                        add(h, k, l);
            break;
        }
        default:
            break;
    }
    // One row per distinct design row: equal rows give equal Q everywhere.
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.e < b.e; });
    rows.erase(std::unique(rows.begin(), rows.end(),
                           [](const Row& a, const Row& b) { return a.e == b.e; }),
               rows.end());
    return rows;
}

class BoxSearch {
  public:
    BoxSearch(const LineSet& set, const DichotomySettings& s, double vMin, double vMax,
              const std::function<bool()>& stop)
        : set_(set),
          s_(s),
          t_(TableOf(set)),
          p_(CoefficientCount(s.code)),
          vMin_(vMin),
          vMax_(vMax),
          stop_(stop) {
        qlo_.resize(static_cast<std::size_t>(t_.n));
        qhi_.resize(static_cast<std::size_t>(t_.n));
        covered_.resize(static_cast<std::size_t>(t_.n));
        const int first = std::min(s.impurities, t_.n - 1);
        firstReal_ = t_.Q(t_.twoTheta[static_cast<std::size_t>(first)] + s.zeroRange +
                          t_.tol[static_cast<std::size_t>(first)]);
    }

    DichotomyOutcome Run(const DichotomyBox& box) {
        const double zr = s_.refineZero ? static_cast<double>(s_.zeroRange) : 0;
        Windows(-zr, zr);
        windowZlo_ = -zr;
        windowZhi_ = zr;
        const double qLimit = qhi_.back();
        rows_ = RowsOf(s_.code, box.lo, box.hi, qLimit, t_);
        buffers_.resize(200);
        std::vector<int> all(rows_.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = static_cast<int>(i);
        // The zero range in slices of four tolerances: a wide zero range widens every line's
        // window and would keep the box from pruning until deep down.
        const int slices =
            zr > 0 ? std::max(1, static_cast<int>(std::ceil(2 * zr / (4 * t_.minTol)))) : 1;
        for (int i = 0; i < slices; ++i) {
            const double z0 = -zr + 2 * zr * i / slices, z1 = -zr + 2 * zr * (i + 1) / slices;
            Visit(box.lo, box.hi, z0, z1, all, 0, 0);
        }
        return std::move(out_);
    }

  private:
    void Windows(double zlo, double zhi) {
        const auto n = static_cast<std::size_t>(t_.n);
        for (std::size_t i = 0; i < n; ++i) {
            qlo_[i] = t_.Q(t_.twoTheta[i] - zhi - t_.tol[i]);
            qhi_[i] = t_.Q(t_.twoTheta[i] - zlo + t_.tol[i]);
        }
        // Monotone envelopes (widening only), for the binary search.
        for (std::size_t i = 1; i < n; ++i)
            qhi_[i] = std::max(qhi_[i], qhi_[i - 1]);
        for (std::size_t i = n - 1; i-- > 0;)
            qlo_[i] = std::min(qlo_[i], qlo_[i + 1]);
    }

    bool InDomain(const std::array<double, 4>& lo, const std::array<double, 4>& hi) const {
        switch (s_.code) {
            case kOrthorhombic:  // A ≥ B ≥ C
                if (lo[1] > hi[0] || lo[2] > hi[1]) return false;
                return lo[2] <= firstReal_;
            case kMonoclinicBeta:  // 0 ≤ 2D ≤ A ≤ C
                if (lo[0] > hi[2] || 2 * lo[3] > hi[0]) return false;
                return std::min(lo[0], lo[1]) <= firstReal_;
            case kTetragonal:
            case kHexagonal:
                return std::min(lo[0], lo[1]) <= firstReal_;
            default:
                return lo[0] <= firstReal_;
        }
    }

    // `below` counts the reflections already certain to lie below the last line (dropped
    // from the row list because they reach no line).
    void Visit(std::array<double, 4> lo, std::array<double, 4> hi, double zlo, double zhi,
               const std::vector<int>& parentRows, int depth, int below) {
        if (out_.truncated || depth >= 199) return;
        if ((++out_.nodes & 1023) == 0 && stop_()) stopped_ = true;
        if (stopped_) return;
        if (!InDomain(lo, hi)) return;
        double v0, v1;
        VolumeRange(s_.code, lo, hi, v0, v1);
        if (v1 < vMin_ || v0 > vMax_) return;
        if (zlo != windowZlo_ || zhi != windowZhi_) {
            Windows(zlo, zhi);
            windowZlo_ = zlo;
            windowZhi_ = zhi;
        }
        const auto n = static_cast<std::size_t>(t_.n);
        std::fill(covered_.begin(), covered_.end(), 0);
        const double qLimit = qhi_[n - 1];
        std::vector<int>& rows = buffers_[static_cast<std::size_t>(depth)];
        rows.clear();
        // The widest reflection, in units of the Q window at its Q, and the dimension that
        // makes most of it.
        double worst = 0, worstLow = 0;
        std::array<double, 5> share{}, shareLow{};
        const double qLow = qhi_[std::min<std::size_t>(n - 1, kLowLines - 1)];
        const double qLastLow = qlo_[n - 1];
        int certainBelow = below;  // reflections below the last line wherever in the box
        for (const int ri : parentRows) {
            const Row& r = rows_[static_cast<std::size_t>(ri)];
            double qmin = 0, qmax = 0;
            for (int j = 0; j < p_; ++j) {
                const auto u = static_cast<std::size_t>(j);
                if (r.e[u] >= 0) {
                    qmin += r.e[u] * lo[u];
                    qmax += r.e[u] * hi[u];
                } else {
                    qmin += r.e[u] * hi[u];
                    qmax += r.e[u] * lo[u];
                }
            }
            if (qmin > qLimit) continue;
            if (qmax <= qLastLow) ++certainBelow;
            // A reflection that reaches no line here reaches none in a smaller box either.
            auto first = std::lower_bound(qhi_.begin(), qhi_.end(), qmin);
            bool reaches = false;
            for (auto i = static_cast<std::size_t>(first - qhi_.begin()); i < n && qlo_[i] <= qmax;
                 ++i) {
                covered_[i] = 1;
                reaches = true;
            }
            if (!reaches) {
                if (qmax <= qLastLow) ++below;
                continue;
            }
            rows.push_back(ri);
            const double window = r.window;
            const double width = (qmax - qmin) / window;
            if (width > worst) worst = width;
            const bool low = qmin <= qLow;
            if (low && width > worstLow) worstLow = width;
            for (int j = 0; j < p_; ++j) {
                const auto u = static_cast<std::size_t>(j);
                const double part = std::fabs(r.e[u]) * (hi[u] - lo[u]) / window;
                share[u] = std::max(share[u], part);
                if (low) shareLow[u] = std::max(shareLow[u], part);
            }
        }
        int missing = 0;
        for (std::size_t i = 0; i < n; ++i)
            missing += covered_[i] ? 0 : 1;
        if (missing > s_.impurities) return;
        // More calculated lines than kMaxCalculatedPerLine for each observed one: M(20) could
        // not reach a useful value (de Wolff, J. Appl. Cryst. 1, 108, 1968).
        if (certainBelow > kMaxCalculatedPerLine * t_.n) return;
        const double zeroShare = (zhi - zlo) / (2 * t_.minTol);
        if (worst <= 1 && zeroShare <= 0.5) {
            Fit(lo, hi, zlo, zhi);
            return;
        }
        // The low lines prune: their reflections are narrowed first.
        const std::array<double, 5>& by = worstLow > 1 ? shareLow : share;
        int split = -1;
        double largest = 0;
        for (int j = 0; j < p_; ++j) {
            if (by[static_cast<std::size_t>(j)] > largest) {
                largest = by[static_cast<std::size_t>(j)];
                split = j;
            }
        }
        if (zeroShare > largest) split = 4;
        if (split == 4) {
            const double mid = (zlo + zhi) / 2;
            Visit(lo, hi, zlo, mid, rows, depth + 1, below);
            Visit(lo, hi, mid, zhi, rows, depth + 1, below);
        } else if (split >= 0) {
            const auto u = static_cast<std::size_t>(split);
            const double mid = (lo[u] + hi[u]) / 2;
            std::array<double, 4> h1 = hi, l2 = lo;
            h1[u] = mid;
            l2[u] = mid;
            Visit(lo, h1, zlo, zhi, rows, depth + 1, below);
            Visit(l2, hi, zlo, zhi, rows, depth + 1, below);
        }
    }

    void Fit(const std::array<double, 4>& lo, const std::array<double, 4>& hi, double zlo,
             double zhi) {
        // A box next to one whose cell is known leads to that cell again.
        for (const CellFit& f : out_.fits) {
            bool near = std::fabs(static_cast<double>(f.zero) - (zlo + zhi) / 2) <=
                        1.5 * (zhi - zlo) + 1e-9;
            for (int j = 0; j < p_ && near; ++j) {
                const auto u = static_cast<std::size_t>(j);
                const double w = hi[u] - lo[u];
                const double x = static_cast<double>(f.x[u]);
                near = x >= lo[u] - 1.5 * w && x <= hi[u] + 1.5 * w;
            }
            if (near) return;
        }
        if (++fitted_ > s_.maxFitsPerBox) {
            out_.truncated = true;
            return;
        }
        SystemCoefficients x{};
        for (int j = 0; j < p_; ++j) {
            const auto u = static_cast<std::size_t>(j);
            x[u] = (static_cast<long double>(lo[u]) + hi[u]) / 2;
        }
        const Metric g = MetricOfCoefficients(s_.code, x);
        FitOptions options;
        options.refineZero = s_.refineZero;
        options.maxZero = s_.zeroRange + 0.1L;
        options.widen = 2;
        options.minIndexed = t_.n - s_.impurities;
        const CellFit fit = FitCell(set_, s_.code, Centring::P, g,
                                    (static_cast<long double>(zlo) + zhi) / 2, options);
        if (!fit.ok || fit.Unindexed() > s_.impurities) return;
        for (const CellFit& f : out_.fits) {
            bool same = std::fabs(f.zero - fit.zero) < 1e-6L;
            for (int j = 0; j < p_ && same; ++j) {
                const auto u = static_cast<std::size_t>(j);
                same = std::fabs(f.x[u] - fit.x[u]) <= 1e-7L * std::fabs(fit.x[u]) + 1e-12L;
            }
            if (same) return;
        }
        out_.fits.push_back(fit);
    }

    const LineSet& set_;
    const DichotomySettings& s_;
    LineTable t_;
    int p_;
    double vMin_, vMax_;
    const std::function<bool()>& stop_;
    bool stopped_ = false;
    double firstReal_ = 0;
    std::vector<Row> rows_;
    std::vector<double> qlo_, qhi_;
    std::vector<char> covered_;
    std::vector<std::vector<int>> buffers_;  // the row list of the node at each depth
    double windowZlo_ = 0, windowZhi_ = 0;   // the zero range qlo_ and qhi_ were made for
    int fitted_ = 0;
    DichotomyOutcome out_;
};

// Geometric steps of ratio 1.5 from low to high.
std::vector<std::pair<double, double>> Steps(double low, double high) {
    std::vector<std::pair<double, double>> out;
    for (double v = low; v < high; v *= 1.5)
        out.push_back({v, std::min(v * 1.5, high)});
    return out;
}

}  // namespace

std::vector<DichotomyBox> DichotomyBoxes(const LineSet& set, const DichotomySettings& s) {
    std::vector<DichotomyBox> out;
    const LineTable t = TableOf(set);
    if (t.n == 0) return out;
    const double zr = s.refineZero ? static_cast<double>(s.zeroRange) : 0;
    const double qMax = t.Q(t.twoTheta.back() + zr + t.tol.back());
    const double qLow = 1 / static_cast<double>(s.maxSpacing * s.maxSpacing);
    if (!(qMax > qLow)) return out;
    const auto steps = Steps(qLow, qMax);
    auto add = [&](std::array<double, 4> lo, std::array<double, 4> hi) {
        DichotomyBox b;
        b.lo = lo;
        b.hi = hi;
        VolumeRange(s.code, lo, hi, b.vMin, b.vMax);
        out.push_back(b);
    };
    switch (s.code) {
        case kCubic:
            for (const auto& a : steps)
                add({a.first, 0, 0, 0}, {a.second, 0, 0, 0});
            break;
        case kTetragonal:
        case kHexagonal:
            for (const auto& a : steps)
                for (const auto& c : steps)
                    add({a.first, c.first, 0, 0}, {a.second, c.second, 0, 0});
            break;
        case kOrthorhombic:
            for (std::size_t i = 0; i < steps.size(); ++i)
                for (std::size_t j = 0; j <= i; ++j)
                    for (std::size_t k = 0; k <= j; ++k)
                        add({steps[i].first, steps[j].first, steps[k].first, 0},
                            {steps[i].second, steps[j].second, steps[k].second, 0});
            break;
        case kMonoclinicBeta:
            for (std::size_t i = 0; i < steps.size(); ++i)
                for (std::size_t k = i; k < steps.size(); ++k)
                    for (const auto& b : steps)
                        for (int q = 0; q < 4; ++q) {
                            const double dTop = steps[i].second / 2;
                            add({steps[i].first, b.first, steps[k].first, dTop * q / 4},
                                {steps[i].second, b.second, steps[k].second, dTop * (q + 1) / 4});
                        }
            break;
        default:
            break;
    }
    return out;
}

DichotomyOutcome SearchBox(const LineSet& lines, const DichotomySettings& settings,
                           const DichotomyBox& box, double vMin, double vMax,
                           const std::function<bool()>& stop) {
    if (lines.size() == 0) return {};
    BoxSearch search(lines, settings, vMin, vMax, stop);
    return search.Run(box);
}

}  // namespace dorvalix::indexing
