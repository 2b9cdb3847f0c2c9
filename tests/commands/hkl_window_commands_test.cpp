// SPDX-License-Identifier: GPL-3.0-or-later
// The hkl window and the cell dialog, headless: their commands on plain state, the user
// played by a scripted Ui.
#include "hkl_window_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

#include "cell_dialog_commands.h"
#include "crystal_system.h"
#include "hkl_text.h"
#include "main_commands.h"
#include "observation_file.h"
#include "scripted_ui.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

using test::Call;

constexpr const char* kEmptyNumber = "'' は浮動小数点数ではありません.";

// The scripted Ui, where opening the cell dialog runs what the test put in `cellDialog`.
class HklUi : public test::ScriptedUi {
  public:
    std::function<void()> cellDialog;
    void ShowWindow(SecondaryWindow window) override {
        ScriptedUi::ShowWindow(window);
        if (window == SecondaryWindow::TForm8 && cellDialog) cellDialog();
    }
};

class HklWindow : public ::testing::Test {
  protected:
    void SetUp() override { main->settings.lang = "e"; }

    // Execute on the monoclinic worked example (a valid result, refined a = 9.753 Å).
    void Execute() {
        test::FillMonoclinicExample(main->calc);
        ShowCrystalSystem(*main);
        N4Click(*main, ui);
        ASSERT_TRUE(main->calc.resultValid);
    }
    bool Run(void (*command)(HklWindowState&, Ui&)) {
        return RunCommand(ui, [&] { command(*window, ui); });
    }
    bool Open() { return Run(FormShow); }
    // The cell dialog answers the next opening by typing `values` and pressing Close.
    void ScriptCellDialog(std::array<std::string, 6> values) {
        ui.cellDialog = [this, values] {
            FormShow(dialog, *window);
            for (std::size_t row = 0; row < values.size(); ++row)
                dialog.grid[row][1] = values[row];
            RunCommand(ui, [&] { BitBtn1Click(dialog, *window, ui); });
        };
    }
    static std::string HklLine(const HklReflection& r) {
        std::string line;
        for (int col = 0; col < 5; ++col)
            line += HklCellText(r, col);
        return line;
    }
    std::string Cell(std::size_t row, int col) const {
        return HklCellText(window->hkl.table[row], col);
    }
    std::vector<std::string> RangeTexts() const {
        std::vector<std::string> texts;
        for (std::size_t row = 1; row < 4; ++row) {
            texts.push_back(window->rangeGrid[row][1]);
            texts.push_back(window->rangeGrid[row][2]);
        }
        return texts;
    }
    std::vector<std::string> CellValues() const {
        const auto texts = window->CellTexts();
        return {texts.begin(), texts.end()};
    }

    std::unique_ptr<MainState> main = std::make_unique<MainState>();
    HklUi ui;
    std::unique_ptr<HklWindowState> window = std::make_unique<HklWindowState>(*main);
    CellDialogState dialog;
};

const std::vector<std::string> kNoValues(6, "");
const std::vector<std::string> kNoRange(6, "");
const std::vector<std::string> kRefinedRange = {"   -7", "   7", "   -6", "   6", "   -4", "   4"};

// --- Opening -----------------------------------------------------------------------------

TEST_F(HklWindow, OpensEmptyWithoutAValidResult) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(CellValues(), kNoValues);
    EXPECT_EQ(RangeTexts(), kNoRange);
    EXPECT_TRUE(window->hkl.table.empty());
    EXPECT_EQ(window->hkl.grid_rows, 200);  // until the first table
    EXPECT_EQ(window->label7, "Cu-Ka");
    EXPECT_EQ(window->label8, "1.54178");
    EXPECT_EQ(window->label10, "1.5");
    EXPECT_TRUE(window->n16Checked);
    EXPECT_FALSE(window->n17Checked);
    EXPECT_TRUE(window->currentCellsRequested);
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(HklWindow, OpensOnTheRefinedCellWithItsRangeAndTable) {
    Execute();
    ASSERT_TRUE(Open());
    EXPECT_EQ(CellValues(), (std::vector<std::string>{"    9.753", "    8.9326", "    5.2553",
                                                      "   90", "  105.8334", "   90"}));
    EXPECT_EQ(RangeTexts(), kRefinedRange);
    EXPECT_EQ(window->label5, "Monoclinic(beta<>90)");
    // The table in generation order: h from −7 up, the first reflection at h = −6.
    const HklTable& table = window->hkl.table;
    ASSERT_EQ(table.size(), 548u);  // also counted with an independent script
    EXPECT_EQ(window->hkl.grid_rows, 549);
    const std::vector<std::string> first = {Cell(0, 0), Cell(0, 1), Cell(0, 2), Cell(0, 3),
                                            Cell(0, 4)};
    EXPECT_EQ(first, (std::vector<std::string>{"   1.5265", " -6", " -2", "  1", "  60.66"}));
    EXPECT_EQ(Cell(1, 0) + Cell(1, 1) + Cell(1, 2) + Cell(1, 3) + Cell(1, 4),
              "   1.5404 -6 -1  0  60.06");
    for (std::size_t i = 1; i < table.size(); ++i)
        ASSERT_LE(table[i - 1].h, table[i].h);
    // The current cell is the refined one, angles in radians with 3.141592.
    EXPECT_EQ(window->hkl.cell.a, 9.753L);
    const long double beta = 105.8334L * 3.141592L / 180;
    if constexpr (std::numeric_limits<long double>::digits == 106) {
        // A pair of doubles (ppc64el) rounds neither the text nor the product correctly.
        EXPECT_LE(std::fabs(window->hkl.cell.beta - beta), 1e-28L);
    } else {
        EXPECT_EQ(window->hkl.cell.beta, beta);
    }
    EXPECT_TRUE(ui.calls.empty());
}

// The refined cell is taken only while the result still describes the main window's table:
// after another file was read, the window used to open on the previous sample's cell under
// the new sample's crystal system.
TEST_F(HklWindow, TakesTheRefinedCellOnlyWhileTheResultDescribesTheTable) {
    Execute();
    ASSERT_TRUE(main->calc.resultValid);
    // Another sample, read from a file: the flag stays set, the result describes nothing.
    ObservationFileContents other;
    other.count = 2;
    other.crystalSystem = kCubic;
    other.rows = {{" 3.1356", " 1", " 1", " 1", ""}, {" 1.9201", " 2", " 2", " 0", ""}};
    other.sampleName = "Si";
    ApplyObservationFile(main->calc, main->edit1, other);
    ShowCrystalSystem(*main);
    EXPECT_TRUE(main->calc.resultValid);
    ASSERT_TRUE(Open());
    EXPECT_EQ(CellValues(), kNoValues);
    EXPECT_EQ(RangeTexts(), kNoRange);
    EXPECT_TRUE(window->hkl.table.empty());
    EXPECT_EQ(window->label5, "Cubic");
    // A changed row or crystal system of the same sample also ends it; running again
    // brings the new cell.
    N4Click(*main, ui);
    ASSERT_TRUE(Open());
    EXPECT_EQ(CellValues()[0], "    5.4309");
    main->calc.table.Cell(0, 2) = " 1.92";
    ASSERT_TRUE(Open());
    EXPECT_EQ(CellValues(), kNoValues);
    N4Click(*main, ui);
    Hexagonal1Click(*main, ui);
    ASSERT_TRUE(Open());
    EXPECT_EQ(CellValues(), kNoValues);
}

// Numbers typed into the cell grid that describe no cell are refused with the same
// message the command-line tool gives, for the range and for the table.
TEST_F(HklWindow, RefusesNumbersThatDescribeNoCell) {
    for (const char* lang : {"e", "j"}) {
        main->settings.lang = lang;
        ui.calls.clear();
        ScriptCellDialog({"5", "5", "5", "120", "120", "120"});
        ASSERT_TRUE(Open());
        ASSERT_TRUE(Run(N10Click));  // typed in the cell dialog
        EXPECT_EQ(CellValues()[3], "  120");
        ASSERT_TRUE(Run(N12Click));
        const std::string message =
            main->settings.lang == "e" ? kNotACellText.en : kNotACellText.ja;
        EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{message});
        EXPECT_EQ(RangeTexts(), kNoRange);
        ui.calls.clear();
        window->hkl.range = {-3, 3, -3, 3, -3, 3};
        ASSERT_TRUE(Run(N2Click));
        EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{message});
        EXPECT_TRUE(window->hkl.table.empty());
        ui.cellDialog = nullptr;
        window->hkl = HklState{};
    }
}

TEST_F(HklWindow, ReopeningWithoutAResultEmptiesTheGridsButKeepsCellAndRange) {
    Execute();
    ASSERT_TRUE(Open());
    main->calc.resultValid = false;  // the table was cleared meanwhile
    ASSERT_TRUE(Open());
    EXPECT_EQ(CellValues(), kNoValues);
    EXPECT_EQ(RangeTexts(), kNoRange);
    EXPECT_TRUE(window->hkl.table.empty());
    EXPECT_EQ(window->hkl.grid_rows, 549);  // the row count stays
    EXPECT_EQ(window->hkl.cell.a, 9.753L);
    EXPECT_EQ(window->hkl.range.hmax, 7);
    // A range computed now reads the empty cell grid through the dialog.
    ScriptCellDialog({"4", "4", "4", "90", "90", "90"});
    ASSERT_TRUE(Run(N12Click));
    EXPECT_EQ(ui.windows, std::vector<SecondaryWindow>{SecondaryWindow::TForm8});
    EXPECT_EQ(RangeTexts(),
              (std::vector<std::string>{"   -3", "   3", "   -3", "   3", "   -3", "   3"}));
    EXPECT_EQ(CellValues(),
              (std::vector<std::string>{"    4", "    4", "    4", "   90", "   90", "   90"}));
}

TEST_F(HklWindow, SystemLabelShortensOnlyTheLongCubicName) {
    const struct {
        const char* label3;
        const char* label5;
    } cases[] = {
        {"等軸晶系(立方晶系)", "等軸晶系"},
        {"Cubic", "Cubic"},
        {"単斜晶系(β≠90)", "単斜晶系(β≠90)"},
        {"", ""},
    };
    for (const auto& c : cases) {
        main->label3 = c.label3;
        ASSERT_TRUE(Open());
        EXPECT_EQ(window->label5, c.label5);
    }
}

TEST_F(HklWindow, RangeChoiceSetsTheCheckMarks) {
    const struct {
        const char* stored;
        bool n16, n17;
    } cases[] = {{"all", true, false}, {"asym", false, true}, {"other", false, true}};
    for (const auto& c : cases) {
        main->settings.hklRange = c.stored;
        ASSERT_TRUE(Open());
        EXPECT_EQ(window->n16Checked, c.n16) << c.stored;
        EXPECT_EQ(window->n17Checked, c.n17) << c.stored;
    }
    ASSERT_TRUE(Run(N16Click));
    EXPECT_EQ(main->settings.hklRange, "all");
    EXPECT_TRUE(window->n16Checked);
    EXPECT_FALSE(window->n17Checked);
    ASSERT_TRUE(Run(N17Click));
    EXPECT_EQ(main->settings.hklRange, "asym");
    EXPECT_FALSE(window->n16Checked);
    EXPECT_TRUE(window->n17Checked);
}

// --- Lattice centring ------------------------------------------------------------------

std::vector<Centring> Checked(const HklWindowState& window) {
    std::vector<Centring> checked;
    for (std::size_t i = 0; i < window.latticeChecked.size(); ++i)
        if (window.latticeChecked[i]) checked.push_back(static_cast<Centring>(i));
    return checked;
}

TEST_F(HklWindow, LatticeMenuChecksTheStoredCentring) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(Checked(*window), std::vector<Centring>{Centring::P});  // the default
    EXPECT_EQ(window->latticeCaptions[0], "P  primitive");
    EXPECT_EQ(window->latticeCaptions[4], "I  body centred");
    main->settings.lattice = Centring::R;
    main->settings.lang = "j";
    ASSERT_TRUE(Open());
    EXPECT_EQ(Checked(*window), std::vector<Centring>{Centring::R});
    EXPECT_EQ(window->latticeCaptions[5], "F  面心格子");
    ASSERT_TRUE(RunCommand(ui, [&] { LatticeClick(*window, ui, Centring::C); }));
    EXPECT_EQ(main->settings.lattice, Centring::C);
    EXPECT_EQ(Checked(*window), std::vector<Centring>{Centring::C});
    EXPECT_TRUE(ui.calls.empty());
}

// The monoclinic example is C2/c: with C the next Calculate lists only h + k even, and the
// copy holds those rows; back at P the table is the one of before, row for row.
TEST_F(HklWindow, LatticeCentringTakesEffectAtTheNextCalculate) {
    Execute();
    ASSERT_TRUE(Open());
    const HklTable primitive = window->hkl.table;
    ASSERT_EQ(primitive.size(), 548u);
    ASSERT_TRUE(RunCommand(ui, [&] { LatticeClick(*window, ui, Centring::C); }));
    EXPECT_EQ(window->hkl.table.size(), 548u);  // the table on screen stays
    ASSERT_TRUE(Run(N2Click));
    std::vector<std::string> expected;
    for (const HklReflection& r : primitive) {
        if ((r.h + r.k) % 2 == 0) expected.push_back(HklLine(r));
    }
    std::vector<std::string> centred;
    for (const HklReflection& r : window->hkl.table)
        centred.push_back(HklLine(r));
    EXPECT_EQ(centred, expected);
    EXPECT_EQ(window->hkl.grid_rows, static_cast<int>(expected.size()) + 1);

    ASSERT_TRUE(Run(N15Click));
    std::istringstream copy(ui.clipboardText);
    std::vector<std::string> lines;
    for (std::string line; std::getline(copy, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    EXPECT_EQ(lines, expected);

    ASSERT_TRUE(RunCommand(ui, [&] { LatticeClick(*window, ui, Centring::P); }));
    ASSERT_TRUE(Run(N2Click));
    ASSERT_EQ(window->hkl.table.size(), primitive.size());
    for (std::size_t i = 0; i < primitive.size(); ++i)
        ASSERT_EQ(HklLine(window->hkl.table[i]), HklLine(primitive[i])) << i;
}

// A space group leaves out its glide and screw absences too: the example's C 2/c keeps of
// the primitive table exactly the h + k even reflections without h 0 l, l odd; a centring
// item brings the plain centring back.
TEST_F(HklWindow, SpaceGroupLeavesOutItsAbsencesAndACentringClearsIt) {
    Execute();
    ASSERT_TRUE(Open());
    const HklTable primitive = window->hkl.table;
    ui.inputs.push_back("15");
    ASSERT_TRUE(Run(SpaceGroupClick));
    EXPECT_EQ(window->spaceGroup, "C 1 2/c 1");
    EXPECT_EQ(main->settings.lattice, Centring::C);
    EXPECT_EQ(window->latticeChecked, (std::array<bool, 7>{}));
    ASSERT_TRUE(Run(N2Click));
    std::vector<std::string> expected, shown;
    for (const HklReflection& r : primitive) {
        if ((r.h + r.k) % 2 == 0 && !(r.k == 0 && r.l % 2 != 0)) expected.push_back(HklLine(r));
    }
    for (const HklReflection& r : window->hkl.table)
        shown.push_back(HklLine(r));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(window->hkl.grid_rows, static_cast<int>(expected.size()) + 1);
    EXPECT_EQ(window->latticeShown, "C 1 2/c 1");

    ASSERT_TRUE(RunCommand(ui, [&] { LatticeClick(*window, ui, Centring::P); }));
    EXPECT_TRUE(window->spaceGroup.empty());
    ASSERT_TRUE(Run(N2Click));
    EXPECT_EQ(window->hkl.table.size(), primitive.size());
}

// Groups refused with their reason, in the setting of the main window's crystal system.
TEST_F(HklWindow, SpaceGroupMustBeKnownAndOfTheCrystalSystem) {
    const struct {
        int system;
        const char* typed;
        const char* group;    // accepted: gemmi's symbol; refused: empty
        const char* message;  // refused: the message in Japanese
    } cases[] = {
        {kMonoclinicBeta, "P 21/c", "P 1 21/c 1", ""},
        {kMonoclinicGamma, "14", "", "空間群 P 1 21/c 1 は結晶系 単斜晶系(γ≠90) に属しません"},
        {kMonoclinicGamma, "P 1 1 21/b", "P 1 1 21/b", ""},
        {kTrigonal, "R-3c", "R -3 c:R", ""},
        {kHexagonal, "R-3c", "R -3 c:H", ""},
        {kCubic, "Fd-3m", "F d -3 m:1", ""},
        {kCubic, "P 63/mmc", "", "空間群 P 63/m m c は結晶系 等軸晶系(立方晶系) に属しません"},
        {kTetragonal, "Q 42", "", "その番号か記号の空間群はありません"},
    };
    main->settings.lang = "j";
    ASSERT_TRUE(Open());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        main->calc.crystalSystem = c.system;
        window->spaceGroup.clear();
        ui.calls.clear();
        ui.inputs.push_back(c.typed);
        ASSERT_TRUE(Run(SpaceGroupClick));
        EXPECT_EQ(window->spaceGroup, c.group);
        const auto messages = ui.Texts(test::Call::Message);
        EXPECT_EQ(messages,
                  *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    }
}

// --- Captions ----------------------------------------------------------------------------

TEST_F(HklWindow, CaptionsAndFixedTextsFollowTheLanguage) {
    const struct {
        HklControl control;
        const char* en;
        const char* ja;
    } captions[] = {
        {HklControl::TForm7, "hkl Table", "指数表の計算"},
        {HklControl::N1, "Make hkl Table", "表の計算"},
        {HklControl::N2, "Calculate", "表の計算"},
        {HklControl::N4, "Sort", "ソート"},
        {HklControl::N15, "Send to ClipBoard", "クリップボードに出力"},
        {HklControl::N8, "Redistribute Indices", "指数再配布"},
        {HklControl::N19, "Close", "戻る"},
        {HklControl::N5, "Select X-Ray", "X線選択"},
        {HklControl::N6, "A", "Å"},
        {HklControl::N9, "Cell Constant", "格子定数"},
        {HklControl::N10, "Correct Cell Constant", "格子定数修正"},
        {HklControl::N11, "Range", "範囲指定"},
        {HklControl::N12, "Set hkl Range", "指数範囲"},
        {HklControl::N16, "すべての指数を計算", "すべての指数を計算"},
        {HklControl::N17, "非対称単位内の指数を計算", "非対称単位内の指数を計算"},
        {HklControl::N13, "Set Minimum d-Value", "最小ｄ値"},
        {HklControl::Label1, "Cell Constant ", "格子定数"},
        {HklControl::Label2, "hkl Range ", "指数範囲"},
        {HklControl::Label3, "minimum d ", "最小ｄ値"},
        {HklControl::Label4, "System ", "結晶系"},
        {HklControl::Label6, "X-Ray", "X線の種類と波長"},
        {HklControl::Lattice1, "Lattice Centring", "格子の型"},
        {HklControl::SpaceGroup1, "Space Group...", "空間群..."},
    };
    static_assert(std::size(captions) == kHklControlCount);
    const struct {
        const char* code;
        std::vector<std::string> cellLabels, rangeHeader;
    } languages[] = {
        {"e",
         {"  a  ", "  b  ", "  c  ", " alfa ", " beta", " ganma  "},
         {"    ", "   min.", "   max.  ", ""}},
        {"j",
         {"    a  ", "    b  ", "    c  ", "   α  ", "   β  ", "   γ  "},
         {"  ", "  最小", "  最大  ", ""}},
    };
    for (const auto& language : languages) {
        main->settings.lang = language.code;
        ASSERT_TRUE(Open());
        const bool ja = language.code == std::string("j");
        for (const auto& c : captions) {
            EXPECT_EQ(window->Caption(c.control), ja ? c.ja : c.en)
                << HklControlName(c.control) << " " << language.code;
        }
        std::vector<std::string> cellLabels, rangeHeader, rangeLabels;
        for (const auto& row : window->cellGrid)
            cellLabels.push_back(row[0]);
        for (const std::string& text : window->rangeGrid[0])
            rangeHeader.push_back(text);
        for (std::size_t row = 1; row < 4; ++row)
            rangeLabels.push_back(window->rangeGrid[row][0]);
        EXPECT_EQ(cellLabels, language.cellLabels);
        EXPECT_EQ(rangeHeader, language.rangeHeader);
        EXPECT_EQ(rangeLabels, (std::vector<std::string>{"   h ", "   k ", "   l "}));
    }
    EXPECT_EQ(std::vector<std::string>(kHklTableHeader.begin(), kHklTableHeader.end()),
              (std::vector<std::string>{"    d ", "  h ", "  k ", "  l ", "    2θ"}));
}

// --- Wavelength and minimum d -----------------------------------------------------------------

TEST_F(HklWindow, PresetChangesTheWavelengthAndRangeButNotTheTable) {
    Execute();
    ASSERT_TRUE(Open());
    const HklTable before = window->hkl.table;
    const std::uint64_t version = window->tableVersion;
    ASSERT_TRUE(RunCommand(ui, [&] { PresetClick(*window, ui, 6); }));  // Mo-Ka
    EXPECT_EQ(window->label8, "0.710678");
    EXPECT_EQ(window->label7, "Mo-Ka");
    EXPECT_EQ(main->settings.xRay, "Mo-Ka");
    EXPECT_EQ(main->settings.lamda, 0.710678L);
    EXPECT_EQ(RangeTexts(), kRefinedRange);
    EXPECT_EQ(window->tableVersion, version);
    ASSERT_EQ(window->hkl.table.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        ASSERT_EQ(CopyHklTable({before[i]}, 2), CopyHklTable({window->hkl.table[i]}, 2));
    // Every preset, in menu order.
    const char* names[] = {"Cu-Ka", "Cu-Ka1", "Fe-Ka", "Fe-Ka1",
                           "Cr-Ka", "Cr-Ka1", "Mo-Ka", "Mo-Ka1"};
    const char* shown[] = {"1.54178", "1.5405",  "1.93733",  "1.93597",
                           "2.29099", "2.28962", "0.710678", "0.70926"};
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(RunCommand(ui, [&] { PresetClick(*window, ui, i); }));
        EXPECT_EQ(window->label7, names[i]);
        EXPECT_EQ(window->label8, shown[i]);
    }
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(HklWindow, TypedWavelengthShowsTheTextAsTyped) {
    for (const char* code : {"e", "j"}) {
        main->settings.lang = code;
        ui.inputs = {"1.5406 "};
        ASSERT_TRUE(Run(N6Click));
        EXPECT_EQ(window->label8, "1.5406 ");
        EXPECT_EQ(window->label7, " Set W.L.");
        EXPECT_EQ(main->settings.xRay, " Set W.L.");
        EXPECT_EQ(main->settings.lamda, 1.5406L);
    }
    EXPECT_EQ(ui.Texts(Call::Input),
              (std::vector<std::string>{"X-Ray Wave Length|Input Wave Length ",
                                        "Ｘ線波長|Ｘ線の波長を入力してください"}));
}

constexpr const char* kWavelengthRange = "The X-ray wavelength must be a number from 0.01 to 100 Å";

TEST_F(HklWindow, RefusedWavelengthKeepsTheOldOne) {
    Execute();
    ASSERT_TRUE(Open());
    const long double lambda = main->settings.lamda;
    const struct {
        const char* typed;
        Call call;
        const char* text;
    } cases[] = {
        {"", Call::Error, kEmptyNumber},  // also Cancel
        {"1,5", Call::Error, "'1,5' は浮動小数点数ではありません."},
        {"0", Call::Message, kWavelengthRange},
        {"-1.5", Call::Message, kWavelengthRange},
        {"1e-999", Call::Message, kWavelengthRange},  // every 2θ 0.00 before
        {"100.01", Call::Message, kWavelengthRange},
    };
    for (const auto& c : cases) {
        ui.calls.clear();
        ui.inputs = {c.typed};
        Run(N6Click);
        EXPECT_EQ(ui.Texts(c.call), std::vector<std::string>{c.text}) << c.typed;
        EXPECT_EQ(main->settings.lamda, lambda);
        EXPECT_EQ(window->label8, "1.54178");
        EXPECT_EQ(window->label7, "Cu-Ka");
        EXPECT_EQ(main->settings.xRay, "Cu-Ka");
    }
}

TEST_F(HklWindow, MinimumDFromTheInputBox) {
    Execute();
    ASSERT_TRUE(Open());
    ui.inputs = {"2.5"};
    ASSERT_TRUE(Run(N13Click));
    EXPECT_EQ(window->label10, "2.5");
    EXPECT_EQ(main->settings.dMin, 2.5L);
    // trunc(9.753 ÷ 2.5) + 1 = 4, trunc(8.9326 ÷ 2.5) + 1 = 4, trunc(5.2553 ÷ 2.5) + 1 = 3.
    EXPECT_EQ(RangeTexts(),
              (std::vector<std::string>{"   -4", "   4", "   -4", "   4", "   -3", "   3"}));
    ui.inputs = {""};  // Cancel
    ASSERT_TRUE(Run(N13Click));
    EXPECT_EQ(window->label10, "  1.5");
    EXPECT_EQ(main->settings.dMin, 1.5L);
    EXPECT_EQ(RangeTexts(), kRefinedRange);
    for (const char* typed : {"x", "0", "-2"}) {
        ui.inputs = {typed};
        Run(N13Click);
        EXPECT_EQ(window->label10, "  1.5");
        EXPECT_EQ(main->settings.dMin, 1.5L);
    }
    EXPECT_EQ(ui.Texts(Call::Error), std::vector<std::string>{"'x' は浮動小数点数ではありません."});
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>(2, "The minimum d-value must be greater than 0"));
    EXPECT_EQ(ui.Texts(Call::Input),
              std::vector<std::string>(5, "Minimum d-Value|Input minimum d-Value"));
}

// A range refused as too large for the new minimum d drops the old one: Calculate must not
// list the new minimum d over the old, smaller range and miss reflections without a word.
TEST_F(HklWindow, ARangeRefusedAsTooLargeLeavesNoRange) {
    Execute();
    ASSERT_TRUE(Open());
    ui.calls.clear();
    ui.inputs = {"0.01"};
    ASSERT_TRUE(Run(N13Click));
    const std::string tooLarge =
        "The hkl range holds more than 2,000,000,000 indices: set a larger minimum d-value";
    EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{tooLarge});
    EXPECT_EQ(window->hkl.range.hmax, 0);
    EXPECT_EQ(RangeTexts(), kNoRange);
    ui.calls.clear();
    ASSERT_TRUE(Run(N2Click));
    EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{"Set hkl range "});
    EXPECT_TRUE(window->hkl.table.empty());
    // A minimum d the range can cover brings it back.
    ui.inputs = {"1.5"};
    ASSERT_TRUE(Run(N13Click));
    EXPECT_EQ(RangeTexts(), kRefinedRange);
}

TEST_F(HklWindow, MinimumDWithoutACellLeavesTheRangeAlone) {
    main->settings.lang = "j";
    ui.inputs = {"2"};
    ASSERT_TRUE(Run(N13Click));
    EXPECT_EQ(window->label10, "2");
    EXPECT_EQ(window->hkl.range.hmax, 0);
    EXPECT_EQ(ui.Texts(Call::Input),
              std::vector<std::string>{"計算範囲の指定|最小のｄ値を入力してください"});
    EXPECT_TRUE(ui.Texts(Call::Message).empty());
}

// --- Range, Calculate, Sort, Copy ------------------------------------------------------------

TEST_F(HklWindow, RangeAndCalculateNeedACellAndARange) {
    for (const char* code : {"e", "j"}) {
        main->settings.lang = code;
        ASSERT_TRUE(Open());
        ui.calls.clear();
        ASSERT_TRUE(Run(N12Click));  // no cell read yet
        ASSERT_TRUE(Run(N2Click));   // no a text
        EXPECT_EQ(RangeTexts(), kNoRange);
        EXPECT_EQ(window->hkl.grid_rows, 30);
        EXPECT_TRUE(ui.windows.empty());
        const std::string expected =
            code == std::string("e") ? "Set Cell Constant" : "格子定数を設定してください";
        EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>(2, expected));
    }
    // A cell from the dialog, but no range yet.
    ScriptCellDialog({"4", "4", "4", "90", "90", "90"});
    ASSERT_TRUE(Run(N10Click));
    ui.calls.clear();
    ASSERT_TRUE(Run(N2Click));
    EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{"指数範囲を設定してください"});
    main->settings.lang = "e";
    ui.calls.clear();
    ASSERT_TRUE(Run(N2Click));
    EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{"Set hkl range "});
    EXPECT_TRUE(window->hkl.table.empty());
    EXPECT_EQ(window->hkl.grid_rows, 30);
}

TEST_F(HklWindow, CopyOfThreeReflectionsGivesTwentyNineLines) {
    main->calc.crystalSystem = kCubic;
    main->settings.hklRange = "asym";
    main->settings.dMin = 2.1L;
    ASSERT_TRUE(Open());
    ScriptCellDialog({"4", "4", "4", "90", "90", "90"});
    ASSERT_TRUE(Run(N10Click));
    ASSERT_TRUE(Run(N12Click));
    ASSERT_TRUE(Run(N2Click));
    ASSERT_EQ(window->hkl.table.size(), 3u);
    ASSERT_TRUE(Run(N15Click));
    ASSERT_EQ(ui.Texts(Call::SetClipboard).size(), 1u);
    const std::string text = ui.clipboardText;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size());  // the last line ends in CR LF too
    ASSERT_EQ(lines.size(), 29u);
    EXPECT_EQ(lines[0], "   4.0000  0  0  1  22.22");
    EXPECT_EQ(lines[1], "   2.8284  1  1  0  31.63");
    EXPECT_EQ(lines[2], "   2.3094  1  1  1  39.00");
    for (std::size_t i = 3; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], "") << i;
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);  // no bare LF
}

TEST_F(HklWindow, SortReportsItsProgressAndOrdersByD) {
    Execute();
    ASSERT_TRUE(Open());
    const std::size_t n = window->hkl.table.size();
    ASSERT_TRUE(Run(N4Click));
    EXPECT_EQ(ui.Texts(Call::Progress),
              (std::vector<std::string>{"begin " + std::to_string(n - 1), "at 0",
                                        "at " + std::to_string(n - 1), "end"}));
    const HklTable& table = window->hkl.table;
    EXPECT_EQ(Cell(0, 0) + Cell(0, 1) + Cell(0, 2) + Cell(0, 3) + Cell(0, 4),
              "   9.3830 -1  0  0   9.43");
    for (std::size_t i = 1; i < table.size(); ++i)
        ASSERT_GE(table[i - 1].d_key, table[i].d_key);
}

// Calculate, Sort and Send to ClipBoard show the busy pointer while they work: the progress
// and the clipboard within it, any message after it.
TEST_F(HklWindow, LongCommandsShowTheBusyPointer) {
    Execute();
    ASSERT_TRUE(Open());
    EXPECT_EQ(ui.busySpells, 1);  // the opening's table
    for (auto command : {N2Click, N4Click, N15Click}) {
        ui.busySpells = 0;
        ui.callsWhileBusy.clear();
        ASSERT_TRUE(Run(command));
        EXPECT_EQ(ui.busySpells, 1);
        EXPECT_EQ(ui.busyDepth, 0);
    }
    EXPECT_EQ(ui.callsWhileBusy, std::vector<Call>{Call::SetClipboard});
    ui.callsWhileBusy.clear();
    ASSERT_TRUE(Run(N4Click));
    EXPECT_EQ(ui.callsWhileBusy, std::vector<Call>(4, Call::Progress));

    // A table beyond the window's limit is refused after counting; the message comes with
    // the ordinary pointer.
    ui.calls.clear();
    ui.callsWhileBusy.clear();
    ui.inputs = {"0.05", "0.04"};  // about 29 million reflections
    ASSERT_TRUE(Run(N6Click));
    ASSERT_TRUE(Run(N13Click));
    ASSERT_TRUE(Run(N2Click));
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{"The table would hold more than 20,000,000 reflections: "
                                       "set a larger minimum d-value"});
    EXPECT_TRUE(ui.callsWhileBusy.empty());
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_TRUE(window->hkl.table.empty());
    EXPECT_EQ(window->hkl.grid_rows, 30);
}

TEST_F(HklWindow, SortOfAnEmptyTableDoesNothing) {
    ASSERT_TRUE(Open());
    const std::uint64_t version = window->tableVersion;
    ASSERT_TRUE(Run(N4Click));
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(window->tableVersion, version);
}

TEST(HklTableScrolling, CurrentRowFollowsTheVisibleRows) {
    const struct {
        int current, top, visible;
        std::optional<int> after;
    } cases[] = {
        {1, 1, 27, std::nullopt},   // visible
        {27, 1, 27, std::nullopt},  // last fully visible row
        {28, 1, 27, std::nullopt},  // just below: not more than 27 rows below the top
        {29, 1, 27, 1},             // further below: to the top row
        {5, 10, 27, 36},            // above the top: to the last fully visible row
        {9, 10, 27, 36},
        {10, 10, 27, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RowAfterScroll(c.current, c.top, c.visible), c.after)
            << c.current << " " << c.top;
    }
}

// --- The cell dialog ------------------------------------------------------------------------

class CellDialog : public HklWindow {
  protected:
    void Type(std::array<std::string, 6> values) {
        for (std::size_t row = 0; row < values.size(); ++row)
            dialog.grid[row][1] = values[row];
    }
    bool Enter() {
        return RunCommand(ui, [&] { StringGrid1Enter(dialog, ui); });
    }
    bool Close() {
        return RunCommand(ui, [&] { BitBtn1Click(dialog, *window, ui); });
    }
    std::vector<std::string> Values() const {
        std::vector<std::string> values;
        for (const auto& row : dialog.grid)
            values.push_back(row[1]);
        return values;
    }
};

TEST_F(CellDialog, OpensWithTheWindowsLabelsAndValues) {
    Execute();
    main->settings.lang = "j";
    ASSERT_TRUE(Open());
    FormShow(dialog, *window);
    EXPECT_EQ(dialog.grid, window->cellGrid);
    EXPECT_EQ(dialog.grid[3][0], "   α  ");
    EXPECT_EQ(dialog.grid[0][1], "    9.753");
    EXPECT_EQ(dialog.row, 0);
    EXPECT_TRUE(dialog.focusRequested);
    EXPECT_EQ(dialog.title, "格子定数");
    EXPECT_EQ(dialog.label7, "格子定数の入力");
    EXPECT_EQ(dialog.bitBtn1, "戻る");
    // From an empty window: six empty values.
    main->calc.resultValid = false;
    main->settings.lang = "e";
    ASSERT_TRUE(Open());
    FormShow(dialog, *window);
    EXPECT_EQ(Values(), kNoValues);
    EXPECT_EQ(dialog.grid[5][0], " ganma  ");
    EXPECT_EQ(dialog.title, "Cell Constant");
    EXPECT_EQ(dialog.label7, "Input Cell Constant");
    EXPECT_EQ(dialog.bitBtn1, "Close");
}

TEST_F(CellDialog, EnterReformatsEveryRowAndMovesOn) {
    ASSERT_TRUE(Open());
    FormShow(dialog, *window);
    Type({"5.430", " 12.5 ", "0.5", "90", "105.2", "99.99"});
    ASSERT_TRUE(Enter());
    EXPECT_EQ(Values(), (std::vector<std::string>{"   5.430", "  12.5", "   0.5", "  90", " 105.2",
                                                  "  99.99"}));
    EXPECT_EQ(dialog.row, 1);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(Enter());
    EXPECT_EQ(dialog.row, 5);
    ASSERT_TRUE(Enter());
    EXPECT_EQ(dialog.row, 0);                     // after the last row, the first
    EXPECT_EQ(Values()[0], "   5.430");           // the blanks do not pile up
    EXPECT_TRUE(window->cellGrid[0][1].empty());  // nothing reaches the window yet
}

TEST_F(CellDialog, EnterStopsAtTheFirstRowThatIsNoNumber) {
    ASSERT_TRUE(Open());
    FormShow(dialog, *window);
    dialog.row = 2;
    Type({"5.43", "5.43", "5.43x", "", "90", "90"});
    EXPECT_FALSE(Enter());
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{"'5.43x' は浮動小数点数ではありません."});
    EXPECT_EQ(Values(), (std::vector<std::string>{"   5.43", "   5.43", "5.43x", "", "90", "90"}));
    EXPECT_EQ(dialog.row, 2);
    // An empty later row is reported too.
    dialog.grid[2][1] = "5.43";
    EXPECT_FALSE(Enter());
    EXPECT_EQ(ui.Texts(Call::Error).back(), kEmptyNumber);
}

TEST_F(CellDialog, CloseStoresTheCellAndCopiesTheReformattedValues) {
    ASSERT_TRUE(Open());
    FormShow(dialog, *window);
    Type({"5.430", "5.430", "5.430", "90", "105.2", "90"});
    ASSERT_TRUE(Enter());
    EXPECT_EQ(dialog.grid[0][1], "   5.430");
    EXPECT_EQ(dialog.grid[4][1], " 105.2");
    ASSERT_TRUE(Close());
    const std::vector<std::string> expected = {"    5.43", "    5.43", "    5.43",
                                               "   90",    "  105.2",  "   90"};
    EXPECT_EQ(Values(), expected);
    EXPECT_EQ(CellValues(), expected);
    EXPECT_EQ(window->hkl.cell.a, 5.43L);
    EXPECT_EQ(window->hkl.cell.beta, 105.2L * 3.141592L / 180);
    EXPECT_TRUE(dialog.closeRequested);
    EXPECT_TRUE(ui.calls.empty());
    // The range and the table wait for their own commands.
    EXPECT_EQ(RangeTexts(), kNoRange);
    EXPECT_TRUE(window->hkl.table.empty());
}

TEST_F(CellDialog, CloseWithoutAStoresNothing) {
    Execute();
    ASSERT_TRUE(Open());
    const HklCell before = window->hkl.cell;
    const auto windowGrid = window->cellGrid;
    FormShow(dialog, *window);
    dialog.grid[0][1].clear();
    EXPECT_FALSE(Close());
    EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{"Input Cell Constants"});
    EXPECT_EQ(ui.Texts(Call::Error), std::vector<std::string>{kEmptyNumber});
    EXPECT_EQ(ui.calls.front().call, Call::Message);  // the message comes first
    EXPECT_EQ(window->hkl.cell.a, before.a);
    EXPECT_EQ(window->hkl.cell.gamma, before.gamma);
    EXPECT_EQ(window->cellGrid, windowGrid);
    EXPECT_FALSE(dialog.closeRequested);
    main->settings.lang = "j";
    EXPECT_FALSE(Close());
    EXPECT_EQ(ui.Texts(Call::Message).back(), "格子定数を入力してください");
}

TEST_F(CellDialog, CloseWithABadLaterRowKeepsTheRowsBeforeIt) {
    ASSERT_TRUE(Open());
    FormShow(dialog, *window);
    Type({"6", "7", "8", "ninety", "90", "90"});
    EXPECT_FALSE(Close());
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{"'ninety' は浮動小数点数ではありません."});
    // Stored one at a time: a, b and c are the current cell's already.
    EXPECT_EQ(window->hkl.cell.a, 6);
    EXPECT_EQ(window->hkl.cell.c, 8);
    EXPECT_EQ(window->hkl.cell.alpha, 0);
    EXPECT_EQ(CellValues(), kNoValues);  // nothing copied
    EXPECT_FALSE(dialog.closeRequested);
}

}  // namespace
}  // namespace dorvalix
