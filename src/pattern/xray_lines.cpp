// SPDX-License-Identifier: GPL-3.0-or-later
#include "xray_lines.h"

namespace dorvalix {

// Each value is the extended number nearest to the decimal. Cr, Fe and Mo: International
// Tables for Crystallography Vol. C (2006), Table 4.2.2.1 (Hölzer et al. 1997 for Cr and Fe,
// Deslattes et al. 2003 for Mo), to the sixth decimal.
const std::array<XrayLine, 8> kXrayLines = {{
    {"Cu-Ka", 1.540593L, 1.544414L},
    {"Cu-Ka1", 1.540593L, 0},
    {"Fe-Ka", 1.936041L, 1.939973L},
    {"Fe-Ka1", 1.936041L, 0},
    {"Cr-Ka", 2.289726L, 2.293651L},
    {"Cr-Ka1", 2.289726L, 0},
    {"Mo-Ka", 0.709317L, 0.713607L},
    {"Mo-Ka1", 0.709317L, 0},
}};

const XrayLine* FindXrayLine(std::string_view name) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (const XrayLine& line : kXrayLines) {
        const std::string_view candidate = line.name;
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = lower(candidate[i]) == lower(name[i]);
        if (same) return &line;
    }
    return nullptr;
}

Wavelengths WavelengthsOf(const XrayLine& line) {
    Wavelengths w;
    w.ka1 = line.ka1;
    if (line.ka2 > 0) {
        w.ka2 = line.ka2;
        w.ratio = kStartRatio;
    }
    return w;
}

Wavelengths SingleLine(long double wavelength) {
    Wavelengths w;
    w.ka1 = wavelength;
    return w;
}

}  // namespace dorvalix
