// SPDX-License-Identifier: GPL-3.0-or-later
// The fit on 2θ: 2θcalc = 2·asin(λ·√(aᵢᵀx) / 2) + Z minimised in Σ (2θobs − 2θcalc)² by
// Gauss-Newton with step halving (Björck, Numerical Methods for Least Squares Problems,
// §9.2), from the Q fit's coefficients and Z = 0.
#include <cmath>
#include <limits>
#include <numbers>

#include "details_internal.h"

namespace dorvalix::details {

namespace {

constexpr int kMaxIterations = 100;
// A step is halved at most this often: 2⁻⁶⁴ of a step is below the rounding of x.
constexpr int kMaxHalvings = 64;
// Converged when S falls by no more than this share in an iteration.
constexpr long double kRelativeDecrease = 1e-15L;
// Not constexpr: a pair of doubles (ppc64el) has no compile-time division.
const long double kDegrees = 180 / std::numbers::pi_v<long double>;

struct Problem {
    const Observations& o;
    long double lambda;
    bool zero;                          // Z refined
    std::vector<long double> observed;  // 2θobs, degrees
    int Unknowns() const { return o.p + (zero ? 1 : 0); }
};

// S at the parameters (x1..xP, then Z when refined), with the residuals 2θobs − 2θcalc;
// infinity where some aᵢᵀx has no 2θ, `failed` then the first such observation.
long double SumOfSquares(const Problem& pr, const std::vector<long double>& params,
                         std::vector<long double>& residual, int* failed = nullptr) {
    const long double z = pr.zero ? params[static_cast<std::size_t>(pr.o.p)] : 0;
    residual.resize(static_cast<std::size_t>(pr.o.n));
    long double sum = 0;
    for (int i = 0; i < pr.o.n; ++i) {
        const long double q = DesignDot(pr.o, i, params.data());
        const auto calc = q > 0 ? TwoThetaOfSine(pr.lambda * std::sqrt(q) / 2) : std::nullopt;
        if (!calc) {
            if (failed != nullptr) *failed = i;
            return std::numeric_limits<long double>::infinity();
        }
        const long double e = pr.observed[static_cast<std::size_t>(i)] - (*calc + z);
        residual[static_cast<std::size_t>(i)] = e;
        sum += e * e;
    }
    return sum;
}

// The Jacobian of 2θcalc, columns x1..xP, then Z:
// d(2θ)/dq = (180/π)·λ / (2·√q·√(1 − λ²q/4)).
void Linearise(const Problem& pr, const std::vector<long double>& params,
               std::vector<std::vector<long double>>& jacobian) {
    const auto n = static_cast<std::size_t>(pr.o.n);
    jacobian.assign(static_cast<std::size_t>(pr.Unknowns()), std::vector<long double>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const long double q = DesignDot(pr.o, static_cast<int>(i), params.data());
        const long double u2 = pr.lambda * pr.lambda * q / 4;
        const long double slope = kDegrees * pr.lambda / (2 * std::sqrt(q * (1 - u2)));
        for (int j = 0; j < pr.o.p; ++j) {
            jacobian[static_cast<std::size_t>(j)][i] =
                slope * pr.o.a[static_cast<std::size_t>(j)][i];
        }
        if (pr.zero) jacobian[static_cast<std::size_t>(pr.o.p)][i] = 1;
    }
}

// Leverage hᵢ = jᵢᵀ(JᵀJ)⁻¹jᵢ, studentised residual tᵢ = eᵢ / (s·√(1 − hᵢ)) and Cook's distance
// Dᵢ = tᵢ²·hᵢ / (u·(1 − hᵢ)) over the u unknowns, of the model linearised at the minimum
// (Cook and Weisberg, Residuals and Influence in Regression, 1982, on nonlinear least squares).
void Diagnose(const std::vector<std::vector<long double>>& jacobian, const SquareMatrix& inverse,
              const std::vector<long double>& residual, long double s2,
              std::vector<TwoThetaObservation>& out) {
    const std::size_t u = jacobian.size();
    const long double s = std::sqrt(s2);
    out.assign(residual.size(), {});
    for (std::size_t i = 0; i < residual.size(); ++i) {
        TwoThetaObservation& d = out[i];
        d.residual = residual[i];
        long double h = 0;
        for (std::size_t j = 0; j < u; ++j) {
            for (std::size_t c = 0; c < u; ++c)
                h += jacobian[j][i] * inverse[j][c] * jacobian[c][i];
        }
        d.leverage = h;
        // Without spread, or with all the weight on one observation, nothing to studentise by.
        if (!(s > 0) || 1 - h < 1e-12L) continue;
        const long double t = residual[i] / (s * std::sqrt(1 - h));
        d.studentized = t;
        d.cook = t * t * h / (static_cast<long double>(u) * (1 - h));
        d.outlier = std::fabs(t) > 3;
    }
}

DetailsMessage Message(DetailsMessage::Kind kind, const Problem& pr, int i = -1) {
    DetailsMessage m;
    m.kind = kind;
    m.wavelength = pr.lambda;
    if (i >= 0) {
        m.row = pr.o.rows[static_cast<std::size_t>(i)];
        m.d = pr.o.d[static_cast<std::size_t>(i)];
    }
    return m;
}

}  // namespace

std::optional<DetailsMessage> FitTwoTheta(const Observations& o, const long double* x,
                                          const DetailsOptions& options, TwoThetaFit& fit) {
    Problem pr{o, options.wavelength, options.zeroShift, {}};
    const int unknowns = pr.Unknowns();
    if (o.n <= unknowns) {
        DetailsMessage m = Message(DetailsMessage::Kind::TwoThetaTooFewObservations, pr);
        m.count = o.n;
        m.limit = unknowns;
        return m;
    }
    for (int i = 0; i < o.n; ++i) {
        const auto observed = TwoThetaOfSine(pr.lambda / (2 * o.d[static_cast<std::size_t>(i)]));
        if (!observed) return Message(DetailsMessage::Kind::NoTwoThetaForObservation, pr, i);
        pr.observed.push_back(*observed);
    }

    std::vector<long double> params(x, x + o.p);
    if (pr.zero) params.push_back(0);
    int failed = 0;
    std::vector<long double> residual, trialResidual;
    long double s = SumOfSquares(pr, params, residual, &failed);
    if (!std::isfinite(s))
        return Message(DetailsMessage::Kind::NoTwoThetaForCalculated, pr, failed);

    std::vector<std::vector<long double>> jacobian;
    QrFactorization qr;
    bool converged = false;
    int iteration = 0;
    while (!converged && iteration < kMaxIterations) {
        ++iteration;
        Linearise(pr, params, jacobian);
        if (!qr.Factor(jacobian)) return Message(DetailsMessage::Kind::TwoThetaSingular, pr);
        const std::vector<long double> step = qr.Solve(residual);
        // Halve the step while S would grow; no step that keeps S is the minimum reached.
        long double scale = 1;
        bool accepted = false;
        std::vector<long double> trial(params.size());
        long double sTrial = s;
        for (int halving = 0; halving <= kMaxHalvings && !accepted; ++halving) {
            for (std::size_t j = 0; j < params.size(); ++j)
                trial[j] = params[j] + scale * step[j];
            sTrial = SumOfSquares(pr, trial, trialResidual);
            accepted = sTrial <= s;
            scale /= 2;
        }
        if (!accepted) {
            converged = true;
            break;
        }
        converged = s - sTrial <= kRelativeDecrease * s;
        params = trial;
        s = sTrial;
        residual.swap(trialResidual);
    }
    if (!converged) {
        DetailsMessage m = Message(DetailsMessage::Kind::TwoThetaNotConverged, pr);
        m.count = kMaxIterations;
        return m;
    }

    // C = s²·(JᵀJ)⁻¹ at the minimum, s² = S / (N − P − z).
    Linearise(pr, params, jacobian);
    if (!qr.Factor(jacobian)) return Message(DetailsMessage::Kind::TwoThetaSingular, pr);
    const SquareMatrix inverse = qr.InverseNormalMatrix();
    const long double s2 = s / (o.n - unknowns);
    SquareMatrix c = inverse;
    for (auto& row : c) {
        for (long double& e : row)
            e *= s2;
    }
    fit.covariance = c;
    Diagnose(jacobian, inverse, residual, s2, fit.observations);
    fit.zeroRefined = pr.zero;
    fit.coefficients.assign(params.begin(), params.begin() + o.p);
    fit.coefficientSu.clear();
    for (int j = 0; j < o.p; ++j)
        fit.coefficientSu.push_back(
            std::sqrt(c[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)]));
    if (pr.zero) {
        fit.zero = params[static_cast<std::size_t>(o.p)];
        fit.zeroSu = std::sqrt(c[static_cast<std::size_t>(o.p)][static_cast<std::size_t>(o.p)]);
    }
    fit.qCalc.clear();
    for (int i = 0; i < o.n; ++i)
        fit.qCalc.push_back(DesignDot(o, i, fit.coefficients.data()));
    fit.sumSq = s;
    fit.iterations = iteration;
    // The cell's s.u. from the block of the coefficients.
    SquareMatrix cx(static_cast<std::size_t>(o.p));
    for (int r = 0; r < o.p; ++r) {
        const auto& row = c[static_cast<std::size_t>(r)];
        cx[static_cast<std::size_t>(r)].assign(row.begin(), row.begin() + o.p);
    }
    if (!CellsWithSu(o.code, fit.coefficients.data(), o.p, cx, fit.reciprocal, fit.direct))
        return DetailsMessage{DetailsMessage::Kind::NoCell};
    // A minimum far from any real cell: misindexed lines let the zero run off with the
    // cell (a zero of 27° and a = 10¹⁶ Å fit four lines as well as anything).
    if (pr.zero && !(std::fabs(fit.zero) <= kMaxZeroShift)) {
        DetailsMessage m = Message(DetailsMessage::Kind::ZeroOutOfRange, pr);
        m.value = fit.zero;
        m.limit = static_cast<long long>(kMaxZeroShift);
        return m;
    }
    if (auto refusal = CellNotDetermined(fit.direct)) return refusal;
    return std::nullopt;
}

}  // namespace dorvalix::details
