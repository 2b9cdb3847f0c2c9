// SPDX-License-Identifier: GPL-3.0-or-later
#include "cell_dialog_commands.h"

#include "hkl_text.h"
#include "numtext.h"

namespace dorvalix {

const Text kCellDialogTitle = {"Cell Constant", "格子定数"};
const Text kCellDialogLabel7 = {"Input Cell Constant", "格子定数の入力"};
const Text kCellDialogBitBtn1 = {"Close", "戻る"};
const Text kInputCellConstants = {"Input Cell Constants", "格子定数を入力してください"};

void ApplyCellDialogCaptions(CellDialogState& dialog, const HklWindowState& window) {
    const Lang lang = window.UiLang();
    dialog.title = kCellDialogTitle.In(lang);
    dialog.label7 = kCellDialogLabel7.In(lang);
    dialog.bitBtn1 = kCellDialogBitBtn1.In(lang);
}

void FormShow(CellDialogState& dialog, const HklWindowState& window) {
    ApplyCellDialogCaptions(dialog, window);
    dialog.grid = window.cellGrid;
    dialog.row = 0;
    dialog.focusRequested = true;
    dialog.closeRequested = false;
}

void StringGrid1Enter(CellDialogState& dialog, Ui&) {
    const int row = dialog.row;
    for (auto& cells : dialog.grid) {
        const std::string typed(Trim(cells[1]));
        const long double x = ParseReal(typed);
        const char* blanks = x >= 100 ? " " : x >= 10 ? "  " : "   ";
        cells[1] = blanks + typed;
    }
    dialog.row = row == kCellGridRows - 1 ? 0 : row + 1;
}

void BitBtn1Click(CellDialogState& dialog, HklWindowState& window, Ui& ui) {
    if (!dialog.grid[0][1].empty()) {
        for (int row = 0; row < kCellGridRows; ++row) {
            StoreCellValue(window.hkl.cell, row,
                           ParseReal(dialog.grid[static_cast<std::size_t>(row)][1]));
        }
    } else {
        ui.ShowMessage(kInputCellConstants.In(window.UiLang()));
    }
    // An empty a fails here with the conversion error: nothing stored, nothing copied.
    for (auto& cells : dialog.grid)
        cells[1] = CellGridText(ParseReal(cells[1]));
    for (std::size_t row = 0; row < kCellGridRows; ++row)
        window.cellGrid[row][1] = dialog.grid[row][1];
    dialog.closeRequested = true;
}

}  // namespace dorvalix
