// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli refine with --details, the 2θ fit options and the formats cif, csv and
// summary. (tests/cli/check_output_formats.py reads the same outputs with real parsers.)
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli_outcome.h"
#include "commands.h"
#include "test_files.h"

namespace dorvalix::cli {
namespace {

const std::string kTriclinic = std::string(DORVALIX_SOURCE_DIR) + "/examples/triclinic-300.lat";

// The text after `"key": ` up to the next comma, brace or bracket.
std::string JsonValue(const std::string& json, const std::string& key, std::size_t from = 0) {
    const std::string k = "\"" + key + "\": ";
    const std::size_t at = json.find(k, from);
    if (at == std::string::npos) return "<missing " + key + ">";
    const std::size_t start = at + k.size();
    return json.substr(start, json.find_first_of(",}]\n", start) - start);
}

// The report's lines without its date line (the third).
std::vector<std::string> ReportLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (lines.size() > 2) lines.erase(lines.begin() + 2);
    return lines;
}

class RefineDetails : public test::TempFolder {};

// Without the new options nothing changes; with them the old output comes first, unchanged.
TEST_F(RefineDetails, AddsToTheOutputWithoutChangingIt) {
    const std::string json = Refine({kExample, "--format", "json"}).out;
    EXPECT_EQ(json.find("\"details\""), std::string::npos);
    const Outcome detailed = Refine({kExample, "--format", "json", "--details"});
    ASSERT_EQ(detailed.status, 0) << detailed.err;
    const std::size_t panelEnd = json.rfind("  }\n}\n");
    ASSERT_NE(panelEnd, std::string::npos);
    EXPECT_EQ(detailed.out.substr(0, panelEnd + 3), json.substr(0, panelEnd + 3));
    EXPECT_EQ(detailed.out.substr(panelEnd + 3, 16), ",\n  \"details\": {");
    EXPECT_TRUE(detailed.out.ends_with("\n  }\n}\n"));

    const std::vector<std::string> report = ReportLines(Refine({kExample}).out);
    const std::vector<std::string> more = ReportLines(Refine({kExample, "--details"}).out);
    ASSERT_GT(more.size(), report.size());
    EXPECT_TRUE(std::equal(report.begin(), report.end(), more.begin()));
    EXPECT_EQ(more[report.size()], "Refinement details");
    // Any of the details options asks for the details.
    EXPECT_EQ(ReportLines(Refine({kExample, "--lattice", "P"}).out), more);
    EXPECT_EQ(ReportLines(Refine({kExample, "--lang", "j", "--details"}).out)[report.size()],
              "精密化の詳細");
}

TEST_F(RefineDetails, JsonOfTheWorkedExample) {
    const Outcome o = Refine({kExample, "--format", "json", "--details", "--lattice", "C"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string& j = o.out;
    const std::size_t d = j.find("\"details\": {");
    ASSERT_NE(d, std::string::npos);
    EXPECT_NE(
        j.find(R"j("direct_text": {"a": "9.753(7)", "b": "8.933(2)", "c": "5.255(9)", )j"
               R"j("alpha": "90", "beta": "105.83(7)", "gamma": "90", "volume": "440.5(6)"})j",
               d),
        std::string::npos);
    EXPECT_EQ(JsonValue(j, "alpha", j.find("\"direct_su\"", d)), "null");
    EXPECT_EQ(JsonValue(j, "a", j.find("\"direct_su\"", d)).substr(0, 7), "0.00720");
    EXPECT_TRUE(std::regex_search(
        j, std::regex(R"(\{"row": 3, "leverage": 0\.919120\d+, "studentized": -0\.14208\d+, )"
                      R"("cook": 0\.05735\d+, "outlier": false, "absent": false\})")));
    const std::size_t fom = j.find("\"figures_of_merit\"", d);
    EXPECT_EQ(JsonValue(j, "lattice", fom), "\"C\"");
    EXPECT_EQ(JsonValue(j, "wavelength", fom), "1.54178");
    EXPECT_EQ(JsonValue(j, "n_calc", fom), "48");
    EXPECT_EQ(JsonValue(j, "n_poss", fom), "48");
    EXPECT_EQ(JsonValue(j, "value", fom).substr(0, 5), "40.35");
    EXPECT_EQ(JsonValue(j, "two_theta_fit", d), "null");
    // A 4 × 4 covariance, its first entry the square of the first coefficient's s.u.
    EXPECT_TRUE(std::regex_search(j, std::regex(R"("covariance": \[\[2\.13054\d+e-10, )")));
}

TEST_F(RefineDetails, OptionsOfTheFigures) {
    const struct {
        std::vector<std::string> options;
        const char* lattice;
        const char* wavelength;
    } cases[] = {
        {{}, "\"P\"", "1.54178"},
        {{"--lattice", "F"}, "\"F\"", "1.54178"},
        {{"--xray", "Mo-Ka"}, "\"P\"", "0.710678"},
        {{"--xray=cu-ka1"}, "\"P\"", "1.5405"},
        {{"--wavelength", "2.5", "--lattice=R"}, "\"R\"", "2.5"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {kExample, "--format", "json", "--details"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome o = Refine(args);
        ASSERT_EQ(o.status, 0) << o.err;
        const std::size_t fom = o.out.find("\"figures_of_merit\"");
        EXPECT_EQ(JsonValue(o.out, "lattice", fom), c.lattice);
        EXPECT_EQ(JsonValue(o.out, "wavelength", fom), c.wavelength);
    }
}

// The figures of merit belong to the fit asked for, the Q fit by default; the 300 lines of
// the triclinic example give M(20) of their first twenty only.
TEST_F(RefineDetails, FiguresOfMeritOfTheFitAskedFor) {
    const Outcome report = Refine({kTriclinic, "--details"});
    ASSERT_EQ(report.status, 0) << report.err;
    EXPECT_NE(report.out.find("\nFigures of merit (fit on Q, lattice P, wavelength 1.54178 Å)\n"
                              " M(20) = 598.6\n F(30) = 1711.2 (0.000605, 29)\n"),
              std::string::npos)
        << report.out;
    const struct {
        std::vector<std::string> options;
        const char *fit, *zero;
    } cases[] = {{{}, "\"q\"", "false"},
                 {{"--fit", "2theta"}, "\"2theta\"", "false"},
                 {{"--zero-shift"}, "\"2theta\"", "true"}};
    std::vector<std::string> f;
    for (const auto& c : cases) {
        std::vector<std::string> args = {kExample, "--format", "json", "--details"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome o = Refine(args);
        ASSERT_EQ(o.status, 0) << o.err;
        const std::size_t fom = o.out.find("\"figures_of_merit\"");
        EXPECT_EQ(JsonValue(o.out, "fit", fom), c.fit);
        EXPECT_EQ(JsonValue(o.out, "zero_shift", fom), c.zero);
        f.push_back(JsonValue(o.out, "mean_abs_d2theta", fom));
    }
    // Three fits, three mean |Δ2θ|.
    EXPECT_NE(f[0], f[1]);
    EXPECT_NE(f[1], f[2]);
}

// Silicon with 400 indexed as 200: with a zero shift the fit on 2θ runs off to a zero of
// 33° (and once to a = 10¹⁶ Å); refused in both languages, never printed.
TEST_F(RefineDetails, AFitThatDeterminesNoCellIsRefused) {
    const std::string file =
        Write("si.lat",
              "       4       1\n       1       1       1    3.1356\n"
              "       2       2       0    1.9201\n       3       1       1    1.6375\n"
              "       2       0       0    1.3578\nSi\n");
    for (const char* format : {"report", "cif", "json"}) {
        const Outcome o = Refine({file, "--zero-shift", "--format", format, "--details"});
        EXPECT_EQ(o.status, 1) << format;
        EXPECT_EQ(o.out, "") << format;
        EXPECT_EQ(o.err,
                  "dorvalix-cli: The fit on 2θ does not determine the cell: the refined zero "
                  "shift 33.415° lies beyond ±5° (check the indices and the wavelength)\n");
    }
    const Outcome ja = Refine({file, "--zero-shift", "--lang", "j"});
    EXPECT_EQ(ja.status, 1);
    EXPECT_NE(ja.err.find("を超えています"), std::string::npos) << ja.err;
}

TEST_F(RefineDetails, FitOnTwoTheta) {
    const Outcome fixed = Refine({kExample, "--format", "json", "--fit", "2theta"});
    ASSERT_EQ(fixed.status, 0) << fixed.err;
    const std::size_t f = fixed.out.find("\"two_theta_fit\": {");
    ASSERT_NE(f, std::string::npos);
    EXPECT_EQ(JsonValue(fixed.out, "zero_refined", f), "false");
    EXPECT_EQ(JsonValue(fixed.out, "zero", f), "0");
    EXPECT_EQ(JsonValue(fixed.out, "zero_su", f), "null");

    const Outcome zero = Refine({kTriclinic, "--format", "json", "--zero-shift"});
    ASSERT_EQ(zero.status, 0) << zero.err;
    const std::size_t z = zero.out.find("\"two_theta_fit\": {");
    ASSERT_NE(z, std::string::npos);
    EXPECT_EQ(JsonValue(zero.out, "zero_refined", z), "true");
    EXPECT_NE(JsonValue(zero.out, "zero_su", z), "null");
    EXPECT_LT(std::stoi(JsonValue(zero.out, "iterations", z)), 20);
    EXPECT_NE(zero.out.find("\"coefficient_su\": [", z), std::string::npos);
    // --fit 2theta with --zero-shift is the same fit.
    EXPECT_EQ(Refine({kTriclinic, "--format", "json", "--fit", "2theta", "--zero-shift"}).out,
              zero.out);
}

TEST_F(RefineDetails, Usage) {
    const struct {
        std::vector<std::string> args;
        const char* problem;
    } cases[] = {
        {{"--lattice", "Q"}, "--lattice Q: give P, A, B, C, I, F or R"},
        {{"--lattice", "c"}, "--lattice c: give P, A, B, C, I, F or R"},
        {{"--lattice"}, "--lattice needs a value"},
        {{"--fit", "d"}, "--fit d: give q or 2theta"},
        {{"--wavelength", "1,54"}, "--wavelength 1,54: give a number"},
        {{"--xray", "W-La"},
         "--xray W-La: give one of Cu-Ka Cu-Ka1 Fe-Ka Fe-Ka1 Cr-Ka Cr-Ka1 Mo-Ka Mo-Ka1"},
        {{"--wavelength", "1.5", "--xray", "Cu-Ka"}, "--wavelength and --xray exclude each other"},
        {{"--xray", "Cu-Ka", "--wavelength", "1.5"}, "--wavelength and --xray exclude each other"},
        {{"--details=yes"}, "--details takes no value"},
        {{"--zero-shift=1"}, "--zero-shift takes no value"},
        {{"--fit", "q", "--zero-shift"},
         "--zero-shift refines the zero of the fit on 2theta: not with --fit q"},
        {{"--format", "xml"}, "--format xml: give report, json, cif, csv or summary"},
        {{"@", "--format", "csv"}, "more than one FILE: @/in.lat, @/in.lat"},
    };
    const std::string file = Write("in.lat", "7 5\r\n2 2 0 3.23\r\n1 3 -1 2.566\r\n");
    for (const auto& c : cases) {
        std::vector<std::string> args = {file};
        for (const std::string& a : c.args)
            args.push_back(a == "@" ? file : a);
        std::string expected = c.problem;
        for (std::size_t at; (at = expected.find('@')) != std::string::npos;)
            expected.replace(at, 1, dir);
        const Outcome o = Refine(args);
        EXPECT_EQ(o.status, 2) << expected;
        EXPECT_EQ(o.err, "dorvalix-cli refine: " + expected + "\n" + kUsage);
        EXPECT_EQ(o.out, "");
    }
}

TEST_F(RefineDetails, RefusalsInBothLanguages) {
    const std::string two = Write("two.lat", "2 1\r\n1 0 0 4\r\n2 0 0 2\r\n");
    const struct {
        std::vector<std::string> args;
        const char *en, *ja;
    } cases[] = {
        // F printed with a thousand digits, and JSON numbers beyond double range, before.
        {{kExample, "--wavelength", "1e-999", "--format", "json"},
         "The X-ray wavelength must be a number from 0.01 to 100 Å",
         "X線の波長には0.01から100 Åまでの数値を入れてください"},
        {{kExample, "--wavelength=0"},
         "The X-ray wavelength must be a number from 0.01 to 100 Å",
         "X線の波長には0.01から100 Åまでの数値を入れてください"},
        {{kExample, "--fit", "2theta", "--wavelength", "5"},
         "Row 3: d = 2.304 has no 2θ at the wavelength 5 Å (λ/2d ≥ 1)",
         "3 行目: d = 2.304 には波長 5 Å での 2θ がありません（λ/2d ≥ 1）"},
        {{two, "--zero-shift"},
         "The fit on 2θ needs more observations than parameters: 2 observations for 2 "
         "parameters",
         "2θでのフィットにはパラメータより多いデータが必要です（データ 2 個、パラメータ 2 "
         "個）"},
        {{two, "--format", "cif", "--fit", "2theta", "--system", "0"},
         "Set Crystal System ",
         "結晶系が指定されていません"},
    };
    for (const auto& c : cases) {
        for (const bool ja : {false, true}) {
            std::vector<std::string> args = c.args;
            if (ja) args.insert(args.end(), {"--lang", "j"});
            const Outcome o = Refine(args);
            EXPECT_EQ(o.status, 1) << c.en;
            EXPECT_EQ(o.err, std::string("dorvalix-cli: ") + (ja ? c.ja : c.en) + "\n");
            EXPECT_EQ(o.out, "");
        }
    }
}

TEST_F(RefineDetails, CifAndCsv) {
    const Outcome cif = Refine({kExample, "--format", "cif"});
    ASSERT_EQ(cif.status, 0) << cif.err;
    EXPECT_TRUE(cif.out.starts_with("data_Diopside_monoclinic_C2_c\n"));
    EXPECT_NE(cif.out.find("_cell_volume                      440.5(6)\n"), std::string::npos);
    // The default wavelength serves the figures only: a CIF states none unless given.
    EXPECT_EQ(cif.out.find("_cell_measurement_wavelength"), std::string::npos);
    const Outcome mo = Refine({kExample, "--format", "cif", "--xray", "Mo-Ka"});
    EXPECT_NE(mo.out.find("_cell_measurement_wavelength      0.710678\n"), std::string::npos);

    const Outcome csv = Refine({kExample, "--format", "csv", "--details"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_TRUE(csv.out.starts_with("row,h,k,l,d_obs,d_calc,"));
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 8);
}

std::vector<std::string> CsvLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

TEST_F(RefineDetails, SummaryOfASeries) {
    // A series of files, some of them refused: rows in the order given, whatever thread
    // refined them.
    const std::string bad = Write("bad.lat", "3 5\r\n1 1 1 3.2\r\n1 1 a 2.1\r\n");
    const std::string nosystem =
        Write("nosystem.lat", "3 0\r\n1 0 0 3\r\n0 1 0 4\r\n1 1 0 2.4\r\n");
    std::vector<std::string> files;
    for (int i = 0; i < 40; ++i)
        files.push_back(i % 10 == 3 ? bad : i % 10 == 7 ? nosystem : i % 2 ? kTriclinic : kExample);
    std::vector<std::string> args = files;
    args.insert(args.end(), {"--format", "summary"});
    const Outcome o = Refine(args);
    EXPECT_EQ(o.status, 1);
    // Status 1 has its message on stderr: one line for each refused file, in their order.
    std::string refusals;
    for (const std::string& file : files) {
        if (file == bad) refusals += "dorvalix-cli: " + bad + ": 入力値が数値ではありません.\n";
        if (file == nosystem) refusals += "dorvalix-cli: " + nosystem + ": Set Crystal System \n";
    }
    EXPECT_EQ(o.err, refusals);
    const std::vector<std::string> lines = CsvLines(o.out);
    ASSERT_EQ(lines.size(), 41u);
    EXPECT_EQ(lines[0],
              "file,system,n,a,su_a,b,su_b,c,su_c,alpha,su_alpha,beta,su_beta,gamma,su_gamma,"
              "volume,su_volume,residual,M,F,error");
    const std::string one = CsvLines(Refine({kExample, "--format", "summary"}).out)[1];
    EXPECT_TRUE(one.starts_with(kExample + ",5,7,9.75299446164")) << one;
    EXPECT_TRUE(one.ends_with(",")) << one;  // no error
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& line = lines[i + 1];
        if (files[i] == bad) {
            EXPECT_EQ(line, bad + std::string(20, ',') + "入力値が数値ではありません.");
        } else if (files[i] == nosystem) {
            EXPECT_EQ(line, nosystem + std::string(20, ',') + "Set Crystal System ");
        } else {
            EXPECT_EQ(line, files[i] == kExample
                                ? one
                                : CsvLines(Refine({kTriclinic, "--format", "summary"}).out)[1]);
        }
    }
    // All well: status 0; the messages follow --lang.
    EXPECT_EQ(Refine({kExample, kTriclinic, "--format", "summary"}).status, 0);
    const Outcome ja = Refine({nosystem, "--format", "summary", "--lang", "j"});
    EXPECT_EQ(CsvLines(ja.out)[1], nosystem + std::string(20, ',') + "結晶系が指定されていません");
}

// A spreadsheet runs a field that starts with =, +, - or @ as a formula: the summary's texts
// (file names, messages) start with "'" then; numbers, negative ones too, stay numbers.
TEST_F(RefineDetails, SummaryTextsNoSpreadsheetRuns) {
    const std::vector<std::string> names = {"=1+2.lat", "+1.lat", "-1.lat", "@SUM(A1).lat",
                                            "plain.lat"};
    std::string args;
    for (const std::string& name : names) {
        std::filesystem::copy_file(kExample, dir + "/" + name);
        args += " '" + name + "'";
    }
    const Outcome o = RunBinary("refine --format summary --" + args, "cd " + dir + " && ");
    ASSERT_EQ(o.status, 0) << o.out;
    const std::vector<std::string> lines = CsvLines(o.out);
    ASSERT_EQ(lines.size(), names.size() + 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string expected = (i + 1 < names.size() ? "'" : "") + names[i] + ",5,7,9.75";
        EXPECT_TRUE(lines[i + 1].starts_with(expected)) << lines[i + 1];
    }
    // A message that starts with "-", in the error field.
    const Outcome refused = Refine({kExample, "--exclude", "9", "--format", "summary"});
    EXPECT_EQ(CsvLines(refused.out)[1], kExample + std::string(20, ',') +
                                            "'--exclude 9: " + kExample + " holds 7 observations");
    // Δd of the first line is negative and stays a number.
    const std::string csv = CsvLines(Refine({kExample, "--format", "csv"}).out)[1];
    EXPECT_TRUE(std::regex_search(csv, std::regex(R"(^1,2,2,0,3\.23,3\.23483\d+,-0\.00483\d+,)")))
        << csv;
}

TEST_F(RefineDetails, SummaryWithZeroShift) {
    const Outcome o = Refine({kExample, kTriclinic, "--format", "summary", "--zero-shift"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::vector<std::string> lines = CsvLines(o.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].ends_with(",residual,M,F,zero,su_zero,error"));
    // The cell of the fit on 2θ, its zero and s.u.
    EXPECT_TRUE(lines[1].starts_with(kExample + ",5,7,9.778830363")) << lines[1];
    EXPECT_TRUE(std::regex_search(lines[1], std::regex(R"(,0\.09695665\d+,0\.02899131\d+,$)")))
        << lines[1];
}

}  // namespace
}  // namespace dorvalix::cli
