// SPDX-License-Identifier: GPL-3.0-or-later
// One known cell for each crystal system, for the tests that run once per system.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <ostream>
#include <string>

#include "crystal_system.h"
#include "lang.h"
#include "numtext.h"

namespace dorvalix {

struct KnownCell {
    int code;
    long double a, b, c, alpha, beta, gamma;  // Å and degrees
};

inline constexpr std::array<KnownCell, 8> kKnownCells = {{
    {kCubic, 5.431L, 5.431L, 5.431L, 90, 90, 90},
    {kHexagonal, 3.2L, 3.2L, 5.2L, 90, 90, 120},
    {kTetragonal, 4.5L, 4.5L, 3.1L, 90, 90, 90},
    {kOrthorhombic, 5.1L, 6.2L, 7.3L, 90, 90, 90},
    {kMonoclinicBeta, 9.75L, 8.93L, 5.25L, 90, 105.8L, 90},
    {kTriclinic, 7.1L, 8.2L, 9.3L, 80, 95, 105},
    {kMonoclinicGamma, 6.1L, 7.2L, 8.3L, 90, 90, 100},
    {kTrigonal, 5.0L, 5.0L, 5.0L, 75, 75, 75},
}};

// A failing case shows its cell, not the bytes of the structure.
inline void PrintTo(const KnownCell& cell, std::ostream* os) {
    *os << CrystalSystemName(cell.code, Lang::English) << " " << FormatGeneral(cell.a) << " "
        << FormatGeneral(cell.b) << " " << FormatGeneral(cell.c) << " " << FormatGeneral(cell.alpha)
        << " " << FormatGeneral(cell.beta) << " " << FormatGeneral(cell.gamma);
}

// Test cases are named after their system ("Monoclinic_beta_90_"), so the list stays
// readable.
inline std::string KnownCellName(const ::testing::TestParamInfo<KnownCell>& info) {
    std::string name = CrystalSystemName(info.param.code, Lang::English);
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

}  // namespace dorvalix
