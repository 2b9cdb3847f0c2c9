// SPDX-License-Identifier: GPL-3.0-or-later
// The worked example: seven reflections of a monoclinic crystal (β free), checked at every
// stage against the printed digits.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "calculation.h"
#include "cell.h"
#include "deviations.h"
#include "numtext.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

// The value rounds to the printed text: |v − printed| is at most half a unit of the last
// printed digit ("6.466057", "1.4596e-5").
::testing::AssertionResult RoundsTo(long double value, const std::string& printed) {
    std::string mantissa = printed;
    int exp10 = 0;
    if (auto e = printed.find_first_of("eE"); e != std::string::npos) {
        mantissa = printed.substr(0, e);
        exp10 = std::stoi(printed.substr(e + 1));
    }
    int decimals = 0;
    if (auto dot = mantissa.find('.'); dot != std::string::npos) {
        decimals = static_cast<int>(mantissa.size() - dot - 1);
    }
    const long double target = ParseReal(printed);
    const long double halfUnit = 0.5L * std::pow(10.0L, static_cast<long double>(exp10 - decimals));
    if (std::fabs(value - target) <= halfUnit * (1 + 1e-12L)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << FormatGeneral(value) << " does not print as " << printed;
}

class MonoclinicExample : public ::testing::Test {
  protected:
    void SetUp() override {
        test::FillMonoclinicExample(state);
        report = RunCalculation(state, Lang::English);
    }
    CalculationState state;
    RunReport report;
};

TEST_F(MonoclinicExample, RunCompletes) {
    ASSERT_TRUE(report.completed) << report.messageText << report.faultText.value_or("");
    EXPECT_EQ(report.message, nullptr);
    EXPECT_TRUE(state.resultValid);
    EXPECT_EQ(state.result.n, 7);
    EXPECT_EQ(state.result.p, 4);
}

TEST_F(MonoclinicExample, DesignRowsAndNormalMatrix) {
    const int rows[7][4] = {{4, 4, 0, 0},  {1, 9, 1, -2}, {9, 1, 1, 6}, {9, 9, 0, 0},
                            {9, 9, 1, -6}, {0, 16, 1, 0}, {1, 25, 0, 0}};
    for (int i = 1; i <= 7; ++i) {
        for (int j = 1; j <= 4; ++j) {
            EXPECT_EQ(state.work.at[j][i], rows[i - 1][j - 1]) << "row " << i << " col " << j;
        }
    }
    // The normal matrix, rebuilt from the design rows (the run inverted it in place).
    NormalMatrix m;
    BuildNormalMatrix(state.work, 7, 4, m);
    const int expected[4][4] = {
        {261, 221, 19, -2}, {221, 1141, 35, -66}, {19, 35, 4, -2}, {-2, -66, -2, 76}};
    for (int r = 1; r <= 4; ++r) {
        for (int c = 1; c <= 4; ++c)
            EXPECT_EQ(m[r][c], expected[r - 1][c - 1]);
    }
}

TEST_F(MonoclinicExample, RightHandSideInverseAndSolution) {
    const char* delta[4] = {"6.466057", "17.799554", "0.799432", "-0.491005"};
    const char* diagonal[4] = {"0.0060394", "0.0012780", "0.4469840", "0.0139861"};
    const char* firstRow[4] = {"0.0060394", "-0.0004480", "-0.0252138", "-0.0008937"};
    const char* x[4] = {"0.01135849", "0.01253261", "0.03912047", "0.00575137"};
    const char* sx[4] = {"1.4596e-5", "6.714e-6", "1.2557e-4", "2.2212e-5"};
    for (int j = 1; j <= 4; ++j) {
        EXPECT_TRUE(RoundsTo(state.work.delta[j], delta[j - 1]));
        EXPECT_TRUE(RoundsTo(state.result.m[j][j], diagonal[j - 1]));
        EXPECT_TRUE(RoundsTo(state.result.m[1][j], firstRow[j - 1]));
        EXPECT_TRUE(RoundsTo(state.result.x[j], x[j - 1]));
        EXPECT_TRUE(RoundsTo(state.result.sx[j], sx[j - 1]));
    }
}

TEST_F(MonoclinicExample, Cells) {
    const CellParameters& rc = state.result.reciprocal;  // angles in degrees after the panel
    const CellParameters& dc = state.result.direct;
    EXPECT_TRUE(RoundsTo(rc.a, "0.1065762"));
    EXPECT_TRUE(RoundsTo(rc.b, "0.1119491"));
    EXPECT_TRUE(RoundsTo(rc.c, "0.1977890"));
    EXPECT_TRUE(RoundsTo(rc.beta, "74.16662"));
    EXPECT_TRUE(RoundsTo(rc.volume, "0.00227031"));
    EXPECT_TRUE(RoundsTo(dc.a, "9.75299"));
    EXPECT_TRUE(RoundsTo(dc.b, "8.93263"));
    EXPECT_TRUE(RoundsTo(dc.c, "5.25528"));
    EXPECT_TRUE(RoundsTo(dc.beta, "105.8334"));
    EXPECT_TRUE(RoundsTo(dc.alpha, "90.000"));
    EXPECT_TRUE(RoundsTo(dc.gamma, "90.000"));
    EXPECT_TRUE(RoundsTo(dc.volume, "440.469"));
}

TEST_F(MonoclinicExample, ResidualTable) {
    struct Line {
        const char* d;
        const char* dCalc;
        const char* dDiff;
        const char* column4;
    };
    const Line lines[7] = {{" 3.23", "3.23483", "-0.00483", " +0.00029"},
                           {" 2.566", "2.56689", "-0.00089", " +0.00011"},
                           {" 2.304", "2.30395", "0.00005", " -0.00001"},
                           {" 2.157", "2.15656", "0.00044", " -0.00009"},
                           {" 2.134", "2.13379", "0.00021", " -0.00004"},
                           {" 2.043", "2.04276", "0.00024", " -0.00006"},
                           {" 1.755", "1.75500", "0.00000", " -0.00000"}};
    for (int i = 1; i <= 7; ++i) {
        const Line& line = lines[i - 1];
        EXPECT_EQ(state.table.Cell(0, i), line.d);
        EXPECT_EQ(FormatF(state.result.dCalc[i], 5), line.dCalc) << "row " << i;
        EXPECT_EQ(FormatF(state.result.dDiff[i], 5), line.dDiff) << "row " << i;
        EXPECT_EQ(state.table.Cell(4, i), line.column4) << "row " << i;
    }
    EXPECT_TRUE(RoundsTo(state.result.residual, "1.0583e-7"));
    EXPECT_EQ(state.panel.residual, "0.00000011");
}

TEST_F(MonoclinicExample, Deviations) {
    const CellParameters& rs = state.result.reciprocalSd;
    const CellParameters& ds = state.result.directSd;
    EXPECT_TRUE(RoundsTo(rs.a, "0.0000685"));
    EXPECT_TRUE(RoundsTo(rs.b, "0.0000300"));
    EXPECT_TRUE(RoundsTo(rs.c, "0.000317"));
    EXPECT_TRUE(RoundsTo(rs.beta, "0.0688"));
    EXPECT_TRUE(RoundsTo(rs.volume, "0.00000405"));
    EXPECT_TRUE(RoundsTo(ds.a, "0.00709"));
    EXPECT_TRUE(RoundsTo(ds.b, "0.00239"));
    EXPECT_TRUE(RoundsTo(ds.c, "0.00862"));
    EXPECT_TRUE(RoundsTo(ds.beta, "0.0688"));
    EXPECT_TRUE(RoundsTo(ds.volume, "0.785"));
    // The fixed right angles come out with deviation 0.
    EXPECT_EQ(rs.alpha, 0);
    EXPECT_EQ(rs.gamma, 0);
    EXPECT_EQ(ds.alpha, 0);
    EXPECT_EQ(ds.gamma, 0);
    // cos β = −cos β*: both angles carry the same deviation up to rounding.
    EXPECT_NEAR(static_cast<double>(ds.beta), static_cast<double>(rs.beta), 1e-6);
}

TEST_F(MonoclinicExample, PanelTexts) {
    const auto& reciprocal = test::kExampleReciprocalCells;
    const auto& direct = test::kExampleDirectCells;
    for (int r = 0; r < 7; ++r) {
        EXPECT_EQ(state.panel.reciprocal[r][1], reciprocal[r][0]) << "row " << r;
        EXPECT_EQ(state.panel.reciprocal[r][2], reciprocal[r][1]) << "row " << r;
        EXPECT_EQ(state.panel.direct[r][1], direct[r][0]) << "row " << r;
        EXPECT_EQ(state.panel.direct[r][2], direct[r][1]) << "row " << r;
    }
    EXPECT_EQ(state.panel.residual, "0.00000011");
    for (int r = 7; r < 9; ++r) {
        EXPECT_EQ(state.panel.reciprocal[r][1], "");
        EXPECT_EQ(state.panel.direct[r][2], "");
    }
}

TEST_F(MonoclinicExample, SecondRunGivesTheSameTexts) {
    const ResultsPanel first = state.panel;
    std::string column4[8];
    for (int i = 1; i <= 7; ++i)
        column4[i] = state.table.Cell(4, i);
    const RunReport again = RunCalculation(state, Lang::English);
    ASSERT_TRUE(again.completed);
    EXPECT_EQ(state.panel.reciprocal, first.reciprocal);
    EXPECT_EQ(state.panel.direct, first.direct);
    EXPECT_EQ(state.panel.residual, first.residual);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(state.table.Cell(4, i), column4[i]);
}

TEST(PanelFormat, LeadingBlanksFollowTheUnroundedValue) {
    ResultsPanel panel;
    RefinementResult result;
    result.reciprocal.alpha = 99.9996L * kPi0 / 180;  // prints as 100.000
    result.direct.a = 10;
    result.direct.b = 9.99999L;
    result.direct.alpha = 90 * kPi0 / 180;
    FillResultsPanel(panel, result, kTriclinic);
    EXPECT_EQ(panel.reciprocal[3][1], " 100.000   ");
    EXPECT_EQ(panel.direct[0][1], "   10.00000 ");
    EXPECT_EQ(panel.direct[1][1], "    9.99999 ");
    EXPECT_EQ(panel.direct[3][1], "   90.000   ");
    // Zero deviations in each format.
    EXPECT_EQ(panel.reciprocal[0][2], " 0.000000");
    EXPECT_EQ(panel.direct[0][2], "  0.00000 ");
    EXPECT_EQ(panel.direct[6][2], " 0.000   ");
    EXPECT_EQ(ResidualText(0), "0.00000000");
    EXPECT_EQ(ResidualText(0.0000001234L), "0.00000012");
}

TEST(PanelFormat, MaskedRowsPerSystem) {
    // Rows showing numbers (not the dash text) in both grids, per code.
    const char* shown[9] = {"", "06", "026", "026", "0126", "01246", "0123456", "01256", "036"};
    for (int code = 1; code <= 8; ++code) {
        ResultsPanel panel;
        RefinementResult result;
        FillResultsPanel(panel, result, code);
        std::string numbers;
        for (int r = 0; r < 7; ++r) {
            const bool masked = panel.reciprocal[r][1] == kMaskedCell;
            EXPECT_EQ(masked, panel.direct[r][2] == kMaskedCell) << "code " << code;
            if (!masked) numbers += static_cast<char>('0' + r);
        }
        EXPECT_EQ(numbers, shown[code]) << "code " << code;
    }
}

TEST(ClearPanel, BlanksValuesOnly) {
    ResultsPanel panel;
    SetPanelRowLabels(panel, Lang::Japanese);
    panel.reciprocal[7][1] = "keep";
    panel.residual = "0.1";
    ClearResultsPanel(panel);
    for (int r = 0; r < 7; ++r) {
        EXPECT_EQ(panel.reciprocal[r][1], "  ");
        EXPECT_EQ(panel.direct[r][2], "  ");
    }
    EXPECT_EQ(panel.reciprocal[3][0], "  α*  ");
    EXPECT_EQ(panel.direct[5][0], "   γ  ");
    EXPECT_EQ(panel.reciprocal[7][1], "keep");
    EXPECT_EQ(panel.residual, "");
    SetPanelRowLabels(panel, Lang::English);
    EXPECT_EQ(panel.reciprocal[5][0], "  ganma*  ");
    EXPECT_EQ(panel.direct[5][0], "   ganma ");
}

}  // namespace
}  // namespace dorvalix
