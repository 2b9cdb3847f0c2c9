// SPDX-License-Identifier: GPL-3.0-or-later
// Refusals, failures and table handling of the calculation run.
#include "calculation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

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

// Nonsense the parse refuses instead of giving a wrong answer: a negative d (it used to be
// fitted as its square, with d_obs − d_calc about −2d) and an index whose square no longer
// fits in 32 bits (h = 65537 gave a = 0.02762 Å for a cell of 5 Å).
TEST(Execute, NegativeDAndIndicesBeyond46340AreRefusedAtTheirCell) {
    const struct {
        const char* name;
        test::RowTexts bad;
        CellRef cell;
        const Text* message;
        const char* en;
        const char* ja;
    } cases[] = {
        {"negative d",
         {"-2.5", "2", "0", "0"},
         {0, 3},
         &run_text::kDNotPositive,
         "Set d-value greater than 0",
         "ｄ値には 0 より大きい数を入れてください"},
        {"h = 46341",
         {"0.0001", "46341", "0", "0"},
         {1, 3},
         &run_text::kIndexTooLarge,
         "Set hkl between -46340 and 46340",
         "指数は -46340 から 46340 までの整数にしてください"},
        {"k = -46341", {"0.0001", "0", "-46341", "0"}, {2, 3}, &run_text::kIndexTooLarge, "", ""},
        {"l = 65537", {"0.0001", "1", "1", "65537"}, {3, 3}, &run_text::kIndexTooLarge, "", ""},
    };
    for (const auto& c : cases) {
        for (const Lang lang : {Lang::English, Lang::Japanese}) {
            CalculationState state;
            FillRows(state.table, {{"5", "1", "0", "0"}, {"3.5355339", "1", "1", "0"}, c.bad});
            state.crystalSystem = kCubic;
            const RunReport report = RunCalculation(state, lang);
            EXPECT_FALSE(report.completed) << c.name;
            EXPECT_EQ(report.message, c.message) << c.name;
            if (*c.en != 0) {
                EXPECT_EQ(report.messageText, lang == Lang::English ? c.en : c.ja);
            }
            ASSERT_TRUE(report.currentCell.has_value()) << c.name;
            EXPECT_EQ(*report.currentCell, c.cell) << c.name;
            EXPECT_FALSE(state.parseSucceeded) << c.name;
            EXPECT_FALSE(state.resultValid) << c.name;
        }
    }
    // The largest magnitude taken fits and gives the cell it describes: a = 5 Å from
    // (46340 0 0) with d = 5 / 46340.
    CalculationState state;
    FillRows(state.table, {{"5", "1", "0", "0"},
                           {"3.5355339", "1", "1", "0"},
                           {FormatFixed(5.0L / 46340, 18, 18), "-46340", "0", "0"}});
    state.crystalSystem = kCubic;
    ASSERT_TRUE(RunCalculation(state, Lang::English).completed);
    EXPECT_NEAR(static_cast<double>(state.result.direct.a), 5.0, 1e-6);
    // An excluded row is not parsed, so its indices are not checked either.
    FillRows(state.table, {{"0.0001", "99999", "0", "0", "  Exclude"}}, 3);
    EXPECT_TRUE(RunCalculation(state, Lang::English).completed);
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

// M · M⁻¹ = I on symmetric positive-definite matrices of every size, built as normal
// matrices are (AᵀA of small integers): the fixed ones have pivots that fall on the rows
// in a cycle of three (found by following the pivot search by hand), the random ones
// every other order.
TEST(InvertNormalMatrix, RandomPositiveDefiniteMatricesOfEverySize) {
    std::vector<std::vector<std::vector<long double>>> cases = {
        // Pivot rows 2, 3, 1.
        {{4, -11, -9}, {-11, 46, 29}, {-9, 29, 35}},
        // Pivot rows 2, 3, 1, 4.
        {{24, 30, 4, 10}, {30, 44, -3, 18}, {4, -3, 26, -2}, {10, 18, -2, 35}},
        // Pivot rows 1, 2, 4, 5, 3.
        {{54, 26, 13, -8, 3},
         {26, 88, -20, 0, 42},
         {13, -20, 26, -27, -23},
         {-8, 0, -27, 58, 8},
         {3, 42, -23, 8, 60}},
        // Pivot rows 1, 2, 3, 5, 6, 4.
        {{78, 3, 49, 5, 9, 6},
         {3, 71, -8, 22, -17, 5},
         {49, -8, 65, 9, -14, -18},
         {5, 22, 9, 39, 28, -25},
         {9, -17, -14, 28, 84, -8},
         {6, 5, -18, -25, -8, 79}},
    };
    std::mt19937 random(20240611);
    for (int size = 2; size <= 6; ++size) {
        for (int trial = 0; trial < 200; ++trial) {
            std::vector<std::vector<long double>> a(static_cast<std::size_t>(size + 2));
            for (auto& row : a)
                for (int c = 0; c < size; ++c)
                    row.push_back(static_cast<long double>(random() % 9) - 4);
            std::vector<std::vector<long double>> m(static_cast<std::size_t>(size),
                                                    std::vector<long double>(size, 0));
            for (int r = 0; r < size; ++r)
                for (int c = 0; c < size; ++c)
                    for (const auto& row : a)
                        m[r][c] += row[r] * row[c];
            // Skip the rare singular draw (two equal columns of A).
            NormalMatrix probe{};
            for (int r = 0; r < size; ++r)
                for (int c = 0; c < size; ++c)
                    probe[r + 1][c + 1] = m[r][c];
            if (InvertNormalMatrix(probe, size)) cases.push_back(m);
        }
    }
    ASSERT_GT(cases.size(), 900u);
    for (const auto& a : cases) {
        const int size = static_cast<int>(a.size());
        NormalMatrix m{};
        for (int r = 0; r < size; ++r)
            for (int c = 0; c < size; ++c)
                m[r + 1][c + 1] = a[r][c];
        ASSERT_TRUE(InvertNormalMatrix(m, size));
        long double largest = 0;  // |A⁻¹| bounds the error of M · M⁻¹ together with |A|
        for (int r = 1; r <= size; ++r)
            for (int c = 1; c <= size; ++c)
                largest = std::max(largest, std::fabs(m[r][c]));
        for (int r = 0; r < size; ++r) {
            for (int c = 0; c < size; ++c) {
                long double s = 0;
                for (int k = 0; k < size; ++k)
                    s += a[r][k] * m[k + 1][c + 1];
                ASSERT_NEAR(static_cast<double>(s), r == c ? 1.0 : 0.0,
                            1e-13 * std::max(1.0L, largest * 100))
                    << "size " << size << " at " << r << "," << c << ", first entry " << a[0][0];
            }
        }
    }
}

// The pivot threshold is 10⁻⁵, absolute, on the entries as the elimination has made them.
TEST(InvertNormalMatrix, PivotThresholdIsOneHundredThousandth) {
    const struct {
        long double corner;  // M = [[1, 1], [1, 1 + corner]]: the second pivot is `corner`
        bool inverts;
    } cases[] = {{5e-5L, true}, {1.1e-5L, true}, {9e-6L, false}, {5e-6L, false}, {0, false}};
    for (const auto& c : cases) {
        NormalMatrix m{};
        m[1][1] = 1;
        m[1][2] = m[2][1] = 1;
        m[2][2] = 1 + c.corner;
        EXPECT_EQ(InvertNormalMatrix(m, 2), c.inverts) << static_cast<double>(c.corner);
        if (c.inverts) {
            EXPECT_NEAR(static_cast<double>(m[2][2] * c.corner), 1.0, 1e-9);
            EXPECT_NEAR(static_cast<double>(m[1][2] * c.corner), -1.0, 1e-9);
        }
    }
    // On the diagonal as it stands: 5·10⁻⁵ inverts, 5·10⁻⁶ is refused, whatever the scale
    // of the other entries.
    for (const long double small : {5e-5L, 5e-6L}) {
        NormalMatrix m{};
        m[1][1] = 1e6L;
        m[2][2] = small;
        EXPECT_EQ(InvertNormalMatrix(m, 2), small > 1e-5L);
    }
}

TEST(InvertNormalMatrix, SingleCoefficientHasNoThreshold) {
    NormalMatrix m{};
    m[1][1] = 0.000001L;  // far below the pivot threshold
    ASSERT_TRUE(InvertNormalMatrix(m, 1));
    EXPECT_EQ(m[1][1], 1 / 0.000001L);
}

// Within the indices a run takes, no design-row term wraps around: every product and sum is
// exact (h² + k² + l² of 46340 is beyond 32 bits).
TEST(CrystalSystem, DesignRowsOfTheLargestIndicesAreExact) {
    const long double m = 46340, mm = m * m;
    EXPECT_EQ(MakeDesignRow(kCubic, 46340, -46340, 46340)[0], 3 * mm);
    EXPECT_EQ(MakeDesignRow(kHexagonal, 46340, 46340, 0)[0], 3 * mm);
    EXPECT_EQ(MakeDesignRow(kTrigonal, 46340, 46340, 46340),
              (DesignRow{3 * mm, 6 * mm, 0, 0, 0, 0}));
    EXPECT_EQ(MakeDesignRow(kTriclinic, 46340, -46340, 46340),
              (DesignRow{mm, mm, mm, -2 * mm, 2 * mm, -2 * mm}));
    EXPECT_EQ(MakeDesignRow(kMonoclinicBeta, -46340, 1, 46340)[3], -2 * mm);
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

// The fixed angles of the cells are fractions of π₀ = 3.1415926535 (not of π), and the
// inverse cosine adds π₀ for a negative cosine: both show in the results as they are.
TEST(Cell, FixedAnglesAndInverseCosineUseTheTenDecimalPi) {
    constexpr long double kTenDecimals = 3.1415926535L;
    constexpr long double kPi = std::numbers::pi_v<long double>;
    Coefficients x{};
    x[1] = 0.09L;
    x[2] = 0.04L;
    CellParameters rc;
    ComputeReciprocalCell(kHexagonal, x, rc);
    EXPECT_EQ(rc.gamma, kTenDecimals / 3);
    EXPECT_EQ(rc.alpha, kTenDecimals / 2);
    ComputeReciprocalCell(kTetragonal, x, rc);
    EXPECT_EQ(rc.gamma, kTenDecimals / 2);
    // For u > 0 the true arc cosine; for u < 0 it is off by π₀ − π, about −9·10⁻¹¹.
    EXPECT_NEAR(static_cast<double>(Acos0(0.5L) - kPi / 3), 0, 1e-18);
    EXPECT_NEAR(static_cast<double>(Acos0(-0.5L) - 2 * kPi / 3),
                static_cast<double>(kTenDecimals - kPi), 1e-18);
    EXPECT_NEAR(static_cast<double>(Acos0(-1e-9L) - kPi / 2),
                static_cast<double>(kTenDecimals - kPi + 1e-9L), 1e-18);
    EXPECT_EQ(Sin0(1e30L), 0);
}

}  // namespace
}  // namespace dorvalix
