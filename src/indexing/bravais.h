// SPDX-License-Identifier: GPL-3.0-or-later
// The Bravais lattices a reduced cell is metrically close to, through its twofold axes (Le
// Page, J. Appl. Cryst. 15, 255, 1982): a direct lattice row u is a twofold axis when a
// reciprocal row h with |u·h| = 1 or 2 is parallel to it within the tolerance δ. From the
// axes, the conventional cell of every higher-symmetry lattice they allow, in the settings
// Dorvalix refines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "centring.h"
#include "lattice.h"

namespace dorvalix::indexing {

struct TwofoldAxis {
    Hkl u{};            // direct row (primitive, first non-zero index positive)
    Hkl h{};            // the reciprocal row nearly parallel to it
    long double delta;  // the angle between them, degrees
};

// The twofold axes of the lattice with direct metric G (as a reciprocal metric g), rows with
// indices up to ±2, within maxDelta degrees.
std::vector<TwofoldAxis> TwofoldAxes(const Metric& g, long double maxDelta);

// Ranks of symmetry, for choosing the highest: aP 1, m 2, o 3, t 4, hR 5, hP 6, c 7.
struct LatticeForm {
    int code = 6;  // crystal-system code to refine (hR: 2 with R)
    Centring centring = Centring::P;
    IntMatrix3 m = kIdentity;    // from the given cell to the conventional one (columns)
    std::string bravais = "aP";  // aP, mP, mC, oP, oC, oI, oF, tP, tI, hP, hR, cP, cI, cF
    int rank = 1;
    long double deviation = 0;  // largest departure of the metric from the system's, degrees
};

// The conventional forms of every lattice symmetry the twofold axes of the (reduced,
// primitive) cell allow, the triclinic cell itself first. Monoclinic cells have b unique,
// β ≥ 90° and C centring when centred; orthorhombic C-face centring; rhombohedral lattices
// on hexagonal axes, obverse. Every form is right-handed.
std::vector<LatticeForm> ConventionalForms(const Metric& g, long double maxDelta);

// The Bravais symbol of a crystal system code and centring ("mC", "hR", ...).
std::string BravaisSymbol(int code, Centring centring);

// The symmetry rank of a Bravais symbol (as LatticeForm::rank; 0 for an unknown one).
int RankOfBravais(std::string_view symbol);

}  // namespace dorvalix::indexing
