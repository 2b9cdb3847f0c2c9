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

// 32-bit integer arithmetic with wrap-around, as the indices are multiplied in the
// processor's integer registers.
std::int32_t Mul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace

const char* CrystalSystemName(int code, Lang lang) {
    return IsCrystalSystem(code) ? kNames[code].In(lang) : "";
}

int ParameterCount(int code) {
    return IsCrystalSystem(code) ? kParameterCounts[code] : 0;
}

IntegerDesignRow MakeIntegerDesignRow(int code, std::int32_t h, std::int32_t k, std::int32_t l) {
    const std::int32_t hh = Mul(h, h), kk = Mul(k, k), ll = Mul(l, l);
    const std::int32_t hk = Mul(h, k), kl = Mul(k, l), lh = Mul(l, h);
    IntegerDesignRow e{};
    switch (code) {
        case kCubic:
            e = {Add(Add(hh, kk), ll)};
            break;
        case kHexagonal:
            e = {Add(Add(hh, hk), kk), ll};
            break;
        case kTetragonal:
            e = {Add(hh, kk), ll};
            break;
        case kOrthorhombic:
            e = {hh, kk, ll};
            break;
        case kMonoclinicBeta:
            e = {hh, kk, ll, Mul(2, lh)};
            break;
        case kTriclinic:
            e = {hh, kk, ll, Mul(2, kl), Mul(2, lh), Mul(2, hk)};
            break;
        case kMonoclinicGamma:
            e = {hh, kk, ll, Mul(2, hk)};
            break;
        case kTrigonal:
            e = {Add(Add(hh, kk), ll), Mul(2, Add(Add(kl, hk), lh))};
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
