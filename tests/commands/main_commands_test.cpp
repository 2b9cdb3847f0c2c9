// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

#include "crystal_system.h"
#include "errors.h"
#include "main_menu.h"
#include "scripted_ui.h"
#include "table_builder.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::Call;
using test::ReadText;
using test::ScriptedUi;
using test::TempDir;
using test::WriteText;

class MainCommands : public ::testing::Test {
  protected:
    TempDir dir;
    std::unique_ptr<MainState> state = std::make_unique<MainState>();
    ScriptedUi ui;

    // Starts the program as `executable` in the test folder, with a settings file holding
    // `settings` beside it (none when empty).
    void Start(const std::string& settings = "", const std::string& executable = "dorvalix") {
        if (!settings.empty()) WriteText(dir.Path("dorvalixini"), settings);
        FormCreate(*state, dir.Path(executable));
    }
    bool Run(MainCommand command) {
        return RunCommand(ui, [&] { command(*state, ui); });
    }
    void SetLanguage(Lang lang) {
        lang == Lang::Japanese ? ApplyJapaneseCaptions(*state) : ApplyEnglishCaptions(*state);
    }
    std::string Cell(int col, int row) const { return state->calc.table.Cell(col, row); }
};

// --- Captions and language -----------------------------------------------------------

struct CaptionRow {
    Control control;
    const char* en;
    const char* ja;
};

const CaptionRow kCaptionTable[] = {
    {Control::TForm1, "Dorvalix", "Dorvalix[格子定数の計算]"},
    {Control::Label7, "Sample", "試 料 名"},
    {Control::Label5, "File ", "ファイル"},
    {Control::Label4, "System", "結 晶 系"},
    {Control::Label1, "Reciprocal Lattice Parameters", "逆格子定数と標準偏差"},
    {Control::Label2, "Lattice Parameters", "格子定数と標準偏差"},
    {Control::Label8, "Residual", "残差二乗和"},
    {Control::N2, "  File  ", "ファイル"},
    {Control::Read1, "Read from File", "d値と指数の読込み"},
    {Control::Write1, "Write to File", "d値と指数の保存"},
    {Control::Exceld1, "Read Excel data through ClipBoard",
     "クリップボードからExcelデータの読み込み"},
    {Control::OpenPattern1, "Open Pattern...", "回折パターンを開く..."},
    {Control::N10, "Print", "印　刷"},
    {Control::N11, "Printer Setup", "プリンターセットアップ"},
    {Control::N18, "Save Results to File", "結果をファイルに出力"},
    {Control::N22, "Send Results to ClipBoard", "結果をクリップボードに出力"},
    {Control::Exit1, "Exit", "終　了"},
    {Control::N1, "Crystal System", "結晶系"},
    {Control::Cibic1, "Cubic", "等軸晶系"},
    {Control::tetragonal1, "Tetragonal", "正方晶系"},
    {Control::Orthorhombic1, "Orthorhombic", "斜方晶系"},
    {Control::trigonal, "Trigonal", "三方晶系"},
    {Control::Hexagonal1, "Hexagonal", "六方晶系"},
    {Control::Monoclinic901, "Monoclinic(beta<>90)", "単斜晶系(β≠90)"},
    {Control::Monoclinic902, "Monoclinic(gamma<>90)", "単斜晶系(γ≠90)"},
    {Control::Triclinic1, "Triclinic", "三斜晶系"},
    {Control::N14, "  Data  ", " デ － タ  "},
    {Control::N15, "Delete One Data ", "１行削除 "},
    {Control::N16, "Sort ", "ソ－ト "},
    {Control::N17, "Clear ", "クリヤ－ "},
    {Control::N20, "Exclude　", "１行除外　"},
    {Control::N21, "Include  ", "除外解除　"},
    {Control::AssignIndices1, "Assign Indices from Cell...", "格子定数から指数を付ける..."},
    {Control::N3, " Calculation ", " 計　算 "},
    {Control::N4, "Execute ", "実　行 "},
    {Control::hkld1, "hkl Table", "h,k,l 表の作成"},
    {Control::Details1, "Refinement Details...", "精密化の詳細..."},
    {Control::Indexing1, "Indexing...", "指数付け..."},
    {Control::N7, " About Dorvalix ", " 説　明 "},
    {Control::N8, "How to use ", "説　明 "},
    {Control::N9, "Version ", "バージョン情報 "},
    {Control::dorvalix1, "Dorvalix Home Page ", "Dorvalix ホームページ"},
    {Control::English1, "Language", "Language"},
    {Control::English2, "English", "English"},
    {Control::Japanese1, "Japanese", "Japanese"},
};

TEST_F(MainCommands, EachLanguageSetsEveryCaptionOfItsSet) {
    Start();
    for (const Lang lang : {Lang::English, Lang::Japanese, Lang::English}) {
        SetLanguage(lang);
        EXPECT_EQ(state->settings.lang, LangCode(lang));
        for (const CaptionRow& row : kCaptionTable) {
            EXPECT_EQ(state->Caption(row.control), lang == Lang::English ? row.en : row.ja)
                << ControlName(row.control);
        }
        const char* headers[] = {"  dobs.", " h ", " k ", " l ", "   Qo-Qc"};
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(Cell(c, 0), headers[c]);
    }
    EXPECT_EQ(std::size(kCaptionTable), static_cast<std::size_t>(kControlCount));
}

TEST_F(MainCommands, ResultGridRowLabelsFollowTheLanguage) {
    Start();
    const char* reciprocal[2][7] = {
        {"   a*  ", "   b*  ", "   c*  ", "  alfa*  ", "  beta*  ", "  ganma*  ", "   V*  "},
        {"   a*  ", "   b*  ", "   c*  ", "  α*  ", "  β*  ", "  γ*  ", "   V*  "}};
    const char* direct[2][7] = {
        {"    a  ", "    b  ", "    c  ", "   alfa  ", "   beta  ", "   ganma ", "    V  "},
        {"    a  ", "    b  ", "    c  ", "   α  ", "   β  ", "   γ  ", "    V  "}};
    for (const int j : {0, 1}) {
        SetLanguage(j ? Lang::Japanese : Lang::English);
        for (int r = 0; r < 7; ++r) {
            EXPECT_EQ(state->calc.panel.reciprocal[r][0], reciprocal[j][r]);
            EXPECT_EQ(state->calc.panel.direct[r][0], direct[j][r]);
        }
    }
}

TEST_F(MainCommands, FirstStartWithoutSettingsFileIsJapanese) {
    Start();
    EXPECT_EQ(state->settings.lang, "j");
    EXPECT_EQ(state->Caption(Control::TForm1), "Dorvalix[格子定数の計算]");
    EXPECT_EQ(state->settings.lamda, static_cast<long double>(1.54178));
    EXPECT_EQ(state->settings.dMin, 1.5L);
    EXPECT_EQ(state->settings.xRay, "Cu-Ka");
    EXPECT_EQ(state->settings.hklRange, "all");
    EXPECT_EQ(state->calc.crystalSystem, 0);
    EXPECT_EQ(state->label3, "");
    EXPECT_FALSE(state->calc.resultValid);
    EXPECT_EQ(state->edit2, " 001");
    EXPECT_EQ(state->currentRow, 0u);
    EXPECT_EQ(state->gridCurrent, (CellRef{0, 1}));
    EXPECT_EQ(state->panelCurrentRow, 8);
    EXPECT_FALSE(test::Exists(dir.Path("dorvalixini")));  // nothing is written at start
}

TEST_F(MainCommands, AStoredLanguageOtherThanJStartsInEnglishAndIsSavedAsE) {
    const struct {
        const char* stored;
        Lang start;
        const char* saved;
    } cases[] = {{"j", Lang::Japanese, "j"},
                 {"e", Lang::English, "e"},
                 {"E", Lang::English, "e"},
                 {"x", Lang::English, "e"},
                 {"", Lang::English, "e"}};
    for (const auto& c : cases) {
        state = std::make_unique<MainState>();
        Start(std::string("[Dorvalix]\nlang=") + c.stored + "\n");
        EXPECT_EQ(UiLang(*state), c.start) << c.stored;
        EXPECT_EQ(state->Caption(Control::N4), c.start == Lang::English ? "Execute " : "実　行 ");
        ui.answers = {true};
        Run(Exit1Click);
        EXPECT_NE(ReadText(dir.Path("dorvalixini")).find(std::string("lang=") + c.saved + "\n"),
                  std::string::npos)
            << c.stored;
    }
}

TEST_F(MainCommands, SwitchingTheLanguageKeepsTableResultsAndCounts) {
    Start();
    test::FillMonoclinicExample(state->calc);
    state->edit1 = "diopside";
    state->label6 = "diopside.lat";
    Run(N4Click);
    ASSERT_TRUE(state->calc.resultValid);
    const auto table = state->calc.table.rows;
    const auto panel = state->calc.panel;
    const auto counts = std::make_tuple(state->calc.table.filled, state->calc.table.excluded,
                                        state->calc.table.included);
    for (const MainCommand command : {English2Click, Japanese1Click, English2Click}) {
        Run(command);
        EXPECT_EQ(state->calc.table.rows, table);
        for (int r = 0; r < 9; ++r) {
            for (int c = 1; c < 3; ++c) {
                EXPECT_EQ(state->calc.panel.reciprocal[r][c], panel.reciprocal[r][c]);
                EXPECT_EQ(state->calc.panel.direct[r][c], panel.direct[r][c]);
            }
        }
        EXPECT_EQ(state->calc.panel.residual, panel.residual);
        EXPECT_EQ(std::make_tuple(state->calc.table.filled, state->calc.table.excluded,
                                  state->calc.table.included),
                  counts);
        EXPECT_TRUE(state->calc.resultValid);
        EXPECT_EQ(state->edit1, "diopside");
        EXPECT_EQ(state->label6, "diopside.lat");
        EXPECT_EQ(state->calc.crystalSystem, kMonoclinicBeta);
    }
    EXPECT_EQ(state->label3, "Monoclinic(beta<>90)");
    EXPECT_TRUE(ui.calls.empty());
}

// --- Crystal system ------------------------------------------------------------------

TEST_F(MainCommands, CrystalSystemItemsSetTheCodeAndTheLabel) {
    const struct {
        MainCommand command;
        int code;
        const char* en;
        int enWidth;
        const char* ja;
    } cases[] = {
        {Cibic1Click, 1, "Cubic", 177, "等軸晶系(立方晶系)"},
        {tetragonal1Click, 3, "Tetragonal", 177, "正方晶系"},
        {Orthorhombic1Click, 4, "Orthorhombic", 177, "斜方晶系"},
        {trigonalClick, 8, "Trigonal", 177, "三方晶系"},
        {Hexagonal1Click, 2, "Hexagonal", 177, "六方晶系"},
        {Monoclinic901Click, 5, "Monoclinic(beta<>90)", 201, "単斜晶系(β≠90)"},
        {Monoclinic902Click, 7, "Monoclinic(ganma<>90)", 201, "単斜晶系(γ≠90)"},
        {Triclinic1Click, 6, "Triclinic", 177, "三斜晶系"},
    };
    Start();
    for (const auto& c : cases) {
        Run(English2Click);
        Run(c.command);
        EXPECT_EQ(state->calc.crystalSystem, c.code);
        EXPECT_EQ(state->label3, c.en);
        EXPECT_EQ(state->label3Width, c.enWidth) << c.en;
        Run(Japanese1Click);
        EXPECT_EQ(state->label3, c.ja);
        EXPECT_EQ(state->label3Width, 177) << c.ja;
        Run(c.command);
        EXPECT_EQ(state->label3, c.ja);
    }
}

TEST_F(MainCommands, WithoutACrystalSystemTheLabelStaysEmptyInBothLanguages) {
    Start();
    Run(Triclinic1Click);
    for (const int code : {0, 9, -1}) {
        state->calc.crystalSystem = code;  // after Clear, or an odd code from a file
        Run(English2Click);
        EXPECT_EQ(state->label3, "");
        EXPECT_EQ(state->label3Width, 177);
        Run(Japanese1Click);
        EXPECT_EQ(state->label3, "");
    }
}

TEST_F(MainCommands, ChoosingACrystalSystemAfterARunKeepsTheResults) {
    Start();
    test::FillMonoclinicExample(state->calc);
    Run(N4Click);
    const ResultsPanel panel = state->calc.panel;
    Run(Cibic1Click);
    EXPECT_TRUE(state->calc.resultValid);
    EXPECT_EQ(state->calc.panel.reciprocal, panel.reciprocal);
    EXPECT_EQ(state->calc.panel.direct, panel.direct);
    EXPECT_EQ(state->calc.panel.residual, panel.residual);
}

// --- Execute -------------------------------------------------------------------------

TEST_F(MainCommands, ExecuteOnTheWorkedExampleFillsThePanel) {
    Start();
    Run(English2Click);
    test::FillMonoclinicExample(state->calc);
    for (int run = 0; run < 2; ++run) {  // a second run gives the same texts
        Run(N4Click);
        EXPECT_TRUE(ui.calls.empty());
        EXPECT_TRUE(state->calc.resultValid);
        const ResultsPanel& p = state->calc.panel;
        const auto& reciprocal = test::kExampleReciprocalCells;
        const auto& direct = test::kExampleDirectCells;
        for (int r = 0; r < 7; ++r) {
            for (int c = 0; c < 2; ++c) {
                EXPECT_EQ(p.reciprocal[r][c + 1], reciprocal[r][c]) << r << "," << c;
                EXPECT_EQ(p.direct[r][c + 1], direct[r][c]) << r << "," << c;
            }
        }
        EXPECT_EQ(p.residual, "0.00000011");
        EXPECT_EQ(Cell(0, 1), " 3.23");
        EXPECT_EQ(Cell(4, 1), " +0.00029");
        EXPECT_EQ(Cell(4, 2), " +0.00011");
        EXPECT_EQ(Cell(4, 7), " -0.00000");
        EXPECT_EQ(Cell(1, 1), " 2");
    }
}

struct Refusal {
    const char* name;
    std::function<void(CalculationState&)> setup;
    const char* en;
    const char* ja;
};

TEST_F(MainCommands, EachRefusalShowsItsMessageInTheCurrentLanguage) {
    const Refusal refusals[] = {
        {"empty table", [](CalculationState& c) { c.crystalSystem = kCubic; }, "Set Input Data",
         "デ－タが入力されていません"},
        {"no crystal system",
         [](CalculationState& c) {
             test::FillMonoclinicExample(c);
             c.crystalSystem = kNoSystem;
         },
         "Set Crystal System ", "結晶系が指定されていません"},
        {"one observation for cubic",
         [](CalculationState& c) {
             test::FillRows(c.table, {{"3.23", "2", "2", "0"}});
             c.crystalSystem = kCubic;
         },
         "Number of Data is not enough", "デ－タの数が足りません"},
        {"four included for monoclinic",
         [](CalculationState& c) {
             test::FillMonoclinicExample(c);
             for (const int r : {1, 2, 3})
                 c.table.Cell(4, r) = "  Exclude";
         },
         "Number of Data is not enough", "デ－タの数が足りません"},
        {"an empty index",
         [](CalculationState& c) {
             test::FillMonoclinicExample(c);
             c.table.Cell(2, 3).clear();
         },
         "Set Index Data", "指数のデ－タが入力されていません"},
        {"a letter for an index",
         [](CalculationState& c) {
             test::FillMonoclinicExample(c);
             c.table.Cell(2, 2) = "x";
         },
         "Set Integer for hkl", "指数には整数を入れてください"},
    };
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        for (const Refusal& r : refusals) {
            state = std::make_unique<MainState>();
            ui.calls.clear();
            Start();
            SetLanguage(lang);
            r.setup(state->calc);
            Run(N4Click);
            EXPECT_EQ(ui.Texts(Call::Message),
                      std::vector<std::string>{lang == Lang::English ? r.en : r.ja})
                << r.name;
            EXPECT_EQ(ui.calls.size(), 1u) << r.name;
            EXPECT_FALSE(state->calc.resultValid) << r.name;
            EXPECT_EQ(state->calc.panel.reciprocal[0][1], "  ") << r.name;
            EXPECT_EQ(state->calc.panel.residual, "") << r.name;
        }
    }
}

TEST_F(MainCommands, AnIndexThatIsNotAnIntegerBecomesTheCurrentCell) {
    Start();
    test::FillMonoclinicExample(state->calc);
    state->calc.table.Cell(2, 4) = "x";
    Run(N4Click);
    EXPECT_EQ(state->gridCurrent, (CellRef{2, 4}));
    EXPECT_TRUE(state->gridFocusRequested);
    EXPECT_EQ(state->currentRow, 4u);
    EXPECT_EQ(state->edit2, " 004");
}

TEST_F(MainCommands, FaultsReachTheErrorBoxAndTheProgramGoesOn) {
    Start();
    Run(English2Click);
    test::FillMonoclinicExample(state->calc);
    state->calc.table.Cell(0, 3) = "3.2a";
    EXPECT_FALSE(Run(N4Click));
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{"'3.2a' は浮動小数点数ではありません."});
    EXPECT_EQ(state->gridCurrent, (CellRef{0, 3}));  // the d that is not a number
    EXPECT_FALSE(state->calc.resultValid);

    // An included d of 0 below a valid row divides by zero.
    state->calc.table.ClearData();
    test::FillRows(state->calc.table, {{"3.23", "2", "2", "0"}, {"0", "1", "1", "1"}});
    state->calc.crystalSystem = kCubic;
    ui.calls.clear();
    EXPECT_FALSE(Run(N4Click));
    EXPECT_EQ(ui.Texts(Call::Error), std::vector<std::string>{"0 による浮動小数点数除算."});

    // The program goes on: the next run on good data completes.
    state->calc.table.ClearData();
    test::FillMonoclinicExample(state->calc);
    ui.calls.clear();
    EXPECT_TRUE(Run(N4Click));
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(state->calc.panel.residual, "0.00000011");
}

// --- Exit and the settings file ----------------------------------------------------

TEST_F(MainCommands, ExitAsksAndSavesOnlyOnOk) {
    Start("[Theirs]\nkey=value\n");
    Run(English2Click);
    ui.answers = {false};
    Run(Exit1Click);
    EXPECT_EQ(ui.Texts(Call::OkCancel), std::vector<std::string>{"Do you want to Exit ? "});
    EXPECT_FALSE(state->closeRequested);
    EXPECT_EQ(ReadText(dir.Path("dorvalixini")), "[Theirs]\nkey=value\n");

    Run(Japanese1Click);
    state->settings.xRay = " Set W.L.";
    ui.answers = {true};
    Run(Exit1Click);
    EXPECT_EQ(ui.Texts(Call::OkCancel).back(), "終了しますか");
    EXPECT_TRUE(state->closeRequested);
    EXPECT_EQ(ReadText(dir.Path("dorvalixini")),
              "[Theirs]\nkey=value\n[Dorvalix]\nlang=j\nlamda=1.54178\nd_min=1.5\n"
              "x_ray= Set W.L.\nhkl_range=all\nlattice=P\n");
}

TEST_F(MainCommands, AnotherExecutableNameHasItsOwnSettings) {
    WriteText(dir.Path("dorvalixini"), "[Dorvalix]\nlang=e\n");
    Start("", "other.exe");
    EXPECT_EQ(state->settingsPath, dir.Path("otherini"));
    EXPECT_EQ(state->settings.lang, "j");  // the former name's settings are not seen
    ui.answers = {true};
    Run(Exit1Click);
    EXPECT_TRUE(test::Exists(dir.Path("otherini")));
    EXPECT_EQ(ReadText(dir.Path("dorvalixini")), "[Dorvalix]\nlang=e\n");
}

TEST_F(MainCommands, ASettingsFileThatCannotBeWrittenKeepsTheProgramRunning) {
    const std::string folder = dir.Path("readonly");
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::string executable = "readonly/dorvalix";
    if (access(folder.c_str(), W_OK) == 0) {
        // The permission is not enforced for this user (root): a folder that is a plain
        // file refuses the write just the same.
        WriteText(dir.Path("plain"), "");
        executable = "plain/dorvalix";
    }
    Start("", executable);
    ui.answers = {true};
    EXPECT_FALSE(Run(Exit1Click));
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{dir.Path(executable) + "ini に書き込めません."});
    EXPECT_FALSE(state->closeRequested);
}

// --- Windows, home page, menus -------------------------------------------------------

TEST_F(MainCommands, HelpAndVersionOpenTheWindowOfTheLanguage) {
    Start();
    Run(N8Click);
    Run(N9Click);
    Run(English2Click);
    Run(N8Click);
    Run(N9Click);
    Run(hkld1Click);
    EXPECT_EQ(ui.windows,
              (std::vector<SecondaryWindow>{SecondaryWindow::TForm3, SecondaryWindow::TForm2,
                                            SecondaryWindow::TForm6, SecondaryWindow::TForm5,
                                            SecondaryWindow::TForm7}));
    Run(dorvalix1Click);
    ASSERT_EQ(ui.Texts(Call::Url).size(), 1u);
    EXPECT_FALSE(ui.Texts(Call::Url)[0].empty());
}

TEST(MainMenus, MenusAndItemsStandInTheirOrderWithTheirSeparators) {
    std::vector<std::string> menus;
    for (const MenuDefinition& menu : MainMenus()) {
        std::string line = std::string(ControlName(menu.title)) + ":";
        for (const MenuEntry& e : menu.entries) {
            line += " ";
            line += e.separator ? "-" : ControlName(e.control);
            if (!e.separator) {
                EXPECT_NE(e.command, nullptr) << ControlName(e.control);
            }
        }
        menus.push_back(line);
    }
    EXPECT_EQ(menus, (std::vector<std::string>{
                         "N2: Read1 Write1 Exceld1 OpenPattern1 - N10 N11 - N18 N22 - Exit1",
                         "N1: Cibic1 tetragonal1 Orthorhombic1 trigonal Hexagonal1 "
                         "Monoclinic901 Monoclinic902 Triclinic1",
                         "N14: N15 N16 N17 N20 N21 - AssignIndices1",
                         "N3: - N4 hkld1 Details1 Indexing1",
                         "N7: N8 N9 - dorvalix1",
                         "English1: English2 Japanese1",
                     }));
}

// --- The observation grid ------------------------------------------------------------

TEST_F(MainCommands, SelectingACellSetsTheCurrentRowAndEdit2) {
    Start();
    for (const auto& [row, text] : std::vector<std::pair<int, std::string>>{
             {7, " 007"}, {58, " 058"}, {120, " 120"}, {1, " 001"}, {300, " 300"}}) {
        StringGrid1SelectCell(*state, 2, row);
        EXPECT_EQ(state->edit2, text);
        EXPECT_EQ(state->currentRow, static_cast<std::uint32_t>(row));
        EXPECT_EQ(state->gridCurrent, (CellRef{2, row}));
    }
}

TEST_F(MainCommands, GridCellColours) {
    Start();
    test::FillMonoclinicExample(state->calc);
    state->calc.table.Cell(4, 3) = "  Exclude";
    StringGrid1SelectCell(*state, 1, 3);
    using G = GridCellColour;
    EXPECT_EQ(StringGrid1CellColour(*state, 1, 3), G::White);  // current, though excluded
    EXPECT_EQ(StringGrid1CellColour(*state, 0, 3), G::Aqua);
    EXPECT_EQ(StringGrid1CellColour(*state, 4, 3), G::Aqua);
    EXPECT_EQ(StringGrid1CellColour(*state, 3, 2), G::Yellow);
    EXPECT_EQ(StringGrid1CellColour(*state, 0, 200), G::Yellow);
    EXPECT_EQ(StringGrid1CellColour(*state, 4, 2), G::White);
    state->calc.table.Cell(4, 3) = " Exclude";  // only the exact marker counts
    EXPECT_EQ(StringGrid1CellColour(*state, 0, 3), G::Yellow);
}

// --- The command boundary ------------------------------------------------------------

TEST(RunCommand, AFailureEndsInTheErrorBoxWithAFullStop) {
    ScriptedUi ui;
    EXPECT_FALSE(RunCommand(ui, [] { throw ConversionError("'x' は整数ではありません"); }));
    EXPECT_FALSE(RunCommand(ui, [] { throw FloatFault(FloatFault::Kind::Overflow); }));
    EXPECT_FALSE(RunCommand(ui, [] { throw IoError("already stopped."); }));
    EXPECT_FALSE(RunCommand(ui, [] { throw std::runtime_error("library failure"); }));
    EXPECT_TRUE(RunCommand(ui, [] {}));
    EXPECT_EQ(
        ui.Texts(Call::Error),
        (std::vector<std::string>{"'x' は整数ではありません.", "浮動小数点数のオーバーフロー.",
                                  "already stopped.", "library failure."}));
}

}  // namespace
}  // namespace dorvalix
