// SPDX-License-Identifier: GPL-3.0-or-later
// The order of a window's table after a click on a column header: the rows with a number in
// that column by the number (ascending or descending), then those without one by their text;
// equal rows, and every row while no column is chosen, in their own order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

namespace dorvalix {

// `Row` has `keys` (optional numbers) and `texts` per column; `order(row)` is the row's own
// place.
template <class Row, class Order>
void SortTableRows(std::vector<Row>& rows, std::optional<std::size_t> column, bool ascending,
                   Order order) {
    if (!column) {
        std::stable_sort(rows.begin(), rows.end(),
                         [&](const Row& x, const Row& y) { return order(x) < order(y); });
        return;
    }
    const std::size_t c = *column;
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& x, const Row& y) {
        const auto& a = x.keys[c];
        const auto& b = y.keys[c];
        if (!a || !b) {
            if (a || b) return a.has_value();
            return x.texts[c] != y.texts[c] ? (x.texts[c] < y.texts[c]) == ascending
                                            : order(x) < order(y);
        }
        if (*a == *b) return order(x) < order(y);
        return ascending ? *a < *b : *a > *b;
    });
}

}  // namespace dorvalix
