// SPDX-License-Identifier: GPL-3.0-or-later
// Rich text as word processors save it (RTF), read into paragraphs of styled runs: enough
// for a short explanatory text with bold, italic and underlined words, sizes, colours,
// super- and subscripts, line breaks and tabs. Everything else a word processor writes
// (page setup, style sheets, pictures, field instructions, document information) is
// skipped; a table arrives as one paragraph per row with its cells separated by tabs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvalix {

struct RtfColour {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const RtfColour&) const = default;
};

enum class RtfPosition { Baseline, Superscript, Subscript };

struct RtfCharFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;              // the font size in half points (24: 12 pt)
    std::optional<RtfColour> colour;  // none: the reader's own text colour
    RtfPosition position = RtfPosition::Baseline;
    bool operator==(const RtfCharFormat&) const = default;
};

// Text in UTF-8; a line break inside a paragraph is U+2028 (LINE SEPARATOR), a tab '\t'.
struct RtfRun {
    std::string text;
    RtfCharFormat format;
};

enum class RtfAlignment { Left, Centre, Right, Justified };

struct RtfParagraph {
    RtfAlignment alignment = RtfAlignment::Left;
    std::vector<RtfRun> runs;  // neighbouring runs differ in their format; none when empty
};

struct RtfDocument {
    std::vector<RtfParagraph> paragraphs;
};

// The sizes a document may ask for are kept between 1 and 200 points.
inline constexpr int kRtfMinHalfPoints = 2;
inline constexpr int kRtfMaxHalfPoints = 400;

// Reads a document. Bytes that do not begin with "{\rtf" are plain text (UTF-8, or CP932
// when they are not valid UTF-8), one paragraph per line. Reading never fails: what cannot
// be understood is skipped.
RtfDocument ReadRtf(std::string_view bytes);

// The document's text without formats: paragraphs separated by '\n'.
std::string RtfPlainText(const RtfDocument& document);

}  // namespace dorvalix
