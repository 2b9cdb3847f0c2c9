// SPDX-License-Identifier: GPL-3.0-or-later
// The refusals and notes of the refinement details, in both languages.
#pragma once

#include <string>

#include "lang.h"

namespace dorvalix {

struct DetailsMessage {
    enum class Kind {
        TwoThetaTooFewObservations,  // count observations for `limit` parameters
        NoTwoThetaForObservation,    // row, d: λ/(2d) ≥ 1
        NoTwoThetaForCalculated,     // row: the fitted Q has no 2θ at λ
        TwoThetaNotConverged,        // count iterations
        TwoThetaSingular,
        FigureFNoTwoTheta,   // row, d: one of the n lines of F has no 2θ
        TooManyReflections,  // more than `limit` index triples to count
        NoCell,              // the fitted metric is not positive definite
        ZeroOutOfRange,      // value: the refined zero shift, beyond ±limit degrees
        CellNotDetermined,   // limit: a length or its s.u. is not finite or beyond limit Å
    };
    Kind kind = Kind::NoCell;
    int row = 0;
    long long count = 0, limit = 0;
    long double d = 0, wavelength = 0, value = 0;

    std::string Text(Lang lang) const;
};

}  // namespace dorvalix
