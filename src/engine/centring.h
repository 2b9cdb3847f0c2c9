// SPDX-License-Identifier: GPL-3.0-or-later
// Lattice centring: which reflections a centred lattice lets through. The refinement details
// count the lines a centring allows; the hkl table leaves the others out.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace dorvalix {

enum class Centring { P, A, B, C, I, F, R };

// The letter ("P" ... "R") and the centring of a letter (upper case only).
char CentringLetter(Centring c);
std::optional<Centring> CentringFromLetter(std::string_view letter);

// Whether (h, k, l) can be observed: P all; A k+l even; B h+l even; C h+k even; I h+k+l
// even; F h, k, l all even or all odd; R −h+k+l divisible by 3 (hexagonal axes, obverse).
bool AllowedByCentring(Centring c, std::int64_t h, std::int64_t k, std::int64_t l);

}  // namespace dorvalix
