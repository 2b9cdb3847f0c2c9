// SPDX-License-Identifier: GPL-3.0-or-later
// A started main window's state in a folder of its own, driven through a scripted Ui.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "main_commands.h"
#include "main_menu.h"
#include "scripted_ui.h"
#include "temp_dir.h"

namespace dorvalix::test {

class CommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FormCreate(*state, dir.Path("dorvalix"));
        ApplyEnglishCaptions(*state);
    }

    bool Run(MainCommand command) {
        return RunCommand(ui, [&] { command(*state, ui); });
    }
    void SetLanguage(Lang lang) {
        lang == Lang::Japanese ? ApplyJapaneseCaptions(*state) : ApplyEnglishCaptions(*state);
    }
    // Makes a cell current as a click on it would.
    void Select(int col, int row) { StringGrid1SelectCell(*state, col, row); }
    // Types a text into the current cell and presses Enter.
    void Type(const std::string& text) {
        state->calc.table.Cell(state->gridCurrent.col, state->gridCurrent.row) = text;
        RunCommand(ui, [&] { StringGrid1KeyPress(*state, ui, 13); });
    }
    std::string& Cell(int col, int row) { return state->calc.table.Cell(col, row); }
    ObservationTable& Table() { return state->calc.table; }

    TempDir dir;
    std::unique_ptr<MainState> state = std::make_unique<MainState>();
    ScriptedUi ui;
};

}  // namespace dorvalix::test
