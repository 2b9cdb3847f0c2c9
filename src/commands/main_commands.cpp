// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_commands.h"

#include "crystal_system.h"
#include "errors.h"
#include "install_paths.h"
#include "numtext.h"
#include "results_panel.h"

namespace dorvalix {

namespace {

constexpr Text kExitQuestion = {"Do you want to Exit ? ", "終了しますか"};

void ApplyCaptions(MainState& state, Lang lang) {
    state.settings.lang = LangCode(lang);
    for (int i = 0; i < kControlCount; ++i) {
        state.captions[static_cast<std::size_t>(i)] = CaptionText(static_cast<Control>(i)).In(lang);
    }
    for (int c = 0; c < kTableColumns; ++c) {
        state.calc.table.Cell(c, 0) = kObservationHeaders[static_cast<std::size_t>(c)];
    }
    SetPanelRowLabels(state.calc.panel, lang);
    ShowCrystalSystem(state);
}

void ChooseCrystalSystem(MainState& state, int code) {
    state.calc.crystalSystem = code;
    ShowCrystalSystem(state);
}

}  // namespace

void FormCreate(MainState& state, const std::string& executablePath) {
    FormCreate(state, executablePath, SystemPathEnvironment());
}

void FormCreate(MainState& state, const std::string& executablePath, const PathEnvironment& env) {
    state.calc.crystalSystem = kNoSystem;
    // Start positions, placed without the selection rule: CurrentRow stays 0 until the
    // user (or a command) chooses a cell. Row 8 of the result grids is never used, so no
    // used cell is drawn as selected.
    state.panelCurrentRow = 8;
    state.gridCurrent = {0, 1};
    state.calc.resultValid = false;
    state.settingsPath = SettingsPathFor(executablePath, env);
    state.homePage = HomePageFileFor(executablePath, env);
    state.settings = LoadSettings(state.settingsPath);
    if (state.settings.lang == "j") {
        ApplyJapaneseCaptions(state);
    } else {
        ApplyEnglishCaptions(state);
    }
    state.edit2 = " 001";
}

void ApplyEnglishCaptions(MainState& state) {
    ApplyCaptions(state, Lang::English);
}

void ApplyJapaneseCaptions(MainState& state) {
    ApplyCaptions(state, Lang::Japanese);
}

void ShowCrystalSystem(MainState& state) {
    const int code = state.calc.crystalSystem;
    const Lang lang = UiLang(state);
    // The two monoclinic names are the longest English ones.
    const bool wide =
        lang == Lang::English && (code == kMonoclinicBeta || code == kMonoclinicGamma);
    state.label3Width = wide ? 201 : 177;
    state.label3 = CrystalSystemName(code, lang);
}

void English2Click(MainState& state, Ui&) {
    ApplyEnglishCaptions(state);
}

void Japanese1Click(MainState& state, Ui&) {
    ApplyJapaneseCaptions(state);
}

void Cibic1Click(MainState& state, Ui&) {
    ChooseCrystalSystem(state, kCubic);
}
void tetragonal1Click(MainState& state, Ui&) {
    ChooseCrystalSystem(state, kTetragonal);
}
void Orthorhombic1Click(MainState& state, Ui&) {
    ChooseCrystalSystem(state, kOrthorhombic);
}
void trigonalClick(MainState& state, Ui&) {
    ChooseCrystalSystem(state, kTrigonal);
}
void Hexagonal1Click(MainState& state, Ui&) {
    ChooseCrystalSystem(state, kHexagonal);
}
void Monoclinic901Click(MainState& state, Ui&) {
    ChooseCrystalSystem(state, kMonoclinicBeta);
}
void Monoclinic902Click(MainState& state, Ui&) {
    ChooseCrystalSystem(state, kMonoclinicGamma);
}
void Triclinic1Click(MainState& state, Ui&) {
    ChooseCrystalSystem(state, kTriclinic);
}

void N4Click(MainState& state, Ui& ui) {
    const RunReport report = RunCalculation(state.calc, UiLang(state));
    if (report.currentCell) MakeCurrentCell(state, *report.currentCell, true);
    if (report.faultText) throw DorvalixError(*report.faultText);
    if (report.message) ui.ShowMessage(report.messageText);
}

void Exit1Click(MainState& state, Ui& ui) {
    if (!ui.AskOkCancel(kExitQuestion.In(UiLang(state)))) return;
    SaveSettings(state.settingsPath, state.settings);
    state.closeRequested = true;
}

void N8Click(MainState& state, Ui& ui) {
    ui.ShowWindow(UiLang(state) == Lang::Japanese ? SecondaryWindow::TForm3
                                                  : SecondaryWindow::TForm6);
}

void N9Click(MainState& state, Ui& ui) {
    ui.ShowWindow(UiLang(state) == Lang::Japanese ? SecondaryWindow::TForm2
                                                  : SecondaryWindow::TForm5);
}

void hkld1Click(MainState&, Ui& ui) {
    ui.ShowWindow(SecondaryWindow::TForm7);
}

void dorvalix1Click(MainState& state, Ui& ui) {
    ui.OpenUrl(FileUrl(state.homePage));
}

void StringGrid1SelectCell(MainState& state, int col, int row) {
    state.gridCurrent = {col, row};
    state.currentRow = static_cast<std::uint32_t>(row);
    state.edit2 = RowNumberText(row);
}

void MakeCurrentCell(MainState& state, CellRef cell, bool focus) {
    if (cell != state.gridCurrent) StringGrid1SelectCell(state, cell.col, cell.row);
    if (focus) state.gridFocusRequested = true;
}

GridCellColour StringGrid1CellColour(const MainState& state, int col, int row) {
    if (state.gridCurrent == CellRef{col, row}) return GridCellColour::White;
    if (state.calc.table.IsExcluded(row)) return GridCellColour::Aqua;
    return col <= 3 ? GridCellColour::Yellow : GridCellColour::White;
}

std::string RowNumberText(int row) {
    const std::string digits = IntText(row);
    if (row <= 9) return " 00" + digits;
    if (row <= 99) return " 0" + digits;
    return " " + digits;
}

}  // namespace dorvalix
