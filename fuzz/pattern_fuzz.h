// SPDX-License-Identifier: GPL-3.0-or-later
// What every pattern reader's fuzz target checks: any input gives a pattern or a
// PatternFileError (never another exception, a crash or a hang), and a pattern read is one
// the peak search can trust: at least one scan, every scan non-empty with as many counts
// (and s.u.) as 2θ values, all finite, 2θ strictly increasing, at most 5 million points;
// a wavelength, where stated, positive; the messages never empty.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "errors.h"
#include "pattern_reader.h"

namespace dorvalix::fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

inline void CheckPattern(const Pattern& p) {
    if (p.scans.empty()) Fail("a pattern without scans");
    std::size_t total = 0;
    for (const Scan& s : p.scans) {
        const std::size_t n = s.Size();
        if (n == 0 || s.counts.size() != n || (!s.su.empty() && s.su.size() != n))
            Fail("a scan whose columns differ in length");
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(s.twoTheta[i]) || !std::isfinite(s.counts[i]) ||
                (!s.su.empty() && !std::isfinite(s.su[i])))
                Fail("a value that is not finite");
            if (i > 0 && !(s.twoTheta[i] > s.twoTheta[i - 1])) Fail("2θ not increasing");
        }
        total += n;
    }
    if (total > 5'000'000) Fail("more points than the limit");
    if (p.wavelength.stated && !(p.wavelength.ka1 > 0)) Fail("a stated wavelength of 0 or less");
    if (p.wavelength.IsDoublet() && !(p.wavelength.ratio > 0 && p.wavelength.ratio < 1))
        Fail("a Kα2 ratio out of range");
}

// Runs one reader on the input under the name `fileName`.
template <typename Reader>
int Run(Reader reader, const std::uint8_t* data, std::size_t size, const char* fileName) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        CheckPattern(reader(bytes, fileName, Lang::English));
    } catch (const PatternFileError& e) {
        if (std::string_view(e.what()).empty()) Fail("an empty message");
    }
    return 0;
}

}  // namespace dorvalix::fuzz
