// SPDX-License-Identifier: GPL-3.0-or-later
// The printed report: the results report laid out at absolute positions on the printer's
// pages, as the list of texts to draw. Coordinates are the printer's device units (its
// pixels), from the top left corner of the printable area; a text's position is the top
// left corner of its line.
#pragma once

#include <string>
#include <vector>

#include "results_report.h"

namespace dorvalix {

enum class PrintColour { Black, Aqua };

// One text on a page (pages count from 1), in a font size of points and a colour.
struct PrintText {
    int page = 1;
    int x = 0;
    int y = 0;
    int points = 14;
    PrintColour colour = PrintColour::Black;
    std::string text;
    friend bool operator==(const PrintText&, const PrintText&) = default;
};

// What the layout needs of the printer, taken with the body font (14 points): the line
// height LH (the font's height), the column unit CW (the width of "8") and the page height
// PH, all in device units.
struct PrintMeasures {
    int lineHeight = 0;
    int columnWidth = 0;
    int pageHeight = 0;
};

namespace print_layout {
inline constexpr int kX0 = 200;  // left margin of every line
inline constexpr int kY0 = 200;  // the title's line
inline constexpr int kTitlePoints = 18;
inline constexpr int kBodyPoints = 14;
inline constexpr int kFooterPoints = 10;
}  // namespace print_layout

// Texts the printed page has of its own (the rest are the report's).
namespace print_text {
inline constexpr Text kDateTime = {"Date & Time: ", "計算時刻　: "};
inline constexpr Text kObservedData = {"Observed Data ", "観測データ "};
inline constexpr const char* kObservationHeader =
    "        h       k       l        dobs         dcalc        do-dc            Qo.-Qc.";
inline constexpr const char* kExcludedValue = "-------";
}  // namespace print_text

// The texts of the printed report in drawing order: the title, the header lines, one line
// per filled observation row (a new page after a row below 90 % of the page height), the
// residual and the program's name and version. An index cell that is not an integer
// throws ConversionError; the caller then draws nothing, so no half report is printed.
std::vector<PrintText> LayOutPrintedReport(const ResultsReportInput& in, const PrintMeasures& m);

}  // namespace dorvalix
