// SPDX-License-Identifier: GPL-3.0-or-later
#include "deviations.h"

#include <cmath>

#include "cell.h"
#include "errors.h"

namespace dorvalix {

long double AngleFromCosine(long double c) {
    if (c == 0) return 90;
    return (1.5708L - std::atan(c / std::sqrt(std::fabs(1 - c * c)))) * 57.2958L;
}

long double RhombohedralAngle(long double u) {
    return std::atan(std::sqrt(1 - u * u) / u) * 57.29578L;
}

namespace {

// Deviation of an angle F(u) from a cosine u with deviation du.
template <class F>
long double AngleDeviation(F angle, long double u, long double du) {
    return std::fabs(angle(u + 0.0001L * du) - angle(u)) * 10000;
}

// σL = σx / (2√x) for a length L = √x.
long double LengthDeviation(long double x, long double sx) {
    return 0.5L * sx / std::sqrt(x);
}

}  // namespace

void ComputeCellDeviations(RefinementResult& result, int code) {
    // The coefficients in the general order: slot 4 = 2kl, 5 = 2lh, 6 = 2hk.
    Coefficients x = result.x;
    Coefficients sx = result.sx;
    switch (code) {
        case kMonoclinicBeta:
            x[5] = x[4];
            sx[5] = sx[4];
            x[4] = x[6] = 0;
            sx[4] = sx[6] = 0;
            break;
        case kMonoclinicGamma:
            x[6] = x[4];
            sx[6] = sx[4];
            x[4] = x[5] = 0;
            sx[4] = sx[5] = 0;
            break;
        case kTrigonal:
            x[4] = x[5] = x[6] = x[2];
            sx[4] = sx[5] = sx[6] = sx[2];
            break;
        default:
            break;
    }
    CellParameters& rc = result.reciprocal;
    CellParameters& dc = result.direct;
    CellParameters& rs = result.reciprocalSd;
    CellParameters& ds = result.directSd;
    const bool oblique = code == kMonoclinicBeta || code == kTriclinic || code == kMonoclinicGamma;

    // 1. Reciprocal lengths.
    switch (code) {
        case kCubic:
            rs.a = LengthDeviation(x[1], sx[1]);
            break;
        case kHexagonal:
        case kTetragonal:
            rs.a = LengthDeviation(x[1], sx[1]);
            rs.c = LengthDeviation(x[2], sx[2]);
            rs.b = rs.c;
            break;
        case kTrigonal:
            rs.a = LengthDeviation(x[1], sx[1]);
            rs.b = rs.c = rs.a;
            break;
        default:
            rs.a = LengthDeviation(x[1], sx[1]);
            rs.b = LengthDeviation(x[2], sx[2]);
            rs.c = LengthDeviation(x[3], sx[3]);
            break;
    }
    CheckFloatFaults();

    auto& cr = result.reciprocalCos;
    auto& scr = result.reciprocalCosSd;
    if (oblique) {
        // 2. Reciprocal cosines c = x / (L1·L2).
        auto cosine = [](const long double* p) { return p[0] / (p[1] * p[2]); };
        {
            long double p[3] = {x[4], rc.b, rc.c}, d[3] = {sx[4], rs.b, rs.c};
            scr[1] = FiniteDifferenceDeviation(cosine, p, d, 3, &cr[1]);
        }
        {
            long double p[3] = {x[5], rc.c, rc.a}, d[3] = {sx[5], rs.c, rs.a};
            scr[2] = FiniteDifferenceDeviation(cosine, p, d, 3, &cr[2]);
        }
        {
            long double p[3] = {x[6], rc.a, rc.b}, d[3] = {sx[6], rs.a, rs.b};
            scr[3] = FiniteDifferenceDeviation(cosine, p, d, 3, &cr[3]);
        }
        CheckFloatFaults();
        // 3. Reciprocal angles.
        rs.alpha = AngleDeviation(AngleFromCosine, cr[1], scr[1]);
        rs.beta = AngleDeviation(AngleFromCosine, cr[2], scr[2]);
        rs.gamma = AngleDeviation(AngleFromCosine, cr[3], scr[3]);
        CheckFloatFaults();
    }

    // 4. Rhombohedral reciprocal angle; c is the common reciprocal cosine.
    long double c = 0, sc = 0;
    if (code == kTrigonal) {
        c = x[2] / x[1];
        sc = c * std::sqrt((sx[1] / x[1]) * (sx[1] / x[1]) + (sx[2] / x[2]) * (sx[2] / x[2]));
        rs.alpha = AngleDeviation(RhombohedralAngle, c, sc);
        CheckFloatFaults();
    }

    // 5. Reciprocal volume, closed forms.
    switch (code) {
        case kCubic:
            rs.volume = 3 * (rc.a * rc.a) * rs.a;
            break;
        case kHexagonal: {
            const long double ra = rs.a / rc.a, rcc = rs.c / rc.c;
            rs.volume = rc.volume * std::sqrt(4 * (ra * ra) + rcc * rcc);
            break;
        }
        case kTetragonal: {
            const long double ra = 2 * rs.a / rc.a, rcc = rs.c / rc.c;
            rs.volume = rc.volume * std::sqrt(ra * ra + rcc * rcc);
            break;
        }
        case kOrthorhombic: {
            const long double ra = rs.a / rc.a, rb = rs.b / rc.b, rcc = rs.c / rc.c;
            rs.volume = rc.volume * std::sqrt(ra * ra + rb * rb + rcc * rcc);
            break;
        }
        default:
            break;
    }
    CheckFloatFaults();

    if (oblique) {
        // 6. Reciprocal volume from the lengths and cosines; it replaces V* and V.
        auto volume = [](const long double* p) {
            const long double ca = p[3], cb = p[4], cg = p[5];
            return p[0] * p[1] * p[2] *
                   std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
        };
        long double p[6] = {rc.a, rc.b, rc.c, cr[1], cr[2], cr[3]};
        long double d[6] = {rs.a, rs.b, rs.c, scr[1], scr[2], scr[3]};
        long double v = 0;
        rs.volume = FiniteDifferenceDeviation(volume, p, d, 6, &v);
        CheckFloatFaults();
        rc.volume = v;
        dc.volume = 1 / v;
        ds.volume = rs.volume * (dc.volume * dc.volume);
        CheckFloatFaults();
    }

    if (code == kTrigonal) {
        // 7. Rhombohedral reciprocal volume.
        auto volume = [](const long double* p) {
            const long double cc = p[1];
            return p[0] * p[0] * p[0] * std::sqrt(1 - 3 * (cc * cc) + 2 * (cc * cc * cc));
        };
        long double p[2] = {rc.a, c}, d[2] = {rs.a, sc};
        rs.volume = FiniteDifferenceDeviation(volume, p, d, 2);
        CheckFloatFaults();
    }

    // 8. Direct lengths, closed forms.
    switch (code) {
        case kCubic:
            ds.a = rs.a * (dc.a * dc.a);
            break;
        case kTetragonal:
            ds.a = rs.a * (dc.a * dc.a);
            ds.c = rs.c * (dc.c * dc.c);
            break;
        case kOrthorhombic:
            ds.a = rs.a * (dc.a * dc.a);
            ds.b = rs.b * (dc.b * dc.b);
            ds.c = rs.c * (dc.c * dc.c);
            break;
        case kHexagonal:
            ds.a = rs.a * dc.a / rc.a;
            ds.c = rs.c * dc.c / rc.c;
            break;
        default:
            break;
    }
    CheckFloatFaults();

    if (oblique) {
        // 9. Direct lengths; each axis takes the reciprocal cosines in the cyclic order that
        // starts at its own angle.
        auto length = [](const long double* p) {
            const long double u1 = p[1], u2 = p[2], u3 = p[3];
            return std::sqrt((1 - u1 * u1) / (1 - u1 * u1 - u2 * u2 - u3 * u3 + 2 * u1 * u2 * u3)) /
                   p[0];
        };
        const long double lengths[4] = {0, rc.a, rc.b, rc.c};
        const long double lengthSd[4] = {0, rs.a, rs.b, rs.c};
        long double* directSd[4] = {nullptr, &ds.a, &ds.b, &ds.c};
        for (int axis = 1; axis <= 3; ++axis) {
            const int i1 = axis, i2 = axis % 3 + 1, i3 = (axis + 1) % 3 + 1;
            long double p[4] = {lengths[axis], cr[i1], cr[i2], cr[i3]};
            long double d[4] = {lengthSd[axis], scr[i1], scr[i2], scr[i3]};
            *directSd[axis] = FiniteDifferenceDeviation(length, p, d, 4);
            CheckFloatFaults();
        }
        // 10. Direct cosines, 11. direct angles.
        auto cosine = [](const long double* p) {
            const long double u1 = p[0], u2 = p[1], u3 = p[2];
            return (u2 * u3 - u1) / std::sqrt((1 - u2 * u2) * (1 - u3 * u3));
        };
        auto& cd = result.directCos;
        auto& scd = result.directCosSd;
        for (int axis = 1; axis <= 3; ++axis) {
            const int i1 = axis, i2 = axis % 3 + 1, i3 = (axis + 1) % 3 + 1;
            long double p[3] = {cr[i1], cr[i2], cr[i3]};
            long double d[3] = {scr[i1], scr[i2], scr[i3]};
            scd[axis] = FiniteDifferenceDeviation(cosine, p, d, 3, &cd[axis]);
            CheckFloatFaults();
        }
        ds.alpha = AngleDeviation(AngleFromCosine, cd[1], scd[1]);
        ds.beta = AngleDeviation(AngleFromCosine, cd[2], scd[2]);
        ds.gamma = AngleDeviation(AngleFromCosine, cd[3], scd[3]);
        CheckFloatFaults();
    }

    if (code == kTrigonal) {
        // 12. Rhombohedral direct angle: cos α = −c / (1 + c), written (c − 1)·c / (1 − c²).
        auto cosine = [](const long double* p) { return (p[0] - 1) * p[0] / (1 - p[0] * p[0]); };
        long double p[1] = {c}, d[1] = {sc};
        long double sca = FiniteDifferenceDeviation(cosine, p, d, 1, &result.directCos[1]);
        result.directCosSd[1] = sca;
        CheckFloatFaults();
        ds.alpha = AngleDeviation(RhombohedralAngle, Cos0(dc.alpha), sca);
        CheckFloatFaults();
        // 13. Rhombohedral direct length.
        auto length = [](const long double* p) {
            const long double cc = p[1];
            return std::sqrt((1 - cc * cc) / (1 - 3 * (cc * cc) + 2 * (cc * cc * cc))) / p[0];
        };
        long double q[2] = {rc.a, c}, e[2] = {rs.a, sc};
        ds.a = FiniteDifferenceDeviation(length, q, e, 2);
        CheckFloatFaults();
    }

    // 14. Direct volume.
    if (!oblique && IsCrystalSystem(code)) {
        if (code == kTrigonal) dc.volume = 1 / rc.volume;
        ds.volume = rs.volume * (dc.volume * dc.volume);
        CheckFloatFaults();
    }
}

}  // namespace dorvalix
