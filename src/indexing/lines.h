// SPDX-License-Identifier: GPL-3.0-or-later
// The observed lines an indexing works on: peak positions sorted by angle, duplicates
// merged, each with its tolerance, as 2θ at one wavelength.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dorvalix::indexing {

enum class PeakKind { TwoTheta, D };

// One peak as the input gives it.
struct Peak {
    long double position = 0;  // 2θ in degrees, or d in Å
    std::string text;          // the position as written, for the precision of its last digit
    std::optional<long double> intensity;
};

// A peak list as read from a file.
struct PeakList {
    PeakKind kind = PeakKind::TwoTheta;
    std::vector<Peak> peaks;                // in the file's order
    std::optional<long double> wavelength;  // Å, when the file states it
};

// One line of an indexing.
struct Line {
    int input = 0;              // 1-based position in the peak list
    long double twoTheta = 0;   // degrees at LineSet::wavelength
    long double d = 0;          // Å
    long double tolerance = 0;  // 2θ, degrees
    std::optional<long double> intensity;
};

struct LineSet {
    std::vector<Line> lines;        // by increasing 2θ
    long double wavelength = 0;     // Å: the stated one, or a nominal one for a d list
    bool wavelengthStated = false;  // false: d input without a wavelength
    bool twoThetaInput = false;     // the positions were 2θ: a zero shift can exist
    std::vector<int> merged;        // input numbers of duplicate peaks merged into another
    std::vector<int> unused;        // input numbers of the lines beyond the count used
    std::vector<int> weak;          // input numbers of the peaks left out as too weak
    int available = 0;              // distinct lines in the list

    std::size_t size() const { return lines.size(); }
    // Q = 1/d² of line i after subtracting a zero shift from its 2θ.
    long double QAt(std::size_t i, long double zero) const;
    // Q of a 2θ at this wavelength, and back; empty beyond 180°.
    long double QOfTwoTheta(long double twoTheta) const;
    std::optional<long double> TwoThetaOfQ(long double q) const;
};

// Why a peak list cannot be indexed as asked.
struct LineRefusal {
    std::string text;
};

struct LineOptions {
    int count = 0;                          // lines to use; 0: the first 25 (or all when fewer)
    long double tolerance = 0.03L;          // 2θ, degrees
    std::optional<long double> wavelength;  // overrides the file's
    // Peaks weaker than this fraction of the strongest are left out before the count is
    // taken (0: none). Weak peaks of a measured pattern are mostly Kβ, tube lines and
    // impurities, and the first lines matter most to indexing.
    long double weak = 0;
};

// The default weak-peak fraction of the index command and the indexing window: 2 %.
inline constexpr long double kDefaultWeakFraction = 0.02L;

// Default number of lines an indexing uses.
inline constexpr int kDefaultLineCount = 25;
// The wavelength a d list without one is worked at (Cu Kα, as the refinement details).
inline constexpr long double kNominalWavelength = 1.54178L;

// Sorts, merges duplicates (two positions within half the tolerance are one line) and keeps
// the first `count` lines. A position is never known better than half a unit of its last
// written digit: the tolerance of a line is the larger of the two. Refuses 2θ input
// without a wavelength, positions outside (0°, 180°) or d ≤ 0, and a wavelength ≤ 0.
std::optional<LineRefusal> PrepareLines(const PeakList& peaks, const LineOptions& options,
                                        LineSet& out);

// Half a unit of the last digit of a number text ("3.23": 0.005; "28": 0.5; "1.5e-2":
// 0.0005); 0 when the text shows no digits.
long double HalfUnitOfLastDigit(const std::string& text);

}  // namespace dorvalix::indexing
