// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the Brml reader of measured patterns (pattern_fuzz.h says what
// every reader must hold to).
#include "pattern_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return dorvalix::fuzz::Run(dorvalix::ParseBrml, data, size, "scan.brml");
}
