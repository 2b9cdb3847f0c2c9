// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of the file menu that move data in and out: observation files, the
// spreadsheet cells of the clipboard, and the results report for a file or the clipboard.
#include "atomic_file.h"
#include "main_commands.h"
#include "observation_file.h"
#include "results_report.h"
#include "sylk.h"

namespace dorvalix {

namespace {

// Dialog titles, the same in both languages.
constexpr const char* kSelectFileTitle = "Select File";
constexpr const char* kSetFileNameTitle = "Set File Name";

FileDialogOptions ObservationFileDialog(const char* title, const std::string& initialName) {
    return {title, "*.lat", "*.lat", "lat", initialName};
}

// A report describes the run that produced it: the result must be valid and the table,
// its exclusion markers and the crystal system unchanged since that run.
bool RefuseStaleReport(const MainState& state, Ui& ui) {
    if (ResultDescribesTable(state.calc)) return false;
    ui.ShowMessage(report_text::kExecuteFirst.In(UiLang(state)));
    return true;
}

// Builds the report into Memo1 and returns its text.
const std::string& BuildReportText(MainState& state) {
    state.memo1 = JoinReportLines(BuildResultsReport(ReportInputOf(state)));
    return state.memo1;
}

}  // namespace

ResultsReportInput ReportInputOf(const MainState& state) {
    ResultsReportInput in;
    in.lang = UiLang(state);
    in.sampleName = state.edit1;
    in.fileLabel = state.label6;
    in.systemLabel = state.label3;
    in.panel = &state.calc.panel;
    in.table = &state.calc.table;
    in.result = &state.calc.result;
    in.time = state.clock();
    return in;
}

std::string ReportFileName(const std::string& dataFileName) {
    const std::size_t slash = dataFileName.find_last_of('/');
    const std::size_t dot = dataFileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return dataFileName + ".out";
    }
    return dataFileName.substr(0, dot) + ".out";
}

void Read1Click(MainState& state, Ui& ui) {
    const Lang lang = UiLang(state);
    const std::string path =
        ui.OpenFileName(ObservationFileDialog(kSelectFileTitle, state.openDialogName));
    if (path.empty()) {
        ui.ShowMessage(file_text::kSetFileName.In(lang));
        return;
    }
    state.openDialogName = path;
    ReadObservationFileNamed(state, path);
}

void ReadObservationFileNamed(MainState& state, const std::string& path) {
    const Lang lang = UiLang(state);
    // The whole file is read before anything changes: a file that cannot be read leaves
    // the table, the sample name and the file name as they were.
    LoadObservationFile(state.calc, state.edit1, path, lang);
    state.currentFileName = path;
    state.label6 = FileNameOf(path);
    ShowCrystalSystem(state);
    state.gridTopRowRequested = 1;
    MakeCurrentCell(state, {0, 1}, true);
    state.currentRow = 1;
}

void Write1Click(MainState& state, Ui& ui) {
    const Lang lang = UiLang(state);
    ObservationTable& table = state.calc.table;
    SortRows(table);
    if (state.calc.crystalSystem == kNoSystem) {
        ui.ShowMessage(file_text::kSetCrystalSystem.In(lang));
        return;
    }
    if (table.filled == 0) {
        ui.ShowMessage(file_text::kSetInputData.In(lang));
        return;
    }
    const std::string path =
        ui.SaveFileName(ObservationFileDialog(kSetFileNameTitle, state.label6));
    if (path.empty()) {
        ui.ShowMessage(file_text::kSetFileName.In(lang));
        return;
    }
    state.currentFileName = WithDefaultExtension(path);
    if (!WriteObservationFile(state.currentFileName, table, state.calc.crystalSystem, state.edit1,
                              lang)) {
        ui.ShowMessage(file_text::kSetSampleName.In(lang));
    }
    state.label6 = FileNameOf(state.currentFileName);
}

void Exceld1Click(MainState& state, Ui& ui) {
    const Lang lang = UiLang(state);
    // The spreadsheet's own cell records when it offers them, otherwise the same records
    // from the tab-separated text every spreadsheet puts on the clipboard.
    const std::optional<std::string> sylk = ui.ClipboardSylk();
    const std::vector<SylkRecord> records =
        sylk ? SplitSylkRecords(*sylk) : TabTextToSylkRecords(ui.ClipboardText());
    // Every value is read and converted before the table is touched: a value that is not a
    // number ends the command with the table as it was.
    const SylkImport import =
        ReadSylkCells(records, [&] { return ui.AskYesNo(kHkldOrderQuestion.In(lang)); }, {0, 1});
    // Nothing to import (an empty clipboard, a picture, a block without values) is no reason
    // to lose what the table holds.
    if (!import.originFound || import.cells.empty()) {
        ui.ShowMessage(sylk_text::kNoCells.In(lang));
        return;
    }
    ClearTable(state);
    ObservationTable& table = state.calc.table;
    ApplySylkCells(table, import);
    if (const auto notNumber = NormalizeCells(table)) MakeCurrentCell(state, *notNumber, true);
    SortRows(table);
    if (import.blockRows > kMaxObservations) {
        ui.ShowMessage(SylkMessage(sylk_text::kRowsLeftOut, lang, import.blockRows));
    }
}

void N18Click(MainState& state, Ui& ui) {
    if (RefuseStaleReport(state, ui)) return;
    const std::string& text = BuildReportText(state);
    FileDialogOptions dialog{kSetFileNameTitle, "out", "*.out", "", ReportFileName(state.label6)};
    const std::string path = ui.SaveFileName(dialog);
    if (path.empty()) return;  // cancelled: nothing is written
    WriteFileAtomically(path, text, UiLang(state));
}

void N22Click(MainState& state, Ui& ui) {
    if (RefuseStaleReport(state, ui)) return;
    ui.SetClipboardText(BuildReportText(state));
}

}  // namespace dorvalix
