// SPDX-License-Identifier: GPL-3.0-or-later
// The results report: the plain-text record of the last calculation that goes to a .out
// file, to the clipboard and, line for line, to dorvalix-cli.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "date_patterns.h"
#include "lang.h"
#include "observation_table.h"
#include "refinement.h"
#include "results_panel.h"

namespace dorvalix {

// The four tables of seven column labels, eight bytes each in Shift-JIS.
struct ReportColumnLabels {
    std::array<const char*, 7> reciprocal, reciprocalSd, direct, directSd;
};

ReportColumnLabels LoadReportColumnLabels(Lang lang);

// Texts of the report.
namespace report_text {
inline constexpr Text kTitle = {"Calculation of Cell Parameters", "最小二乗法による格子定数の計算"};
inline constexpr Text kDateTime = {"Date & Time: ", "計算時刻 : "};
inline constexpr Text kObservedData = {"Observed Data", "観測データ "};
inline constexpr const char* kObservationHeader =
    "  h     k     l    dobs      dcalc     do-dc       Qo.-Qc.";
inline constexpr const char* kProvenance = "Dorvalix Ver. 2.20";
inline constexpr Text kExecuteFirst = {"Excute Calculation before Write to File",
                                       "計算を実行してから出力してください"};
}  // namespace report_text

// What the report copies from the main window.
struct ResultsReportInput {
    Lang lang = Lang::English;
    std::string sampleName;   // the sample-name field
    std::string fileLabel;    // the file-name label: the data file's name without folder
    std::string systemLabel;  // the crystal-system label
    const ResultsPanel* panel = nullptr;
    const ObservationTable* table = nullptr;
    const RefinementResult* result = nullptr;  // dCalc and dDiff of the included rows
    LocalDateTime time;
};

// The report lines, without line ends.
std::vector<std::string> BuildResultsReport(const ResultsReportInput& in);

// The line of one observation row; `k` is the row's index among the included rows (used
// only when the row is not excluded).
std::string ReportObservationLine(const ObservationTable& table, int row,
                                  const RefinementResult& result, int k);

// d_obs − d_calc with exactly one sign: "+" F(x, 5) for x ≥ 0, "-" F(x, 5) for a negative
// x that rounds to zero, F(x, 5) with its own minus for any other negative x. The file and
// the printed page write it alike.
std::string DeviationText(long double x);

// d_obs − d_calc as the report line writes it: DeviationText after three blanks.
std::string ReportDeviationText(long double x);

// The lines as one text, every line (the last one too) followed by CR LF.
std::string JoinReportLines(const std::vector<std::string>& lines);

}  // namespace dorvalix
