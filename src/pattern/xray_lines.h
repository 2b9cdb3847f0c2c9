// SPDX-License-Identifier: GPL-3.0-or-later
// The named X-ray lines of the peak fit. "Cu-Ka" is the Kα1/Kα2 doublet, whose intensity
// ratio the fit refines from 0.5; "Cu-Ka1" and a typed wavelength are a single line. (The hkl
// table keeps its own average Kα values for d and 2θ.)
#pragma once

#include <array>
#include <string_view>

#include "pattern.h"

namespace dorvalix {

struct XrayLine {
    const char* name;
    long double ka1;  // Å
    long double ka2;  // Å; 0 for a single line
};

// Cu: 1.540593 and 1.544414 Å; Cr, Fe and Mo: International Tables for Crystallography
// Vol. C, Table 4.2.2.1.
extern const std::array<XrayLine, 8> kXrayLines;

// The Kα2/Kα1 intensity ratio the fit starts from when the file does not state it.
inline constexpr long double kStartRatio = 0.5L;

// The line of that name (letter case ignored), or nullptr.
const XrayLine* FindXrayLine(std::string_view name);

// The line as the fit's wavelengths: a doublet starts from kStartRatio.
Wavelengths WavelengthsOf(const XrayLine& line);

// A typed wavelength: one line.
Wavelengths SingleLine(long double wavelength);

}  // namespace dorvalix
