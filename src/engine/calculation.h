// SPDX-License-Identifier: GPL-3.0-or-later
// The calculation run (Execute): tidy and check the table, parse the included rows, fit,
// and fill the results.
#pragma once

#include <optional>
#include <string>

#include "lang.h"
#include "least_squares.h"
#include "observation_table.h"
#include "refinement.h"
#include "results_panel.h"

namespace dorvalix {

// The input a complete run worked on: columns 0..3 of every data row, the exclusion
// markers and the crystal system, as the run left them.
struct RunInput {
    std::array<std::array<std::string, 4>, kTableRows> cells;
    std::array<bool, kTableRows> excluded{};
    int crystalSystem = kNoSystem;
    // The panel and column 4 still show what the run produced: clearing the panel (a new
    // run, reading a file) ends that even when the table comes back the same.
    bool shown = false;
};

// Everything the main window owns for the refinement.
struct CalculationState {
    ObservationTable table;
    int crystalSystem = kNoSystem;
    RefinementResult result;
    ResultsPanel panel;
    bool resultValid = false;     // set by a complete run, cleared by clearing the table
    bool parseSucceeded = false;  // last ParseObservations converted every included row
    LeastSquaresWork work;
    DValueCache dValues;  // the d numbers read during a run
    RunInput lastRun;     // what the valid result was computed from
};

// Whether the result is valid and the table (columns 0..3 and the exclusion markers) and
// the crystal system are still those the run that produced it worked on, so that a report
// pairs the rows with their own calculated values.
bool ResultDescribesTable(const CalculationState& state);

// The messages a run can show (one message box with an OK button).
namespace run_text {
inline constexpr Text kSetInputData = {"Set Input Data", "デ－タが入力されていません"};
inline constexpr Text kSetCrystalSystem = {"Set Crystal System ", "結晶系が指定されていません"};
inline constexpr Text kNotEnoughData = {"Number of Data is not enough", "デ－タの数が足りません"};
inline constexpr Text kSetIndexData = {"Set Index Data", "指数のデ－タが入力されていません"};
inline constexpr Text kSetFiguresForD = {"Set Figures for d-value", "ｄ値には数字を入れてください"};
inline constexpr Text kSetIntegerForHkl = {"Set Integer for hkl", "指数には整数を入れてください"};
inline constexpr Text kTooSmallPivot = {"Too Small Pivot", "　逆行列が存在しません"};
inline constexpr Text kDNotPositive = {"Set d-value greater than 0",
                                       "ｄ値には 0 より大きい数を入れてください"};
inline constexpr Text kIndexTooLarge = {"Set hkl between -46340 and 46340",
                                        "指数は -46340 から 46340 までの整数にしてください"};
}  // namespace run_text

// The largest index magnitude a run takes: h² of a larger one no longer fits in 32 bits,
// and no powder pattern is indexed that far.
inline constexpr std::int32_t kMaxIndexMagnitude = 46340;

// Why ParseObservations stopped: the cell that failed and the message that names the fault.
struct ParseFailure {
    CellRef cell;
    const Text* message = nullptr;
};

// What a run did, for the window to show and for tests to check.
struct RunReport {
    bool completed = false;                // the chain ran to its end; the result is valid
    const Text* message = nullptr;         // the message box shown, if any
    std::string messageText;               // ... in the run's language
    std::optional<CellRef> currentCell;    // the cell made current (the grid takes the focus)
    std::optional<std::string> faultText;  // the error box's text (without its full stop)
};

// Closes holes above the last d value (rows move up whole, the vacated last row is
// emptied), recounts, and checks that every filled row has its three index cells. False
// when one is empty (the counts then hold what was reached up to that row).
bool CheckIndexCells(ObservationTable& table, DValueCache* cache = nullptr);

// Fills the parsed arrays from the rows 1..filled that are not excluded, row by row in the
// order d, h, k, l. A text that is not a number, a negative d or an index beyond
// ±kMaxIndexMagnitude stops it: false, with the cell and its message in `failed`; entries
// already written stay.
bool ParseObservations(ObservationTable& table, ParseFailure& failed,
                       const DValueCache* cache = nullptr);

// Column 4 of an included row: " +" and |q| for q >= 0; for q < 0 one blank and the signed
// value, which keeps its minus sign even when it rounds to zero. The reports write a row's
// Qo − Qc from the run's result with it, so that they show what the run wrote even after
// the column was emptied (Exclude, then Include).
void WriteQDifference(std::string& cell, long double q);
std::string QDifferenceText(long double q);

// Qc, d_calc, d_obs − d_calc of every included row, Qo − Qc into column 4 and R into the
// residual label.
void ComputeResiduals(CalculationState& state);

// Execute. Messages and the current cell go into `report`; number conversion failures and
// floating-point faults are thrown (DorvalixError) where they happen, nothing rolled back.
void ExecuteRun(CalculationState& state, Lang lang, RunReport& report);

// Execute with the thrown failures caught into report.faultText.
RunReport RunCalculation(CalculationState& state, Lang lang);

}  // namespace dorvalix
