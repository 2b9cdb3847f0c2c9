// SPDX-License-Identifier: GPL-3.0-or-later
// Peak lists from files: the JSON of `dorvalix-cli peaks`, a text of 2θ and intensity
// columns (a "# wavelength" comment line is read), a list of d values one per line, or a
// .lat observation file whose indices are ignored.
#pragma once

#include <string>
#include <string_view>

#include "lines.h"

namespace dorvalix::indexing {

enum class PeakFormat { Json, TwoTheta, DList, Lat };

struct PeakFile {
    PeakList peaks;
    PeakFormat format = PeakFormat::TwoTheta;
};

// More peaks than this are refused: no peak search gives them, and indexing uses the first
// few tens.
inline constexpr std::size_t kMaxPeaks = 100'000;

// Takes a file's text apart; `name` decides a .lat file by its extension. Throws
// DorvalixError with a message naming what is wrong and where.
PeakFile ParsePeakFile(std::string_view text, const std::string& name);

// Reads the regular file at `path` (at most 16 MiB) and takes it apart.
PeakFile ReadPeakFile(const std::string& path);

}  // namespace dorvalix::indexing
