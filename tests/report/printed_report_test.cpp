// SPDX-License-Identifier: GPL-3.0-or-later
#include "printed_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "calculation.h"
#include "crystal_system.h"
#include "errors.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

using C = PrintColour;

// Round numbers for the printer: LH 100, CW 50 and a page of 6000 device units.
constexpr PrintMeasures kMeasures{100, 50, 6000};

ResultsReportInput InputFor(const CalculationState& state, Lang lang) {
    ResultsReportInput in;
    in.lang = lang;
    in.sampleName = "diopside";
    in.fileLabel = "diopside.lat";
    in.systemLabel = CrystalSystemName(state.crystalSystem, lang);
    in.panel = &state.panel;
    in.table = &state.table;
    in.result = &state.result;
    in.time = {2006, 7, 4, 9, 5};
    return in;
}

// The worked example after Execute.
struct Example {
    explicit Example(Lang lang = Lang::English, std::initializer_list<int> excluded = {}) {
        test::FillMonoclinicExample(state);
        for (const int r : excluded)
            state.table.Cell(4, r) = std::string(kExclusionMarker);
        SetPanelRowLabels(state.panel, lang);
        completed = RunCalculation(state, lang).completed;
        input = InputFor(state, lang);
    }
    std::vector<PrintText> Layout(const PrintMeasures& m = kMeasures) const {
        return LayOutPrintedReport(input, m);
    }
    CalculationState state;
    bool completed = false;
    ResultsReportInput input;
};

// A table of hand-made rows with hand-made calculated values, for the edge cases: the
// layout only copies texts and formats dCalc and dDiff of the included rows.
struct HandMade {
    HandMade(std::initializer_list<test::RowTexts> rows,
             std::initializer_list<std::pair<long double, long double>> calculated) {
        test::FillRows(state.table, rows);
        state.table.filled = static_cast<std::uint32_t>(rows.size());
        int k = 1;
        for (const auto& [dCalc, dDiff] : calculated) {
            state.result.dCalc[static_cast<std::size_t>(k)] = dCalc;
            state.result.dDiff[static_cast<std::size_t>(k)] = dDiff;
            ++k;
        }
        state.panel.residual = "0.00000011";
        input = InputFor(state, Lang::English);
    }
    // The texts of one observation row (1-based), drawn from the line of row 1.
    std::vector<PrintText> Row(int row) const {
        const int y = 200 + (22 + row) * kMeasures.lineHeight;
        std::vector<PrintText> out;
        for (const PrintText& t : LayOutPrintedReport(input, kMeasures)) {
            if (t.page == 1 && t.y == y) out.push_back(t);
        }
        return out;
    }
    CalculationState state;
    ResultsReportInput input;
};

TEST(PrintedReport, WorkedExampleInEnglish) {
    const Example example;
    ASSERT_TRUE(example.completed);
    const std::vector<PrintText> texts = example.Layout();
    const std::vector<PrintText> head = {
        {1, 200, 200, 18, C::Black, "Calculation of Cell Parameters"},
        {1, 200, 500, 14, C::Black, "Date & Time: 2006-7-4  09:5"},
        {1, 200, 600, 14, C::Black, "Sample : diopside"},
        {1, 200, 700, 14, C::Black, "File  : diopside.lat"},
        {1, 200, 800, 14, C::Black, "System : Monoclinic(beta<>90)"},
        {1, 200, 900, 14, C::Black, " "},
        {1, 200, 1100, 14, C::Black, "Reciprocal Lattice Parameters"},
    };
    ASSERT_GE(texts.size(), head.size());
    EXPECT_EQ(std::vector<PrintText>(texts.begin(), texts.begin() + 7), head);

    // The cell blocks: seven texts a line, ten column units apart.
    const struct {
        int y;
        std::vector<std::string> texts;
    } blocks[] = {
        {1200,
         {" a*     ", " b*     ", " c*     ", " alfa*  ", " beta*  ", " ganma* ", " V*     "}},
        {1300, {"0.106576", "0.111949", "0.197789", "-----", "74.167", "-----", "0.002270"}},
        {1400,
         {" Da*    ", " Db*    ", " Dc*    ", "Dalfa*  ", "Dbeta*  ", "Dganma* ", " DV*    "}},
        {1500, {"0.000068", "0.000030", "0.000317", "-----", "0.069", "-----", "0.000004"}},
        {1800,
         {" a      ", " b      ", " c      ", " alfa   ", " beta   ", " ganma  ", " V      "}},
        {1900, {"9.75299", "8.93263", "5.25528", "-----", "105.833", "-----", "440.469"}},
        {2000,
         {" Da     ", " Db     ", " Dc     ", "Dalfa   ", "Dbeta   ", "Dganma  ", " DV     "}},
        {2100, {"0.00709", "0.00239", "0.00862", "-----", "0.069", "-----", "0.785"}},
    };
    std::vector<PrintText> expected(texts.begin(), texts.begin() + 7);
    for (const auto& block : blocks) {
        if (block.y == 1800) expected.push_back({1, 200, 1700, 14, C::Black, "Lattice Parameters"});
        for (int i = 0; i < 7; ++i)
            expected.push_back({1, 200 + 500 * i, block.y, 14, C::Black,
                                block.texts[static_cast<std::size_t>(i)]});
    }
    expected.push_back({1, 200, 2300, 14, C::Black, "Observed Data "});
    expected.push_back({1, 200, 2400, 14, C::Black,
                        "        h       k       l        dobs         dcalc        do-dc       "
                        "     Qo.-Qc."});
    // Rows 2 2 0, 1 3 -1 and the last, 1 5 0; indices at X0 + 5·c·CW, -1 one unit left.
    const std::vector<PrintText> row1 = {
        {1, 450, 2500, 14, C::Black, "2"},          {1, 700, 2500, 14, C::Black, "2"},
        {1, 950, 2500, 14, C::Black, "0"},          {1, 1200, 2500, 14, C::Black, " 3.23"},
        {1, 1650, 2500, 14, C::Black, "3.23483"},   {1, 2100, 2500, 14, C::Black, "-0.00483"},
        {1, 2700, 2500, 14, C::Black, " +0.00029"},
    };
    const std::vector<PrintText> row2 = {
        {1, 450, 2600, 14, C::Black, "1"},          {1, 700, 2600, 14, C::Black, "3"},
        {1, 900, 2600, 14, C::Black, "-1"},         {1, 1200, 2600, 14, C::Black, " 2.566"},
        {1, 1650, 2600, 14, C::Black, "2.56689"},   {1, 2100, 2600, 14, C::Black, "-0.00089"},
        {1, 2700, 2600, 14, C::Black, " +0.00011"},
    };
    expected.insert(expected.end(), row1.begin(), row1.end());
    expected.insert(expected.end(), row2.begin(), row2.end());
    ASSERT_EQ(texts.size(), expected.size() + 5 * 7 + 3);
    EXPECT_EQ(std::vector<PrintText>(texts.begin(), texts.begin() + expected.size()), expected);

    const std::vector<PrintText> tail = {
        {1, 450, 3100, 14, C::Black, "1"},
        {1, 700, 3100, 14, C::Black, "5"},
        {1, 950, 3100, 14, C::Black, "0"},
        {1, 1200, 3100, 14, C::Black, " 1.755"},
        {1, 1650, 3100, 14, C::Black, "1.75500"},
        {1, 2100, 3100, 14, C::Black, "+0.00000"},
        {1, 2700, 3100, 14, C::Black, " -0.00000"},
        {1, 200, 3300, 14, C::Black, "Residual"},
        {1, 200, 3400, 14, C::Black, "0.00000011"},
        {1, 200, 3600, 10, C::Black, "Dorvalix Ver. 2.20"},
    };
    EXPECT_EQ(std::vector<PrintText>(texts.end() - 10, texts.end()), tail);
}

TEST(PrintedReport, JapaneseTexts) {
    const Example ja(Lang::Japanese);
    const Example en;
    ASSERT_TRUE(ja.completed);
    const std::vector<PrintText> texts = ja.Layout();
    const std::vector<PrintText> english = en.Layout();
    ASSERT_EQ(texts.size(), english.size());
    const auto at = [&](int y, int x = 200) {
        for (const PrintText& t : texts) {
            if (t.y == y && t.x == x) return t.text;
        }
        return std::string("(none)");
    };
    EXPECT_EQ(at(200), "最小二乗法による格子定数の計算");
    EXPECT_EQ(at(500), "計算時刻　: 平成18年7月4日(火曜日)  09時5分");
    EXPECT_EQ(at(600), "試 料 名 : diopside");
    EXPECT_EQ(at(700), "ファイル : diopside.lat");
    EXPECT_EQ(at(800), "結 晶 系 : 単斜晶系(β≠90)");
    EXPECT_EQ(at(1100), "逆格子定数と標準偏差");
    EXPECT_EQ(at(1200, 200 + 10 * 3 * 50), "α*     ");
    EXPECT_EQ(at(1400, 200 + 10 * 6 * 50), "ΔV*    ");
    EXPECT_EQ(at(1700), "格子定数と標準偏差");
    EXPECT_EQ(at(2000, 200 + 10 * 5 * 50), "Δγ    ");
    EXPECT_EQ(at(2300), "観測データ ");
    EXPECT_EQ(at(3300), "残差二乗和");
    // Everything else is the same in both languages, and laid out alike.
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].x, english[i].x) << i;
        EXPECT_EQ(texts[i].y, english[i].y) << i;
        EXPECT_EQ(texts[i].points, english[i].points) << i;
        const bool sameText = (texts[i].y >= 2400 && texts[i].y != 3300) || texts[i].y == 1300;
        if (sameText) {
            EXPECT_EQ(texts[i].text, english[i].text) << i;
        }
    }
}

TEST(PrintedReport, AnEmptyTableHasTheResidualRightBelowTheColumnHeader) {
    const HandMade empty({}, {});
    const std::vector<PrintText> texts = LayOutPrintedReport(empty.input, kMeasures);
    const std::vector<PrintText> tail = {
        {1, 200, 2400, 14, C::Black,
         "        h       k       l        dobs         dcalc        do-dc            Qo.-Qc."},
        {1, 200, 2600, 14, C::Black, "Residual"},
        {1, 200, 2700, 14, C::Black, "0.00000011"},
        {1, 200, 2900, 10, C::Black, "Dorvalix Ver. 2.20"},
    };
    EXPECT_EQ(std::vector<PrintText>(texts.end() - 4, texts.end()), tail);
}

// The y and page of every observation row's first text, and of the three closing lines.
std::vector<std::pair<int, int>> RowPlaces(const std::vector<PrintText>& texts) {
    std::vector<std::pair<int, int>> out;
    for (const PrintText& t : texts) {
        if (t.y > 2400 || t.page > 1) {
            if (out.empty() || out.back() != std::pair{t.page, t.y}) out.emplace_back(t.page, t.y);
        }
    }
    return out;
}

TEST(PrintedReport, PageBreaks) {
    const Example example;
    ASSERT_TRUE(example.completed);
    const struct {
        const char* what;
        int pageHeight;
        std::vector<std::pair<int, int>> places;  // page, y of rows 1..7, residual lines, footer
    } cases[] = {
        {"all on one page",
         6000,
         {{1, 2500},
          {1, 2600},
          {1, 2700},
          {1, 2800},
          {1, 2900},
          {1, 3000},
          {1, 3100},
          {1, 3300},
          {1, 3400},
          {1, 3600}}},
        // 0.9·3000 = 2700: the row at exactly 2700 breaks nothing, the one at 2800 is
        // drawn there and the next row is one line below ⌊5·3000/100⌋ = 150.
        {"the row at 0.9·PH stays",
         3000,
         {{1, 2500},
          {1, 2600},
          {1, 2700},
          {1, 2800},
          {2, 250},
          {2, 350},
          {2, 450},
          {2, 650},
          {2, 750},
          {2, 950}}},
        // 0.9·3400 = 3060: only the last row is beyond; the residual goes to a new page,
        // two lines below ⌊5·3400/100⌋ = 170.
        {"the last row breaks",
         3400,
         {{1, 2500},
          {1, 2600},
          {1, 2700},
          {1, 2800},
          {1, 2900},
          {1, 3000},
          {1, 3100},
          {2, 370},
          {2, 470},
          {2, 670}}},
        // ⌊5·3333/100⌋ = 166 (integer division); 0.9·3333 = 2999.7.
        {"a page height not divisible by 100",
         3333,
         {{1, 2500},
          {1, 2600},
          {1, 2700},
          {1, 2800},
          {1, 2900},
          {1, 3000},
          {2, 266},
          {2, 466},
          {2, 566},
          {2, 766}}},
        // On later pages too: 0.9·200 = 180, rows restart one line below 10.
        {"a tiny page",
         200,
         {{1, 2500},
          {2, 110},
          {2, 210},
          {3, 110},
          {3, 210},
          {4, 110},
          {4, 210},
          {5, 210},
          {5, 310},
          {5, 510}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RowPlaces(example.Layout({100, 50, c.pageHeight})), c.places);
    }
}

TEST(PrintedReport, IndicesKeepTheirLastDigitInTheColumn) {
    const HandMade table(
        {{" 3.0", "-12", "-3", " 7"}, {" 2.0", "12", " 0", "-100"}, {" 1.0", "-10", "-9", "10"}},
        {{3, 0}, {2, 0}, {1, 0}});
    const auto x = [](const std::vector<PrintText>& row, int i) { return row.at(i).x; };
    const std::vector<PrintText> row1 = table.Row(1);
    const std::vector<PrintText> row2 = table.Row(2);
    // Columns at X0 + 5·c·CW = 450, 700, 950.
    EXPECT_EQ(row1.at(0).text, "-12");
    EXPECT_EQ(x(row1, 0), 450 - 100);
    EXPECT_EQ(row1.at(1).text, "-3");
    EXPECT_EQ(x(row1, 1), 700 - 50);
    EXPECT_EQ(row1.at(2).text, "7");  // trimmed
    EXPECT_EQ(x(row1, 2), 950);
    EXPECT_EQ(x(row2, 0), 450 - 50);
    EXPECT_EQ(x(row2, 1), 700);
    EXPECT_EQ(x(row2, 2), 950 - 100);
    // The edges of each shift: −10 two units, −9 and 10 one.
    const std::vector<PrintText> row3 = table.Row(3);
    EXPECT_EQ(x(row3, 0), 450 - 100);
    EXPECT_EQ(x(row3, 1), 700 - 50);
    EXPECT_EQ(x(row3, 2), 950 - 50);
}

TEST(PrintedReport, CalculatedValueColumns) {
    const HandMade table({{"12.35", "1", "0", "0"},
                          {" 1.5", "1", "1", "0"},
                          {" 1.4", "1", "1", "1"},
                          {" 1.3", "2", "0", "0"},
                          {" 1.2", "2", "1", "0"},
                          {" 1.1", "2", "1", "1"}},
                         {{12.3456789L, -0.000003L},
                          {1.2345678L, 0.000003L},
                          {1.4L, -0.00001L},
                          {10.0L, 0.0L},
                          {9.87654321L, -0.0123456L},
                          {1.1L, 0.00123456L}});
    const struct {
        const char* dCalc;
        const char* dDiff;
    } expected[] = {
        {"12.3456", "-0.00000"},  // F gives 12.34568; from 10 up the last digit goes
        {"1.23457", "+0.00000"},  // a positive difference that rounds to zero keeps its +
        {"1.40000", "-0.00001"},  // exactly one minus
        {"10.0000", "+0.00000"}, {"9.87654", "-0.01235"}, {"1.10000", "+0.00123"},
    };
    for (int r = 1; r <= 6; ++r) {
        SCOPED_TRACE(r);
        const std::vector<PrintText> row = table.Row(r);
        ASSERT_EQ(row.size(), 7u);
        EXPECT_EQ(row[3].x, 200 + 20 * 50);
        EXPECT_EQ(row[3].text, table.state.table.Cell(0, r));  // untrimmed
        EXPECT_EQ(row[4].x, 200 + 29 * 50);
        EXPECT_EQ(row[4].text, expected[r - 1].dCalc);
        EXPECT_EQ(row[5].x, 200 + 38 * 50);
        EXPECT_EQ(row[5].text, expected[r - 1].dDiff);
        EXPECT_EQ(row[6].x, 200 + 50 * 50);
    }
}

// The paper and the report file write d_obs − d_calc alike.
TEST(PrintedReport, DifferencesAgreeWithTheReportFile) {
    for (const long double x :
         {-0.000003L, 0.000003L, -0.00001L, 0.0L, -0.0000049L, -0.0000051L, 0.0000049L, -1.5L}) {
        SCOPED_TRACE(static_cast<double>(x));
        const HandMade table({{" 1.0", "1", "0", "0"}}, {{1.0L, x}});
        const std::string printed = table.Row(1).at(5).text;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '-') +
                      std::count(printed.begin(), printed.end(), '+'),
                  1);
        EXPECT_EQ(ReportDeviationText(x), "   " + printed);
    }
}

TEST(PrintedReport, ExcludedRowsInAquaWithDashes) {
    const Example example(Lang::English, {2});
    ASSERT_TRUE(example.completed);
    const std::vector<PrintText> texts = example.Layout();
    std::vector<PrintText> row2, row3;
    for (const PrintText& t : texts) {
        if (t.y == 2600) row2.push_back(t);
        if (t.y == 2700) row3.push_back(t);
    }
    const std::vector<PrintText> excluded = {
        {1, 450, 2600, 14, C::Aqua, "1"},        {1, 700, 2600, 14, C::Aqua, "3"},
        {1, 900, 2600, 14, C::Aqua, "-1"},       {1, 1200, 2600, 14, C::Aqua, " 2.566"},
        {1, 1650, 2600, 14, C::Aqua, "-------"}, {1, 2100, 2600, 14, C::Aqua, "-------"},
        {1, 2700, 2600, 14, C::Aqua, "-------"},
    };
    EXPECT_EQ(row2, excluded);
    // The next row is black again and has the second calculated values.
    ASSERT_EQ(row3.size(), 7u);
    for (const PrintText& t : row3)
        EXPECT_EQ(t.colour, C::Black);
    EXPECT_EQ(row3[4].text, FormatF(example.state.result.dCalc[2], 5));
    EXPECT_EQ(row3[6].text, example.state.table.Cell(4, 3));
    // The closing lines are black after an excluded last row too.
    const Example lastExcluded(Lang::English, {7});
    ASSERT_TRUE(lastExcluded.completed);
    const std::vector<PrintText> closing = lastExcluded.Layout();
    EXPECT_EQ(closing[closing.size() - 4].colour, C::Aqua);
    for (std::size_t i = closing.size() - 3; i < closing.size(); ++i)
        EXPECT_EQ(closing[i].colour, C::Black);
}

TEST(PrintedReport, AnIndexThatIsNotAnIntegerThrows) {
    for (const char* bad : {"x", "", "1.5", "+-1"}) {
        HandMade table({{" 2.0", "1", "1", "0"}, {" 1.0", "1", bad, "0"}}, {{2, 0}, {1, 0}});
        try {
            LayOutPrintedReport(table.input, kMeasures);
            ADD_FAILURE() << "no error for '" << bad << "'";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.Text(),
                      std::string("'") + std::string(Trim(bad)) + "' は整数ではありません");
        }
    }
}

}  // namespace
}  // namespace dorvalix
