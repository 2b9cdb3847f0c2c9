// SPDX-License-Identifier: GPL-3.0-or-later
#include "metric.h"

#include <cmath>
#include <numbers>

namespace dorvalix {

MetricMap MetricMapOf(int code) {
    MetricMap t{};
    switch (code) {
        case kCubic:
            t[0][0] = t[1][0] = t[2][0] = 1;
            break;
        case kHexagonal:
            // Q = x1·(h² + hk + k²) + x2·l²: the hk term 2·g6 is x1.
            t[0][0] = t[1][0] = 1;
            t[2][1] = 1;
            t[5][0] = 0.5L;
            break;
        case kTetragonal:
            t[0][0] = t[1][0] = 1;
            t[2][1] = 1;
            break;
        case kOrthorhombic:
            t[0][0] = t[1][1] = t[2][2] = 1;
            break;
        case kMonoclinicBeta:
            t[0][0] = t[1][1] = t[2][2] = 1;
            t[4][3] = 1;
            break;
        case kTriclinic:
            for (int j = 0; j < 6; ++j)
                t[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)] = 1;
            break;
        case kMonoclinicGamma:
            t[0][0] = t[1][1] = t[2][2] = 1;
            t[5][3] = 1;
            break;
        case kTrigonal:
            t[0][0] = t[1][0] = t[2][0] = 1;
            t[3][1] = t[4][1] = t[5][1] = 1;
            break;
        default:
            break;
    }
    return t;
}

Metric MetricOf(const MetricMap& t, const long double* x, int p) {
    Metric g{};
    for (std::size_t i = 0; i < 6; ++i) {
        for (int j = 0; j < p; ++j)
            g[i] += t[i][static_cast<std::size_t>(j)] * x[j];
    }
    return g;
}

long double MetricQ(const Metric& g, long double h, long double k, long double l) {
    return g[0] * h * h + g[1] * k * k + g[2] * l * l +
           2 * (g[3] * k * l + g[4] * l * h + g[5] * h * k);
}

namespace {

// Not constexpr: a pair of doubles (ppc64el) has no compile-time division.
const long double kDegrees = 180 / std::numbers::pi_v<long double>;

// The six independent entries m = (M11, M22, M33, M23, M31, M12) of a symmetric 3 × 3
// matrix, as indices into it.
constexpr int kRow[6] = {0, 1, 2, 1, 2, 0};
constexpr int kCol[6] = {0, 1, 2, 2, 0, 1};

using Matrix3 = std::array<std::array<long double, 3>, 3>;

Matrix3 Symmetric(const Metric& m) {
    Matrix3 s{};
    for (int e = 0; e < 6; ++e) {
        s[static_cast<std::size_t>(kRow[e])][static_cast<std::size_t>(kCol[e])] =
            m[static_cast<std::size_t>(e)];
        s[static_cast<std::size_t>(kCol[e])][static_cast<std::size_t>(kRow[e])] =
            m[static_cast<std::size_t>(e)];
    }
    return s;
}

long double Determinant(const Matrix3& s) {
    return s[0][0] * (s[1][1] * s[2][2] - s[1][2] * s[2][1]) -
           s[0][1] * (s[1][0] * s[2][2] - s[1][2] * s[2][0]) +
           s[0][2] * (s[1][0] * s[2][1] - s[1][1] * s[2][0]);
}

Matrix3 Inverse(const Matrix3& s, long double det) {
    Matrix3 inv{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            // Cofactor of (c, r) over the determinant.
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inv[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                (s[static_cast<std::size_t>(r1)][static_cast<std::size_t>(c1)] *
                     s[static_cast<std::size_t>(r2)][static_cast<std::size_t>(c2)] -
                 s[static_cast<std::size_t>(r1)][static_cast<std::size_t>(c2)] *
                     s[static_cast<std::size_t>(r2)][static_cast<std::size_t>(c1)]) /
                det;
        }
    }
    return inv;
}

// The cell of a positive-definite metric M (lengths √Mii, angles from the cosines
// Mij / √(Mii·Mjj), volume √det M) with gradients with respect to the entries m. For the
// volume, ∂√det M / ∂Mii = V·(M⁻¹)ii / 2 and, an off-diagonal entry standing twice in M,
// ∂√det M / ∂Mij = V·(M⁻¹)ij.
void CellOf(const Matrix3& m, const Matrix3& inv, long double det, CellFunctions& cell) {
    for (auto& g : cell.gradient)
        g.fill(0);
    for (int i = 0; i < 3; ++i) {
        const long double len =
            std::sqrt(m[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)]);
        cell.value[static_cast<std::size_t>(i)] = len;
        cell.gradient[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = 0.5L / len;
    }
    // Angle opposite entry e = 3, 4, 5 (α from M23, β from M31, γ from M12).
    for (int e = 3; e < 6; ++e) {
        const int i = kRow[e], j = kCol[e];
        const long double mii = m[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)];
        const long double mjj = m[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)];
        const long double root = std::sqrt(mii * mjj);
        const long double c = m[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] / root;
        const auto row = static_cast<std::size_t>(e);  // rows 3..5 of the cell
        cell.value[row] = std::acos(c) * kDegrees;
        const long double dAngle = -kDegrees / std::sqrt(1 - c * c);  // d angle / d cosine
        cell.gradient[row][static_cast<std::size_t>(e)] = dAngle / root;
        cell.gradient[row][static_cast<std::size_t>(i)] = dAngle * (-c / (2 * mii));
        cell.gradient[row][static_cast<std::size_t>(j)] = dAngle * (-c / (2 * mjj));
    }
    const long double v = std::sqrt(det);
    cell.value[6] = v;
    for (int e = 0; e < 6; ++e) {
        const long double w =
            inv[static_cast<std::size_t>(kRow[e])][static_cast<std::size_t>(kCol[e])];
        cell.gradient[6][static_cast<std::size_t>(e)] = e < 3 ? v * w / 2 : v * w;
    }
}

}  // namespace

bool CellsFromMetric(const Metric& g, CellFunctions& reciprocal, CellFunctions& direct) {
    const Matrix3 gs = Symmetric(g);
    const long double det = Determinant(gs);
    // Positive definite: leading minors positive (Sylvester's criterion).
    if (!(g[0] > 0) || !(g[0] * g[1] - g[5] * g[5] > 0) || !(det > 0) || !std::isfinite(det))
        return false;
    const Matrix3 gd = Inverse(gs, det);  // the direct metric G = (G*)⁻¹
    CellOf(gs, gd, det, reciprocal);

    // Direct cell as a function of G, then of g: ∂G/∂gk = −G·Ek·G with Ek the symmetric
    // unit matrix of entry k.
    CellFunctions inG;
    CellOf(gd, gs, 1 / det, inG);
    std::array<std::array<long double, 6>, 6> dG{};  // dG[e][k] = ∂ m_e / ∂ g_k
    for (int k = 0; k < 6; ++k) {
        const auto p = static_cast<std::size_t>(kRow[k]), q = static_cast<std::size_t>(kCol[k]);
        for (int e = 0; e < 6; ++e) {
            const auto i = static_cast<std::size_t>(kRow[e]), j = static_cast<std::size_t>(kCol[e]);
            dG[static_cast<std::size_t>(e)][static_cast<std::size_t>(k)] =
                k < 3 ? -gd[i][p] * gd[p][j] : -(gd[i][p] * gd[q][j] + gd[i][q] * gd[p][j]);
        }
    }
    direct.value = inG.value;
    for (std::size_t f = 0; f < 7; ++f) {
        for (std::size_t k = 0; k < 6; ++k) {
            long double s = 0;
            for (std::size_t e = 0; e < 6; ++e)
                s += inG.gradient[f][e] * dG[e][k];
            direct.gradient[f][k] = s;
        }
    }
    for (const long double v : direct.value) {
        if (!std::isfinite(v)) return false;
    }
    for (const long double v : reciprocal.value) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

FixedAngles FixedAnglesOf(int code) {
    FixedAngles f;
    switch (code) {
        case kCubic:
        case kTetragonal:
        case kOrthorhombic:
            f.reciprocal = {90, 90, 90};
            f.direct = {90, 90, 90};
            break;
        case kHexagonal:
            f.reciprocal = {90, 90, 60};
            f.direct = {90, 90, 120};
            break;
        case kMonoclinicBeta:
            f.reciprocal = {90, 0, 90};
            f.direct = {90, 0, 90};
            break;
        case kMonoclinicGamma:
            f.reciprocal = {90, 90, 0};
            f.direct = {90, 90, 0};
            break;
        default:
            break;
    }
    return f;
}

}  // namespace dorvalix
