// SPDX-License-Identifier: GPL-3.0-or-later
#include "results_report.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "calculation.h"
#include "crystal_system.h"
#include "numtext.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

struct Reflection {
    const char *d, *h, *k, *l;
};

// The seven reflections of the monoclinic (β free) worked example.
constexpr Reflection kExample[] = {
    {"3.23", "2", "2", "0"},  {"2.566", "1", "3", "-1"}, {"2.304", "3", "1", "1"},
    {"2.157", "3", "3", "0"}, {"2.134", "3", "3", "-1"}, {"2.043", "0", "4", "1"},
    {"1.755", "1", "5", "0"},
};

class Report {
  public:
    Report(std::initializer_list<Reflection> rows, int code, Lang lang = Lang::English,
           std::initializer_list<int> excluded = {}) {
        int r = 1;
        for (const Reflection& x : rows) {
            state.table.Cell(0, r) = x.d;
            state.table.Cell(1, r) = x.h;
            state.table.Cell(2, r) = x.k;
            state.table.Cell(3, r) = x.l;
            ++r;
        }
        for (const int e : excluded)
            state.table.Cell(4, e) = std::string(kExclusionMarker);
        state.crystalSystem = code;
        SetPanelRowLabels(state.panel, lang);
        run = RunCalculation(state, lang);
        ResultsReportInput in;
        in.lang = lang;
        in.sampleName = "diopside";
        in.fileLabel = "diopside.lat";
        in.systemLabel = CrystalSystemName(code, lang);
        in.panel = &state.panel;
        in.table = &state.table;
        in.result = &state.result;
        in.time = {2006, 7, 14, 9, 5};
        lines = BuildResultsReport(in);
    }
    CalculationState state;
    RunReport run;
    std::vector<std::string> lines;
};

Report Example(Lang lang = Lang::English, std::initializer_list<int> excluded = {}) {
    return Report(
        {kExample[0], kExample[1], kExample[2], kExample[3], kExample[4], kExample[5], kExample[6]},
        kMonoclinicBeta, lang, excluded);
}

TEST(ResultsReport, WorkedExampleLineByLine) {
    const Report report = Example();
    ASSERT_TRUE(report.run.completed);
    std::vector<std::string> expected = {
        "Calculation of Cell Parameters",
        "",
        "Date & Time: 2006-07-14 09:05",
        "Sample : diopside",
        "File  : diopside.lat",
        "System : Monoclinic(beta<>90)",
        "",
    };
    expected.insert(expected.end(), test::kExampleReportBody.begin(),
                    test::kExampleReportBody.end());
    EXPECT_EQ(report.lines, expected);
    EXPECT_EQ(report.lines[9].size(), 77u);
    EXPECT_EQ(report.lines[11].size(), 77u);
}

// The byte length of a UTF-8 text in Shift-JIS, where the report's columns are counted.
std::size_t ShiftJisLength(const std::string& text) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string in = text;
    char* ip = in.data();
    std::size_t il = in.size();
    std::string out(il * 2 + 4, '\0');
    char* op = out.data();
    std::size_t ol = out.size();
    const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    EXPECT_NE(r, static_cast<std::size_t>(-1)) << text;
    return out.size() - ol;
}

TEST(ResultsReport, JapaneseLines) {
    const Report ja = Example(Lang::Japanese);
    const Report en = Example();
    EXPECT_EQ(ja.lines[0], "最小二乗法による格子定数の計算");
    EXPECT_EQ(ja.lines[2], "計算時刻 : 平成18年07月14日(金曜日)  09時05分");
    EXPECT_EQ(ja.lines[3], "試 料 名 : diopside");
    EXPECT_EQ(ja.lines[4], "ファイル : diopside.lat");
    EXPECT_EQ(ja.lines[5], "結 晶 系 : 単斜晶系(β≠90)");
    EXPECT_EQ(ja.lines[7], "逆格子定数と標準偏差");
    EXPECT_EQ(ja.lines[8],
              "a*         b*         c*         α*        β*        γ*        V*         ");
    EXPECT_EQ(ja.lines[13], "格子定数と標準偏差");
    EXPECT_EQ(ja.lines[19], "観測データ ");
    EXPECT_EQ(ja.lines[29], "残差二乗和");
    // Every label takes eight columns of a fixed-pitch font: the four label lines line up
    // with the value lines.
    for (const int i : {8, 10, 14, 16})
        EXPECT_EQ(ShiftJisLength(ja.lines[i]), 77u) << i;
    // Values, observations and the closing lines do not depend on the language.
    for (const int i : {9, 11, 15, 17, 20, 21, 27, 30, 31, 32})
        EXPECT_EQ(ja.lines[i], en.lines[i]);
}

TEST(ResultsReport, CubicShowsDashesForFixedQuantities) {
    // Rock salt, a = 5.64.
    const Report report({{"3.2563", "1", "1", "1"},
                         {"2.8200", "2", "0", "0"},
                         {"1.9940", "2", "2", "0"},
                         {"1.7005", "3", "1", "1"},
                         {"1.6281", "2", "2", "2"}},
                        kCubic);
    ASSERT_TRUE(report.run.completed);
    for (const int i : {9, 11, 15, 17}) {
        const std::string& line = report.lines[static_cast<std::size_t>(i)];
        ASSERT_EQ(line.size(), 77u);
        for (int f = 1; f <= 5; ++f)
            EXPECT_EQ(line.substr(11 * f, 11), "-----      ") << line;
        EXPECT_NE(line.substr(0, 5), "-----");
        EXPECT_NE(line.substr(66, 5), "-----");
    }
    EXPECT_NEAR(static_cast<double>(ParseReal(report.lines[15].substr(0, 11))), 5.64, 0.001);
}

TEST(ResultsReport, ExcludedRowsKeepTheirPlaceAndSkipTheCalculatedValues) {
    const Report excluded = Example(Lang::English, {3});
    const Report without(
        {kExample[0], kExample[1], kExample[3], kExample[4], kExample[5], kExample[6]},
        kMonoclinicBeta);
    ASSERT_TRUE(excluded.run.completed);
    ASSERT_TRUE(without.run.completed);
    EXPECT_EQ(excluded.lines[23], "  3     1     1    2.304    -------    -------    --------");
    // The rows around it carry the values of the fit without it.
    EXPECT_EQ(excluded.lines[21], without.lines[21]);
    EXPECT_EQ(excluded.lines[22], without.lines[22]);
    for (int i = 24; i <= 27; ++i)
        EXPECT_EQ(excluded.lines[static_cast<std::size_t>(i)],
                  without.lines[static_cast<std::size_t>(i - 1)]);
    EXPECT_EQ(excluded.lines[9], without.lines[9]);
}

TEST(ResultsReport, DeviationSigns) {
    const struct {
        long double x;
        const char* text;
    } cases[] = {
        {0.000003L, "   +0.00000"},   {0.0L, "   +0.00000"},        {-0.000003L, "   -0.00000"},
        {-0.00001L, "   -0.00001"},   {-0.0000049L, "   -0.00000"}, {-0.0000048L, "   -0.00000"},
        {-0.0000051L, "   -0.00001"}, {-0.00483L, "   -0.00483"},   {1.5L, "   +1.50000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReportDeviationText(c.x), c.text) << FormatGeneral(c.x);
}

TEST(ResultsReport, ObservationLineColumns) {
    ObservationTable t;
    RefinementResult res;
    auto line = [&](const char* d, const char* h, const char* k, const char* l, long double dCalc) {
        t.Cell(0, 1) = d;
        t.Cell(1, 1) = h;
        t.Cell(2, 1) = k;
        t.Cell(3, 1) = l;
        t.Cell(4, 1) = "";  // emptied by Include: the report takes the run's value
        res.dCalc[1] = dCalc;
        res.dDiff[1] = 0;
        res.qDiff[1] = 0.0000102L;
        return ReportObservationLine(t, 1, res, 1);
    };
    EXPECT_EQ(line(" 1.2346", " 1", "-10", "-100", 1.23456789L),
              "  1   -10   -100 1.2346   1.23457   +0.00000    +0.00001");
    // From 10 up d_calc starts one column further left, so its point stays in place.
    const std::string small = line("12.3457", "10", " 0", "12345", 1.23456789L);
    const std::string large = line("12.3457", "10", " 0", "12345", 12.3456789L);
    EXPECT_EQ(small, " 10     0   1234512.3457   1.23457   +0.00000    +0.00001");
    EXPECT_EQ(large, " 10     0   1234512.3457  12.34568   +0.00000    +0.00001");
    EXPECT_EQ(small.find('.', 24), large.find('.', 24));
    // An observed d longer than nine characters is written whole, never cut to another
    // number; the line shifts, with a blank before the calculated d even from 10 up.
    EXPECT_EQ(line(" 1.23456789", " 1", " 1", " 1", 1.23456789L),
              "  1     1     1    1.23456789 1.23457   +0.00000    +0.00001");
    EXPECT_EQ(line(" 1.23456789", " 1", " 1", " 1", 12.3456789L),
              "  1     1     1    1.23456789 12.34568   +0.00000    +0.00001");
}

// A cell text longer than its eleven columns is written whole, one blank after it.
TEST(ResultsReport, LongCellTextsAreWrittenWhole) {
    Report report = Example();
    ResultsPanel& panel = report.state.panel;
    panel.direct[0][1] = "1.0015821E12";
    panel.direct[6][1] = "9.8453879E599";
    panel.direct[1][1] = " 12345.67891";  // eleven characters: whole, then a blank
    ResultsReportInput in;
    in.panel = &panel;
    in.table = &report.state.table;
    in.result = &report.state.result;
    const std::vector<std::string> lines = BuildResultsReport(in);
    EXPECT_EQ(lines[15],
              "1.0015821E12 12345.67891 5.25528    -----      105.833    -----      "
              "9.8453879E599 ");
}

TEST(ResultsReport, JoinedWithCrLfAfterEveryLine) {
    EXPECT_EQ(JoinReportLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinReportLines({}), "");
}

}  // namespace
}  // namespace dorvalix
