// SPDX-License-Identifier: GPL-3.0-or-later
#include "numtext.h"

#include <locale.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "errors.h"
#include "long_double_bits.h"

namespace dorvalix {

using u128 = ldbits::U128;
using ldbits::Decompose;

// ---------------------------------------------------------------------------------------
// Texts

std::size_t CharCount(std::string_view text) {
    std::size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++n;
    }
    return n;
}

namespace {

// Length of the UTF-8 sequence at the start of `text` (1..4), or 0 when it is not one:
// a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80) return 1;
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (i == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return 0;
    }
    return n;
}

// A character of a message: a UTF-8 sequence that is not a control character, or one byte
// to be shown as \xNN.
struct MessageChar {
    std::size_t length;  // bytes taken from the text
    bool escaped;
};

MessageChar NextMessageChar(std::string_view text) {
    const std::size_t n = Utf8SequenceLength(text);
    if (n == 0) return {1, true};
    const auto b0 = static_cast<unsigned char>(text[0]);
    const bool c0 = n == 1 && (b0 < 0x20 || b0 == 0x7F);
    // U+0080..U+009F, the C1 controls, are C2 80 .. C2 9F.
    const bool c1 = n == 2 && b0 == 0xC2 && static_cast<unsigned char>(text[1]) <= 0x9F;
    return c0 || c1 ? MessageChar{1, true} : MessageChar{n, false};
}

void AppendMessageChar(std::string& out, std::string_view text, const MessageChar& ch) {
    if (!ch.escaped) {
        out.append(text.substr(0, ch.length));
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto b = static_cast<unsigned char>(text[0]);
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 15];
}

}  // namespace

std::string QuoteForMessage(std::string_view text) {
    std::string out;
    std::size_t count = 0;
    while (!text.empty()) {
        if (count == kQuotedTextLimit) return out + "…";
        const MessageChar ch = NextMessageChar(text);
        AppendMessageChar(out, text, ch);
        text.remove_prefix(ch.length);
        ++count;
    }
    return out;
}

std::string ShowControlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        MessageChar ch = NextMessageChar(text);
        const char c = text[0];
        if (c == '\n' || c == '\t' || (c == '\r' && text.substr(1, 1) == "\n")) ch.escaped = false;
        AppendMessageChar(out, text, ch);
        text.remove_prefix(ch.length);
    }
    return out;
}

std::string QuotePathForMessage(std::string_view path) {
    // The characters of the text from its start; only the last kQuotedTextLimit are shown.
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < path.size();) {
        starts.push_back(at);
        at += NextMessageChar(path.substr(at)).length;
    }
    if (starts.size() <= kQuotedTextLimit) return QuoteForMessage(path);
    return "…" + QuoteForMessage(path.substr(starts[starts.size() - kQuotedTextLimit]));
}

std::string RealConversionText(std::string_view text) {
    return "'" + QuoteForMessage(text) + "' は浮動小数点数ではありません";
}

std::string IntConversionText(std::string_view text) {
    return "'" + QuoteForMessage(text) + "' は整数ではありません";
}

std::string IntText(long long v) {
    return std::to_string(v);
}

// ---------------------------------------------------------------------------------------
// Text to number

namespace {

// The integer powers of five below go up to 5^27 < 2^63.
constexpr int kMaxPow5 = 27;

// 10^k = 5^k × 2^k is exact in long double while 5^k < 2^digits: up to 10^27 in the 64-bit
// mantissa and wider ones (the table ends there), up to 10^22 in a double.
constexpr int ExactPowersOfTen() {
    int k = 0;
    for (std::uint64_t p5 = 5;
         k < kMaxPow5 && (ldbits::kDigits >= 64 || p5 >> (ldbits::kDigits % 64) == 0); p5 *= 5)
        ++k;
    return k;
}
constexpr int kMaxExactPow10 = ExactPowersOfTen();

// Whether a gathered mantissa converts to long double exactly (always in 64 bits and more).
constexpr bool MantissaFits(std::uint64_t m) {
    return ldbits::kDigits >= 64 || m >> (ldbits::kDigits % 64) == 0;
}

constexpr long double kPow10[28] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                    1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                    1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                    1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

constexpr std::uint64_t kPow5[28] = {1ULL,
                                     5ULL,
                                     25ULL,
                                     125ULL,
                                     625ULL,
                                     3125ULL,
                                     15625ULL,
                                     78125ULL,
                                     390625ULL,
                                     1953125ULL,
                                     9765625ULL,
                                     48828125ULL,
                                     244140625ULL,
                                     1220703125ULL,
                                     6103515625ULL,
                                     30517578125ULL,
                                     152587890625ULL,
                                     762939453125ULL,
                                     3814697265625ULL,
                                     19073486328125ULL,
                                     95367431640625ULL,
                                     476837158203125ULL,
                                     2384185791015625ULL,
                                     11920928955078125ULL,
                                     59604644775390625ULL,
                                     298023223876953125ULL,
                                     1490116119384765625ULL,
                                     7450580596923828125ULL};

constexpr std::uint64_t kPow10U[20] = {1ULL,
                                       10ULL,
                                       100ULL,
                                       1000ULL,
                                       10000ULL,
                                       100000ULL,
                                       1000000ULL,
                                       10000000ULL,
                                       100000000ULL,
                                       1000000000ULL,
                                       10000000000ULL,
                                       100000000000ULL,
                                       1000000000000ULL,
                                       10000000000000ULL,
                                       100000000000000ULL,
                                       1000000000000000ULL,
                                       10000000000000000ULL,
                                       100000000000000000ULL,
                                       1000000000000000000ULL,
                                       10000000000000000000ULL};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool TryParseReal(std::string_view text, long double& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Mantissa: up to 19 significant digits are gathered exactly; more send the text to
    // the library's correctly rounded conversion.
    std::uint64_t mantissa = 0;
    int significant = 0;
    bool truncated = false;
    long exponent = 0;
    int digitCount = 0;
    const std::size_t mantissaStart = i;
    while (i < n && IsDigit(text[i])) {
        ++digitCount;
        if (significant < 19) {
            if (mantissa != 0 || text[i] != '0') {
                mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
                ++significant;
            }
        } else {
            ++exponent;
            if (text[i] != '0') truncated = true;
        }
        ++i;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            ++digitCount;
            if (significant < 19) {
                if (mantissa != 0 || text[i] != '0') {
                    mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
                    ++significant;
                }
                --exponent;
            } else if (text[i] != '0') {
                truncated = true;
            }
            ++i;
        }
    }
    if (digitCount == 0) return false;
    const std::size_t mantissaEnd = i;
    long explicitExponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            expNegative = text[i] == '-';
            ++i;
        }
        if (i >= n || !IsDigit(text[i])) return false;
        while (i < n && IsDigit(text[i])) {
            if (explicitExponent < 100000)
                explicitExponent = explicitExponent * 10 + (text[i] - '0');
            ++i;
        }
        if (expNegative) explicitExponent = -explicitExponent;
    }
    const std::size_t numberEnd = i;
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n) return false;

    exponent += explicitExponent;
    if (mantissa == 0) {
        value = negative ? -0.0L : 0.0L;
        return true;
    }
    // A pair of doubles does not round its arithmetic correctly: the library converts.
    if (!ldbits::kDoubleDouble && !truncated && exponent >= -kMaxExactPow10 &&
        exponent <= kMaxExactPow10 && MantissaFits(mantissa)) {
        // One correctly rounded operation on two exact operands.
        long double m = static_cast<long double>(mantissa);
        long double r = exponent < 0 ? m / kPow10[-exponent] : m * kPow10[exponent];
        value = negative ? -r : r;
        return true;
    }
    std::string clean(text.substr(mantissaStart, mantissaEnd - mantissaStart));
    clean.insert(0, negative ? "-" : "+");
    clean += "e" + std::to_string(explicitExponent);
    (void)numberEnd;
    char* end = nullptr;
    long double r = strtold_l(clean.c_str(), &end, CLocale());
    if (end == nullptr || *end != '\0' || std::isinf(r)) return false;
    value = r;
    return true;
}

long double ParseReal(std::string_view text) {
    long double v;
    if (!TryParseReal(text, v)) throw ConversionError(RealConversionText(text));
    return v;
}

bool TryParseInt(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The common case first: up to nine decimal digits and nothing after them.
    if (n > i && n - i <= 9) {
        std::int32_t v = 0;
        std::size_t j = i;
        while (j < n && IsDigit(text[j]))
            v = v * 10 + (text[j++] - '0');
        if (j == n) {
            value = negative ? -v : v;
            return true;
        }
    }
    bool hex = false;
    if (i < n && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i < n && (text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n) return false;
    std::uint64_t acc = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        unsigned digit;
        if (IsDigit(c)) {
            digit = static_cast<unsigned>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        acc = acc * (hex ? 16 : 10) + digit;
        if (acc > 0xFFFFFFFFULL) return false;
    }
    if (hex) {
        // Hexadecimal texts cover the whole 32-bit pattern ($FFFFFFFF is -1).
        std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(acc));
        value = negative ? static_cast<std::int32_t>(0U - static_cast<std::uint32_t>(v)) : v;
        return true;
    }
    if (negative) {
        if (acc > 2147483648ULL) return false;
        value = static_cast<std::int32_t>(-static_cast<long long>(acc));
    } else {
        if (acc > 2147483647ULL) return false;
        value = static_cast<std::int32_t>(acc);
    }
    return true;
}

std::int32_t ParseInt(std::string_view text) {
    std::int32_t v;
    if (!TryParseInt(text, v)) throw ConversionError(IntConversionText(text));
    return v;
}

// ---------------------------------------------------------------------------------------
// Exact decimal expansion, the reference for every format.

namespace {

// value = digits × 10^(pointPos − digits.size()); digits without leading zeros,
// empty for zero.
struct Decimal {
    std::string digits;
    int pointPos = 0;
};

// a > 0 as an integer in base 10^9, least significant limb first, times 2^e2: for formats
// whose mantissa no 64-bit integer holds. Its binary digits are taken 32 at a time from the
// top: scaling by powers of two and taking away the whole part are exact, for a pair of
// doubles too, whose two halves may lie far apart.
void DecimalLimbsOfBinary(long double a, std::vector<std::uint32_t>& limbs, int& e2) {
    constexpr std::uint32_t kBase = 1000000000U;
    long double f = std::frexp(a, &e2);
    while (f != 0) {
        f = std::ldexp(f, 32);
        const long double whole = std::floor(f);
        f -= whole;
        e2 -= 32;
        // limbs = limbs × 2^32 + whole
        std::uint64_t carry = static_cast<std::uint64_t>(whole);
        for (auto& limb : limbs) {
            const std::uint64_t p = (static_cast<std::uint64_t>(limb) << 32) + carry;
            limb = static_cast<std::uint32_t>(p % kBase);
            carry = p / kBase;
        }
        for (; carry != 0; carry /= kBase)
            limbs.push_back(static_cast<std::uint32_t>(carry % kBase));
    }
}

Decimal ExactDecimal(long double a) {
    Decimal d;
    if (a == 0) return d;
    std::uint64_t m = 0;
    int e2 = 0;
    if constexpr (ldbits::kNarrowMantissa) Decompose(a, m, e2);
    // Big integer in base 10^9, least significant limb first.
    constexpr std::uint32_t kBase = 1000000000U;
    std::vector<std::uint32_t> limbs;
    if constexpr (ldbits::kNarrowMantissa) {
        for (std::uint64_t t = m; t != 0; t /= kBase)
            limbs.push_back(static_cast<std::uint32_t>(t % kBase));
    } else {
        DecimalLimbsOfBinary(a, limbs, e2);
    }
    auto multiply = [&](std::uint64_t factor) {
        std::uint64_t carry = 0;
        for (auto& limb : limbs) {
            std::uint64_t p = static_cast<std::uint64_t>(limb) * factor + carry;
            limb = static_cast<std::uint32_t>(p % kBase);
            carry = p / kBase;
        }
        while (carry != 0) {
            limbs.push_back(static_cast<std::uint32_t>(carry % kBase));
            carry /= kBase;
        }
    };
    int shift10 = 0;
    if (e2 >= 0) {
        for (int left = e2; left > 0; left -= 29)
            multiply(1ULL << std::min(left, 29));
    } else {
        // m × 2^e2 = m × 5^(−e2) × 10^e2
        for (int left = -e2; left > 0; left -= 13)
            multiply(kPow5[std::min(left, 13)]);
        shift10 = e2;
    }
    d.digits = std::to_string(limbs.back());
    for (std::size_t i = limbs.size() - 1; i-- > 0;) {
        std::string part = std::to_string(limbs[i]);
        d.digits += std::string(9 - part.size(), '0') + part;
    }
    d.pointPos = static_cast<int>(d.digits.size()) + shift10;
    return d;
}

// Rounds half away from zero so that at most `decimals` digits stay after the point
// (decimals may be negative: rounding to tens, hundreds...).
void RoundDecimal(Decimal& d, int decimals) {
    const long keep = static_cast<long>(d.pointPos) + decimals;  // digits kept from the front
    if (keep >= static_cast<long>(d.digits.size()) || d.digits.empty()) return;
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        std::size_t i = d.digits.size();
        while (i > 0 && d.digits[i - 1] == '9') {
            d.digits[i - 1] = '0';
            --i;
        }
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.pointPos;
        } else {
            ++d.digits[i - 1];
        }
    }
    // Strip trailing zeros; strip leading zeros keeping pointPos in step.
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    std::size_t lead = 0;
    while (lead < d.digits.size() && d.digits[lead] == '0')
        ++lead;
    d.digits.erase(0, lead);
    d.pointPos -= static_cast<int>(lead);
    if (d.digits.empty()) d.pointPos = 0;
}

std::string FixedFromDecimal(const Decimal& d, int decimals, bool negative) {
    std::string out;
    if (negative && !d.digits.empty()) out += '-';
    const int len = static_cast<int>(d.digits.size());
    if (d.digits.empty() || d.pointPos <= 0) {
        out += '0';
    } else {
        for (int i = 0; i < d.pointPos; ++i)
            out += i < len ? d.digits[static_cast<std::size_t>(i)] : '0';
    }
    if (decimals > 0) {
        out += '.';
        for (int j = 0; j < decimals; ++j) {
            const int idx = d.pointPos + j;  // index of the digit at 10^-(j+1)
            out += (idx >= 0 && idx < len && !d.digits.empty())
                       ? d.digits[static_cast<std::size_t>(idx)]
                       : '0';
        }
    }
    return out;
}

// General text of a decimal already rounded to its significant digits (no trailing zeros).
std::string GeneralFromDecimal(const Decimal& d, bool negative) {
    if (d.digits.empty()) return "0";
    std::string out = negative ? "-" : "";
    const int len = static_cast<int>(d.digits.size());
    const int exp10 = d.pointPos - 1;  // exponent of the leading digit
    if (exp10 < -4 || exp10 > 14) {
        out += d.digits[0];
        if (len > 1) {
            out += '.';
            out.append(d.digits, 1, std::string::npos);
        }
        out += 'E';
        out += std::to_string(exp10);
        return out;
    }
    if (d.pointPos <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.pointPos), '0');
        out += d.digits;
    } else if (d.pointPos >= len) {
        out += d.digits;
        out.append(static_cast<std::size_t>(d.pointPos - len), '0');
    } else {
        out.append(d.digits, 0, static_cast<std::size_t>(d.pointPos));
        out += '.';
        out.append(d.digits, static_cast<std::size_t>(d.pointPos), std::string::npos);
    }
    return out;
}

std::string NonFiniteText(long double v) {
    if (std::isnan(v)) return "NAN";
    return v < 0 ? "-INF" : "INF";
}

int ClampDecimals(int decimals) {
    return std::clamp(decimals, 0, 18);
}

}  // namespace

std::string FormatFixedExact(long double v, int decimals, int precision) {
    if (!std::isfinite(v)) return NonFiniteText(v);
    decimals = ClampDecimals(decimals);
    const bool negative = std::signbit(v);
    Decimal d = ExactDecimal(std::fabs(v));
    if (d.digits.empty()) return FixedFromDecimal(d, decimals, false);
    const int exp10 = d.pointPos - 1;
    RoundDecimal(d, std::min(decimals, precision - 1 - exp10));
    if (!d.digits.empty() && d.pointPos > precision) {
        // More digits before the point than the precision: exponent form.
        Decimal e = ExactDecimal(std::fabs(v));
        RoundDecimal(e, precision - e.pointPos);
        std::string out = negative ? "-" : "";
        out += e.digits[0];
        if (e.digits.size() > 1) {
            out += '.';
            out.append(e.digits, 1, std::string::npos);
        }
        out += "E" + std::to_string(e.pointPos - 1);
        return out;
    }
    return FixedFromDecimal(d, decimals, negative);
}

std::string FormatGeneralExact(long double v) {
    if (!std::isfinite(v)) return NonFiniteText(v);
    Decimal d = ExactDecimal(std::fabs(v));
    if (d.digits.empty()) return "0";
    RoundDecimal(d, 15 - d.pointPos);
    return GeneralFromDecimal(d, std::signbit(v));
}

// ---------------------------------------------------------------------------------------
// Fast formats: the same rounding done on 128-bit integers. a × 10^k = m × 5^k × 2^(e2+k)
// is exact while 5^k and the shift fit; otherwise the exact expansion is used. They need a
// mantissa of at most 64 bits (m × 5^k < 2^127); wider formats take the exact expansion
// whenever the quick path of FormatFixedTo cannot decide.

namespace {

int DigitCount(std::uint64_t q) {
    if (q == 0) return 1;
    // 1233/4096 is just above log10(2): a guess that is right or one too small.
    const int bits = 64 - __builtin_clzll(q);
    const int guess = (bits * 1233) >> 12;
    return guess + (guess < 20 && q >= kPow10U[guess] ? 1 : 0);
}

// floor(a × 10^k) and whether the rest is at least one half; false when it does not fit.
bool ScaleFloor(std::uint64_t m, int e2, int k, std::uint64_t& q, bool& roundUp) {
    if (k < 0 || k > kMaxPow5) return false;
    const u128 p = static_cast<u128>(m) * kPow5[k];  // < 2^127
    const int s = e2 + k;
    u128 whole;
    if (s >= 0) {
        if (s >= 60) return false;
        const u128 limit = static_cast<u128>(1) << (127 - s);
        if (p >= limit) return false;
        whole = p << s;
        roundUp = false;
    } else {
        const int sh = -s;
        if (sh >= 128) {
            whole = 0;
            roundUp = false;  // p < 2^127, so the rest is below one half
        } else {
            whole = p >> sh;
            const u128 rest = p & ((static_cast<u128>(1) << sh) - 1);
            roundUp = rest >= (static_cast<u128>(1) << (sh - 1));
        }
    }
    if (whole > 0xFFFFFFFFFFFFFFFFULL) return false;
    q = static_cast<std::uint64_t>(whole);
    return true;
}

void AppendDigits(std::string& out, std::uint64_t q, int minDigits) {
    char buf[24];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + q % 10);
        q /= 10;
    } while (q != 0);
    while (n < minDigits)
        buf[n++] = '0';
    std::reverse(buf, buf + n);
    out.append(buf, static_cast<std::size_t>(n));
}

// The quick path's product y = a·10^k is within half an ulp of the exact one, y·2^-digits
// at most; its margin is sixteen times that. A pair of doubles rounds less tightly and
// gets a wide margin.
constexpr long double kQuickMargin =
    ldbits::kDoubleDouble ? ldbits::PowerOfTwo(-80) : ldbits::PowerOfTwo(4 - ldbits::kDigits);

}  // namespace

std::size_t FormatFixedTo(long double v, int decimals, int precision, char* out) {
    auto exact = [&] {
        const std::string text = FormatFixedExact(v, decimals, precision);
        const std::size_t n = std::min(text.size(), kFixedTextCapacity);
        std::memcpy(out, text.data(), n);
        return n;
    };
    if (!std::isfinite(v) || precision > 18 || precision < 1) return exact();
    decimals = ClampDecimals(decimals);
    const long double a = std::fabs(v);
    int k = decimals;
    std::uint64_t q = 0;
    bool done = false;
    if (a != 0 && a < 1e15L && k <= kMaxExactPow10) {
        // Quick path: y = a·10^k with one rounding, so the exact product lies within
        // ulp(y)/2 of y. Unless y sits near a half, its nearest integer r is the rounded
        // value; otherwise the exact integer arithmetic below decides.
        const long double y = a * kPow10[k];
        if (y < 9.0e18L) {
            const long long r = std::llrint(y);  // nearest, in the current rounding mode
            const long double frac = y - static_cast<long double>(r);
            const long double margin = y * kQuickMargin;
            if (std::fabs(frac) < 0.5L - margin && r >= 0 &&
                DigitCount(static_cast<std::uint64_t>(r)) <= precision) {
                q = static_cast<std::uint64_t>(r);
                done = true;
            }
        }
    }
    if (a != 0 && !done) {
        if constexpr (!ldbits::kNarrowMantissa) return exact();
        std::uint64_t m;
        int e2;
        Decompose(v, m, e2);  // the sign lies outside the mantissa and the exponent
        bool up = false;
        if (!ScaleFloor(m, e2, k, q, up)) return exact();
        if (q != 0) {
            const int nd = DigitCount(q);
            if (nd > precision) {
                // Keep `precision` significant digits: fewer decimals.
                k = decimals - (nd - precision);
                if (k < 0 || !ScaleFloor(m, e2, k, q, up)) return exact();
            }
        }
        if (up) ++q;
        if (q != 0 && DigitCount(q) - k > precision) return exact();
    }
    // Digits of q, at least k + 1 of them, the point before the last k, then zeros up to
    // `decimals` places.
    const bool nonzero = q != 0;
    char digits[24];
    int n = 0;
    // Two digits at a time, least significant first.
    while (q >= 100) {
        const unsigned pair = static_cast<unsigned>(q % 100);
        q /= 100;
        digits[n++] = kDigitPairs[2 * pair + 1];
        digits[n++] = kDigitPairs[2 * pair];
    }
    if (q >= 10) {
        digits[n++] = kDigitPairs[2 * q + 1];
        digits[n++] = kDigitPairs[2 * q];
    } else {
        digits[n++] = static_cast<char>('0' + q);
    }
    while (n < k + 1)
        digits[n++] = '0';
    std::size_t len = 0;
    if (v < 0 && nonzero) out[len++] = '-';
    for (int i = n - 1; i >= k; --i)
        out[len++] = digits[i];
    if (decimals > 0) {
        out[len++] = '.';
        for (int i = k - 1; i >= 0; --i)
            out[len++] = digits[i];
        for (int i = k; i < decimals; ++i)
            out[len++] = '0';
    }
    return len;
}

std::string FormatFixed(long double v, int decimals, int precision) {
    char buf[kFixedTextCapacity];
    return std::string(buf, FormatFixedTo(v, decimals, precision, buf));
}

std::string FormatGeneral(long double v) {
    if (!std::isfinite(v)) return NonFiniteText(v);
    if (v == 0) return "0";
    if constexpr (!ldbits::kNarrowMantissa) return FormatGeneralExact(v);
    const long double a = std::fabs(v);
    std::uint64_t m;
    int e2;
    Decompose(a, m, e2);
    int exp10 = static_cast<int>(std::floor(std::log10(a)));
    std::uint64_t q = 0;
    bool up = false;
    bool found = false;
    for (int attempt = 0; attempt < 3 && !found; ++attempt) {
        const int k = 14 - exp10;
        if (!ScaleFloor(m, e2, k, q, up)) return FormatGeneralExact(v);
        if (q >= kPow10U[15]) {
            ++exp10;
        } else if (q < kPow10U[14]) {
            --exp10;
        } else {
            found = true;
        }
    }
    if (!found) return FormatGeneralExact(v);
    if (up) ++q;
    Decimal d;
    d.digits.reserve(16);
    AppendDigits(d.digits, q, 1);
    d.pointPos = static_cast<int>(d.digits.size()) - (14 - exp10);
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return GeneralFromDecimal(d, v < 0);
}

// ---------------------------------------------------------------------------------------
// Rounding at a chosen decimal place, on the exact decimal value.

int LeadingDecimalDigits(long double v, int count, long long& digits) {
    const Decimal d = ExactDecimal(std::fabs(v));
    count = std::clamp(count, 1, 18);
    digits = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        digits = digits * 10 + (at < d.digits.size() ? d.digits[at] - '0' : 0);
    }
    return d.pointPos - 1;
}

std::string FormatAtDecimalPlace(long double v, int decimals) {
    if (!std::isfinite(v)) return NonFiniteText(v);
    Decimal d = ExactDecimal(std::fabs(v));
    RoundDecimal(d, decimals);
    return FixedFromDecimal(d, std::max(decimals, 0), std::signbit(v));
}

// ---------------------------------------------------------------------------------------
// Full precision

namespace {

std::string PrintfG17(long double v) {
    char buf[64];
    const locale_t previous = uselocale(CLocale());
    std::snprintf(buf, sizeof buf, "%.17Lg", v);
    uselocale(previous);
    return buf;
}

// The 17 significant digits of a > 0 as q in [10^16, 10^17) with a ≈ q × 10^(exp10 − 16),
// rounded to nearest, ties to even; false when a × 10^(16 − exp10) is not exact in 128 bits
// (below about 10^-11 and from 10^17 up).
bool Digits17(long double a, std::uint64_t& q, int& exp10) {
    if constexpr (!ldbits::kNarrowMantissa) return false;
    std::uint64_t m;
    int e2;
    Decompose(a, m, e2);
    exp10 = static_cast<int>(std::floor(std::log10(a)));
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int k = 16 - exp10;
        if (k < 0 || k > kMaxPow5) return false;
        const u128 p = static_cast<u128>(m) * kPow5[k];  // < 2^127
        const int s = e2 + k;
        u128 whole, rest = 0, half = 0;
        if (s >= 0) {
            if (s >= 64 || p >= (static_cast<u128>(1) << (127 - s))) return false;
            whole = p << s;
        } else {
            if (-s >= 127) return false;
            whole = p >> -s;
            rest = p & ((static_cast<u128>(1) << -s) - 1);
            half = static_cast<u128>(1) << (-s - 1);
        }
        if (whole >= kPow10U[17]) {
            ++exp10;
            continue;
        }
        if (whole < kPow10U[16]) {
            --exp10;
            continue;
        }
        q = static_cast<std::uint64_t>(whole);
        if (rest > half || (rest == half && half != 0 && (q & 1) != 0)) ++q;
        if (q == kPow10U[17]) {
            q = kPow10U[16];
            ++exp10;
        }
        return true;
    }
    return false;
}

}  // namespace

std::string FormatG17(long double v) {
    std::uint64_t q;
    int exp10;
    if (!std::isfinite(v) || v == 0 || !Digits17(std::fabs(v), q, exp10)) return PrintfG17(v);
    char digits[18];
    for (int i = 16; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + q % 10);
        q /= 10;
    }
    int len = 17;
    while (len > 1 && digits[len - 1] == '0')
        --len;
    std::string out = std::signbit(v) ? "-" : "";
    if (exp10 < -4 || exp10 >= 17) {
        out += digits[0];
        if (len > 1) {
            out += '.';
            out.append(digits + 1, static_cast<std::size_t>(len - 1));
        }
        out += exp10 < 0 ? "e-" : "e+";
        const int e = std::abs(exp10);
        if (e < 10) out += '0';
        out += std::to_string(e);
    } else if (exp10 >= 0) {
        for (int i = 0; i <= exp10; ++i)
            out += i < len ? digits[i] : '0';
        if (len > exp10 + 1) {
            out += '.';
            out.append(digits + exp10 + 1, static_cast<std::size_t>(len - exp10 - 1));
        }
    } else {
        out += "0.";
        out.append(static_cast<std::size_t>(-exp10 - 1), '0');
        out.append(digits, static_cast<std::size_t>(len));
    }
    return out;
}

}  // namespace dorvalix
