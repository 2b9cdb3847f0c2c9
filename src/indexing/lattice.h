// SPDX-License-Identifier: GPL-3.0-or-later
// Lattices for indexing: cells, metrics, changes of basis, reflections of a metric.
//
// A lattice is held by its reciprocal metric g = (a*², b*², c*², b*c*·cos α*, c*a*·cos β*,
// a*b*·cos γ*) of analysis/metric.h, so that Q(hkl) = 1/d² is linear in it. A change of
// basis is an integer matrix whose columns are the new direct basis vectors in the old ones:
// a′ⱼ = Σᵢ M[i][j]·aᵢ; then G′ = MᵀGM for the direct metric and h′ = Mᵀh for the indices.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "centring.h"
#include "metric.h"

namespace dorvalix::indexing {

// A direct cell: lengths in Å, angles in degrees.
struct Cell {
    long double a = 0, b = 0, c = 0, alpha = 90, beta = 90, gamma = 90;
};

using Matrix3 = std::array<std::array<long double, 3>, 3>;
using IntMatrix3 = std::array<std::array<int, 3>, 3>;
using Hkl = std::array<int, 3>;

inline constexpr IntMatrix3 kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// The symmetric matrix of a metric and back (entries in the order of Metric).
Matrix3 MatrixOf(const Metric& m);
Metric MetricOfMatrix(const Matrix3& s);

long double Determinant(const Matrix3& s);
// Empty when the matrix is singular to the working precision.
std::optional<Matrix3> Inverse(const Matrix3& s);

int Determinant(const IntMatrix3& m);
IntMatrix3 Multiply(const IntMatrix3& a, const IntMatrix3& b);
// The inverse of a unimodular matrix (determinant ±1); empty otherwise.
std::optional<IntMatrix3> InverseUnimodular(const IntMatrix3& m);

// The direct metric G of a cell and its reciprocal metric g = G⁻¹.
Matrix3 DirectMetricOf(const Cell& cell);
std::optional<Metric> ReciprocalMetricOf(const Cell& cell);

// G = g⁻¹ as a metric, and back; empty when not positive definite.
std::optional<Metric> Inverted(const Metric& m);
bool IsPositiveDefinite(const Metric& m);

// The direct cell of a reciprocal metric; empty when g is not positive definite.
std::optional<Cell> CellOf(const Metric& g);
// The direct cell's volume 1/√det g in Å³; 0 when g is not positive definite.
long double VolumeOf(const Metric& g);

// The reciprocal metric after the change of direct basis M (columns: new basis vectors).
std::optional<Metric> TransformedMetric(const Metric& g, const IntMatrix3& m);
// The indices of a reflection in the new basis: h′ = Mᵀh.
Hkl TransformedIndices(const IntMatrix3& m, const Hkl& h);

// The reciprocal metric of the primitive lattice of a centred cell: the reciprocal lattice
// of the reflections the centring allows (R: obverse, on hexagonal axes).
std::optional<Metric> PrimitiveOf(const Metric& g, Centring centring);

// Q of (h, k, l).
inline long double QOf(const Metric& g, const Hkl& h) {
    return MetricQ(g, h[0], h[1], h[2]);
}

// A calculated reflection: Q and one index triple (one of each Friedel pair).
struct Reflection {
    long double q = 0;
    Hkl hkl{};
};

// Every reflection (h, k, l) ≠ 0 with Q ≤ qMax that the centring allows, one of each
// Friedel pair, sorted by Q and then by index. Empty when g is no cell or when the index
// box would hold more than `maxTriples` triples.
std::vector<Reflection> ReflectionsOf(const Metric& g, long double qMax, Centring centring,
                                      long long maxTriples = 4'000'000);

// The number of distinct Q (relative separation above 10⁻⁹, as the figures of merit count)
// among the first reflections up to qLimit.
int DistinctQUpTo(const std::vector<Reflection>& sorted, long double qLimit);

// Scalar product and length of direct lattice vectors under the direct metric G.
long double DirectLength(const Matrix3& gDirect, const Hkl& u);
long double DirectDot(const Matrix3& gDirect, const Hkl& u, const Hkl& v);

int Gcd(int a, int b);
// The greatest common divisor of the three indices (0 for (0, 0, 0)).
int Gcd(const Hkl& h);

}  // namespace dorvalix::indexing
