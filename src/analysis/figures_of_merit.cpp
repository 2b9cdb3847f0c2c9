// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of merit of an indexing: de Wolff's M(n) (J. Appl. Cryst. 1, 108, 1968) and
// Smith and Snyder's F(n) (J. Appl. Cryst. 12, 60, 1979).
#include <algorithm>
#include <cmath>
#include <numbers>

#include "details_internal.h"

namespace dorvalix::details {

namespace {

// Two calculated lines closer than this (relative) are one line: Friedel pairs, equivalent
// reflections and accidental coincidences.
constexpr long double kSameLine = 1e-9L;

// More index triples than this are not counted: the figures of a cell that large are of no
// use, and counting would take seconds.
constexpr long long kMaxCountedTriples = 20'000'000;

// The number of distinct values among `sorted` (ascending) up to `limit`.
int DistinctUpTo(const std::vector<long double>& sorted, long double limit) {
    int count = 0;
    long double last = 0;
    for (const long double v : sorted) {
        if (v > limit) break;
        if (count == 0 || v - last > kSameLine * v) ++count;
        last = v;
    }
    return count;
}

// Q of every reflection (h, k, l) ≠ (0, 0, 0) that the centring allows, with Q ≤ qMax, of
// one of each Friedel pair (its mate has the same Q and the same centring condition).
// False when the index box holds too many triples.
bool CalculatedQ(const Metric& g, const CellFunctions& direct, Centring lattice, long double qMax,
                 std::vector<long double>& q) {
    // |h| = |a·d*| ≤ a·|d*| = a·√Q, and so for k and l.
    const long double root = std::sqrt(qMax);
    long long lim[3];
    for (int i = 0; i < 3; ++i) {
        const long double bound = std::floor(direct.value[static_cast<std::size_t>(i)] * root);
        if (!(bound < 1e6L)) return false;
        lim[i] = static_cast<long long>(bound);
    }
    if ((2 * lim[0] + 1) * (2 * lim[1] + 1) * (2 * lim[2] + 1) / 2 > kMaxCountedTriples) {
        return false;
    }
    for (long long h = 0; h <= lim[0]; ++h) {
        for (long long k = h == 0 ? 0 : -lim[1]; k <= lim[1]; ++k) {
            const auto hd = static_cast<long double>(h), kd = static_cast<long double>(k);
            // Q = c0 + c1·l + g3·l² for this h and k.
            const long double c0 = g[0] * hd * hd + g[1] * kd * kd + 2 * g[5] * hd * kd;
            const long double c1 = 2 * (g[3] * kd + g[4] * hd);
            for (long long l = h == 0 && k == 0 ? 1 : -lim[2]; l <= lim[2]; ++l) {
                const auto ld = static_cast<long double>(l);
                const long double v = c0 + ld * (c1 + g[2] * ld);
                if (v <= qMax && AllowedByCentring(lattice, h, k, l)) q.push_back(v);
            }
        }
    }
    std::sort(q.begin(), q.end());
    return true;
}

}  // namespace

FiguresOfMerit ComputeFiguresOfMerit(const Observations& o, const std::vector<long double>& qCalc,
                                     const long double* x, const DetailsOptions& options) {
    FiguresOfMerit fom;
    fom.lattice = options.lattice;
    fom.wavelength = options.wavelength;
    const long double lambda = options.wavelength;
    if (o.n == 0) return fom;

    // The lines: the included observations by increasing Q.
    std::vector<int> lines(static_cast<std::size_t>(o.n));
    for (int i = 0; i < o.n; ++i)
        lines[static_cast<std::size_t>(i)] = i;
    std::stable_sort(lines.begin(), lines.end(), [&](int a, int b) {
        return o.qObs[static_cast<std::size_t>(a)] < o.qObs[static_cast<std::size_t>(b)];
    });

    FigureM& m = fom.m;
    m.n = std::min(20, o.n);
    m.qN = o.qObs[static_cast<std::size_t>(lines[static_cast<std::size_t>(m.n - 1)])];
    long double sumDq = 0;
    for (int j = 0; j < m.n; ++j) {
        const auto i = static_cast<std::size_t>(lines[static_cast<std::size_t>(j)]);
        sumDq += std::fabs(o.qObs[i] - qCalc[i]);
    }
    m.meanAbsDq = sumDq / m.n;

    // F needs a 2θ for each of its lines, observed and calculated.
    FigureF& f = fom.f;
    f.n = std::min(30, o.n);
    long double sumD2Theta = 0;
    long double twoThetaN = 0;
    for (int j = 0; j < f.n && !f.note; ++j) {
        const auto i = static_cast<std::size_t>(lines[static_cast<std::size_t>(j)]);
        const auto observed = TwoThetaOfSine(lambda / (2 * o.d[i]));
        const auto calculated = TwoThetaOfSine(lambda * std::sqrt(qCalc[i]) / 2);
        DetailsMessage note;
        note.row = o.rows[i];
        note.d = o.d[i];
        note.wavelength = lambda;
        if (!observed) {
            note.kind = DetailsMessage::Kind::FigureFNoTwoTheta;
            f.note = note;
        } else if (!calculated) {
            note.kind = DetailsMessage::Kind::NoTwoThetaForCalculated;
            f.note = note;
        } else {
            sumD2Theta += std::fabs(*observed - *calculated);
            twoThetaN = *observed;
        }
    }

    const MetricMap t = MetricMapOf(o.code);
    const Metric g = MetricOf(t, x, o.p);
    CellFunctions reciprocal, direct;
    const long double mLimit = m.qN * (1 + kSameLine);
    long double qMax = mLimit;
    long double fLimit = 0;
    if (!f.note) {
        f.meanAbsD2Theta = sumD2Theta / f.n;
        // Up to the n-th line's 2θ (× (1 + 10⁻⁹)), never beyond 180°.
        fLimit = twoThetaN * (1 + kSameLine);
        const long double theta =
            std::min(fLimit, 180.0L) / 2 * (std::numbers::pi_v<long double> / 180);
        qMax = std::max(qMax, std::pow(2 * std::sin(theta) / lambda, 2.0L));
    }
    std::vector<long double> q;
    std::optional<DetailsMessage> failure;
    if (!CellsFromMetric(g, reciprocal, direct)) {
        failure = DetailsMessage{DetailsMessage::Kind::NoCell};
    } else if (!CalculatedQ(g, direct, options.lattice, qMax, q)) {
        failure = DetailsMessage{DetailsMessage::Kind::TooManyReflections};
        failure->limit = kMaxCountedTriples;
    }
    if (failure) {
        m.note = failure;
        if (!f.note) f.note = failure;
        f.meanAbsD2Theta.reset();
        return fom;
    }

    m.nCalc = DistinctUpTo(q, mLimit);
    if (m.meanAbsDq > 0 && *m.nCalc > 0) m.value = m.qN / (2 * m.meanAbsDq * *m.nCalc);

    if (!f.note) {
        // 2θ rises with Q: the sorted Q give the sorted positions.
        std::vector<long double> positions;
        positions.reserve(q.size());
        for (const long double v : q) {
            const auto position = TwoThetaOfSine(lambda * std::sqrt(v) / 2);
            if (position) positions.push_back(*position);
        }
        f.nPoss = DistinctUpTo(positions, fLimit);
        if (*f.meanAbsD2Theta > 0 && *f.nPoss > 0) {
            f.value = (1 / *f.meanAbsD2Theta) * (static_cast<long double>(f.n) / *f.nPoss);
        }
    }
    return fom;
}

}  // namespace dorvalix::details
