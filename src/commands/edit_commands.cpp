// SPDX-License-Identifier: GPL-3.0-or-later
// The observation grid as an editor and the commands of the Data menu.
#include <cstdint>

#include "calculation.h"
#include "main_commands.h"
#include "numtext.h"
#include "results_panel.h"

namespace dorvalix {

namespace {

constexpr Text kDeleteOneQuestion = {"Delete one data ", "カーソルのある行のデータを消去します"};
constexpr Text kDeleteAllQuestion = {"Delete All Data ? ",
                                     "すべてのデータを消去してよろしいですか"};

constexpr char kEnter = 13;

bool IsDataRow(std::uint32_t row) {
    return row >= 1 && row <= kMaxObservations;
}

// The included count after a change of the excluded count; counts left stale by typing or
// deleting never wrap below zero.
void SetIncludedCount(ObservationTable& table) {
    table.included = table.filled >= table.excluded ? table.filled - table.excluded : 0;
}

}  // namespace

void ClearTable(MainState& state) {
    CalculationState& calc = state.calc;
    ClearResultsPanel(calc.panel);
    calc.table.ClearData();
    calc.table.filled = 0;
    calc.table.excluded = 0;
    calc.table.included = 0;
    calc.crystalSystem = kNoSystem;
    state.label3.clear();
    state.label6.clear();
    state.edit1.clear();
    calc.resultValid = false;
    MakeCurrentCell(state, {0, 1}, true);
}

bool CheckCurrentCell(MainState& state, Ui& ui) {
    const auto [col, row] = state.gridCurrent;
    std::string& cell = state.calc.table.Cell(col, row);
    bool ok = false;
    if (col == 0) {
        // The d keeps the decimals it was typed with (see NormalizeCell); blanks and
        // control characters around it do not count.
        std::string text(Trim(cell));
        ok = !text.empty() && NormalizeCell(0, text);
        if (ok) cell = std::move(text);
    } else {
        std::int32_t value;
        ok = TryParseInt(Trim(cell), value);
        if (ok) NormalizeCell(col, cell);
    }
    if (!ok) ui.Beep();
    return ok;
}

void StringGrid1KeyPress(MainState& state, Ui& ui, char key) {
    if (key != kEnter) return;  // every other character goes into the cell as typed
    if (!CheckCurrentCell(state, ui)) return;
    // Entry order d, h, k, l, then d of the next row; after the last row the first.
    CellRef next = state.gridCurrent;
    if (next.col >= 3) {
        next.col = 0;
        next.row = next.row >= kMaxObservations ? 1 : next.row + 1;
    } else {
        ++next.col;
    }
    MakeCurrentCell(state, next, false);
}

void StringGrid1TopLeftChanged(MainState& state, int topRow, int visibleRows) {
    // The current cell is pulled back into view: to the top row when it left at the top
    // (or is the top row), to the row just below the last fully visible one when it left at
    // the bottom.
    const int current = state.gridCurrent.row;
    CellRef target = state.gridCurrent;
    if (topRow >= current) {
        target = {0, topRow};
    } else if (current > topRow + visibleRows) {
        target = {0, topRow + visibleRows};
    }
    if (target != state.gridCurrent) MakeCurrentCell(state, target, true);
}

void N15Click(MainState& state, Ui& ui) {
    ObservationTable& table = state.calc.table;
    // Rows typed since the last count count too.
    table.filled = CountFilledRows(table);
    if (table.filled == 0) return;
    if (ui.AskOkCancel(kDeleteOneQuestion.In(UiLang(state))) && IsDataRow(state.currentRow)) {
        // The rows below move up with their markers and Qo-Qc texts.
        for (int r = static_cast<int>(state.currentRow); r < kMaxObservations; ++r)
            table.rows[static_cast<std::size_t>(r)] =
                std::move(table.rows[static_cast<std::size_t>(r + 1)]);
        table.ClearRow(kMaxObservations);
    }
    table.filled = CountFilledRows(table);
}

void N16Click(MainState& state, Ui&) {
    SortRows(state.calc.table);
}

void N17Click(MainState& state, Ui& ui) {
    if (ui.AskOkCancel(kDeleteAllQuestion.In(UiLang(state)))) ClearTable(state);
}

void N20Click(MainState& state, Ui& ui) {
    ObservationTable& table = state.calc.table;
    // Rows typed by hand have not been counted yet.
    if (table.filled == 0 && !CheckIndexCells(table)) {
        ui.ShowMessage(run_text::kSetIndexData.In(UiLang(state)));
    }
    const std::uint32_t row = state.currentRow;
    if (row >= 1 && row <= table.filled && !table.IsExcluded(static_cast<int>(row))) {
        table.Cell(4, static_cast<int>(row)) = kExclusionMarker;
        ++table.excluded;
        SetIncludedCount(table);
    }
}

void N21Click(MainState& state, Ui&) {
    ObservationTable& table = state.calc.table;
    const std::uint32_t row = state.currentRow;
    if (!IsDataRow(row) || !table.IsExcluded(static_cast<int>(row))) return;
    table.Cell(4, static_cast<int>(row)).clear();
    if (table.excluded > 0) --table.excluded;
    SetIncludedCount(table);
}

}  // namespace dorvalix
