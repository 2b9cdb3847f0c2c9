// SPDX-License-Identifier: GPL-3.0-or-later
#include "results_report.h"

#include "calculation.h"
#include "captions.h"
#include "numtext.h"

namespace dorvalix {

namespace {

constexpr std::array<Text, 7> kReciprocalLabels = {{{" a*     ", "a*      "},
                                                    {" b*     ", "b*      "},
                                                    {" c*     ", "c*      "},
                                                    {" alfa*  ", "α*     "},
                                                    {" beta*  ", "β*     "},
                                                    {" ganma* ", "γ*     "},
                                                    {" V*     ", "V*      "}}};
constexpr std::array<Text, 7> kReciprocalSdLabels = {{{" Da*    ", "Δa*    "},
                                                      {" Db*    ", "Δb*    "},
                                                      {" Dc*    ", "Δc*    "},
                                                      {"Dalfa*  ", "Δα*   "},
                                                      {"Dbeta*  ", "Δβ*   "},
                                                      {"Dganma* ", "Δγ*   "},
                                                      {" DV*    ", "ΔV*    "}}};
constexpr std::array<Text, 7> kDirectLabels = {{{" a      ", "a       "},
                                                {" b      ", "b       "},
                                                {" c      ", "c       "},
                                                {" alfa   ", "α      "},
                                                {" beta   ", "β      "},
                                                {" ganma  ", "γ      "},
                                                {" V      ", "V       "}}};
constexpr std::array<Text, 7> kDirectSdLabels = {{{" Da     ", "Δa     "},
                                                  {" Db     ", "Δb     "},
                                                  {" Dc     ", "Δc     "},
                                                  {"Dalfa   ", "Δα    "},
                                                  {"Dbeta   ", "Δβ    "},
                                                  {"Dganma  ", "Δγ    "},
                                                  {" DV     ", "ΔV     "}}};

std::array<const char*, 7> In(const std::array<Text, 7>& texts, Lang lang) {
    std::array<const char*, 7> out;
    for (std::size_t i = 0; i < 7; ++i)
        out[i] = texts[i].In(lang);
    return out;
}

// The first `n` characters of a UTF-8 text, filled with blanks when it is shorter.
std::string FitTo(std::string_view text, std::size_t n) {
    std::string out;
    std::size_t chars = 0;
    std::size_t i = 0;
    while (i < text.size() && chars < n) {
        std::size_t len = 1;
        while (i + len < text.size() && (static_cast<unsigned char>(text[i + len]) & 0xC0) == 0x80)
            ++len;
        out.append(text.substr(i, len));
        i += len;
        ++chars;
    }
    out.append(n - chars, ' ');
    return out;
}

std::string LabelLine(const std::array<const char*, 7>& labels) {
    std::string line;
    for (const char* label : labels) {
        line += label;
        line += "   ";
    }
    return line;
}

// The trimmed cell texts of column `col`, each in eleven columns after `pad` blanks. A
// text of eleven characters or more is written whole with one blank after it, shifting the
// rest of the line: a number is never cut short or run into the next.
std::string CellLine(const ResultsPanel::Grid& grid, int col, int pad) {
    std::string line;
    for (int r = 0; r < 7; ++r) {
        std::string cell(Trim(grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(col)]));
        if (CharCount(cell) >= 11) {
            line += cell + " ";
            continue;
        }
        cell.append(static_cast<std::size_t>(pad), ' ');
        line += FitTo(cell, 11);
    }
    return line;
}

// An index in six columns: two blanks before a one-character text, one before two
// characters, three blanks after texts of one to three characters.
std::string IndexField(std::string_view cell) {
    const std::string_view t = Trim(cell);
    switch (CharCount(t)) {
        case 1:
            return "  " + std::string(t) + "   ";
        case 2:
            return " " + std::string(t) + "   ";
        case 3:
            return std::string(t) + "   ";
        default:
            return std::string(t);
    }
}

}  // namespace

ReportColumnLabels LoadReportColumnLabels(Lang lang) {
    return {In(kReciprocalLabels, lang), In(kReciprocalSdLabels, lang), In(kDirectLabels, lang),
            In(kDirectSdLabels, lang)};
}

std::string DeviationText(long double x) {
    const std::string f = FormatF(x, 5);
    if (x >= 0) return "+" + f;
    // A negative value always shows its sign, also when it rounds to zero.
    return f.starts_with('-') ? f : "-" + f;
}

std::string ReportDeviationText(long double x) {
    return "   " + DeviationText(x);
}

std::string ReportObservationLine(const ObservationTable& table, int row,
                                  const RefinementResult& result, int k) {
    std::string line = IndexField(table.Cell(1, row)) + IndexField(table.Cell(2, row)) +
                       IndexField(table.Cell(3, row));
    // The observed d as typed, in nine columns; a longer text is written whole rather than
    // cut to another number, shifting the rest of the line.
    const std::string& dObs = table.Cell(0, row);
    const bool longD = CharCount(dObs) > 9;
    line += longD ? dObs : FitTo(dObs, 9);
    line += ' ';
    if (table.IsExcluded(row)) return line + "-------" + "    -------" + "    --------";
    const long double dCalc = result.dCalc[static_cast<std::size_t>(k)];
    // From 10 up the calculated d has one more digit; its point stays in the column (not
    // after a long observed d, which keeps its blank).
    if (dCalc >= 10 && !longD) line.pop_back();
    line += FormatF(dCalc, 5);
    line += ReportDeviationText(result.dDiff[static_cast<std::size_t>(k)]);
    line += "   ";
    line += QDifferenceText(result.qDiff[static_cast<std::size_t>(k)]);
    return line;
}

std::vector<std::string> BuildResultsReport(const ResultsReportInput& in) {
    const Lang lang = in.lang;
    const ReportColumnLabels labels = LoadReportColumnLabels(lang);
    const ResultsPanel& panel = *in.panel;
    const ObservationTable& table = *in.table;
    std::vector<std::string> lines;
    lines.reserve(32 + table.filled);
    lines.emplace_back(report_text::kTitle.In(lang));
    lines.emplace_back();
    lines.push_back(report_text::kDateTime.In(lang) + (lang == Lang::Japanese
                                                           ? FormatReportDateJapanese(in.time)
                                                           : FormatReportDateEnglish(in.time)));
    lines.push_back(std::string(captions::kSample.In(lang)) + " : " + in.sampleName);
    lines.push_back(std::string(captions::kFile.In(lang)) + " : " + in.fileLabel);
    lines.push_back(std::string(captions::kSystem.In(lang)) + " : " + in.systemLabel);
    lines.emplace_back();
    lines.emplace_back(captions::kReciprocalLattice.In(lang));
    lines.push_back(LabelLine(labels.reciprocal));
    lines.push_back(CellLine(panel.reciprocal, 1, 8));
    lines.push_back(LabelLine(labels.reciprocalSd));
    lines.push_back(CellLine(panel.reciprocal, 2, 9));
    lines.emplace_back();
    lines.emplace_back(captions::kLattice.In(lang));
    lines.push_back(LabelLine(labels.direct));
    lines.push_back(CellLine(panel.direct, 1, 8));
    lines.push_back(LabelLine(labels.directSd));
    lines.push_back(CellLine(panel.direct, 2, 9));
    lines.emplace_back();
    lines.emplace_back(report_text::kObservedData.In(lang));
    lines.emplace_back(report_text::kObservationHeader);
    int k = 0;
    const int filled = static_cast<int>(std::min<std::uint32_t>(table.filled, kMaxObservations));
    for (int r = 1; r <= filled; ++r) {
        if (!table.IsExcluded(r)) ++k;
        lines.push_back(ReportObservationLine(table, r, *in.result, k));
    }
    lines.emplace_back();
    lines.emplace_back(captions::kResidual.In(lang));
    lines.push_back(panel.residual);
    lines.emplace_back(report_text::kProvenance);
    lines.emplace_back();
    return lines;
}

std::string JoinReportLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace dorvalix
