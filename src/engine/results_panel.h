// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the results panel: the reciprocal and the direct cell grids with their
// deviations, and the residual label.
#pragma once

#include <array>
#include <string>

#include "lang.h"
#include "refinement.h"

namespace dorvalix {

constexpr int kPanelRows = 9;     // rows 0..6 used, 7 and 8 stay empty
constexpr int kPanelColumns = 3;  // label, value, deviation

struct ResultsPanel {
    using Grid = std::array<std::array<std::string, kPanelColumns>, kPanelRows>;  // [row][col]
    Grid reciprocal;                                                              // StringGrid2
    Grid direct;                                                                  // StringGrid3
    std::string residual;                                                         // Label9
};

// Row labels of column 0 in both languages (rows 0..6).
extern const std::array<Text, 7> kReciprocalRowLabels;
extern const std::array<Text, 7> kDirectRowLabels;

// The dash text of a quantity the crystal system fixes.
inline constexpr const char* kMaskedCell = "   ----- ";

// Writes the row labels of column 0 for a language.
void SetPanelRowLabels(ResultsPanel& panel, Lang lang);

// Two blanks into the value and deviation cells of rows 0..6 of both grids; the residual
// label becomes empty. Column 0 and rows 7, 8 are left alone.
void ClearResultsPanel(ResultsPanel& panel);

// The dash text into the value and deviation cells of `row` in both grids.
void MaskFixedRow(ResultsPanel& panel, int row);

// Converts the six cell angles of the result to degrees in place, then writes both grids
// and masks the rows the crystal system fixes.
void FillResultsPanel(ResultsPanel& panel, RefinementResult& result, int code);

// The residual label's text: F(R, 8).
std::string ResidualText(long double residual);

}  // namespace dorvalix
