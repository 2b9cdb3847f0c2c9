// SPDX-License-Identifier: GPL-3.0-or-later
// Index assignment from a known cell: the examples given a cell off by 1 % in every length
// and 1° in every angle come back with their indices and the cell the true indices give.
#include <gtest/gtest.h>

#include <cmath>

#include "assignment.h"
#include "calculation.h"
#include "observation_file.h"
#include "peak_file.h"

namespace dorvalix::indexing {
namespace {

const std::string kSource = DORVALIX_SOURCE_DIR;

struct Example {
    CalculationState state;  // the file refined with its own indices
    ObservationFileContents contents;
    PeakFile peaks;
};

Example Load(const std::string& name, int code) {
    Example e;
    const std::string path = kSource + "/examples/" + name;
    std::string sample;
    LoadObservationFile(e.state, sample, path, Lang::English);
    e.state.crystalSystem = code;
    EXPECT_TRUE(RunCalculation(e.state, Lang::English).completed);
    e.contents = ReadObservationFile(path, Lang::English);
    e.peaks = ReadPeakFile(path);
    return e;
}

Cell Off(const Cell& c, const std::array<int, 6>& sign) {
    return {c.a * (1 + sign[0] * 0.01L),
            c.b * (1 + sign[1] * 0.01L),
            c.c * (1 + sign[2] * 0.01L),
            c.alpha + sign[3],
            c.beta + sign[4],
            c.gamma + sign[5]};
}

// The file's index of a line and the one assigned are the same reflection (for the crystal
// system: the same design row).
bool SameReflection(int code, const ObservationTable::Row& row, const Hkl& h) {
    return MakeIntegerDesignRow(code, std::stoi(row[1]), std::stoi(row[2]), std::stoi(row[3])) ==
           MakeIntegerDesignRow(code, h[0], h[1], h[2]);
}

class DiopsideFromOffCell : public ::testing::TestWithParam<std::array<int, 6>> {};

TEST_P(DiopsideFromOffCell, EveryIndexAndTheCellOfTheTrueIndices) {
    static const Example e = Load("diopside.lat", kMonoclinicBeta);
    const CellParameters& d = e.state.result.direct;
    const Cell truth{d.a, d.b, d.c, d.alpha, d.beta, d.gamma};
    ReflectionRule rule;
    rule.centring = Centring::C;
    const AssignmentResult r =
        AssignIndices(e.peaks.peaks, Off(truth, GetParam()), kMonoclinicBeta, rule, {});
    ASSERT_FALSE(r.refusal) << *r.refusal;
    ASSERT_EQ(r.indexed, 7);
    for (const AssignedLine& l : r.lines)
        EXPECT_TRUE(SameReflection(kMonoclinicBeta,
                                   e.contents.rows[static_cast<std::size_t>(l.line - 1)], l.hkl))
            << "line " << l.line;
    // The same lines with the same reflections: the engine's fit to the last bit.
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(r.x[static_cast<std::size_t>(j)],
                  e.state.result.x[static_cast<std::size_t>(j + 1)]);
}

INSTANTIATE_TEST_SUITE_P(Signs, DiopsideFromOffCell,
                         ::testing::Values(std::array<int, 6>{1, 1, 1, 0, 1, 0},
                                           std::array<int, 6>{-1, -1, -1, 0, -1, 0},
                                           std::array<int, 6>{1, -1, 1, 0, -1, 0},
                                           std::array<int, 6>{-1, 1, -1, 0, 1, 0}));

// 300 lines of a triclinic cell, to 1.6 Å, their d off by up to 0.0003 Å: 22 lines lie
// nearer another reflection than their own (eleven pairs of lines are in the opposite order
// of their reflections), so no index can be read from their position alone. Those are
// flagged with both candidates; every index given is right; the cell agrees with the true
// indices' within its standard uncertainty.
TEST(Assignment, Triclinic300FromOffCell) {
    const Example e = Load("triclinic-300.lat", kTriclinic);
    const CellParameters& d = e.state.result.direct;
    const Cell truth{d.a, d.b, d.c, d.alpha, d.beta, d.gamma};
    const AssignmentResult r =
        AssignIndices(e.peaks.peaks, Off(truth, {1, -1, 1, -1, 1, -1}), kTriclinic, {}, {});
    ASSERT_FALSE(r.refusal) << *r.refusal;
    EXPECT_TRUE(r.converged);
    EXPECT_EQ(r.unindexed, 0);
    EXPECT_GE(r.indexed, 240);
    for (const AssignedLine& l : r.lines) {
        const ObservationTable::Row& row = e.contents.rows[static_cast<std::size_t>(l.line - 1)];
        if (l.status == AssignedLine::Status::Indexed) {
            EXPECT_TRUE(SameReflection(kTriclinic, row, l.hkl)) << "line " << l.line;
        } else {
            bool listed = false;
            for (const Hkl& c : l.candidates)
                listed = listed || SameReflection(kTriclinic, row, c);
            EXPECT_TRUE(listed) << "line " << l.line;
        }
    }
    const long double values[6] = {r.cell.a,     r.cell.b,    r.cell.c,
                                   r.cell.alpha, r.cell.beta, r.cell.gamma};
    for (int i = 0; i < 6; ++i)
        EXPECT_LE(std::fabs(values[i] - d[i]), 3 * e.state.result.directSd[i]) << "parameter " << i;
}

// Two reflections within a line's tolerance: the line is ambiguous, listed with both, and
// left out of the fit; a line far from every reflection is unindexed.
TEST(Assignment, AmbiguousAndUnindexedLines) {
    const Cell cell{5.0L, 5.0L, 5.01L, 90, 90, 90};
    const Metric g = *ReciprocalMetricOf(cell);
    PeakList peaks;
    peaks.wavelength = 1.5406L;
    const Hkl lines[] = {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {2, 0, 0},
                         {2, 1, 0}, {2, 1, 1}, {2, 2, 0}, {3, 1, 0}};
    for (const Hkl& h : lines) {
        const long double t =
            2 * std::asin(1.5406L * std::sqrt(QOf(g, h)) / 2) * 180 / std::acos(-1.0L);
        peaks.peaks.push_back({t, FormatFixed(t, 4, 18), std::nullopt});
    }
    peaks.peaks.push_back({37.5L, "37.5000", std::nullopt});  // far from every reflection
    AssignmentOptions options;
    options.tolerance = 0.05L;
    const AssignmentResult r = AssignIndices(peaks, cell, kTetragonal, {}, options);
    ASSERT_FALSE(r.refusal) << *r.refusal;
    // (100) and (001) lie 0.036° apart at 17.7°.
    const AssignedLine& first = r.lines.front();
    EXPECT_EQ(first.status, AssignedLine::Status::Ambiguous);
    EXPECT_EQ(first.candidates.size(), 2u);
    int unindexed = 0;
    for (const AssignedLine& l : r.lines)
        unindexed += l.status == AssignedLine::Status::Unindexed ? 1 : 0;
    EXPECT_EQ(unindexed, 1);
    EXPECT_EQ(r.unindexed, 1);
}

}  // namespace
}  // namespace dorvalix::indexing
