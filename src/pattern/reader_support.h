// SPDX-License-Identifier: GPL-3.0-or-later
// What the pattern readers share: the file's name and language for their messages, number
// tokens of other programs' text formats, the checks every scan passes, and bounded access
// to binary records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "lang.h"
#include "pattern.h"
#include "pattern_messages.h"

namespace dorvalix::pattern_io {

// At most this many points are read from one file: a header that declares more is refused
// before anything is allocated. Real files hold up to a few hundred thousand.
inline constexpr std::size_t kMaxPatternPoints = 5'000'000;

// The file being read: its name as messages show it, the language, the points so far.
class ReadContext {
  public:
    ReadContext(const std::string& fileName, Lang lang);

    Lang lang() const { return lang_; }
    const std::string& QuotedName() const { return name_; }

    // Throws PatternFileError with `text`; the file name is %1, `args` are %2 ...
    [[noreturn]] void Fail(const Text& text,
                           std::initializer_list<std::string_view> args = {}) const;
    // The message `text` (with the file name as %1) in the reader's language.
    std::string Message(const Text& text, std::initializer_list<std::string_view> args = {}) const;
    // "damaged (<detail>)"; the detail is a technical English text.
    [[noreturn]] void Damaged(std::string_view detail) const;

    // Claims `count` more points for a scan before they are stored; refuses a file that
    // would hold more than kMaxPatternPoints.
    void ClaimPoints(std::size_t count);

  private:
    std::string name_;
    Lang lang_;
    std::size_t points_ = 0;
};

// A number token of a data file: optional sign, digits with "." (or "," when `decimalComma`),
// optional exponent; nothing else. Returns false for anything else.
bool ParseNumber(std::string_view token, double& value, bool decimalComma = false);

// A wavelength in Å as a header states it: the extended number nearest to its decimal text
// (the number texts of the program), between 0 and 100 exclusive. 0 when it is none.
long double WavelengthText(std::string_view text);

// A text as a message shows it (control characters escaped, cut short).
std::string Quote(std::string_view text);

// The file's lines without their ends (LF, CR LF or CR alone).
std::vector<std::string_view> SplitLines(std::string_view text);

// Splits at blanks and tabs; empty tokens are dropped.
std::vector<std::string_view> SplitBlanks(std::string_view line);

// Text without a UTF-8 byte-order mark.
std::string_view WithoutByteOrderMark(std::string_view text);

// Checks a scan that was read: at least one point, every 2θ, count and s.u. finite, 2θ
// strictly increasing (a scan measured downwards is turned round first). `number` counts
// the scans from 1 for the messages.
void FinishScan(Scan& scan, const ReadContext& context, std::size_t number);

// Little-endian binary fields at byte offsets, each checked against the end of the bytes;
// reading past it refuses the file as cut short.
class ByteFields {
  public:
    ByteFields(std::string_view bytes, const ReadContext& context)
        : bytes_(bytes), context_(context) {}
    std::size_t size() const { return bytes_.size(); }
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::uint32_t U32(std::size_t offset) const;
    float F32(std::size_t offset) const;
    double F64(std::size_t offset) const;
    // Up to `count` bytes as text, ending at the first NUL, blanks trimmed.
    std::string Chars(std::size_t offset, std::size_t count) const;
    // Refuses the file unless `count` bytes from `offset` are present.
    void Require(std::size_t offset, std::size_t count) const;

  private:
    std::string_view bytes_;
    const ReadContext& context_;
};

}  // namespace dorvalix::pattern_io
