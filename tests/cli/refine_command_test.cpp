// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "cli_outcome.h"
#include "commands.h"
#include "table_builder.h"
#include "test_files.h"

namespace dorvalix::cli {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class RefineCommand : public test::TempFolder {};

TEST_F(RefineCommand, ReportOfTheWorkedExample) {
    const Outcome o = Refine({kExample});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    std::vector<std::string> lines = Lines(o.out);
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(Date & Time: \d{4}-\d\d-\d\d \d\d:\d\d)")))
        << lines[2];
    lines[2] = "";
    std::vector<std::string> expected = {
        "Calculation of Cell Parameters",
        "",
        "",
        "Sample : Diopside (monoclinic, C2/c)",
        "File  : diopside.lat",
        "System : Monoclinic(beta<>90)",
        "",
    };
    expected.insert(expected.end(), test::kExampleReportBody.begin(),
                    test::kExampleReportBody.end());
    EXPECT_EQ(lines, expected);

    const Outcome ja = Refine({"--lang", "j", kExample});
    ASSERT_EQ(ja.status, 0);
    const std::vector<std::string> jl = Lines(ja.out);
    EXPECT_EQ(jl[0], "最小二乗法による格子定数の計算");
    EXPECT_TRUE(jl[2].starts_with("計算時刻 : 令和")) << jl[2];
    EXPECT_EQ(jl[5], "結 晶 系 : 単斜晶系(β≠90)");
}

// The number after `"key": ` in a JSON text, as text.
std::string JsonValue(const std::string& json, const std::string& key, std::size_t from = 0) {
    const std::string k = "\"" + key + "\": ";
    const std::size_t at = json.find(k, from);
    if (at == std::string::npos) return "<missing " + key + ">";
    const std::size_t start = at + k.size();
    return json.substr(start, json.find_first_of(",}]\n", start) - start);
}

TEST_F(RefineCommand, JsonOfTheWorkedExample) {
    const Outcome o = Refine({kExample, "--format", "json", "--exclude", "3"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string& j = o.out;
    EXPECT_EQ(JsonValue(j, "system"), "5");
    EXPECT_EQ(JsonValue(j, "n_included"), "6");
    EXPECT_EQ(JsonValue(j, "parameters"), "4");
    // 17 significant digits.
    const std::string x1 = j.substr(j.find("\"coefficients\": [") + 17, 21);
    EXPECT_TRUE(std::regex_search(x1, std::regex(R"(^0\.0\d{17},)"))) << x1;
    const std::size_t sd = j.find("\"reciprocal_sd\"");
    EXPECT_EQ(JsonValue(j, "alpha", sd), "null");
    EXPECT_EQ(JsonValue(j, "gamma", sd), "null");
    EXPECT_NE(JsonValue(j, "beta", sd), "null");
    const std::size_t direct = j.find("\"direct\": {");
    EXPECT_EQ(JsonValue(j, "beta", direct).substr(0, 6), "105.84");  // degrees
    EXPECT_NE(
        j.find(
            R"({"row": 1, "h": 2, "k": 2, "l": 0, "d_obs_text": " 3.23", "excluded": false, "d_calc": 3.23)"),
        std::string::npos);
    EXPECT_NE(
        j.find(
            R"({"row": 3, "h": 3, "k": 1, "l": 1, "d_obs_text": " 2.304", "excluded": true, "d_calc": null, "d_diff": null, "q_diff_text": "  Exclude"})"),
        std::string::npos);
    EXPECT_NE(
        j.find(R"("direct": [["    9.75279 ", "  0.01491 "], ["    8.93283 ", "  0.00341 "])"),
        std::string::npos);
    EXPECT_NE(j.find(R"(["   ----- ", "   ----- "])"), std::string::npos);
    EXPECT_NE(j.find(R"("residual": "0.00000011")"), std::string::npos);
    // Braces and brackets balance outside strings.
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < j.size(); ++i) {
        if (j[i] == '\\') {
            ++i;
        } else if (j[i] == '"') {
            inString = !inString;
        } else if (!inString && (j[i] == '{' || j[i] == '[')) {
            ++depth;
        } else if (!inString && (j[i] == '}' || j[i] == ']')) {
            --depth;
            EXPECT_GE(depth, 0);
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_FALSE(inString);
}

TEST_F(RefineCommand, SylkInput) {
    const std::string dhkl =
        "ID;PWXL\r\nC;Y2;X1;K3.23\r\nC;X2;K2\r\nC;X3;K2\r\nC;X4;K0\r\n"
        "C;Y3;X1;K2.566\r\nC;X2;K1\r\nC;X3;K3\r\nC;X4;K-1\r\nC;Y4;X1;K2.304\r\nC;X2;K3\r\nC;X3;"
        "K1\r\n"
        "C;X4;K1\r\nC;Y5;X1;K2.157\r\nC;X2;K3\r\nC;X3;K3\r\nC;X4;K0\r\nC;Y6;X1;K2.134\r\nC;X2;"
        "K3\r\n"
        "C;X3;K3\r\nC;X4;K-1\r\nC;Y7;X1;K2.043\r\nC;X2;K0\r\nC;X3;K4\r\nC;X4;K1\r\n"
        "C;Y8;X1;K1.755\r\nC;X2;K1\r\nC;X3;K5\r\nC;X4;K0\r\nE\r\n";
    const std::string reference = Refine({kExample, "--format", "json"}).out;
    // Recognised by its first record whatever the name; a SYLK block has no crystal system.
    const std::string path = Write("cells.txt", dhkl);
    Outcome o = Refine({path, "--format", "json"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "dorvalix-cli: Set Crystal System \n");
    o = Refine({path, "--format", "json", "--system", "5"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, reference);

    // h, k, l, d: the question needs --order.
    std::string hkld = "ID;P\r\n";
    const char* rows[7][4] = {{"2", "2", "0", "3.23"},   {"1", "3", "-1", "2.566"},
                              {"3", "1", "1", "2.304"},  {"3", "3", "0", "2.157"},
                              {"3", "3", "-1", "2.134"}, {"0", "4", "1", "2.043"},
                              {"1", "5", "0", "1.755"}};
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 4; ++c)
            hkld += "C;Y" + std::to_string(r + 1) + ";X" + std::to_string(c + 1) + ";K" +
                    rows[r][c] + "\n";
    const std::string slk = Write("hkld.slk", hkld.substr(5));  // no ID record: the name tells
    o = Refine({slk, "--system", "5"});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("--order"), std::string::npos) << o.err;
    o = Refine({slk, "--system", "5", "--order", "hkld", "--format", "json"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, reference);
    o = Refine({slk, "--system", "5", "--order", "dhkl"});
    EXPECT_EQ(o.status, 1);  // d would be 2, 1, 3 ... and an index 3.23
    EXPECT_EQ(o.err, "dorvalix-cli: Set Integer for hkl\n");
}

TEST_F(RefineCommand, Refusals) {
    const std::string lat7 =
        "7 5\r\n2 2 0 3.23\r\n1 3 -1 2.566\r\n3 1 1 2.304\r\n3 3 0 2.157\r\n"
        "3 3 -1 2.134\r\n0 4 1 2.043\r\n1 5 0 1.755\r\nx\r\n";
    const struct {
        std::vector<std::string> args;
        std::string file;  // written to the temporary folder as in.lat, when not empty
        int status;
        std::string err;
    } cases[] = {
        {{"@/missing.lat"}, "", 1, "dorvalix-cli: No such file or directory: @/missing.lat.\n"},
        {{"@"}, "", 1, "dorvalix-cli: Is a directory: @.\n"},
        {{},
         "2 5\r\n1 1 1 3.2\r\n1 1 a 2.1\r\nx\r\n",
         1,
         "dorvalix-cli: 入力値が数値ではありません.\n"},
        {{},
         "1 5\r\n1 1 1 3.2x\r\nx\r\n",
         1,
         "dorvalix-cli: ' 3.2x' は浮動小数点数ではありません.\n"},
        {{},
         "301 5\r\n",
         1,
         "dorvalix-cli: Number of Data in the file is 301; at most 300 can be read.\n"},
        {{"--lang", "j"},
         "1 11\r\n1 1 1 2\r\n",
         1,
         "dorvalix-cli: ファイルの結晶系コード 11 が 0～8 の範囲にありません.\n"},
        {{}, "0 5\r\n", 1, "dorvalix-cli: Set Input Data\n"},
        {{"--lang", "j"}, "0 5\r\n", 1, "dorvalix-cli: デ－タが入力されていません\n"},
        {{"--system", "0"}, lat7, 1, "dorvalix-cli: Set Crystal System \n"},
        {{"--lang", "j", "--system", "0"}, lat7, 1, "dorvalix-cli: 結晶系が指定されていません\n"},
        {{"--exclude", "1,2,3"}, lat7, 1, "dorvalix-cli: Number of Data is not enough\n"},
        {{"--system", "4"},
         "4 0\r\n1 0 0 3\r\n0 1 0 4\r\n1 1 0 2.4\r\n2 0 0 1.5\r\n",
         1,
         "dorvalix-cli: Too Small Pivot\n"},
        {{"--lang", "j", "--system", "4"},
         "4 0\r\n1 0 0 3\r\n0 1 0 4\r\n1 1 0 2.4\r\n2 0 0 1.5\r\n",
         1,
         "dorvalix-cli: \u3000逆行列が存在しません\n"},
        {{},
         "3 1\r\n1 0 0 3\r\n1 1 0 2\r\n1 1 1 0\r\n",
         1,
         "dorvalix-cli: 0 による浮動小数点数除算.\n"},
        // Usage.
        {{"--system", "9"}, lat7, 2, "dorvalix-cli refine: --system 9: give a code 0 to 8\n"},
        {{"--exclude", "8"},
         lat7,
         2,
         "dorvalix-cli refine: --exclude 8: @/in.lat holds 7 observations\n"},
        {{"--exclude", "0"},
         lat7,
         2,
         "dorvalix-cli refine: --exclude 0: give observation numbers 1 to 300\n"},
        {{"--exclude", "1,,2"},
         lat7,
         2,
         "dorvalix-cli refine: --exclude 1,,2: give observation numbers 1 to 300\n"},
        {{"--order", "lkhd"}, lat7, 2, "dorvalix-cli refine: --order lkhd: give dhkl or hkld\n"},
        {{"--lang", "de"}, lat7, 2, "dorvalix-cli refine: --lang de: give e or j\n"},
        {{"--format", "xml"},
         lat7,
         2,
         "dorvalix-cli refine: --format xml: give report, json, cif, csv or summary\n"},
        {{"--format"}, lat7, 2, "dorvalix-cli refine: --format needs a value\n"},
        {{"--sort"}, lat7, 2, "dorvalix-cli refine: unknown option --sort\n"},
        {{"-x"}, lat7, 2, "dorvalix-cli refine: unknown option -x\n"},
        {{"other.lat"}, lat7, 2, "dorvalix-cli refine: more than one FILE: @/in.lat, other.lat\n"},
        {{"--lang", "j"}, "", 2, "dorvalix-cli refine: no FILE given\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args;
        if (!c.file.empty()) args.push_back(Write("in.lat", c.file));
        for (std::string a : c.args) {
            if (a.starts_with("@")) a = dir + a.substr(1);
            args.push_back(a);
        }
        std::string expected = c.err;
        for (std::size_t at; (at = expected.find('@')) != std::string::npos;)
            expected.replace(at, 1, dir);
        const Outcome o = Refine(args);
        EXPECT_EQ(o.status, c.status) << testing::PrintToString(args);
        if (c.status == 2) {
            // A usage error ends with the usage lines.
            EXPECT_EQ(o.err, expected + kUsage) << testing::PrintToString(args);
        } else {
            EXPECT_EQ(o.err, expected) << testing::PrintToString(args);
        }
        EXPECT_EQ(o.out, "");
    }
}

TEST_F(RefineCommand, OptionsAfterEquals) {
    const Outcome a = Refine({"--format=json", "--system=5", "--exclude=7", kExample});
    const Outcome b = Refine({kExample, "--format", "json", "--exclude", "7"});
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(JsonValue(a.out, "n_included"), "6");
}

// Output that cannot be written (a full disk) is a failure, not a success.
TEST_F(RefineCommand, UnwritableOutputFails) {
    for (const char* format : {"report", "json"}) {
        std::ostringstream out, err;
        out.setstate(std::ios::badbit);
        EXPECT_EQ(RunRefineCommand({kExample, "--format", format}, out, err), 1) << format;
        EXPECT_EQ(err.str(), "dorvalix-cli refine: the results could not be written\n");
    }
}

TEST(RefineBinary, PrintsTheReport) {
    const Outcome o = RunBinary("refine " + kExample);
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("\n  1     5     0    1.755    1.75500   +0.00000    -0.00000\n"),
              std::string::npos)
        << o.out;
    EXPECT_TRUE(o.out.ends_with("0.00000011\nDorvalix Ver. 2.20\n\n"));
}

TEST(RefineBinary, ExitStatuses) {
    EXPECT_EQ(RunBinary("refine").status, 2);
    EXPECT_EQ(RunBinary("").status, 2);
    const Outcome missing = RunBinary("refine /nonexistent/x.lat");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "dorvalix-cli: No such file or directory: /nonexistent/x.lat.\n");
}

}  // namespace
}  // namespace dorvalix::cli
