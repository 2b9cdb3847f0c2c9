// SPDX-License-Identifier: GPL-3.0-or-later
#include "refinement_details.h"

#include <cfenv>
#include <cmath>
#include <numbers>

#include "details_internal.h"
#include "numtext.h"

namespace dorvalix {

namespace details {

long double DesignDot(const Observations& o, int i, const long double* x) {
    long double q = 0;
    for (int j = 0; j < o.p; ++j)
        q += o.a[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] * x[j];
    return q;
}

std::optional<long double> TwoThetaOfSine(long double s) {
    if (!(s >= 0 && s < 1)) return std::nullopt;
    return 2 * std::asin(s) * (180 / std::numbers::pi_v<long double>);
}

namespace {

// Restores the floating-point exception flags on leaving a scope.
class FloatFlagsKeeper {
  public:
    FloatFlagsKeeper() { std::fegetexceptflag(&saved_, FE_ALL_EXCEPT); }
    ~FloatFlagsKeeper() { std::fesetexceptflag(&saved_, FE_ALL_EXCEPT); }
    FloatFlagsKeeper(const FloatFlagsKeeper&) = delete;
    FloatFlagsKeeper& operator=(const FloatFlagsKeeper&) = delete;

  private:
    std::fexcept_t saved_;
};

// su = √(∇ₓfᵀ·Cx·∇ₓf) with ∇ₓf = Tᵀ·∇g f.
Su Propagate(const MetricMap& t, int p, const std::array<long double, 6>& gradient,
             const SquareMatrix& cx) {
    if (cx.empty()) return std::nullopt;
    std::array<long double, kMaxCoefficients> gx{};
    for (int j = 0; j < p; ++j) {
        for (std::size_t e = 0; e < 6; ++e)
            gx[static_cast<std::size_t>(j)] += t[e][static_cast<std::size_t>(j)] * gradient[e];
    }
    long double var = 0;
    for (int r = 0; r < p; ++r) {
        for (int c = 0; c < p; ++c) {
            var += gx[static_cast<std::size_t>(r)] *
                   cx[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] *
                   gx[static_cast<std::size_t>(c)];
        }
    }
    // A quantity that does not depend on x (within rounding) has no spread.
    return std::sqrt(std::max(var, 0.0L));
}

void Fill(const CellFunctions& f, const std::array<long double, 3>& fixed, const MetricMap& t,
          int p, const SquareMatrix& cx, CellWithSu& cell) {
    for (std::size_t r = 0; r < 7; ++r) {
        cell.value[r] = f.value[r];
        cell.su[r] = Propagate(t, p, f.gradient[r], cx);
        cell.fixed[r] = false;
    }
    for (std::size_t a = 0; a < 3; ++a) {
        if (fixed[a] == 0) continue;
        cell.value[3 + a] = fixed[a];
        cell.su[3 + a] = std::nullopt;
        cell.fixed[3 + a] = true;
    }
}

Observations IncludedObservations(const CalculationState& state) {
    Observations o;
    o.code = state.crystalSystem;
    o.n = state.result.n;
    o.p = state.result.p;
    const ParsedObservations& parsed = state.table.parsed;
    for (int r = 1; r <= static_cast<int>(state.table.filled); ++r) {
        if (!state.table.IsExcluded(r)) o.rows.push_back(r);
    }
    // A table changed since the run no longer names the fitted rows: number them instead.
    if (static_cast<int>(o.rows.size()) != o.n) {
        o.rows.clear();
        for (int i = 1; i <= o.n; ++i)
            o.rows.push_back(i);
    }
    o.a.assign(static_cast<std::size_t>(o.p),
               std::vector<long double>(static_cast<std::size_t>(o.n)));
    for (int i = 0; i < o.n; ++i) {
        const auto at = static_cast<std::size_t>(i + 1);
        o.h.push_back(parsed.h[at]);
        o.k.push_back(parsed.k[at]);
        o.l.push_back(parsed.l[at]);
        o.d.push_back(parsed.d[at]);
        o.qObs.push_back(1 / (parsed.d[at] * parsed.d[at]));
        // The rows the run fitted, with its 32-bit arithmetic.
        const DesignRow row = MakeDesignRow(o.code, parsed.h[at], parsed.k[at], parsed.l[at]);
        for (int j = 0; j < o.p; ++j)
            o.a[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] =
                row[static_cast<std::size_t>(j)];
    }
    return o;
}

// The rows excluded from the run whose d and indices are numbers, with their design rows;
// none when the table no longer names the fitted rows.
Observations ExcludedObservations(const CalculationState& state, const Observations& included) {
    Observations o;
    o.code = included.code;
    o.p = included.p;
    o.a.assign(static_cast<std::size_t>(o.p), {});
    if (included.rows.size() != static_cast<std::size_t>(included.n) ||
        (included.n > 0 && included.rows.back() > static_cast<int>(state.table.filled))) {
        return o;
    }
    const ObservationTable& table = state.table;
    for (int r = 1; r <= static_cast<int>(table.filled); ++r) {
        if (!table.IsExcluded(r)) continue;
        long double d;
        std::int32_t hkl[3];
        if (!TryParseReal(table.Cell(0, r), d) || !(d > 0) || !std::isfinite(d)) continue;
        bool indices = true;
        for (int c = 0; c < 3 && indices; ++c) {
            indices = TryParseInt(table.Cell(c + 1, r), hkl[c]) && hkl[c] <= kMaxIndexMagnitude &&
                      hkl[c] >= -kMaxIndexMagnitude;
        }
        if (!indices) continue;
        o.rows.push_back(r);
        o.h.push_back(hkl[0]);
        o.k.push_back(hkl[1]);
        o.l.push_back(hkl[2]);
        o.d.push_back(d);
        o.qObs.push_back(1 / (d * d));
        const DesignRow row = MakeDesignRow(o.code, hkl[0], hkl[1], hkl[2]);
        for (int j = 0; j < o.p; ++j)
            o.a[static_cast<std::size_t>(j)].push_back(row[static_cast<std::size_t>(j)]);
        ++o.n;
    }
    return o;
}

// The observation of a line in the frame of a fit: with a refined zero shift the corrected
// angle 2θobs − zero and its d and Q; the typed d otherwise.
struct Observed {
    std::optional<long double> d, q, twoTheta;
};

Observed ObservedIn(long double d, long double lambda, const TwoThetaFit* fit) {
    Observed out;
    const auto twoTheta = TwoThetaOfSine(lambda / (2 * d));
    if (fit == nullptr || !fit->zeroRefined) {
        out.d = d;
        out.q = 1 / (d * d);
        out.twoTheta = twoTheta;
        return out;
    }
    if (!twoTheta) return out;
    const long double corrected = *twoTheta - fit->zero;
    if (!(corrected > 0 && corrected < 180)) return out;
    const long double s = std::sin(corrected / 2 * (std::numbers::pi_v<long double> / 180));
    out.twoTheta = corrected;
    out.d = lambda / (2 * s);
    out.q = 1 / (*out.d * *out.d);
    return out;
}

FitReflection ReflectionOf(const ObservationDetails& o, long double qCalc, long double lambda,
                           const TwoThetaFit* fit) {
    FitReflection r;
    r.row = o.row;
    r.h = o.h;
    r.k = o.k;
    r.l = o.l;
    r.absent = o.absent;
    const Observed observed = ObservedIn(o.dObs, lambda, fit);
    r.dObs = observed.d;
    r.qObs = observed.q;
    r.twoThetaObs = observed.twoTheta;
    if (qCalc > 0 && std::isfinite(qCalc)) {
        r.qCalc = qCalc;
        r.dCalc = 1 / std::sqrt(qCalc);
        r.twoThetaCalc = TwoThetaOfSine(lambda * std::sqrt(qCalc) / 2);
    }
    return r;
}

}  // namespace

std::optional<DetailsMessage> CellNotDetermined(const CellWithSu& direct) {
    for (std::size_t r = 0; r < 3; ++r) {
        const Su& su = direct.su[r];
        if (!(direct.value[r] <= kMaxCellLength) || (su && !(*su <= kMaxCellLength))) {
            DetailsMessage m{DetailsMessage::Kind::CellNotDetermined};
            m.limit = static_cast<long long>(kMaxCellLength);
            return m;
        }
    }
    return std::nullopt;
}

bool CellsWithSu(int code, const long double* x, int p, const SquareMatrix& cx,
                 CellWithSu& reciprocal, CellWithSu& direct) {
    const MetricMap t = MetricMapOf(code);
    CellFunctions rf, df;
    if (!CellsFromMetric(MetricOf(t, x, p), rf, df)) return false;
    const FixedAngles fixed = FixedAnglesOf(code);
    Fill(rf, fixed.reciprocal, t, p, cx, reciprocal);
    Fill(df, fixed.direct, t, p, cx, direct);
    return true;
}

}  // namespace details

namespace {

// The reflections and figures of merit of the fit the details show: the 2θ fit when made,
// else the Q fit.
void ShowFit(const details::Observations& o, const long double* x, const DetailsOptions& options,
             RefinementDetails& out) {
    using namespace details;
    const TwoThetaFit* fit = out.twoTheta ? &*out.twoTheta : nullptr;
    const long double lambda = options.wavelength;
    // Included and excluded reflections, merged in table order.
    std::size_t i = 0, e = 0;
    while (i < out.observations.size() || e < out.excluded.size()) {
        const bool included =
            e == out.excluded.size() ||
            (i < out.observations.size() && out.observations[i].row < out.excluded[e].row);
        if (included) {
            const ObservationDetails& od = out.observations[i];
            FitReflection r = ReflectionOf(od, fit ? fit->qCalc[i] : od.qCalc, lambda, fit);
            if (fit) {
                const TwoThetaObservation& t = fit->observations[i];
                r.leverage = t.leverage;
                r.studentized = t.studentized;
                r.cook = t.cook;
                r.outlier = t.outlier;
            } else {
                r.leverage = od.leverage;
                r.studentized = od.studentized;
                r.cook = od.cook;
                r.outlier = od.outlier;
            }
            out.reflections.push_back(r);
            ++i;
        } else {
            const ObservationDetails& od = out.excluded[e];
            FitReflection r = ReflectionOf(od, fit ? fit->excludedQCalc[e] : od.qCalc, lambda, fit);
            r.excluded = true;
            out.reflections.push_back(r);
            ++e;
        }
    }
    // Influence (Belsley, Kuh and Welsch, Regression Diagnostics, 1980): leverage above
    // 2P/N, Cook's distance above 1, over the P unknowns of the fit shown.
    const int unknowns = o.p + (fit && fit->zeroRefined ? 1 : 0);
    out.fewDegreesOfFreedom = o.n - unknowns <= 2;
    for (FitReflection& r : out.reflections) {
        if (r.excluded) continue;
        r.influential = (r.cook && *r.cook > 1) ||
                        (r.leverage && o.n > 0 && *r.leverage > 2.0L * unknowns / o.n);
        if (r.absent) ++out.absentCount;
    }

    // The figures of merit from the positions of the fit shown.
    if (fit == nullptr) {
        std::vector<long double> qCalc;
        for (const ObservationDetails& od : out.observations)
            qCalc.push_back(od.qCalc);
        out.merit = ComputeFiguresOfMerit(o, qCalc, x, options);
        return;
    }
    Observations corrected = o;
    for (int k = 0; k < o.n; ++k) {
        const Observed observed = ObservedIn(o.d[static_cast<std::size_t>(k)], lambda, fit);
        if (!observed.d) continue;  // a line below the zero: kept as measured
        corrected.d[static_cast<std::size_t>(k)] = *observed.d;
        corrected.qObs[static_cast<std::size_t>(k)] = *observed.q;
    }
    out.merit = ComputeFiguresOfMerit(corrected, fit->qCalc, fit->coefficients.data(), options);
    out.merit.fit = DetailsFit::TwoTheta;
    out.merit.zeroRefined = fit->zeroRefined;
}

}  // namespace

RefinementDetails ComputeRefinementDetails(const CalculationState& state,
                                           const DetailsOptions& options) {
    using namespace details;
    // Every step here guards its own domain (a NaN becomes a missing value): the processor's
    // fault flags are left as they were, for the engine's checks that follow.
    const FloatFlagsKeeper flags;
    RefinementDetails out;
    const Observations o = IncludedObservations(state);
    out.system = o.code;
    out.n = o.n;
    out.p = o.p;
    const long double* x = &state.result.x[1];

    std::vector<long double> qCalc(static_cast<std::size_t>(o.n)), r(qCalc.size());
    for (int i = 0; i < o.n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        qCalc[at] = DesignDot(o, i, x);
        r[at] = o.qObs[at] - qCalc[at];
        out.residual += r[at] * r[at];
    }

    // Cx = s²·(AᵀA)⁻¹ with s² = R / (N − P); no s.u. without a degree of freedom.
    QrFactorization qr;
    const bool factored = qr.Factor(o.a);
    SquareMatrix inverse;
    if (factored) inverse = qr.InverseNormalMatrix();
    const bool spread = factored && o.n > o.p;
    const long double s2 = spread ? out.residual / (o.n - o.p) : 0;
    const long double s = std::sqrt(s2);
    if (spread) {
        out.covariance = inverse;
        for (auto& row : out.covariance) {
            for (long double& c : row)
                c *= s2;
        }
    }
    if (!CellsWithSu(o.code, x, o.p, out.covariance, out.reciprocal, out.direct)) {
        out.cellRefusal = DetailsMessage{DetailsMessage::Kind::NoCell};
    } else {
        out.cellRefusal = CellNotDetermined(out.direct);
    }
    if (out.cellRefusal) {
        out.reciprocal = {};
        out.direct = {};
    }

    // Regression diagnostics (Cook and Weisberg, Residuals and Influence in Regression, 1982):
    // leverage hᵢ = aᵢᵀ(AᵀA)⁻¹aᵢ, studentised residual tᵢ = rᵢ / (s·√(1 − hᵢ)), Cook's
    // distance Dᵢ = tᵢ²·hᵢ / (P·(1 − hᵢ)).
    const auto p = static_cast<std::size_t>(o.p);
    std::array<std::array<long double, kMaxCoefficients>, kMaxCoefficients> m{};
    for (std::size_t j = 0; j < p && factored; ++j) {
        for (std::size_t c = 0; c < p; ++c)
            m[j][c] = inverse[j][c];
    }
    out.observations.reserve(static_cast<std::size_t>(o.n));
    for (int i = 0; i < o.n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        ObservationDetails d;
        d.row = o.rows[at];
        d.h = o.h[at];
        d.k = o.k[at];
        d.l = o.l[at];
        d.dObs = o.d[at];
        d.qObs = o.qObs[at];
        d.qCalc = qCalc[at];
        d.dCalc = 1 / std::sqrt(qCalc[at]);
        d.twoThetaObs = TwoThetaOfSine(options.wavelength / (2 * o.d[at]));
        d.twoThetaCalc = TwoThetaOfSine(options.wavelength * std::sqrt(qCalc[at]) / 2);
        d.absent = !AllowedByCentring(options.lattice, o.h[at], o.k[at], o.l[at]);
        if (factored) {
            // hᵢ = aᵢᵀ·M·aᵢ over the symmetric M: the diagonal once, each pair twice.
            std::array<long double, kMaxCoefficients> ai{};
            for (std::size_t j = 0; j < p; ++j)
                ai[j] = o.a[j][at];
            long double h = 0;
            for (std::size_t j = 0; j < p; ++j) {
                long double row = m[j][j] * ai[j] / 2;
                for (std::size_t c = j + 1; c < p; ++c)
                    row += m[j][c] * ai[c];
                h += 2 * ai[j] * row;
            }
            d.leverage = h;
            // Without spread (N = P, or a perfect fit) or with all the weight on one
            // observation there is nothing to studentise by.
            if (spread && s > 0 && 1 - h >= 1e-12L) {
                const long double t = r[at] / (s * std::sqrt(1 - h));
                d.studentized = t;
                d.cook = t * t * h / (o.p * (1 - h));
                d.outlier = std::fabs(t) > 3;
            }
        }
        out.observations.push_back(d);
    }

    // The excluded rows, with the Q fit's prediction.
    const Observations ex = ExcludedObservations(state, o);
    for (int i = 0; i < ex.n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        ObservationDetails d;
        d.row = ex.rows[at];
        d.h = ex.h[at];
        d.k = ex.k[at];
        d.l = ex.l[at];
        d.dObs = ex.d[at];
        d.qObs = ex.qObs[at];
        d.qCalc = DesignDot(ex, i, x);
        d.dCalc = 1 / std::sqrt(d.qCalc);
        d.twoThetaObs = TwoThetaOfSine(options.wavelength / (2 * ex.d[at]));
        d.twoThetaCalc = d.qCalc > 0 ? TwoThetaOfSine(options.wavelength * std::sqrt(d.qCalc) / 2)
                                     : std::nullopt;
        d.absent = !AllowedByCentring(options.lattice, ex.h[at], ex.k[at], ex.l[at]);
        out.excluded.push_back(d);
    }

    if (options.fit == DetailsFit::TwoTheta || options.zeroShift) {
        TwoThetaFit fit;
        out.twoThetaRefusal = FitTwoTheta(o, x, options, fit);
        if (!out.twoThetaRefusal) {
            for (int i = 0; i < ex.n; ++i)
                fit.excludedQCalc.push_back(DesignDot(ex, i, fit.coefficients.data()));
            out.twoTheta = std::move(fit);
        }
    }
    ShowFit(o, x, options, out);
    return out;
}

}  // namespace dorvalix
