// SPDX-License-Identifier: GPL-3.0-or-later
#include "reader_support.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "numtext.h"

namespace dorvalix::pattern_io {

ReadContext::ReadContext(const std::string& fileName, Lang lang)
    : name_(QuotePathForMessage(fileName)), lang_(lang) {}

std::string ReadContext::Message(const Text& text,
                                 std::initializer_list<std::string_view> args) const {
    // The file name first, then the arguments: PatternMessage takes them as one list.
    const auto* a = args.begin();
    switch (args.size()) {
        case 0:
            return PatternMessage(text, lang_, {name_});
        case 1:
            return PatternMessage(text, lang_, {name_, a[0]});
        case 2:
            return PatternMessage(text, lang_, {name_, a[0], a[1]});
        default:
            return PatternMessage(text, lang_, {name_, a[0], a[1], a[2]});
    }
}

void ReadContext::Fail(const Text& text, std::initializer_list<std::string_view> args) const {
    throw PatternFileError(Message(text, args));
}

void ReadContext::Damaged(std::string_view detail) const {
    Fail(pattern_text::kDamaged, {detail});
}

void ReadContext::ClaimPoints(std::size_t count) {
    if (count > kMaxPatternPoints - points_) {
        Fail(pattern_text::kTooManyPoints,
             {std::to_string(points_ + std::min(count, std::size_t{1} << 62)),
              std::to_string(kMaxPatternPoints)});
    }
    points_ += count;
}

bool ParseNumber(std::string_view token, double& value, bool decimalComma) {
    if (token.empty() || token.size() > 64) return false;
    char buffer[72];
    std::size_t n = 0;
    std::size_t start = 0;
    if (token[0] == '+') start = 1;  // from_chars takes no plus sign
    for (std::size_t i = start; i < token.size(); ++i) {
        char c = token[i];
        if (c == ',') {
            if (!decimalComma) return false;
            c = '.';
        }
        buffer[n++] = c;
    }
    if (n == 0) return false;
    if (buffer[0] == '-' && n > 1 && buffer[1] == '+') return false;
    const auto [end, error] = std::from_chars(buffer, buffer + n, value);
    if (error == std::errc::result_out_of_range) {
        // A number beyond the range of double is no count a detector gave.
        value = std::numeric_limits<double>::infinity();
        return end == buffer + n;
    }
    return error == std::errc() && end == buffer + n;
}

long double WavelengthText(std::string_view text) {
    long double v = 0;
    if (!TryParseReal(Trim(text), v) || !(v > 0 && v < 100)) return 0;
    return v;
}

std::string Quote(std::string_view text) {
    return QuoteForMessage(text);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t b = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > b) tokens.push_back(line.substr(b, i - b));
    }
    return tokens;
}

std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return text;
}

void FinishScan(Scan& scan, const ReadContext& context, std::size_t number) {
    const std::size_t n = scan.twoTheta.size();
    const std::string scanText = std::to_string(number);
    if (n == 0 || scan.counts.size() != n || (!scan.su.empty() && scan.su.size() != n)) {
        context.Fail(pattern_text::kNoPoints);
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(scan.twoTheta[i]) || !std::isfinite(scan.counts[i]) ||
            (!scan.su.empty() && !std::isfinite(scan.su[i]))) {
            context.Fail(pattern_text::kNotFinite, {std::to_string(i + 1), scanText});
        }
    }
    if (n >= 2 && scan.twoTheta.front() > scan.twoTheta.back()) {
        std::reverse(scan.twoTheta.begin(), scan.twoTheta.end());
        std::reverse(scan.counts.begin(), scan.counts.end());
        std::reverse(scan.su.begin(), scan.su.end());
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (!(scan.twoTheta[i] > scan.twoTheta[i - 1])) {
            context.Fail(pattern_text::kNotIncreasing, {scanText, std::to_string(i + 1)});
        }
    }
}

std::uint32_t ByteFields::U32(std::size_t offset) const {
    Require(offset, 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + offset);
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

float ByteFields::F32(std::size_t offset) const {
    const std::uint32_t bits = U32(offset);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double ByteFields::F64(std::size_t offset) const {
    const std::uint64_t bits =
        static_cast<std::uint64_t>(U32(offset)) | static_cast<std::uint64_t>(U32(offset + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::string ByteFields::Chars(std::size_t offset, std::size_t count) const {
    Require(offset, count);
    std::string_view s = bytes_.substr(offset, count);
    if (const std::size_t nul = s.find('\0'); nul != std::string_view::npos) s = s.substr(0, nul);
    return std::string(Trim(s));
}

void ByteFields::Require(std::size_t offset, std::size_t count) const {
    if (!Has(offset, count)) {
        context_.Damaged("it ends at byte " + std::to_string(bytes_.size()) +
                         ", where a record of " + std::to_string(count) + " bytes at byte " +
                         std::to_string(offset) + " was expected");
    }
}

}  // namespace dorvalix::pattern_io
