// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts: the conversions and formats every part of the program shares.
//
// Reals are extended precision (long double, 64-bit mantissa). Rounding of every format
// is half away from zero on the exact decimal value of the binary number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvalix {

// --- Texts -------------------------------------------------------------------------

// Removes leading and trailing blanks and control characters (codes 0..32).
inline std::string_view Trim(std::string_view text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32)
        --e;
    return text.substr(b, e - b);
}

// Number of characters (Unicode code points) of a UTF-8 text.
std::size_t CharCount(std::string_view text);

// A text as a message quotes it. Control characters (C0, DEL, C1) and bytes that are not
// UTF-8 are shown as \xNN, byte by byte, so that nothing read or typed reaches a terminal
// as a command; at most kQuotedTextLimit characters are shown, a longer text ends in "…".
inline constexpr std::size_t kQuotedTextLimit = 80;
std::string QuoteForMessage(std::string_view text);

// The same for a file name, which keeps its end ("…/folder/name.lat"): the name matters
// more than the folders above it.
std::string QuotePathForMessage(std::string_view path);

// A whole text for a terminal, escaped as QuoteForMessage escapes (a sample name's escape
// sequence shown, not run) but not cut short, and with its line breaks (LF, CR LF) and
// tabs kept.
std::string ShowControlCharacters(std::string_view text);

// --- Text to number ----------------------------------------------------------------

// A real: leading and trailing blanks allowed, decimal point ".", optional sign and
// exponent ("1.5", " -2.5e-3 ", ".5"). Empty texts, tabs, commas and anything else fail.
// The result is the extended-precision value nearest to the decimal.
bool TryParseReal(std::string_view text, long double& value);

// As TryParseReal; throws ConversionError "'%s' は浮動小数点数ではありません".
long double ParseReal(std::string_view text);

// A 32-bit integer: leading blanks, optional sign, then decimal digits, or hexadecimal
// digits after "$", "x" or "0x". Nothing may follow the digits, not even a blank.
bool TryParseInt(std::string_view text, std::int32_t& value);

// As TryParseInt; throws ConversionError "'%s' は整数ではありません".
std::int32_t ParseInt(std::string_view text);

// The texts of the two conversion errors, quoting the text by QuoteForMessage.
std::string RealConversionText(std::string_view text);
std::string IntConversionText(std::string_view text);

// --- Number to text ----------------------------------------------------------------

// Fixed-point text: v rounded to at most `precision` significant digits and at most
// `decimals` decimals (0..18), written with exactly `decimals` decimals and at least one
// digit before the point; a minus sign only when the rounded value is not zero. A value
// with more than `precision` digits before the point is written in exponent form.
std::string FormatFixed(long double v, int decimals, int precision);

// FormatFixed into a buffer of kFixedTextCapacity characters, without allocating; returns
// the length of the text.
inline constexpr std::size_t kFixedTextCapacity = 48;
std::size_t FormatFixedTo(long double v, int decimals, int precision, char* out);

// F(v, D) of the results panel and the reports: FormatFixed with 8 significant digits.
inline std::string FormatF(long double v, int decimals) {
    return FormatFixed(v, decimals, 8);
}

// Shortest general text with up to 15 significant digits, no trailing zeros
// ("1.5", "100", "0.0001"); exponent form below 0.0001 or from 10^15 up ("1E-5", "1E15").
std::string FormatGeneral(long double v);

// The same formats computed digit by digit from the exact decimal expansion of v: slow,
// and obviously right; the fast formatters are tested against them.
std::string FormatFixedExact(long double v, int decimals, int precision);
std::string FormatGeneralExact(long double v);

// Integer to decimal text.
std::string IntText(long long v);

// --- Rounding at a chosen decimal place ----------------------------------------------

// The exponent E of the leading significant digit of |v| in its exact decimal value
// (10^E <= |v| < 10^(E+1)), with its first `count` significant digits (1..18), truncated,
// in `digits`. v must be finite and not zero.
int LeadingDecimalDigits(long double v, int count, long long& digits);

// v rounded half away from zero to a multiple of 10^-decimals; `decimals` may be negative
// (rounding to tens, hundreds ...) or beyond 18. Written with max(decimals, 0) decimals, at
// least one digit before the point, never in exponent form, and a minus sign only when the
// rounded value is not zero.
std::string FormatAtDecimalPlace(long double v, int decimals);

// --- Full precision ----------------------------------------------------------------

// The text printf's "%.17Lg" writes for v in the C locale (17 significant digits, rounded
// to nearest with ties to even on the exact value, trailing zeros dropped, exponent form
// below 10^-4 and from 10^17 up), made without printf for the usual magnitudes: the
// machine-readable outputs write thousands of numbers.
std::string FormatG17(long double v);

}  // namespace dorvalix
