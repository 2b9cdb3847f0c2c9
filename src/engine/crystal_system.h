// SPDX-License-Identifier: GPL-3.0-or-later
// The eight crystal systems: codes, names, free coefficients of the reciprocal metric.
#pragma once

#include <array>
#include <cstdint>

#include "lang.h"

namespace dorvalix {

// Codes as stored in observation files; the numbering is not the menu order.
enum CrystalSystemCode : int {
    kNoSystem = 0,
    kCubic = 1,
    kHexagonal = 2,
    kTetragonal = 3,
    kOrthorhombic = 4,
    kMonoclinicBeta = 5,
    kTriclinic = 6,
    kMonoclinicGamma = 7,
    kTrigonal = 8,
};

constexpr int kMaxCoefficients = 6;

inline bool IsCrystalSystem(int code) {
    return code >= 1 && code <= 8;
}

// Name shown in the crystal-system label; empty for a code outside 1..8.
const char* CrystalSystemName(int code, Lang lang);

// Number P of free coefficients; 0 for a code outside 1..8.
int ParameterCount(int code);

// The P design-row entries of an observation (h, k, l), as integers and then as extended
// reals. The entries are computed in 64 bits: with indices up to ±46340 (what a run takes)
// every product and sum is exact.
using DesignRow = std::array<long double, kMaxCoefficients>;
DesignRow MakeDesignRow(int code, std::int32_t h, std::int32_t k, std::int32_t l);

using IntegerDesignRow = std::array<std::int64_t, kMaxCoefficients>;
IntegerDesignRow MakeIntegerDesignRow(int code, std::int32_t h, std::int32_t k, std::int32_t l);

}  // namespace dorvalix
