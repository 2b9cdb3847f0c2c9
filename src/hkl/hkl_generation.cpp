// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_generation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "centring.h"
#include "crystal_system.h"
#include "errors.h"
#include "hkl_parallel.h"
#include "hkl_text.h"
#include "long_double_bits.h"

namespace dorvalix {

namespace {

// A piece holds about this many index triples (a longer row is a piece of its own): enough
// to make the cost of handing it out vanish, few enough for the threads to share the work
// evenly.
constexpr long long kPieceTriples = 1 << 14;

// The plan's margins. A computed S differs from the exact value of its sum by at most
// kSumError times the sum of its terms' magnitudes (each of the dozen operations rounds by
// 2⁻⁶⁴ of a partial sum in the x87 format, 2⁻⁵³ where long double is a double); the candidate and
// sure thresholds keep kMargin of the limit away from it, far more than that rounding and the
// rounding of a row's roots, as long as the terms within the range stay below kMaxSpread times the
// limit.
constexpr long double kSumError =
    std::max(1e-16L, 16 * std::numeric_limits<long double>::epsilon());
constexpr long double kMargin = 2e-6L;
constexpr long double kMaxSpread = 1e9L;
// Limits well inside the exponent range, so that no margin overflows or vanishes.
// Four fifths of the way to either end, in every width of long double.
constexpr long double kTiny =
    ldbits::PowerOfTwo(std::numeric_limits<long double>::min_exponent / 5 * 4);
constexpr long double kHuge =
    ldbits::PowerOfTwo(std::numeric_limits<long double>::max_exponent / 5 * 4);

// Whether a 2θ lies so close to a half hundredth (where its text rounds the other way) or
// to 10 or 100 (where its leading blanks change) that an arcsine differing in the last bit
// of a double could change its text. The hundredths are looked at as a double: its
// rounding (below 10⁻¹¹ of a hundredth for any angle) is far inside the margin.
inline bool NearTextBoundary(long double two_theta) {
    constexpr long double kMargin = 1e-9L;
    const double hundredths = static_cast<double>(two_theta * 100);
    if (!(std::fabs(hundredths) < 9e15)) return false;  // not an angle
    double fraction = hundredths - static_cast<double>(static_cast<long long>(hundredths));
    if (fraction < 0) fraction += 1;
    return std::fabs(fraction - 0.5) < static_cast<double>(kMargin) ||
           std::fabs(two_theta - 10) < kMargin || std::fabs(two_theta - 100) < kMargin;
}

// The terms of S that depend on h only, and on h and k only, computed as the full loop
// computes them.
struct HTerms {
    long double s_h, s_hk_h, s_hl_h;
};
struct RowTerms {
    long double s_hk_part, s_hk_term, s_kl_k, s_hl_h;
};

inline HTerms TermsOfH(const CellMetric& m, int h) {
    const long double x = h;
    return {x * m.s_hh * x, 2 * m.s_hk * x, 2 * m.s_hl * x};
}

inline RowTerms TermsOfRow(const CellMetric& m, const HTerms& t, int k) {
    const long double y = k;
    return {t.s_h + y * m.s_kk * y, t.s_hk_h * y, 2 * m.s_kl * y, t.s_hl_h};
}

// Whether the triple (in the range choice, not (0, 0, 0)) is listed, and its d: the
// arithmetic of the table, step for step.
inline bool Listed(const HklLoop& g, const RowTerms& t, int h, int k, int l, long double& d) {
    const long double z = l;
    // Summed in the order h, k, l, hk, kl, hl, as SpacingD does.
    const long double s =
        t.s_hk_part + z * g.m.s_ll * z + t.s_hk_term + t.s_kl_k * z + t.s_hl_h * z;
    // Far beyond the limit the division and the root are not needed.
    if (s > g.s_far && s <= g.s_max) return false;
    d = DFromS(g.m.v, s);
    if (d < g.d_limit) return false;
    if (d <= g.half_lambda) return false;  // no diffraction angle
    // Tested last: most triples are gone by now, and with P nothing is tested.
    return !g.centred || AllowedByCentring(g.lattice, h, k, l);
}

// The same, and the triple's row.
inline bool ListTriple(const HklLoop& g, const RowTerms& t, int h, int k, int l,
                       HklReflection& row) {
    long double d;
    if (!Listed(g, t, h, k, l, d)) return false;
    const double sine = static_cast<double>(g.wavelength / (2 * d));
    long double two_theta = TwoThetaFromArcSine(std::asin(sine));
    if (NearTextBoundary(two_theta)) two_theta = TwoThetaFromArcSine(ArcSinSafe(sine));
    row = MakeReflection(h, k, l, d, two_theta);
    return true;
}

// The l of row (h, k) that the range choice keeps, within the range (for "asym" the
// asymmetric unit's interval; (0, 0, 0) is left out by Kept). False when there are none.
inline bool RowIndices(const HklLoop& g, int h, int k, long long& lo, long long& hi) {
    if (!g.all && !g.asym) return false;
    lo = g.range.lmin;
    hi = g.range.lmax;
    if (g.asym) {
        long long unit_lo, unit_hi;
        AsymmetricUnitL(g.system, h, k, unit_lo, unit_hi);
        lo = std::max(lo, unit_lo);
        hi = std::min(hi, unit_hi);
    }
    return lo <= hi;
}

inline bool Kept(const HklLoop& g, int h, int k, int l) {
    if (h == 0 && k == 0 && l == 0) return false;
    return !g.asym || InAsymmetricUnit(g.system, h, k, l);
}

// The number of l in [lo, hi] that the lattice centring lets through with h and k. Its
// conditions on l repeat every 2 or 3, so every 6: each of the six l from lo on stands for
// every sixth l after it.
inline std::size_t AllowedL(const HklLoop& g, int h, int k, long long lo, long long hi) {
    if (!g.centred) return static_cast<std::size_t>(hi - lo + 1);
    std::size_t count = 0;
    for (long long first = lo; first <= hi && first < lo + 6; ++first) {
        if (AllowedByCentring(g.lattice, h, k, first))
            count += static_cast<std::size_t>((hi - first) / 6 + 1);
    }
    return count;
}

// Narrows [lo, hi] to the l of row (h, k) whose S lies below `s_limit`: widened by one
// beyond the roots of S(l) = s_limit (outward) or narrowed by one inside them. False when
// no l is left.
inline bool LBelow(const HklLoop& g, int h, int k, long double s_limit, bool outward, long long& lo,
                   long long& hi) {
    const CellMetric& m = g.m;
    const long double a = m.s_ll;
    const long double b = m.s_kl * k + m.s_hl * h;
    const long double c = m.s_hh * h * h + m.s_kk * k * k + 2 * m.s_hk * h * k;
    const long double disc = b * b - a * (c - s_limit);
    if (!(disc >= 0)) return false;
    const long double root = std::sqrt(disc);
    // Rounded to whole numbers as doubles: their error is far below the one l added or
    // taken away.
    const double low = static_cast<double>((-b - root) / a);
    const double high = static_cast<double>((-b + root) / a);
    const long double from = outward ? std::floor(low) - 1 : std::ceil(low) + 1;
    const long double to = outward ? std::ceil(high) + 1 : std::floor(high) - 1;
    if (from > static_cast<long double>(hi) || to < static_cast<long double>(lo)) return false;
    if (from > static_cast<long double>(lo)) lo = static_cast<long long>(from);
    if (to < static_cast<long double>(hi)) hi = static_cast<long long>(to);
    return lo <= hi;
}

// Whether every S of row (h, k) stays above the floor of the plan, so that no computed S
// can come out 0 or negative.
inline bool RowAboveFloor(const HklLoop& g, int h, int k) {
    const CellMetric& m = g.m;
    if (h == 0 && k == 0) return m.s_ll >= g.s_row_floor;  // S = S_ll·l², l ≠ 0
    const long double b = m.s_kl * k + m.s_hl * h;
    const long double c = m.s_hh * h * h + m.s_kk * k * k + 2 * m.s_hk * h * k;
    return c - b * b / m.s_ll >= g.s_row_floor;
}

// Row number → (h, k).
struct RowCursor {
    const IndexRange& range;
    long long k_count;
    int h, k;
    RowCursor(const IndexRange& r, long long row)
        : range(r),
          k_count(static_cast<long long>(r.kmax) - r.kmin + 1),
          h(static_cast<int>(r.hmin + row / k_count)),
          k(static_cast<int>(r.kmin + row % k_count)) {}
    // Moves to the next row; true when h changed.
    bool Next() {
        if (k < range.kmax) {
            ++k;
            return false;
        }
        k = range.kmin;
        ++h;
        return true;
    }
};

// Fills the plan of a loop whose arithmetic is far from failing within its range.
void Plan(HklLoop& g) {
    const CellMetric& m = g.m;
    const IndexRange& r = g.range;
    auto positive = [](long double x) { return x > kTiny && x < kHuge; };
    auto moderate = [](long double x) { return std::fabs(x) < kHuge; };
    if (!g.all && !g.asym) return;
    if (!positive(m.v) || !positive(m.s_hh) || !positive(m.s_kk) || !positive(m.s_ll) ||
        !moderate(m.s_hk) || !moderate(m.s_kl) || !moderate(m.s_hl)) {
        return;
    }
    if (!positive(g.d_limit) || !positive(g.half_lambda)) return;
    const long double to_d = m.v / g.d_limit, to_lambda = m.v / g.half_lambda;
    const long double limit = std::min(to_d * to_d, to_lambda * to_lambda);
    if (!positive(limit)) return;
    auto extent = [](int lo, int hi) {
        return std::max(std::fabs(static_cast<long double>(lo)),
                        std::fabs(static_cast<long double>(hi)));
    };
    const long double h = extent(r.hmin, r.hmax), k = extent(r.kmin, r.kmax),
                      l = extent(r.lmin, r.lmax);
    // The largest sum of the terms' magnitudes within the range.
    const long double spread = m.s_hh * h * h + m.s_kk * k * k + m.s_ll * l * l +
                               2 * std::fabs(m.s_hk) * h * k + 2 * std::fabs(m.s_kl) * k * l +
                               2 * std::fabs(m.s_hl) * h * l;
    if (!(spread <= kMaxSpread * limit)) return;
    const long double error = kSumError * spread;
    g.s_candidate = limit * (1 + kMargin) + 2 * error;
    g.s_sure = limit * (1 - kMargin) - 2 * error;
    g.s_row_floor = 3 * error;
    g.planned = true;
}

}  // namespace

HklLoop MakeHklLoop(const HklCell& cell, const IndexRange& range, const HklParameters& p) {
    HklLoop g;
    g.m = ComputeCellMetric(cell);
    g.range = range;
    g.system = p.system;
    g.all = p.range_choice == "all";
    g.asym = p.range_choice == "asym";
    g.lattice = p.lattice;
    g.centred = p.lattice != Centring::P;
    g.wavelength = p.wavelength;
    // A d that should equal the minimum comes out a hair below it when 90° is not exactly
    // a right angle (3.141592 ÷ 2 radians); such a reflection is listed.
    g.d_limit = p.d_min * (1 - 1e-9L);
    g.half_lambda = p.wavelength / 2;
    // S beyond s_far means d < d_limit by far more than any rounding: S ≥ (V ÷ d_limit)²
    // is the limit itself.
    g.s_far = (g.m.v / g.d_limit) * (g.m.v / g.d_limit) * (1 + 1e-12L);
    g.s_max = std::numeric_limits<long double>::max();
    Plan(g);
    g.mirrored = g.planned && g.all && range.hmin == -range.hmax && range.kmin == -range.kmax &&
                 range.lmin == -range.lmax;
    return g;
}

std::vector<HklPiece> HklPieces(const IndexRange& r) {
    std::vector<HklPiece> pieces;
    if (r.hmax < r.hmin || r.kmax < r.kmin || r.lmax < r.lmin) return pieces;
    const long long rows = (static_cast<long long>(r.hmax) - r.hmin + 1) *
                           (static_cast<long long>(r.kmax) - r.kmin + 1);
    const long long l_count = static_cast<long long>(r.lmax) - r.lmin + 1;
    const long long step = std::max<long long>(1, kPieceTriples / l_count);
    // Pieces of `step` rows from both ends and one in the middle, so that the pieces
    // mirror each other: piece j holds the rows R − 1 − r of the rows r of piece P − 1 − j.
    const long long half = rows / 2 / step * step;
    pieces.reserve(static_cast<std::size_t>(2 * (half / step) + 1));
    for (long long row = 0; row < half; row += step)
        pieces.push_back({row, row + step});
    if (rows - half > half) pieces.push_back({half, rows - half});
    for (long long row = rows - half; row < rows; row += step)
        pieces.push_back({row, row + step});
    return pieces;
}

std::size_t PieceCapacity(const IndexRange& r, const HklPiece& piece) {
    return static_cast<std::size_t>(piece.row_end - piece.row_begin) *
           static_cast<std::size_t>(static_cast<long long>(r.lmax) - r.lmin + 1);
}

std::optional<std::size_t> CountPiece(const HklLoop& g, const HklPiece& piece) {
    if (!g.planned) return std::nullopt;
    std::size_t count = 0;
    RowCursor row(g.range, piece.row_begin);
    HTerms h_terms = TermsOfH(g.m, row.h);
    try {
        for (long long r = piece.row_begin; r < piece.row_end; ++r) {
            if (r > piece.row_begin && row.Next()) h_terms = TermsOfH(g.m, row.h);
            const int h = row.h, k = row.k;
            long long lo, hi;
            if (!RowIndices(g, h, k, lo, hi)) continue;
            if (!RowAboveFloor(g, h, k)) return std::nullopt;
            if (!LBelow(g, h, k, g.s_candidate, true, lo, hi)) continue;
            long long sure_lo = lo, sure_hi = hi;
            if (!LBelow(g, h, k, g.s_sure, false, sure_lo, sure_hi)) {
                sure_lo = hi + 1;
                sure_hi = hi;
            }
            // Every l of the row's interval is in the range choice (the asymmetric unit's
            // rows are intervals), so the sure ones are counted without looking at them:
            // those the centring lets through, (0, 0, 0) left out.
            if (sure_lo <= sure_hi) count += AllowedL(g, h, k, sure_lo, sure_hi);
            if (h == 0 && k == 0 && sure_lo <= 0 && sure_hi >= 0 &&
                (!g.centred || AllowedByCentring(g.lattice, 0, 0, 0))) {
                --count;
            }
            // Between the sure and the candidate limits the arithmetic decides.
            const RowTerms terms = TermsOfRow(g.m, h_terms, k);
            for (long long l = lo; l <= hi; ++l) {
                if (l == sure_lo) l = sure_hi + 1;
                if (l > hi) break;
                const int li = static_cast<int>(l);
                long double d;
                if (Kept(g, h, k, li) && Listed(g, terms, h, k, li, d)) ++count;
            }
        }
    } catch (const FloatFault&) {
        return std::nullopt;  // the plan's margins were not enough after all
    }
    return count;
}

std::optional<PieceCounts> CountPieces(const HklLoop& g, const std::vector<HklPiece>& pieces,
                                       std::size_t stop_above, int threads) {
    PieceCounts result;
    result.counts.assign(pieces.size(), 0);
    // In a mirrored table the second half of the pieces holds as many rows as the first.
    const std::size_t own = g.mirrored ? (pieces.size() + 1) / 2 : pieces.size();
    std::atomic<std::size_t> total{0};
    std::atomic<bool> over{false}, failed{false};
    ForEachPiece(own, threads, [&](std::size_t i, int) {
        if (over || failed) return;
        const std::optional<std::size_t> n = CountPiece(g, pieces[i]);
        if (!n) {
            failed = true;
            return;
        }
        result.counts[i] = *n;
        if (total.fetch_add(*n) + *n > stop_above) over = true;
    });
    if (failed) return std::nullopt;
    result.over = over;
    for (std::size_t i = own; i < pieces.size(); ++i)
        result.counts[i] = result.counts[pieces.size() - 1 - i];
    for (const std::size_t n : result.counts)
        result.total += n;
    result.over = result.over || result.total > stop_above;
    return result;
}

bool GeneratePiece(const HklLoop& g, const HklPiece& piece, HklReflection*& out,
                   HklReflection* end) {
    RowCursor row(g.range, piece.row_begin);
    HTerms h_terms = TermsOfH(g.m, row.h);
    HklReflection made;
    for (long long r = piece.row_begin; r < piece.row_end; ++r) {
        if (r > piece.row_begin && row.Next()) h_terms = TermsOfH(g.m, row.h);
        const int h = row.h, k = row.k;
        long long lo, hi;
        if (!RowIndices(g, h, k, lo, hi)) continue;
        if (g.planned && !LBelow(g, h, k, g.s_candidate, true, lo, hi)) continue;
        const RowTerms terms = TermsOfRow(g.m, h_terms, k);
        for (long long l = lo; l <= hi; ++l) {
            const int li = static_cast<int>(l);
            if (!Kept(g, h, k, li) || !ListTriple(g, terms, h, k, li, made)) continue;
            if (out == end) return false;
            *out++ = made;
        }
    }
    return true;
}

bool GenerateByFullLoop(const HklLoop& g, std::size_t limit, HklTable& table) {
    const IndexRange& r = g.range;
    if (!g.all && !g.asym) return true;
    HklReflection made;
    for (int h = r.hmin; h <= r.hmax; ++h) {
        const HTerms h_terms = TermsOfH(g.m, h);
        for (int k = r.kmin; k <= r.kmax; ++k) {
            const RowTerms terms = TermsOfRow(g.m, h_terms, k);
            for (int l = r.lmin; l <= r.lmax; ++l) {
                if (!Kept(g, h, k, l) || !ListTriple(g, terms, h, k, l, made)) continue;
                if (table.size() == limit) {
                    HklTable().swap(table);
                    return false;
                }
                table.push_back(made);
            }
        }
    }
    return true;
}

void AsymmetricUnitL(int system, int h, int k, long long& lo, long long& hi) {
    lo = std::numeric_limits<int>::min();
    hi = std::numeric_limits<int>::max();
    auto none = [&] {
        lo = 1;
        hi = 0;
    };
    switch (system) {
        case kCubic:  // (h > 0, 0 < k ≤ h, 0 ≤ l ≤ k) or (0, 0, l > 0)
            if (h > 0 && k > 0 && k <= h) {
                lo = 0;
                hi = k;
            } else if (h == 0 && k == 0) {
                lo = 1;
            } else {
                none();
            }
            return;
        case kHexagonal:
        case kTetragonal:  // (h > 0, 0 ≤ k ≤ h, l ≥ 0) or (0, 0, l > 0)
            if (h > 0 && k >= 0 && k <= h) {
                lo = 0;
            } else if (h == 0 && k == 0) {
                lo = 1;
            } else {
                none();
            }
            return;
        case kOrthorhombic:  // h, k, l ≥ 0
            if (h >= 0 && k >= 0) {
                lo = 0;
            } else {
                none();
            }
            return;
        case kMonoclinicBeta:  // (k ≥ 0, l > 0) or (h ≥ 0, k > 0, l = 0) or (h > 0, 0, 0)
            if (k < 0) {
                none();
            } else {
                lo = (h >= 0 && k > 0) || (h > 0 && k == 0) ? 0 : 1;
            }
            return;
        case kTriclinic:  // h > 0, or (0, k > 0, l), or (0, 0, l > 0)
            if (h > 0 || (h == 0 && k > 0)) {
                // every l
            } else if (h == 0 && k == 0) {
                lo = 1;
            } else {
                none();
            }
            return;
        case kMonoclinicGamma:  // (k > 0, l ≥ 0) or (h > 0, 0, l ≥ 0) or (0, 0, l > 0)
            if (k > 0 || (h > 0 && k == 0)) {
                lo = 0;
            } else if (h == 0 && k == 0) {
                lo = 1;
            } else {
                none();
            }
            return;
        case kTrigonal:  // h > 0, 0 ≤ k ≤ h, l ≤ k, and −h ≤ l ≤ h when k = 0
            if (!(h > 0 && k >= 0 && k <= h)) {
                none();
            } else if (k > 0) {
                hi = k;
            } else {
                lo = -h;
                hi = 0;
            }
            return;
        default:
            return;
    }
}

}  // namespace dorvalix
