// SPDX-License-Identifier: GPL-3.0-or-later
// Indices from a known cell: each observed line is given the calculated reflection it
// belongs to, the cell is refined with the program's own least squares, and the lines are
// given their reflections again, until the indices no longer change. A line with no
// reflection within its tolerance is unindexed (an impurity, or the cell is wrong); a line
// with more than one reflection position within it is ambiguous and left out of the fit,
// with the candidates named, never guessed; a position that is the only one within reach
// of a line is no candidate of another (one reflection is not two resolved lines).
//
// The cell may be off by a percent or more: the low lines, whose reflections stand apart,
// are given indices first with a wide window, the cell is refined on them, and the window
// narrows as more lines join; the ways of indexing the lines with fewest positions near them
// are each tried as starts, and the one that indexes most lines, closest, wins. Without a
// tolerance given, the final window is four times the RMS 2θ residual of the fit (the data's
// own precision), and never below half a unit of the last digit a position is written with.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cell_fit.h"
#include "lattice.h"
#include "lines.h"
#include "space_groups.h"

namespace dorvalix::indexing {

struct AssignmentOptions {
    std::optional<long double> tolerance;   // 2θ, degrees; empty: from the fit
    std::optional<long double> wavelength;  // overrides the peak list's
    int maxRounds = 40;
};

// Which reflections the cell allows: a lattice centring, or a space group's absences.
struct ReflectionRule {
    Centring centring = Centring::P;
    std::optional<SpaceGroup> group;
    bool Allowed(const Hkl& h) const {
        return group ? group->Allowed(h) : AllowedByCentring(centring, h[0], h[1], h[2]);
    }
};

struct AssignedLine {
    enum class Status { Indexed, Ambiguous, Unindexed };
    int line = 0;  // input number
    long double twoTheta = 0, d = 0;
    std::string dText;  // d as the input wrote it (d input), or from 2θ
    Status status = Status::Unindexed;
    Hkl hkl{};                    // Indexed
    std::vector<Hkl> candidates;  // Ambiguous: one index of each position within the tolerance
    long double delta = 0;        // Indexed: 2θobs − 2θcalc, degrees
};

struct AssignmentResult {
    std::optional<std::string> refusal;  // the input or the cell cannot be used
    std::vector<AssignedLine> lines;     // by increasing 2θ
    std::vector<int> merged;             // input numbers of duplicate peaks
    std::vector<int> unused;             // lines beyond the 300 a fit takes
    int code = 0;
    Cell cell;                            // refined
    std::array<long double, 7> cellSu{};  // s.u. of a, b, c, α, β, γ, V as the engine gives them
    long double volume = 0;
    SystemCoefficients x{};
    long double tolerance = 0;  // the final window, degrees
    long double wavelength = 0;
    bool twoThetaInput = false;
    int rounds = 0;
    bool converged = false;
    int indexed = 0, ambiguous = 0, unindexed = 0;
};

AssignmentResult AssignIndices(const PeakList& peaks, const Cell& cell, int code,
                               const ReflectionRule& rule, const AssignmentOptions& options);

}  // namespace dorvalix::indexing
