// SPDX-License-Identifier: GPL-3.0-or-later
// Print and Printer Setup: the printed report on the current printer, or in a PDF file
// when no printer is installed.
#include <cstdlib>

#include "main_commands.h"
#include "printed_report.h"

namespace dorvalix {

namespace {

constexpr Text kExecuteFirst = {"Excute Calculation before Print ",
                                "計算を実行してから印刷してください"};
constexpr Text kPrinterReady = {" is selected for a Printer. Are you ready ? ",
                                " が選択されています。印刷の準備はよろしいですか"};
constexpr Text kSaveAsPdf = {"No printer is installed. Save the report as a PDF file ? ",
                             "プリンターがインストールされていません。PDFファイルに保存しますか"};
constexpr Text kCannotStart = {"The print job could not be started", "印刷を開始できませんでした"};

// The name the PDF save dialog proposes: the data file's, as for the report file.
std::string PdfFileName(const std::string& dataFileName) {
    std::string name = ReportFileName(dataFileName);
    return name.substr(0, name.size() - 4) + ".pdf";
}

// The texts in order, with the font size, colour and page changes they need.
void Draw(const std::vector<PrintText>& texts, PrintJob& job) {
    int page = 1;
    int points = 0;
    PrintColour colour = PrintColour::Black;
    job.SetColour(colour);
    for (const PrintText& t : texts) {
        while (page < t.page) {
            job.NewPage();
            ++page;
        }
        if (t.points != points) job.SetFontSize(points = t.points);
        if (t.colour != colour) job.SetColour(colour = t.colour);
        job.TextOut(t.x, t.y, t.text);
    }
}

}  // namespace

void PrintResultsReport(const MainState& state, PrintJob& job) {
    try {
        job.SetFontSize(print_layout::kBodyPoints);
        const PrintMeasures m{std::abs(job.FontHeight()), std::abs(job.TextWidth("8")),
                              std::abs(job.PageHeight())};
        // The whole page is laid out before the first text is drawn: a cell that does not
        // convert ends the job with nothing on paper.
        Draw(LayOutPrintedReport(ReportInputOf(state), m), job);
        job.EndDoc();
    } catch (...) {
        job.Abort();
        throw;
    }
}

void N10Click(MainState& state, Ui& ui) {
    const Lang lang = UiLang(state);
    // A stale result must not be printed beside rows it was not computed from.
    if (!ResultDescribesTable(state.calc)) {
        ui.ShowMessage(kExecuteFirst.In(lang));
        return;
    }
    std::unique_ptr<PrintJob> job;
    if (const std::optional<std::string> printer = ui.PrinterName()) {
        if (!ui.AskOkCancel(*printer + kPrinterReady.In(lang))) return;
        job = ui.StartPrintJob();
    } else {
        if (!ui.AskYesNo(kSaveAsPdf.In(lang))) return;
        const std::string path =
            ui.SaveFileName({"Set File Name", "PDF", "*.pdf", "pdf", PdfFileName(state.label6)});
        if (path.empty()) return;  // cancelled: nothing is written
        job = ui.StartPdfJob(path);
    }
    if (!job) {
        ui.ShowMessage(kCannotStart.In(lang));
        return;
    }
    PrintResultsReport(state, *job);
}

void N11Click(MainState& state, Ui& ui) {
    // Titled with the menu item's caption ("Printer Setup" / "プリンターセットアップ").
    ui.ShowPrinterSetup(state.Caption(Control::N11));
}

}  // namespace dorvalix
