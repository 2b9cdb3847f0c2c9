// SPDX-License-Identifier: GPL-3.0-or-later
// The refinement-details writers: the report section, the CIF block and the CSV of the
// observations, on the worked example.
#include <gtest/gtest.h>

#include <locale.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "cif_writer.h"
#include "csv_writer.h"
#include "details_report.h"
#include "numtext.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

struct Example {
    explicit Example(std::initializer_list<int> excluded = {}, DetailsOptions options = {}) {
        test::FillMonoclinicExample(*state);
        for (const int r : excluded)
            state->table.Cell(4, r) = std::string(kExclusionMarker);
        EXPECT_TRUE(RunCalculation(*state, Lang::English).completed);
        details = ComputeRefinementDetails(*state, options);
    }
    std::unique_ptr<CalculationState> state = std::make_unique<CalculationState>();
    RefinementDetails details;
};

DetailsOptions LatticeC(bool zeroShift = false) {
    DetailsOptions o;
    o.lattice = Centring::C;
    o.zeroShift = zeroShift;
    return o;
}

TEST(DetailsReport, WorkedExample) {
    const Example ex({}, LatticeC());
    const std::vector<std::string> expected = {
        "Refinement details",
        "Lattice Parameters (s.u. from the full covariance)",
        " a         9.753(7)",
        " b         8.933(2)",
        " c         5.255(9)",
        " alpha     90",
        " beta      105.83(7)",
        " gamma     90",
        " V         440.5(6)",
        "Reciprocal Lattice Parameters (s.u. from the full covariance)",
        " a*        0.10658(7)",
        " b*        0.11195(3)",
        " c*        0.1978(3)",
        " alpha*    90",
        " beta*     74.17(7)",
        " gamma*    90",
        " V*        0.002270(3)",
        "",
        "Regression diagnostics (lattice C)",
        "  row    h     k     l  leverage  studentized  Cook's D",
        "    1    2     2     0    0.1027       1.6090    0.0741",
        "    2    1     3    -1    0.3566       0.7002    0.0679",
        "    3    3     1     1    0.9191      -0.1421    0.0574",
        "    4    3     3     0    0.5201      -0.6802    0.1254",
        "    5    3     3    -1    0.8207      -0.5375    0.3306",
        "    6    0     4     1    0.4984      -0.4145    0.0427",
        "    7    1     5     0    0.7824      -0.0106    0.0001",
        "",
        "Figures of merit (fit on Q, lattice C, wavelength 1.54178 Å)",
        " M(7) = 40.4",
        " F(7) = 13.8 (0.0106, 48)",
        "",
    };
    EXPECT_EQ(BuildDetailsReport(ex.details, Lang::English), expected);
}

TEST(DetailsReport, FitOnTwoThetaAndJapanese) {
    const Example ex({}, LatticeC(true));
    const std::vector<std::string> lines = BuildDetailsReport(ex.details, Lang::Japanese);
    ASSERT_EQ(lines.size(), 44u);
    EXPECT_EQ(lines[0], "精密化の詳細");
    EXPECT_EQ(lines[5], " α         90");
    EXPECT_EQ(lines[18], "回帰診断（格子 C）");
    EXPECT_EQ(lines[19], "   行    h     k     l    てこ比  スチューデント化残差  クック距離");
    EXPECT_EQ(lines[20], "    1    2     2     0    0.1027                1.6090      0.0741");
    EXPECT_EQ(lines[28], "性能指数（2θ でのフィット、ゼロ点補正あり、格子 C、波長 1.54178 Å）");
    const std::vector<std::string> fit(lines.begin() + 32, lines.end());
    EXPECT_EQ(fit, (std::vector<std::string>{
                       "2θでのフィット（ゼロ点補正を精密化）", " ゼロ点    0.10(3) °",
                       " a         9.78(1)", " b         8.949(5)", " c         5.274(8)",
                       " α         90", " β         105.87(4)", " γ         90",
                       " V         443.9(11)", " 残差二乗和  0.0002997 °²", " 反復回数  4", ""}));
}

TEST(DetailsReport, OutliersAbsencesAndMissingFigures) {
    DetailsOptions options;
    options.lattice = Centring::I;
    options.wavelength = 5;
    const Example ex({}, options);
    const std::vector<std::string> lines = BuildDetailsReport(ex.details, Lang::English);
    EXPECT_EQ(lines[21], "    2    1     3    -1    0.3566       0.7002    0.0679  absent");
    EXPECT_EQ(lines[29], " M(7) = 40.4");
    EXPECT_EQ(lines[30],
              " F(7) = -  F has no value: row 3 (d = 2.304) has no 2θ at the wavelength 5 Å");
}

// --- CIF ----------------------------------------------------------------------------------

TEST(Cif, BlockNames) {
    EXPECT_EQ(CifBlockName("Diopside (monoclinic, C2/c)", "x.lat"), "Diopside_monoclinic_C2_c");
    EXPECT_EQ(CifBlockName("  ", "run-07.lat"), "run-07");
    EXPECT_EQ(CifBlockName("透輝石", "透輝石.lat"), "dorvalix");
    EXPECT_EQ(CifBlockName("Fe2O3 at 300 K", ""), "Fe2O3_at_300_K");
    EXPECT_EQ(CifBlockName("__a__b__", ""), "a_b");
    EXPECT_EQ(CifBlockName(std::string(100, 'x'), "").size(), 70u);
}

TEST(Cif, WorkedExample) {
    const Example ex({3}, LatticeC());
    CifInput in;
    in.sampleName = "Diopside (monoclinic, C2/c)";
    in.table = &ex.state->table;
    in.details = &ex.details;
    EXPECT_EQ(BuildCif(in),
              "data_Diopside_monoclinic_C2_c\n"
              "\n"
              "_audit_creation_method            'Dorvalix 2.20, least squares on 1/d^2'\n"
              "_space_group_crystal_system       monoclinic\n"
              "_cell_length_a                    9.753(9)\n"
              "_cell_length_b                    8.933(3)\n"
              "_cell_length_c                    5.254(14)\n"
              "_cell_angle_alpha                 90\n"
              "_cell_angle_beta                  105.85(15)\n"
              "_cell_angle_gamma                 90\n"
              "_cell_volume                      440.3(13)\n"
              "_cell_measurement_reflns_used     6\n"
              "# figures of merit of this fit, counting the reflections lattice C allows\n"
              "_dorvalix_refine_lattice_centring C\n"
              "_dorvalix_refine_de_Wolff_M       33.3\n"
              "_dorvalix_refine_de_Wolff_M_lines 6\n"
              "\n"
              "loop_\n"
              "_refln_index_h\n"
              "_refln_index_k\n"
              "_refln_index_l\n"
              "_dorvalix_refln_d_spacing_obs\n"
              "_refln_d_spacing\n"
              "_refln_include_status\n"
              "_dorvalix_refln_absent_under_centring\n"
              "2 2 0 3.23 3.23472 o no\n"
              "1 3 -1 2.566 2.56686 o no\n"
              "3 1 1 2.304 . x no\n"
              "3 3 0 2.157 2.15648 o no\n"
              "3 3 -1 2.134 2.13384 o no\n"
              "0 4 1 2.043 2.04271 o no\n"
              "1 5 0 1.755 1.75503 o no\n");
}

TEST(Cif, FitOnTwoThetaWithItsWavelength) {
    const Example ex({}, LatticeC(true));
    CifInput in;
    in.fileName = "diopside.lat";
    in.table = &ex.state->table;
    in.details = &ex.details;
    in.wavelengthApplies = true;
    const std::string cif = BuildCif(in);
    EXPECT_TRUE(cif.starts_with("data_diopside\n")) << cif;
    for (const char* line :
         {"_audit_creation_method            'Dorvalix 2.20, least squares on 2-theta'\n",
          "_cell_length_a                    9.78(1)\n",
          "_cell_volume                      443.9(11)\n",
          "# zero shift of the 2-theta scale: corrected 2-theta = observed 2-theta - shift\n"
          "_dorvalix_refine_2theta_zero_shift 0.10(3)\n",
          "_cell_measurement_wavelength      1.54178\n",
          "_cell_measurement_theta_min       13.8078\n",
          "_cell_measurement_theta_max       26.0563\n"}) {
        EXPECT_NE(cif.find(line), std::string::npos) << line << cif;
    }
    // d_calc of the fit on 2θ (the d read stay as they are: the zero shift of 0.10° is
    // what separates them).
    EXPECT_NE(cif.find("\n2 2 0 3.23 3.24176 o no\n"), std::string::npos) << cif;
    // With the measurement's wavelength F(n) is written too, of this fit.
    const std::string f = "_dorvalix_refine_Smith_Snyder_F   " +
                          FormatAtDecimalPlace(*ex.details.merit.f.value, 1) + "\n";
    EXPECT_EQ(ex.details.merit.fit, DetailsFit::TwoTheta);
    EXPECT_NE(cif.find(f), std::string::npos) << cif;
    EXPECT_NE(cif.find("_dorvalix_refine_Smith_Snyder_F_lines 7\n"), std::string::npos);

    // Under I the sum h + k + l of 1 3 −1 is odd: the loop marks the line absent.
    DetailsOptions i;
    i.lattice = Centring::I;
    const Example body({}, i);
    in.details = &body.details;
    const std::string icif = BuildCif(in);
    EXPECT_NE(icif.find("\n1 3 -1 2.566 2.56689 o yes\n"), std::string::npos) << icif;
    EXPECT_NE(icif.find("\n2 2 0 3.23 3.23483 o no\n"), std::string::npos) << icif;
    EXPECT_NE(icif.find("_dorvalix_refine_lattice_centring I\n"), std::string::npos);
}

// --- CSV ----------------------------------------------------------------------------------

TEST(Csv, Fields) {
    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvField("cr\r"), "\"cr\r\"");
    EXPECT_EQ(CsvRecord({"a", "", "b,c"}), "a,,\"b,c\"\r\n");
    EXPECT_EQ(CsvNumber(std::nullopt), "");
    EXPECT_EQ(CsvNumber(std::numeric_limits<long double>::quiet_NaN()), "");
    EXPECT_EQ(CsvNumber(0.01135849L), "0.01135849");
    EXPECT_EQ(CsvNumber(1.0L / 3), "0.33333333333333333");
    EXPECT_EQ(CsvNumber(-2.5e-7L), "-2.5e-07");
    EXPECT_EQ(CsvNumber(440), "440");
}

// A locale with a decimal comma, built into a temporary folder (glibc reads LOCPATH).
class CommaLocale : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/dorvalix-locale-XXXXXX";
        dir_ = mkdtemp(tmpl);
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + dir_ + "/de_DE.UTF-8 > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return;
        setenv("LOCPATH", dir_.c_str(), 1);
        ready_ = setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    static void TearDownTestSuite() {
        setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
        std::filesystem::remove_all(dir_);
    }
    static inline std::string dir_;
    static inline bool ready_ = false;
};

TEST_F(CommaLocale, NumbersKeepTheirDot) {
    ASSERT_TRUE(ready_) << "localedef (Debian package locales) could not build de_DE.UTF-8";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5");  // the locale is in force
    EXPECT_EQ(CsvNumber(1.5L), "1.5");
    const Example ex;
    const std::string csv = BuildObservationCsv(ex.state->table, ex.details);
    EXPECT_NE(csv.find("\r\n1,2,2,0,3.23,3.23"), std::string::npos) << csv;
    EXPECT_EQ(SuText(ex.details.direct, 0), "9.753(7)");
}

// Every record's numbers hang together as the quantities they name: checked by parsing
// them back, for the included rows and for the excluded one (the fit's prediction).
TEST(Csv, WorkedExample) {
    const Example ex({3});
    const std::string csv = BuildObservationCsv(ex.state->table, ex.details);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(csv.substr(at, end - at));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_TRUE(csv.ends_with("\r\n"));
    EXPECT_EQ(lines[0],
              "row,h,k,l,d_obs,d_calc,d_diff,q_obs,q_calc,q_diff,two_theta_obs,two_theta_calc,"
              "leverage,studentized,cook,excluded");
    EXPECT_TRUE(lines[1].starts_with("1,2,2,0,3.23,3.2347248889735639,-0.0047248889735639"))
        << lines[1];
    for (std::size_t r = 1; r < lines.size(); ++r) {
        std::vector<std::string> f;
        std::istringstream line(lines[r]);
        for (std::string field; std::getline(line, field, ',');)
            f.push_back(field);
        if (lines[r].ends_with(',')) f.emplace_back();
        ASSERT_EQ(f.size(), 16u) << lines[r];
        const auto v = [&](std::size_t i) { return std::strtold(f[i].c_str(), nullptr); };
        const bool excluded = r == 3;
        EXPECT_EQ(f[15], excluded ? "true" : "false");
        EXPECT_EQ(f[12].empty(), excluded) << "leverage only for fitted lines";
        const long double dObs = v(4), dCalc = v(5), qObs = v(7), qCalc = v(8);
        EXPECT_NEAR(static_cast<double>(qObs * dObs * dObs), 1, 1e-15);
        EXPECT_NEAR(static_cast<double>(qCalc * dCalc * dCalc), 1, 1e-15);
        EXPECT_NEAR(static_cast<double>(v(6)), static_cast<double>(dObs - dCalc), 1e-15);
        EXPECT_NEAR(static_cast<double>(v(9)), static_cast<double>(qObs - qCalc), 1e-15);
        EXPECT_NEAR(static_cast<double>(v(10)),
                    2 * std::asin(1.54178 / (2 * static_cast<double>(dObs))) * 180 / M_PI, 1e-11);
        EXPECT_NEAR(static_cast<double>(v(11)),
                    2 * std::asin(1.54178 / (2 * static_cast<double>(dCalc))) * 180 / M_PI, 1e-11);
    }
    // 3 1 1 did not take part: the fit without it predicts 2.30343 Å, 0.00057 Å below.
    EXPECT_TRUE(lines[3].starts_with("3,3,1,1,2.304,2.30342638")) << lines[3];
}

// An excluded row whose d is no number for the fit keeps its text and gets no prediction.
TEST(Csv, ExcludedRowWithANegativeD) {
    Example ex({3});
    ex.state->table.Cell(0, 3) = " -2.304";
    ex.details = ComputeRefinementDetails(*ex.state, {});
    const std::string csv = BuildObservationCsv(ex.state->table, ex.details);
    EXPECT_NE(csv.find("\r\n3,3,1,1,-2.304,,,,,,,,,,,true\r\n"), std::string::npos) << csv;
}

// With a fit on 2θ its own values follow, for every included line; an excluded one has none.
TEST(Csv, FitOnTwoThetaAddsItsColumns) {
    const Example ex({3}, LatticeC(true));
    ASSERT_TRUE(ex.details.twoTheta);
    const std::string csv = BuildObservationCsv(ex.state->table, ex.details);
    std::vector<std::vector<std::string>> records;
    for (std::size_t at = 0, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::vector<std::string> fields;
        std::istringstream line(csv.substr(at, end - at));
        for (std::string field; std::getline(line, field, ',');)
            fields.push_back(field);
        if (csv[end - 1] == ',') fields.emplace_back();
        records.push_back(fields);
    }
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(records[0].begin() + 15, records[0].end()),
              (std::vector<std::string>{"excluded", "two_theta_fit_d_calc",
                                        "two_theta_fit_residual", "two_theta_fit_leverage",
                                        "two_theta_fit_studentized", "two_theta_fit_cook"}));
    CifInput in;
    in.table = &ex.state->table;
    in.details = &ex.details;
    const std::string cif = BuildCif(in);
    for (std::size_t r = 1; r < records.size(); ++r) {
        ASSERT_EQ(records[r].size(), 21u) << r;
        if (r == 3) {
            // Excluded: the 2θ fit's prediction, without diagnostics.
            EXPECT_EQ(records[r][15], "true");
            EXPECT_FALSE(records[r][16].empty());
            EXPECT_FALSE(records[r][17].empty());
            EXPECT_EQ(std::vector<std::string>(records[r].begin() + 18, records[r].end()),
                      (std::vector<std::string>{"", "", ""}));
            continue;
        }
        for (std::size_t f = 16; f < 21; ++f)
            EXPECT_FALSE(records[r][f].empty()) << r << " " << f;
        // The d of the fit on 2θ, as the CIF's reflection loop writes it.
        const std::string d = FormatAtDecimalPlace(ParseReal(records[r][16]), 5);
        EXPECT_NE(cif.find(" " + d + " o no\n"), std::string::npos) << d;
    }
}

}  // namespace
}  // namespace dorvalix
