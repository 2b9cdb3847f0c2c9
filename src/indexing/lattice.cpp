// SPDX-License-Identifier: GPL-3.0-or-later
#include "lattice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace dorvalix::indexing {

namespace {

// Entry e of a Metric is the matrix element (kRow[e], kCol[e]).
constexpr int kRow[6] = {0, 1, 2, 1, 2, 0};
constexpr int kCol[6] = {0, 1, 2, 2, 0, 1};

long double Radians(long double degrees) {
    return degrees * (std::numbers::pi_v<long double> / 180);
}

}  // namespace

Matrix3 MatrixOf(const Metric& m) {
    Matrix3 s{};
    for (int e = 0; e < 6; ++e) {
        const auto i = static_cast<std::size_t>(kRow[e]), j = static_cast<std::size_t>(kCol[e]);
        s[i][j] = s[j][i] = m[static_cast<std::size_t>(e)];
    }
    return s;
}

Metric MetricOfMatrix(const Matrix3& s) {
    Metric m{};
    for (int e = 0; e < 6; ++e) {
        const auto i = static_cast<std::size_t>(kRow[e]), j = static_cast<std::size_t>(kCol[e]);
        // The mean of the two entries keeps a matrix that rounding made slightly
        // unsymmetric a metric.
        m[static_cast<std::size_t>(e)] = (s[i][j] + s[j][i]) / 2;
    }
    return m;
}

long double Determinant(const Matrix3& s) {
    return s[0][0] * (s[1][1] * s[2][2] - s[1][2] * s[2][1]) -
           s[0][1] * (s[1][0] * s[2][2] - s[1][2] * s[2][0]) +
           s[0][2] * (s[1][0] * s[2][1] - s[1][1] * s[2][0]);
}

std::optional<Matrix3> Inverse(const Matrix3& s) {
    const long double det = Determinant(s);
    long double scale = 0;
    for (const auto& row : s)
        for (const long double v : row)
            scale = std::max(scale, std::fabs(v));
    if (!std::isfinite(det) || scale == 0 || std::fabs(det) <= 1e-15L * scale * scale * scale)
        return std::nullopt;
    Matrix3 inv{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const auto r1 = static_cast<std::size_t>((c + 1) % 3),
                       r2 = static_cast<std::size_t>((c + 2) % 3),
                       c1 = static_cast<std::size_t>((r + 1) % 3),
                       c2 = static_cast<std::size_t>((r + 2) % 3);
            inv[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                (s[r1][c1] * s[r2][c2] - s[r1][c2] * s[r2][c1]) / det;
        }
    }
    return inv;
}

int Determinant(const IntMatrix3& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

IntMatrix3 Multiply(const IntMatrix3& a, const IntMatrix3& b) {
    IntMatrix3 r{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            for (std::size_t k = 0; k < 3; ++k)
                r[i][j] += a[i][k] * b[k][j];
    return r;
}

std::optional<IntMatrix3> InverseUnimodular(const IntMatrix3& m) {
    const int det = Determinant(m);
    if (det != 1 && det != -1) return std::nullopt;
    IntMatrix3 inv{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const auto r1 = static_cast<std::size_t>((c + 1) % 3),
                       r2 = static_cast<std::size_t>((c + 2) % 3),
                       c1 = static_cast<std::size_t>((r + 1) % 3),
                       c2 = static_cast<std::size_t>((r + 2) % 3);
            inv[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) * det;
        }
    }
    return inv;
}

Matrix3 DirectMetricOf(const Cell& cell) {
    const long double ca = std::cos(Radians(cell.alpha)), cb = std::cos(Radians(cell.beta)),
                      cg = std::cos(Radians(cell.gamma));
    Matrix3 g{};
    g[0][0] = cell.a * cell.a;
    g[1][1] = cell.b * cell.b;
    g[2][2] = cell.c * cell.c;
    g[0][1] = g[1][0] = cell.a * cell.b * cg;
    g[0][2] = g[2][0] = cell.a * cell.c * cb;
    g[1][2] = g[2][1] = cell.b * cell.c * ca;
    return g;
}

std::optional<Metric> ReciprocalMetricOf(const Cell& cell) {
    return Inverted(MetricOfMatrix(DirectMetricOf(cell)));
}

bool IsPositiveDefinite(const Metric& m) {
    // Sylvester's criterion on the leading minors.
    const long double det = Determinant(MatrixOf(m));
    return m[0] > 0 && m[0] * m[1] - m[5] * m[5] > 0 && det > 0 && std::isfinite(det);
}

std::optional<Metric> Inverted(const Metric& m) {
    if (!IsPositiveDefinite(m)) return std::nullopt;
    const auto inv = Inverse(MatrixOf(m));
    if (!inv) return std::nullopt;
    return MetricOfMatrix(*inv);
}

std::optional<Cell> CellOf(const Metric& g) {
    const auto gd = Inverted(g);
    if (!gd) return std::nullopt;
    const Metric& d = *gd;
    Cell cell;
    cell.a = std::sqrt(d[0]);
    cell.b = std::sqrt(d[1]);
    cell.c = std::sqrt(d[2]);
    const long double toDegrees = 180 / std::numbers::pi_v<long double>;
    auto angle = [&](long double dot, long double x, long double y) {
        return std::acos(std::clamp(dot / (x * y), -1.0L, 1.0L)) * toDegrees;
    };
    cell.alpha = angle(d[3], cell.b, cell.c);
    cell.beta = angle(d[4], cell.c, cell.a);
    cell.gamma = angle(d[5], cell.a, cell.b);
    return cell;
}

long double VolumeOf(const Metric& g) {
    if (!IsPositiveDefinite(g)) return 0;
    return 1 / std::sqrt(Determinant(MatrixOf(g)));
}

std::optional<Metric> TransformedMetric(const Metric& g, const IntMatrix3& m) {
    const auto gd = Inverted(g);
    if (!gd) return std::nullopt;
    const Matrix3 s = MatrixOf(*gd);
    Matrix3 t{};  // MᵀGM
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            long double v = 0;
            for (std::size_t p = 0; p < 3; ++p)
                for (std::size_t q = 0; q < 3; ++q)
                    v += m[p][i] * s[p][q] * m[q][j];
            t[i][j] = v;
        }
    }
    return Inverted(MetricOfMatrix(t));
}

Hkl TransformedIndices(const IntMatrix3& m, const Hkl& h) {
    Hkl r{};
    for (std::size_t j = 0; j < 3; ++j)
        r[j] = m[0][j] * h[0] + m[1][j] * h[1] + m[2][j] * h[2];
    return r;
}

std::optional<Metric> PrimitiveOf(const Metric& g, Centring centring) {
    // Bases (columns) of the allowed reflections: C h + k even, A k + l, B h + l, I h + k + l,
    // F both C and A, R −h + k + l ≡ 0 (mod 3).
    IntMatrix3 h = kIdentity;
    switch (centring) {
        case Centring::P:
            break;
        case Centring::C:
            h = {{{1, 1, 0}, {-1, 1, 0}, {0, 0, 1}}};
            break;
        case Centring::A:
            h = {{{1, 0, 0}, {0, 1, 1}, {0, -1, 1}}};
            break;
        case Centring::B:
            h = {{{1, 1, 0}, {0, 0, 1}, {-1, 1, 0}}};
            break;
        case Centring::I:
            h = {{{1, 1, 0}, {1, 0, 1}, {0, 1, 1}}};
            break;
        case Centring::F:
            h = {{{1, 1, 1}, {1, 1, -1}, {1, -1, 1}}};
            break;
        case Centring::R:
            h = {{{1, 1, 0}, {1, 0, 0}, {0, 1, 3}}};  // columns (1 1 0), (1 0 1), (0 0 3)
            break;
    }
    const Matrix3 m = MatrixOf(g);
    Matrix3 t{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            for (std::size_t p = 0; p < 3; ++p)
                for (std::size_t q = 0; q < 3; ++q)
                    t[i][j] += h[p][i] * m[p][q] * h[q][j];
    const Metric out = MetricOfMatrix(t);
    if (!IsPositiveDefinite(out)) return std::nullopt;
    return out;
}

std::vector<Reflection> ReflectionsOf(const Metric& g, long double qMax, Centring centring,
                                      long long maxTriples) {
    std::vector<Reflection> out;
    const auto gd = Inverted(g);
    if (!gd || !(qMax > 0)) return out;
    // |h| = |a·d*| ≤ a·√Q, and so for k and l.
    const long double root = std::sqrt(qMax);
    long long lim[3];
    for (std::size_t i = 0; i < 3; ++i) {
        const long double bound = std::floor(std::sqrt((*gd)[i]) * root);
        if (!(bound < 1e5L)) return out;
        lim[i] = static_cast<long long>(bound);
    }
    if ((2 * lim[0] + 1) * (2 * lim[1] + 1) * (2 * lim[2] + 1) / 2 > maxTriples) return out;
    const long double edge = qMax * (1 + 1e-12L);
    for (long long h = 0; h <= lim[0]; ++h) {
        for (long long k = h == 0 ? 0 : -lim[1]; k <= lim[1]; ++k) {
            const auto hd = static_cast<long double>(h), kd = static_cast<long double>(k);
            const long double c0 = g[0] * hd * hd + g[1] * kd * kd + 2 * g[5] * hd * kd;
            const long double c1 = 2 * (g[3] * kd + g[4] * hd);
            for (long long l = h == 0 && k == 0 ? 1 : -lim[2]; l <= lim[2]; ++l) {
                const auto ld = static_cast<long double>(l);
                const long double q = c0 + ld * (c1 + g[2] * ld);
                if (q <= edge && q > 0 && AllowedByCentring(centring, h, k, l)) {
                    out.push_back(
                        {q, {static_cast<int>(h), static_cast<int>(k), static_cast<int>(l)}});
                }
            }
        }
    }
    std::sort(out.begin(), out.end(), [](const Reflection& x, const Reflection& y) {
        if (x.q != y.q) return x.q < y.q;
        return x.hkl < y.hkl;
    });
    return out;
}

int DistinctQUpTo(const std::vector<Reflection>& sorted, long double qLimit) {
    int count = 0;
    long double last = 0;
    for (const Reflection& r : sorted) {
        if (r.q > qLimit) break;
        if (count == 0 || r.q - last > 1e-9L * r.q) ++count;
        last = r.q;
    }
    return count;
}

long double DirectDot(const Matrix3& gd, const Hkl& u, const Hkl& v) {
    long double s = 0;
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            s += u[i] * gd[i][j] * v[j];
    return s;
}

long double DirectLength(const Matrix3& gd, const Hkl& u) {
    return std::sqrt(std::max(DirectDot(gd, u, u), 0.0L));
}

int Gcd(int a, int b) {
    a = std::abs(a);
    b = std::abs(b);
    while (b != 0) {
        const int t = a % b;
        a = b;
        b = t;
    }
    return a;
}

int Gcd(const Hkl& h) {
    return Gcd(Gcd(h[0], h[1]), h[2]);
}

}  // namespace dorvalix::indexing
