// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern window, headless: its commands on plain state, the user played by a scripted
// Ui, the main window's commands run beside it. The patterns are written by the tests: a
// silicon-like cubic F pattern of Cu Kα1 with one line the cell does not explain.
#include "pattern_window_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "hkl_window_commands.h"
#include "main_commands.h"
#include "main_menu.h"
#include "numtext.h"
#include "program_arguments.h"
#include "scripted_ui.h"
#include "synthetic_pattern.h"
#include "temp_dir.h"
#include "xray_lines.h"

namespace dorvalix {
namespace {

using test::Call;

constexpr double kA = 5.4309;  // Å, silicon
constexpr double kLambda = 1.540593;
constexpr double kExtra = 35.0;  // a line of another phase

double TwoThetaOf(double d) {
    return 2 * std::asin(kLambda / (2 * d)) * 180 / std::numbers::pi;
}

double CubicD(int h, int k, int l) {
    return kA / std::sqrt(h * h + k * k + l * l);
}

// The lines of silicon between 20° and 80° (its diamond structure leaves out 200, 222 and 420
// that the F lattice allows), and one of another phase.
test::Synthetic SiliconPattern() {
    test::Synthetic s;
    s.start = 20;
    s.step = 0.01;
    s.points = 6001;
    s.level = 200;
    s.fwhm = 0.08;
    s.lines = test::CuSingle();
    s.reflections = {{TwoThetaOf(CubicD(1, 1, 1)), 5000}, {TwoThetaOf(CubicD(2, 2, 0)), 3000},
                     {TwoThetaOf(CubicD(3, 1, 1)), 2000}, {TwoThetaOf(CubicD(4, 0, 0)), 800},
                     {TwoThetaOf(CubicD(3, 3, 1)), 1200}, {kExtra, 1500}};
    return s;
}

// The same points as a GSAS FXYE file in centidegrees, with `comment` above its bank(s).
std::string FxyeText(const Scan& scan, const std::string& comment, int banks = 1) {
    std::string out = "silicon\n" + comment;
    for (int b = 1; b <= banks; ++b) {
        const std::string n = IntText(static_cast<long long>(scan.Size()));
        out += "BANK " + IntText(b) + " " + n + " " + n + " CONS " +
               FormatGeneral(scan.twoTheta.front() * 100) + " " +
               FormatGeneral(MeanStep(scan) * 100) + " 0 0 FXYE\n";
        for (std::size_t i = 0; i < scan.Size(); ++i) {
            const double counts = scan.counts[i] * b;
            out += FormatGeneral(scan.twoTheta[i] * 100) + " " + FormatGeneral(counts) + " " +
                   FormatGeneral(std::sqrt(std::max(counts, 1.0))) + "\n";
        }
    }
    return out;
}

class PatternWindowTest : public test::CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        window = std::make_unique<PatternWindowState>(*state);
        scan = test::MakeScan(SiliconPattern());
        xy = dir.Path("silicon.xy");
        test::WriteText(xy, test::XyText(scan));
    }
    template <class F>
    bool Do(F f) {
        return RunCommand(ui, [&] { f(*window, ui); });
    }
    // Opened through the dialog; an xy file states no wavelength, so Cu Kα1 is chosen.
    void OpenSilicon() {
        ui.fileNames = {xy};
        ASSERT_TRUE(Do(OpenPatternClick));
        ASSERT_TRUE(window->pattern);
        ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { ChoosePatternWavelength(s, u, 1); }));
        ASSERT_EQ(window->Peaks().size(), 6u) << test::Describe(window->Peaks());
    }
    // The index of the peak nearest to 2θ.
    std::size_t PeakAt(double twoTheta) const {
        std::size_t best = 0;
        for (std::size_t k = 0; k < window->Peaks().size(); ++k) {
            if (std::fabs(static_cast<double>(window->Peaks()[k].twoTheta) - twoTheta) <
                std::fabs(static_cast<double>(window->Peaks()[best].twoTheta) - twoTheta))
                best = k;
        }
        return best;
    }
    // Execute on the silicon lines 111 ... 331 as an indexed table of the cubic system.
    void ExecuteSilicon() {
        const int hkl[5][3] = {{1, 1, 1}, {2, 2, 0}, {3, 1, 1}, {4, 0, 0}, {3, 3, 1}};
        for (int r = 0; r < 5; ++r) {
            Cell(0, r + 1) = FormatFixed(CubicD(hkl[r][0], hkl[r][1], hkl[r][2]), 5, 15);
            for (int c = 0; c < 3; ++c)
                Cell(c + 1, r + 1) = IntText(hkl[r][c]);
        }
        ASSERT_TRUE(Run(Cibic1Click));
        ASSERT_TRUE(Run(N4Click));
        ASSERT_TRUE(state->calc.resultValid);
        FollowMainWindow(*window);
    }

    Scan scan;
    std::string xy;
    std::unique_ptr<PatternWindowState> window;
};

// --- Opening and the wavelength ------------------------------------------------------------

TEST_F(PatternWindowTest, TheMenuItemOpensTheWindowWhichAsksForTheFile) {
    ASSERT_TRUE(Run(OpenPattern1Click));
    EXPECT_EQ(ui.windows, std::vector<SecondaryWindow>{SecondaryWindow::TForm11});
    EXPECT_EQ(KeysOf(Control::OpenPattern1).mnemonic, 'O');

    ui.fileNames = {""};  // cancelled: nothing is read, nothing shown
    ASSERT_TRUE(Do(OpenPatternClick));
    EXPECT_FALSE(window->pattern);
    EXPECT_FALSE(window->raiseRequested);
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "Open Pattern");
    EXPECT_EQ(ui.dialogs[0].filterPattern, kPatternFilePatterns);
}

TEST_F(PatternWindowTest, AFileWithoutWavelengthIsShownButNothingIsAssumedUntilTheUserChooses) {
    ui.fileNames = {xy};
    ASSERT_TRUE(Do(OpenPatternClick));
    EXPECT_EQ(ui.Texts(Call::Work), std::vector<std::string>{"Reading the pattern..."});
    ASSERT_TRUE(window->pattern);
    EXPECT_TRUE(window->raiseRequested);
    EXPECT_TRUE(window->wavelengthRequested);  // the window asks
    EXPECT_FALSE(window->lines.Known());
    EXPECT_EQ(window->wavelengthChoice, -2);
    ASSERT_TRUE(window->found);
    EXPECT_EQ(window->found->background.size(), scan.Size());  // the background is shown
    EXPECT_TRUE(window->Peaks().empty());
    EXPECT_TRUE(window->ticks.empty());
    EXPECT_EQ(window->fileLine, "silicon.xy (xy), scan 1 of 1: 6001 points, 2θ 20° to 80°");
    EXPECT_EQ(window->linesLine, window->Caption(PatternControl::NoWavelengthNote));
    // What needs the wavelength says so, and does nothing.
    ui.calls.clear();
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { AddPeakAt(s, u, 28.44); }));
    ASSERT_TRUE(Do(UsePatternWavelength));
    ASSERT_TRUE(Do(SendPeaksToTable));
    EXPECT_EQ(ui.Texts(Call::Message),
              (std::vector<std::string>{"Choose the wavelength the pattern was measured with first",
                                        "Choose the wavelength the pattern was measured with first",
                                        "No peaks"}));
    EXPECT_EQ(state->settings.lamda, AppSettings{}.lamda);  // the settings keep theirs

    // Cu-Ka1 is a single line at 1.540593 Å; every line is found where it was put.
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { ChoosePatternWavelength(s, u, 1); }));
    EXPECT_EQ(window->lines.ka1, 1.540593L);
    EXPECT_FALSE(window->lines.IsDoublet());
    EXPECT_EQ(window->wavelengthChoice, 1);
    ASSERT_EQ(window->Peaks().size(), 6u) << test::Describe(window->Peaks());
    std::vector<double> expected;
    for (const test::Reflection& r : SiliconPattern().reflections)
        expected.push_back(r.twoTheta);
    std::sort(expected.begin(), expected.end());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const FittedPeak& p = window->Peaks()[k];
        EXPECT_NEAR(static_cast<double>(p.twoTheta), expected[k], 0.01) << k;
        // d from λ₁ and the fitted 2θ.
        EXPECT_NEAR(
            static_cast<double>(p.d),
            kLambda / (2 * std::sin(static_cast<double>(p.twoTheta) * std::numbers::pi / 360)),
            1e-9);
    }
    EXPECT_EQ(window->linesLine.rfind("λ 1.540593 Å, a single line, as chosen; 6 peaks", 0), 0u)
        << window->linesLine;

    // Cu-Ka is the doublet of Kα1 and Kα2 (not the hkl table's average 1.54178 Å).
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { ChoosePatternWavelength(s, u, 0); }));
    EXPECT_TRUE(window->lines.IsDoublet());
    EXPECT_EQ(window->lines.ka1, 1.540593L);
    EXPECT_EQ(window->lines.ka2, 1.544414L);
    // A typed value is one line; a value the hkl window refuses changes nothing.
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { TypePatternWavelength(s, u, "1.5406"); }));
    EXPECT_EQ(window->lines.ka1, 1.5406L);
    EXPECT_FALSE(window->lines.IsDoublet());
    EXPECT_EQ(window->wavelengthChoice, 8);
    ui.calls.clear();
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { TypePatternWavelength(s, u, "0"); }));
    EXPECT_EQ(ui.Texts(Call::Message).size(), 1u);
    EXPECT_EQ(window->lines.ka1, 1.5406L);
}

TEST_F(PatternWindowTest, AFileThatStatesItsWavelengthIsFittedAtOnceAndEachScanOnItsOwn) {
    const std::string path = dir.Path("silicon.fxye");
    test::WriteText(path, FxyeText(scan, "# Calibrated wavelength = 1.540593\n", 2));
    ASSERT_TRUE(Do([&](PatternWindowState& s, Ui& u) { OpenPatternFile(s, u, path); }));
    EXPECT_FALSE(window->wavelengthRequested);
    EXPECT_EQ(window->wavelengthChoice, -1);
    EXPECT_EQ(window->lines.ka1, 1.540593L);
    EXPECT_EQ(window->Peaks().size(), 6u) << test::Describe(window->Peaks());
    EXPECT_NE(window->linesLine.find(", from the file; 6 peaks"), std::string::npos)
        << window->linesLine;
    ASSERT_EQ(window->pattern->scans.size(), 2u);
    // The second scan: twice the counts, the same lines.
    const double height = static_cast<double>(window->Peaks()[0].height);
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { ChooseScan(s, u, 1); }));
    EXPECT_EQ(window->scan, 1u);
    EXPECT_EQ(window->fileLine.substr(0, 32), "silicon.fxye (fxye), scan 2 of 2");
    ASSERT_EQ(window->Peaks().size(), 6u);
    EXPECT_NEAR(static_cast<double>(window->Peaks()[0].height), 2 * height, 0.05 * height);
}

TEST_F(PatternWindowTest, ACancelOrAFileThatCannotBeReadLeavesTheWindowAsItWas) {
    OpenSilicon();
    const auto pattern = window->pattern;
    const auto found = window->found;
    // Cancelled while reading another file.
    ui.cancels = {true};
    ASSERT_TRUE(Do([&](PatternWindowState& s, Ui& u) { OpenPatternFile(s, u, xy); }));
    EXPECT_EQ(window->pattern, pattern);
    EXPECT_EQ(window->found, found);
    // Cancelled while fitting at another significance.
    ui.cancels = {true};
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { SetSignificance(s, u, "10"); }));
    EXPECT_EQ(window->found, found);
    EXPECT_EQ(window->settings.significance, 3);
    // A file that is no pattern: the reader's message in the error box.
    const std::string bad = dir.Path("notes.xy");
    test::WriteText(bad, "20 100\n20.01 abc\n");
    ui.calls.clear();
    EXPECT_FALSE(Do([&](PatternWindowState& s, Ui& u) { OpenPatternFile(s, u, bad); }));
    ASSERT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_NE(ui.Texts(Call::Error)[0].find("'abc' is not a number"), std::string::npos);
    EXPECT_EQ(window->pattern, pattern);
    EXPECT_EQ(window->path, xy);
}

TEST_F(PatternWindowTest, TinyAndFeaturelessPatternsOpenWithoutPeaks) {
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"one point", "30 100\n"},
        {"two points", "30 100\n30.01 120\n"},
        {"all zero", "30 0\n30.01 0\n30.02 0\n30.03 0\n30.04 0\n30.05 0\n30.06 0\n"},
        {"flat", "30 50\n30.01 50\n30.02 50\n30.03 50\n30.04 50\n30.05 50\n30.06 50\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Path("tiny.xy");
        test::WriteText(path, c.text);
        ui.calls.clear();
        ASSERT_TRUE(Do([&](PatternWindowState& s, Ui& u) { OpenPatternFile(s, u, path); }));
        ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { ChoosePatternWavelength(s, u, 1); }));
        ASSERT_TRUE(window->found);
        EXPECT_EQ(window->found->background.size(), window->pattern->scans[0].Size());
        EXPECT_TRUE(window->Peaks().empty());
        ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { AddPeakAt(s, u, 30.0); }));
        ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { ShowFittedProfiles(s, u, true); }));
        EXPECT_TRUE(ui.Texts(Call::Error).empty());
    }
}

TEST_F(PatternWindowTest, BackgroundWidthAndSignificanceRefuseWhatIsNoNumberAboveZero) {
    OpenSilicon();
    const std::string automatic = window->backgroundText;
    for (const char* text : {"0", "-1", "abc", "inf"}) {
        ui.calls.clear();
        ASSERT_TRUE(Do([&](PatternWindowState& s, Ui& u) { SetBackgroundWidth(s, u, text); }));
        EXPECT_EQ(ui.Texts(Call::Message),
                  std::vector<std::string>{"Give the background width in degrees 2θ, a number "
                                           "above 0 (empty: chosen from the pattern)"})
            << text;
        ui.calls.clear();
        ASSERT_TRUE(Do([&](PatternWindowState& s, Ui& u) { SetSignificance(s, u, text); }));
        EXPECT_EQ(ui.Texts(Call::Message).size(), 1u) << text;
    }
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { SetBackgroundWidth(s, u, "2.5"); }));
    EXPECT_EQ(window->found->backgroundWidth, 2.5);
    EXPECT_EQ(window->backgroundText, "2.5");
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { SetBackgroundWidth(s, u, " "); }));
    EXPECT_EQ(window->backgroundText, automatic);  // chosen from the pattern again
    // A higher significance finds no more peaks than a lower one.
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { SetSignificance(s, u, "200"); }));
    EXPECT_LT(window->Peaks().size(), 6u);
    EXPECT_EQ(window->significanceText, "200");
}

// --- Peaks by hand -----------------------------------------------------------------------

TEST_F(PatternWindowTest, AClickAddsAPeakFittedAtOnceAndAMarkedPeakCanBeRemoved) {
    OpenSilicon();
    const std::size_t extra = PeakAt(kExtra);
    ASSERT_TRUE(Do([&](PatternWindowState& s, Ui& u) { RemovePeakAt(s, u, extra); }));
    ASSERT_EQ(window->Peaks().size(), 5u);
    EXPECT_GT(std::fabs(static_cast<double>(window->Peaks()[PeakAt(kExtra)].twoTheta) - kExtra), 1);
    EXPECT_EQ(window->rows.size(), 5u);
    EXPECT_EQ(window->marks.size(), 5u);
    // Clicked a little beside its top, the peak is fitted where it is.
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { AddPeakAt(s, u, kExtra + 0.03); }));
    ASSERT_EQ(window->Peaks().size(), 6u);
    EXPECT_NEAR(static_cast<double>(window->Peaks()[PeakAt(kExtra)].twoTheta), kExtra, 0.004);
    EXPECT_TRUE(ui.Texts(Call::Message).empty());
    // Where there is nothing, nothing is added, and the user is told.
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { AddPeakAt(s, u, 42.0); }));
    EXPECT_EQ(window->Peaks().size(), 6u);
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{"No peak can be fitted at 2θ = 42.000°"});
    // A cancelled fit changes nothing.
    ui.cancels = {true};
    ASSERT_TRUE(Do([&](PatternWindowState& s, Ui& u) { RemovePeakAt(s, u, 0); }));
    EXPECT_EQ(window->Peaks().size(), 6u);
}

// --- Tick marks ------------------------------------------------------------------------

TEST_F(PatternWindowTest, TickMarksOfTheRefinedCellHonourTheCentringAndFollowEachExecute) {
    OpenSilicon();
    FollowMainWindow(*window);
    EXPECT_TRUE(window->ticks.empty());  // no cell yet
    EXPECT_EQ(window->tickSource, TickSource::None);

    ExecuteSilicon();
    ASSERT_EQ(window->tickSource, TickSource::Refined);
    // Lattice P: every reflection, one mark for each d (221 and 300 share one).
    std::size_t shared = 0;
    for (const PatternTick& t : window->ticks)
        shared += t.hkl.size() > 1;
    EXPECT_EQ(window->ticks.size(), 17u);
    EXPECT_EQ(shared, 3u);  // 221/300, 322/410, 330/411
    // The peak of the other phase is the one the cell does not explain.
    for (std::size_t k = 0; k < window->marks.size(); ++k)
        EXPECT_EQ(window->marks[k].explained, k != PeakAt(kExtra)) << k;
    EXPECT_NE(window->tickLine.find("Tick marks: refined cell, a = 5.4309"), std::string::npos)
        << window->tickLine;
    EXPECT_NE(window->tickLine.find("lattice P: 17 positions; 5 of 6 peaks explained"),
              std::string::npos)
        << window->tickLine;

    // Lattice F (as the hkl and details windows choose it): only h, k, l all odd or all even.
    state->settings.lattice = Centring::F;
    FollowMainWindow(*window);
    std::vector<double> allowed;
    for (const auto& [h, k, l] : {std::array{1, 1, 1},
                                  {2, 0, 0},
                                  {2, 2, 0},
                                  {3, 1, 1},
                                  {2, 2, 2},
                                  {4, 0, 0},
                                  {3, 3, 1},
                                  {4, 2, 0}})
        allowed.push_back(TwoThetaOf(CubicD(h, k, l)));
    ASSERT_EQ(window->ticks.size(), allowed.size());
    for (std::size_t i = 0; i < allowed.size(); ++i)
        EXPECT_NEAR(window->ticks[i].twoTheta, allowed[i], 1e-4) << i;  // the refined a
    EXPECT_EQ(window->ticks[0].hkl, (std::vector<std::array<int, 3>>{{1, 1, 1}}));
    EXPECT_EQ(window->ticks[0].tip,
              "1 1 1\nd = " + FormatFixed(window->ticks[0].d, 5, 15) +
                  " Å\n2θ = " + FormatFixed(window->ticks[0].twoTheta, 4, 15) + "°");
    EXPECT_EQ(window->rows[0].texts[static_cast<std::size_t>(PeakColumn::Hkl)], "1 1 1");
    EXPECT_EQ(window->rows[PeakAt(kExtra)].texts[static_cast<std::size_t>(PeakColumn::Hkl)], "");

    // An edited table: the result no longer describes it, and its cell is no longer shown.
    Cell(0, 1) = "3.2000";
    FollowMainWindow(*window);
    EXPECT_EQ(window->tickSource, TickSource::None);
    EXPECT_TRUE(window->ticks.empty());
    for (const PeakMark& m : window->marks)
        EXPECT_FALSE(m.explained);

    // The hkl window calculates another cell: its reflections are marked.
    HklState hkl;
    hkl.cell = CellFromDegrees(5.6, 5.6, 5.6, 90, 90, 90);
    window->hkl = &hkl;
    FollowMainWindow(*window);
    EXPECT_EQ(window->tickSource, TickSource::HklWindow);
    EXPECT_EQ(window->tickLine.rfind("Tick marks: cell of the hkl table, a = 5.6 ", 0), 0u)
        << window->tickLine;
    EXPECT_NEAR(window->ticks[0].twoTheta, TwoThetaOf(5.6 / std::sqrt(3.0)), 1e-9);  // 111 of F
}

TEST_F(PatternWindowTest, ACellGivenByAnotherWindowIsMarkedUntilTheNextExecute) {
    OpenSilicon();
    TickCell given;
    given.a = given.b = given.c = kA;
    given.system = 1;
    given.centring = Centring::I;
    given.label = "solution 2";
    SetTickCell(*window, given);
    EXPECT_EQ(window->tickSource, TickSource::Given);
    EXPECT_EQ(window->tickLine.substr(0, 32), "Tick marks: solution 2, a = 5.43");
    for (const PatternTick& t : window->ticks) {
        for (const auto& [h, k, l] : t.hkl)
            EXPECT_EQ((h + k + l) % 2, 0) << h << k << l;
    }
    // Its peaks and lines are there for that window.
    EXPECT_EQ(&PatternPeaks(*window), &window->Peaks());
    EXPECT_EQ(PatternLines(*window).ka1, 1.540593L);
    // Following the main window keeps it; the next Execute replaces it.
    FollowMainWindow(*window);
    EXPECT_EQ(window->tickSource, TickSource::Given);
    ExecuteSilicon();
    EXPECT_EQ(window->tickSource, TickSource::Refined);
    ClearTickCell(*window);
    EXPECT_TRUE(window->ticks.empty());

    // A cell that is no cell marks nothing and says why.
    given.alpha = 150;
    given.beta = 150;
    given.gamma = 150;
    SetTickCell(*window, given);
    EXPECT_TRUE(window->ticks.empty());
    EXPECT_EQ(window->tickLine.rfind("No tick marks: ", 0), 0u) << window->tickLine;
}

// --- The peak list and where it goes ---------------------------------------------------------

TEST_F(PatternWindowTest, ThePeakListSortsAndIsCopiedAndSavedInTheOrderShown) {
    OpenSilicon();
    const std::vector<FittedPeak>& peaks = window->Peaks();
    // Header and first row as the clipboard gets them, CR LF.
    std::string text = PeaksText(*window);
    const std::string header = "No.\t2θ (°)\ts.u. (°)\td (Å)\tFWHM (°)\tHeight\thkl\r\n";
    ASSERT_NE(text.find(header), std::string::npos) << text;
    const std::string first = text.substr(text.find(header) + header.size());
    EXPECT_EQ(first.substr(0, first.find("\r\n")),
              "1\t" + FormatFixed(peaks[0].twoTheta, 5, 15) + "\t" +
                  FormatFixed(peaks[0].twoThetaSu, 5, 15) + "\t" + FormatFixed(peaks[0].d, 6, 15) +
                  "\t" + FormatFixed(peaks[0].fwhm, 4, 15) + "\t" +
                  FormatFixed(peaks[0].height, 1, 15) + "\t");
    // By height, strongest first on the second click: 111 of silicon.
    SortPeakTable(*window, PeakColumn::Height);
    SortPeakTable(*window, PeakColumn::Height);
    EXPECT_EQ(window->rows[0].peak, 0u);
    EXPECT_EQ(window->rows[1].peak, PeakAt(TwoThetaOf(CubicD(2, 2, 0))));
    EXPECT_EQ(window->rows.back().peak, PeakAt(TwoThetaOf(CubicD(4, 0, 0))));
    ASSERT_TRUE(Do(CopyPeaks));
    EXPECT_EQ(ui.clipboardText, PeaksText(*window));

    // The CSV: the full numbers in the same order, written where the dialog says.
    const std::string csv = dir.Path("peaks.csv");
    ui.fileNames = {csv};
    ASSERT_TRUE(Do(SavePeaksCsv));
    EXPECT_EQ(ui.dialogs.back().title, "Save Peaks as CSV");
    EXPECT_EQ(ui.dialogs.back().initialName, dir.Path("silicon-peaks.csv"));
    const std::string written = test::ReadText(csv);
    EXPECT_EQ(written.substr(0, written.find("\r\n")),
              "peak,two_theta,two_theta_su,d,fwhm,height,area,eta,asymmetry,hkl");
    const std::string second = written.substr(written.find("\r\n") + 2);
    EXPECT_EQ(second.substr(0, second.find(',', second.find(',') + 1)),
              "1," + FormatG17(peaks[0].twoTheta));
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 7);
    ui.fileNames = {""};  // cancelled: nothing written
    std::remove(csv.c_str());
    ASSERT_TRUE(Do(SavePeaksCsv));
    EXPECT_FALSE(test::Exists(csv));
}

TEST_F(PatternWindowTest, SendPeaksToTableReplacesTheTableAfterTheQuestionWithEmptyIndices) {
    OpenSilicon();
    // An empty table: no question.
    ASSERT_TRUE(Do(SendPeaksToTable));
    EXPECT_TRUE(ui.Texts(Call::OkCancel).empty());
    EXPECT_TRUE(window->mainChanged);
    EXPECT_EQ(Table().filled, 6u);
    EXPECT_EQ(Table().included, 6u);
    for (int r = 1; r <= 6; ++r) {
        // Largest d first, six decimals from λ₁ (after a blank, as the table writes a d
        // below 10), the indices empty for the indexing.
        const FittedPeak& p = window->Peaks()[static_cast<std::size_t>(r - 1)];
        EXPECT_EQ(Cell(0, r), " " + FormatFixed(p.d, 6, 15)) << r;
        for (int c = 1; c <= 4; ++c)
            EXPECT_EQ(Cell(c, r), "") << r << c;
    }
    EXPECT_EQ(state->edit1, "silicon");  // the file names no sample: its name
    EXPECT_EQ(state->calc.crystalSystem, kNoSystem);

    // A table with data: the question; Cancel keeps it, OK replaces it.
    ui.calls.clear();
    Cell(0, 1) = "9.9";
    ui.answers = {false};
    ASSERT_TRUE(Do(SendPeaksToTable));
    EXPECT_EQ(ui.Texts(Call::OkCancel),
              std::vector<std::string>{"The table holds data: replace it with the peaks?"});
    EXPECT_EQ(Cell(0, 1), "9.9");
    ui.answers = {true};
    ASSERT_TRUE(Do(SendPeaksToTable));
    EXPECT_EQ(Cell(0, 1), " " + FormatFixed(window->Peaks()[0].d, 6, 15));
    // Indices typed without their d are data too.
    ClearTable(*state);
    Cell(2, 7) = "1";
    ui.answers = {false};
    ASSERT_TRUE(Do(SendPeaksToTable));
    EXPECT_EQ(ui.Texts(Call::OkCancel).size(), 3u);
    EXPECT_EQ(Cell(2, 7), "1");
    // In Japanese.
    SetLanguage(Lang::Japanese);
    ui.calls.clear();
    ui.answers = {false};
    ASSERT_TRUE(Do(SendPeaksToTable));
    EXPECT_EQ(ui.Texts(Call::OkCancel),
              std::vector<std::string>{"表にデータがあります。ピークで置き換えてよろしいですか"});
}

TEST_F(PatternWindowTest, AtMost300PeaksGoToTheTableAndTheMessageSaysHowManyWereLeftOut) {
    // A pattern of 305 fitted peaks, made by hand.
    Pattern pattern;
    pattern.format = "xy";
    pattern.sampleName = "many\tlines";
    pattern.scans.push_back(scan);
    window->pattern = std::make_shared<const Pattern>(pattern);
    window->path = xy;
    window->lines = test::CuSingle();
    auto found = std::make_shared<ScanPeaks>();
    found->background.assign(scan.Size(), 0);
    for (int k = 0; k < 305; ++k) {
        FittedPeak p;
        p.twoTheta = 20 + 0.15L * k;
        p.d = kLambda / (2 * std::sin(p.twoTheta * std::numbers::pi_v<long double> / 360));
        found->peaks.push_back(p);
    }
    window->found = found;
    ASSERT_TRUE(Do(SendPeaksToTable));
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{"305 peaks, and the table holds 300 rows: the 5 peaks of "
                                       "the highest 2θ were left out"});
    EXPECT_EQ(Table().filled, 300u);
    EXPECT_EQ(Cell(0, 300), " " + FormatFixed(found->peaks[299].d, 6, 15));
    EXPECT_EQ(state->edit1, "many lines");  // one line of the file
}

TEST_F(PatternWindowTest, UsePatternWavelengthGivesKAlpha1ToTheHklAndDetailsWindows) {
    ui.fileNames = {xy};
    ASSERT_TRUE(Do(OpenPatternClick));
    ASSERT_TRUE(Do([](PatternWindowState& s, Ui& u) { ChoosePatternWavelength(s, u, 0); }));
    ui.calls.clear();
    ASSERT_TRUE(Do(UsePatternWavelength));
    EXPECT_EQ(state->settings.lamda, 1.540593L);  // Kα1 of the doublet, not its average
    EXPECT_EQ(state->settings.xRay, kTypedWavelengthName);
    EXPECT_TRUE(window->mainChanged);
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{"The hkl table and the refinement details now use λ = "
                                       "1.540593 Å, Kα1 of the pattern"});
}

// --- Captions and names -----------------------------------------------------------------------

TEST(PatternWindowCaptions, EveryControlHasANameAndACaptionInBothLanguages) {
    const struct {
        PatternControl control;
        const char* name;
        const char* en;
        const char* ja;
    } cases[] = {
        {PatternControl::TForm11, "TForm11", "Pattern", "回折パターン"},
        {PatternControl::SendButton, "SendButton", "Send Peaks to Table", "ピークを表に送る"},
        {PatternControl::ShowTicks, "ShowTicks", "Tick marks", "反射位置"},
        {PatternControl::FullViewButton, "FullViewButton", "Full View", "全体を表示"},
        {PatternControl::RemovePeakItem, "RemovePeakItem", "Remove This Peak", "このピークを削除"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(PatternControlName(c.control), c.name);
        EXPECT_STREQ(PatternCaption(c.control, Lang::English), c.en);
        EXPECT_STREQ(PatternCaption(c.control, Lang::Japanese), c.ja);
    }
    std::set<std::string> names;
    std::set<char> letters;
    for (int i = 0; i < kPatternControlCount; ++i) {
        const auto control = static_cast<PatternControl>(i);
        EXPECT_TRUE(names.insert(PatternControlName(control)).second) << i;
        EXPECT_NE(std::string(PatternCaption(control, Lang::English)), "") << i;
        EXPECT_NE(std::string(PatternCaption(control, Lang::Japanese)), "") << i;
        // Each underlined letter is in its caption and belongs to one control.
        if (const char m = PatternMnemonic(control)) {
            EXPECT_NE(std::string(PatternCaption(control, Lang::English)).find(m),
                      std::string::npos)
                << PatternControlName(control);
            EXPECT_TRUE(letters.insert(static_cast<char>(std::tolower(m))).second) << m;
        }
    }
    EXPECT_STREQ(PeakColumnCaption(PeakColumn::Su, Lang::Japanese), "標準不確かさ (°)");
}

TEST(PatternFiles, PatternsByTheirExtensionAndEveryOtherFileAsObservations) {
    const struct {
        const char* path;
        bool pattern;
    } cases[] = {
        {"scan.xrdml", true},
        {"/d/SCAN.XRDML", true},
        {"a.raw", true},
        {"a.brml", true},
        {"a.ras", true},
        {"a.rasx", true},
        {"a.xy", true},
        {"a.xye", true},
        {"a.gsa", true},
        {"a.gss", true},
        {"a.fxye", true},
        {"a.gsas", true},
        {"diopside.lat", false},
        {"cells.slk", false},
        {"a.csv", false},
        {"xy", false},
        {"/data.xy/readme", false},
        {".xy", false},
        {"a.xy.lat", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsPatternFileName(c.path), c.pattern) << c.path;
    // One file at most on the command line, pattern or observations.
    EXPECT_EQ(ParseProgramArguments({"a.xrdml", "b.lat"}).message, "one file at most");
    EXPECT_EQ(ParseProgramArguments({"a.xrdml"}).file, "a.xrdml");
}

}  // namespace
}  // namespace dorvalix
