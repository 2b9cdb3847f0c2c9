// SPDX-License-Identifier: GPL-3.0-or-later
#include "assignment.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "calculation.h"
#include "errors.h"
#include "numtext.h"
#include "small_solve.h"

namespace dorvalix::indexing {

namespace {

const long double kDegrees = 180 / std::numbers::pi_v<long double>;

// The first window, relative in Q, after the common scale is taken out: a cell off by 1 %
// in its lengths and 1° in its angles moves Q by up to about 3 %.
constexpr long double kFirstWindow = 0.045L;
// The low lines that choose the start, and the most ways of indexing them tried.
constexpr std::size_t kJudgedLines = 30;
constexpr std::size_t kMaxSeedCombinations = 8000;
// The best starts completed.
constexpr std::size_t kStarts = 12;

// The least final window without a tolerance given, degrees.
constexpr long double kLeastWindow = 0.002L;
// The final window is this many RMS residuals wide (the usual bound for an outlier).
constexpr long double kWindowInResiduals = 4;

// One calculated position: its Q and one index triple of each reflection on it.
struct Position {
    long double q = 0;
    Hkl hkl{};
};

// The index to show of equivalent triples: the most indices not negative, then the largest.
bool Preferred(const Hkl& a, const Hkl& b) {
    auto nonNegative = [](const Hkl& h) { return (h[0] >= 0) + (h[1] >= 0) + (h[2] >= 0); };
    if (nonNegative(a) != nonNegative(b)) return nonNegative(a) > nonNegative(b);
    return a > b;
}

std::vector<Position> PositionsOf(const Metric& g, long double qMax, const ReflectionRule& rule) {
    std::vector<Position> out;
    for (const Reflection& r : ReflectionsOf(g, qMax, Centring::P)) {
        if (!rule.Allowed(r.hkl)) continue;
        // Friedel's mate as the one shown when it looks better.
        const Hkl mate{-r.hkl[0], -r.hkl[1], -r.hkl[2]};
        const Hkl shown = Preferred(mate, r.hkl) ? mate : r.hkl;
        if (!out.empty() && r.q - out.back().q <= 1e-9L * r.q) {
            if (Preferred(shown, out.back().hkl)) out.back().hkl = shown;
            continue;
        }
        out.push_back({r.q, shown});
    }
    return out;
}

// The positions between two values of Q.
std::vector<const Position*> Within(const std::vector<Position>& positions, long double lo,
                                    long double hi) {
    std::vector<const Position*> out;
    auto it = std::lower_bound(positions.begin(), positions.end(), lo,
                               [](const Position& p, long double q) { return p.q < q; });
    for (; it != positions.end() && it->q <= hi; ++it)
        out.push_back(&*it);
    return out;
}

// The weighted normal equations of the coefficients on Q of lines with chosen indices.
void NormalEquations(int code, const std::vector<std::pair<long double, Hkl>>& lines,
                     const std::vector<long double>& weights, SmallMatrix& a,
                     std::vector<long double>& b) {
    const auto up = static_cast<std::size_t>(ParameterCount(code));
    a.assign(up, std::vector<long double>(up));
    b.assign(up, 0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const DesignRow row =
            MakeDesignRow(code, lines[i].second[0], lines[i].second[1], lines[i].second[2]);
        for (std::size_t j = 0; j < up; ++j) {
            const long double wr = weights[i] * row[j];
            b[j] += wr * lines[i].first;
            for (std::size_t k = j; k < up; ++k)
                a[j][k] += wr * row[k];
        }
    }
    for (std::size_t j = 0; j < up; ++j)  // the lower half, by symmetry
        for (std::size_t k = 0; k < j; ++k)
            a[j][k] = a[k][j];
}

// Least squares of the coefficients on Q with each line weighted as on 2θ, pulled weakly
// towards the current ones so that lines which do not yet fix every coefficient still move
// the others.
void DampedFit(int code, const std::vector<std::pair<long double, Hkl>>& lines,
               const std::vector<long double>& weights, SystemCoefficients& x) {
    const int p = ParameterCount(code);
    const auto up = static_cast<std::size_t>(p);
    SmallMatrix a;
    std::vector<long double> b;
    NormalEquations(code, lines, weights, a, b);
    // The pull: a millionth of the largest diagonal, on the change from the current x.
    long double largest = 0;
    for (std::size_t j = 0; j < up; ++j)
        largest = std::max(largest, a[j][j]);
    const long double pull = largest > 0 ? 1e-6L * largest : 1;
    for (std::size_t j = 0; j < up; ++j) {
        const long double scale = x[j] != 0 ? pull / (x[j] * x[j]) * (x[0] * x[0]) : pull;
        a[j][j] += scale;
        b[j] += scale * x[j];
    }
    std::vector<long double> sol;
    if (!SolveSymmetric(a, b, sol)) return;
    SystemCoefficients next = x;
    for (std::size_t j = 0; j < up; ++j)
        next[j] = sol[j];
    if (IsPositiveDefinite(MetricOfCoefficients(code, next))) x = next;
}

// The least-squares coefficients of lines whose indices are chosen (weighted as on 2θ);
// false when they do not fix every coefficient.
bool FitExactly(int code, const std::vector<std::pair<long double, Hkl>>& lines,
                const std::vector<long double>& weights, SystemCoefficients& x) {
    const auto up = static_cast<std::size_t>(ParameterCount(code));
    SmallMatrix a;
    std::vector<long double> b;
    NormalEquations(code, lines, weights, a, b);
    std::vector<long double> sol;
    if (!SolveSymmetric(a, b, sol)) return false;
    SystemCoefficients next = x;
    for (std::size_t j = 0; j < up; ++j)
        next[j] = sol[j];
    if (!IsPositiveDefinite(MetricOfCoefficients(code, next))) return false;
    x = next;
    return true;
}

// dQ/d(2θ) in Q per degree at Q.
long double Slope(const LineSet& set, long double q) {
    const long double s = set.wavelength * std::sqrt(q) / 2;
    return (2 / set.wavelength) * std::sqrt(q) * std::sqrt(std::max(1 - s * s, 1e-12L)) / kDegrees;
}

AssignmentResult Complete(const LineSet& set, int code, const ReflectionRule& rule,
                          const AssignmentOptions& options, const std::vector<long double>& q,
                          const std::vector<long double>& weight,
                          const std::vector<std::string>& dTexts, SystemCoefficients x,
                          const AssignmentResult& base, std::vector<SystemCoefficients>& seen);

}  // namespace

AssignmentResult AssignIndices(const PeakList& peaks, const Cell& cell, int code,
                               const ReflectionRule& rule, const AssignmentOptions& options) {
    AssignmentResult out;
    out.code = code;
    if (!IsCrystalSystem(code)) {
        out.refusal = "the crystal-system code must be 1 to 8";
        return out;
    }
    const auto g0 = ReciprocalMetricOf(cell);
    auto angle = [](long double v) { return v > 0 && v < 180; };
    if (!(cell.a > 0 && cell.b > 0 && cell.c > 0) || !angle(cell.alpha) || !angle(cell.beta) ||
        !angle(cell.gamma) || !g0) {
        out.refusal = "the six numbers describe no cell";
        return out;
    }
    if (options.tolerance && !(*options.tolerance > 0 && *options.tolerance < 5)) {
        out.refusal = "the 2-theta tolerance must be greater than 0 and below 5 degrees";
        return out;
    }
    LineOptions lo;
    lo.count = kMaxObservations;
    lo.tolerance = options.tolerance ? *options.tolerance : kLeastWindow;
    lo.wavelength = options.wavelength;
    LineSet set;
    if (auto refusal = PrepareLines(peaks, lo, set)) {
        out.refusal = refusal->text;
        return out;
    }
    out.merged = set.merged;
    out.unused = set.unused;
    out.wavelength = set.wavelength;
    out.twoThetaInput = set.twoThetaInput;
    const int p = ParameterCount(code);
    const std::size_t n = set.size();
    if (static_cast<int>(n) <= p) {
        out.refusal = "too few lines: " + IntText(static_cast<long long>(n)) + " for " +
                      IntText(p) + " coefficients of the crystal system";
        return out;
    }
    // The d texts: as written for d input, else from 2θ.
    std::vector<std::string> dTexts(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Line& l = set.lines[i];
        const std::string& written = peaks.peaks[static_cast<std::size_t>(l.input - 1)].text;
        dTexts[i] = !set.twoThetaInput && !written.empty() ? std::string(Trim(written))
                                                           : FormatFixed(l.d, 5, 18);
    }
    std::vector<long double> q(n), weight(n);
    for (std::size_t i = 0; i < n; ++i) {
        q[i] = set.QAt(i, 0);
        const long double slope = Slope(set, q[i]);
        weight[i] = 1 / (slope * slope);
    }
    SystemCoefficients x = CoefficientsOf(code, *g0);
    // The given cell itself is the first start.
    std::vector<SystemCoefficients> starts{x};

    // The lines whose positions near the given cell are fewest decide first: every way of
    // giving each of them one of its positions within the first window is fitted, and the
    // fit that puts most of the low lines on a position, closest, with the least change of
    // the cell (in units of 1 % and 1°), is the start.
    {
        const Metric g = MetricOfCoefficients(code, x);
        const std::size_t low = std::min<std::size_t>(n, kJudgedLines);
        const std::vector<Position> positions =
            PositionsOf(g, q[low - 1] * (1 + 2 * kFirstWindow), rule);
        std::vector<std::vector<const Position*>> near(low);
        for (std::size_t i = 0; i < low; ++i)
            near[i] = Within(positions, q[i] * (1 - kFirstWindow), q[i] * (1 + kFirstWindow));
        std::vector<std::size_t> seed;
        for (std::size_t i = 0; i < low; ++i)
            if (!near[i].empty()) seed.push_back(i);
        std::stable_sort(seed.begin(), seed.end(), [&](std::size_t a, std::size_t b) {
            return near[a].size() < near[b].size();
        });
        // As many lines as there are coefficients and two more, within the combinations allowed.
        std::size_t product = 1, used = 0;
        while (used < seed.size() && used < static_cast<std::size_t>(p + 2) &&
               product * near[seed[used]].size() <= kMaxSeedCombinations) {
            product *= near[seed[used]].size();
            ++used;
        }
        seed.resize(used);
        const Cell start = *CellOf(g);
        std::vector<std::pair<long double, SystemCoefficients>> ranked;
        for (std::size_t c = 0; c < product && seed.size() > static_cast<std::size_t>(p); ++c) {
            std::size_t rest = c;
            std::vector<std::pair<long double, Hkl>> chosen;
            std::vector<long double> w;
            for (std::size_t j = 0; j < seed.size(); ++j) {
                const std::size_t count = near[seed[j]].size();
                chosen.push_back({q[seed[j]], near[seed[j]][rest % count]->hkl});
                w.push_back(weight[seed[j]]);
                rest /= count;
            }
            SystemCoefficients trial = x;
            if (!FitExactly(code, chosen, w, trial)) continue;
            const Metric tg = MetricOfCoefficients(code, trial);
            const auto tc = CellOf(tg);
            if (!tc) continue;
            // Lines on a position (the nearest of their candidates), and how near.
            int onPosition = 0;
            long double misfit = 0;
            for (std::size_t i = 0; i < low; ++i) {
                const long double half = 2 * set.lines[i].tolerance * Slope(set, q[i]);
                long double nearest = -1;
                for (const Position* pos : near[i]) {
                    const long double d = std::fabs(QOf(tg, pos->hkl) - q[i]);
                    if (nearest < 0 || d < nearest) nearest = d;
                }
                if (nearest >= 0 && nearest <= half) {
                    ++onPosition;
                    misfit += (nearest / half) * (nearest / half);
                }
            }
            auto rel = [](long double a, long double b) { return (a - b) / b / 0.01L; };
            const long double change = rel(tc->a, start.a) * rel(tc->a, start.a) +
                                       rel(tc->b, start.b) * rel(tc->b, start.b) +
                                       rel(tc->c, start.c) * rel(tc->c, start.c) +
                                       (tc->alpha - start.alpha) * (tc->alpha - start.alpha) +
                                       (tc->beta - start.beta) * (tc->beta - start.beta) +
                                       (tc->gamma - start.gamma) * (tc->gamma - start.gamma);
            const long double score =
                static_cast<long double>(onPosition) - misfit - 0.02L * change;
            ranked.push_back({score, trial});
        }
        std::stable_sort(ranked.begin(), ranked.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [score, trial] : ranked) {
            if (starts.size() >= kStarts) break;
            bool known = false;
            for (const SystemCoefficients& s : starts) {
                bool same = true;
                for (int j = 0; j < p && same; ++j)
                    same = std::fabs(s[static_cast<std::size_t>(j)] -
                                     trial[static_cast<std::size_t>(j)]) <=
                           1e-4L * std::fabs(trial[0]);
                known = known || same;
            }
            if (!known) starts.push_back(trial);
        }
    }
    const Cell given = *CellOf(MetricOfCoefficients(code, x));

    // Each start completed; the one that indexes most lines, then fits them best, then
    // changes the given cell least, is the answer.
    std::optional<AssignmentResult> best;
    long double bestChange = 0;
    std::vector<SystemCoefficients> seen;
    for (const SystemCoefficients& begin : starts) {
        AssignmentResult r =
            Complete(set, code, rule, options, q, weight, dTexts, begin, out, seen);
        if (r.refusal && best) continue;
        long double change = 0;
        if (!r.refusal) {
            auto rel = [](long double a, long double b) { return (a - b) / b / 0.01L; };
            change = rel(r.cell.a, given.a) * rel(r.cell.a, given.a) +
                     rel(r.cell.b, given.b) * rel(r.cell.b, given.b) +
                     rel(r.cell.c, given.c) * rel(r.cell.c, given.c);
        }
        const bool better =
            !best || (best->refusal && !r.refusal) ||
            (!r.refusal && (r.indexed > best->indexed ||
                            (r.indexed == best->indexed &&
                             (r.tolerance < best->tolerance * 0.999L ||
                              (r.tolerance <= best->tolerance * 1.001L && change < bestChange)))));
        if (better) {
            best = std::move(r);
            bestChange = change;
        }
    }
    return *best;
}

namespace {

AssignmentResult Complete(const LineSet& set, int code, const ReflectionRule& rule,
                          const AssignmentOptions& options, const std::vector<long double>& q,
                          const std::vector<long double>& weight,
                          const std::vector<std::string>& dTexts, SystemCoefficients x,
                          const AssignmentResult& base, std::vector<SystemCoefficients>& seen) {
    AssignmentResult out = base;
    const int p = ParameterCount(code);
    const std::size_t n = set.size();
    LineOptions lo;
    lo.tolerance = options.tolerance ? *options.tolerance : kLeastWindow;

    // Low lines first, with a wide window that narrows as the cell improves.
    std::size_t k = std::min<std::size_t>(n, static_cast<std::size_t>(std::max(p + 3, 8)));
    long double window = kFirstWindow;
    for (int round = 0; round < 24; ++round) {
        const Metric g = MetricOfCoefficients(code, x);
        const std::vector<Position> positions = PositionsOf(g, q[k - 1] * (1 + 2 * window), rule);
        std::vector<std::pair<long double, Hkl>> chosen;
        std::vector<long double> w;
        for (std::size_t i = 0; i < k; ++i) {
            // The nearest position within the window, when the next is three times as far.
            const auto near = Within(positions, q[i] * (1 - window), q[i] * (1 + window));
            const Position* best = nullptr;
            long double d1 = 0, d2 = 0;
            for (const Position* pos : near) {
                const long double d = std::fabs(pos->q - q[i]);
                if (best == nullptr || d < d1) {
                    d2 = best == nullptr ? d2 : d1;
                    if (best != nullptr) d2 = d1;
                    best = pos;
                    d1 = d;
                } else if (d2 == 0 || d < d2) {
                    d2 = d;
                }
            }
            if (best == nullptr || (near.size() > 1 && d2 < 3 * d1)) continue;
            chosen.push_back({q[i], best->hkl});
            w.push_back(weight[i]);
        }
        if (!chosen.empty()) DampedFit(code, chosen, w, x);
        long double spread = 0;
        const Metric fitted = MetricOfCoefficients(code, x);
        for (const auto& [qi, hkl] : chosen)
            spread = std::max(spread, std::fabs(qi - QOf(fitted, hkl)) / qi);
        // The window of the tolerance at the last line, relative in Q.
        const long double last = lo.tolerance * Slope(set, q[n - 1]) * 2 / q[n - 1];
        if (k == n && window <= std::max(last, 3 * spread)) break;
        window = std::max({window / 2, 3 * spread, last});
        k = std::min(n, 2 * k);
    }
    // A start that came to the cell of an earlier one ends as that one did.
    for (const SystemCoefficients& other : seen) {
        bool same = true;
        for (int j = 0; j < p && same; ++j)
            same = std::fabs(other[static_cast<std::size_t>(j)] - x[static_cast<std::size_t>(j)]) <=
                   1e-5L * std::fabs(x[0]);
        if (same) {
            out.refusal = "the same cell as an earlier start";
            return out;
        }
    }
    seen.push_back(x);

    // Then every line, refined by the engine, until the indices no longer change.
    std::vector<AssignedLine> lines(n), previous;
    long double rms = 0;
    bool haveRms = false;
    for (int round = 0; round < options.maxRounds; ++round) {
        out.rounds = round + 1;
        const Metric g = MetricOfCoefficients(code, x);
        long double widest = 0;
        std::vector<long double> tol(n);
        for (std::size_t i = 0; i < n; ++i) {
            const long double adaptive = haveRms ? std::max(kWindowInResiduals * rms, kLeastWindow)
                                                 : set.lines[i].tolerance * 10;
            tol[i] = options.tolerance ? set.lines[i].tolerance
                                       : std::max(set.lines[i].tolerance, adaptive);
            widest = std::max(widest, set.lines[i].twoTheta + tol[i]);
        }
        const std::vector<Position> positions =
            PositionsOf(g, set.QOfTwoTheta(std::min(widest + 0.1L, 179.0L)), rule);
        std::vector<std::vector<const Position*>> within(n);
        std::vector<long double> qLow(n), qHigh(n);
        for (std::size_t i = 0; i < n; ++i) {
            const Line& l = set.lines[i];
            qLow[i] = set.QOfTwoTheta(std::max(l.twoTheta - tol[i], 0.0L));
            qHigh[i] = set.QOfTwoTheta(std::min(l.twoTheta + tol[i], 179.9L));
            within[i] = Within(positions, qLow[i], qHigh[i]);
        }
        std::vector<long double> highestUpTo(qHigh), lowestFrom(qLow);
        for (std::size_t i = 1; i < n; ++i)
            highestUpTo[i] = std::max(highestUpTo[i], highestUpTo[i - 1]);
        for (std::size_t i = n - 1; i-- > 0;)
            lowestFrom[i] = std::min(lowestFrom[i], lowestFrom[i + 1]);
        // One calculated position cannot be two resolved lines: a position that is the only
        // one within reach of a line is no candidate of another line (whose candidates then
        // may come down to one), and so on.
        for (bool changed = true; changed;) {
            changed = false;
            for (std::size_t i = 0; i < n; ++i) {
                if (within[i].size() != 1) continue;
                const Position* claimed = within[i].front();
                // Only lines whose window holds the position can hold it: none below the
                // first whose windows all end under it, none above the first whose windows
                // all begin over it.
                std::size_t from = i, to = i + 1;
                while (from > 0 && highestUpTo[from - 1] >= claimed->q)
                    --from;
                while (to < n && lowestFrom[to] <= claimed->q)
                    ++to;
                for (std::size_t j = from; j < to; ++j) {
                    if (j == i || within[j].size() < 2 || claimed->q < qLow[j] ||
                        claimed->q > qHigh[j])
                        continue;
                    const auto it = std::find(within[j].begin(), within[j].end(), claimed);
                    if (it == within[j].end()) continue;
                    within[j].erase(it);
                    changed = true;
                }
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            AssignedLine& a = lines[i];
            const Line& l = set.lines[i];
            a = AssignedLine{};
            a.line = l.input;
            a.twoTheta = l.twoTheta;
            a.d = l.d;
            a.dText = dTexts[i];
            const std::vector<const Position*>& near = within[i];
            if (near.empty()) {
                a.status = AssignedLine::Status::Unindexed;
            } else if (near.size() > 1) {
                a.status = AssignedLine::Status::Ambiguous;
                for (const Position* pos : near)
                    a.candidates.push_back(pos->hkl);
            } else {
                a.status = AssignedLine::Status::Indexed;
                a.hkl = near.front()->hkl;
                a.delta = l.twoTheta - *set.TwoThetaOfQ(near.front()->q);
            }
        }
        const bool same =
            previous.size() == n && std::equal(lines.begin(), lines.end(), previous.begin(),
                                               [](const AssignedLine& a, const AssignedLine& b) {
                                                   return a.status == b.status && a.hkl == b.hkl &&
                                                          a.candidates == b.candidates;
                                               });
        if (same) {
            out.converged = true;
            break;
        }
        previous = lines;
        // The engine's refinement of the indexed lines.
        CalculationState state;
        state.crystalSystem = code;
        int row = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (lines[i].status != AssignedLine::Status::Indexed) continue;
            ++row;
            state.table.Cell(0, row) = lines[i].dText;
            state.table.Cell(1, row) = IntText(lines[i].hkl[0]);
            state.table.Cell(2, row) = IntText(lines[i].hkl[1]);
            state.table.Cell(3, row) = IntText(lines[i].hkl[2]);
        }
        const RunReport report = RunCalculation(state, Lang::English);
        if (!report.completed) {
            out.refusal = "the cell cannot be refined on the " + IntText(row) + " lines indexed: " +
                          (report.faultText ? *report.faultText : report.messageText);
            out.lines = lines;
            return out;
        }
        for (int j = 0; j < p; ++j)
            x[static_cast<std::size_t>(j)] = state.result.x[static_cast<std::size_t>(j + 1)];
        // The cell of the engine's coefficients, with π to full precision (the panel's own
        // numbers use its ten-decimal π).
        if (const auto c = CellOf(MetricOfCoefficients(code, x))) out.cell = *c;
        out.volume = VolumeOf(MetricOfCoefficients(code, x));
        for (int r = 0; r < 7; ++r)
            out.cellSu[static_cast<std::size_t>(r)] = state.result.directSd[r];
        // The data's precision: the RMS 2θ residual of the refined cell.
        const Metric refined = MetricOfCoefficients(code, x);
        long double sum = 0;
        int count = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (lines[i].status != AssignedLine::Status::Indexed) continue;
            const auto t = set.TwoThetaOfQ(QOf(refined, lines[i].hkl));
            if (!t) continue;
            sum += (lines[i].twoTheta - *t) * (lines[i].twoTheta - *t);
            ++count;
        }
        rms = count > 0 ? std::sqrt(sum / count) : 0;
        haveRms = true;
    }
    out.x = x;
    out.lines = lines;
    out.tolerance = 0;
    for (const AssignedLine& a : lines) {
        out.indexed += a.status == AssignedLine::Status::Indexed ? 1 : 0;
        out.ambiguous += a.status == AssignedLine::Status::Ambiguous ? 1 : 0;
        out.unindexed += a.status == AssignedLine::Status::Unindexed ? 1 : 0;
    }
    out.tolerance =
        options.tolerance ? *options.tolerance : std::max(kWindowInResiduals * rms, kLeastWindow);
    return out;
}

}  // namespace

}  // namespace dorvalix::indexing
