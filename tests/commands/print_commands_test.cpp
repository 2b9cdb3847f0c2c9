// SPDX-License-Identifier: GPL-3.0-or-later
// Print and Printer Setup through the scripted Ui and its recording printer.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "crystal_system.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

using test::Call;

const std::string kDiopside = std::string(DORVALIX_EXAMPLES) + "/diopside.lat";

constexpr const char* kRefusal[] = {"Excute Calculation before Print ",
                                    "計算を実行してから印刷してください"};

class PrintCommands : public test::CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        state->clock = [] { return LocalDateTime{2006, 7, 14, 9, 5}; };
    }
    void ReadAndExecute() {
        ui.fileNames.push_back(kDiopside);
        Run(Read1Click);
        Run(N4Click);
        ASSERT_TRUE(state->calc.resultValid);
        ui.calls.clear();
    }
    // The text drawn at (x, y) of page 1 of the only job.
    std::string TextAt(int x, int y) const {
        for (const PrintText& t : ui.printJobs.at(0)->texts) {
            if (t.page == 1 && t.x == x && t.y == y) return t.text;
        }
        return "(none)";
    }
};

TEST_F(PrintCommands, PrintsOnTheCurrentPrinterAfterOk) {
    ReadAndExecute();
    ui.answers = {true};
    ASSERT_TRUE(Run(N10Click));
    EXPECT_EQ(
        ui.Texts(Call::OkCancel),
        (std::vector<std::string>{"Office Laser is selected for a Printer. Are you ready ? "}));
    EXPECT_EQ(ui.Texts(Call::Print), (std::vector<std::string>{"printer job"}));
    ASSERT_EQ(ui.printJobs.size(), 1u);
    const test::RecordedPrintJob& job = *ui.printJobs[0];
    EXPECT_TRUE(job.ended);
    EXPECT_FALSE(job.aborted);
    // The job's own measures at 14 points: LH 117, CW 74, PH 6816.
    EXPECT_EQ(job.texts, LayOutPrintedReport(ReportInputOf(*state), {117, 74, 6816}));
    EXPECT_EQ(TextAt(200, 200), "Calculation of Cell Parameters");
    EXPECT_EQ(TextAt(200, 200 + 3 * 117), "Date & Time: 2006-7-14  09:5");
    EXPECT_EQ(TextAt(200, 200 + 4 * 117), "Sample : Diopside (monoclinic, C2/c)");
    EXPECT_EQ(TextAt(200 + 29 * 74, 200 + 23 * 117), "3.23483");
    EXPECT_EQ(job.texts.back().text, "Dorvalix Ver. 2.20");
    EXPECT_EQ(job.texts.back().points, 10);
    EXPECT_TRUE(ui.Texts(Call::Message).empty());
    EXPECT_TRUE(ui.Texts(Call::Error).empty());
    // Printing changes nothing else.
    EXPECT_TRUE(state->calc.resultValid);
    EXPECT_TRUE(ResultDescribesTable(state->calc));
    EXPECT_TRUE(state->memo1.empty());
}

TEST_F(PrintCommands, TheQuestionAndThePageFollowTheLanguage) {
    ReadAndExecute();
    SetLanguage(Lang::Japanese);
    ui.printerName = "PDF";
    ui.answers = {true};
    Run(N10Click);
    EXPECT_EQ(ui.Texts(Call::OkCancel),
              (std::vector<std::string>{"PDF が選択されています。印刷の準備はよろしいですか"}));
    ASSERT_EQ(ui.printJobs.size(), 1u);
    EXPECT_EQ(TextAt(200, 200), "最小二乗法による格子定数の計算");
    EXPECT_EQ(TextAt(200, 200 + 3 * 117), "計算時刻　: 平成18年7月14日(金曜日)  09時5分");
}

TEST_F(PrintCommands, CancelStartsNoJob) {
    ReadAndExecute();
    ui.answers = {false};
    ASSERT_TRUE(Run(N10Click));
    EXPECT_EQ(ui.Texts(Call::OkCancel).size(), 1u);
    EXPECT_TRUE(ui.Texts(Call::Print).empty());
    EXPECT_TRUE(ui.printJobs.empty());
}

// A stale result must not be printed beside rows it was not computed from.
TEST_F(PrintCommands, RefusedUnlessTheResultDescribesTheTable) {
    const struct {
        const char* what;
        std::function<void(MainState&, test::ScriptedUi&)> change;
    } changes[] = {
        {"before any run", nullptr},
        {"an index typed", [](MainState& s, auto&) { s.calc.table.Cell(1, 4) = " 4"; }},
        {"a row excluded",
         [](MainState& s, auto& ui) {
             StringGrid1SelectCell(s, 0, 2);
             N20Click(s, ui);
         }},
        {"another crystal system", [](MainState& s, auto& ui) { Triclinic1Click(s, ui); }},
        {"the table cleared",
         [](MainState& s, auto& ui) {
             ui.answers.push_back(true);
             N17Click(s, ui);
         }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        if (c.change) {
            ReadAndExecute();
            c.change(*state, ui);
        } else {
            ClearTable(*state);
            test::FillMonoclinicExample(state->calc);
        }
        for (const Lang lang : {Lang::English, Lang::Japanese}) {
            SetLanguage(lang);
            ui.calls.clear();
            Run(N10Click);
            EXPECT_EQ(ui.Texts(Call::Message),
                      (std::vector<std::string>{kRefusal[lang == Lang::Japanese]}));
            EXPECT_TRUE(ui.Texts(Call::OkCancel).empty());
            EXPECT_TRUE(ui.Texts(Call::YesNo).empty());
            EXPECT_TRUE(ui.printJobs.empty());
        }
    }
}

TEST_F(PrintCommands, WithoutAPrinterTheReportGoesToAPdfFile) {
    ReadAndExecute();
    ui.printerName = std::nullopt;
    const char* questions[] = {"No printer is installed. Save the report as a PDF file ? ",
                               "プリンターがインストールされていません。PDFファイルに保存しますか"};
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        SetLanguage(lang);
        ui.calls.clear();
        ui.answers = {false};  // No: nothing happens
        Run(N10Click);
        EXPECT_EQ(ui.Texts(Call::YesNo),
                  (std::vector<std::string>{questions[lang == Lang::Japanese]}));
        EXPECT_TRUE(ui.Texts(Call::SaveFile).empty());
        EXPECT_TRUE(ui.Texts(Call::OkCancel).empty());
    }
    // Yes, then a cancelled save dialog: nothing is written.
    ui.answers = {true};
    ui.fileNames = {""};
    Run(N10Click);
    ASSERT_EQ(ui.dialogs.size(), 2u);  // the open dialog of the read, this one
    const FileDialogOptions& d = ui.dialogs[1];
    EXPECT_EQ(d.title, "Set File Name");
    EXPECT_EQ(d.filterDescription, "PDF");
    EXPECT_EQ(d.filterPattern, "*.pdf");
    EXPECT_EQ(d.defaultSuffix, "pdf");
    EXPECT_EQ(d.initialName, "diopside.pdf");
    EXPECT_TRUE(ui.printJobs.empty());

    ui.answers = {true};
    ui.fileNames = {dir.Path("report.pdf")};
    ui.calls.clear();
    Run(N10Click);
    EXPECT_EQ(ui.Texts(Call::Print),
              (std::vector<std::string>{"pdf job " + dir.Path("report.pdf")}));
    ASSERT_EQ(ui.printJobs.size(), 1u);
    EXPECT_TRUE(ui.printJobs[0]->ended);
    EXPECT_EQ(ui.printJobs[0]->texts.at(0).text, "最小二乗法による格子定数の計算");
}

TEST_F(PrintCommands, ThePdfNameFollowsTheDataFile) {
    test::FillMonoclinicExample(state->calc);
    Run(N4Click);
    ui.printerName = std::nullopt;
    for (const auto& [label, proposed] : std::vector<std::pair<std::string, std::string>>{
             {"", ".pdf"}, {"a.b.lat", "a.b.pdf"}, {"name", "name.pdf"}}) {
        state->label6 = label;
        ui.answers = {true};
        ui.fileNames = {""};
        Run(N10Click);
        EXPECT_EQ(ui.dialogs.back().initialName, proposed);
    }
}

// An excluded row is not converted by Execute, so its indices can be anything; the job is
// abandoned before anything reaches the paper.
TEST_F(PrintCommands, AnIndexThatDoesNotConvertAbortsTheJob) {
    test::FillMonoclinicExample(state->calc);
    Cell(1, 3) = "x";
    Cell(4, 3) = std::string(kExclusionMarker);
    Run(N4Click);
    ASSERT_TRUE(ResultDescribesTable(state->calc));
    ui.calls.clear();
    ui.answers = {true};
    EXPECT_FALSE(Run(N10Click));
    EXPECT_EQ(ui.Texts(Call::Error), (std::vector<std::string>{"'x' は整数ではありません."}));
    ASSERT_EQ(ui.printJobs.size(), 1u);
    EXPECT_TRUE(ui.printJobs[0]->aborted);
    EXPECT_FALSE(ui.printJobs[0]->ended);
    EXPECT_TRUE(ui.printJobs[0]->texts.empty());
}

TEST_F(PrintCommands, AJobThatCannotStart) {
    ReadAndExecute();
    ui.printJobsStart = false;
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        SetLanguage(lang);
        ui.calls.clear();
        ui.answers = {true};
        Run(N10Click);
        EXPECT_EQ(
            ui.Texts(Call::Message),
            (std::vector<std::string>{lang == Lang::English ? "The print job could not be started"
                                                            : "印刷を開始できませんでした"}));
    }
}

TEST_F(PrintCommands, PrinterSetupShowsThePrinterDialogOnly) {
    ReadAndExecute();
    const MainState before = *state;
    Run(N11Click);
    SetLanguage(Lang::Japanese);
    Run(N11Click);
    EXPECT_EQ(ui.Texts(Call::Print),
              (std::vector<std::string>{"setup Printer Setup", "setup プリンターセットアップ"}));
    EXPECT_EQ(ui.calls.size(), 2u);
    EXPECT_TRUE(ui.printJobs.empty());
    EXPECT_EQ(state->calc.table.rows, before.calc.table.rows);
}

}  // namespace
}  // namespace dorvalix
