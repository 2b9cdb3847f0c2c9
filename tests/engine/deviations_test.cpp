// SPDX-License-Identifier: GPL-3.0-or-later
// The standard deviations of every crystal system on noisy data, against a computation of
// this test's own: the cell from the reciprocal metric tensor (G* from the fitted
// coefficients, G = G*⁻¹), differentiated by central differences.
//
// First-order propagation of independent errors, with the inputs the method takes as
// independent: the fitted coefficients for the reciprocal lengths and cosines (and for
// every quantity of the cubic, hexagonal, tetragonal and orthorhombic cells); the six
// reciprocal parameters a*, b*, c*, cos α*, cos β*, cos γ* for the volumes and the direct
// cell of the monoclinic and triclinic systems; a* and the common cosine for the trigonal
// volumes and direct cell.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>

#include "calculation.h"
#include "deviations.h"
#include "known_cells.h"
#include "numtext.h"

namespace dorvalix {
namespace {

using Matrix3 = std::array<std::array<long double, 3>, 3>;
const long double kDegrees = 180 / std::numbers::pi_v<long double>;

long double Determinant(const Matrix3& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

Matrix3 Inverse(const Matrix3& m) {
    const long double det = Determinant(m);
    Matrix3 inv;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inv[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    }
    return inv;
}

// The metric tensor of a cell given by its three lengths and three cosines.
Matrix3 Metric(long double a, long double b, long double c, long double ca, long double cb,
               long double cg) {
    return {{{a * a, a * b * cg, a * c * cb},
             {a * b * cg, b * b, b * c * ca},
             {a * c * cb, b * c * ca, c * c}}};
}

// The fourteen reported quantities: a*, b*, c*, α*, β*, γ*, V*, then a, b, c, α, β, γ, V
// (angles in degrees).
using Quantities = std::array<long double, 14>;

Quantities FromReciprocalMetric(const Matrix3& gs) {
    Quantities q;
    const Matrix3 g = Inverse(gs);
    for (int pass = 0; pass < 2; ++pass) {
        const Matrix3& m = pass == 0 ? gs : g;
        long double* out = q.data() + 7 * pass;
        const long double a = std::sqrt(m[0][0]), b = std::sqrt(m[1][1]), c = std::sqrt(m[2][2]);
        out[0] = a;
        out[1] = b;
        out[2] = c;
        out[3] = std::acos(m[1][2] / (b * c)) * kDegrees;
        out[4] = std::acos(m[0][2] / (a * c)) * kDegrees;
        out[5] = std::acos(m[0][1] / (a * b)) * kDegrees;
        out[6] = std::sqrt(Determinant(m));
    }
    return q;
}

// G* from the fitted coefficients x1..xP of a system: Q = hᵀ G* h.
Matrix3 ReciprocalMetricOf(int code, const std::vector<long double>& x) {
    long double A = 0, B = 0, C = 0, D = 0, E = 0, F = 0;  // h², k², l², 2kl, 2lh, 2hk
    switch (code) {
        case kCubic:
            A = B = C = x[0];
            break;
        case kHexagonal:  // x1 (h² + hk + k²) + x2 l²
            A = B = x[0];
            F = x[0] / 2;
            C = x[1];
            break;
        case kTetragonal:
            A = B = x[0];
            C = x[1];
            break;
        case kOrthorhombic:
            A = x[0], B = x[1], C = x[2];
            break;
        case kMonoclinicBeta:
            A = x[0], B = x[1], C = x[2], E = x[3];
            break;
        case kTriclinic:
            A = x[0], B = x[1], C = x[2], D = x[3], E = x[4], F = x[5];
            break;
        case kMonoclinicGamma:
            A = x[0], B = x[1], C = x[2], F = x[3];
            break;
        case kTrigonal:  // x1 (h² + k² + l²) + 2 x2 (kl + lh + hk)
            A = B = C = x[0];
            D = E = F = x[1];
            break;
    }
    return {{{A, F, E}, {F, B, D}, {E, D, C}}};
}

// σ of f by central differences over independent inputs p with deviations s.
long double Propagate(const std::function<long double(const std::vector<long double>&)>& f,
                      std::vector<long double> p, const std::vector<long double>& s) {
    long double sum = 0;
    for (std::size_t j = 0; j < p.size(); ++j) {
        if (s[j] == 0) continue;
        const long double saved = p[j];
        const long double h = 1e-6L * std::max(std::fabs(saved), 1e-3L);
        p[j] = saved + h;
        const long double up = f(p);
        p[j] = saved - h;
        const long double down = f(p);
        p[j] = saved;
        const long double term = (up - down) / (2 * h) * s[j];
        sum += term * term;
    }
    return std::sqrt(sum);
}

// Quantities the panel shows for each system (the others are masked).
std::vector<int> ShownQuantities(int code) {
    switch (code) {
        case kCubic:
            return {0, 6, 7, 13};
        case kHexagonal:
        case kTetragonal:
            return {0, 2, 6, 7, 9, 13};
        case kOrthorhombic:
            return {0, 1, 2, 6, 7, 8, 9, 13};
        case kMonoclinicBeta:
            return {0, 1, 2, 4, 6, 7, 8, 9, 11, 13};
        case kMonoclinicGamma:
            return {0, 1, 2, 5, 6, 7, 8, 9, 12, 13};
        case kTrigonal:
            return {0, 3, 6, 7, 10, 13};
        default:
            return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    }
}

const char* const kNames[14] = {"a*", "b*", "c*", "alpha*", "beta*", "gamma*", "V*",
                                "a",  "b",  "c",  "alpha",  "beta",  "gamma",  "V"};

class NoisyDeviations : public ::testing::TestWithParam<KnownCell> {};

TEST_P(NoisyDeviations, AgreeWithFirstOrderPropagation) {
    const KnownCell cell = GetParam();
    const long double r = std::numbers::pi_v<long double> / 180;
    const Matrix3 direct = Metric(cell.a, cell.b, cell.c, std::cos(cell.alpha * r),
                                  std::cos(cell.beta * r), std::cos(cell.gamma * r));
    const Matrix3 gs = Inverse(direct);
    CalculationState state;
    state.crystalSystem = cell.code;
    int row = 0;
    for (int h = -2; h <= 2; ++h) {
        for (int k = -2; k <= 2; ++k) {
            for (int l = 0; l <= 2; ++l) {
                if (h == 0 && k == 0 && l == 0) continue;
                const int v[3] = {h, k, l};
                long double q = 0;
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j)
                        q += v[i] * gs[i][j] * v[j];
                ++row;
                // A few parts in ten thousand of noise, the same on every run.
                const long double d = (1 + 3e-4L * std::sin(1.7L * row + cell.code)) / std::sqrt(q);
                state.table.Cell(0, row) = FormatFixed(d, 6, 18);
                state.table.Cell(1, row) = IntText(h);
                state.table.Cell(2, row) = IntText(k);
                state.table.Cell(3, row) = IntText(l);
            }
        }
    }
    const RunReport report = RunCalculation(state, Lang::English);
    ASSERT_TRUE(report.completed) << report.messageText << report.faultText.value_or("");
    const RefinementResult& res = state.result;
    ASSERT_GT(res.residual, 1e-9L);  // noisy: the deviations are not zero

    // The fit itself, from this test's own normal equations: x and σ(x).
    const int p = res.p, n = res.n;
    const ParsedObservations& obs = state.table.parsed;
    std::vector<std::vector<long double>> design(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        for (int j = 0; j < p; ++j) {
            std::vector<long double> unit(static_cast<std::size_t>(p), 0);
            unit[static_cast<std::size_t>(j)] = 1;
            const Matrix3 m = ReciprocalMetricOf(cell.code, unit);
            const int v[3] = {obs.h[i], obs.k[i], obs.l[i]};
            long double e = 0;
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b)
                    e += v[a] * m[a][b] * v[b];
            design[static_cast<std::size_t>(i - 1)].push_back(e);
        }
    }
    // [N | I] reduced to [I | N⁻¹] with partial pivoting.
    std::vector<std::vector<long double>> aug(static_cast<std::size_t>(p),
                                              std::vector<long double>(2 * p, 0));
    std::vector<long double> rhs(static_cast<std::size_t>(p), 0);
    for (int a = 0; a < p; ++a) {
        for (int b = 0; b < p; ++b)
            for (int i = 0; i < n; ++i)
                aug[a][b] += design[i][a] * design[i][b];
        aug[a][p + a] = 1;
        for (int i = 0; i < n; ++i)
            rhs[a] += design[i][a] / (obs.d[i + 1] * obs.d[i + 1]);
    }
    for (int c = 0; c < p; ++c) {
        int best = c;
        for (int a = c + 1; a < p; ++a)
            if (std::fabs(aug[a][c]) > std::fabs(aug[best][c])) best = a;
        std::swap(aug[c], aug[best]);
        const long double pivot = aug[c][c];
        for (long double& v : aug[c])
            v /= pivot;
        for (int a = 0; a < p; ++a) {
            if (a == c) continue;
            const long double f = aug[a][c];
            for (int b = 0; b < 2 * p; ++b)
                aug[a][b] -= f * aug[c][b];
        }
    }
    std::vector<long double> x(static_cast<std::size_t>(p), 0), sx(x);
    for (int a = 0; a < p; ++a)
        for (int b = 0; b < p; ++b)
            x[a] += aug[a][p + b] * rhs[b];
    long double rss = 0;
    for (int i = 0; i < n; ++i) {
        long double qc = 0;
        for (int j = 0; j < p; ++j)
            qc += design[i][j] * x[j];
        const long double diff = 1 / (obs.d[i + 1] * obs.d[i + 1]) - qc;
        rss += diff * diff;
    }
    for (int j = 0; j < p; ++j) {
        sx[j] = std::sqrt(aug[j][p + j] * rss / (n - p));
        EXPECT_NEAR(static_cast<double>(res.x[j + 1]), static_cast<double>(x[j]),
                    1e-12 * std::fabs(static_cast<double>(x[j])))
            << "x" << j + 1;
        EXPECT_NEAR(static_cast<double>(res.sx[j + 1]), static_cast<double>(sx[j]),
                    1e-5 * static_cast<double>(sx[j]))
            << "sigma x" << j + 1;
    }

    // Every quantity as a function of the coefficients.
    auto fromX = [&](int quantity) {
        return [&, quantity](const std::vector<long double>& xs) {
            return FromReciprocalMetric(ReciprocalMetricOf(cell.code, xs))[quantity];
        };
    };
    std::array<long double, 14> sigma{};
    for (int q = 0; q < 14; ++q)
        sigma[q] = Propagate(fromX(q), x, sx);
    const Quantities values = FromReciprocalMetric(ReciprocalMetricOf(cell.code, x));

    const bool oblique =
        cell.code == kMonoclinicBeta || cell.code == kTriclinic || cell.code == kMonoclinicGamma;
    if (oblique || cell.code == kTrigonal) {
        // The reciprocal parameters as the inputs of the volumes and the direct cell: the
        // lengths and the cosines, with the deviations just found (a cosine's σ from its
        // angle's).
        std::vector<long double> six(6), sixSd(6);
        for (int i = 0; i < 3; ++i) {
            six[i] = values[i];
            sixSd[i] = sigma[i];
            six[3 + i] = std::cos(values[3 + i] / kDegrees);
            sixSd[3 + i] = sigma[3 + i] / kDegrees * std::sin(values[3 + i] / kDegrees);
        }
        std::function<Matrix3(const std::vector<long double>&)> metric;
        std::vector<long double> inputs, inputSd;
        if (oblique) {
            metric = [](const std::vector<long double>& s) {
                return Metric(s[0], s[1], s[2], s[3], s[4], s[5]);
            };
            inputs = six;
            inputSd = sixSd;
        } else {
            metric = [](const std::vector<long double>& s) {
                return Metric(s[0], s[0], s[0], s[1], s[1], s[1]);
            };
            inputs = {six[0], six[3]};
            inputSd = {sixSd[0], sixSd[3]};
        }
        for (int q = 6; q < 14; ++q) {
            sigma[q] = Propagate(
                [&, q](const std::vector<long double>& s) {
                    return FromReciprocalMetric(metric(s))[q];
                },
                inputs, inputSd);
        }
    }

    const CellParameters* got[2] = {&res.reciprocal, &res.direct};
    const CellParameters* gotSd[2] = {&res.reciprocalSd, &res.directSd};
    for (const int q : ShownQuantities(cell.code)) {
        const long double value = (*got[q / 7])[q % 7];
        const long double sd = (*gotSd[q / 7])[q % 7];
        EXPECT_NEAR(static_cast<double>(value), static_cast<double>(values[q]),
                    1e-8 * std::fabs(static_cast<double>(values[q])))
            << kNames[q];
        ASSERT_GT(sigma[q], 0) << kNames[q];
        EXPECT_NEAR(static_cast<double>(sd), static_cast<double>(sigma[q]),
                    1e-5 * static_cast<double>(sigma[q]))
            << "sigma " << kNames[q];
    }
}

INSTANTIATE_TEST_SUITE_P(AllSystems, NoisyDeviations, ::testing::ValuesIn(kKnownCells),
                         KnownCellName);

}  // namespace
}  // namespace dorvalix
