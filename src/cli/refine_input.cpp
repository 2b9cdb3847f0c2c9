// SPDX-License-Identifier: GPL-3.0-or-later
#include "refine_input.h"

#include <algorithm>
#include <cctype>

#include "errors.h"
#include "input_file.h"
#include "observation_file.h"
#include "text_encoding.h"

namespace dorvalix::cli {

bool IsSylkInput(const std::string& path, std::string_view text) {
    std::string lower = FileNameOf(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.ends_with(".slk") || lower.ends_with(".sylk") || LooksLikeSylk(text);
}

RefineInput LoadRefineInput(CalculationState& state, const std::string& path, Lang lang,
                            std::optional<ColumnOrder> order) {
    const std::string text = DecodeFileText(ReadInputFile(path, lang));
    RefineInput input;
    if (!IsSylkInput(path, text)) {
        ApplyObservationFile(state, input.sampleName, ParseObservationFile(text, lang));
        return input;
    }
    input.sylk = true;
    const SylkImport import = ReadSylkCells(SplitSylkFile(text, lang), [&] {
        if (!order) throw ColumnOrderNeeded("the block starts with an integer");
        return *order == ColumnOrder::Hkld;
    });
    // Like a .lat count over 300: a block the table cannot hold is refused, not cut short.
    if (import.blockRows > kMaxObservations) {
        throw DorvalixError(SylkMessage(sylk_text::kTooManyRows, lang, import.blockRows));
    }
    // As after clearing the table: no crystal system, an empty panel.
    ClearResultsPanel(state.panel);
    state.table.ClearData();
    state.table.filled = state.table.excluded = state.table.included = 0;
    state.crystalSystem = kNoSystem;
    ApplySylkCells(state.table, import);
    return input;
}

std::vector<int> ObservationRows(const ObservationTable& table) {
    std::vector<int> rows;
    for (int r = 1; r <= kMaxObservations; ++r) {
        if (!table.Cell(0, r).empty()) rows.push_back(r);
    }
    return rows;
}

}  // namespace dorvalix::cli
