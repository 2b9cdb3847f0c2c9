// Builds observation tables for the tests from rows of cell texts.
#pragma once

#include <initializer_list>
#include <string>

#include "calculation.h"

namespace dorvalix::test {

struct RowTexts {
    std::string d, h, k, l, status = {};
};

// Writes the rows into data rows 1.. of the table (other rows stay as they are).
inline void FillRows(ObservationTable& table, std::initializer_list<RowTexts> rows, int first = 1) {
    int r = first;
    for (const RowTexts& row : rows) {
        table.Cell(0, r) = row.d;
        table.Cell(1, r) = row.h;
        table.Cell(2, r) = row.k;
        table.Cell(3, r) = row.l;
        table.Cell(4, r) = row.status;
        ++r;
    }
}

// The seven reflections of the monoclinic (β free) worked example, as typed.
inline void FillMonoclinicExample(CalculationState& state) {
    FillRows(state.table, {{"3.23", "2", "2", "0"},
                           {"2.566", "1", "3", "-1"},
                           {"2.304", "3", "1", "1"},
                           {"2.157", "3", "3", "0"},
                           {"2.134", "3", "3", "-1"},
                           {"2.043", "0", "4", "1"},
                           {"1.755", "1", "5", "0"}});
    state.crystalSystem = kMonoclinicBeta;
}

}  // namespace dorvalix::test
