// SPDX-License-Identifier: GPL-3.0-or-later
// Builds observation tables for the tests from rows of cell texts.
#pragma once

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "calculation.h"
#include "numtext.h"

namespace dorvalix::test {

struct RowTexts {
    std::string d, h, k, l, status = {};
};

// Writes the rows into data rows 1.. of the table (other rows stay as they are).
inline void FillRows(ObservationTable& table, std::initializer_list<RowTexts> rows, int first = 1) {
    int r = first;
    for (const RowTexts& row : rows) {
        table.Cell(0, r) = row.d;
        table.Cell(1, r) = row.h;
        table.Cell(2, r) = row.k;
        table.Cell(3, r) = row.l;
        table.Cell(4, r) = row.status;
        ++r;
    }
}

// The seven reflections of the monoclinic (β free) worked example, as typed.
inline void FillMonoclinicExample(CalculationState& state) {
    FillRows(state.table, {{"3.23", "2", "2", "0"},
                           {"2.566", "1", "3", "-1"},
                           {"2.304", "3", "1", "1"},
                           {"2.157", "3", "3", "0"},
                           {"2.134", "3", "3", "-1"},
                           {"2.043", "0", "4", "1"},
                           {"1.755", "1", "5", "0"}});
    state.crystalSystem = kMonoclinicBeta;
}

// A cubic cell (a = 8 Å) with twenty lines, d to five decimals, the fourth misread by
// 0.3 %: an outlier by any measure.
inline void FillCubicWithOutlier(CalculationState& state) {
    const int s[20] = {3, 4, 8, 11, 12, 16, 19, 20, 24, 27, 32, 35, 36, 40, 43, 44, 48, 51, 52, 56};
    const int hkl[20][3] = {{1, 1, 1}, {2, 0, 0}, {2, 2, 0}, {3, 1, 1}, {2, 2, 2},
                            {4, 0, 0}, {3, 3, 1}, {4, 2, 0}, {4, 2, 2}, {5, 1, 1},
                            {4, 4, 0}, {5, 3, 1}, {6, 0, 0}, {6, 2, 0}, {5, 3, 3},
                            {6, 2, 2}, {4, 4, 4}, {7, 1, 1}, {6, 4, 0}, {6, 4, 2}};
    for (int i = 0; i < 20; ++i) {
        const long double d = 8 / std::sqrt(static_cast<long double>(s[i]));
        state.table.Cell(0, i + 1) = FormatAtDecimalPlace(i == 3 ? d * 1.003L : d, 5);
        for (int c = 0; c < 3; ++c)
            state.table.Cell(c + 1, i + 1) = IntText(hkl[i][c]);
    }
    state.crystalSystem = kCubic;
}

// The results panel of the worked example as printed: value and deviation cell of rows
// 0..6 of the reciprocal and the direct grid.
inline constexpr const char* kExampleReciprocalCells[7][2] = {
    {"  0.106576", " 0.000068"}, {"  0.111949", " 0.000030"}, {"  0.197789", " 0.000317"},
    {"   ----- ", "   ----- "},  {" 74.167   ", " 0.069   "}, {"   ----- ", "   ----- "},
    {"  0.002270", " 0.000004"}};
inline constexpr const char* kExampleDirectCells[7][2] = {
    {"    9.75299 ", "  0.00709 "}, {"    8.93263 ", "  0.00239 "}, {"    5.25528 ", "  0.00862 "},
    {"   ----- ", "   ----- "},     {"  105.833   ", " 0.069   "},  {"   ----- ", "   ----- "},
    {"  440.469   ", " 0.785   "}};

// The English report of the worked example from the caption above the reciprocal grid
// (line 8) to the end.
inline const std::vector<std::string> kExampleReportBody = {
    "Reciprocal Lattice Parameters",
    " a*         b*         c*         alfa*      beta*      ganma*     V*        ",
    "0.106576   0.111949   0.197789   -----      74.167     -----      0.002270   ",
    " Da*        Db*        Dc*       Dalfa*     Dbeta*     Dganma*     DV*       ",
    "0.000068   0.000030   0.000317   -----      0.069      -----      0.000004   ",
    "",
    "Lattice Parameters",
    " a          b          c          alfa       beta       ganma      V         ",
    "9.75299    8.93263    5.25528    -----      105.833    -----      440.469    ",
    " Da         Db         Dc        Dalfa      Dbeta      Dganma      DV        ",
    "0.00709    0.00239    0.00862    -----      0.069      -----      0.785      ",
    "",
    "Observed Data",
    "  h     k     l    dobs      dcalc     do-dc       Qo.-Qc.",
    "  2     2     0    3.23     3.23483   -0.00483    +0.00029",
    "  1     3    -1    2.566    2.56689   -0.00089    +0.00011",
    "  3     1     1    2.304    2.30395   +0.00005    -0.00001",
    "  3     3     0    2.157    2.15656   +0.00044    -0.00009",
    "  3     3    -1    2.134    2.13379   +0.00021    -0.00004",
    "  0     4     1    2.043    2.04276   +0.00024    -0.00006",
    "  1     5     0    1.755    1.75500   +0.00000    -0.00000",
    "",
    "Residual",
    "0.00000011",
    "Dorvalix Ver. 2.20",
    "",
};

}  // namespace dorvalix::test
