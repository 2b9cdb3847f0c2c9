// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of merit of indexed lines that are not a completed run of the main window,
// such as a cell found by indexing: the same M(n) and F(n) as the refinement details give.
#pragma once

#include <vector>

#include "refinement_details.h"

namespace dorvalix {

// One indexed line.
struct IndexedLine {
    int row = 0;  // the number the notes name it by
    int h = 0, k = 0, l = 0;
    long double d = 0;  // observed, Å
};

// M(n) and F(n) of the lines under the coefficients x[0..P−1] of crystal system `code`,
// with the centring and wavelength of `options`; notes as the refinement details write them.
FiguresOfMerit FiguresOfMeritOfLines(int code, const std::vector<IndexedLine>& lines,
                                     const long double* x, const DetailsOptions& options);

}  // namespace dorvalix
