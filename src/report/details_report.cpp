// SPDX-License-Identifier: GPL-3.0-or-later
#include "details_report.h"

#include <algorithm>
#include <cmath>

#include "numtext.h"

namespace dorvalix {

namespace {

constexpr const char* kDirectLabels[7] = {"a", "b", "c", "alpha", "beta", "gamma", "V"};
constexpr const char* kReciprocalLabels[7] = {"a*", "b*", "c*", "alpha*", "beta*", "gamma*", "V*"};
constexpr const char* kDirectLabelsJa[7] = {"a", "b", "c", "α", "β", "γ", "V"};
constexpr const char* kReciprocalLabelsJa[7] = {"a*", "b*", "c*", "α*", "β*", "γ*", "V*"};

// Columns a text takes on a terminal: two for the wide characters of East Asian scripts
// (from U+2E80 on, except the half-width forms), one for the others.
std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? c : c & (0x3F >> (len - 1));
        for (int k = 1; k < len && i + static_cast<std::size_t>(k) < text.size(); ++k)
            cp = (cp << 6) |
                 (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        width += cp >= 0x2E80 && !(cp >= 0xFF61 && cp <= 0xFFDC) ? 2 : 1;
        i += static_cast<std::size_t>(len);
    }
    return width;
}

std::string Pad(std::string text, std::size_t width) {
    const std::size_t w = DisplayWidth(text);
    if (w < width) text.append(width - w, ' ');
    return text;
}

std::string PadLeft(const std::string& text, std::size_t width) {
    const std::size_t w = DisplayWidth(text);
    return w < width ? std::string(width - w, ' ') + text : text;
}

void AddCell(std::vector<std::string>& lines, const CellWithSu& cell, const char* const* labels) {
    for (int r = 0; r < 7; ++r)
        lines.push_back(" " + Pad(labels[r], 10) + SuText(cell, r));
}

// Four significant digits, without exponent.
std::string Significant(long double v) {
    if (v == 0 || !std::isfinite(v)) return FormatGeneral(v);
    long long digits;
    return FormatAtDecimalPlace(v, 3 - LeadingDecimalDigits(v, 1, digits));
}

std::string Optional(const std::optional<long double>& v) {
    return v ? FormatF(*v, 4) : "-";
}

}  // namespace

std::vector<std::string> BuildDetailsReport(const RefinementDetails& d, Lang lang) {
    using namespace details_text;
    const bool ja = lang == Lang::Japanese;
    const char* const* direct = ja ? kDirectLabelsJa : kDirectLabels;
    const char* const* reciprocal = ja ? kReciprocalLabelsJa : kReciprocalLabels;
    const std::string lattice(1, CentringLetter(d.merit.lattice));
    std::vector<std::string> lines;
    lines.push_back(kTitle.In(lang));
    lines.push_back(kDirect.In(lang));
    AddCell(lines, d.direct, direct);
    lines.push_back(kReciprocal.In(lang));
    AddCell(lines, d.reciprocal, reciprocal);
    lines.push_back("");

    lines.push_back(With(kDiagnostics.In(lang), "{lattice}", lattice));
    // Right-aligned columns, each at least two blanks wider than its label.
    std::size_t widths[7] = {5, 5, 6, 6, 10, 10, 10};
    std::string header;
    for (std::size_t c = 0; c < 7; ++c) {
        const std::string label = kDiagnosticsColumns[c].In(lang);
        widths[c] = std::max(widths[c], DisplayWidth(label) + 2);
        header += PadLeft(label, widths[c]);
    }
    lines.push_back(header);
    for (const ObservationDetails& o : d.observations) {
        const std::string cells[7] = {IntText(o.row),       IntText(o.h),
                                      IntText(o.k),         IntText(o.l),
                                      Optional(o.leverage), Optional(o.studentized),
                                      Optional(o.cook)};
        std::string line;
        for (std::size_t c = 0; c < 7; ++c)
            line += PadLeft(cells[c], widths[c]);
        if (o.outlier) line += std::string("  ") + kOutlier.In(lang);
        if (o.absent) line += std::string("  ") + kAbsent.In(lang);
        lines.push_back(line);
    }
    lines.push_back("");

    const Text& fit = d.merit.fit == DetailsFit::Q ? kMeritFitQ
                      : d.merit.zeroRefined        ? kMeritFitZero
                                                   : kMeritFitTwoTheta;
    lines.push_back(With(With(With(kMerit.In(lang), "{fit}", fit.In(lang)), "{lattice}", lattice),
                         "{wavelength}", FormatGeneral(d.merit.wavelength)));
    auto figure = [&](const std::string& text, const char* name, int n,
                      const std::optional<DetailsMessage>& note) {
        if (!text.empty()) return " " + text;
        std::string line = std::string(" ") + name + "(" + IntText(n) + ") = -";
        if (note) line += "  " + note->Text(lang);
        return line;
    };
    lines.push_back(figure(MeritText(d.merit.m), "M", d.merit.m.n, d.merit.m.note));
    lines.push_back(figure(MeritText(d.merit.f), "F", d.merit.f.n, d.merit.f.note));
    lines.push_back("");

    if (d.twoTheta) {
        const TwoThetaFit& fit = *d.twoTheta;
        lines.push_back((fit.zeroRefined ? kFitZero : kFitNoZero).In(lang));
        if (fit.zeroRefined)
            lines.push_back(" " + Pad(kZero.In(lang), 10) + SuText(fit.zero, fit.zeroSu) + " °");
        AddCell(lines, fit.direct, direct);
        lines.push_back(std::string(" ") + kSumSq.In(lang) + "  " + Significant(fit.sumSq) + " °²");
        lines.push_back(std::string(" ") + kIterations.In(lang) + "  " + IntText(fit.iterations));
        lines.push_back("");
    }
    return lines;
}

}  // namespace dorvalix
