// SPDX-License-Identifier: GPL-3.0-or-later
// The votes and zones are worked in double: they only propose lattices, which are refined
// in long double.
#include "zone_search.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

#include "parallel.h"
#include "reduction.h"
#include "small_solve.h"

namespace dorvalix::indexing {

namespace {

constexpr double kRadians = std::numbers::pi / 180;

// The cross terms tried for a pair of zones, and the rows tried normal to a zone: the most
// supported values of their votes (a short row gets more votes by chance than a long one).
constexpr int kPairPeaks = 2;
// A lattice from two zones that reaches this many lines fewer than it needs is refined on
// those it reaches and counted again.
constexpr int kNearMiss = 6;
constexpr int kNormalPeaks = 8;

// The lattices refined from one search at most.
constexpr std::size_t kMaxRefined = 60;

// A line as the zones see it: Q corrected by the trial zero, and its half window.
struct ZLine {
    double q = 0, eps = 0;
};

// A value voted for by a line: an interval.
struct Vote {
    double lo, hi;
    int line;
};

// The points covered by the intervals of the most distinct lines: the middle of each
// stretch where at least `minLines` distinct lines agree, best supported first.
struct VotePeak {
    double value;
    int lines;
};

std::vector<VotePeak> PeaksOf(std::vector<Vote>& votes, int lineCount, int minLines) {
    struct Event {
        double x;
        int delta, line;
    };
    std::vector<Event> events;
    events.reserve(votes.size() * 2);
    for (const Vote& v : votes) {
        events.push_back({v.lo, +1, v.line});
        events.push_back({v.hi, -1, v.line});
    }
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        if (a.x != b.x) return a.x < b.x;
        return a.delta > b.delta;  // openings first: touching intervals agree
    });
    std::vector<int> active(static_cast<std::size_t>(lineCount));
    int distinct = 0;
    std::vector<VotePeak> peaks;
    for (std::size_t e = 0; e < events.size(); ++e) {
        const Event& ev = events[e];
        int& a = active[static_cast<std::size_t>(ev.line)];
        if (ev.delta > 0) {
            if (a++ == 0) ++distinct;
            // A stretch begins; it is a peak when the next event closes it.
            if (distinct >= minLines && e + 1 < events.size() && events[e + 1].delta < 0) {
                peaks.push_back({(ev.x + events[e + 1].x) / 2, distinct});
            }
        } else if (--a == 0) {
            --distinct;
        }
    }
    std::stable_sort(peaks.begin(), peaks.end(),
                     [](const VotePeak& x, const VotePeak& y) { return x.lines > y.lines; });
    return peaks;
}

// A zone: Q(h, j) = a·h² + b·j² + c·h·j, Lagrange-reduced (a ≤ b, 0 ≤ c ≤ a).
struct Zone {
    double a = 0, b = 0, c = 0;
    std::vector<std::pair<int, std::array<int, 2>>> indexed;  // line, (h, j)
    double rms = 0;                                           // in units of the windows
    double merit = 0;  // lines indexed beyond those its reflections would catch by chance
};

// The share of the lines a zone may catch by chance and still count as holding them.
constexpr double kDominantZoneChance = 0.25;

double ZoneQ(const Zone& z, int h, int j) {
    return z.a * h * h + z.b * j * j + z.c * h * j;
}

void Reduce(Zone& z) {
    for (int guard = 0; guard < 100; ++guard) {
        if (z.a > z.b) std::swap(z.a, z.b);
        if (std::fabs(z.c) <= z.a) break;
        // v ← v − r·u lowers b.
        const double r = std::round(z.c / (2 * z.a));
        z.b = z.b - r * z.c + r * r * z.a;
        z.c = z.c - 2 * r * z.a;
    }
    z.c = std::fabs(z.c);
}

// The lines the zone indexes (indices up to ±8), its refinement on them, and again.
bool Index(const std::vector<ZLine>& lines, double qMax, Zone& z) {
    for (int round = 0; round < 3; ++round) {
        z.indexed.clear();
        const int lim = 8;
        std::vector<std::array<double, 3>> rows;
        std::vector<double> qs;
        std::vector<double> ws;
        double sum2 = 0;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            const ZLine& l = lines[k];
            double best = l.eps;
            std::array<int, 2> hj{0, 0};
            bool found = false;
            for (int h = 0; h <= lim; ++h) {
                for (int j = h == 0 ? 1 : -lim; j <= lim; ++j) {
                    const double q = ZoneQ(z, h, j);
                    const double d = std::fabs(q - l.q);
                    if (d <= best) {
                        best = d;
                        hj = {h, j};
                        found = true;
                    }
                }
            }
            if (!found) continue;
            z.indexed.push_back({static_cast<int>(k), hj});
            rows.push_back({static_cast<double>(hj[0] * hj[0]), static_cast<double>(hj[1] * hj[1]),
                            static_cast<double>(hj[0] * hj[1])});
            qs.push_back(l.q);
            ws.push_back(1 / l.eps);
            sum2 += (best / l.eps) * (best / l.eps);
        }
        (void)qMax;
        z.rms = z.indexed.empty() ? 0 : std::sqrt(sum2 / static_cast<double>(z.indexed.size()));
        // A zone of a large cell indexes every line by chance: its reflections lie
        // π / (2√D) apart in Q on average (D = ab − c²/4, half of the points by ±), so a
        // window of 2ε catches one with probability π·ε / √D.
        const double area = std::sqrt(std::max(z.a * z.b - z.c * z.c / 4, 1e-300));
        double chance = 0;
        for (const ZLine& l : lines)
            chance += std::min(1.0, std::numbers::pi * l.eps / area);
        z.merit = static_cast<double>(z.indexed.size()) - chance;
        if (round == 2 || z.indexed.size() < 4) break;
        // Weighted least squares of (a, b, c) on the indexed lines.
        double m[3][3] = {}, v[3] = {};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            for (int p = 0; p < 3; ++p) {
                v[p] += rows[i][static_cast<std::size_t>(p)] * qs[i] * ws[i] * ws[i];
                for (int q = 0; q < 3; ++q)
                    m[p][q] += rows[i][static_cast<std::size_t>(p)] *
                               rows[i][static_cast<std::size_t>(q)] * ws[i] * ws[i];
            }
        }
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        if (!(std::fabs(det) > 1e-300)) break;
        double x[3];
        for (int c = 0; c < 3; ++c) {
            double t[3][3];
            for (int r = 0; r < 3; ++r)
                for (int q = 0; q < 3; ++q)
                    t[r][q] = q == c ? v[r] : m[r][q];
            x[c] = (t[0][0] * (t[1][1] * t[2][2] - t[1][2] * t[2][1]) -
                    t[0][1] * (t[1][0] * t[2][2] - t[1][2] * t[2][0]) +
                    t[0][2] * (t[1][0] * t[2][1] - t[1][1] * t[2][0])) /
                   det;
        }
        if (!(x[0] > 0 && x[1] > 0 && x[2] * x[2] < 4 * x[0] * x[1])) break;
        z.a = x[0];
        z.b = x[1];
        z.c = x[2];
        Reduce(z);
    }
    return z.indexed.size() >= 4;
}

bool SameZone(const Zone& x, const Zone& y) {
    const double t = 2e-3;
    return std::fabs(x.a - y.a) <= t * x.a && std::fabs(x.b - y.b) <= t * x.b &&
           std::fabs(x.c - y.c) <= t * x.a;
}

// x, y with h·y − j·x = 1 (h, j coprime).
std::array<int, 2> Complement(int h, int j) {
    // Extended Euclid on (h, j): s·h + t·j = 1; then (x, y) = (−t, s).
    int r0 = h, r1 = j, s0 = 1, s1 = 0, t0 = 0, t1 = 1;
    while (r1 != 0) {
        const int q = r0 / r1;
        int tmp = r0 - q * r1;
        r0 = r1;
        r1 = tmp;
        tmp = s0 - q * s1;
        s0 = s1;
        s1 = tmp;
        tmp = t0 - q * t1;
        t0 = t1;
        t1 = tmp;
    }
    if (r0 < 0) {
        s0 = -s0;
        t0 = -t0;
    }
    return {-t0, s0};
}

struct ZoneBasis {
    double qc, qv, rcv;  // Q(p), Q(r), 2p·r
};

// The zone over the row p = (h, j) (primitive) and its shortest complement.
ZoneBasis BasisThrough(const Zone& z, int h, int j) {
    std::array<int, 2> r = Complement(h, j);
    auto dot = [&](std::array<int, 2> u, std::array<int, 2> v) {
        return z.a * u[0] * v[0] + z.b * u[1] * v[1] + z.c * (u[0] * v[1] + u[1] * v[0]) / 2;
    };
    const std::array<int, 2> p{h, j};
    const double pp = dot(p, p);
    const double f = std::round(dot(p, r) / pp);
    r = {r[0] - static_cast<int>(f) * h, r[1] - static_cast<int>(f) * j};
    return {pp, dot(r, r), 2 * dot(p, r)};
}

// Counts the lines that a metric indexes within their windows (with `extra` added), up to
// the last line. The reflections are tested against the windows as they are made, without
// sorting them.
// The largest |h|, |k|, |l| of the reflections up to qMax; nothing for a lattice of more
// than 60 rows in any direction there (far beyond any cell searched).
std::optional<std::array<int, 3>> IndexLimits(const Metric& g, double qMax) {
    const auto gd = Inverted(g);
    if (!gd) return std::nullopt;
    const double root = std::sqrt(qMax);
    std::array<int, 3> lim{};
    for (std::size_t i = 0; i < 3; ++i) {
        const double b = std::floor(std::sqrt(static_cast<double>((*gd)[i])) * root);
        if (!(b < 60)) return std::nullopt;
        lim[i] = static_cast<int>(b);
    }
    return lim;
}

// The lattice refined on the lines within `extra` windows of a reflection (each on its
// nearest, a line with two within reach left out); nothing when they fix no metric.
std::optional<Metric> QuickRefine(const Metric& g, const std::vector<ZLine>& lines, double extra) {
    const double qMax = lines.back().q + lines.back().eps * (1 + extra);
    const auto lim = IndexLimits(g, qMax);
    if (!lim) return std::nullopt;
    struct Near {
        double d = -1;
        std::array<int, 3> hkl{};
        int within = 0;
    };
    std::vector<Near> near(lines.size());
    std::vector<double> hi(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        hi[i] = lines[i].q + lines[i].eps * (1 + extra);
    for (int h = 0; h <= (*lim)[0]; ++h)
        for (int k = h == 0 ? 0 : -(*lim)[1]; k <= (*lim)[1]; ++k)
            for (int l = h == 0 && k == 0 ? 1 : -(*lim)[2]; l <= (*lim)[2]; ++l) {
                const double q = static_cast<double>(QOf(g, {h, k, l}));
                if (q > qMax) continue;
                std::size_t i = static_cast<std::size_t>(std::lower_bound(hi.begin(), hi.end(), q) -
                                                         hi.begin());
                for (; i < lines.size(); ++i) {
                    const double d = std::fabs(q - lines[i].q);
                    const double w = lines[i].eps * (1 + extra);
                    if (lines[i].q - w > q) break;
                    if (d > w) continue;
                    Near& n = near[i];
                    ++n.within;
                    if (n.d < 0 || d < n.d) n = {d, {h, k, l}, n.within};
                }
            }
    // Weighted least squares of the six metric components: Q = hᵀ·G·h.
    SmallMatrix a(6, std::vector<long double>(6));
    std::vector<long double> b(6);
    int used = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Near& n = near[i];
        if (n.d < 0 || n.within > 1) continue;
        const long double h = n.hkl[0], k = n.hkl[1], l = n.hkl[2];
        const long double row[6] = {h * h, k * k, l * l, 2 * k * l, 2 * h * l, 2 * h * k};
        const long double w = 1 / (static_cast<long double>(lines[i].eps) * lines[i].eps);
        for (std::size_t r = 0; r < 6; ++r) {
            b[r] += w * row[r] * lines[i].q;
            for (std::size_t c = 0; c < 6; ++c)
                a[r][c] += w * row[r] * row[c];
        }
        ++used;
    }
    if (used < 8) return std::nullopt;
    std::vector<long double> x;
    if (!SolveSymmetric(a, b, x)) return std::nullopt;
    const Metric out{x[0], x[1], x[2], x[3], x[4], x[5]};
    if (!IsPositiveDefinite(out)) return std::nullopt;
    return out;
}

int QuickCount(const Metric& g, const std::vector<ZLine>& lines, double extra) {
    const double qMax = lines.back().q + lines.back().eps * (1 + extra);
    const auto limits = IndexLimits(g, qMax);
    if (!limits) return 0;
    const std::array<int, 3>& lim = *limits;
    std::vector<double> lo(lines.size()), hi(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double w = lines[i].eps * (1 + extra);
        lo[i] = lines[i].q - w;
        hi[i] = lines[i].q + w;
    }
    std::vector<char> hit(lines.size());
    const double g0 = static_cast<double>(g[0]), g1 = static_cast<double>(g[1]),
                 g2 = static_cast<double>(g[2]), g3 = static_cast<double>(g[3]),
                 g4 = static_cast<double>(g[4]), g5 = static_cast<double>(g[5]);
    for (int h = 0; h <= lim[0]; ++h)
        for (int k = h == 0 ? 0 : -lim[1]; k <= lim[1]; ++k) {
            const double c0 = g0 * h * h + g1 * k * k + 2 * g5 * h * k;
            const double c1 = 2 * (g3 * k + g4 * h);
            for (int l = h == 0 && k == 0 ? 1 : -lim[2]; l <= lim[2]; ++l) {
                const double q = c0 + l * (c1 + g2 * l);
                if (q > qMax) continue;
                // The first window that ends at or above q; windows may overlap a little.
                std::size_t i = static_cast<std::size_t>(std::lower_bound(hi.begin(), hi.end(), q) -
                                                         hi.begin());
                for (; i < lines.size() && lo[i] <= q; ++i)
                    if (q <= hi[i]) hit[i] = 1;
            }
        }
    int count = 0;
    for (const char c : hit)
        count += c;
    return count;
}

// The seven lattices that hold the lattice of g with index 2: one basis vector replaced by
// half of a sum of basis vectors. A zone seen through reflections a glide plane or a screw
// axis leaves (l = 2n) is a sublattice of the true one, and so is a lattice built on it.
std::vector<Metric> Superlattices(const Metric& g) {
    std::vector<Metric> out;
    const Matrix3 m = MatrixOf(g);
    for (int e = 1; e < 8; ++e) {
        const std::array<int, 3> eps{e & 1, (e >> 1) & 1, (e >> 2) & 1};
        const int replaced = eps[2] ? 2 : (eps[1] ? 1 : 0);
        // Columns of H: the new reciprocal basis in the old one.
        Matrix3 h{};
        for (int c = 0; c < 3; ++c) {
            for (int r = 0; r < 3; ++r) {
                const auto rr = static_cast<std::size_t>(r), cc = static_cast<std::size_t>(c);
                if (c == replaced) {
                    h[rr][cc] = eps[rr] / 2.0L;
                } else {
                    h[rr][cc] = r == c ? 1 : 0;
                }
            }
        }
        Matrix3 t{};  // Hᵀ·g·H
        for (std::size_t i = 0; i < 3; ++i)
            for (std::size_t j = 0; j < 3; ++j)
                for (std::size_t p = 0; p < 3; ++p)
                    for (std::size_t q = 0; q < 3; ++q)
                        t[i][j] += h[p][i] * m[p][q] * h[q][j];
        out.push_back(MetricOfMatrix(t));
    }
    return out;
}

}  // namespace

ZoneOutcome SearchZones(const LineSet& set, const ZoneSettings& s, int threads,
                        const std::function<bool()>& stop) {
    ZoneOutcome out;
    const int n = static_cast<int>(set.size());
    if (n < 8) return out;
    std::vector<ZLine> lines(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& l = set.lines[i];
        const double tol = static_cast<double>(l.tolerance + s.slack);
        const double t = static_cast<double>(l.twoTheta - s.zero);
        const double lam = static_cast<double>(set.wavelength);
        auto q = [&](double tt) {
            const double v = 2 * std::sin(std::clamp(tt, 0.0, 179.9) * kRadians / 2) / lam;
            return v * v;
        };
        lines[i].q = q(t);
        lines[i].eps = (q(t + tol) - q(t - tol)) / 2;
    }
    const double qMax = lines.back().q + lines.back().eps;

    // Zone bases: the first lines, and a quarter of the first few (a row whose first order
    // is absent, as under a screw axis or a glide plane).
    std::vector<ZLine> basis;
    std::vector<int> basisLine;
    for (int i = 0; i < std::min(n, 10); ++i) {
        basis.push_back(lines[static_cast<std::size_t>(i)]);
        basisLine.push_back(i);
    }
    for (int i = 0; i < std::min(n, 8); ++i) {
        const ZLine& l = lines[static_cast<std::size_t>(i)];
        basis.push_back({l.q / 4, l.eps / 4});
        basisLine.push_back(-1);
    }
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t p = 0; p < basis.size(); ++p)
        for (std::size_t q = 0; q < basis.size(); ++q)
            if (basis[p].q < basis[q].q || (p == q && basisLine[p] >= 0)) pairs.push_back({p, q});

    std::vector<std::vector<Zone>> found(pairs.size());
    ParallelFor(pairs.size(), threads, [&](std::size_t pi) {
        if (stop()) return;
        const ZLine& u = basis[pairs[pi].first];
        const ZLine& v = basis[pairs[pi].second];
        std::vector<Vote> votes;
        for (int k = 0; k < n; ++k) {
            if (k == basisLine[pairs[pi].first] || k == basisLine[pairs[pi].second]) continue;
            const ZLine& l = lines[static_cast<std::size_t>(k)];
            for (int h = -3; h <= 3; ++h) {
                if (h == 0) continue;
                for (int j = 1; j <= 3; ++j) {
                    const double hj = h * j;
                    const double c = (l.q - h * h * u.q - j * j * v.q) / hj;
                    const double d = (l.eps + h * h * u.eps + j * j * v.eps) / std::fabs(hj);
                    // Up to the longer basis vector: the zone's reduced basis may be absent
                    // and the pair one row off it.
                    if (std::fabs(c) > v.q + d || c * c >= 4 * u.q * v.q) continue;
                    votes.push_back({c - d, c + d, k});
                }
            }
        }
        for (const VotePeak& peak : PeaksOf(votes, n, 2)) {
            if (found[pi].size() >= 4) break;
            Zone z{u.q, v.q, peak.value, {}, 0};
            if (!(z.c * z.c < 4 * z.a * z.b)) continue;
            Reduce(z);
            if (Index(lines, qMax, z)) found[pi].push_back(z);
        }
    });

    // The distinct zones, most lines first.
    std::vector<Zone> zones;
    for (const auto& list : found) {
        for (const Zone& z : list) {
            bool known = false;
            for (Zone& y : zones) {
                if (!SameZone(y, z)) continue;
                known = true;
                if (z.merit > y.merit) y = z;
                break;
            }
            if (!known) zones.push_back(z);
        }
    }
    std::stable_sort(zones.begin(), zones.end(), [](const Zone& x, const Zone& y) {
        if (x.merit != y.merit) return x.merit > y.merit;
        return x.rms < y.rms;
    });
    out.zones = static_cast<int>(zones.size());
    // A zone holds the lines only when it would catch few of them by chance (a plane of a
    // large cell indexes most lines of any pattern).
    for (const Zone& z : zones) {
        const double indexed = static_cast<double>(z.indexed.size());
        if (indexed - z.merit <= kDominantZoneChance * n)
            out.bestZoneLines = std::max(out.bestZoneLines, static_cast<int>(z.indexed.size()));
    }
    // The best zones are combined in pairs; twice as many are completed by a row normal to
    // them.
    const std::size_t paired = std::min(zones.size(), static_cast<std::size_t>(s.keptZones));
    if (zones.size() > 2 * paired) zones.resize(2 * paired);

    // Pairs of zones through a common line.
    struct Combination {
        std::size_t z1, z2;
        ZoneBasis b1, b2;
        double eps;
    };
    std::vector<Combination> combos;
    for (std::size_t i = 0; i < paired; ++i)
        for (std::size_t j = i + 1; j < paired; ++j)
            for (const auto& [line1, hj1] : zones[i].indexed) {
                if (Gcd(hj1[0], hj1[1]) != 1) continue;
                for (const auto& [line2, hj2] : zones[j].indexed) {
                    if (line1 != line2 || Gcd(hj2[0], hj2[1]) != 1) continue;
                    combos.push_back({i, j, BasisThrough(zones[i], hj1[0], hj1[1]),
                                      BasisThrough(zones[j], hj2[0], hj2[1]),
                                      lines[static_cast<std::size_t>(line1)].eps});
                }
            }
    out.combinations = static_cast<int>(combos.size());

    const int allowed = s.impurities;
    struct Proposal {
        Metric g;
        double merit;
    };
    // Lines indexed beyond those a lattice of this volume indexes by chance: its distinct
    // reflections lie 1 / (π·V·√Q) apart in Q (Friedel pairs as one).
    auto meritOf = [&](int count, double volume) {
        double chance = 0;
        for (const ZLine& l : lines)
            chance += std::min(1.0, 2 * std::numbers::pi * volume * std::sqrt(l.q) * l.eps);
        return count - chance;
    };
    // A lattice that indexes enough lines is proposed; one that indexes at least half of
    // them, through its superlattices of index 2.
    auto propose = [&](const Metric& g, std::vector<Proposal>& list) {
        const int need = n - allowed - 2;
        const int count = QuickCount(g, lines, 1.0);
        if (count >= need) {
            list.push_back({g, meritOf(count, static_cast<double>(VolumeOf(g)))});
            return;
        }
        if (count < n / 2) return;
        for (const Metric& sup : Superlattices(g)) {
            const int c = QuickCount(sup, lines, 1.0);
            if (c >= need) list.push_back({sup, meritOf(c, static_cast<double>(VolumeOf(sup)))});
        }
    };
    std::vector<std::vector<Proposal>> proposals(combos.size());
    std::vector<std::vector<Metric>> nearMisses(combos.size());
    ParallelFor(combos.size(), threads, [&](std::size_t ci) {
        if (stop()) return;
        const Combination& c = combos[ci];
        const double qc = (c.b1.qc + c.b2.qc) / 2;
        const double qv = c.b1.qv, qw = c.b2.qv, rcv = c.b1.rcv, rcw = c.b2.rcv;
        // Positive definite for g23 between the roots of the determinant's quadratic.
        const double g11 = qc, g22 = qv, g33 = qw, g12 = rcv / 2, g13 = rcw / 2;
        const double qa = -g11, qb = 2 * g12 * g13,
                     qcst = g11 * g22 * g33 - g12 * g12 * g33 - g13 * g13 * g22;
        const double disc = qb * qb - 4 * qa * qcst;
        if (!(disc > 0)) return;
        const double r1 = (-qb + std::sqrt(disc)) / (2 * qa),
                     r2 = (-qb - std::sqrt(disc)) / (2 * qa);
        const double lo = 2 * std::min(r1, r2), hi = 2 * std::max(r1, r2);
        std::vector<Vote> votes;
        for (int m = 0; m < n; ++m) {
            const ZLine& l = lines[static_cast<std::size_t>(m)];
            for (int h = -2; h <= 2; ++h)
                for (int i = 1; i <= 2; ++i)
                    for (int j = -2; j <= 2; ++j) {
                        if (j == 0) continue;
                        const double q0 =
                            h * h * qc + i * i * qv + j * j * qw + h * i * rcv + h * j * rcw;
                        const double ij = i * j;
                        const double x = (l.q - q0) / ij;
                        if (x <= lo || x >= hi) continue;
                        const double d = (l.eps + (h * h + i * i + j * j) * c.eps) / std::fabs(ij);
                        votes.push_back({x - d, x + d, m});
                    }
        }
        int taken = 0;
        for (const VotePeak& peak : PeaksOf(votes, n, 2)) {
            if (taken >= kPairPeaks) break;
            const Metric g{qc, qv, qw, peak.value / 2, g13, g12};
            if (!IsPositiveDefinite(g) || VolumeOf(g) > s.maxVolume) continue;
            ++taken;
            const int count = QuickCount(g, lines, 1.0);
            if (count >= n - allowed - 2) {
                proposals[ci].push_back({g, meritOf(count, static_cast<double>(VolumeOf(g)))});
            } else if (count >= n - allowed - 2 - kNearMiss) {
                nearMisses[ci].push_back(g);
            }
        }
    });

    // A row normal to a zone (the unique axis of a monoclinic lattice, the third axis of an
    // orthorhombic, tetragonal or hexagonal one): each line outside the zone votes for the
    // Q of that row, B = (Q − Q(h, j)) / m², over the zone's reflections below it.
    std::vector<std::vector<Proposal>> normal(zones.size());
    ParallelFor(zones.size(), threads, [&](std::size_t zi) {
        if (stop()) return;
        const Zone& z = zones[zi];
        // The row is at most maxSpacing long, and the cell at most maxVolume:
        // V = 1 / √((ab − c²/4)·B).
        const double area2 = z.a * z.b - z.c * z.c / 4;
        const double vMax = static_cast<double>(s.maxVolume);
        const double bLow = std::max(1 / static_cast<double>(s.maxSpacing * s.maxSpacing),
                                     1 / (vMax * vMax * area2));
        std::vector<bool> inZone(static_cast<std::size_t>(n));
        for (const auto& [line, hj] : z.indexed)
            inZone[static_cast<std::size_t>(line)] = true;
        const double zoneEps = lines[static_cast<std::size_t>(z.indexed.front().first)].eps;
        std::vector<Vote> votes;
        for (int k = 0; k < n; ++k) {
            if (inZone[static_cast<std::size_t>(k)]) continue;
            const ZLine& l = lines[static_cast<std::size_t>(k)];
            for (int h = 0; h <= 4; ++h)
                for (int j = h == 0 ? 0 : -4; j <= 4; ++j) {
                    const double qz = ZoneQ(z, h, j);
                    if (qz >= l.q) continue;
                    for (int m = 1; m <= 2; ++m) {
                        const double b = (l.q - qz) / (m * m);
                        if (b < bLow) continue;
                        const double d = (l.eps + (h * h + j * j) * zoneEps) / (m * m);
                        votes.push_back({b - d, b + d, k});
                    }
                }
        }
        int taken = 0;
        for (const VotePeak& peak : PeaksOf(votes, n, 2)) {
            if (taken >= kNormalPeaks) break;
            const Metric g{z.a, z.b, peak.value, 0, 0, z.c / 2};
            if (!IsPositiveDefinite(g) || VolumeOf(g) > s.maxVolume) continue;
            ++taken;
            propose(g, normal[zi]);
        }
    });
    for (auto& list : normal)
        proposals.push_back(std::move(list));

    // Each distinct lattice refined once, the most convincing first, at most kMaxRefined.
    auto fitAll = [&](const std::vector<std::vector<Proposal>>& from) {
        std::vector<Proposal> all;
        for (const auto& list : from)
            all.insert(all.end(), list.begin(), list.end());
        std::stable_sort(all.begin(), all.end(),
                         [](const Proposal& x, const Proposal& y) { return x.merit > y.merit; });
        std::vector<Metric> distinct;
        for (const Proposal& p : all) {
            {
                if (distinct.size() >= kMaxRefined) break;
                const Metric& g = p.g;
                const auto r = NiggliReduce(g, 1e-3L);
                if (!r) continue;
                bool known = false;
                for (const Metric& d : distinct) {
                    bool same = true;
                    for (std::size_t e = 0; e < 6 && same; ++e)
                        same = std::fabs(d[e] - r->g[e]) <= 3e-3L * (d[0] + d[1] + d[2]) / 3;
                    if (same) {
                        known = true;
                        break;
                    }
                }
                if (!known) distinct.push_back(r->g);
            }
        }
        std::vector<CellFit> fits(distinct.size());
        ParallelFor(distinct.size(), threads, [&](std::size_t i) {
            if (stop()) return;
            FitOptions options;
            options.refineZero = s.refineZero;
            options.maxZero = s.zeroRange + 0.1L;
            options.widen = 3;
            options.minIndexed = n - allowed;
            fits[i] = FitCell(set, kTriclinic, Centring::P, distinct[i], s.zero, options);
        });
        for (std::size_t i = 0; i < fits.size(); ++i) {
            CellFit& f = fits[i];
            if (f.ok && f.Unindexed() <= allowed) out.fits.push_back(std::move(f));
        }
    };
    fitAll(proposals);
    // When no lattice indexes enough lines, the lattices of two zones that came near are
    // refined on the lines they reach and counted again: a proposal is only as good as its
    // low lines, and the high ones come within reach once it is refined.
    if (out.fits.empty()) {
        std::vector<std::vector<Proposal>> refined(nearMisses.size());
        ParallelFor(nearMisses.size(), threads, [&](std::size_t ci) {
            if (stop()) return;
            for (const Metric& g : nearMisses[ci]) {
                Metric r = g;
                for (int round = 0; round < 2; ++round) {
                    const auto next = QuickRefine(r, lines, 2.0);
                    if (!next) break;
                    r = *next;
                }
                if (!IsPositiveDefinite(r) || VolumeOf(r) > s.maxVolume) continue;
                const int count = QuickCount(r, lines, 1.0);
                if (count >= n - allowed - 2)
                    refined[ci].push_back({r, meritOf(count, static_cast<double>(VolumeOf(r)))});
            }
        });
        fitAll(refined);
    }
    return out;
}

}  // namespace dorvalix::indexing
