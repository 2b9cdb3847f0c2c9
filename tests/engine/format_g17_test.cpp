// SPDX-License-Identifier: GPL-3.0-or-later
// FormatG17 writes exactly what printf's "%.17Lg" writes, on values of every magnitude,
// exact ties included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "numtext.h"

namespace dorvalix {
namespace {

std::string Printf(long double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17Lg", v);
    return buf;
}

TEST(FormatG17, ChosenValues) {
    const long double values[] = {0.0L,
                                  -0.0L,
                                  1,
                                  -1,
                                  0.1L,
                                  0.5L,
                                  1e-4L,
                                  9.99999999999999999e-5L,
                                  1e-5L,
                                  1e16L,
                                  1e17L,
                                  99999999999999999.0L,
                                  99999999999999999.5L,
                                  1.54178L,
                                  0.710678L,
                                  440.469L,
                                  12345678901234566.5L,  // ties: to even
                                  12345678901234567.5L,
                                  0.0000123456789012345678L,
                                  3.2347248889735639e-300L,
                                  1e300L,
                                  std::numeric_limits<long double>::denorm_min(),
                                  std::numeric_limits<long double>::max(),
                                  std::numeric_limits<long double>::infinity(),
                                  -std::numeric_limits<long double>::infinity(),
                                  std::numeric_limits<long double>::quiet_NaN()};
    for (const long double v : values)
        EXPECT_EQ(FormatG17(v), Printf(v)) << Printf(v);
    EXPECT_EQ(FormatG17(1.54178L), "1.54178");
    EXPECT_EQ(FormatG17(12345678901234566.5L), "12345678901234566");
    EXPECT_EQ(FormatG17(12345678901234567.5L), "12345678901234568");
    EXPECT_EQ(FormatG17(-2.5e-7L), "-2.5e-07");
}

TEST(FormatG17, RandomValuesOfEveryMagnitude) {
    std::mt19937_64 rng(17);
    for (int i = 0; i < 300000; ++i) {
        // Full 64-bit mantissas, and short odd ones (dyadic rationals with exact ties).
        const std::uint64_t full = rng() | (1ULL << 63);
        const std::uint64_t odd = (rng() >> (4 + rng() % 56)) | 1;
        const int e2 = static_cast<int>(rng() % 241) - 180;
        long double v =
            std::ldexp(static_cast<long double>(i % 2 ? full : odd), e2 - (i % 2 ? 63 : 0));
        if (rng() % 2) v = -v;
        ASSERT_EQ(FormatG17(v), Printf(v)) << Printf(v);
    }
}

}  // namespace
}  // namespace dorvalix
