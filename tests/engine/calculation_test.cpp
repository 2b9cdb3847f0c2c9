// Refusals, failures and table handling of the calculation run.
#include "calculation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "cell.h"
#include "crystal_system.h"
#include "least_squares.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

using test::FillRows;

struct RefusalCase {
    const char* name;
    int system;
    std::initializer_list<test::RowTexts> rows;
    const Text* message;
};

TEST(Execute, RefusalsInBothLanguages) {
    const RefusalCase cases[] = {
        {"empty table", kCubic, {}, &run_text::kSetInputData},
        {"no system",
         kNoSystem,
         {{"3.1", "1", "1", "1"}, {"2.2", "2", "0", "0"}},
         &run_text::kSetCrystalSystem},
        {"cubic, one observation", kCubic, {{"3.1", "1", "1", "1"}}, &run_text::kNotEnoughData},
        {"cubic, excluded rows do not count",
         kCubic,
         {{"3.1", "1", "1", "1"}, {"2.2", "2", "0", "0", "  Exclude"}},
         &run_text::kNotEnoughData},
        {"monoclinic needs five",
         kMonoclinicBeta,
         {{"3.1", "1", "1", "1"},
          {"2.9", "1", "0", "1"},
          {"2.2", "2", "0", "0"},
          {"2.1", "0", "2", "0"}},
         &run_text::kNotEnoughData},
        {"missing k",
         kCubic,
         {{"3.1", "1", "", "1"}, {"2.2", "2", "0", "0"}},
         &run_text::kSetIndexData},
        {"excluded row without indices",
         kCubic,
         {{"3.1", "1", "1", "1"}, {"2.9", "1", "1", "0"}, {"2.2", "", "", "", "  Exclude"}},
         &run_text::kSetIndexData},
        {"orthorhombic, every l = 0",
         kOrthorhombic,
         {{"3.1", "1", "0", "0"},
          {"2.9", "0", "1", "0"},
          {"2.2", "1", "1", "0"},
          {"2.1", "2", "1", "0"}},
         &run_text::kTooSmallPivot},
        {"monoclinic gamma, every hk = 0",
         kMonoclinicGamma,
         {{"3.1", "1", "0", "0"},
          {"2.9", "0", "1", "0"},
          {"2.2", "0", "0", "1"},
          {"2.1", "2", "0", "1"},
          {"2.0", "0", "2", "1"}},
         &run_text::kTooSmallPivot},
    };
    for (const RefusalCase& c : cases) {
        for (Lang lang : {Lang::English, Lang::Japanese}) {
            CalculationState state;
            FillRows(state.table, c.rows);
            state.crystalSystem = c.system;
            state.panel.residual = "old";
            const RunReport report = RunCalculation(state, lang);
            EXPECT_FALSE(report.completed) << c.name;
            EXPECT_FALSE(report.faultText.has_value()) << c.name;
            EXPECT_EQ(report.message, c.message) << c.name;
            EXPECT_EQ(report.messageText, c.message->In(lang)) << c.name;
            EXPECT_FALSE(state.resultValid) << c.name;
            EXPECT_EQ(state.panel.reciprocal[0][1], "  ") << c.name;  // cleared, not filled
            EXPECT_EQ(state.panel.residual, "") << c.name;
        }
    }
    EXPECT_STREQ(run_text::kSetCrystalSystem.en, "Set Crystal System ");
    EXPECT_STREQ(run_text::kTooSmallPivot.ja, "　逆行列が存在しません");
}

TEST(Execute, CubicWithTwoObservationsRuns) {
    CalculationState state;
    FillRows(state.table, {{"3.1356", "1", "1", "1"}, {"1.9201", "2", "2", "0"}});
    state.crystalSystem = kCubic;
    const RunReport report = RunCalculation(state, Lang::English);
    EXPECT_TRUE(report.completed);
    EXPECT_TRUE(state.resultValid);
    EXPECT_EQ(state.panel.reciprocal[1][1], kMaskedCell);
    EXPECT_NE(state.panel.direct[0][1], kMaskedCell);
    EXPECT_NE(state.panel.direct[6][1], kMaskedCell);
}

TEST(Execute, LetterInAnIndexMakesItsCellCurrent) {
    for (Lang lang : {Lang::English, Lang::Japanese}) {
        CalculationState state;
        FillRows(state.table,
                 {{"3.1", "1", "1", "1"}, {"2.9", "1", "x", "0"}, {"2.2", "2", "0", "0"}});
        state.crystalSystem = kCubic;
        const RunReport report = RunCalculation(state, lang);
        EXPECT_EQ(report.message, &run_text::kSetIntegerForHkl);
        EXPECT_EQ(report.messageText,
                  lang == Lang::English ? "Set Integer for hkl" : "指数には整数を入れてください");
        ASSERT_TRUE(report.currentCell.has_value());
        EXPECT_EQ(*report.currentCell, (CellRef{2, 2}));
        EXPECT_FALSE(state.parseSucceeded);
        EXPECT_FALSE(state.resultValid);
    }
}

TEST(Execute, ExcludedRowsAreNotParsed) {
    CalculationState state;
    FillRows(state.table, {{"3.1356", "1", "1", "1"},
                           {"2.5", "q", " ", "?", "  Exclude"},
                           {"1.9201", "2", "2", "0"}});
    state.crystalSystem = kCubic;
    const RunReport report = RunCalculation(state, Lang::English);
    ASSERT_TRUE(report.completed);
    EXPECT_EQ(state.table.Cell(4, 2), "  Exclude");
    EXPECT_EQ(state.table.parsed.count, 2);
    EXPECT_EQ(state.result.n, 2);
}

TEST(Execute, NonNumericDEndsInTheSortWithTheErrorBoxText) {
    CalculationState state;
    FillRows(state.table,
             {{"3.1", "1", "1", "1"}, {"3.2a", "1", "1", "0"}, {"2.2", "2", "0", "0"}});
    state.crystalSystem = kCubic;
    const RunReport report = RunCalculation(state, Lang::English);
    EXPECT_FALSE(report.completed);
    ASSERT_TRUE(report.faultText.has_value());
    EXPECT_EQ(*report.faultText, "'3.2a' は浮動小数点数ではありません");
    ASSERT_TRUE(report.currentCell.has_value());  // NormalizeCells made it current
    EXPECT_EQ(*report.currentCell, (CellRef{0, 2}));
    EXPECT_EQ(report.message, nullptr);
}

TEST(Execute, IncludedZeroDIsADivisionByZero) {
    CalculationState state;
    FillRows(state.table, {{"3.1", "1", "1", "1"}, {"2.2", "2", "0", "0"}, {"0", "1", "0", "0"}});
    state.crystalSystem = kCubic;
    state.resultValid = true;  // a fault leaves the flag as it was
    const RunReport report = RunCalculation(state, Lang::Japanese);
    ASSERT_TRUE(report.faultText.has_value());
    EXPECT_EQ(*report.faultText, "0 による浮動小数点数除算");
    EXPECT_TRUE(state.resultValid);
    EXPECT_EQ(state.table.Cell(0, 3), " 0");  // the 0 row stays last
    EXPECT_EQ(state.panel.reciprocal[0][1], "  ");
}

TEST(Execute, NegativeFittedCoefficientIsAnInvalidOperation) {
    // Two tetragonal reflections that can only be fitted with a negative c*².
    CalculationState state;
    FillRows(state.table,
             {{"2.0", "1", "0", "0"}, {"2.1", "1", "0", "1"}, {"1.4142", "1", "1", "0"}});
    state.crystalSystem = kTetragonal;
    const RunReport report = RunCalculation(state, Lang::English);
    ASSERT_TRUE(report.faultText.has_value());
    EXPECT_EQ(*report.faultText, "不正な浮動小数点数演算命令");
    EXPECT_FALSE(state.resultValid);
}

TEST(Execute, ResidualRowsBeforeAFaultKeepTheirNewTexts) {
    // Cubic, every reflection 0 0 0 but one: Q_calc of the 0 0 0 rows is 0 and 1/√0 faults.
    CalculationState state;
    FillRows(state.table, {{"3.0", "1", "0", "0"}, {"2.0", "0", "0", "0"}, {"1.0", "0", "0", "0"}});
    state.crystalSystem = kCubic;
    const RunReport report = RunCalculation(state, Lang::English);
    ASSERT_TRUE(report.faultText.has_value());
    EXPECT_EQ(*report.faultText, "0 による浮動小数点数除算");
    EXPECT_FALSE(state.table.Cell(4, 1).empty());  // row 1 was written before the fault
    EXPECT_TRUE(state.table.Cell(4, 2).empty());
}

TEST(Execute, ResultDescribesOnlyTheTableItWasComputedFrom) {
    CalculationState state;
    test::FillMonoclinicExample(state);
    EXPECT_FALSE(ResultDescribesTable(state));  // no run yet
    ASSERT_TRUE(RunCalculation(state, Lang::English).completed);
    EXPECT_TRUE(ResultDescribesTable(state));

    state.table.Cell(2, 3) = " 2";  // an edited index
    EXPECT_FALSE(ResultDescribesTable(state));
    state.table.Cell(2, 3) = " 1";
    EXPECT_TRUE(ResultDescribesTable(state));

    state.table.Cell(4, 2) = "  Exclude";  // excluded after the run
    EXPECT_FALSE(ResultDescribesTable(state));
    state.table.Cell(4, 2).clear();
    EXPECT_TRUE(ResultDescribesTable(state));  // column-4 residual texts do not count

    state.crystalSystem = kTriclinic;
    EXPECT_FALSE(ResultDescribesTable(state));
    state.crystalSystem = kMonoclinicBeta;

    // A refused run keeps the flag but the table no longer matches.
    state.table.Cell(3, 1).clear();
    EXPECT_EQ(RunCalculation(state, Lang::English).message, &run_text::kSetIndexData);
    EXPECT_TRUE(state.resultValid);
    EXPECT_FALSE(ResultDescribesTable(state));
    state.table.Cell(3, 1) = " 0";
    ASSERT_TRUE(RunCalculation(state, Lang::English).completed);
    EXPECT_TRUE(ResultDescribesTable(state));
}

TEST(CheckIndexCells, HoleIsDeletedWithItsWholeRow) {
    // Rows typed by hand with a gap; the markers must stay with their observations and no
    // observation may stand twice.
    ObservationTable t;
    FillRows(t, {{"3.1", "1", "1", "1", "  Exclude"},
                 {"", "", "", ""},
                 {"2.5", "2", "0", "0", "  Exclude"},
                 {"2.2", "2", "1", "0"}});
    ASSERT_TRUE(CheckIndexCells(t));
    EXPECT_EQ(t.filled, 3u);
    EXPECT_EQ(t.excluded, 2u);
    EXPECT_EQ(t.included, 1u);
    EXPECT_EQ(t.Cell(0, 2), "2.5");
    EXPECT_TRUE(t.IsExcluded(2));
    EXPECT_EQ(t.Cell(0, 3), "2.2");
    EXPECT_FALSE(t.IsExcluded(3));
    for (int c = 0; c < kTableColumns; ++c)
        EXPECT_EQ(t.Cell(c, 4), "") << c;
}

TEST(CheckIndexCells, CountsStopAtTheRowWithTheMissingIndex) {
    ObservationTable t;
    FillRows(t,
             {{"3.1", "1", "1", "1", "  Exclude"}, {"2.5", "2", "", "0"}, {"2.2", "2", "1", "0"}});
    t.included = 99;
    EXPECT_FALSE(CheckIndexCells(t));
    EXPECT_EQ(t.filled, 2u);
    EXPECT_EQ(t.excluded, 1u);
    EXPECT_EQ(t.included, 99u);  // left as it was
}

TEST(NormalMatrix, EqualsThePlainExtendedSumForSmallAndLargeIndices) {
    // Small indices take the exact integer sums, large ones (h² beyond 2^26) the
    // extended-precision sums; both must equal the definition M = AᵀA summed in order.
    for (std::int32_t scale : {1, 3, 9000, 40000}) {
        ParsedObservations obs;
        obs.count = 40;
        for (int i = 1; i <= obs.count; ++i) {
            obs.h[i] = scale * ((i * 7) % 11 - 5);
            obs.k[i] = scale * ((i * 5) % 9 - 4);
            obs.l[i] = scale * ((i * 3) % 7 - 3);
        }
        LeastSquaresWork work;
        BuildDesignMatrix(work, obs, kTriclinic);
        NormalMatrix m;
        BuildNormalMatrix(work, obs.count, 6, m);
        for (int r = 1; r <= 6; ++r) {
            for (int c = 1; c <= 6; ++c) {
                long double sum = 0;
                for (int i = 1; i <= obs.count; ++i)
                    sum += static_cast<long double>(work.at[r][i]) *
                           static_cast<long double>(work.at[c][i]);
                EXPECT_EQ(m[r][c], sum) << "scale " << scale << " at " << r << "," << c;
            }
        }
    }
}

TEST(InvertNormalMatrix, OffDiagonalPivotsAreUndone) {
    NormalMatrix m{};
    m[1][1] = 1;
    m[1][2] = 4;
    m[2][1] = 4;
    m[2][2] = 1;
    ASSERT_TRUE(InvertNormalMatrix(m, 2));
    EXPECT_NEAR(static_cast<double>(m[1][1]), -1.0 / 15, 1e-15);
    EXPECT_NEAR(static_cast<double>(m[1][2]), 4.0 / 15, 1e-15);
    EXPECT_NEAR(static_cast<double>(m[2][1]), 4.0 / 15, 1e-15);
    EXPECT_NEAR(static_cast<double>(m[2][2]), -1.0 / 15, 1e-15);
}

TEST(InvertNormalMatrix, PermutedPivotsOnSixByAnything) {
    // A matrix whose pivots fall off the diagonal at several steps; M · M⁻¹ must be I.
    const long double a[4][4] = {{0.5, 9, 1, 2}, {8, 1, 3, 0.25}, {1, 2, 0.1, 7}, {2, 0.3, 6, 1}};
    NormalMatrix m{};
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            m[r][c] = a[r - 1][c - 1];
    ASSERT_TRUE(InvertNormalMatrix(m, 4));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            long double s = 0;
            for (int k = 0; k < 4; ++k)
                s += a[r][k] * m[k + 1][c + 1];
            EXPECT_NEAR(static_cast<double>(s), r == c ? 1.0 : 0.0, 1e-15) << r << "," << c;
        }
    }
}

TEST(InvertNormalMatrix, SingleCoefficientHasNoThreshold) {
    NormalMatrix m{};
    m[1][1] = 0.000001L;  // far below the pivot threshold
    ASSERT_TRUE(InvertNormalMatrix(m, 1));
    EXPECT_EQ(m[1][1], 1 / 0.000001L);
}

TEST(CrystalSystem, DesignRowsAndNames) {
    EXPECT_EQ(MakeDesignRow(kMonoclinicBeta, 1, 3, -1), (DesignRow{1, 9, 1, -2, 0, 0}));
    EXPECT_EQ(MakeDesignRow(kTriclinic, 3, 3, -1), (DesignRow{9, 9, 1, -6, -6, 18}));
    EXPECT_EQ(MakeDesignRow(kTrigonal, 1, 1, 0), (DesignRow{2, 2, 0, 0, 0, 0}));
    EXPECT_EQ(MakeDesignRow(kHexagonal, 1, 1, 0), (DesignRow{3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(MakeDesignRow(kMonoclinicGamma, 2, 3, 1), (DesignRow{4, 9, 1, 12, 0, 0}));
    EXPECT_STREQ(CrystalSystemName(kHexagonal, Lang::English), "Hexagonal");
    EXPECT_STREQ(CrystalSystemName(kHexagonal, Lang::Japanese), "六方晶系");
    EXPECT_STREQ(CrystalSystemName(kMonoclinicGamma, Lang::English), "Monoclinic(ganma<>90)");
    EXPECT_STREQ(CrystalSystemName(kCubic, Lang::Japanese), "等軸晶系(立方晶系)");
    EXPECT_STREQ(CrystalSystemName(9, Lang::English), "");
    const int p[9] = {0, 1, 2, 2, 3, 4, 6, 4, 2};
    for (int code = 0; code <= 8; ++code)
        EXPECT_EQ(ParameterCount(code), p[code]);
}

TEST(Cell, FixedRightAngleAndInverseCosine) {
    EXPECT_EQ(kPi0 / 2, 1.57079632675L);
    EXPECT_LT(Acos0(0.5L), kPi0 / 2);
    EXPECT_GT(Acos0(-0.5L), kPi0 / 2);
    EXPECT_NEAR(static_cast<double>(Acos0(0.5L)), std::acos(0.5), 1e-15);
    EXPECT_EQ(Sin0(1e30L), 0);
}

}  // namespace
}  // namespace dorvalix
