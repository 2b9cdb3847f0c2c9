// SPDX-License-Identifier: GPL-3.0-or-later
// The notation of journals and CIF for a value and its standard uncertainty: the s.u. to
// two significant digits when they read 19 or less, else to one (the IUCr's rule of 19),
// and the value to the same decimal place.
#include <algorithm>
#include <cmath>

#include "numtext.h"
#include "refinement_details.h"

namespace dorvalix {

namespace {

// The kept digits of an s.u. that FormatAtDecimalPlace rounded to 10^−decimals ("0.020" → 20,
// "70000" at decimals −4 → 7): the trailing zeros of a negative decimal place are dropped
// before the digits are read, so that no s.u. overflows an integer. At most three digits
// remain (the rounding of two significant digits reaches 100 at most).
long long KeptDigits(const std::string& text, int decimals) {
    std::string digits;
    for (const char c : text) {
        if (c >= '0' && c <= '9') digits += c;
    }
    if (decimals < 0)
        digits.resize(digits.size() -
                      std::min<std::size_t>(digits.size(), static_cast<std::size_t>(-decimals)));
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 0;
    long long v = 0;
    for (std::size_t i = first; i < digits.size() && v < 1000; ++i)
        v = v * 10 + (digits[i] - '0');
    return v;
}

}  // namespace

std::string SuText(long double value, const Su& su, bool fixed) {
    if (fixed) return FormatAtDecimalPlace(value, 0);
    if (!su || !(*su > 0) || !std::isfinite(*su)) return FormatAtDecimalPlace(value, 5);
    long long leading;
    const int exponent = LeadingDecimalDigits(*su, 2, leading);
    const bool two = leading <= 19;
    // The decimal place of the last kept digit: 10^−decimals.
    int decimals = two ? 1 - exponent : -exponent;
    long long kept = KeptDigits(FormatAtDecimalPlace(*su, decimals), decimals);
    // 19.6 → 20 keeps one digit; 9.6 → 10 is a 1 in the next place up.
    if ((two && kept == 20) || (!two && kept == 10)) {
        --decimals;
        kept /= 10;
    }
    std::string suText = IntText(kept);
    if (decimals < 0) suText.append(static_cast<std::size_t>(-decimals), '0');
    return FormatAtDecimalPlace(value, decimals) + "(" + suText + ")";
}

std::string MeritText(const FigureM& m) {
    if (!m.value) return {};
    return "M(" + IntText(m.n) + ") = " + FormatAtDecimalPlace(*m.value, 1);
}

std::string MeritText(const FigureF& f) {
    if (!f.value || !f.meanAbsD2Theta || !f.nPoss) return {};
    // Δ to four decimals, or to three significant digits when smaller than 0.001.
    long long leading;
    const int exponent = LeadingDecimalDigits(*f.meanAbsD2Theta, 1, leading);
    const int decimals = std::max(4, 2 - exponent);
    return "F(" + IntText(f.n) + ") = " + FormatAtDecimalPlace(*f.value, 1) + " (" +
           FormatAtDecimalPlace(*f.meanAbsD2Theta, decimals) + ", " + IntText(*f.nPoss) + ")";
}

}  // namespace dorvalix
