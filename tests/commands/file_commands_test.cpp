// SPDX-License-Identifier: GPL-3.0-or-later
// Read from File, Write to File, the clipboard import and the report commands, through the
// scripted Ui, with observation files in a test folder and sheets exported from a
// spreadsheet program.
#include <gtest/gtest.h>

#include <algorithm>

#include "command_fixture.h"
#include "crystal_system.h"
#include "printed_report.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

using test::Call;
using test::Exists;
using test::ReadText;
using test::WriteText;

std::string Sheet(const std::string& name) {
    return ReadText(std::string(DORVALIX_SPREADSHEETS) + "/" + name);
}

const std::string kDiopside = std::string(DORVALIX_EXAMPLES) + "/diopside.lat";

LocalDateTime FixedTime() {
    return {2006, 7, 14, 9, 5};
}

class FileCommands : public test::CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        state->clock = FixedTime;
    }
    // Reads a file through the open dialog.
    void Read(const std::string& path) {
        ui.fileNames.push_back(path);
        Run(Read1Click);
    }
    // The d, h, k, l texts of a row joined by '|'.
    std::string RowText(int row) {
        return Cell(0, row) + "|" + Cell(1, row) + "|" + Cell(2, row) + "|" + Cell(3, row);
    }
    // A state after a complete run on the worked example, read from its file.
    void ReadAndExecute() {
        Read(kDiopside);
        Run(N4Click);
        ASSERT_TRUE(state->calc.resultValid);
        ui.calls.clear();
    }
};

// --- Read from File ---------------------------------------------------------------------

TEST_F(FileCommands, ReadReplacesTheTableAndShowsTheFile) {
    test::FillRows(Table(), {{"9.9", "9", "9", "9", "  Exclude"}}, 8);
    state->calc.panel.residual = "0.00000011";
    Select(3, 40);
    state->gridFocusRequested = false;
    Read(kDiopside);
    ASSERT_TRUE(ui.Texts(Call::Message).empty());
    ASSERT_EQ(ui.dialogs.size(), 1u);
    const FileDialogOptions& d = ui.dialogs[0];
    EXPECT_EQ(d.title, "Select File");
    EXPECT_EQ(d.filterDescription, "*.lat");
    EXPECT_EQ(d.filterPattern, "*.lat");
    EXPECT_EQ(d.defaultSuffix, "lat");
    EXPECT_EQ(d.initialName, "");

    EXPECT_EQ(RowText(1), " 3.23| 2| 2| 0");
    EXPECT_EQ(RowText(2), " 2.566| 1| 3|-1");
    EXPECT_EQ(RowText(7), " 1.755| 1| 5| 0");
    EXPECT_EQ(Table().rows[8], ObservationTable::Row{});  // no marker survives
    EXPECT_EQ(Table().filled, 7u);
    EXPECT_EQ(Table().included, 7u);
    EXPECT_EQ(state->calc.crystalSystem, kMonoclinicBeta);
    EXPECT_EQ(state->label3, "Monoclinic(beta<>90)");
    EXPECT_EQ(state->label3Width, 201);
    EXPECT_EQ(state->edit1, "Diopside (monoclinic, C2/c)");
    EXPECT_EQ(state->label6, "diopside.lat");
    EXPECT_EQ(state->currentFileName, kDiopside);
    EXPECT_EQ(state->calc.panel.residual, "");
    // Back at the top: row 1 in view and current, the grid focused.
    EXPECT_EQ(state->gridTopRowRequested, std::optional<int>(1));
    EXPECT_EQ(state->gridCurrent, (CellRef{0, 1}));
    EXPECT_EQ(state->currentRow, 1u);
    EXPECT_EQ(state->edit2, " 001");
    EXPECT_TRUE(state->gridFocusRequested);

    // The open dialog offers the file chosen last.
    ui.fileNames.push_back("");
    Run(Read1Click);
    EXPECT_EQ(ui.dialogs[1].initialName, kDiopside);
}

TEST_F(FileCommands, ACancelledOpenDialogChangesNothing) {
    Read(kDiopside);
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        SetLanguage(lang);
        ui.calls.clear();
        Read("");
        EXPECT_EQ(ui.Texts(Call::Message),
                  std::vector<std::string>{
                      lang == Lang::English ? "Set File Name" : "ファイル名が入力されていません"});
    }
    EXPECT_EQ(RowText(1), " 3.23| 2| 2| 0");
    EXPECT_EQ(state->label6, "diopside.lat");
}

TEST_F(FileCommands, AFileThatCannotBeReadLeavesEverythingAsItWas) {
    Read(kDiopside);
    const ObservationTable before = Table();
    const struct {
        const char* name;
        const char* bytes;
        const char* error;
    } cases[] = {
        {"letter.lat", "2 5\r\n1 x 0 2.5\r\n", "入力値が数値ではありません."},
        {"bad-d.lat", "1 5\r\n1 1 0 2.5a\r\n", "' 2.5a' は浮動小数点数ではありません."},
        {"short.lat", "2 5\r\n1 1 0 2.5\r\n", "'' は浮動小数点数ではありません."},
    };
    for (const auto& c : cases) {
        WriteText(dir.Path(c.name), c.bytes);
        ui.calls.clear();
        Read(dir.Path(c.name));
        EXPECT_EQ(ui.Texts(Call::Error), std::vector<std::string>{c.error}) << c.name;
        EXPECT_EQ(Table().rows, before.rows) << c.name;
        EXPECT_EQ(Table().filled, 7u);
        EXPECT_EQ(state->calc.crystalSystem, kMonoclinicBeta);
        EXPECT_EQ(state->edit1, "Diopside (monoclinic, C2/c)");
        EXPECT_EQ(state->label6, "diopside.lat");
        EXPECT_EQ(state->currentFileName, kDiopside);
    }
    ui.calls.clear();
    Read(dir.Path("missing.lat"));
    ASSERT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_NE(ui.Texts(Call::Error)[0].find("missing.lat"), std::string::npos);
    EXPECT_EQ(Table().rows, before.rows);
}

// --- Write to File ----------------------------------------------------------------------

TEST_F(FileCommands, WriteSortsAndRoundTrips) {
    test::FillRows(Table(), {{"2.5660", "1", "3", "-1", "  Exclude"},
                             {"12.512", "1", "0", "0"},
                             {"", "", "", ""},
                             {"3.2300", "2", "2", "0"}});
    state->calc.crystalSystem = kMonoclinicBeta;
    state->edit1 = "サンプル";
    ui.fileNames.push_back(dir.Path("sample"));
    Run(Write1Click);
    EXPECT_TRUE(ui.calls.size() == 1 && ui.calls[0].call == Call::SaveFile);
    const FileDialogOptions& d = ui.dialogs[0];
    EXPECT_EQ(d.title, "Set File Name");
    EXPECT_EQ(d.filterDescription, "*.lat");
    EXPECT_EQ(d.filterPattern, "*.lat");
    EXPECT_EQ(d.defaultSuffix, "lat");
    EXPECT_EQ(d.initialName, "");
    // A name without extension gets ".lat".
    EXPECT_FALSE(Exists(dir.Path("sample")));
    EXPECT_EQ(ReadText(dir.Path("sample.lat")),
              "       3       5\r\n"
              "       1       0       0  12.512\r\n"
              "       2       2       0  3.2300\r\n"
              "       1       3      -1  2.5660\r\n"
              "サンプル\r\n");
    EXPECT_EQ(state->currentFileName, dir.Path("sample.lat"));
    EXPECT_EQ(state->label6, "sample.lat");

    // Read back: the same cells, now normalised, and no marker.
    ClearTable(*state);
    Read(dir.Path("sample.lat"));
    EXPECT_EQ(RowText(1), "12.512| 1| 0| 0");
    EXPECT_EQ(RowText(2), " 3.2300| 2| 2| 0");
    EXPECT_EQ(RowText(3), " 2.5660| 1| 3|-1");
    EXPECT_EQ(Cell(4, 3), "");
    EXPECT_EQ(state->edit1, "サンプル");
    EXPECT_EQ(state->calc.crystalSystem, kMonoclinicBeta);

    // Saving again offers the file's name, and another extension is kept.
    ui.fileNames.push_back(dir.Path("copy.txt"));
    Run(Write1Click);
    EXPECT_EQ(ui.dialogs.back().initialName, "sample.lat");
    EXPECT_EQ(ReadText(dir.Path("copy.txt")), ReadText(dir.Path("sample.lat")));
    EXPECT_EQ(state->label6, "copy.txt");
}

TEST_F(FileCommands, WriteRefusals) {
    const auto expect = [&](const char* en, const char* ja, const char* what) {
        for (const Lang lang : {Lang::English, Lang::Japanese}) {
            SetLanguage(lang);
            ui.calls.clear();
            ui.fileNames = {""};
            Run(Write1Click);
            EXPECT_EQ(ui.Texts(Call::Message),
                      std::vector<std::string>{lang == Lang::English ? en : ja})
                << what;
        }
    };
    expect("Set Crystal System", "結晶系が入力されていません", "no system");
    EXPECT_EQ(ui.dialogs.size(), 0u);
    state->calc.crystalSystem = kCubic;
    expect("Set Input Data", "デ－タが入力されていません", "no data");
    EXPECT_EQ(ui.dialogs.size(), 0u);
    test::FillRows(Table(), {{"3.23", "2", "2", "0"}});
    state->label6 = "old.lat";
    expect("Set File Name", "ファイル名が入力されていません", "dialog cancelled");
    EXPECT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(state->label6, "old.lat");
}

TEST_F(FileCommands, WriteWithoutSampleNameWritesNothingButShowsTheName) {
    test::FillRows(Table(), {{"3.23", "2", "2", "0"}});
    state->calc.crystalSystem = kCubic;
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        SetLanguage(lang);
        ui.calls.clear();
        ui.fileNames = {dir.Path("nameless.lat")};
        Run(Write1Click);
        EXPECT_EQ(ui.calls.front().call, Call::SaveFile);  // the dialog comes first
        EXPECT_EQ(ui.Texts(Call::Message),
                  std::vector<std::string>{lang == Lang::English ? "Set Sample Name"
                                                                 : "試料名が設定されていません"});
        EXPECT_FALSE(Exists(dir.Path("nameless.lat")));
        EXPECT_EQ(state->label6, "nameless.lat");
    }
    // A name of blanks is a name.
    state->edit1 = " ";
    ui.fileNames = {dir.Path("blank.lat")};
    Run(Write1Click);
    EXPECT_TRUE(Exists(dir.Path("blank.lat")));
}

TEST_F(FileCommands, AFileThatCannotBeWrittenKeepsTheOldNameAndFile) {
    test::FillRows(Table(), {{"3.23", "2", "2", "0"}});
    state->calc.crystalSystem = kCubic;
    state->edit1 = "x";
    state->label6 = "old.lat";
    ui.fileNames = {dir.Path("no-such-folder/new.lat")};
    Run(Write1Click);
    ASSERT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_EQ(state->label6, "old.lat");
}

// --- Read Excel data through ClipBoard --------------------------------------------------

TEST_F(FileCommands, ImportOfABlockInDhklOrder) {
    // The same block as the spreadsheet put it on the clipboard (SYLK and plain text) and
    // as a whole sheet with the block at B3, in no particular order.
    const struct {
        const char* what;
        std::optional<std::string> sylk;
        std::string text;
    } sources[] = {
        {"clipboard SYLK", Sheet("clipboard-dhkl.slk"), "ignored"},
        {"clipboard text", std::nullopt, Sheet("clipboard-dhkl.txt")},
        {"sheet at B3", Sheet("dhkl-offset.slk"), ""},
    };
    for (const auto& s : sources) {
        SCOPED_TRACE(s.what);
        Read(kDiopside);
        Run(N4Click);
        Select(2, 5);
        ui.calls.clear();
        ui.clipboardSylk = s.sylk;
        ui.clipboardText = s.text;
        Run(Exceld1Click);
        EXPECT_TRUE(ui.calls.empty());  // no question for a block that starts with a d
        EXPECT_EQ(RowText(1), " 3.23| 2| 2| 0");
        EXPECT_EQ(RowText(2), " 2.566| 1| 3|-1");
        EXPECT_EQ(RowText(7), " 1.755| 1| 5| 0");
        EXPECT_EQ(RowText(8), "|||");
        EXPECT_EQ(Table().filled, 7u);
        EXPECT_EQ(Table().included, 7u);
        // Everything else is back at its start.
        EXPECT_EQ(state->calc.crystalSystem, kNoSystem);
        EXPECT_EQ(state->label3, "");
        EXPECT_EQ(state->label6, "");
        EXPECT_EQ(state->edit1, "");
        EXPECT_EQ(state->calc.panel.residual, "");
        EXPECT_FALSE(state->calc.resultValid);
        EXPECT_EQ(state->gridCurrent, (CellRef{0, 1}));
        EXPECT_EQ(state->currentFileName, kDiopside);
    }
    // No crystal system after an import: writing is refused.
    ui.calls.clear();
    Run(Write1Click);
    EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{"Set Crystal System"});
}

TEST_F(FileCommands, ABlockThatStartsWithAnIntegerAsksForTheColumnOrder) {
    const struct {
        const char* what;
        std::optional<std::string> sylk;
        std::string text;
    } sources[] = {
        {"clipboard SYLK", Sheet("clipboard-hkld.slk"), ""},
        {"clipboard text", std::nullopt, Sheet("clipboard-hkld.txt")},
        {"sheet", Sheet("hkld.slk"), ""},
    };
    for (const auto& s : sources) {
        SCOPED_TRACE(s.what);
        for (const Lang lang : {Lang::English, Lang::Japanese}) {
            SetLanguage(lang);
            ui.calls.clear();
            ui.clipboardSylk = s.sylk;
            ui.clipboardText = s.text;
            ui.answers = {true};  // Yes: h, k, l, d
            Run(Exceld1Click);
            EXPECT_EQ(ui.Texts(Call::YesNo),
                      std::vector<std::string>{lang == Lang::English ? "Data are in hkld order ? "
                                                                     : "hkldの並びですか"});
            EXPECT_EQ(RowText(1), " 3.23| 2| 2| 0");
            EXPECT_EQ(RowText(7), " 1.755| 1| 5| 0");
            EXPECT_EQ(Table().filled, 7u);
        }
        // No: the block is read as d, h, k, l, so the h column becomes d, and the row whose
        // h is 0 is a hole that the sort closes.
        ui.answers = {false};
        Run(Exceld1Click);
        EXPECT_EQ(RowText(1), " 3| 1| 1|2.304");
        EXPECT_EQ(RowText(6), " 1| 5| 0|1.755");
        EXPECT_EQ(RowText(7), "|||");
        EXPECT_EQ(Table().filled, 6u);
    }
}

TEST_F(FileCommands, AHeadingCellEndsTheImportWithTheTableAsItWas) {
    for (const char* name : {"clipboard-heading.slk", "heading.slk"}) {
        SCOPED_TRACE(name);
        ReadAndExecute();
        Cell(4, 3) = "  Exclude";
        const ObservationTable before = Table();
        ui.clipboardSylk = Sheet(name);
        Run(Exceld1Click);
        EXPECT_EQ(ui.Texts(Call::Error),
                  std::vector<std::string>{"'d' は浮動小数点数ではありません."});
        EXPECT_TRUE(ui.Texts(Call::YesNo).empty());
        EXPECT_EQ(Table().rows, before.rows);
        EXPECT_EQ(Table().filled, 7u);
        EXPECT_EQ(state->calc.crystalSystem, kMonoclinicBeta);
        EXPECT_EQ(state->edit1, "Diopside (monoclinic, C2/c)");
        EXPECT_EQ(state->label6, "diopside.lat");
        EXPECT_EQ(state->calc.panel.residual, "0.00000011");
        EXPECT_TRUE(state->calc.resultValid);
        Run(N21Click);
    }
    // The heading row in plain text is refused the same way.
    ui.calls.clear();
    ui.clipboardSylk.reset();
    ui.clipboardText = Sheet("clipboard-heading.txt");
    Run(Exceld1Click);
    EXPECT_EQ(ui.Texts(Call::Error), std::vector<std::string>{"'d' は浮動小数点数ではありません."});
    EXPECT_EQ(RowText(1), " 3.23| 2| 2| 0");
}

TEST_F(FileCommands, ImportEdgeCases) {
    // Quoted texts lose their quotes.
    ui.clipboardSylk = Sheet("quoted.slk");
    Run(Exceld1Click);
    EXPECT_EQ(RowText(1), " 3.23| 2| 2| 0");
    EXPECT_EQ(RowText(3), " 2.304| 3| 1| 1");

    // An empty top-left cell: the first cell present becomes the origin, the block moves
    // one column left, and the first column of later rows falls off the table.
    ui.clipboardSylk = Sheet("empty-corner.slk");
    ui.answers = {false};  // the first value, 2, is an integer
    Run(Exceld1Click);
    EXPECT_EQ(ui.Texts(Call::YesNo).size(), 1u);
    EXPECT_EQ(RowText(1), " 3| 1| 1|");
    EXPECT_EQ(RowText(2), " 2| 2| 0|");
    EXPECT_EQ(RowText(3), " 1| 3|-1|");

    // More than 300 rows: the rows beyond the table's last are left out, and the user is
    // told so. The spreadsheet hands over numbers, not the texts they were typed as.
    ui.calls.clear();
    ui.clipboardSylk = Sheet("long.slk");
    ui.answers = {false};  // 20 is an integer
    Run(Exceld1Click);
    EXPECT_EQ(Table().filled, 300u);
    EXPECT_EQ(RowText(1), "20| 1| 0| 0");
    EXPECT_EQ(RowText(3), " 6.66667| 3| 0| 0");
    EXPECT_EQ(RowText(300), " 0.06667|300| 0| 0");
    EXPECT_EQ(ui.Texts(Call::Message),
              std::vector<std::string>{
                  "Only the first 300 rows were read: rows 301 to 310 were left out"});
    state->settings.lang = "j";
    ui.calls.clear();
    ui.answers = {false};
    Run(Exceld1Click);
    EXPECT_EQ(
        ui.Texts(Call::Message),
        std::vector<std::string>{
            "先頭の 300 行だけを読み込みました。301 行目から 310 行目までは読み込んでいません"});
}

// A clipboard without spreadsheet cells changes nothing and says so: it used to clear the
// table, the sample name, the file name and the crystal system without a word.
TEST_F(FileCommands, ClipboardWithoutCellsChangesNothing) {
    Read(kDiopside);
    ui.calls.clear();
    const ObservationTable before = Table();
    const struct {
        std::optional<std::string> sylk;
        std::string text;
    } clipboards[] = {
        {std::nullopt, ""},                                  // empty
        {std::nullopt, "\r\n\r\n"},                          // empty lines
        {std::string("ID;P\r\nE\r\n"), "whatever"},          // a block without cells
        {std::string("ID;P\r\nF;Y1;X1;FG0R\r\nE\r\n"), ""},  // formats, no values
    };
    for (const Lang lang : {Lang::Japanese, Lang::English}) {
        state->settings.lang = LangCode(lang);
        for (const auto& c : clipboards) {
            ui.calls.clear();
            ui.clipboardSylk = c.sylk;
            ui.clipboardText = c.text;
            Run(Exceld1Click);
            EXPECT_EQ(
                ui.Texts(Call::Message),
                std::vector<std::string>{lang == Lang::English
                                             ? "The clipboard holds no spreadsheet cells"
                                             : "クリップボードに表計算ソフトのセルがありません"});
            EXPECT_EQ(Table().rows, before.rows);
            EXPECT_EQ(Table().filled, 7u);
            EXPECT_EQ(state->edit1, "Diopside (monoclinic, C2/c)");
            EXPECT_EQ(state->label6, "diopside.lat");
            EXPECT_EQ(state->calc.crystalSystem, kMonoclinicBeta);
        }
    }
}

// --- Results report ---------------------------------------------------------------------

// The lines the report takes from the window; the rest is the report's own (tested with
// it): the results panel, the table and the calculated values of the worked example.
constexpr const char* kDiopsideReportHead =
    "Calculation of Cell Parameters\r\n"
    "\r\n"
    "Date & Time: 2006-07-14 09:05\r\n"
    "Sample : Diopside (monoclinic, C2/c)\r\n"
    "File  : diopside.lat\r\n"
    "System : Monoclinic(beta<>90)\r\n"
    "\r\n";
constexpr const char* kDiopsideReportRow3 =
    "\r\n  3     1     1    2.304    2.30395   +0.00005    -0.00001\r\n";
constexpr const char* kDiopsideReportTail =
    "\r\nResidual\r\n0.00000011\r\nDorvalix Ver. 2.20\r\n\r\n";

TEST_F(FileCommands, ReportToTheClipboardAndToAFile) {
    ReadAndExecute();
    Run(N22Click);
    ASSERT_EQ(ui.Texts(Call::SetClipboard).size(), 1u);
    const std::string report = ui.Texts(Call::SetClipboard)[0];
    EXPECT_TRUE(report.starts_with(kDiopsideReportHead));
    EXPECT_NE(report.find(kDiopsideReportRow3), std::string::npos);
    EXPECT_TRUE(report.ends_with(kDiopsideReportTail));
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 33);
    EXPECT_EQ(state->memo1, report);

    ui.fileNames = {dir.Path("result.out")};
    Run(N18Click);
    ASSERT_EQ(ui.dialogs.size(), 2u);
    const FileDialogOptions& d = ui.dialogs[1];
    EXPECT_EQ(d.title, "Set File Name");
    EXPECT_EQ(d.filterDescription, "out");
    EXPECT_EQ(d.filterPattern, "*.out");
    EXPECT_EQ(d.defaultSuffix, "");
    EXPECT_EQ(d.initialName, "diopside.out");
    EXPECT_EQ(ReadText(dir.Path("result.out")), report);
    EXPECT_TRUE(ui.Texts(Call::Message).empty());

    // The report changes nothing else.
    EXPECT_TRUE(state->calc.resultValid);
    EXPECT_EQ(state->label6, "diopside.lat");
    EXPECT_EQ(state->calc.panel.residual, "0.00000011");

    // An existing file is replaced; a cancelled dialog writes nothing.
    ui.fileNames = {dir.Path("result.out")};
    state->edit1 = "second";
    Run(N18Click);
    EXPECT_EQ(
        ReadText(dir.Path("result.out")).substr(0, 90).find("Sample : second") != std::string::npos,
        true);
    const std::string kept = ReadText(dir.Path("result.out"));
    ui.fileNames = {""};
    state->edit1 = "third";
    Run(N18Click);
    EXPECT_EQ(ReadText(dir.Path("result.out")), kept);
    EXPECT_TRUE(ui.Texts(Call::Message).empty());
    EXPECT_TRUE(ui.Texts(Call::Error).empty());
}

// Include empties a row's Qo - Qc; Exclude then Include leaves the run's table as it was,
// and every report still writes each residual the run computed.
TEST_F(FileCommands, ExcludeThenIncludeKeepsEveryResidualInTheReports) {
    ReadAndExecute();
    Run(N22Click);
    const std::string before = ui.Texts(Call::SetClipboard).at(0);
    const std::vector<PrintText> printedBefore =
        LayOutPrintedReport(ReportInputOf(*state), {117, 74, 6816});
    Select(0, 3);
    Run(N20Click);
    Run(N21Click);
    ASSERT_TRUE(Cell(4, 3).empty());
    ui.calls.clear();
    Run(N22Click);
    ASSERT_EQ(ui.Texts(Call::SetClipboard).size(), 1u);
    EXPECT_EQ(ui.Texts(Call::SetClipboard)[0], before);
    EXPECT_NE(before.find(kDiopsideReportRow3), std::string::npos);
    EXPECT_EQ(LayOutPrintedReport(ReportInputOf(*state), {117, 74, 6816}), printedBefore);
}

TEST_F(FileCommands, TheReportFollowsTheLanguageAndTheClock) {
    ReadAndExecute();
    SetLanguage(Lang::Japanese);
    state->clock = [] { return LocalDateTime{2019, 5, 1, 0, 0}; };
    Run(N22Click);
    const std::string text = ui.Texts(Call::SetClipboard).at(0);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "最小二乗法による格子定数の計算");
    EXPECT_NE(text.find("\r\n計算時刻 : 令和元年05月01日(水曜日)  00時00分\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n結 晶 系 : 単斜晶系(β≠90)\r\n"), std::string::npos);
}

TEST_F(FileCommands, ProposedReportFileNames) {
    const struct {
        const char* label;
        const char* proposed;
    } cases[] = {
        {"diopside.lat", "diopside.out"},
        {"", ".out"},
        {"name", "name.out"},
        {"a.b.lat", "a.b.out"},
        {"data.txt", "data.out"},
        {"x.", "x.out"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReportFileName(c.label), c.proposed) << c.label;

    // With no file read or saved the dialog proposes ".out".
    test::FillMonoclinicExample(state->calc);
    Run(N4Click);
    ui.fileNames = {""};
    Run(N18Click);
    EXPECT_EQ(ui.dialogs.at(0).initialName, ".out");
}

TEST_F(FileCommands, AReportFileThatCannotBeWrittenGoesToTheErrorBox) {
    ReadAndExecute();
    ui.fileNames = {dir.Path("no-such-folder/result.out")};
    Run(N18Click);
    ASSERT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_NE(ui.Texts(Call::Error)[0].find("result.out"), std::string::npos);
    EXPECT_TRUE(state->memo1.starts_with(kDiopsideReportHead));  // the text stays in memory
}

// A report must describe the calculation it reports.
TEST_F(FileCommands, ReportsRefuseUnlessTheResultDescribesTheTable) {
    const struct {
        const char* what;
        std::function<void(MainState&, test::ScriptedUi&)> change;
    } changes[] = {
        {"before any run", nullptr},
        {"a d typed after the run", [](MainState& s, auto&) { s.calc.table.Cell(0, 2) = "2.567"; }},
        {"an index typed", [](MainState& s, auto&) { s.calc.table.Cell(3, 7) = "1"; }},
        {"a row excluded",
         [](MainState& s, auto& ui) {
             StringGrid1SelectCell(s, 0, 3);
             N20Click(s, ui);
         }},
        {"a row deleted",
         [](MainState& s, auto& ui) {
             StringGrid1SelectCell(s, 0, 3);
             ui.answers.push_back(true);
             N15Click(s, ui);
         }},
        {"another crystal system", [](MainState& s, auto& ui) { Triclinic1Click(s, ui); }},
        {"the table cleared",
         [](MainState& s, auto& ui) {
             ui.answers.push_back(true);
             N17Click(s, ui);
         }},
        {"another file read",
         [](MainState& s, auto& ui) {
             ui.fileNames.push_back(std::string(DORVALIX_EXAMPLES) + "/triclinic-300.lat");
             Read1Click(s, ui);
         }},
        {"a run refused",
         [](MainState& s, auto& ui) {
             s.calc.table.Cell(2, 2).clear();
             N4Click(s, ui);
         }},
        // The panel and the Qo-Qc texts were emptied although the table is the same.
        {"the same file read again",
         [](MainState& s, auto& ui) {
             ui.fileNames.push_back(kDiopside);
             Read1Click(s, ui);
         }},
        {"a run refused, then the edit undone",
         [](MainState& s, auto& ui) {
             const std::string k = s.calc.table.Cell(2, 2);
             s.calc.table.Cell(2, 2).clear();
             N4Click(s, ui);
             s.calc.table.Cell(2, 2) = k;
         }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        ReadAndExecute();
        if (c.change) {
            c.change(*state, ui);
        } else {
            Run(Cibic1Click);
            ClearTable(*state);
            test::FillMonoclinicExample(state->calc);
        }
        for (const Lang lang : {Lang::English, Lang::Japanese}) {
            SetLanguage(lang);
            ui.calls.clear();
            Run(N18Click);
            Run(N22Click);
            const std::string text = lang == Lang::English
                                         ? "Excute Calculation before Write to File"
                                         : "計算を実行してから出力してください";
            EXPECT_EQ(ui.Texts(Call::Message), (std::vector<std::string>{text, text}));
            EXPECT_TRUE(ui.Texts(Call::SaveFile).empty());
            EXPECT_TRUE(ui.Texts(Call::SetClipboard).empty());
        }
    }
    // Execute again and the report is there; Sort and the language do not spoil it.
    ReadAndExecute();
    Cell(0, 2) = "2.567";
    Run(N4Click);
    Run(N16Click);
    SetLanguage(Lang::English);
    ui.calls.clear();
    Run(N22Click);
    ASSERT_EQ(ui.Texts(Call::SetClipboard).size(), 1u);
    EXPECT_NE(ui.Texts(Call::SetClipboard)[0].find("  1     3    -1    2.567 "), std::string::npos);
    EXPECT_TRUE(ui.Texts(Call::Message).empty());
}

}  // namespace
}  // namespace dorvalix
