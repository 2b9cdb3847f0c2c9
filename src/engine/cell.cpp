// SPDX-License-Identifier: GPL-3.0-or-later
#include "cell.h"

#include <cmath>

#include "errors.h"

namespace dorvalix {

namespace {
constexpr long double kRangeReductionLimit = 9223372036854775808.0L;  // 2^63
}

long double Sin0(long double x) {
    return std::fabs(x) >= kRangeReductionLimit ? 0 : std::sin(x);
}
long double Cos0(long double x) {
    return std::fabs(x) >= kRangeReductionLimit ? 0 : std::cos(x);
}

long double Acos0(long double u) {
    long double r = std::atan2(std::sqrt(1 - u * u) / u, 1.0L);
    if (r < 0) r += kPi0;
    CheckFloatFaults();
    return r;
}

namespace {

long double Root(long double v) {
    const long double r = std::sqrt(v);
    CheckFloatFaults();
    return r;
}

}  // namespace

void ComputeReciprocalCell(int code, const Coefficients& x, CellParameters& rc) {
    rc.alpha = rc.beta = rc.gamma = kPi0 / 2;
    switch (code) {
        case kCubic:
            rc.a = Root(x[1]);
            rc.b = rc.c = rc.a;
            break;
        case kHexagonal:
            rc.a = Root(x[1]);
            rc.b = rc.a;
            rc.c = Root(x[2]);
            rc.gamma = kPi0 / 3;
            break;
        case kTetragonal:
            rc.a = Root(x[1]);
            rc.b = rc.a;
            rc.c = Root(x[2]);
            break;
        case kOrthorhombic:
        case kMonoclinicBeta:
        case kTriclinic:
        case kMonoclinicGamma:
            rc.a = Root(x[1]);
            rc.b = Root(x[2]);
            rc.c = Root(x[3]);
            if (code == kMonoclinicBeta) rc.beta = Acos0(x[4] / (rc.c * rc.a));
            if (code == kMonoclinicGamma) rc.gamma = Acos0(x[4] / (rc.a * rc.b));
            if (code == kTriclinic) {
                rc.alpha = Acos0(x[4] / (rc.b * rc.c));
                rc.beta = Acos0(x[5] / (rc.c * rc.a));
                rc.gamma = Acos0(x[6] / (rc.a * rc.b));
            }
            break;
        case kTrigonal:
            rc.a = Root(x[1]);
            rc.b = rc.c = rc.a;
            rc.alpha = Acos0(x[2] / (rc.a * rc.a));
            rc.beta = rc.gamma = rc.alpha;
            break;
        default:
            break;
    }
    const long double ca = Cos0(rc.alpha), cb = Cos0(rc.beta), cg = Cos0(rc.gamma);
    const long double radicand = ((1 - ca * ca) - cb * cb) - cg * cg + (2 * ca) * cb * cg;
    rc.volume = Root(radicand) * ((rc.a * rc.b) * rc.c);
    CheckFloatFaults();
}

void ComputeDirectCell(const CellParameters& rc, CellParameters& dc) {
    const long double sa = Sin0(rc.alpha), sb = Sin0(rc.beta), sg = Sin0(rc.gamma);
    const long double ca = Cos0(rc.alpha), cb = Cos0(rc.beta), cg = Cos0(rc.gamma);
    dc.a = sa * (rc.b * rc.c) / rc.volume;
    dc.b = sb * (rc.c * rc.a) / rc.volume;
    dc.c = sg * (rc.a * rc.b) / rc.volume;
    CheckFloatFaults();
    // Each direct angle is the inverse cosine written through the inverse sine.
    auto angle = [](long double t) {
        const long double r = kPi0 / 2 - std::atan2(t / std::sqrt(1 - t * t), 1.0L);
        CheckFloatFaults();
        return r;
    };
    dc.alpha = angle((cb * cg - ca) / (sb * sg));
    dc.beta = angle((cg * ca - cb) / (sg * sa));
    dc.gamma = angle((ca * cb - cg) / (sa * sb));
    dc.volume = 1 / rc.volume;
    CheckFloatFaults();
}

}  // namespace dorvalix
