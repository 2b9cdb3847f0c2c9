// SPDX-License-Identifier: GPL-3.0-or-later
#include "cell_fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "small_solve.h"

namespace dorvalix::indexing {

namespace {

const long double kDegrees = 180 / std::numbers::pi_v<long double>;

// The calculated reflections of a fit, by Q.
struct Calculated {
    std::vector<Reflection> reflections;
    std::vector<long double> q;
};

Calculated CalculatedUpTo(const LineSet& set, const Metric& g, Centring centring,
                          long double twoThetaMax) {
    Calculated c;
    const long double top = std::min(twoThetaMax, 179.0L);
    c.reflections = ReflectionsOf(g, set.QOfTwoTheta(top), centring);
    c.q.reserve(c.reflections.size());
    for (const Reflection& r : c.reflections)
        c.q.push_back(r.q);
    return c;
}

// The nearest calculated reflection (on 2θ) to each line within factor × its tolerance:
// the reflections between the Q of the window's ends, each turned into 2θ.
void Assign(const LineSet& set, const Calculated& calc, long double zero, long double factor,
            std::vector<LineIndex>& out) {
    out.assign(set.size(), LineIndex{});
    const std::vector<long double>& qs = calc.q;
    for (std::size_t i = 0; i < set.size(); ++i) {
        const long double target = set.lines[i].twoTheta - zero;
        const long double tol = set.lines[i].tolerance * factor;
        const long double qLo = set.QOfTwoTheta(std::max(target - tol, 0.0L));
        const long double qHi = set.QOfTwoTheta(std::min(target + tol, 179.9L));
        auto j = std::lower_bound(qs.begin(), qs.end(), qLo);
        std::size_t best = qs.size();
        long double bestDelta = 0, lastCounted = -1;
        int matches = 0;
        for (; j != qs.end() && *j <= qHi; ++j) {
            const auto t = set.TwoThetaOfQ(*j);
            if (!t) break;
            const long double delta = target - *t;
            if (std::fabs(delta) > tol) continue;
            if (lastCounted < 0 || *j - lastCounted > 1e-9L * *j) ++matches;
            lastCounted = *j;
            if (best == qs.size() || std::fabs(delta) < std::fabs(bestDelta)) {
                best = static_cast<std::size_t>(j - qs.begin());
                bestDelta = delta;
            }
        }
        if (best == qs.size()) continue;
        LineIndex& li = out[i];
        li.indexed = true;
        li.hkl = calc.reflections[best].hkl;
        li.delta = bestDelta;
        li.matches = matches;
    }
}

bool SameIndices(const std::vector<LineIndex>& a, const std::vector<LineIndex>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].indexed != b[i].indexed) return false;
        if (a[i].indexed && a[i].hkl != b[i].hkl) return false;
    }
    return true;
}

// Gauss-Newton on the 2θ residuals of the indexed lines: x (and the zero). False when the
// lines do not determine them or the metric is lost.
bool Refine(const LineSet& set, int code, const std::vector<LineIndex>& idx, bool refineZero,
            long double maxZero, SystemCoefficients& x, long double& zero) {
    const int p = ParameterCount(code);
    const int m = p + (refineZero ? 1 : 0);
    int n = 0;
    for (const LineIndex& li : idx)
        n += li.indexed ? 1 : 0;
    if (n <= m) return false;
    std::vector<DesignRow> rows(set.size());
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (idx[i].indexed)
            rows[i] = MakeDesignRow(code, idx[i].hkl[0], idx[i].hkl[1], idx[i].hkl[2]);
    }
    const long double lambda = set.wavelength;
    for (int iteration = 0; iteration < 8; ++iteration) {
        SmallMatrix a(static_cast<std::size_t>(m),
                      std::vector<long double>(static_cast<std::size_t>(m)));
        std::vector<long double> b(static_cast<std::size_t>(m));
        for (std::size_t i = 0; i < set.size(); ++i) {
            if (!idx[i].indexed) continue;
            long double q = 0;
            for (int j = 0; j < p; ++j)
                q += rows[i][static_cast<std::size_t>(j)] * x[static_cast<std::size_t>(j)];
            const long double s = lambda * std::sqrt(std::max(q, 0.0L)) / 2;
            if (!(q > 0) || !(s < 1)) return false;
            const long double calc = 2 * std::asin(s) * kDegrees;
            const long double r = set.lines[i].twoTheta - zero - calc;
            const long double dq = kDegrees * lambda / (2 * std::sqrt(q) * std::sqrt(1 - s * s));
            std::array<long double, kMaxCoefficients + 1> jac{};
            for (int j = 0; j < p; ++j)
                jac[static_cast<std::size_t>(j)] = dq * rows[i][static_cast<std::size_t>(j)];
            if (refineZero) jac[static_cast<std::size_t>(p)] = 1;
            for (int r1 = 0; r1 < m; ++r1) {
                b[static_cast<std::size_t>(r1)] += jac[static_cast<std::size_t>(r1)] * r;
                for (int c1 = 0; c1 < m; ++c1)
                    a[static_cast<std::size_t>(r1)][static_cast<std::size_t>(c1)] +=
                        jac[static_cast<std::size_t>(r1)] * jac[static_cast<std::size_t>(c1)];
            }
        }
        std::vector<long double> step;
        if (!SolveSymmetric(a, b, step)) return false;
        long double change = 0;
        for (int j = 0; j < p; ++j) {
            const auto u = static_cast<std::size_t>(j);
            x[u] += step[u];
            if (x[u] != 0) change = std::max(change, std::fabs(step[u] / x[u]));
        }
        if (refineZero) {
            zero += step[static_cast<std::size_t>(p)];
            if (!(std::fabs(zero) <= maxZero)) return false;
        }
        if (!IsPositiveDefinite(MetricOfCoefficients(code, x))) return false;
        if (change < 1e-12L) break;
    }
    return true;
}

void Finish(const LineSet& set, const Calculated& calc, CellFit& fit) {
    fit.indexed = 0;
    fit.sumSq = 0;
    for (const LineIndex& li : fit.lines) {
        if (!li.indexed) continue;
        ++fit.indexed;
        fit.sumSq += li.delta * li.delta;
    }
    fit.volume = VolumeOf(fit.g);
    // de Wolff's M on the first (up to) 20 indexed lines.
    int n = 0;
    long double q20 = 0, sum = 0;
    for (std::size_t i = 0; i < set.size() && n < 20; ++i) {
        const LineIndex& li = fit.lines[i];
        if (!li.indexed) continue;
        ++n;
        q20 = set.QAt(i, fit.zero);
        sum += std::fabs(q20 - QOf(fit.g, li.hkl));
    }
    fit.m20 = 0;
    fit.nCalc20 = 0;
    if (n > 0) {
        fit.nCalc20 = DistinctQUpTo(calc.reflections, q20 * (1 + 1e-9L));
        const long double eps = sum / n;
        if (eps > 0 && fit.nCalc20 > 0) fit.m20 = q20 / (2 * eps * fit.nCalc20);
    }
}

}  // namespace

SystemCoefficients CoefficientsOf(int code, const Metric& g) {
    SystemCoefficients x{};
    const int p = ParameterCount(code);
    if (p == 0) return x;
    const MetricMap t = MetricMapOf(code);
    // The least-squares x of T·x ≈ g.
    SmallMatrix a(static_cast<std::size_t>(p),
                  std::vector<long double>(static_cast<std::size_t>(p)));
    std::vector<long double> b(static_cast<std::size_t>(p));
    for (std::size_t e = 0; e < 6; ++e) {
        for (std::size_t j = 0; j < static_cast<std::size_t>(p); ++j) {
            b[j] += t[e][j] * g[e];
            for (std::size_t k = 0; k < static_cast<std::size_t>(p); ++k)
                a[j][k] += t[e][j] * t[e][k];
        }
    }
    std::vector<long double> sol;
    if (!SolveSymmetric(a, b, sol)) return x;
    for (std::size_t j = 0; j < static_cast<std::size_t>(p); ++j)
        x[j] = sol[j];
    return x;
}

Metric MetricOfCoefficients(int code, const SystemCoefficients& x) {
    return MetricOf(MetricMapOf(code), x.data(), ParameterCount(code));
}

CellFit FitCell(const LineSet& set, int code, Centring centring, const Metric& start,
                long double zeroStart, const FitOptions& options) {
    CellFit fit;
    fit.code = code;
    fit.centring = centring;
    fit.x = CoefficientsOf(code, start);
    fit.zero = options.refineZero ? zeroStart : zeroStart;
    if (set.size() == 0) return fit;
    const long double lastTwoTheta = set.lines.back().twoTheta;
    long double maxTolerance = 0;
    for (const Line& l : set.lines)
        maxTolerance = std::max(maxTolerance, l.tolerance);
    std::vector<LineIndex> previous;
    Calculated calc;
    for (int round = 0; round < options.maxRounds; ++round) {
        fit.g = MetricOfCoefficients(code, fit.x);
        if (!IsPositiveDefinite(fit.g)) return fit;
        const long double factor =
            std::max(1.0L, options.widen / static_cast<long double>(1 << std::min(round, 20)));
        calc = CalculatedUpTo(set, fit.g, centring,
                              lastTwoTheta - fit.zero + factor * maxTolerance + 0.01L);
        Assign(set, calc, fit.zero, factor, fit.lines);
        if (round == 0 && options.minIndexed > 0) {
            // Even the widened first round indexes too few lines: this start leads nowhere.
            int indexed = 0;
            for (const LineIndex& li : fit.lines)
                indexed += li.indexed ? 1 : 0;
            if (indexed < options.minIndexed) return fit;
        }
        if (factor == 1 && round > 0 && SameIndices(fit.lines, previous)) break;
        if (!Refine(set, code, fit.lines, options.refineZero, options.maxZero, fit.x, fit.zero))
            return fit;
        previous = fit.lines;
        if (round + 1 == options.maxRounds) {
            // The last round: the indices of the refined cell, without refining again.
            fit.g = MetricOfCoefficients(code, fit.x);
            calc = CalculatedUpTo(set, fit.g, centring,
                                  lastTwoTheta - fit.zero + maxTolerance + 0.01L);
            Assign(set, calc, fit.zero, 1, fit.lines);
        }
    }
    fit.g = MetricOfCoefficients(code, fit.x);
    Finish(set, calc, fit);
    fit.ok = fit.indexed > ParameterCount(code) + (options.refineZero ? 1 : 0) &&
             fit.indexed >= options.minIndexed && fit.volume > 0;
    return fit;
}

CellFit FitWithIndices(const LineSet& set, int code, Centring centring, const Metric& start,
                       long double zeroStart, const std::vector<LineIndex>& indices,
                       const FitOptions& options) {
    CellFit fit;
    fit.code = code;
    fit.centring = centring;
    fit.x = CoefficientsOf(code, start);
    fit.zero = zeroStart;
    fit.lines = indices;
    if (set.size() == 0 || indices.size() != set.size()) return fit;
    if (!Refine(set, code, fit.lines, options.refineZero, options.maxZero, fit.x, fit.zero))
        return fit;
    fit.g = MetricOfCoefficients(code, fit.x);
    long double maxTolerance = 0;
    for (const Line& l : set.lines)
        maxTolerance = std::max(maxTolerance, l.tolerance);
    const Calculated calc = CalculatedUpTo(
        set, fit.g, centring, set.lines.back().twoTheta - fit.zero + maxTolerance + 0.01L);
    for (std::size_t i = 0; i < set.size(); ++i) {
        LineIndex& li = fit.lines[i];
        if (!li.indexed) continue;
        const auto t = set.TwoThetaOfQ(QOf(fit.g, li.hkl));
        if (!t) {
            li.indexed = false;
            continue;
        }
        li.delta = set.lines[i].twoTheta - fit.zero - *t;
    }
    Finish(set, calc, fit);
    fit.ok = fit.indexed > ParameterCount(code) + (options.refineZero ? 1 : 0) && fit.volume > 0;
    return fit;
}

long double RmsDelta(const CellFit& fit) {
    return fit.indexed > 0 ? std::sqrt(fit.sumSq / fit.indexed) : 0;
}

}  // namespace dorvalix::indexing
