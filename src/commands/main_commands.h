// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands, working on its plain state and talking to the user through
// Ui. The window runs each of them through RunCommand and then redraws from the state.
#pragma once

#include <string>

#include "install_paths.h"
#include "main_state.h"
#include "results_report.h"
#include "ui.h"

namespace dorvalix {

// --- Start, captions, language ---------------------------------------------------

// Creation of the main window: no crystal system, current cells placed, no result, the
// settings read from the file that belongs to `executablePath`, captions in their
// language (any stored code other than "j" becomes "e"), Edit2 " 001". The settings file
// and the home page are found as SettingsPathFor and HomePageFileFor say in `env`.
void FormCreate(MainState& state, const std::string& executablePath);
void FormCreate(MainState& state, const std::string& executablePath, const PathEnvironment& env);

// Set the language code and every caption of that language, then ShowCrystalSystem.
void ApplyEnglishCaptions(MainState& state);
void ApplyJapaneseCaptions(MainState& state);

// Label3 and its width from the crystal-system code and the language.
void ShowCrystalSystem(MainState& state);

void English2Click(MainState& state, Ui& ui);
void Japanese1Click(MainState& state, Ui& ui);

// --- Crystal system menu: set the code, ShowCrystalSystem, nothing else ----------------

void Cibic1Click(MainState& state, Ui& ui);         // 1 cubic
void tetragonal1Click(MainState& state, Ui& ui);    // 3 tetragonal
void Orthorhombic1Click(MainState& state, Ui& ui);  // 4 orthorhombic
void trigonalClick(MainState& state, Ui& ui);       // 8 trigonal
void Hexagonal1Click(MainState& state, Ui& ui);     // 2 hexagonal
void Monoclinic901Click(MainState& state, Ui& ui);  // 5 monoclinic, beta free
void Monoclinic902Click(MainState& state, Ui& ui);  // 7 monoclinic, gamma free
void Triclinic1Click(MainState& state, Ui& ui);     // 6 triclinic

// --- Calculation, exit, windows --------------------------------------------------

// Execute: the calculation run on the table; its message in the current language, the
// cell it names made current with the grid focused, a fault thrown to the error box.
void N4Click(MainState& state, Ui& ui);

// Exit: asks; on OK writes the settings (an IoError leaves the program running) and
// sets closeRequested.
void Exit1Click(MainState& state, Ui& ui);

void N8Click(MainState& state, Ui& ui);         // How to use: help window of the language
void N9Click(MainState& state, Ui& ui);         // Version: version window of the language
void hkld1Click(MainState& state, Ui& ui);      // hkl Table window
void dorvalix1Click(MainState& state, Ui& ui);  // home page in the browser

// --- The observation grid ----------------------------------------------------------

// A cell of StringGrid1 becomes current (by mouse, keyboard or program): CurrentRow and
// Edit2 follow it.
void StringGrid1SelectCell(MainState& state, int col, int row);

// The program makes a cell current (the selection rule runs when it changes), and the
// grid takes the keyboard focus when `focus` is set.
void MakeCurrentCell(MainState& state, CellRef cell, bool focus);

// The colours StringGrid1 paints its data cells with: the current cell white, the other
// cells of an excluded row aqua, columns 0..3 yellow and column 4 white.
enum class GridCellColour { White, Aqua, Yellow };
GridCellColour StringGrid1CellColour(const MainState& state, int col, int row);

// Edit2's text for a row: a blank and three digits (" 001", " 042", " 300").
std::string RowNumberText(int row);

// The Enter check of the current cell. Column 0: a number, rewritten by the d rule of the
// normalisation (" 2.5", "12.50"); columns 1..4: an integer, a one-character text after a
// blank. Anything else, an empty cell too, beeps and fails with the cell unchanged.
bool CheckCurrentCell(MainState& state, Ui& ui);

// A character typed on the grid. Only Enter (13) is handled: when CheckCurrentCell passes,
// the current cell moves d -> h -> k -> l -> d of the next row (row 300 -> row 1). Every
// other character goes into the cell as typed.
void StringGrid1KeyPress(MainState& state, Ui& ui, char key);

// The grid scrolled to `topRow` (the first visible data row) with `visibleRows` data rows
// fully in view: a current cell that left the view at the top, or is the top row, moves to
// column 0 of the top row; one that left at the bottom to column 0 of the row just below
// the last fully visible one. The grid then takes the focus.
void StringGrid1TopLeftChanged(MainState& state, int topRow, int visibleRows);

// The whole input side back to its start: table, counts, results panel, crystal system,
// file name, sample name, no valid result; column 0 of row 1 current. The current file
// name and the language stay.
void ClearTable(MainState& state);

// The name the report save dialog proposes for a data file's name: its extension replaced
// by ".out" (appended to a name without one; ".out" for an empty name).
std::string ReportFileName(const std::string& dataFileName);

// What the reports copy from the window: captions, panel, table and calculated values.
ResultsReportInput ReportInputOf(const MainState& state);

// Lays the printed report out for `job`'s measures and prints it, stamped with the state's
// clock; the job then ends. An index cell that does not convert aborts the job, so that
// nothing is printed, and the conversion error is thrown on.
void PrintResultsReport(const MainState& state, PrintJob& job);

// --- Commands of the file and data menus -----------------------------------------

// Read from File: the open dialog, then the whole file or, when it cannot be read, nothing
// (the error box tells why); file name shown, grid back at row 1.
void Read1Click(MainState& state, Ui& ui);
// What Read from File does once the file is chosen; also for a file named at start.
void ReadObservationFileNamed(MainState& state, const std::string& path);
// Write to File: sorts, checks crystal system and data, asks for a name (".lat" added to a
// name without extension) and writes the file atomically; needs a sample name.
void Write1Click(MainState& state, Ui& ui);
// Read Excel data through ClipBoard: the clipboard's spreadsheet cells (SYLK, else its
// tab-separated text), all read first; then the table is cleared, filled, normalised and
// sorted. A value that is not a number leaves everything as it was; so does a clipboard
// without cells, with a message. Rows beyond 300 are left out, with a message.
void Exceld1Click(MainState& state, Ui& ui);
// Print: refused like the report commands; asks before printing on the current printer,
// or, with no printer installed, offers to write the pages to a PDF file.
void N10Click(MainState& state, Ui& ui);
void N11Click(MainState& state, Ui& ui);  // Printer Setup: the printer dialog, so titled
// Save Results to File / Send Results to ClipBoard: refused unless the result describes
// the table as it stands (ResultDescribesTable); the report also goes into Memo1.
void N18Click(MainState& state, Ui& ui);
void N22Click(MainState& state, Ui& ui);
// Delete One Data: counts the rows (typed ones too), and with any row asks and deletes
// CurrentRow.
void N15Click(MainState& state, Ui& ui);
void N16Click(MainState& state, Ui& ui);  // Sort
void N17Click(MainState& state, Ui& ui);  // Clear, after a question
void N20Click(MainState& state, Ui& ui);  // Exclude CurrentRow
void N21Click(MainState& state, Ui& ui);  // Include CurrentRow

}  // namespace dorvalix
