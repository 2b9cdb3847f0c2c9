// SPDX-License-Identifier: GPL-3.0-or-later
// The cell constant dialog (TForm8) as plain state and commands, without Qt: the user
// types or corrects a, b, c (Å) and α, β, γ (degrees) for the hkl window. Its Close button
// stores the cell as the window's current cell and copies the six values, reformatted,
// into the window's cell grid; nothing else is computed.
#pragma once

#include <array>
#include <string>

#include "hkl_window_commands.h"
#include "lang.h"
#include "ui.h"

namespace dorvalix {

extern const Text kCellDialogTitle;     // "Cell Constant"
extern const Text kCellDialogLabel7;    // "Input Cell Constant"
extern const Text kCellDialogBitBtn1;   // "Close"
extern const Text kInputCellConstants;  // "Input Cell Constants"

struct CellDialogState {
    // StringGrid1: [row][column], rows a .. γ; column 0 the labels, 1 the values.
    std::array<std::array<std::string, 2>, kCellGridRows> grid;
    int row = 0;  // the current row; the current column is the value column

    std::string title;    // window title
    std::string label7;   // the line above the grid
    std::string bitBtn1;  // the Close button

    // Requests to the window: give the grid the focus; close the dialog.
    bool focusRequested = false;
    bool closeRequested = false;
};

// The captions of the window's language.
void ApplyCellDialogCaptions(CellDialogState& dialog, const HklWindowState& window);

// Every opening: the captions, both columns of the window's cell grid, row 0 current and
// the grid focused.
void FormShow(CellDialogState& dialog, const HklWindowState& window);

// Enter in the grid: every value reformatted with one, two or three leading blanks as the
// number is at least 100, at least 10 or less (the typed digits stay), then the next row
// is current, after row 5 row 0. A text that is not a number ends the command with the
// conversion error; the rows above it are reformatted already and the row stays.
void StringGrid1Enter(CellDialogState& dialog, Ui& ui);

// The Close button: the six values stored in the window's current cell (each as soon as it
// is parsed; with an empty a the message "Input Cell Constants" instead), rewritten in
// general format with two, three or four leading blanks, copied into the window's cell
// grid, and the dialog closed. A text that is not a number ends the command with the
// conversion error: nothing is copied and the dialog stays open.
void BitBtn1Click(CellDialogState& dialog, HklWindowState& window, Ui& ui);

}  // namespace dorvalix
