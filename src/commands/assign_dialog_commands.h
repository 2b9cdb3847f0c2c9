// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog that gives the observed lines their indices from a known cell (TForm13, Data →
// "Assign Indices from Cell..."), as plain state and commands without Qt: the six
// constants (typed, or taken from the last refined result, the hkl window's cell or a CIF
// file), the crystal system, a lattice centring or a space group, the 2θ tolerance, and
// the lines (the main table's d, or the pattern window's peaks). Assign runs the
// assignment and shows every line's indices, the ambiguous and the unindexed ones marked;
// Apply puts them into the main table after a question that says what will change.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "assignment.h"
#include "hkl_window_commands.h"
#include "lang.h"
#include "main_state.h"
#include "pattern_window_commands.h"
#include "ui.h"

namespace dorvalix {

// Controls of the dialog that carry a fixed caption.
enum class AssignControl : int {
    TForm13,         // window title
    CellBox,         // the cell's frame
    FromResult,      // the last refined cell
    FromHkl,         // the hkl window's cell
    FromCif,         // read a CIF file
    SystemLabel,     // crystal system
    RuleLabel,       // which reflections the cell allows
    ByCentring,      // by a lattice centring
    BySpaceGroup,    // by a space group
    SpaceGroupHint,  // number or symbol
    ToleranceLabel,  // 2θ tolerance
    ToleranceHint,   // empty: from the fit
    LinesLabel,      // the lines to index
    FromTable,       // the main table's d
    FromPattern,     // the pattern window's peaks
    AssignButton,
    ApplyButton,
    CloseButton,
    ResultLabel,  // the lines and their indices
};
inline constexpr int kAssignControlCount = static_cast<int>(AssignControl::ResultLabel) + 1;

const char* AssignControlName(AssignControl control);
const char* AssignCaption(AssignControl control, Lang lang);
// The letter the English caption underlines for Alt+letter (0: none).
char AssignMnemonic(AssignControl control);

// Columns of the result table.
inline constexpr int kAssignColumns = 6;  // line, d, 2θ, indices, Δ2θ, status

// One line as the result table shows it.
struct AssignRow {
    std::array<std::string, kAssignColumns> texts;
    indexing::AssignedLine::Status status = indexing::AssignedLine::Status::Unindexed;
};

struct AssignDialogState {
    AssignDialogState(MainState& main, HklWindowState* hkl, PatternWindowState* pattern)
        : main(main), hkl(hkl), pattern(pattern) {}

    MainState& main;
    HklWindowState* hkl;          // the hkl window's cell, when there is the window
    PatternWindowState* pattern;  // its peaks, when there is the window

    std::array<std::string, kAssignControlCount> captions;
    std::array<std::string, kAssignColumns> columnCaptions;
    std::array<std::string, 8> systemCaptions;   // codes 1..8
    std::array<std::string, 7> latticeCaptions;  // P .. R

    // The options as typed or chosen.
    std::array<std::string, 6> cellTexts;  // a, b, c (Å), α, β, γ (degrees)
    int system = 0;                        // 1..8; 0: none chosen
    int centring = 0;                      // 0..6, P .. R
    bool bySpaceGroup = false;
    std::string spaceGroupText;
    std::string toleranceText;  // 2θ in degrees; empty: from the fit
    bool fromPattern = false;   // the pattern's peaks instead of the table's d
    bool patternAvailable = false;

    // The outcome of the last Assign, and what it was made from.
    std::optional<indexing::AssignmentResult> result;
    bool resultFromPattern = false;
    std::vector<AssignRow> rows;
    std::string summary;

    bool opened = false;  // the first opening takes the settings' lattice centring
    bool closeRequested = false;
    bool raiseRequested = false;
    bool mainChanged = false;   // Apply changed the main window's table and system
    std::uint64_t version = 0;  // counts every change of what is shown

    Lang UiLang() const { return LangFromCode(main.settings.lang); }
    const std::string& Caption(AssignControl c) const {
        return captions[static_cast<std::size_t>(c)];
    }
};

// The question Apply asks, with the counts put in; the refusals the dialog shows.
namespace assign_text {
extern const Text kApplyQuestion;
extern const Text kNoResult;
extern const Text kCellNotNumbers;
extern const Text kNoSystem;
extern const Text kUnknownSpaceGroup;
extern const Text kTolerance;
extern const Text kNoLines;
extern const Text kNoPeaks;
extern const Text kNoRefinedCell;
extern const Text kNoHklCell;
extern const Text kCifWithoutCell;
extern const Text kAssignFailed;
extern const Text kTableChanged;
}  // namespace assign_text

// "Assign Indices from Cell..." of the main window's Data menu.
void AssignIndices1Click(MainState& state, Ui& ui);

// Every opening: captions, the pattern's availability (the first: the lattice centring of
// the hkl table and the refinement details), the cell of the last result (or the
// hkl window's) when none is typed yet, the main window's crystal system.
void AssignDialogShow(AssignDialogState& state);
// After a command of the main window (the language, the pattern).
void FollowMainForAssign(AssignDialogState& state);

void AssignFromResultClick(AssignDialogState& state, Ui& ui);
void AssignFromHklClick(AssignDialogState& state, Ui& ui);
// The open dialog, then the cell and the space group of a data block (chosen among several).
void AssignFromCifClick(AssignDialogState& state, Ui& ui);

// The lines given their indices from the cell as typed; the result shown.
void AssignClick(AssignDialogState& state, Ui& ui);
// After the question: the main table holds the lines with their indices (ambiguous and
// unindexed lines kept, excluded), and the crystal system is the dialog's.
void AssignApplyClick(AssignDialogState& state, Ui& ui);
void AssignCloseClick(AssignDialogState& state, Ui& ui);

// Any text in a d or index cell of the table.
bool TableHoldsText(const ObservationTable& table);

}  // namespace dorvalix
