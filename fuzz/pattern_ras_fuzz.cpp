// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the Ras reader of measured patterns (pattern_fuzz.h says what
// every reader must hold to).
#include "pattern_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return dorvalix::fuzz::Run(dorvalix::ParseRas, data, size, "scan.ras");
}
