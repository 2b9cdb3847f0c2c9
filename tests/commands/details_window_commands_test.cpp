// SPDX-License-Identifier: GPL-3.0-or-later
// The refinement details window, headless: its commands on plain state, the user played by a
// scripted Ui, the main window's commands run beside it.
#include "details_window_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "main_commands.h"
#include "main_menu.h"
#include "numtext.h"
#include "scripted_ui.h"
#include "table_builder.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::Call;

class DetailsWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        FormCreate(*main, dir.Path("dorvalix"));
        ApplyEnglishCaptions(*main);
    }

    // Execute on the monoclinic worked example, as read from examples/diopside.lat.
    void Execute(std::initializer_list<int> excluded = {}) {
        test::FillMonoclinicExample(main->calc);
        for (const int r : excluded)
            main->calc.table.Cell(4, r) = std::string(kExclusionMarker);
        ShowCrystalSystem(*main);
        main->label6 = "diopside.lat";
        main->currentFileName = dir.Path("diopside.lat");
        ASSERT_TRUE(RunCommand(ui, [&] { N4Click(*main, ui); }));
        ASSERT_TRUE(main->calc.resultValid);
    }
    void ExecuteWithOutlier() {
        test::FillCubicWithOutlier(main->calc);
        ShowCrystalSystem(*main);
        ASSERT_TRUE(RunCommand(ui, [&] { N4Click(*main, ui); }));
        ASSERT_TRUE(main->calc.resultValid);
    }
    bool Run(void (*command)(DetailsWindowState&, Ui&)) {
        return RunCommand(ui, [&] { command(*window, ui); });
    }
    template <class F>
    bool Do(F f) {
        return RunCommand(ui, [&] { f(*window, ui); });
    }
    void Open() { DetailsFormShow(*window); }
    void Follow() { FollowMainWindow(*window); }
    std::vector<std::string> Column(DetailsColumn c) const {
        std::vector<std::string> out;
        for (const DetailsRow& row : window->rows)
            out.push_back(row.texts[static_cast<std::size_t>(c)]);
        return out;
    }
    // Every marker of the plot by increasing 2θ: the table's order (by decreasing d).
    std::vector<PlotPoint> Plotted() const {
        std::vector<PlotPoint> out = window->plot.points;
        for (const auto* more : {&window->plot.outliers, &window->plot.excluded})
            out.insert(out.end(), more->begin(), more->end());
        std::sort(out.begin(), out.end(),
                  [](const PlotPoint& a, const PlotPoint& b) { return a.x < b.x; });
        return out;
    }
    std::vector<int> RowNumbers() const {
        std::vector<int> out;
        for (const DetailsRow& row : window->rows)
            out.push_back(row.row);
        return out;
    }

    test::TempDir dir;
    std::unique_ptr<MainState> main = std::make_unique<MainState>();
    test::ScriptedUi ui;
    std::unique_ptr<DetailsWindowState> window = std::make_unique<DetailsWindowState>(*main);
};

// --- The menu item and following the main window -------------------------------------------

TEST_F(DetailsWindow, MenuItemNeedsAResultThatDescribesTheTable) {
    EXPECT_FALSE(MenuItemEnabled(*main, Control::Details1));
    EXPECT_TRUE(MenuItemEnabled(*main, Control::N18));  // the others stay as they are
    ASSERT_TRUE(RunCommand(ui, [&] { Details1Click(*main, ui); }));
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{"Execute the calculation for the table as it stands"});
    EXPECT_TRUE(ui.windows.empty());

    Execute();
    EXPECT_TRUE(MenuItemEnabled(*main, Control::Details1));
    ASSERT_TRUE(RunCommand(ui, [&] { Details1Click(*main, ui); }));
    EXPECT_EQ(ui.windows, std::vector<SecondaryWindow>{SecondaryWindow::TForm10});

    // An edit, an exclusion, another crystal system: the result is stale.
    const std::string d = main->calc.table.Cell(0, 2);
    main->calc.table.Cell(0, 2) = "2.567";
    EXPECT_FALSE(MenuItemEnabled(*main, Control::Details1));
    main->calc.table.Cell(0, 2) = d;
    EXPECT_TRUE(MenuItemEnabled(*main, Control::Details1));
    StringGrid1SelectCell(*main, 0, 3);
    ASSERT_TRUE(RunCommand(ui, [&] { N20Click(*main, ui); }));
    EXPECT_FALSE(MenuItemEnabled(*main, Control::Details1));
    ASSERT_TRUE(RunCommand(ui, [&] { N21Click(*main, ui); }));
    EXPECT_TRUE(MenuItemEnabled(*main, Control::Details1));
    ASSERT_TRUE(RunCommand(ui, [&] { Orthorhombic1Click(*main, ui); }));
    EXPECT_FALSE(MenuItemEnabled(*main, Control::Details1));
    ui.calls.clear();
    main->settings.lang = "j";
    ASSERT_TRUE(RunCommand(ui, [&] { Details1Click(*main, ui); }));
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{"現在の表で計算を実行してください"});
}

TEST_F(DetailsWindow, OpensOnTheRunAndFollowsEachExecute) {
    Open();
    EXPECT_FALSE(window->details);  // nothing to show before a run
    EXPECT_TRUE(window->rows.empty());
    EXPECT_TRUE(window->raiseRequested);

    Execute();
    Follow();
    ASSERT_TRUE(window->details);
    EXPECT_EQ(window->cellCaption, "Lattice parameters, fit on Q = 1/d²");
    EXPECT_EQ(window->cellLines, (std::vector<std::string>{
                                     "a = 9.753(7) Å", "b = 8.933(2) Å", "c = 5.255(9) Å",
                                     "α = 90°", "β = 105.83(7)°", "γ = 90°", "V = 440.5(6) Å³"}));
    EXPECT_EQ(window->countLine,
              "7 reflections, 4 parameters (standard uncertainties from the full covariance)");
    EXPECT_EQ(window->zeroLine, "");
    EXPECT_EQ(RowNumbers(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Column(DetailsColumn::DCalc),
              (std::vector<std::string>{"3.23483", "2.56689", "2.30395", "2.15656", "2.13379",
                                        "2.04276", "1.75500"}));
    EXPECT_EQ(Column(DetailsColumn::Leverage)[0], "0.1027");
    EXPECT_EQ(Column(DetailsColumn::Studentized)[0], "1.6090");
    EXPECT_EQ(Column(DetailsColumn::Cook)[0], "0.0741");

    // Nothing changed: the window is not told to redraw.
    const std::uint64_t version = window->version;
    Follow();
    EXPECT_EQ(window->version, version);

    // An edit makes the result stale: the window empties itself.
    main->calc.table.Cell(0, 1) = "3.25";
    Follow();
    EXPECT_FALSE(window->details);
    EXPECT_TRUE(window->rows.empty());
    EXPECT_TRUE(window->cellLines.empty());
    EXPECT_TRUE(window->plot.points.empty());
    EXPECT_GT(window->version, version);
    // The next Execute fills it again, with the run's new numbers.
    ASSERT_TRUE(RunCommand(ui, [&] { N4Click(*main, ui); }));
    Follow();
    ASSERT_TRUE(window->details);
    EXPECT_EQ(Column(DetailsColumn::DObs)[0], "3.25");
    EXPECT_NE(window->cellLines[0], "a = 9.753(7) Å");
    // Clear empties it too.
    ui.answers = {true};
    ASSERT_TRUE(RunCommand(ui, [&] { N17Click(*main, ui); }));
    Follow();
    EXPECT_FALSE(window->details);
}

// --- Options ---------------------------------------------------------------------------

TEST_F(DetailsWindow, WavelengthIsTheSettingsOneAndChangesThem) {
    Execute();
    Open();
    EXPECT_EQ(window->wavelengthPreset, 0);  // Cu-Ka, the settings' default
    EXPECT_EQ(window->wavelengthText, "1.54178");
    EXPECT_EQ(window->presetCaptions[6], "Mo-Ka  0.710678 Å");
    EXPECT_EQ(window->meritCaption, "Figures of merit (fit on Q, lattice P, λ = 1.54178 Å)");
    const std::string copper = Column(DetailsColumn::TwoThetaDiff)[0];
    const double copperX = window->plot.points[0].x;

    ASSERT_TRUE(Do([](auto& s, auto& ui) { ChooseWavelengthPreset(s, ui, 6); }));
    EXPECT_EQ(main->settings.lamda, 0.710678L);
    EXPECT_EQ(main->settings.xRay, "Mo-Ka");
    EXPECT_EQ(window->wavelengthPreset, 6);
    EXPECT_EQ(window->meritCaption, "Figures of merit (fit on Q, lattice P, λ = 0.710678 Å)");
    EXPECT_NE(Column(DetailsColumn::TwoThetaDiff)[0], copper);
    // 2θ of d = 3.23 Å at Mo-Kα: 2·asin(0.710678 / 6.46).
    EXPECT_NEAR(window->plot.points[0].x, 2 * std::asin(0.710678 / 6.46) * 180 / M_PI, 1e-9);
    EXPECT_LT(window->plot.points[0].x, copperX);

    // A typed wavelength is stored as the hkl window stores one.
    ASSERT_TRUE(Do([](auto& s, auto& ui) { TypeWavelength(s, ui, " 1.5406 "); }));
    EXPECT_EQ(main->settings.lamda, 1.5406L);
    EXPECT_EQ(main->settings.xRay, " Set W.L.");
    EXPECT_EQ(window->wavelengthPreset, -1);
    EXPECT_EQ(window->wavelengthText, "1.5406");
    EXPECT_TRUE(ui.calls.empty());

    // Not a number from 0.01 to 100: the message, and nothing changes (1e-999 gave an F of
    // a thousand digits).
    for (const char* text : {"", "abc", "0", "-1.5", "1,54", "1e-999", "0.009", "101"}) {
        ui.calls.clear();
        ASSERT_TRUE(Do([text](auto& s, auto& ui) { TypeWavelength(s, ui, text); }));
        EXPECT_EQ(
            ui.Texts(Call::Message),
            std::vector<std::string>{"The X-ray wavelength must be a number from 0.01 to 100 Å"})
            << text;
        EXPECT_EQ(main->settings.lamda, 1.5406L) << text;
        EXPECT_EQ(window->wavelengthText, "1.5406") << text;
    }
}

TEST_F(DetailsWindow, AWavelengthWithoutAngleLeavesThePlotEmptyAndSaysWhy) {
    Execute();
    Open();
    ASSERT_TRUE(Do([](auto& s, auto& ui) { ChooseFit(s, ui, DetailsFitChoice::TwoTheta); }));
    // λ = 7 Å: λ/2d > 1 for every line (d ≤ 3.23 Å).
    ASSERT_TRUE(Do([](auto& s, auto& ui) { TypeWavelength(s, ui, "7"); }));
    EXPECT_TRUE(window->plot.points.empty());
    EXPECT_EQ(window->plot.unplotted, 7);
    EXPECT_EQ(Column(DetailsColumn::TwoThetaDiff), std::vector<std::string>(7, "-"));
    // The fit on 2θ cannot be made: the cell is the Q fit's, and the notes say why.
    EXPECT_EQ(window->cellCaption, "Lattice parameters, fit on Q = 1/d²");
    EXPECT_EQ(window->notes, (std::vector<std::string>{
                                 "Row 1: d = 3.23 has no 2θ at the wavelength 7 Å (λ/2d ≥ 1)",
                                 "7 reflections have no 2θ at λ = 7 Å and are not plotted"}));
}

TEST_F(DetailsWindow, LatticeCentringFlagsTheAbsentReflectionsAndIsShared) {
    Execute();
    Open();
    ASSERT_TRUE(Do([](auto& s, auto& ui) { ChooseLattice(s, ui, Centring::C); }));
    EXPECT_EQ(main->settings.lattice, Centring::C);  // the hkl window's too
    EXPECT_EQ(window->meritLines,
              (std::vector<std::string>{"M(7) = 40.4", "F(7) = 13.8 (0.0106, 48)",
                                        "0 of 7 lines are absent under C"}));
    for (const DetailsRow& row : window->rows)
        EXPECT_FALSE(row.absent) << row.row;  // C2/c: every line has h + k even
    ASSERT_TRUE(Do([](auto& s, auto& ui) { ChooseLattice(s, ui, Centring::I); }));
    std::vector<int> absent;
    for (const DetailsRow& row : window->rows)
        if (row.absent) absent.push_back(row.row);
    // 1 3 −1, 3 1 1, 3 3 −1 and 0 4 1 have h + k + l odd.
    EXPECT_EQ(absent, (std::vector<int>{2, 3, 5, 6}));
    EXPECT_EQ(window->meritLines.back(), "4 of 7 lines are absent under I");
    // The plot rings the same four lines.
    ASSERT_EQ(window->plot.absent.size(), 4u);
    for (const PlotPoint& p : window->plot.absent)
        EXPECT_NE(p.tip.find("absent under I"), std::string::npos) << p.tip;
    EXPECT_EQ(window->legendAbsent, "Absent under lattice I");
    for (const PlotPoint& p : window->plot.points) {
        const bool tipSaysAbsent = p.tip.find("absent under I") != std::string::npos;
        const bool rowIsAbsent =
            p.tip.find("row 2") != std::string::npos || p.tip.find("row 3") != std::string::npos ||
            p.tip.find("row 5") != std::string::npos || p.tip.find("row 6") != std::string::npos;
        EXPECT_EQ(tipSaysAbsent, rowIsAbsent) << p.tip;
    }
}

TEST_F(DetailsWindow, FitOnTwoThetaWithZeroShift) {
    Execute();
    Open();
    ASSERT_TRUE(Do([](auto& s, auto& ui) { ChooseLattice(s, ui, Centring::C); }));
    const std::uint64_t version = window->version;
    ASSERT_TRUE(
        Do([](auto& s, auto& ui) { ChooseFit(s, ui, DetailsFitChoice::TwoThetaZeroShift); }));
    EXPECT_GT(window->version, version);
    EXPECT_EQ(window->cellCaption, "Lattice parameters, fit on 2θ with zero shift");
    EXPECT_EQ(window->cellLines, (std::vector<std::string>{
                                     "a = 9.78(1) Å", "b = 8.949(5) Å", "c = 5.274(8) Å", "α = 90°",
                                     "β = 105.87(4)°", "γ = 90°", "V = 443.9(11) Å³"}));
    EXPECT_EQ(window->zeroLine, "Zero shift = 0.10(3)°  (2θ corrected = 2θ obs − zero shift)");
    EXPECT_EQ(window->countLine,
              "7 reflections, 5 parameters (standard uncertainties from the full covariance)");
    // Four coefficients and the zero, with ones on the diagonal.
    EXPECT_EQ(window->correlationLabels,
              (std::vector<std::string>{"a*²", "b*²", "c*²", "c*a*cos β*", "zero"}));
    ASSERT_EQ(window->correlations.size(), 5u);
    const auto& c = window->details->twoTheta->covariance;
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(window->correlations[i][i], "1.000");
        for (std::size_t j = 0; j < 5; ++j) {
            EXPECT_EQ(window->correlations[i][j],
                      FormatAtDecimalPlace(c[i][j] / std::sqrt(c[i][i] * c[j][j]), 3))
                << i << j;
        }
    }
    // A larger zero shift lowers every corrected angle, and so every Q: it correlates
    // negatively with each coefficient, most with b*² (these lines are rich in k).
    EXPECT_EQ(window->correlations[4],
              (std::vector<std::string>{"-0.900", "-0.946", "-0.669", "-0.403", "1.000"}));
    // The residuals in 2θ are the plot's.
    EXPECT_EQ(window->plot.yTitle, "Δ2θ obs − calc (°)");
    const std::vector<PlotPoint> plotted = Plotted();
    ASSERT_EQ(plotted.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(FormatAtDecimalPlace(plotted[i].y, 4), Column(DetailsColumn::TwoThetaDiff)[i]);
    }
    // Back on Q: the panel's fit, ΔQ on the plot.
    ASSERT_TRUE(Do([](auto& s, auto& ui) { ChooseFit(s, ui, DetailsFitChoice::Q); }));
    EXPECT_EQ(window->cellLines[0], "a = 9.753(7) Å");
    EXPECT_EQ(window->plot.yTitle, "ΔQ obs − calc (Å⁻²)");
    EXPECT_EQ(window->correlationLabels.size(), 4u);
    // ΔQ of the first line as the report prints it: +0.00029.
    EXPECT_EQ(FormatAtDecimalPlace(Plotted()[0].y, 5), "0.00029");
}

// With a refined zero every column of a row comes from the corrected observation
// 2θobs − zero: Δd, Δ2θ and ΔQ agree in sign (a longer d is a smaller angle and Q).
TEST_F(DetailsWindow, ZeroShiftColumnsFollowTheCorrectedObservation) {
    Execute();
    Open();
    ASSERT_TRUE(
        Do([](auto& s, auto& ui) { ChooseFit(s, ui, DetailsFitChoice::TwoThetaZeroShift); }));
    const long double zero = window->details->twoTheta->zero;
    EXPECT_EQ(window->columnCaptions[static_cast<int>(DetailsColumn::DObs)],
              "d obs corr. (Å)");
    const char* typed[] = {"3.23", "2.566", "2.304", "2.157", "2.134", "2.043", "1.755"};
    for (std::size_t i = 0; i < 7; ++i) {
        const DetailsRow& row = window->rows[i];
        const long double dd = ParseReal(row.texts[static_cast<int>(DetailsColumn::DDiff)]);
        const long double d2 = ParseReal(row.texts[static_cast<int>(DetailsColumn::TwoThetaDiff)]);
        const long double dq = ParseReal(row.texts[static_cast<int>(DetailsColumn::QDiff)]);
        EXPECT_LE(dd * d2, 0) << row.row;
        EXPECT_GE(dq * d2, 0) << row.row;
        // d corrected = λ / (2 sin((2θobs − zero) / 2)).
        const long double theta =
            std::asin(1.54178L / (2 * ParseReal(typed[i]))) - zero / 2 * (std::acos(-1.0L) / 180);
        EXPECT_EQ(row.texts[static_cast<int>(DetailsColumn::DObs)],
                  FormatAtDecimalPlace(1.54178L / (2 * std::sin(theta)), 5));
    }
    // 2 2 0: 0.0118 Å off as typed, 0.0006 Å once the zero of 0.097° is taken off.
    EXPECT_EQ(window->rows[0].texts[static_cast<int>(DetailsColumn::DDiff)], "-0.00061");
}

// An excluded line stays in the table and the plot, greyed, with the fit's prediction; N − P
// = 2 says the diagnostics mean little, and Cook's distance above 1 marks influential lines.
TEST_F(DetailsWindow, ExcludedLinesInfluenceAndFewDegreesOfFreedom) {
    Execute({3});
    main->edit1 = "Diopside (monoclinic, C2/c)";
    Open();
    ASSERT_EQ(window->rows.size(), 7u);
    const DetailsRow& excluded = window->rows[2];
    EXPECT_TRUE(excluded.excluded);
    EXPECT_EQ(excluded.texts[static_cast<int>(DetailsColumn::DCalc)], "2.30343");
    EXPECT_EQ(excluded.texts[static_cast<int>(DetailsColumn::DDiff)], "0.00057");
    EXPECT_EQ(excluded.texts[static_cast<int>(DetailsColumn::Leverage)], "-");
    ASSERT_EQ(window->plot.excluded.size(), 1u);
    EXPECT_NE(window->plot.excluded[0].tip.find("excluded: not fitted"), std::string::npos);
    EXPECT_EQ(window->countLine.substr(0, 14), "6 reflections,");
    std::vector<int> influential;
    for (const DetailsRow& row : window->rows)
        if (row.influential) influential.push_back(row.row);
    EXPECT_EQ(influential, (std::vector<int>{4, 5, 7}));  // Cook's D 1.22, 1.06 and 10.2
    EXPECT_NE(std::find(window->notes.begin(), window->notes.end(),
                        "With N − P = 2 degrees of freedom the leverages, studentised residuals "
                        "and Cook's distances carry little information"),
              window->notes.end());
    ASSERT_TRUE(Run(CopyDetailsClick));
    EXPECT_NE(ui.clipboardText.find("\texcluded: not fitted\r\n"), std::string::npos);
    EXPECT_NE(ui.clipboardText.find("\tinfluential\r\n"), std::string::npos);
    EXPECT_EQ(PlotExportTitle(*window), "Diopside (monoclinic, C2/c)  λ = 1.54178 Å");
}

TEST_F(DetailsWindow, AnOutlierIsMarkedInTheTableAndThePlot) {
    ExecuteWithOutlier();
    Open();
    for (const DetailsFitChoice fit :
         {DetailsFitChoice::Q, DetailsFitChoice::TwoTheta, DetailsFitChoice::TwoThetaZeroShift}) {
        ASSERT_TRUE(Do([fit](auto& s, auto& ui) { ChooseFit(s, ui, fit); }));
        std::vector<int> outliers;
        for (const DetailsRow& row : window->rows)
            if (row.outlier) outliers.push_back(row.row);
        // The misread 3 1 1 is the fourth line by d.
        EXPECT_EQ(outliers, std::vector<int>{4}) << static_cast<int>(fit);
        EXPECT_GT(std::fabs(ParseReal(
                      window->rows[3].texts[static_cast<int>(DetailsColumn::Studentized)])),
                  3);
        // Influential lines share the outliers' marker; the misread one says it is an outlier.
        EXPECT_EQ(window->plot.points.size() + window->plot.outliers.size(), 20u);
        int outlierTips = 0;
        for (const PlotPoint& p : window->plot.outliers) {
            if (p.tip.find("\noutlier") == std::string::npos) continue;
            ++outlierTips;
            EXPECT_EQ(p.tip.substr(0, p.tip.find('\n')), "3 1 1   row 4");
        }
        EXPECT_EQ(outlierTips, 1);
    }
}

// --- Sorting ---------------------------------------------------------------------------

TEST_F(DetailsWindow, ColumnHeadersSortBothWaysAndTheOrderStays) {
    Execute();
    Open();
    SortDetailsTable(*window, DetailsColumn::Studentized);
    // t: 1.6090, 0.7002, −0.1421, −0.6802, −0.5375, −0.4145, −0.0106 for rows 1..7.
    EXPECT_EQ(RowNumbers(), (std::vector<int>{4, 5, 6, 3, 7, 2, 1}));
    SortDetailsTable(*window, DetailsColumn::Studentized);
    EXPECT_FALSE(window->sortAscending);
    EXPECT_EQ(RowNumbers(), (std::vector<int>{1, 2, 7, 3, 6, 5, 4}));
    // An option change keeps the order.
    ASSERT_TRUE(Do([](auto& s, auto& ui) { ChooseLattice(s, ui, Centring::I); }));
    EXPECT_EQ(RowNumbers(), (std::vector<int>{1, 2, 7, 3, 6, 5, 4}));
    // Another column starts ascending; equal keys keep the table order.
    SortDetailsTable(*window, DetailsColumn::H);
    EXPECT_TRUE(window->sortAscending);
    EXPECT_EQ(RowNumbers(), (std::vector<int>{6, 2, 7, 1, 3, 4, 5}));
    SortDetailsTable(*window, DetailsColumn::Row);
    EXPECT_EQ(RowNumbers(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(DetailsWindow, RowsWithoutAValueSortLast) {
    Execute();
    Open();
    ASSERT_TRUE(Do([](auto& s, auto& ui) { TypeWavelength(s, ui, "6.2"); }));
    // Only 3.23 Å has a 2θ at 6.2 Å.
    SortDetailsTable(*window, DetailsColumn::TwoThetaDiff);
    EXPECT_EQ(RowNumbers(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    SortDetailsTable(*window, DetailsColumn::TwoThetaDiff);
    EXPECT_EQ(RowNumbers(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_NE(Column(DetailsColumn::TwoThetaDiff)[0], "-");
}

// --- Captions in both languages ---------------------------------------------------------

TEST_F(DetailsWindow, CaptionsFollowTheLanguageMenu) {
    Execute();
    Open();
    EXPECT_EQ(window->Caption(DetailsControl::TForm10), "Refinement Details");
    EXPECT_EQ(window->columnCaptions[static_cast<int>(DetailsColumn::Studentized)],
              "Studentised residual");
    ASSERT_TRUE(RunCommand(ui, [&] { Japanese1Click(*main, ui); }));
    Follow();
    const struct {
        DetailsControl control;
        const char* ja;
    } captions[] = {
        {DetailsControl::TForm10, "精密化の詳細"},
        {DetailsControl::LatticeLabel, "格子の型"},
        {DetailsControl::FitZeroShift, "2θ で、ゼロ点補正あり"},
        {DetailsControl::CorrelationLabel, "精密化したパラメータの相関行列"},
        {DetailsControl::LegendOutlier,
         "外れ値: |t| > 3、または影響大: クックの距離 > 1 かてこ比 > 2P/N"},
        {DetailsControl::WavelengthNote,
         "2θ、Δ2θ、F(n) とゼロ点補正はこの波長での 2θ の度数です。測定に使った波長を選んで"
         "ください。"},
        {DetailsControl::CifButton, "CIF で保存..."},
    };
    for (const auto& c : captions)
        EXPECT_EQ(window->Caption(c.control), c.ja) << DetailsControlName(c.control);
    EXPECT_EQ(window->columnCaptions[static_cast<int>(DetailsColumn::Leverage)], "てこ比");
    EXPECT_EQ(window->columnCaptions[static_cast<int>(DetailsColumn::Studentized)],
              "スチューデント化残差");
    EXPECT_EQ(window->columnCaptions[static_cast<int>(DetailsColumn::Cook)], "クックの距離");
    EXPECT_EQ(window->cellCaption, "格子定数（Q = 1/d² でのフィット）");
    EXPECT_EQ(window->meritCaption, "性能指数（Q でのフィット、格子 P、λ = 1.54178 Å）");
    EXPECT_EQ(window->latticeCaptions[4], "I  体心格子");
    ASSERT_TRUE(
        Do([](auto& s, auto& ui) { ChooseFit(s, ui, DetailsFitChoice::TwoThetaZeroShift); }));
    EXPECT_EQ(window->zeroLine, "ゼロ点補正 = 0.10(3)°（補正後の 2θ = 観測 2θ − ゼロ点補正）");
    EXPECT_EQ(window->plot.xTitle, "観測 2θ (°)");
    EXPECT_EQ(window->plot.yTitle, "Δ2θ 観測 − 計算 (°)");
    // Every caption exists in both languages and differs between them where words are used.
    for (int i = 0; i < kDetailsControlCount; ++i) {
        const auto control = static_cast<DetailsControl>(i);
        EXPECT_STRNE(DetailsCaption(control, Lang::English), "") << i;
        EXPECT_STRNE(DetailsCaption(control, Lang::English),
                     DetailsCaption(control, Lang::Japanese))
            << DetailsControlName(control);
    }
}

// --- Copy and the files ----------------------------------------------------------------

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(at, text.size()) << "every line ends in CR LF";
    return lines;
}

TEST_F(DetailsWindow, CopyHoldsTheWholeDetails) {
    Execute();
    Open();
    ASSERT_TRUE(Do([](auto& s, auto& ui) { ChooseLattice(s, ui, Centring::I); }));
    ASSERT_TRUE(Run(CopyDetailsClick));
    const std::vector<std::string> lines = LinesOf(ui.clipboardText);
    ASSERT_GE(lines.size(), 30u);
    EXPECT_EQ(lines[0], "Refinement Details");
    EXPECT_EQ(lines[1],
              "Wavelength 1.54178 Å (Cu-Ka), lattice I, fit on Q = 1/d² (as the results panel)");
    EXPECT_EQ(lines[3], "Lattice parameters, fit on Q = 1/d²");
    EXPECT_EQ(lines[4], " a = 9.753(7) Å");
    EXPECT_EQ(lines[10], " V = 440.5(6) Å³");
    const auto header = std::find(lines.begin(), lines.end(),
                                  "Row\th\tk\tl\td obs (Å)\td calc (Å)\tΔd (Å)\t2θ obs (°)\t"
                                  "2θ calc (°)\tΔ2θ (°)\tΔQ (Å⁻²)\tLeverage\t"
                                  "Studentised residual\tCook's distance\tFlags");
    ASSERT_NE(header, lines.end());
    ASSERT_EQ(lines.end() - header, 8);
    EXPECT_EQ(header[1],
              "1\t2\t2\t0\t3.23\t3.23483\t-0.00483\t27.6156\t27.5735\t0.0421\t"
              "0.000286\t0.1027\t1.6090\t0.0741\t");
    EXPECT_EQ(header[2].substr(header[2].rfind('\t')), "\tabsent under I");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Correlation matrix of the refined parameters"),
              lines.end());
    // I, like C, halves the lattice points: the figures of C2/c.
    EXPECT_NE(std::find(lines.begin(), lines.end(), " M(7) = 40.4"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), " F(7) = 13.8 (0.0106, 48)"), lines.end());

    // Japanese, and an empty window says so.
    main->settings.lang = "j";
    main->calc.table.Cell(0, 1) = "3.3";
    Follow();
    ASSERT_TRUE(Run(CopyDetailsClick));
    EXPECT_EQ(LinesOf(ui.clipboardText),
              (std::vector<std::string>{
                  "精密化の詳細",
                  "波長 1.54178 Å（Cu-Ka）、格子 I、フィット Q = 1/d² で（主画面の結果と同じ）",
                  "詳細はありません。現在の表で計算を実行してください。"}));
}

TEST_F(DetailsWindow, SaveCifAndCsvWriteTheFilesAndCancelWritesNothing) {
    Execute();
    Open();
    // Cancelled dialogs: nothing written, nothing said.
    ui.fileNames = {"", ""};
    ASSERT_TRUE(Run(SaveCifClick));
    ASSERT_TRUE(Run(SaveCsvClick));
    EXPECT_TRUE(ui.Texts(Call::Message).empty());
    ASSERT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(ui.dialogs[0].title, "Save CIF");
    EXPECT_EQ(ui.dialogs[0].filterPattern, "*.cif");
    EXPECT_EQ(ui.dialogs[0].defaultSuffix, "cif");
    EXPECT_EQ(ui.dialogs[0].initialName, dir.Path("diopside.cif"));
    EXPECT_EQ(ui.dialogs[1].title, "Save CSV");
    EXPECT_EQ(ui.dialogs[1].initialName, dir.Path("diopside.csv"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()) || !test::Exists(dir.Path("diopside.cif")));

    ASSERT_TRUE(
        Do([](auto& s, auto& ui) { ChooseFit(s, ui, DetailsFitChoice::TwoThetaZeroShift); }));
    ui.fileNames = {dir.Path("out.cif"), dir.Path("out.csv")};
    ASSERT_TRUE(Run(SaveCifClick));
    ASSERT_TRUE(Run(SaveCsvClick));
    const std::string cif = test::ReadText(dir.Path("out.cif"));
    // The cell the window shows, the wavelength it uses.
    EXPECT_NE(cif.find("_cell_length_a                    9.78(1)\n"), std::string::npos) << cif;
    EXPECT_NE(cif.find("_cell_measurement_wavelength      1.54178\n"), std::string::npos) << cif;
    const std::vector<std::string> csv = LinesOf(test::ReadText(dir.Path("out.csv")));
    ASSERT_EQ(csv.size(), 8u);
    EXPECT_TRUE(
        csv[0].ends_with(",excluded,two_theta_fit_d_calc,two_theta_fit_residual,"
                         "two_theta_fit_leverage,two_theta_fit_studentized,"
                         "two_theta_fit_cook"))
        << csv[0];

    // A folder that does not exist: the error box, no file.
    ui.fileNames = {dir.Path("missing/out.cif")};
    ASSERT_FALSE(Run(SaveCifClick));
    EXPECT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_FALSE(test::Exists(dir.Path("missing")));

    // A stale result: refused before any dialog.
    main->calc.table.Cell(0, 1) = "3.3";
    Follow();
    ui.calls.clear();
    ASSERT_TRUE(Run(SaveCsvClick));
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{"Execute the calculation for the table as it stands"});
    EXPECT_TRUE(ui.Texts(Call::SaveFile).empty());
}

TEST_F(DetailsWindow, SavePlotChoosesTheFormatByTheExtension) {
    Execute();
    Open();
    std::vector<PlotFormat> rendered;
    const PlotRenderer render = [&](PlotFormat format) {
        rendered.push_back(format);
        return std::string(format == PlotFormat::Png ? "\x89PNG\r\n" : "<svg/>");
    };
    auto save = [&] { return Do([&](auto& s, auto& ui) { SavePlotClick(s, ui, render); }); };
    ui.fileNames = {"", dir.Path("plot.PNG"), dir.Path("plot.svg"), dir.Path("plot.jpg")};
    ASSERT_TRUE(save());  // cancelled: not even drawn
    EXPECT_TRUE(rendered.empty());
    EXPECT_EQ(ui.dialogs[0].title, "Save Plot");
    EXPECT_EQ(ui.dialogs[0].filterPattern, "*.png *.svg");
    EXPECT_EQ(ui.dialogs[0].initialName, dir.Path("diopside-residuals.png"));
    ASSERT_TRUE(save());
    ASSERT_TRUE(save());
    EXPECT_EQ(rendered, (std::vector<PlotFormat>{PlotFormat::Png, PlotFormat::Svg}));
    EXPECT_EQ(test::ReadText(dir.Path("plot.PNG")), "\x89PNG\r\n");
    EXPECT_EQ(test::ReadText(dir.Path("plot.svg")), "<svg/>");
    ASSERT_TRUE(save());
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{"Give the plot's file name the extension .png or .svg"});
    EXPECT_FALSE(test::Exists(dir.Path("plot.jpg")));
    EXPECT_EQ(rendered.size(), 2u);
}

// The names proposed: the data file's with another ending, in its folder (a dot in a
// folder's name is no extension); the program's own without a data file.
TEST_F(DetailsWindow, ProposedExportNames) {
    const struct {
        const char *file, *label, *cif, *plot;
    } cases[] = {
        {"/data/run.2/sample.lat", "sample.lat", "/data/run.2/sample.cif",
         "/data/run.2/sample-residuals.png"},
        {"/data/run.2/sample", "sample", "/data/run.2/sample.cif",
         "/data/run.2/sample-residuals.png"},
        {"/data/a.b.lat", "a.b.lat", "/data/a.b.cif", "/data/a.b-residuals.png"},
        {"/data/x.lat", "", "dorvalix.cif", "dorvalix-residuals.png"},  // typed, never saved
    };
    Execute();
    Open();
    for (const auto& c : cases) {
        main->currentFileName = c.file;
        main->label6 = c.label;
        ui.dialogs.clear();
        ui.fileNames = {"", ""};
        ASSERT_TRUE(Run(SaveCifClick));
        ASSERT_TRUE(Do([](auto& s, auto& ui) {
            SavePlotClick(s, ui, [](PlotFormat) { return std::string(); });
        }));
        ASSERT_EQ(ui.dialogs.size(), 2u);
        EXPECT_EQ(ui.dialogs[0].initialName, c.cif) << c.file;
        EXPECT_EQ(ui.dialogs[1].initialName, c.plot) << c.file;
    }
}

TEST_F(DetailsWindow, CloseHidesTheWindow) {
    Open();
    ASSERT_TRUE(Run(CloseDetailsClick));
    EXPECT_TRUE(window->closeRequested);
    Open();
    EXPECT_FALSE(window->closeRequested);
}

}  // namespace
}  // namespace dorvalix
