// SPDX-License-Identifier: GPL-3.0-or-later
#include "refinement_details.h"

#include <cfenv>
#include <cmath>
#include <numbers>

#include "details_internal.h"

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

}  // namespace

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
        out.reciprocal = {};
        out.direct = {};
        out.cellRefusal = DetailsMessage{DetailsMessage::Kind::NoCell};
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

    out.merit = ComputeFiguresOfMerit(o, qCalc, x, options);

    if (options.fit == DetailsFit::TwoTheta || options.zeroShift) {
        TwoThetaFit fit;
        out.twoThetaRefusal = FitTwoTheta(o, x, options, fit);
        if (!out.twoThetaRefusal) out.twoTheta = std::move(fit);
    }
    return out;
}

}  // namespace dorvalix
