#include "observation_table.h"

#include "numtext.h"
#include "selection_sort.h"

namespace dorvalix {

ObservationTable::ObservationTable() {
    for (int c = 0; c < kTableColumns; ++c)
        rows[0][static_cast<std::size_t>(c)] = kObservationHeaders[static_cast<std::size_t>(c)];
}

void ObservationTable::ClearRow(int row) {
    for (auto& cell : rows[static_cast<std::size_t>(row)])
        cell.clear();
}

void ObservationTable::ClearData() {
    for (int r = 1; r <= kMaxObservations; ++r)
        ClearRow(r);
}

bool IsHoleText(std::string_view dText) {
    const std::string_view t = Trim(dText);
    return t.empty() || t == "0";
}

bool NormalizeCell(int col, std::string& text) {
    if (col == 0) {
        if (text.empty()) return true;
        long double x;
        if (!TryParseReal(text, x)) return false;
        const int n = static_cast<int>(CharCount(Trim(text)));
        // A d keeps the decimals it was typed with, assuming one integer digit below 10
        // and two from 10 up; values below 10 get one blank so that the points line up.
        if (x >= 10) {
            text = n > 3 ? FormatFixed(x, n - 3, 15) : FormatGeneral(x);
        } else {
            text = " " + (n > 2 ? FormatFixed(x, n - 2, 15) : FormatGeneral(x));
        }
    }
    if (CharCount(text) == 1) text.insert(0, 1, ' ');
    return true;
}

std::optional<CellRef> NormalizeCells(ObservationTable& table) {
    std::optional<CellRef> current;
    for (int r = 1; r <= kMaxObservations; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (!NormalizeCell(c, table.Cell(c, r))) current = CellRef{c, r};
        }
    }
    return current;
}

std::uint32_t CountFilledRows(const ObservationTable& table) {
    std::uint32_t n = 0;
    for (int r = 1; r <= kMaxObservations; ++r) {
        if (!table.Cell(0, r).empty()) ++n;
    }
    return n;
}

void SortRows(ObservationTable& table) {
    // Compaction: a hole takes the first valid row below it; filled rows keep their order.
    for (int r = 1; r < kMaxObservations; ++r) {
        if (!IsHoleText(table.Cell(0, r))) continue;
        for (int f = r + 1; f <= kMaxObservations; ++f) {
            if (IsHoleText(table.Cell(0, f))) continue;
            table.rows[static_cast<std::size_t>(r)] =
                std::move(table.rows[static_cast<std::size_t>(f)]);
            table.ClearRow(f);
            break;
        }
    }
    // Counting.
    table.filled = 0;
    table.excluded = 0;
    for (int r = 1; r <= kMaxObservations; ++r) {
        if (!table.Cell(0, r).empty()) ++table.filled;
        if (table.IsExcluded(r)) ++table.excluded;
    }
    table.included = table.filled - table.excluded;
    // Sorting by d, largest first. The selection sort reads every d on its first pass, so
    // the first text that is not a number (in row order) stops it before any exchange.
    const int n = static_cast<int>(table.filled);
    if (n < 2) return;
    std::array<long double, kTableRows> d;
    for (int i = 0; i < n; ++i)
        d[static_cast<std::size_t>(i)] = ParseReal(table.Cell(0, i + 1));
    std::array<int, 2 * 512> tree;
    SelectionSortExchanges(
        n,
        [&](int a, int b) {
            return d[static_cast<std::size_t>(a)] > d[static_cast<std::size_t>(b)];
        },
        [&](int a, int b) {
            std::swap(d[static_cast<std::size_t>(a)], d[static_cast<std::size_t>(b)]);
            std::swap(table.rows[static_cast<std::size_t>(a + 1)],
                      table.rows[static_cast<std::size_t>(b + 1)]);
        },
        [](int) {}, std::span<int>(tree));
}

}  // namespace dorvalix
