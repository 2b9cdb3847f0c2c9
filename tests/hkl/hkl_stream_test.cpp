// SPDX-License-Identifier: GPL-3.0-or-later
// The tool's unsorted table streamed without being held: a table larger than the window
// may hold comes out line for line as the loop over every triple gives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "errors.h"
#include "hkl_stream.h"
#include "hkl_table.h"
#include "hkl_text.h"

namespace dorvalix {
namespace {

// The lines of the table in loop order, made one at a time from the definitions: d from
// SpacingD, 2θ from the arcsine of its definition. The arcsine costs more than the rest
// together, so only every eighth line is made whole; of the others the d and the indices
// are compared.
class LoopLines {
  public:
    LoopLines(const HklCell& cell, const IndexRange& range, long double d_min,
              long double wavelength)
        : m_(ComputeCellMetric(cell)),
          range_(range),
          d_min_(d_min),
          wavelength_(wavelength),
          // Far beyond the minimum d the root is not worth taking.
          s_skip_(m_.v / d_min * (m_.v / d_min) * 1.01L),
          h_(range.hmin),
          k_(range.kmin),
          l_(range.lmin - 1) {}

    // Whether `line` is the next line (false also after the last).
    bool IsNext(std::string_view line) {
        while (Advance()) {
            if (h_ == 0 && k_ == 0 && l_ == 0) continue;
            const long double x = h_, y = k_, z = l_;
            const long double s = x * m_.s_hh * x + y * m_.s_kk * y + z * m_.s_ll * z +
                                  2 * m_.s_hk * x * y + 2 * m_.s_kl * y * z + 2 * m_.s_hl * x * z;
            if (s > s_skip_) continue;
            const long double d = SpacingD(m_, h_, k_, l_);
            if (d < d_min_ * (1 - 1e-9L) || d <= wavelength_ / 2) continue;
            char expected[kMaxHklLineLength];
            if (made_++ % 8 == 0) {
                const HklReflection r =
                    MakeReflection(h_, k_, l_, d, TwoThetaDegrees(wavelength_, d));
                return line ==
                       std::string_view(expected, WriteHklLine(expected, r, HklLineEnd::Lf));
            }
            // The line without its 2θ: the 2θ of 0 is "   0.00" and the line end.
            const HklReflection r = MakeReflection(h_, k_, l_, d, 0);
            const std::size_t length =
                static_cast<std::size_t>(WriteHklLine(expected, r, HklLineEnd::Lf) - expected) - 8;
            return line.substr(0, length) == std::string_view(expected, length);
        }
        return false;
    }

    // Whether every line has been seen.
    bool AtEnd() { return !IsNext(""); }

  private:
    bool Advance() {
        if (++l_ <= range_.lmax) return true;
        l_ = range_.lmin;
        if (++k_ <= range_.kmax) return true;
        k_ = range_.kmin;
        return ++h_ <= range_.hmax;
    }

    CellMetric m_;
    IndexRange range_;
    long double d_min_, wavelength_, s_skip_;
    int h_, k_, l_;
    std::size_t made_ = 0;
};

TEST(HklStream, ATableBeyondTheWindowsLimitComesOutWhole) {
    // About 21 million reflections: more than the window takes.
    const HklCell cell = CellFromDegrees(60, 60, 60, 90, 90, 90);
    const HklParameters p{0, "all", 0.5L, 0.35L};
    IndexRange range;
    ASSERT_FALSE(ComputeIndexRange(cell, p.d_min, range));
    HklTable table;
    const HklRefusal refused = GenerateHklTable(cell, range, p, table);
    ASSERT_TRUE(refused);
    EXPECT_STREQ(refused->en, kWindowLimit.refusal.en);

    LoopLines expected(cell, range, p.d_min, p.wavelength);
    std::size_t lines = 0, blocks = 0, largest = 0, wrong = 0;
    std::string pending;  // a line cut between two blocks
    const HklRefusal refusal = StreamHklLines(
        cell, range, p, ToolLimit(0), HklLineEnd::Lf, 2, [&](std::string_view block) {
            ++blocks;
            largest = std::max(largest, block.size());
            pending.append(block);
            std::size_t start = 0;
            for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
                 start = end + 1) {
                const std::string_view line(pending.data() + start, end + 1 - start);
                if (!expected.IsNext(line) && wrong++ == 0) {
                    ADD_FAILURE() << "line " << lines << ": '" << line << "'";
                }
                ++lines;
            }
            pending.erase(0, start);
        });
    ASSERT_FALSE(refusal);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(pending, "");
    EXPECT_TRUE(expected.AtEnd());  // nothing left out
    EXPECT_GT(lines, kWindowMaxReflections);
    // Handed on in blocks of a few hundred kilobytes, never the table at once.
    EXPECT_GT(blocks, 1000u);
    EXPECT_LT(largest, std::size_t{4} << 20);
}

TEST(HklStream, RefusalsComeBeforeAnyLine) {
    const HklCell cell = CellFromDegrees(60, 60, 60, 90, 90, 90);
    IndexRange range;
    ASSERT_FALSE(ComputeIndexRange(cell, 0.35L, range));
    bool written = false;
    auto sink = [&](std::string_view) { written = true; };
    const HklRefusal refusal =
        StreamHklLines(cell, range, {0, "all", 0.5L, 0.35L}, {1000, {"more than 1000", "千超"}},
                       HklLineEnd::Lf, 2, sink);
    ASSERT_TRUE(refusal);
    EXPECT_STREQ(refusal->en, "more than 1000");
    EXPECT_FALSE(written);
    EXPECT_STREQ(
        StreamHklLines(cell, range, {0, "all", 0, 0.35L}, ToolLimit(0), HklLineEnd::Lf, 2, sink)
            ->en,
        kWavelengthRangeText.en);
    EXPECT_FALSE(written);
    // Numbers that describe no cell are refused as the table refuses them, before a line is
    // written.
    EXPECT_STREQ(StreamHklLines(CellFromDegrees(0, 5, 5, 90, 90, 90), {-2, 2, -2, 2, -2, 2},
                                {0, "all", 1.54178L, 1.5L}, ToolLimit(0), HklLineEnd::Lf, 2, sink)
                     ->en,
                 kNotACellText.en);
    EXPECT_FALSE(written);
}

}  // namespace
}  // namespace dorvalix
