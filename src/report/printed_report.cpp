// SPDX-License-Identifier: GPL-3.0-or-later
#include "printed_report.h"

#include <algorithm>
#include <cstdint>

#include "calculation.h"
#include "captions.h"
#include "numtext.h"

namespace dorvalix {

namespace {

using namespace print_layout;

class Page {
  public:
    Page(std::vector<PrintText>& out, const PrintMeasures& m) : out_(out), m_(m) {}

    void Draw(int x, int y, std::string text) {
        out_.push_back({page_, x, y, points_, colour_, std::move(text)});
    }
    // At X0, `lines` line heights below the title.
    void Line(int lines, std::string text) { Draw(kX0, kY0 + lines * m_.lineHeight, text); }
    // At X0 + 10·i·CW for i = 0..6.
    void Block(int lines, const std::array<std::string, 7>& texts) {
        for (int i = 0; i < 7; ++i)
            Draw(kX0 + 10 * i * m_.columnWidth, kY0 + lines * m_.lineHeight,
                 texts[static_cast<std::size_t>(i)]);
    }
    void SetPoints(int points) { points_ = points; }
    void SetColour(PrintColour colour) { colour_ = colour; }
    void NewPage() { ++page_; }

  private:
    std::vector<PrintText>& out_;
    const PrintMeasures& m_;
    int page_ = 1;
    int points_ = kTitlePoints;
    PrintColour colour_ = PrintColour::Black;
};

std::array<std::string, 7> Labels(const std::array<const char*, 7>& labels) {
    std::array<std::string, 7> out;
    std::copy(labels.begin(), labels.end(), out.begin());
    return out;
}

// The trimmed texts of one column of a results grid; masked rows read "-----".
std::array<std::string, 7> Cells(const ResultsPanel::Grid& grid, int col) {
    std::array<std::string, 7> out;
    for (std::size_t r = 0; r < 7; ++r)
        out[r] = std::string(Trim(grid[r][static_cast<std::size_t>(col)]));
    return out;
}

// An index drawn so that its last digit stays in the column: a two-character text starts
// one column unit left, a three-character one two units left.
int IndexShift(std::int32_t n) {
    if (n <= -10) return 2;
    if (n < 0 || n >= 10) return 1;
    return 0;
}

}  // namespace

std::vector<PrintText> LayOutPrintedReport(const ResultsReportInput& in, const PrintMeasures& m) {
    const Lang lang = in.lang;
    const ReportColumnLabels labels = LoadReportColumnLabels(lang);
    const ResultsPanel& panel = *in.panel;
    const ObservationTable& table = *in.table;
    const int lh = m.lineHeight;
    const int cw = m.columnWidth;
    const int filled = static_cast<int>(std::min<std::uint32_t>(table.filled, kMaxObservations));

    std::vector<PrintText> out;
    out.reserve(40 + 8 * static_cast<std::size_t>(filled));
    Page page(out, m);
    page.Line(0, report_text::kTitle.In(lang));
    page.SetPoints(kBodyPoints);
    page.Line(3, print_text::kDateTime.In(lang) + (lang == Lang::Japanese
                                                       ? FormatPrintDateJapanese(in.time)
                                                       : FormatPrintDateEnglish(in.time)));
    page.Line(4, std::string(captions::kSample.In(lang)) + " : " + in.sampleName);
    page.Line(5, std::string(captions::kFile.In(lang)) + " : " + in.fileLabel);
    page.Line(6, std::string(captions::kSystem.In(lang)) + " : " + in.systemLabel);
    page.Line(7, " ");
    page.Line(9, captions::kReciprocalLattice.In(lang));
    page.Block(10, Labels(labels.reciprocal));
    page.Block(11, Cells(panel.reciprocal, 1));
    page.Block(12, Labels(labels.reciprocalSd));
    page.Block(13, Cells(panel.reciprocal, 2));
    page.Line(15, captions::kLattice.In(lang));
    page.Block(16, Labels(labels.direct));
    page.Block(17, Cells(panel.direct, 1));
    page.Block(18, Labels(labels.directSd));
    page.Block(19, Cells(panel.direct, 2));
    page.Line(21, print_text::kObservedData.In(lang));
    page.Line(22, print_text::kObservationHeader);

    int y = kY0 + 22 * lh;
    int k = 0;  // the row's index among the included rows
    for (int r = 1; r <= filled; ++r) {
        const bool excluded = table.IsExcluded(r);
        page.SetColour(excluded ? PrintColour::Aqua : PrintColour::Black);
        y += lh;
        for (int c = 1; c <= 3; ++c) {
            const std::string_view index = Trim(table.Cell(c, r));
            const std::int32_t n = ParseInt(index);
            page.Draw(kX0 + (5 * c - IndexShift(n)) * cw, y, std::string(index));
        }
        page.Draw(kX0 + 20 * cw, y, table.Cell(0, r));
        if (excluded) {
            for (const int col : {29, 38, 50})
                page.Draw(kX0 + col * cw, y, print_text::kExcludedValue);
        } else {
            ++k;
            const long double dCalc = in.result->dCalc[static_cast<std::size_t>(k)];
            std::string calc = FormatF(dCalc, 5);
            // From 10 up the calculated d has one more digit; the column keeps its width.
            if (dCalc >= 10) calc.pop_back();
            page.Draw(kX0 + 29 * cw, y, std::move(calc));
            page.Draw(kX0 + 38 * cw, y,
                      DeviationText(in.result->dDiff[static_cast<std::size_t>(k)]));
            page.Draw(kX0 + 50 * cw, y,
                      QDifferenceText(in.result->qDiff[static_cast<std::size_t>(k)]));
        }
        // A row is drawn where it falls; the next page starts after a row below 90 % of
        // the page height. Compared in integers: y > 0.9·PH.
        if (10LL * y > 9LL * m.pageHeight) {
            page.NewPage();
            y = m.pageHeight * 5 / 100;
        }
    }

    page.SetColour(PrintColour::Black);
    page.Draw(kX0, y + 2 * lh, captions::kResidual.In(lang));
    page.Draw(kX0, y + 3 * lh, panel.residual);
    page.SetPoints(kFooterPoints);
    page.Draw(kX0, y + 5 * lh, report_text::kProvenance);
    return out;
}

}  // namespace dorvalix
