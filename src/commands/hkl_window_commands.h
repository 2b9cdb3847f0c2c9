// SPDX-License-Identifier: GPL-3.0-or-later
// The hkl table window (TForm7) as plain state and commands, without Qt. The window shows
// the table of reflections of one cell with the cell, the crystal system, the minimum d,
// the index range and the X-ray line it was computed for; its menu recalculates, sorts,
// copies, chooses the wavelength, edits the cell, computes the range and sets the minimum
// d. The Qt window draws itself from this state after every command.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "hkl_table.h"
#include "lang.h"
#include "main_state.h"
#include "ui.h"

namespace dorvalix {

// Controls of the window that carry a caption, by their component names.
enum class HklControl : int {
    TForm7,  // window title
    N1,      // first menu
    N2,      // Calculate
    N4,      // Sort
    N15,     // Send to ClipBoard
    N8,      // no action
    N19,     // Close
    N5,      // X-ray menu
    N6,      // typed wavelength
    N9,      // cell menu
    N10,     // Correct Cell Constant
    N11,     // range menu
    N12,     // Set hkl Range (submenu)
    N16,     // all indices
    N17,     // asymmetric unit
    N13,     // Set Minimum d-Value
    Label1,  // cell
    Label2,  // range
    Label3,  // minimum d
    Label4,  // crystal system
    Label6,  // X-ray
    // The lattice centring menu.
    Lattice1,
    SpaceGroup1,  // its last item: a space group instead of a centring
};
inline constexpr int kHklControlCount = static_cast<int>(HklControl::SpaceGroup1) + 1;

// The caption of a control in a language.
const char* HklCaption(HklControl control, Lang lang);
// The component name ("N12", "Label4").
const char* HklControlName(HklControl control);

// The letter a menu or an item of the window underlines in English (0: none); the
// Japanese captions carry none.
char HklMnemonic(HklControl control);

// The wavelength preset items, in menu order; each caption is the preset's name.
inline constexpr std::array<const char*, 8> kPresetItemNames = {
    "CuKa1", "CuKa11", "FeLa1", "FeKa11", "CrKa1", "CrKa11", "MoKa1", "MoKa11"};

// The lattice centring items, in menu order P, A, B, C, I, F, R, and their captions (the
// letter and the lattice's name), which the refinement details window shares.
inline constexpr std::array<const char*, 7> kLatticeItemNames = {
    "LatticeP", "LatticeA", "LatticeB", "LatticeC", "LatticeI", "LatticeF", "LatticeR"};
const char* CentringCaption(Centring centring, Lang lang);

// Texts of the input boxes and of the typed-wavelength X-ray name.
extern const Text kWavelengthInputTitle;   // "X-Ray Wave Length"
extern const Text kWavelengthInputPrompt;  // "Input Wave Length "
extern const Text kMinimumDInputTitle;     // "Minimum d-Value"
extern const Text kMinimumDInputPrompt;    // "Input minimum d-Value"
inline constexpr const char* kTypedWavelengthName = " Set W.L.";

// What the window reads from the main window and the settings it changes.
struct HklWindowLinks {
    AppSettings& settings;                // lang, lamda, d_min, x_ray, hkl_range
    const std::string& systemLabel;       // the main window's crystal-system label
    const int& crystalSystem;             // the main window's crystal-system code
    const CalculationState& calculation;  // the table and the result of the last run
    const CellParameters& refinedCell;    // its direct cell, angles in degrees

    explicit HklWindowLinks(MainState& main)
        : settings(main.settings),
          systemLabel(main.label3),
          crystalSystem(main.calc.crystalSystem),
          calculation(main.calc),
          refinedCell(main.calc.result.direct) {}
};

inline constexpr int kCellGridRows = 6;
inline constexpr int kRangeGridRows = 4;
inline constexpr int kRangeGridColumns = 4;
inline constexpr int kHklColumns = 5;

struct HklWindowState {
    explicit HklWindowState(MainState& main) : main(main) {}

    HklWindowLinks main;
    HklState hkl;  // the current cell, the index range and the table

    // StringGrid2, the cell grid: [row][column], column 0 the labels, 1 the values.
    std::array<std::array<std::string, 2>, kCellGridRows> cellGrid;
    // StringGrid3, the range grid: [row][column]; row 0 and column 0 are fixed.
    std::array<std::array<std::string, kRangeGridColumns>, kRangeGridRows> rangeGrid;

    std::string label5;   // crystal-system name
    std::string label7;   // X-ray name
    std::string label8;   // wavelength
    std::string label10;  // minimum d
    std::array<std::string, kHklControlCount> captions;
    bool n16Checked = false;  // all indices
    bool n17Checked = false;  // asymmetric unit

    // The lattice items' captions, P .. R, and the check mark of the stored centring.
    std::array<std::string, 7> latticeCaptions;
    std::array<bool, 7> latticeChecked{};
    // The centring that filters the table shown ("F  face-centred"), or the next one while
    // no table is shown: a stored choice is never hidden.
    std::string latticeShown;
    Centring tableLattice = Centring::P;
    // A space group chosen instead of a bare centring (gemmi's extended Hermann-Mauguin
    // symbol; empty: none), and the one the table shown was made with. Its glide and screw
    // absences are left out of the table as well. It lasts while the program runs; a
    // centring item clears it.
    std::string spaceGroup;
    std::string tableGroup;
    // The X-ray item in force: a preset 0..7, or −1 for a typed wavelength (N6).
    int presetChecked = -1;

    // Requests to the window: put the current cells where an opening puts them (cell grid
    // row 0, column 1; table row 1, column 0) and give the table the focus; close.
    bool currentCellsRequested = false;
    bool closeRequested = false;
    // Counts every change of the table's rows, so that the window knows when to redraw it.
    std::uint64_t tableVersion = 0;

    Lang UiLang() const { return LangFromCode(main.settings.lang); }
    const std::string& Caption(HklControl control) const {
        return captions[static_cast<std::size_t>(control)];
    }
    // The six value texts of the cell grid, a .. γ.
    std::array<std::string, kCellGridRows> CellTexts() const;
};

// The fixed header texts of the table grid, columns 0..4 ("    d ", "  h ", ...).
extern const std::array<const char*, kHklColumns> kHklTableHeader;

// --- Opening ---------------------------------------------------------------------------

// Every opening: check marks from hkl_range and lattice, current cells and focus, the labels,
// the captions and fixed texts of the language, the grids emptied, and when the result still
// describes the main window's table (ResultDescribesTable) and its a is greater than 0, the
// refined cell, its range and its table.
void FormShow(HklWindowState& state, Ui& ui);

// --- Menu commands -----------------------------------------------------------------------

void N2Click(HklWindowState& state, Ui& ui);   // Calculate
void N4Click(HklWindowState& state, Ui& ui);   // Sort, with the progress display
void N15Click(HklWindowState& state, Ui& ui);  // Send to ClipBoard
void N8Click(HklWindowState& state, Ui& ui);   // no action
void N19Click(HklWindowState& state, Ui& ui);  // Close
// A wavelength preset, 0..7 in menu order (Cu-Ka .. Mo-Ka1).
void PresetClick(HklWindowState& state, Ui& ui, int preset);
void N6Click(HklWindowState& state, Ui& ui);   // typed wavelength
void N10Click(HklWindowState& state, Ui& ui);  // Correct Cell Constant: the cell dialog
void N12Click(HklWindowState& state, Ui& ui);  // the range submenu opens: the index range
void N16Click(HklWindowState& state, Ui& ui);  // all indices
void N17Click(HklWindowState& state, Ui& ui);  // asymmetric unit
void N13Click(HklWindowState& state, Ui& ui);  // minimum d
// A lattice centring: stored as "lattice", checked; like the range choice it takes effect
// at the next Calculate.
void LatticeClick(HklWindowState& state, Ui& ui, Centring centring);
// Space Group...: a number or symbol asked for; a group of the main window's crystal system
// (in its setting: rhombohedral axes for Trigonal, the unique axis b or c for the two
// monoclinic systems) takes the place of the centring from the next Calculate.
void SpaceGroupClick(HklWindowState& state, Ui& ui);
extern const Text kSpaceGroupInputTitle;
extern const Text kSpaceGroupInputPrompt;
extern const Text kUnknownSpaceGroup;
extern const Text kSpaceGroupOfOtherSystem;  // {group}, {system}

// --- Steps the commands share ----------------------------------------------------------

// The value texts of the cell grid into the current cell; the cell dialog instead when the
// a text is empty (the current cell is then what the dialog stored).
void ReadCellGrid(HklWindowState& state, Ui& ui);

// The index range of the current cell and the minimum d, shown in the range grid. Without
// a cell the message is shown and false returned; a refused range is shown the same way and
// leaves no range (the old one would not reach the new minimum d).
bool ComputeIndexRange(HklWindowState& state, Ui& ui);

// --- Table scrolling ---------------------------------------------------------------------

// After the table grid scrolled to `topRow` (grid rows, 1 = first data row) with
// `visibleRows` fully visible rows: the row that becomes current, or nothing when the
// current row stays. A row above the top moves to the last fully visible row; one more
// than `visibleRows` rows below the top moves to the top row.
std::optional<int> RowAfterScroll(int currentRow, int topRow, int visibleRows);

}  // namespace dorvalix
