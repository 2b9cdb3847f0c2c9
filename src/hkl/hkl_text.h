// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the hkl window: table cells, clipboard lines, range and cell grid values.
//
// A table cell is written from its stored reflection on demand. The digits are produced
// here rather than by a general formatter, with exactly the rounding of the formats: half
// away from zero on the exact binary value, d to at most 6 significant digits and 4
// decimals (always written with 4), 2θ to at most 5 significant digits and 2 decimals.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "hkl_table.h"

namespace dorvalix {

// --- From values to the stored, rounded form ------------------------------------------

// The d key of HklReflection for a d > 0 (FloatFault beyond about 10^4090 Å).
std::uint32_t DKeyOf(long double d);

// 2θ (0 ≤ 2θ < 600) in hundredths of a degree, rounded.
std::uint16_t TwoThetaHundredthsOf(long double two_theta);

// The row of a reflection, its d and 2θ rounded and their leading blanks chosen.
HklReflection MakeReflection(int h, int k, int l, long double d, long double two_theta);

// The value of the d text, as the sort reads it back.
long double DValueOfKey(std::uint32_t d_key);

// --- Table cells ---------------------------------------------------------------------------

// Column 0: d, two blanks + fixed text for d ≥ 10, else three blanks ("   3.1356").
// Columns 1..3: h, k, l, two blanks + the integer when ≥ 0, else one blank ("  1", " -1").
// Column 4: 2θ, one blank for 2θ ≥ 100, two for 10 ≤ 2θ < 100, else three ("  28.46").
std::string HklCellText(const HklReflection& r, int column);

// Longest clipboard line, CR LF included.
constexpr std::size_t kMaxHklLineLength = 64;

// The clipboard's lines end in CR LF, the tool's in LF.
enum class HklLineEnd { CrLf, Lf };

// Writes the five cell texts of a row joined, followed by the line end; returns the end.
char* WriteHklLine(char* out, const HklReflection& r, HklLineEnd end = HklLineEnd::CrLf);

// Appends the lines of rows [first, last) of a run of rows.
void AppendHklLines(std::string& text, const HklReflection* rows, std::size_t first,
                    std::size_t last, HklLineEnd end);

// Receives a table's text block by block, in order.
using HklTextSink = std::function<void(std::string_view text)>;

// The lines of the rows — of rows[order[0]], rows[order[1]], ... when `order` is not
// empty — handed to `sink` in blocks, which `threads` threads write while the calling
// thread hands the finished ones on.
void WriteHklLines(std::span<const HklReflection> rows, std::span<const std::uint32_t> order,
                   HklLineEnd end, int threads, const HklTextSink& sink);

// The lines of the table in the order SortHklTable gives it, the table left as it is. The
// sort's last pass runs on one thread; the others write the lines of the rows it has
// placed meanwhile.
void WriteSortedHklLines(const HklTable& table, HklLineEnd end, int threads,
                         const HklTextSink& sink);

// The clipboard text of the table: one line per grid row from row 1 to the last row
// (grid_rows − 1 lines), rows without a reflection as empty lines, each line ending in
// CR LF.
std::string CopyHklTable(const HklTable& table, int grid_rows, int threads = 0);

// --- Range and cell grids ----------------------------------------------------------------

// A min or max cell of the range grid: three blanks + the integer ("   -4").
std::string RangeGridText(int value);

// A value cell of the cell grid: x in general format, after two blanks when x ≥ 100, three
// when x ≥ 10, four otherwise ("    5.431", "   90", "  105.6").
std::string CellGridText(long double x);

// The same for a refined value: x first rounded half up to 4 decimals (integer part of
// x × 10000 + 0.5, divided by 10000); the blanks follow the unrounded x.
std::string RefinedCellGridText(long double x);

}  // namespace dorvalix
