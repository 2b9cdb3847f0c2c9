// SPDX-License-Identifier: GPL-3.0-or-later
// Two or three columns of text: 2θ, counts and optionally their s.u. Lines before the first
// line of numbers are a header; lines starting with # ! ; % // or ' are comments anywhere.
// Columns are separated by semicolons, tabs, commas or blanks, as the first line of numbers
// shows; a comma is a decimal comma where the columns are separated otherwise and the line
// has no decimal point. Such files never state the wavelength.
#include <algorithm>
#include <optional>
#include <string>

#include "numtext.h"
#include "pattern_reader.h"
#include "reader_support.h"

namespace dorvalix {

using namespace pattern_io;

namespace {

enum class Separator { Semicolon, Tab, Comma, Blank };

bool IsComment(std::string_view t) {
    return t.starts_with('#') || t.starts_with('!') || t.starts_with(';') || t.starts_with('%') ||
           t.starts_with("//") || t.starts_with('\'');
}

std::vector<std::string_view> SplitAt(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = line.find(separator, start);
        fields.push_back(Trim(line.substr(start, at == std::string_view::npos ? at : at - start)));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    // "10;200;" ends in an empty field, as spreadsheets write it.
    while (!fields.empty() && fields.back().empty())
        fields.pop_back();
    return fields;
}

std::vector<std::string_view> Fields(std::string_view line, Separator separator) {
    switch (separator) {
        case Separator::Semicolon:
            return SplitAt(line, ';');
        case Separator::Tab:
            return SplitAt(line, '\t');
        case Separator::Comma:
            return SplitAt(line, ',');
        case Separator::Blank:
            break;
    }
    return SplitBlanks(line);
}

// The separator a line of numbers shows, or nullopt when it is no such line.
std::optional<Separator> DetectSeparator(std::string_view t) {
    if (t.find(';') != std::string_view::npos) return Separator::Semicolon;
    if (t.find('\t') != std::string_view::npos) return Separator::Tab;
    if (t.find(',') != std::string_view::npos) {
        const auto fields = SplitAt(t, ',');
        double v;
        const bool numbers = fields.size() >= 2 &&
                             std::all_of(fields.begin(), fields.end(),
                                         [&](std::string_view f) { return ParseNumber(f, v); });
        if (numbers) return Separator::Comma;
    }
    return Separator::Blank;
}

}  // namespace

Pattern ParseXyText(std::string_view bytes, const std::string& fileName, Lang lang) {
    ReadContext context(fileName, lang);
    if (bytes.find('\0') != std::string_view::npos) context.Fail(pattern_text::kUnknownFormat);
    Pattern pattern;
    pattern.format = "xy";
    Scan scan;
    std::optional<Separator> separator;
    bool decimalComma = false;
    std::size_t columns = 0;
    const std::vector<std::string_view> lines = SplitLines(WithoutByteOrderMark(bytes));
    // Each line holds at least a 2θ and a count: the claim bounds what is stored.
    std::size_t dataLines = 0;
    for (const std::string_view line : lines)
        dataLines += !Trim(line).empty();
    context.ClaimPoints(dataLines);
    scan.twoTheta.reserve(dataLines);
    scan.counts.reserve(dataLines);
    for (std::size_t number = 1; number <= lines.size(); ++number) {
        const std::string_view t = Trim(lines[number - 1]);
        if (t.empty() || IsComment(t)) continue;
        const Separator sep = separator ? *separator : *DetectSeparator(t);
        // A decimal comma only where the columns are not separated by commas and the first
        // line of numbers has no decimal point.
        const bool comma = separator
                               ? decimalComma
                               : sep != Separator::Comma && t.find('.') == std::string_view::npos;
        const std::vector<std::string_view> fields = Fields(t, sep);
        double values[3];
        std::size_t parsed = 0;
        while (parsed < fields.size() && parsed < 3 &&
               ParseNumber(fields[parsed], values[parsed], comma))
            ++parsed;
        const bool allNumbers =
            parsed == fields.size() ||
            (parsed == 3 && std::all_of(fields.begin() + 3, fields.end(), [&](std::string_view f) {
                 double v;
                 return ParseNumber(f, v, comma);
             }));
        if (!separator) {
            // Still in the header: a line of two numbers or more starts the data.
            if (!allNumbers || fields.size() < 2) continue;
            separator = sep;
            decimalComma = comma;
            columns = fields.size();
        }
        const std::string lineText = std::to_string(number);
        if (!allNumbers) {
            context.Fail(pattern_text::kNotANumber, {lineText, Quote(fields[parsed])});
        }
        if (fields.size() != columns || columns > 3) {
            context.Fail(pattern_text::kColumnCount, {lineText, std::to_string(fields.size())});
        }
        scan.twoTheta.push_back(values[0]);
        scan.counts.push_back(values[1]);
        if (columns == 3) scan.su.push_back(values[2]);
    }
    if (scan.twoTheta.empty()) context.Fail(pattern_text::kNoPoints);
    FinishScan(scan, context, 1);
    pattern.scans.push_back(std::move(scan));
    return pattern;
}

}  // namespace dorvalix
