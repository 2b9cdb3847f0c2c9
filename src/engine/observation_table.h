// SPDX-License-Identifier: GPL-3.0-or-later
// The observation table: the text grid that holds the input, the counts beside it and the
// parsed arrays a run builds from it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "numtext.h"

namespace dorvalix {

constexpr int kMaxObservations = 300;  // data rows 1..300; row 0 is the header
constexpr int kTableRows = kMaxObservations + 1;
constexpr int kTableColumns = 5;  // d, h, k, l, and the status / Qo-Qc column

// The only column-4 text that marks a row as excluded (exact, case-sensitive).
inline constexpr std::string_view kExclusionMarker = "  Exclude";

// Header texts of the grid, the same in both languages.
inline constexpr std::array<std::string_view, kTableColumns> kObservationHeaders = {
    "  dobs.", " h ", " k ", " l ", "   Qo-Qc"};

// Equality of two short texts, compared in place (cell texts are a few characters long).
inline bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

// A grid position: column, row.
struct CellRef {
    int col = 0;
    int row = 0;
    friend bool operator==(const CellRef&, const CellRef&) = default;
};

// h, k, l and observed d of the included rows, indexed 1..count in table order.
struct ParsedObservations {
    int count = 0;
    std::array<std::int32_t, kTableRows> h{};
    std::array<std::int32_t, kTableRows> k{};
    std::array<std::int32_t, kTableRows> l{};
    std::array<long double, kTableRows> d{};
};

struct ObservationTable {
    using Row = std::array<std::string, kTableColumns>;

    std::array<Row, kTableRows> rows;  // rows[0] is the header row
    std::uint32_t filled = 0;          // data rows with a non-empty d text
    std::uint32_t excluded = 0;        // data rows carrying the exclusion marker
    std::uint32_t included = 0;        // filled - excluded
    ParsedObservations parsed;

    ObservationTable();

    std::string& Cell(int col, int row) {
        return rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }
    const std::string& Cell(int col, int row) const {
        return rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }
    bool IsExcluded(int row) const { return SameText(Cell(4, row), kExclusionMarker); }

    // Empties all five cells of rows 1..300 (the counts are left to the caller).
    void ClearData();
    // Empties all five cells of one row.
    void ClearRow(int row);
};

// The numbers of the d texts as a run has read them, carried along while rows move so
// that one Execute reads each d text once. known[r] means value[r] is exactly what the
// current d text of row r converts to.
struct DValueCache {
    std::array<long double, kTableRows> value{};
    std::array<bool, kTableRows> known{};

    void MoveRow(int from, int to) {
        value[static_cast<std::size_t>(to)] = value[static_cast<std::size_t>(from)];
        known[static_cast<std::size_t>(to)] = known[static_cast<std::size_t>(from)];
        known[static_cast<std::size_t>(from)] = false;
    }
    void SwapRows(int a, int b) {
        std::swap(value[static_cast<std::size_t>(a)], value[static_cast<std::size_t>(b)]);
        std::swap(known[static_cast<std::size_t>(a)], known[static_cast<std::size_t>(b)]);
    }
};

// The number of row r's d text, from the cache when it knows it; nullopt when the text is
// not a number.
std::optional<long double> DValueOf(const ObservationTable& table, int row,
                                    const DValueCache* cache);

// A row is a hole for compaction when its trimmed d text is empty or exactly "0".
inline bool IsHoleText(std::string_view dText) {
    const std::string_view t = Trim(dText);
    return t.empty() || (t.size() == 1 && t[0] == '0');
}

// The cell normalisation rule for one cell of column `col`. Returns false (text
// unchanged) when a column-0 text is not a number.
bool NormalizeCell(int col, std::string& text);

// The rule on columns 0..3 of every data row. Returns the last d cell that is not a
// number (it becomes the grid's current cell), if any.
std::optional<CellRef> NormalizeCells(ObservationTable& table, DValueCache* cache = nullptr);

// Compacts the filled rows to the top, recounts, and sorts rows 1..filled by d, largest
// first, with the exchanges of a selection sort. A d text that is not a number ends the
// sort with ConversionError (compaction and counting are done by then).
void SortRows(ObservationTable& table, DValueCache* cache = nullptr);

// Counts the rows 1..300 whose d text is not empty.
std::uint32_t CountFilledRows(const ObservationTable& table);

}  // namespace dorvalix
