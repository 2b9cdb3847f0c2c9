// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf_file.h"

#include <cstddef>

namespace dorvalix {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsPdfBlank(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == '\0';
}

// Skips digits from `at`; false when there are none.
bool SkipDigits(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at > start;
}

bool SkipBlanks(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && IsPdfBlank(text[at]))
        ++at;
    return at > start;
}

// "xref", or an object header "N G obj" of a cross-reference stream, at `at`.
bool CrossReferenceAt(std::string_view bytes, std::size_t at) {
    if (bytes.substr(at).starts_with("xref")) return true;
    return SkipDigits(bytes, at) && SkipBlanks(bytes, at) && SkipDigits(bytes, at) &&
           SkipBlanks(bytes, at) && bytes.substr(at).starts_with("obj");
}

}  // namespace

bool IsCompletePdf(std::string_view bytes) {
    if (!bytes.starts_with("%PDF-")) return false;
    std::string_view body = bytes;
    while (!body.empty() && IsPdfBlank(body.back()))
        body.remove_suffix(1);
    if (!body.ends_with("%%EOF")) return false;
    const std::size_t keyword = body.rfind("startxref");
    if (keyword == std::string_view::npos) return false;
    std::size_t at = keyword + 9;
    SkipBlanks(body, at);
    const std::size_t digits = at;
    if (!SkipDigits(body, at) || at - digits > 15) return false;
    std::size_t offset = 0;
    for (std::size_t i = digits; i < at; ++i)
        offset = offset * 10 + static_cast<std::size_t>(body[i] - '0');
    return offset < keyword && CrossReferenceAt(bytes, offset);
}

}  // namespace dorvalix
