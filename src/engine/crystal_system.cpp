// SPDX-License-Identifier: GPL-3.0-or-later
#include "crystal_system.h"

namespace dorvalix {

namespace {

const Text kNames[9] = {
    {"", ""},
    {"Cubic", "等軸晶系(立方晶系)"},
    {"Hexagonal", "六方晶系"},
    {"Tetragonal", "正方晶系"},
    {"Orthorhombic", "斜方晶系"},
    {"Monoclinic(beta<>90)", "単斜晶系(β≠90)"},
    {"Triclinic", "三斜晶系"},
    {"Monoclinic(ganma<>90)", "単斜晶系(γ≠90)"},
    {"Trigonal", "三方晶系"},
};

constexpr int kParameterCounts[9] = {0, 1, 2, 2, 3, 4, 6, 4, 2};

}  // namespace

const char* CrystalSystemName(int code, Lang lang) {
    return IsCrystalSystem(code) ? kNames[code].In(lang) : "";
}

int ParameterCount(int code) {
    return IsCrystalSystem(code) ? kParameterCounts[code] : 0;
}

IntegerDesignRow MakeIntegerDesignRow(int code, std::int32_t h32, std::int32_t k32,
                                      std::int32_t l32) {
    const std::int64_t h = h32, k = k32, l = l32;
    const std::int64_t hh = h * h, kk = k * k, ll = l * l;
    const std::int64_t hk = h * k, kl = k * l, lh = l * h;
    IntegerDesignRow e{};
    switch (code) {
        case kCubic:
            e = {hh + kk + ll};
            break;
        case kHexagonal:
            e = {hh + hk + kk, ll};
            break;
        case kTetragonal:
            e = {hh + kk, ll};
            break;
        case kOrthorhombic:
            e = {hh, kk, ll};
            break;
        case kMonoclinicBeta:
            e = {hh, kk, ll, 2 * lh};
            break;
        case kTriclinic:
            e = {hh, kk, ll, 2 * kl, 2 * lh, 2 * hk};
            break;
        case kMonoclinicGamma:
            e = {hh, kk, ll, 2 * hk};
            break;
        case kTrigonal:
            e = {hh + kk + ll, 2 * (kl + hk + lh)};
            break;
        default:
            break;
    }
    return e;
}

DesignRow MakeDesignRow(int code, std::int32_t h, std::int32_t k, std::int32_t l) {
    const IntegerDesignRow e = MakeIntegerDesignRow(code, h, k, l);
    DesignRow row{};
    for (int j = 0; j < kMaxCoefficients; ++j)
        row[j] = static_cast<long double>(e[j]);
    return row;
}

}  // namespace dorvalix
