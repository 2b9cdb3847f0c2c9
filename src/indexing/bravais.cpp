// SPDX-License-Identifier: GPL-3.0-or-later
#include "bravais.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "crystal_system.h"

namespace dorvalix::indexing {

namespace {

const long double kDegrees = 180 / std::numbers::pi_v<long double>;

// Non-zero primitive index triples up to ±limit, one of each ± pair.
std::vector<Hkl> PrimitiveRows(int limit) {
    std::vector<Hkl> out;
    for (int a = -limit; a <= limit; ++a)
        for (int b = -limit; b <= limit; ++b)
            for (int c = -limit; c <= limit; ++c) {
                const Hkl v{a, b, c};
                if (Gcd(v) != 1) continue;
                const int first = a != 0 ? a : (b != 0 ? b : c);
                if (first > 0) out.push_back(v);
            }
    return out;
}

int Dot(const Hkl& a, const Hkl& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Hkl Cross(const Hkl& a, const Hkl& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Hkl Add(const Hkl& a, const Hkl& b, int f = 1) {
    return {a[0] + f * b[0], a[1] + f * b[1], a[2] + f * b[2]};
}

Hkl Neg(const Hkl& a) {
    return {-a[0], -a[1], -a[2]};
}

IntMatrix3 Columns(const Hkl& a, const Hkl& b, const Hkl& c) {
    IntMatrix3 m{};
    for (std::size_t i = 0; i < 3; ++i) {
        m[i][0] = a[i];
        m[i][1] = b[i];
        m[i][2] = c[i];
    }
    return m;
}

bool AllEven(const Hkl& v) {
    return v[0] % 2 == 0 && v[1] % 2 == 0 && v[2] % 2 == 0;
}

bool AllDivisibleBy3(const Hkl& v) {
    return v[0] % 3 == 0 && v[1] % 3 == 0 && v[2] % 3 == 0;
}

struct Geometry {
    Matrix3 direct;  // G
    Metric g;        // g = G⁻¹

    long double Length(const Hkl& u) const { return DirectLength(direct, u); }
    long double Cos(const Hkl& u, const Hkl& v) const {
        return DirectDot(direct, u, v) / (Length(u) * Length(v));
    }
    // The angle between two rows, degrees.
    long double Angle(const Hkl& u, const Hkl& v) const {
        return std::acos(std::clamp(Cos(u, v), -1.0L, 1.0L)) * kDegrees;
    }
};

// The departure of a conventional metric from its system's constraints, degrees: angle
// differences, and relative length differences as angles (1 % ≈ 0.57°).
long double Deviation(const Geometry& geo, const IntMatrix3& m, int code) {
    Hkl a{m[0][0], m[1][0], m[2][0]}, b{m[0][1], m[1][1], m[2][1]}, c{m[0][2], m[1][2], m[2][2]};
    const long double la = geo.Length(a), lb = geo.Length(b), lc = geo.Length(c);
    const long double al = geo.Angle(b, c), be = geo.Angle(c, a), ga = geo.Angle(a, b);
    auto rel = [](long double x, long double y) {
        return std::fabs(x - y) / std::max(x, y) * kDegrees;
    };
    long double d = 0;
    auto angle = [&](long double v, long double ideal) { d = std::max(d, std::fabs(v - ideal)); };
    switch (code) {
        case kCubic:
            d = std::max({rel(la, lb), rel(lb, lc), rel(la, lc)});
            angle(al, 90), angle(be, 90), angle(ga, 90);
            break;
        case kTetragonal:
            d = rel(la, lb);
            angle(al, 90), angle(be, 90), angle(ga, 90);
            break;
        case kHexagonal:
            d = rel(la, lb);
            angle(al, 90), angle(be, 90), angle(ga, 120);
            break;
        case kOrthorhombic:
            angle(al, 90), angle(be, 90), angle(ga, 90);
            break;
        case kMonoclinicBeta:
            angle(al, 90), angle(ga, 90);
            break;
        default:
            break;
    }
    return d;
}

// A basis of the direct rows v with v·h = 0 (h primitive), Gauss-reduced under G: two
// vectors whose cross product is ±h.
std::optional<std::pair<Hkl, Hkl>> PlaneBasis(const Geometry& geo, const Hkl& h) {
    std::vector<std::pair<long double, Hkl>> inPlane;
    for (int a = -4; a <= 4; ++a)
        for (int b = -4; b <= 4; ++b)
            for (int c = -4; c <= 4; ++c) {
                const Hkl v{a, b, c};
                if ((a != 0 || b != 0 || c != 0) && Dot(v, h) == 0)
                    inPlane.push_back({geo.Length(v), v});
            }
    std::sort(inPlane.begin(), inPlane.end());
    for (std::size_t i = 0; i < inPlane.size(); ++i) {
        for (std::size_t j = i + 1; j < inPlane.size(); ++j) {
            const Hkl x = Cross(inPlane[i].second, inPlane[j].second);
            if (x != h && x != Neg(h)) continue;
            Hkl v1 = inPlane[i].second, v2 = inPlane[j].second;
            // Gauss reduction: v2 ← v2 − round(v1·v2 / v1·v1)·v1, until it no longer shortens.
            for (int guard = 0; guard < 20; ++guard) {
                const long double f = DirectDot(geo.direct, v1, v2) / DirectDot(geo.direct, v1, v1);
                const int r = static_cast<int>(std::lround(f));
                if (r == 0) break;
                v2 = Add(v2, v1, -r);
                if (geo.Length(v2) < geo.Length(v1)) std::swap(v1, v2);
            }
            return std::make_pair(v1, v2);
        }
    }
    return std::nullopt;
}

// Makes the basis right-handed by negating `flip` when its determinant is negative.
void RightHanded(Hkl& a, Hkl& b, Hkl& c, Hkl& flip) {
    if (Determinant(Columns(a, b, c)) < 0) flip = Neg(flip);
}

void AddForm(std::vector<LatticeForm>& out, const Geometry& geo, int code, Centring centring,
             const Hkl& a, const Hkl& b, const Hkl& c, int rank) {
    LatticeForm f;
    f.code = code;
    f.centring = centring;
    f.m = Columns(a, b, c);
    f.rank = rank;
    f.bravais = BravaisSymbol(code, centring);
    f.deviation = Deviation(geo, f.m, code);
    for (const LatticeForm& e : out)
        if (e.m == f.m && e.code == f.code) return;
    out.push_back(f);
}

void MonoclinicForms(const Geometry& geo, const std::vector<TwofoldAxis>& axes,
                     std::vector<LatticeForm>& out) {
    for (const TwofoldAxis& axis : axes) {
        const auto plane = PlaneBasis(geo, axis.h);
        if (!plane) continue;
        Hkl a = plane->first, b = axis.u, c = plane->second;
        const int n = std::abs(Determinant(Columns(a, b, c)));
        Centring centring = Centring::P;
        if (n == 2) {
            // The centring vector, in cell coordinates: C (½ ½ 0), A (0 ½ ½) or I (½ ½ ½).
            const bool cFace = AllEven(Add(a, b)), aFace = AllEven(Add(b, c));
            if (aFace) {
                std::swap(a, c);
            } else if (!cFace) {
                // I: a′ = the shorter diagonal a ± c makes it C.
                const Hkl p = Add(a, c), q = Add(a, c, -1);
                a = geo.Length(p) <= geo.Length(q) ? p : q;
                for (int guard = 0; guard < 20; ++guard) {
                    const int r = static_cast<int>(
                        std::lround(DirectDot(geo.direct, a, c) / DirectDot(geo.direct, a, a)));
                    if (r == 0) break;
                    c = Add(c, a, -r);
                }
            }
            if (!AllEven(Add(a, b))) continue;
            centring = Centring::C;
        } else if (n != 1) {
            continue;
        }
        // β obtuse, right-handed (negating b keeps the C centring).
        if (DirectDot(geo.direct, a, c) > 0) c = Neg(c);
        RightHanded(a, b, c, b);
        AddForm(out, geo, kMonoclinicBeta, centring, a, b, c, 2);
    }
}

bool Perpendicular(const Geometry& geo, const Hkl& u, const Hkl& v, long double maxDelta) {
    return std::fabs(geo.Angle(u, v) - 90) <= 2 * maxDelta;
}

bool SameLength(const Geometry& geo, const Hkl& u, const Hkl& v, long double maxDelta) {
    const long double x = geo.Length(u), y = geo.Length(v);
    return std::fabs(x - y) / std::max(x, y) * kDegrees <= 2 * maxDelta;
}

void OrthorhombicForms(const Geometry& geo, const std::vector<TwofoldAxis>& axes,
                       long double maxDelta, std::vector<LatticeForm>& out) {
    for (std::size_t i = 0; i < axes.size(); ++i)
        for (std::size_t j = i + 1; j < axes.size(); ++j)
            for (std::size_t k = j + 1; k < axes.size(); ++k) {
                Hkl u[3] = {axes[i].u, axes[j].u, axes[k].u};
                if (!Perpendicular(geo, u[0], u[1], maxDelta) ||
                    !Perpendicular(geo, u[0], u[2], maxDelta) ||
                    !Perpendicular(geo, u[1], u[2], maxDelta))
                    continue;
                const int n = std::abs(Determinant(Columns(u[0], u[1], u[2])));
                std::sort(u, u + 3, [&](const Hkl& x, const Hkl& y) {
                    return geo.Length(x) < geo.Length(y);
                });
                Centring centring = Centring::P;
                if (n == 2) {
                    if (AllEven(Add(Add(u[0], u[1]), u[2]))) {
                        centring = Centring::I;
                    } else {
                        // The centred face becomes (a, b): C.
                        if (AllEven(Add(u[1], u[2]))) {
                            std::swap(u[0], u[2]);  // A → C
                        } else if (AllEven(Add(u[0], u[2]))) {
                            std::swap(u[1], u[2]);  // B → C
                        }
                        if (!AllEven(Add(u[0], u[1]))) continue;
                        if (geo.Length(u[1]) < geo.Length(u[0])) std::swap(u[0], u[1]);
                        centring = Centring::C;
                    }
                } else if (n == 4) {
                    if (!AllEven(Add(u[0], u[1])) || !AllEven(Add(u[1], u[2]))) continue;
                    centring = Centring::F;
                } else if (n != 1) {
                    continue;
                }
                RightHanded(u[0], u[1], u[2], u[2]);
                AddForm(out, geo, kOrthorhombic, centring, u[0], u[1], u[2], 3);
            }
}

void TetragonalAndHexagonalForms(const Geometry& geo, const std::vector<TwofoldAxis>& axes,
                                 long double maxDelta, std::vector<LatticeForm>& out) {
    for (const TwofoldAxis& main : axes) {
        std::vector<Hkl> across;  // axes perpendicular to the main one
        for (const TwofoldAxis& other : axes)
            if (other.u != main.u && Perpendicular(geo, main.u, other.u, maxDelta))
                across.push_back(other.u);
        // The shortest pair at 90° (tetragonal) and at 120° (hexagonal) of equal lengths.
        std::optional<std::pair<Hkl, Hkl>> square, hexagon;
        long double squareLength = 0, hexagonLength = 0;
        for (std::size_t i = 0; i < across.size(); ++i)
            for (std::size_t j = 0; j < across.size(); ++j) {
                if (i == j || !SameLength(geo, across[i], across[j], maxDelta)) continue;
                const long double angle = geo.Angle(across[i], across[j]);
                const long double length = geo.Length(across[i]) + geo.Length(across[j]);
                if (std::fabs(angle - 90) <= 2 * maxDelta && (!square || length < squareLength)) {
                    square = std::make_pair(across[i], across[j]);
                    squareLength = length;
                }
                Hkl w = across[j];
                if (std::fabs(angle - 60) <= 2 * maxDelta) w = Neg(w);
                if (std::fabs(geo.Angle(across[i], w) - 120) <= 2 * maxDelta &&
                    (!hexagon || length < hexagonLength)) {
                    hexagon = std::make_pair(across[i], w);
                    hexagonLength = length;
                }
            }
        if (square) {
            Hkl a = square->first, b = square->second, c = main.u;
            const int n = std::abs(Determinant(Columns(a, b, c)));
            Centring centring = Centring::P;
            if (n == 2 && AllEven(Add(Add(a, b), c))) {
                centring = Centring::I;
            } else if (n != 1) {
                centring = Centring::A;  // not a conventional cell: skipped below
            }
            if (centring != Centring::A) {
                RightHanded(a, b, c, c);
                AddForm(out, geo, kTetragonal, centring, a, b, c, 4);
            }
        }
        if (hexagon) {
            Hkl a = hexagon->first, b = hexagon->second, c = main.u;
            if (std::abs(Determinant(Columns(a, b, c))) == 1) {
                RightHanded(a, b, c, c);
                AddForm(out, geo, kHexagonal, Centring::P, a, b, c, 6);
            }
        }
    }
}

void RhombohedralForms(const Geometry& geo, const std::vector<TwofoldAxis>& axes,
                       long double maxDelta, std::vector<LatticeForm>& out) {
    const std::vector<Hkl> rows = PrimitiveRows(6);
    for (std::size_t i = 0; i < axes.size(); ++i)
        for (std::size_t j = i + 1; j < axes.size(); ++j) {
            Hkl a = axes[i].u, b = axes[j].u;
            if (!SameLength(geo, a, b, maxDelta)) continue;
            const long double angle = geo.Angle(a, b);
            if (std::fabs(angle - 60) <= 2 * maxDelta) b = Neg(b);
            if (std::fabs(geo.Angle(a, b) - 120) > 2 * maxDelta) continue;
            // The threefold axis: the shortest direct row along the normal of the plane (a, b),
            // whose reciprocal row is a × b.
            Hkl normal = Cross(a, b);
            const int d = Gcd(normal);
            if (d == 0) continue;
            normal = {normal[0] / d, normal[1] / d, normal[2] / d};
            const long double reciprocalLength = std::sqrt(std::max(QOf(geo.g, normal), 0.0L));
            std::optional<Hkl> c;
            for (const Hkl& u : rows) {
                const long double cosine = std::fabs(static_cast<long double>(Dot(u, normal))) /
                                           (geo.Length(u) * reciprocalLength);
                if (std::acos(std::min(cosine, 1.0L)) * kDegrees > maxDelta) continue;
                if (!c || geo.Length(u) < geo.Length(*c)) c = u;
            }
            if (!c) continue;
            Hkl cc = *c;
            if (std::abs(Determinant(Columns(a, b, cc))) != 3) continue;
            RightHanded(a, b, cc, cc);
            // Obverse: (2/3, 1/3, 1/3) a lattice vector; the reverse setting turns into it by
            // a half turn about c.
            if (!AllDivisibleBy3(Add(Add(a, a), Add(b, cc)))) {
                a = Neg(a);
                b = Neg(b);
            }
            if (!AllDivisibleBy3(Add(Add(a, a), Add(b, cc)))) continue;
            AddForm(out, geo, kHexagonal, Centring::R, a, b, cc, 5);
        }
}

void CubicForms(const Geometry& geo, const std::vector<TwofoldAxis>& axes, long double maxDelta,
                std::vector<LatticeForm>& out) {
    std::optional<std::array<Hkl, 3>> best;
    long double bestLength = 0;
    for (std::size_t i = 0; i < axes.size(); ++i)
        for (std::size_t j = i + 1; j < axes.size(); ++j)
            for (std::size_t k = j + 1; k < axes.size(); ++k) {
                const Hkl &a = axes[i].u, &b = axes[j].u, &c = axes[k].u;
                if (!Perpendicular(geo, a, b, maxDelta) || !Perpendicular(geo, a, c, maxDelta) ||
                    !Perpendicular(geo, b, c, maxDelta) || !SameLength(geo, a, b, maxDelta) ||
                    !SameLength(geo, a, c, maxDelta))
                    continue;
                const long double length = geo.Length(a) + geo.Length(b) + geo.Length(c);
                if (!best || length < bestLength) {
                    best = std::array<Hkl, 3>{a, b, c};
                    bestLength = length;
                }
            }
    if (!best) return;
    Hkl a = (*best)[0], b = (*best)[1], c = (*best)[2];
    const int n = std::abs(Determinant(Columns(a, b, c)));
    Centring centring;
    if (n == 1) {
        centring = Centring::P;
    } else if (n == 2 && AllEven(Add(Add(a, b), c))) {
        centring = Centring::I;
    } else if (n == 4 && AllEven(Add(a, b)) && AllEven(Add(b, c))) {
        centring = Centring::F;
    } else {
        return;
    }
    RightHanded(a, b, c, c);
    AddForm(out, geo, kCubic, centring, a, b, c, 7);
}

}  // namespace

std::vector<TwofoldAxis> TwofoldAxes(const Metric& g, long double maxDelta) {
    std::vector<TwofoldAxis> out;
    const auto direct = Inverted(g);
    if (!direct) return out;
    const Matrix3 gd = MatrixOf(*direct);
    const std::vector<Hkl> rows = PrimitiveRows(2);
    for (const Hkl& u : rows) {
        const long double lu = DirectLength(gd, u);
        std::optional<TwofoldAxis> best;
        for (const Hkl& h : rows) {
            const int dot = std::abs(Dot(u, h));
            if (dot != 1 && dot != 2) continue;
            const long double lh = std::sqrt(std::max(QOf(g, h), 0.0L));
            const long double cosine = std::min(1.0L, dot / (lu * lh));
            const long double delta = std::acos(cosine) * kDegrees;
            if (delta <= maxDelta && (!best || delta < best->delta))
                best = TwofoldAxis{u, h, delta};
        }
        if (best) out.push_back(*best);
    }
    return out;
}

std::vector<LatticeForm> ConventionalForms(const Metric& g, long double maxDelta) {
    std::vector<LatticeForm> out;
    LatticeForm triclinic;
    out.push_back(triclinic);
    const auto direct = Inverted(g);
    if (!direct) return out;
    const Geometry geo{MatrixOf(*direct), g};
    const std::vector<TwofoldAxis> axes = TwofoldAxes(g, maxDelta);
    MonoclinicForms(geo, axes, out);
    OrthorhombicForms(geo, axes, maxDelta, out);
    TetragonalAndHexagonalForms(geo, axes, maxDelta, out);
    RhombohedralForms(geo, axes, maxDelta, out);
    CubicForms(geo, axes, maxDelta, out);
    return out;
}

std::string BravaisSymbol(int code, Centring centring) {
    char family = 'a';
    switch (code) {
        case kCubic:
            family = 'c';
            break;
        case kHexagonal:
            family = 'h';
            break;
        case kTrigonal:
            return "hR";
        case kTetragonal:
            family = 't';
            break;
        case kOrthorhombic:
            family = 'o';
            break;
        case kMonoclinicBeta:
        case kMonoclinicGamma:
            family = 'm';
            break;
        default:
            family = 'a';
            break;
    }
    char letter = CentringLetter(centring);
    if (family == 'm' && letter != 'P') letter = 'C';
    if (family == 'o' && (letter == 'A' || letter == 'B')) letter = 'C';
    return std::string(1, family) + letter;
}

int RankOfBravais(std::string_view symbol) {
    if (symbol.size() != 2) return 0;
    switch (symbol[0]) {
        case 'c':
            return 7;
        case 'h':
            return symbol[1] == 'R' ? 5 : 6;
        case 't':
            return 4;
        case 'o':
            return 3;
        case 'm':
            return 2;
        case 'a':
            return 1;
        default:
            return 0;
    }
}

}  // namespace dorvalix::indexing
