// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the number texts. Any text must convert or fail cleanly; a real that
// converts must format exactly as the digit-by-digit reference does, in every format the
// program uses, and its general text must read back to the same double.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "errors.h"
#include "numtext.h"

using namespace dorvalix;

namespace {

void Fail(const char* what, const std::string& a, const std::string& b) {
    std::fprintf(stderr, "%s: '%s' vs '%s'\n", what, a.c_str(), b.c_str());
    std::abort();
}

void CheckFormats(long double v) {
    if (!std::isfinite(v)) return;
    for (const int decimals : {0, 2, 5, 6, 8}) {
        const std::string fast = FormatFixed(v, decimals, 8);
        const std::string exact = FormatFixedExact(v, decimals, 8);
        if (fast != exact) Fail("FormatFixed", fast, exact);
        char buffer[kFixedTextCapacity];
        const std::size_t n = FormatFixedTo(v, decimals, 8, buffer);
        if (std::string(buffer, n) != fast) Fail("FormatFixedTo", std::string(buffer, n), fast);
    }
    const double d = static_cast<double>(v);
    if (!std::isfinite(d)) return;
    const std::string general = FormatGeneral(d);
    const std::string generalExact = FormatGeneralExact(d);
    if (general != generalExact) Fail("FormatGeneral", general, generalExact);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    long double real = 0;
    if (TryParseReal(text, real)) {
        CheckFormats(real);
        if (ParseReal(text) != real) std::abort();
    } else {
        try {
            ParseReal(text);
            std::abort();  // TryParseReal refused what ParseReal accepted
        } catch (const ConversionError&) {
        }
    }
    std::int32_t integer = 0;
    if (TryParseInt(text, integer)) {
        if (ParseInt(text) != integer) std::abort();
        CheckFormats(integer);
    } else {
        try {
            ParseInt(text);
            std::abort();
        } catch (const ConversionError&) {
        }
    }
    // The raw bytes as a value too, so that every exponent and mantissa is reached.
    if (size >= sizeof(double)) {
        double bits;
        std::memcpy(&bits, data, sizeof bits);
        CheckFormats(bits);
    }
    return 0;
}
