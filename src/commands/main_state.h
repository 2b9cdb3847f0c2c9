// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's state as plain data: what its grids, labels, fields and menus show,
// and what it owns for the whole run. The window draws itself from this after every
// command; the commands read and write nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "calculation.h"
#include "date_patterns.h"
#include "main_captions.h"
#include "settings.h"

namespace dorvalix {

struct MainState {
    // StringGrid1's cells and counts, the crystal-system code, the refinement result, and
    // the results panel (StringGrid2, StringGrid3 and Label9's text).
    CalculationState calc;
    // The settings of the run; settings.lang is the language code UiLanguage.
    AppSettings settings;
    std::string settingsPath;  // the file LoadSettings read and SaveSettings writes
    std::string homePage;      // the file "Dorvalix Home Page" opens

    std::array<std::string, kControlCount> captions;  // window title, labels, menus
    std::string label3;                               // crystal-system name
    int label3Width = 177;                            // pixels
    std::string edit1;                                // sample name
    std::string label6;                               // file name without folder
    std::string currentFileName;                      // full path of the last file chosen
    std::string openDialogName;    // the file the open dialog offers: the one chosen last
    std::string edit2 = " 001";    // number of the current row
    std::uint32_t currentRow = 0;  // the row Delete One Data, Exclude and Include act on
    std::string memo1;             // the hidden buffer of the results report
    LocalDateTime (*clock)() = CurrentLocalDateTime;  // the report's time stamp

    // StringGrid1's current cell (column, data row 1..300), and requests to the window:
    // give the grid the keyboard focus; scroll so that a data row is the top row.
    CellRef gridCurrent{0, 1};
    bool gridFocusRequested = false;
    std::optional<int> gridTopRowRequested;
    int panelCurrentRow = 8;  // current row of StringGrid2 and StringGrid3

    bool closeRequested = false;  // Exit was confirmed and the settings were written

    const std::string& Caption(Control control) const {
        return captions[static_cast<std::size_t>(control)];
    }
};

// The language every text of the window and its commands is chosen by.
inline Lang UiLang(const MainState& state) {
    return LangFromCode(state.settings.lang);
}

}  // namespace dorvalix
