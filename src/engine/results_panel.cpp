// SPDX-License-Identifier: GPL-3.0-or-later
#include "results_panel.h"

#include "crystal_system.h"
#include "numtext.h"

namespace dorvalix {

const std::array<Text, 7> kReciprocalRowLabels = {{
    {"   a*  ", "   a*  "},
    {"   b*  ", "   b*  "},
    {"   c*  ", "   c*  "},
    {"  alfa*  ", "  α*  "},
    {"  beta*  ", "  β*  "},
    {"  ganma*  ", "  γ*  "},
    {"   V*  ", "   V*  "},
}};

const std::array<Text, 7> kDirectRowLabels = {{
    {"    a  ", "    a  "},
    {"    b  ", "    b  "},
    {"    c  ", "    c  "},
    {"   alfa  ", "   α  "},
    {"   beta  ", "   β  "},
    {"   ganma ", "   γ  "},
    {"    V  ", "    V  "},
}};

void SetPanelRowLabels(ResultsPanel& panel, Lang lang) {
    for (int r = 0; r < 7; ++r) {
        panel.reciprocal[static_cast<std::size_t>(r)][0] =
            kReciprocalRowLabels[static_cast<std::size_t>(r)].In(lang);
        panel.direct[static_cast<std::size_t>(r)][0] =
            kDirectRowLabels[static_cast<std::size_t>(r)].In(lang);
    }
}

void ClearResultsPanel(ResultsPanel& panel) {
    for (int r = 0; r < 7; ++r) {
        for (int c = 1; c <= 2; ++c) {
            panel.reciprocal[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = "  ";
            panel.direct[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = "  ";
        }
    }
    panel.residual.clear();
}

void MaskFixedRow(ResultsPanel& panel, int row) {
    auto& rr = panel.reciprocal[static_cast<std::size_t>(row)];
    auto& dr = panel.direct[static_cast<std::size_t>(row)];
    rr[1] = rr[2] = dr[1] = dr[2] = kMaskedCell;
}

std::string ResidualText(long double residual) {
    return FormatF(residual, 8);
}

namespace {

// Rows the crystal system fixes, per code; -1 ends a list.
constexpr int kMaskedRows[9][6] = {
    {-1},                 // none chosen
    {1, 2, 3, 4, 5, -1},  // cubic
    {1, 3, 4, 5, -1},     // hexagonal
    {1, 3, 4, 5, -1},     // tetragonal
    {3, 4, 5, -1},        // orthorhombic
    {3, 5, -1},           // monoclinic, beta free
    {-1},                 // triclinic
    {3, 4, -1},           // monoclinic, gamma free
    {1, 2, 4, 5, -1},     // trigonal
};

}  // namespace

void FillResultsPanel(ResultsPanel& panel, RefinementResult& result, int code) {
    CellParameters& rc = result.reciprocal;
    CellParameters& dc = result.direct;
    for (long double* angle : {&rc.alpha, &rc.beta, &rc.gamma, &dc.alpha, &dc.beta, &dc.gamma}) {
        *angle = *angle * 180 / kPi0;
    }
    auto& g2 = panel.reciprocal;
    auto& g3 = panel.direct;
    for (int r = 0; r < 7; ++r) {
        g2[static_cast<std::size_t>(r)][1] = "  " + FormatF(rc[r], 6);
        g2[static_cast<std::size_t>(r)][2] = " " + FormatF(result.reciprocalSd[r], 6);
    }
    // Reciprocal angles: three characters before the point.
    for (int r = 3; r <= 5; ++r) {
        const long double v = rc[r];
        const char* lead = v >= 100 ? "" : v >= 10 ? " " : "  ";
        g2[static_cast<std::size_t>(r)][1] = lead + FormatF(v, 3) + "   ";
        g2[static_cast<std::size_t>(r)][2] = " " + FormatF(result.reciprocalSd[r], 3) + "   ";
    }
    // Direct lengths: two characters before the point.
    for (int r = 0; r <= 2; ++r) {
        const long double v = dc[r];
        g3[static_cast<std::size_t>(r)][1] = (v >= 10 ? "   " : "    ") + FormatF(v, 5) + " ";
        g3[static_cast<std::size_t>(r)][2] = "  " + FormatF(result.directSd[r], 5) + " ";
    }
    // Direct angles and volume: four characters before the point.
    for (int r = 3; r <= 6; ++r) {
        const long double v = dc[r];
        const char* lead = v >= 1000 ? " " : v >= 100 ? "  " : "   ";
        g3[static_cast<std::size_t>(r)][1] = lead + FormatF(v, 3) + "   ";
        g3[static_cast<std::size_t>(r)][2] = " " + FormatF(result.directSd[r], 3) + "   ";
    }
    if (IsCrystalSystem(code)) {
        for (const int* row = kMaskedRows[code]; *row >= 0; ++row)
            MaskFixedRow(panel, *row);
    }
}

}  // namespace dorvalix
