// SPDX-License-Identifier: GPL-3.0-or-later
#include "indexing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <iterator>
#include <map>
#include <numbers>
#include <thread>

#include "dichotomy.h"
#include "line_merit.h"
#include "numtext.h"
#include "parallel.h"
#include "reduction.h"
#include "space_groups.h"
#include "zone_search.h"

namespace dorvalix::indexing {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kFamilyNames[kFamilyCount] = {
    "cubic", "tetragonal", "hexagonal", "rhombohedral", "orthorhombic", "monoclinic", "triclinic"};

// M(20) at which a cell is taken as found: the searches of lower symmetry then stop at
// a few times its volume (de Wolff: M(20) > 10 with at most two unindexed lines is an
// essentially correct indexing).
constexpr long double kConvincingM20 = 10;

// M(20) beyond which the searches of lower symmetry are not run at all. Below it a cell of
// higher symmetry and larger volume may still be a pseudo-symmetric stand-in (a monoclinic
// cell with a ≈ c indexes nearly as an orthorhombic one on a + c, a − c, b).
constexpr long double kFinalM20 = 30;

// The largest search cell of each system when none is given, Å³.
constexpr long double kCubicVolume = 30000, kHexagonalVolume = 8000, kTetragonalVolume = 6000,
                      kOrthorhombicVolume = 5000, kMonoclinicVolume = 4000, kTriclinicVolume = 5000;

// A constrained fit whose RMS 2θ residual is below this share of the tolerance fits within
// the precision the tolerance states, whatever a free fit gives: overlapped lines and the
// assignment of near reflections let a free fit go below the errors of the positions.
constexpr long double kGoodFitShare = 1.0L / 2;

// The F ratio at which a constrained fit is rejected: above the 99.9 % point for the degrees
// of freedom of 20 to 30 lines, since overlapped lines give errors a free fit absorbs.
constexpr long double kFTest = 6;

// The shortest lattice vector a solution may have, Å (the Niggli cell's a): no crystal
// repeats itself over less; the shortest known, of metals such as Be, are 2.29 Å.
constexpr long double kShortestRow = 2.2L;

// A zone that indexes all lines but the impurities, of at least this many, is a dominant
// zone (among fewer lines a zone may catch most of them by chance).
constexpr int kDominantZoneLines = 12;

// The zero shifts of a zone search lie this far apart (the lines' tolerance is widened by
// as much), degrees.
constexpr long double kZoneZeroSlack = 0.02L;

// The monoclinic dichotomy, the slowest search, stops after this many seconds of the whole
// search unless a time limit is given.
constexpr double kMonoclinicBudget = 20;

// Lines a supercell indexes beyond its subcell are no evidence for it when its reflections
// would catch them by chance this often.
constexpr long double kChanceOfExtraLines = 0.1L;

// Orthorhombic cells up to this volume are searched before the zones over a grid of zero
// shifts, the larger ones after them, Å³.
constexpr long double kOrthorhombicFirst = 1200;

// The best solutions given extinction symbols.
constexpr std::size_t kWithExtinction = 5;

int DefaultImpurities(int lines) {
    return lines < 12 ? 1 : 2;
}

// A primitive lattice in its Niggli cell, with the indices and the fit statistics carried
// over from the cell it was found as.
struct Lattice {
    Metric g{};
    long double zero = 0;
    std::vector<LineIndex> indices;
    int indexed = 0;
    long double sumSq = 0;
    int parameters = 6;  // of the fit the statistics come from
    std::string method;
};

struct Context {
    Context(const LineSet& s, const IndexingOptions& o, int k, bool zero, int t,
            const ProgressCallback& p, Clock::time_point begun)
        : set(s),
          options(o),
          impurities(k),
          refineZero(zero),
          threads(t),
          progress(p),
          start(begun),
          caller(std::this_thread::get_id()) {}

    const LineSet& set;
    const IndexingOptions& options;
    int impurities = 1;
    bool refineZero = false;
    int threads = 1;
    const ProgressCallback& progress;
    std::atomic<bool> cancel{false};
    std::string stopped = "complete";
    Clock::time_point start;
    std::thread::id caller;
    std::atomic<long long> ticks{0};
    std::atomic<bool> timedOut{false};
    double stageDeadline = 0;  // seconds after the start; 0: none

    double Elapsed() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
    // Whether the searches are to give up: cancelled, past the time limit, or past the
    // deadline of the current stage. Asked from any thread.
    bool Stop() {
        if (cancel.load(std::memory_order_relaxed)) return true;
        const double t = Elapsed();
        if (options.timeLimit > 0 && t > options.timeLimit) {
            timedOut.store(true);
            cancel.store(true);
            return true;
        }
        return stageDeadline > 0 && t > stageDeadline;
    }
    // Called from any thread; reports from the caller's.
    void Tick(double fraction, const std::string& stage, long double v0, long double v1) {
        ++ticks;
        if (std::this_thread::get_id() != caller) return;
        Stop();
        if (progress && !cancel.load()) {
            IndexingProgress p;
            p.fraction = std::clamp(fraction, 0.0, 1.0);
            p.stage = stage;
            p.shellMin = v0;
            p.shellMax = v1;
            if (!progress(p)) {
                stopped = "cancelled";
                cancel.store(true);
            }
        }
        if (timedOut.load()) stopped = "time limit";
    }
};

// The basis (columns) of the reflections h with v·h ≡ 0 (mod p), p prime, v ≢ 0.
IntMatrix3 SublatticeBasis(Hkl v, int p) {
    int i = 0;
    while (((v[static_cast<std::size_t>(i)] % p) + p) % p == 0)
        ++i;
    // Scale v so that v_i ≡ 1.
    const int vi = ((v[static_cast<std::size_t>(i)] % p) + p) % p;
    int inverse = 1;
    while ((vi * inverse) % p != 1)
        ++inverse;
    for (int& c : v)
        c = ((c * inverse) % p + p) % p;
    IntMatrix3 h{};
    for (int j = 0; j < 3; ++j) {
        const auto uj = static_cast<std::size_t>(j), ui = static_cast<std::size_t>(i);
        if (j == i) {
            h[ui][uj] = p;
        } else {
            h[uj][uj] = 1;
            h[ui][uj] = -v[uj];
        }
    }
    return h;
}

// The adjugate of an integer matrix (adj·m = det·1).
IntMatrix3 Adjugate(const IntMatrix3& m) {
    IntMatrix3 a{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const auto r1 = static_cast<std::size_t>((c + 1) % 3),
                       r2 = static_cast<std::size_t>((c + 2) % 3),
                       c1 = static_cast<std::size_t>((r + 1) % 3),
                       c2 = static_cast<std::size_t>((r + 2) % 3);
            a[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
        }
    return a;
}

// g′ = Hᵀ·g·H for the reciprocal basis change a*′ⱼ = Σᵢ H[i][j]·a*ᵢ.
Metric ReciprocalChange(const Metric& g, const IntMatrix3& h) {
    const Matrix3 m = MatrixOf(g);
    Matrix3 t{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            for (std::size_t p = 0; p < 3; ++p)
                for (std::size_t q = 0; q < 3; ++q)
                    t[i][j] += h[p][i] * m[p][q] * h[q][j];
    return MetricOfMatrix(t);
}

Lattice LatticeOfFit(const CellFit& fit, const std::string& method) {
    Lattice l;
    l.g = fit.g;
    l.zero = fit.zero;
    l.indices = fit.lines;
    l.indexed = fit.indexed;
    l.sumSq = fit.sumSq;
    l.parameters = ParameterCount(fit.code);
    l.method = method;
    return l;
}

// The lattice with the Q of the indexed lines kept and the centring their indices show: for
// every sublattice of index 2 or 3 that holds the indices of all indexed lines, the finer
// direct lattice (three levels deep: F is two steps of 2). Lines whose indices break the
// sublattice are let go within the impurities allowed, and only when the larger cell fits
// each of them worse than half the tolerance (an impurity it indexes by chance): a line it
// fits well is a line of the phase, which the smaller cell cannot index. A line within reach
// of several reflections does not count: the refit of the finer lattice indexes it anew.
std::vector<Lattice> Variants(const Lattice& base, int impurities, long double tolerance) {
    std::vector<Lattice> out{base};
    for (std::size_t at = 0; at < out.size() && at < 12; ++at) {
        const Lattice current = out[at];
        const int unindexed = static_cast<int>(current.indices.size()) - current.indexed;
        for (const int p : {2, 3}) {
            for (int a = 0; a < p; ++a)
                for (int b = 0; b < p; ++b)
                    for (int c = 0; c < p; ++c) {
                        const Hkl v{a, b, c};
                        const int first = a != 0 ? a : (b != 0 ? b : c);
                        if (first != 1) continue;  // one of each multiple
                        int violators = 0;
                        bool wellFitted = false;
                        for (const LineIndex& li : current.indices) {
                            if (!li.indexed) continue;
                            const int dot = v[0] * li.hkl[0] + v[1] * li.hkl[1] + v[2] * li.hkl[2];
                            if (((dot % p) + p) % p == 0) continue;
                            // A line within reach of several reflections may be indexed by
                            // another one in the finer lattice: the refit decides.
                            if (li.matches > 1) continue;
                            ++violators;
                            if (std::fabs(li.delta) <= tolerance / 2) wellFitted = true;
                        }
                        if (wellFitted || unindexed + violators > impurities ||
                            current.indexed - violators < 4)
                            continue;
                        const IntMatrix3 h = SublatticeBasis(v, p);
                        const IntMatrix3 adj = Adjugate(h);
                        const int det = Determinant(h);
                        Lattice next = current;
                        next.g = ReciprocalChange(current.g, h);
                        next.indexed = 0;
                        next.sumSq = 0;
                        for (LineIndex& li : next.indices) {
                            if (!li.indexed) continue;
                            Hkl r{};
                            bool whole = true;
                            for (std::size_t i = 0; i < 3; ++i) {
                                const int s = adj[i][0] * li.hkl[0] + adj[i][1] * li.hkl[1] +
                                              adj[i][2] * li.hkl[2];
                                whole = whole && s % det == 0;
                                r[i] = s / det;
                            }
                            if (!whole) {
                                li.indexed = false;
                                continue;
                            }
                            li.hkl = r;
                            ++next.indexed;
                            next.sumSq += li.delta * li.delta;
                        }
                        if (out.size() < 16) out.push_back(next);
                    }
        }
    }
    return out;
}

// The lattice in its Niggli cell (indices carried along).
std::optional<Lattice> Reduce(const Lattice& l) {
    const auto r = NiggliReduce(l.g);
    if (!r) return std::nullopt;
    Lattice out = l;
    out.g = r->g;
    for (LineIndex& li : out.indices)
        if (li.indexed) li.hkl = TransformedIndices(r->m, li.hkl);
    return out;
}

// The distinct Q of a lattice (primitive) up to the last line: two lattices with the same
// first ones are the same lattice for a powder pattern, and a lattice whose Q are all among
// another's is its subcell.
std::vector<long double> Fingerprint(const Metric& g, long double qMax) {
    std::vector<long double> out;
    for (const Reflection& r : ReflectionsOf(g, qMax, Centring::P)) {
        if (!out.empty() && r.q - out.back() <= 1e-9L * r.q) continue;
        out.push_back(r.q);
    }
    return out;
}

// Whether every value of `a` up to `cut` has one of `b` within the relative tolerance.
bool Covered(const std::vector<long double>& a, const std::vector<long double>& b, long double cut,
             long double tolerance) {
    std::size_t j = 0;
    for (const long double q : a) {
        if (q > cut) break;
        while (j < b.size() && b[j] < q * (1 - tolerance))
            ++j;
        if (j == b.size() || b[j] > q * (1 + tolerance)) return false;
    }
    return true;
}

// The same lattice: the first 40 Q of each are among the other's (a reflection that a
// lower-symmetry fit splits into near values still finds its partner).
bool SameFingerprint(const std::vector<long double>& a, const std::vector<long double>& b,
                     long double tolerance) {
    if (a.empty() || b.empty()) return false;
    const long double cut = std::min(a[std::min<std::size_t>(a.size(), 40) - 1],
                                     b[std::min<std::size_t>(b.size(), 40) - 1]);
    return Covered(a, b, cut, tolerance) && Covered(b, a, cut, tolerance);
}

// Whether two fingerprints hold as many Q up to the 40th of either (a supercell whose
// dense Q happen to cover the other's is not the same pattern).
bool SameCount(const std::vector<long double>& a, const std::vector<long double>& b) {
    if (a.empty() || b.empty()) return false;
    const long double cut = std::min(a[std::min<std::size_t>(a.size(), 40) - 1],
                                     b[std::min<std::size_t>(b.size(), 40) - 1]);
    // Distinct within 0.2 %: a lower-symmetry fit splits what coincides in the other.
    auto count = [cut](const std::vector<long double>& v) {
        std::ptrdiff_t n = 0;
        long double start = -1;
        for (const long double q : v) {
            if (q > cut * (1 + 1e-3L)) break;
            if (start < 0 || q > start * (1 + 2e-3L)) {
                ++n;
                start = q;
            }
        }
        return n;
    };
    const std::ptrdiff_t na = count(a), nb = count(b);
    return std::abs(na - nb) <= std::max<std::ptrdiff_t>(1, std::min(na, nb) / 20);
}

// Whether every Q of the subcell `sub` (both up to the same Q) is one of `super`'s.
bool ReflectionsWithin(const std::vector<long double>& sub, const std::vector<long double>& super,
                       long double tolerance) {
    if (sub.empty() || super.size() <= sub.size()) return false;
    return Covered(sub, super, sub.back(), tolerance);
}

// The chance that the given lines of a solution each fall within `window` (2θ, degrees) of
// one of the reflections `q` (ascending) by chance, from the reflections' density about
// each line (within 3 % in Q).
long double ChanceOfLines(const IndexingSolution& s, const std::vector<int>& which,
                          const std::vector<long double>& q, long double window,
                          long double wavelength) {
    long double chance = 1;
    for (const SolutionLine& l : s.lines) {
        if (std::find(which.begin(), which.end(), l.line) == which.end() || !(l.d > 0)) continue;
        const long double ql = 1 / (l.d * l.d);
        const long double band = 0.03L * ql;
        const auto lo = std::lower_bound(q.begin(), q.end(), ql - band);
        const auto hi = std::upper_bound(q.begin(), q.end(), ql + band);
        const long double density = static_cast<long double>(hi - lo) / (2 * band);
        const long double sinTheta = wavelength * std::sqrt(ql) / 2;
        if (!(sinTheta > 0 && sinTheta < 1)) continue;
        const long double cotTheta = std::sqrt(1 - sinTheta * sinTheta) / sinTheta;
        const long double dq = ql * cotTheta * window * std::numbers::pi_v<long double> / 180;
        chance *= std::min(1.0L, density * 2 * dq);
    }
    return chance;
}

// Moves the element at `from` to `to` (< from), those between one down.
template <typename T>
void MoveBefore(std::vector<T>& v, std::size_t from, std::size_t to) {
    std::rotate(v.begin() + static_cast<std::ptrdiff_t>(to),
                v.begin() + static_cast<std::ptrdiff_t>(from),
                v.begin() + static_cast<std::ptrdiff_t>(from) + 1);
}

// Monoclinic with c unique: (a, b, c) → (a, c, −b), a right-handed basis with γ = β.
IntMatrix3 ToCUnique(const IntMatrix3& m) {
    IntMatrix3 r{};
    for (std::size_t i = 0; i < 3; ++i) {
        r[i][0] = m[i][0];
        r[i][1] = m[i][2];
        r[i][2] = -m[i][1];
    }
    return r;
}

Centring CUniqueCentring(Centring c) {
    // C (½ ½ 0) in (a, b, c) is (½ 0 ½) in (a, c, −b): B.
    return c == Centring::C ? Centring::B : c;
}

// The ranking's figure: ln M(n) for each of the n lines of M(n) beyond the cell's free
// parameters (the zero shift among them). M(n) is the inverse of the chance that a line
// falls on a calculated one; the first P lines fit any P-parameter cell, so only the others
// are evidence. A cell with fewer parameters, or indexing more lines, needs a smaller M(n)
// to rank as high: a triclinic cell fitted to fourteen lines of a cubic pattern does not
// outrank the cubic one, and a line left unindexed costs its share.
long double ScoreOf(const IndexingSolution& s, bool zeroRefined) {
    const long double m = s.merit.m.value ? *s.merit.m.value : 0;
    if (!(m > 1)) return 0;
    const int p = ParameterCount(s.code) + (zeroRefined ? 1 : 0);
    return std::max(0, s.merit.m.n - p) * std::log(m);
}

// Whether the indices of the indexed lines span the three dimensions of the lattice.
bool SpansThreeDimensions(const IndexingSolution& s) {
    std::vector<Hkl> v;
    for (const SolutionLine& l : s.lines)
        if (l.indexed) v.push_back(l.hkl);
    for (std::size_t i = 0; i < v.size(); ++i)
        for (std::size_t j = i + 1; j < v.size(); ++j) {
            const Hkl x{v[i][1] * v[j][2] - v[i][2] * v[j][1],
                        v[i][2] * v[j][0] - v[i][0] * v[j][2],
                        v[i][0] * v[j][1] - v[i][1] * v[j][0]};
            if (x == Hkl{0, 0, 0}) continue;
            for (std::size_t k = j + 1; k < v.size(); ++k)
                if (x[0] * v[k][0] + x[1] * v[k][1] + x[2] * v[k][2] != 0) return true;
        }
    return false;
}

struct Found {
    IndexingSolution solution;
    std::vector<long double> fingerprint;
    long double searchVolume = 0;  // of the conventional cell
};

class Search {
  public:
    Search(Context& ctx, IndexingResult& result, const SolutionCallback& found)
        : ctx_(ctx), set_(ctx.set), result_(result), found_(found) {
        const LineSet& s = set_;
        qMax_ = s.QOfTwoTheta(std::min(s.lines.back().twoTheta + 1, 179.0L));
        tolerance_ = s.lines.front().tolerance;
        for (const Line& l : s.lines)
            tolerance_ = std::min(tolerance_, l.tolerance);
    }

    // Refines the raw fits of a stage into solutions; returns the count of new ones.
    int Take(const std::vector<CellFit>& fits, const std::string& method) {
        std::vector<Lattice> lattices;
        for (const CellFit& f : fits) {
            if (!f.ok) continue;
            for (const Lattice& v :
                 Variants(LatticeOfFit(f, method), ctx_.impurities, tolerance_)) {
                if (auto r = Reduce(v)) lattices.push_back(*r);
            }
        }
        // Distinct lattices, each once (the first found, or the one indexing more lines).
        // Two lattices of one volume with the same lines are one lattice; of different
        // volumes they are two that give the same powder pattern (a hexagonal cell and the
        // orthorhombic one on a/2, a·√3/2, c), and both go on.
        struct Unique {
            Lattice lattice;
            std::vector<long double> fingerprint;
            long double volume;
        };
        auto same = [](const std::vector<long double>& fa, long double va,
                       const std::vector<long double>& fb, long double vb) {
            return std::fabs(va - vb) <= 0.01L * va && SameFingerprint(fa, fb, 3e-4L);
        };
        std::vector<Unique> unique;
        for (const Lattice& l : lattices) {
            // No crystal repeats itself over less than kShortestRow; such a lattice must not
            // stand in for a real one of the same first lines (a body-centred cubic cell and
            // the primitive one of half its volume agree up to the seventh line).
            if (const auto c = CellOf(l.g); !c || c->a < kShortestRow) continue;
            std::vector<long double> fp = Fingerprint(l.g, qMax_);
            if (fp.empty()) continue;
            const long double volume = VolumeOf(l.g);
            bool known = false;
            for (const Found& f : found) {
                if (same(f.fingerprint, f.solution.primitiveVolume, fp, volume)) {
                    known = true;
                    break;
                }
            }
            for (Unique& u : unique) {
                if (known) break;
                if (same(u.fingerprint, u.volume, fp, volume)) {
                    known = true;
                    if (l.indexed > u.lattice.indexed ||
                        (l.indexed == u.lattice.indexed && l.sumSq < u.lattice.sumSq))
                        u.lattice = l;
                }
            }
            if (!known) unique.push_back({l, std::move(fp), volume});
        }
        std::vector<std::optional<IndexingSolution>> solved(unique.size());
        ParallelFor(unique.size(), ctx_.threads, [&](std::size_t i) {
            if (ctx_.cancel.load()) return;
            solved[i] = Solve(unique[i].lattice);
        });
        int added = 0;
        for (std::size_t i = 0; i < unique.size(); ++i) {
            // A cell with fewer than three lines beyond its parameters is no evidence, and no
            // crystal repeats itself over less than kShortestRow.
            if (!solved[i] || solved[i]->score <= 0) continue;
            if (const auto c = CellOf(solved[i]->reduced); !c || c->a < kShortestRow) continue;
            // Lines that all lie in one plane of the reciprocal lattice leave the third
            // direction to the symmetry imposed, not to the data.
            if (!SpansThreeDimensions(*solved[i])) continue;
            ++result_.searched.lattices;
            const int u = static_cast<int>(solved[i]->unindexed.size());
            if (result_.searched.fewestUnindexed < 0 || u < result_.searched.fewestUnindexed)
                result_.searched.fewestUnindexed = u;
            Found f;
            f.solution = std::move(*solved[i]);
            f.fingerprint = Fingerprint(f.solution.reduced, qMax_);
            f.searchVolume = f.solution.volume;
            if (found_) found_(f.solution);
            found.push_back(std::move(f));
            ++added;
        }
        return added;
    }

    // The primitive volume of the best solution so far of at least this M(20) and this rank
    // of Bravais lattice, or 0.
    long double ConvincingVolume(long double m20 = kConvincingM20, int minRank = 0) const {
        long double v = 0;
        long double best = 0;
        for (const Found& f : found) {
            const long double m = f.solution.merit.m.value ? *f.solution.merit.m.value : 0;
            if (m < m20 || RankOfBravais(f.solution.bravais) < minRank ||
                static_cast<int>(f.solution.unindexed.size()) > ctx_.impurities)
                continue;
            if (f.solution.score > best) {
                best = f.solution.score;
                v = f.solution.primitiveVolume;
            }
        }
        return v;
    }

    std::vector<Found> found;

  private:
    std::optional<IndexingSolution> Solve(const Lattice& lattice) const {
        const long double delta = ctx_.options.bravaisTolerance;
        std::vector<LatticeForm> forms = ConventionalForms(lattice.g, delta);
        std::stable_sort(
            forms.begin(), forms.end(),
            [](const LatticeForm& a, const LatticeForm& b) { return a.rank > b.rank; });
        FitOptions options;
        options.refineZero = ctx_.refineZero;
        options.maxZero = ctx_.options.zeroRange + 0.1L;
        options.widen = 1.5L;
        long double minTolerance = 1e9L;
        for (const Line& l : set_.lines)
            minTolerance = std::min(minTolerance, l.tolerance);
        const long double fitWithin = minTolerance * kGoodFitShare;
        // A form is accepted when its constrained fit indexes the lines the lattice was found
        // with, within half the tolerance (RMS), or as well as the free fit of the same lines
        // with the same indices (an F test: the free fit may lower the sum of squares by a
        // share of Δp·kFTest/(N − P) of it).
        std::optional<CellFit> chosen;
        std::optional<CellFit> fallback;
        int acceptedRank = 0;
        for (const LatticeForm& form : forms) {
            if (form.rank < acceptedRank) break;
            IntMatrix3 m = form.m;
            int code = form.code;
            Centring centring = form.centring;
            if (code == kMonoclinicBeta && ctx_.options.monoclinicCUnique) {
                m = ToCUnique(m);
                code = kMonoclinicGamma;
                centring = CUniqueCentring(centring);
            }
            const auto g = TransformedMetric(lattice.g, m);
            if (!g) continue;
            const CellFit fit = FitCell(set_, code, centring, *g, lattice.zero, options);
            if (!fit.ok) continue;
            if (!fallback || fit.indexed > fallback->indexed ||
                (fit.indexed == fallback->indexed && fit.sumSq < fallback->sumSq)) {
                fallback = fit;
            }
            if (fit.indexed < lattice.indexed) continue;
            bool accept = fit.sumSq <= fit.indexed * fitWithin * fitWithin;
            if (!accept && form.rank > 1) {
                // The same indices in the reduced cell: h = M⁻ᵀ·h′.
                const IntMatrix3 adj = Adjugate(m);
                const int det = Determinant(m);
                std::vector<LineIndex> reduced = fit.lines;
                for (LineIndex& li : reduced) {
                    if (!li.indexed) continue;
                    Hkl r{};
                    for (std::size_t i = 0; i < 3; ++i) {
                        const int s =
                            adj[0][i] * li.hkl[0] + adj[1][i] * li.hkl[1] + adj[2][i] * li.hkl[2];
                        r[i] = s / det;
                    }
                    li.hkl = r;
                }
                const CellFit free = FitWithIndices(set_, kTriclinic, Centring::P, lattice.g,
                                                    fit.zero, reduced, options);
                const int extra = ctx_.refineZero ? 1 : 0;
                if (free.ok) {
                    const int dp = 6 - ParameterCount(code);
                    const long double dof = std::max(1, free.indexed - 6 - extra);
                    accept = fit.sumSq <= free.sumSq * (1 + kFTest * dp / dof);
                } else {
                    accept = true;  // too few lines to tell: the metric decides
                }
            } else if (form.rank == 1) {
                accept = true;
            }
            if (!accept) continue;
            if (!chosen || form.rank > acceptedRank || fit.sumSq < chosen->sumSq) {
                chosen = fit;
                acceptedRank = form.rank;
            }
        }
        if (!chosen) {
            if (!fallback) return std::nullopt;
            chosen = fallback;
        }
        if (chosen->Unindexed() > ctx_.impurities) return std::nullopt;
        return Describe(*chosen, lattice);
    }

    IndexingSolution Describe(const CellFit& fit, const Lattice& lattice) const {
        IndexingSolution s;
        s.code = fit.code;
        s.centring = fit.centring;
        s.bravais = BravaisSymbol(fit.code, fit.centring);
        if (const auto c = CellOf(fit.g)) s.cell = *c;
        s.volume = fit.volume;
        s.x = fit.x;
        s.zero = fit.zero;
        s.zeroRefined = ctx_.refineZero;
        s.method = lattice.method;
        // The primitive lattice of the refined cell, in its Niggli cell.
        s.reduced = lattice.g;
        if (const auto primitive = PrimitiveOf(fit.g, fit.centring)) {
            if (const auto r = NiggliReduce(*primitive)) s.reduced = r->g;
        }
        s.primitiveVolume = VolumeOf(s.reduced);
        if (fit.code == kHexagonal && fit.centring == Centring::R) {
            // Rhombohedral axes of the obverse hexagonal cell: a_r = (2a + b + c)/3, ...
            const auto direct = Inverted(fit.g);
            if (direct) {
                const Matrix3 gd = MatrixOf(*direct);
                const long double t[3][3] = {{2.0L / 3, 1.0L / 3, 1.0L / 3},
                                             {-1.0L / 3, 1.0L / 3, 1.0L / 3},
                                             {-1.0L / 3, -2.0L / 3, 1.0L / 3}};
                Matrix3 r{};
                for (std::size_t i = 0; i < 3; ++i)
                    for (std::size_t j = 0; j < 3; ++j)
                        for (std::size_t p = 0; p < 3; ++p)
                            for (std::size_t q = 0; q < 3; ++q)
                                r[i][j] += t[i][p] * gd[p][q] * t[j][q];
                if (const auto rg = Inverted(MetricOfMatrix(r)))
                    if (const auto rc = CellOf(*rg)) s.rhombohedralAxes = *rc;
            }
        }
        std::vector<IndexedLine> merit;
        for (std::size_t i = 0; i < set_.size(); ++i) {
            const Line& line = set_.lines[i];
            const LineIndex& li = fit.lines[i];
            SolutionLine out;
            out.line = line.input;
            out.twoTheta = line.twoTheta;
            out.d = line.d;
            out.indexed = li.indexed;
            out.hkl = li.indexed ? ShownIndices(li.hkl, s.code, s.centring) : li.hkl;
            out.matches = li.matches;
            out.twoThetaDelta = li.delta;
            if (li.indexed) {
                if (set_.twoThetaInput) {
                    out.delta = li.delta;
                } else {
                    out.delta = line.d - 1 / std::sqrt(QOf(fit.g, li.hkl));
                }
                // The d the figures of merit see: the line's, after the zero shift.
                const long double q = set_.QAt(i, fit.zero);
                merit.push_back({line.input, li.hkl[0], li.hkl[1], li.hkl[2], 1 / std::sqrt(q)});
            } else {
                s.unindexed.push_back(line.input);
            }
            s.lines.push_back(out);
        }
        std::sort(s.unindexed.begin(), s.unindexed.end());
        DetailsOptions options;
        options.lattice = fit.centring;
        options.wavelength = set_.wavelength;
        s.merit = FiguresOfMeritOfLines(fit.code, merit, fit.x.data(), options);
        s.score = ScoreOf(s, ctx_.refineZero);
        return s;
    }

    Context& ctx_;
    const LineSet& set_;
    IndexingResult& result_;
    const SolutionCallback& found_;
    long double qMax_ = 0;
    long double tolerance_ = 0;  // the smallest of the lines'
};

struct DichotomyStage {
    Family family;
    int code;
    std::string name;
    long double maxVolume;
    double weight;  // share of the progress bar
};

// The rank of the lowest Bravais lattice of a family (as RankOfBravais).
int RankOfFamily(Family family) {
    switch (family) {
        case Family::Cubic:
            return 7;
        case Family::Hexagonal:
        case Family::Rhombohedral:
            return 5;
        case Family::Tetragonal:
            return 4;
        case Family::Orthorhombic:
            return 3;
        case Family::Monoclinic:
            return 2;
        default:
            return 1;
    }
}

// Volume shells: doubling up to 400 Å³ (so that a small cell, once found, ends the search
// early), 400 Å³ wide up to 2000 Å³, then a fifth of their lower bound.
std::vector<std::pair<long double, long double>> Shells(long double vMax) {
    std::vector<std::pair<long double, long double>> out;
    long double v = 0;
    while (v < vMax) {
        long double next;
        if (v < 25) {
            next = 25;
        } else if (v < 400) {
            next = 2 * v;
        } else {
            next = v < 2000 ? v + 400 : v * 1.2L;
        }
        next = std::min(vMax, next);
        out.push_back({v, next});
        v = next;
    }
    return out;
}

}  // namespace

const char* FamilyName(Family family) {
    return kFamilyNames[static_cast<int>(family)];
}

std::optional<Family> FamilyFromName(std::string_view name) {
    for (int i = 0; i < kFamilyCount; ++i)
        if (name == kFamilyNames[i]) return static_cast<Family>(i);
    return std::nullopt;
}

std::vector<ExtinctionClass> ExtinctionClassesOf(const LineSet& set, const IndexingSolution& s) {
    const auto g = ReciprocalMetricOf(s.cell);
    if (!g || set.size() == 0) return {};
    // The reflections of the cell up to the last indexed line, and those within each
    // indexed line's tolerance.
    long double qLast = 0;
    for (std::size_t i = 0; i < s.lines.size(); ++i)
        if (s.lines[i].indexed) qLast = set.QAt(i, s.zero);
    const long double top = set.QOfTwoTheta(std::min(set.lines.back().twoTheta + 1, 179.0L));
    const std::vector<Reflection> all = ReflectionsOf(*g, top, s.centring);
    std::vector<Hkl> inRange;
    for (const Reflection& r : all)
        if (r.q <= qLast * (1 + 1e-9L)) inRange.push_back(r.hkl);
    std::vector<LineCandidates> lines;
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        if (!s.lines[i].indexed) continue;
        const Line& line = set.lines[i];
        const long double lo = set.QOfTwoTheta(line.twoTheta - s.zero - line.tolerance);
        const long double hi = set.QOfTwoTheta(line.twoTheta - s.zero + line.tolerance);
        LineCandidates c;
        for (const Reflection& r : all)
            if (r.q >= lo && r.q <= hi) c.push_back(r.hkl);
        lines.push_back(std::move(c));
    }
    return ConsistentExtinctionClasses(s.code, s.centring, lines, inRange);
}

IndexingResult RunIndexing(const PeakList& peaks, const IndexingOptions& options,
                           const ProgressCallback& progress,
                           const SolutionCallback& foundCallback) {
    IndexingResult result;
    const auto start = Clock::now();
    if (auto refusal = PrepareLines(peaks, options.lines, result.lines)) {
        result.refusal = refusal->text;
        return result;
    }
    if (options.refineZero && !result.lines.twoThetaInput) {
        result.refusal =
            "a zero shift is a shift of the 2-theta scale: it cannot be refined from d values";
        return result;
    }
    const LineSet& set = result.lines;
    const int n = static_cast<int>(set.size());
    SearchSummary& summary = result.searched;
    summary.linesUsed = n;
    summary.tolerance = options.lines.tolerance;
    const int impurities = options.impurities >= 0 ? options.impurities : DefaultImpurities(n);
    summary.impurities = impurities;
    auto finish = [&] {
        result.elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        return result;
    };
    if (n < 4 || n - impurities < 4) {
        result.reason = "too few lines: " + IntText(n) + " distinct line" + (n == 1 ? "" : "s") +
                        " with " + IntText(impurities) +
                        " allowed unindexed; indexing needs at least 4 indexed lines (10 or more "
                        "for low symmetry)";
        return finish();
    }
    Context ctx(set, options, impurities, options.refineZero && set.twoThetaInput,
                options.threads > 0 ? options.threads : DefaultThreads(), progress, start);
    if (ctx.refineZero) summary.zeroEstimates = EstimateZero(set, options.zeroRange);

    Search search(ctx, result, foundCallback);
    const std::function<bool()> stop = [&ctx] { return ctx.Stop(); };
    const bool any =
        std::any_of(options.families.begin(), options.families.end(), [](bool b) { return b; });
    auto wanted = [&](Family f) { return !any || options.families[static_cast<std::size_t>(f)]; };
    const long double d1 = set.lines.front().d;
    const long double maxSpacing = std::max(20.0L, 2.2L * d1);
    auto limit = [&](long double own) { return options.maxVolume > 0 ? options.maxVolume : own; };

    std::vector<DichotomyStage> early, late;
    if (wanted(Family::Cubic))
        early.push_back({Family::Cubic, kCubic, "cubic", limit(kCubicVolume), 0.05});
    if (wanted(Family::Hexagonal) || wanted(Family::Rhombohedral))
        early.push_back({Family::Hexagonal, kHexagonal, "hexagonal", limit(kHexagonalVolume), 0.1});
    if (wanted(Family::Tetragonal))
        early.push_back(
            {Family::Tetragonal, kTetragonal, "tetragonal", limit(kTetragonalVolume), 0.1});
    if (wanted(Family::Orthorhombic))
        late.push_back(
            {Family::Orthorhombic, kOrthorhombic, "orthorhombic", limit(kOrthorhombicVolume), 0.2});
    if (wanted(Family::Monoclinic))
        late.push_back(
            {Family::Monoclinic, kMonoclinicBeta, "monoclinic", limit(kMonoclinicVolume), 0.25});
    const bool zones =
        wanted(Family::Monoclinic) || wanted(Family::Triclinic) || wanted(Family::Orthorhombic);
    double total = zones ? 0.25 : 0;  // the zones and their zero grid
    for (const auto& s : early)
        total += s.weight;
    for (const auto& s : late)
        total += s.weight;
    double done = 0;

    // Dichotomy of several systems together, shell by shell of volume: the smallest cell of
    // any of them is found first, and once a convincing cell is found the larger shells are
    // searched only up to twice its primitive volume (a centred cell's lattice is found
    // through the indices of its primitive supercells, at any volume). `onlyUnlessFound`: not
    // at all once a convincing cell exists.
    auto runDichotomy = [&](const std::vector<DichotomyStage>& stages, bool onlyUnlessFound,
                            long double from = 0) {
        if (stages.empty()) return;
        struct System {
            const DichotomyStage* stage;
            DichotomySettings settings;
            std::vector<DichotomyBox> boxes;
            SearchStage report;
        };
        std::vector<System> systems;
        long double vTop = 0;
        double weight = 0;
        for (const DichotomyStage& st : stages) {
            System sys;
            sys.stage = &st;
            sys.settings.code = st.code;
            sys.settings.maxSpacing = maxSpacing;
            sys.settings.impurities = impurities;
            sys.settings.refineZero = ctx.refineZero;
            sys.settings.zeroRange = options.zeroRange;
            sys.boxes = DichotomyBoxes(set, sys.settings);
            sys.report.name = st.name;
            vTop = std::max(vTop, st.maxVolume);
            weight += st.weight;
            systems.push_back(std::move(sys));
        }
        const bool monoclinic = stages.front().family == Family::Monoclinic;
        int lowestRank = 7;
        for (const DichotomyStage& st : stages)
            lowestRank = std::min(lowestRank, RankOfFamily(st.family));
        ctx.stageDeadline = monoclinic && options.timeLimit <= 0 ? kMonoclinicBudget : 0;
        const auto shells = Shells(vTop);
        const double base = done;
        bool cut = ctx.cancel.load();
        for (std::size_t si = 0; si < shells.size() && !cut; ++si) {
            const long double v0 = shells[si].first, v1 = shells[si].second;
            if (v1 <= from) continue;  // searched before
            // A cell of lower symmetry bounds the search for a higher one less closely: its
            // extra parameters may fit what a wrong cell fits.
            const long double convincing = search.ConvincingVolume(kConvincingM20, lowestRank);
            if (convincing > 0 && v0 > 2.05L * convincing) break;
            const long double lower = search.ConvincingVolume(kConvincingM20, 0);
            if (lower > 0 && v0 > 4.1L * lower) break;
            if (onlyUnlessFound && search.ConvincingVolume(kFinalM20) > 0) break;
            if (ctx.Stop()) {
                cut = true;
                break;
            }
            struct Task {
                System* system;
                const DichotomyBox* box;
            };
            std::vector<Task> tasks;
            for (System& sys : systems) {
                if (v0 >= sys.stage->maxVolume) continue;
                for (const DichotomyBox& b : sys.boxes)
                    if (b.vMax >= v0 && b.vMin <= v1) tasks.push_back({&sys, &b});
            }
            std::vector<DichotomyOutcome> outcomes(tasks.size());
            std::vector<double> seconds(tasks.size());
            std::atomic<std::size_t> finished{0};
            ParallelFor(tasks.size(), ctx.threads, [&](std::size_t t) {
                if (ctx.cancel.load()) return;
                const double began = ctx.Elapsed();
                outcomes[t] = SearchBox(set, tasks[t].system->settings, *tasks[t].box,
                                        static_cast<double>(v0), static_cast<double>(v1), stop);
                seconds[t] = ctx.Elapsed() - began;
                const double part =
                    (static_cast<double>(si) +
                     static_cast<double>(++finished) / static_cast<double>(tasks.size())) /
                    static_cast<double>(shells.size());
                ctx.Tick((base + weight * part) / total,
                         stages.size() == 1 ? stages.front().name : "dichotomy", v0, v1);
            });
            for (System& sys : systems) {
                std::vector<CellFit> fits;
                for (std::size_t t = 0; t < tasks.size(); ++t) {
                    if (tasks[t].system != &sys) continue;
                    sys.report.boxes += outcomes[t].nodes;
                    sys.report.seconds += seconds[t];
                    for (CellFit& f : outcomes[t].fits) {
                        // Each cell once: in the shell that holds its volume.
                        if (f.volume < v0 * (1 - 1e-3L) || f.volume > v1 * (1 + 1e-3L)) continue;
                        fits.push_back(std::move(f));
                    }
                }
                if (v0 < sys.stage->maxVolume)
                    sys.report.maxVolume = std::min(v1, sys.stage->maxVolume);
                sys.report.found += static_cast<int>(fits.size());
                search.Take(fits, "dichotomy (" + sys.stage->name + ")");
            }
            if (ctx.Stop()) cut = true;
        }
        ctx.stageDeadline = 0;
        done += weight;
        for (System& sys : systems) {
            sys.report.complete = !cut;
            summary.stages.push_back(sys.report);
        }
    };

    // Zones: at no zero shift and at the estimated ones; when nothing convincing is found
    // by then, over a grid of zero shifts (a zero error moves the low lines off the zone
    // relations more than their tolerance).
    std::vector<long double> zonesTried;
    auto runZones = [&](const std::vector<long double>& trials, const std::string& name,
                        double weight) {
        SearchStage report;
        report.name = name;
        report.maxVolume = limit(kTriclinicVolume);
        const double began = ctx.Elapsed();
        for (std::size_t t = 0; t < trials.size() && !ctx.cancel.load(); ++t) {
            ctx.Tick((done + weight * static_cast<double>(t) / static_cast<double>(trials.size())) /
                         total,
                     name, 0, 0);
            ZoneSettings zs;
            zs.impurities = impurities;
            zs.refineZero = ctx.refineZero;
            zs.zeroRange = options.zeroRange;
            zs.zero = trials[t];
            zs.slack = ctx.refineZero ? kZoneZeroSlack : 0;
            zs.maxVolume = limit(kTriclinicVolume);
            zs.maxSpacing = maxSpacing;
            const ZoneOutcome o = SearchZones(set, zs, ctx.threads, stop);
            zonesTried.push_back(trials[t]);
            report.boxes += o.combinations;
            report.found += static_cast<int>(o.fits.size());
            summary.dominantZoneLines = std::max(summary.dominantZoneLines, o.bestZoneLines);
            search.Take(o.fits, "zones");
        }
        report.complete = !ctx.cancel.load();
        report.seconds = ctx.Elapsed() - began;
        done += weight;
        summary.stages.push_back(report);
    };
    // Cubic cells first, up to their whole range (it takes milliseconds); then the zones,
    // which find a lattice of any symmetry quickly and whose volume then bounds the
    // dichotomy of the other high systems, which confirms it or finds a smaller or more
    // symmetric cell.
    if (!early.empty() && early.front().family == Family::Cubic) {
        runDichotomy({early.front()}, false);
        early.erase(early.begin());
    }
    if (zones) {
        std::vector<long double> trials{0};
        for (const ZeroEstimate& z : summary.zeroEstimates)
            if (trials.size() < 3 && std::fabs(z.zero) > kZoneZeroSlack) trials.push_back(z.zero);
        runZones(trials, "zones", 0.15);
    }
    runDichotomy(early, false);
    // Orthorhombic cells of the smaller volumes (a few tenths of a second), then the zones
    // over a grid of zero shifts, then the larger orthorhombic cells (seconds).
    for (const DichotomyStage& stage : late) {
        if (stage.family != Family::Orthorhombic) continue;
        DichotomyStage small = stage;
        small.maxVolume = std::min(stage.maxVolume, kOrthorhombicFirst);
        small.weight = stage.weight / 2;
        runDichotomy({small}, true);
    }
    if (zones && ctx.refineZero && search.ConvincingVolume(kFinalM20) == 0) {
        std::vector<long double> grid;
        for (long double z = -options.zeroRange; z <= options.zeroRange + 1e-9L;
             z += 2 * kZoneZeroSlack) {
            bool tried = false;
            for (const long double t : zonesTried)
                tried = tried || std::fabs(t - z) < kZoneZeroSlack;
            if (!tried) grid.push_back(z);
        }
        runZones(grid, "zones (zero grid)", 0.1);
    }
    // The exhaustive search of orthorhombic cells, for what the faster ones did not find.
    for (const DichotomyStage& stage : late) {
        if (stage.family != Family::Orthorhombic || stage.maxVolume <= kOrthorhombicFirst) continue;
        DichotomyStage large = stage;
        large.weight = stage.weight / 2;
        runDichotomy({large}, true, kOrthorhombicFirst);
    }
    // Monoclinic dichotomy last, within its time budget.
    for (const DichotomyStage& stage : late)
        if (stage.family == Family::Monoclinic) runDichotomy({stage}, true);
    ctx.Tick(1, "refining", 0, 0);
    summary.stopped = ctx.stopped;

    // Ranking: score, then the smaller cell and the higher symmetry of equal merit.
    std::vector<Found>& all = search.found;
    auto better = [](const Found& a, const Found& b) {
        const long double sa = a.solution.score, sb = b.solution.score;
        if (std::fabs(sa - sb) > 0.02L * std::max(sa, sb)) return sa > sb;
        if (std::fabs(a.solution.primitiveVolume - b.solution.primitiveVolume) >
            1e-3L * a.solution.primitiveVolume)
            return a.solution.primitiveVolume < b.solution.primitiveVolume;
        const int ra = RankOfBravais(a.solution.bravais), rb = RankOfBravais(b.solution.bravais);
        if (ra != rb) return ra > rb;
        return std::tie(a.solution.cell.a, a.solution.cell.b, a.solution.cell.c) <
               std::tie(b.solution.cell.a, b.solution.cell.b, b.solution.cell.c);
    };
    std::stable_sort(all.begin(), all.end(), better);
    // The same lattice reached twice (it may differ within the errors): the better once.
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t j = all.size(); j-- > i + 1;)
            if (all[i].solution.bravais == all[j].solution.bravais &&
                SameFingerprint(all[i].fingerprint, all[j].fingerprint, 2e-3L))
                all.erase(all.begin() + static_cast<std::ptrdiff_t>(j));
    // A cell and its supercell: when the supercell indexes lines the cell leaves out, those
    // lines decide. Fitted about as well as the others (within 1.5 × their RMS 2θ residual,
    // or a tenth of the tolerance) by a supercell of nearly the same merit, they are lines of
    // the phase and the supercell goes first; otherwise they are impurities it indexes by
    // chance and the cell goes first. When both index the same lines, the subcell goes first
    // at equal merit.
    for (int pass = 0; pass < 4; ++pass) {
        bool moved = false;
        for (std::size_t i = 0; i < all.size() && !moved; ++i) {
            for (std::size_t j = i + 1; j < all.size() && !moved; ++j) {
                const IndexingSolution &upper = all[i].solution, &lower = all[j].solution;
                const bool lowerIsSub = lower.primitiveVolume < upper.primitiveVolume * 0.99L;
                const bool lowerIsSuper = lower.primitiveVolume > upper.primitiveVolume * 1.01L;
                if (!lowerIsSub && !lowerIsSuper) continue;
                const Found& sub = lowerIsSub ? all[j] : all[i];
                const Found& super = lowerIsSub ? all[i] : all[j];
                if (!ReflectionsWithin(sub.fingerprint, super.fingerprint, 3e-3L)) continue;
                const IndexingSolution &s = sub.solution, &t = super.solution;
                // The lines only the supercell indexes.
                std::vector<int> extra;
                std::set_difference(s.unindexed.begin(), s.unindexed.end(), t.unindexed.begin(),
                                    t.unindexed.end(), std::back_inserter(extra));
                bool superFirst;
                if (extra.empty()) {
                    if (!std::includes(t.unindexed.begin(), t.unindexed.end(), s.unindexed.begin(),
                                       s.unindexed.end()))
                        continue;
                    superFirst = s.score < 0.95L * t.score;
                } else {
                    long double others = 0, extraSum = 0;
                    int otherCount = 0;
                    long double tolerance = 0;
                    for (const SolutionLine& l : t.lines) {
                        if (!l.indexed) continue;
                        const bool isExtra =
                            std::find(extra.begin(), extra.end(), l.line) != extra.end();
                        if (isExtra) {
                            extraSum += std::fabs(l.twoThetaDelta);
                        } else {
                            others += l.twoThetaDelta * l.twoThetaDelta;
                            ++otherCount;
                        }
                    }
                    for (const Line& l : set.lines)
                        tolerance = std::max(tolerance, l.tolerance);
                    const long double rms = otherCount > 0 ? std::sqrt(others / otherCount) : 0;
                    const long double limit = std::max(1.5L * rms, tolerance / 10);
                    // An impurity may land near one of the many reflections a supercell adds:
                    // the extra lines count only when the supercell's merit stays near, and
                    // when its reflections lie too sparse about them to catch them by chance.
                    superFirst = extraSum / static_cast<long double>(extra.size()) <= limit &&
                                 t.score >= 0.9L * s.score &&
                                 ChanceOfLines(t, extra, super.fingerprint, limit, set.wavelength) <
                                     kChanceOfExtraLines;
                }
                const bool superIsUpper = lowerIsSub;
                if (superFirst == superIsUpper) continue;

                MoveBefore(all, j, i);
                moved = true;
            }
        }
        if (!moved) break;
    }
    // Two lattices of one powder pattern (the same Q, as a hexagonal cell and the
    // orthorhombic one on a/2, a·√3/2, c): the lattice of higher symmetry goes first, since
    // it explains the other's metric coincidence; the lower one's extra parameter only fits
    // the noise.
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t j = i + 1; j < all.size(); ++j)
            if (RankOfBravais(all[j].solution.bravais) > RankOfBravais(all[i].solution.bravais) &&
                all[j].solution.unindexed.size() <= all[i].solution.unindexed.size() &&
                SameFingerprint(all[i].fingerprint, all[j].fingerprint, 2e-3L) &&
                SameCount(all[i].fingerprint, all[j].fingerprint)) {
                MoveBefore(all, j, i);
            }
    // All lines (but the impurities) in one zone: the lines show a plane of the reciprocal
    // lattice and nothing of its third direction, and every cell that fits them is a guess.
    const bool dominantZone =
        n >= kDominantZoneLines && summary.dominantZoneLines >= n - impurities;
    if (dominantZone) all.clear();
    const std::size_t top = static_cast<std::size_t>(std::max(1, options.top));
    for (std::size_t i = 0; i < all.size() && i < top; ++i) {
        IndexingSolution s = std::move(all[i].solution);
        s.rank = static_cast<int>(i) + 1;
        if (i < kWithExtinction) s.extinction = ExtinctionClassesOf(set, s);
        result.solutions.push_back(std::move(s));
    }
    if (result.solutions.empty()) {
        std::string searched;
        for (const SearchStage& st : summary.stages) {
            if (!searched.empty()) searched += ", ";
            searched += st.name;
            if (st.maxVolume > 0) searched += " to " + FormatFixed(st.maxVolume, 0, 18) + " A^3";
            if (!st.complete) searched += " (cut short)";
        }
        result.reason = "no cell indexes " + IntText(n - impurities) + " of the " + IntText(n) +
                        " lines; searched " + searched;
        if (summary.fewestUnindexed >= 0)
            result.reason +=
                "; the best cell left " + IntText(summary.fewestUnindexed) + " unindexed";
        if (dominantZone)
            result.reason +=
                "; " + IntText(summary.dominantZoneLines) + " of the " + IntText(n) +
                " lines lie in one zone (a plane of the reciprocal lattice): the third "
                "axis cannot be found from them";
        if (summary.stopped != "complete") result.reason += "; stopped by the " + summary.stopped;
    }
    return finish();
}

}  // namespace dorvalix::indexing
