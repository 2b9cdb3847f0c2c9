// SPDX-License-Identifier: GPL-3.0-or-later
// Reciprocal and direct cell from the fitted coefficients, and the angle functions the
// cell computations share.
#pragma once

#include "refinement.h"

namespace dorvalix {

// Sine and cosine of extended precision; 0 for an argument beyond the processor's range
// reduction (|x| >= 2^63).
long double Sin0(long double x);
long double Cos0(long double x);

// Inverse cosine through the arctangent: atan2(√(1 − u²) / u, 1), plus π₀ when negative.
long double Acos0(long double u);

// a*, b*, c*, α*, β*, γ*, V* from x1..xP of the crystal system `code`.
void ComputeReciprocalCell(int code, const Coefficients& x, CellParameters& reciprocal);

// a, b, c, α, β, γ, V from the reciprocal cell.
void ComputeDirectCell(const CellParameters& reciprocal, CellParameters& direct);

}  // namespace dorvalix
