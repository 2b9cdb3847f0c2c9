// SPDX-License-Identifier: GPL-3.0-or-later
// The input of `dorvalix-cli refine`: an observation file or a SYLK file, placed into a
// calculation state as the main window's Read command or clipboard import would.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "calculation.h"
#include "sylk.h"

namespace dorvalix::cli {

// SYLK input that starts with an integer and no --order to answer the column-order question.
class ColumnOrderNeeded : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct RefineInput {
    std::string sampleName;
    bool sylk = false;
};

// True for a path ending in .slk or .sylk (any case) or a text whose first record starts
// with "ID;".
bool IsSylkInput(const std::string& path, std::string_view text);

// Reads the file at `path` into the state. `order` answers the column-order question of a
// SYLK block (Hkld or Dhkl); without it the question throws ColumnOrderNeeded. Read and
// conversion failures are thrown as DorvalixError with the text the window would show; so
// are a SYLK file with a NUL character and a block of more than 300 rows.
RefineInput LoadRefineInput(CalculationState& state, const std::string& path, Lang lang,
                            std::optional<ColumnOrder> order);

// The table rows of the observations in the file's order: the rows whose d is filled.
std::vector<int> ObservationRows(const ObservationTable& table);

}  // namespace dorvalix::cli
