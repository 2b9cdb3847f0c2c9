// SPDX-License-Identifier: GPL-3.0-or-later
// The printed report through Qt Print Support into a PDF file, read back with pdftotext.
#include "qt_print_job.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QApplication>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "errors.h"
#include "main_commands.h"
#include "qt_ui.h"
#include "scripted_ui.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::ReadText;
using test::TempDir;

// 600 device units to the inch, 72 PDF points; the printable area starts 1/6 inch (100
// units) from the sheet's top left corner.
constexpr double kUnitsPerPoint = 600.0 / 72.0;
constexpr double kBorder = 100;

struct Word {
    int page;
    double x, y;  // device units from the printable area's top left corner
    std::string text;
};

struct PdfText {
    double pageWidth = 0, pageHeight = 0;  // points
    std::vector<Word> words;
};

QString Unescape(QString s) {
    return s.replace("&lt;", "<")
        .replace("&gt;", ">")
        .replace("&quot;", "\"")
        .replace("&amp;", "&");
}

// The words of a PDF with their positions, as `pdftotext -bbox` finds them.
PdfText ReadPdf(const std::string& pdf) {
    const std::string command = std::string(DORVALIX_PDFTOTEXT) + " -bbox '" + pdf + "' -";
    FILE* pipe = popen(command.c_str(), "r");
    std::string html;
    char buf[4096];
    for (std::size_t n; pipe != nullptr && (n = fread(buf, 1, sizeof buf, pipe)) > 0;)
        html.append(buf, n);
    if (pipe != nullptr) {
        EXPECT_EQ(pclose(pipe), 0) << command;
    }
    PdfText out;
    int page = 0;
    static const QRegularExpression pageTag(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
    static const QRegularExpression wordTag(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="[0-9.]+" yMax="[0-9.]+">([^<]*)</word>)re");
    for (const QString& line : QString::fromStdString(html).split('\n')) {
        if (const auto m = pageTag.match(line); m.hasMatch()) {
            ++page;
            out.pageWidth = m.captured(1).toDouble();
            out.pageHeight = m.captured(2).toDouble();
        } else if (const auto w = wordTag.match(line); w.hasMatch()) {
            out.words.push_back({page, w.captured(1).toDouble() * kUnitsPerPoint - kBorder,
                                 w.captured(2).toDouble() * kUnitsPerPoint - kBorder,
                                 Unescape(w.captured(3)).toStdString()});
        }
    }
    return out;
}

// Passes a job on and keeps the measures the layout took from it, and the width of a blank
// in the body font.
class MeasuredJob : public PrintJob {
  public:
    explicit MeasuredJob(PrintJob& job) : job_(job) {}
    void SetFontSize(int points) override { job_.SetFontSize(points); }
    void SetColour(PrintColour colour) override { job_.SetColour(colour); }
    int FontHeight() override { return lh = job_.FontHeight(); }
    int TextWidth(const std::string& text) override {
        blank = job_.TextWidth(" ");
        eightBlanks = job_.TextWidth("        ");
        return cw = job_.TextWidth(text);
    }
    int PageHeight() override { return ph = job_.PageHeight(); }
    void TextOut(int x, int y, const std::string& text) override { job_.TextOut(x, y, text); }
    void NewPage() override { job_.NewPage(); }
    void EndDoc() override { job_.EndDoc(); }
    void Abort() override { job_.Abort(); }
    int lh = 0, cw = 0, ph = 0, blank = 0, eightBlanks = 0;

  private:
    PrintJob& job_;
};

class PdfReport : public ::testing::Test {
  protected:
    void SetUp() override {
        FormCreate(state, dir.Path("dorvalix"));
        ApplyEnglishCaptions(state);
        state.clock = [] { return LocalDateTime{2006, 7, 14, 9, 5}; };
        ui.fileNames = {std::string(DORVALIX_EXAMPLES) + "/diopside.lat"};
        Read1Click(state, ui);
        N4Click(state, ui);
        ASSERT_TRUE(state.calc.resultValid);
    }
    TempDir dir;
    MainState state;
    test::ScriptedUi ui;
};

TEST_F(PdfReport, TheWorkedExampleStandsWhereTheLayoutPutsIt) {
    const std::string path = dir.Path("diopside.pdf");
    std::unique_ptr<PrintJob> job = StartQtPdfJob(path);
    ASSERT_TRUE(job);
    MeasuredJob measured(*job);
    PrintResultsReport(state, measured);
    job.reset();
    // 14 points at 600 dpi; the printable height of A4 (the C locale's paper, 842 points
    // high in Qt) less the border.
    EXPECT_EQ(measured.lh, 117);
    EXPECT_GT(measured.cw, 40);
    EXPECT_NEAR(measured.ph, 842 * kUnitsPerPoint - 2 * kBorder, 1);

    const PdfText pdf = ReadPdf(path);
    EXPECT_NEAR(pdf.pageWidth, 595, 0.5);
    EXPECT_NEAR(pdf.pageHeight, 842, 0.5);
    const int lh = measured.lh, cw = measured.cw, blank = measured.blank;
    // Text, line and column of the first word of every printed text that matters, top to
    // bottom: the word's top at y = 200 + line·LH, its start at x = 200 + k·CW plus the
    // blanks its text starts with, within a device unit (two for the top: the PDF font's
    // ascent is rounded to points).
    const struct {
        const char* word;
        int line;
        int k;
        int blanks = 0;
    } expected[] = {
        {"Calculation", 0, 0},   {"Date", 3, 0},
        {"Sample", 4, 0},        {"File", 5, 0},
        {"System", 6, 0},        {"Reciprocal", 9, 0},
        {"a*", 10, 0, 1},        {"ganma*", 10, 50, 1},
        {"0.106576", 11, 0},     {"0.111949", 11, 10},
        {"0.197789", 11, 20},    {"-----", 11, 30},
        {"74.167", 11, 40},      {"0.002270", 11, 60},
        {"Da*", 12, 0, 1},       {"0.000068", 13, 0},
        {"0.000004", 13, 60},    {"Lattice", 15, 0},
        {"9.75299", 17, 0},      {"105.833", 17, 40},
        {"440.469", 17, 60},     {"0.00709", 19, 0},
        {"0.785", 19, 60},       {"Observed", 21, 0},
        {"h", 22, 0, 8},         {"2", 23, 5},
        {"3.23", 23, 20, 1},     {"3.23483", 23, 29},
        {"-0.00483", 23, 38},    {"+0.00029", 23, 50, 1},
        {"-1", 24, 14},          {"2.56689", 24, 29},
        {"1.755", 29, 20, 1},    {"+0.00000", 29, 38},
        {"-0.00000", 29, 50, 1}, {"Residual", 31, 0},
        {"0.00000011", 32, 0},   {"Dorvalix", 34, 0},
    };
    std::size_t next = 0;  // words are searched from the last one found on
    double lastY = -1;
    for (const auto& e : expected) {
        SCOPED_TRACE(e.word);
        const double x = 200 + e.k * cw + (e.blanks == 8 ? measured.eightBlanks : e.blanks * blank);
        const double top = 200 + e.line * lh;
        bool found = false;
        for (std::size_t i = 0; i < pdf.words.size() && !found; ++i) {
            const Word& w = pdf.words[(next + i) % pdf.words.size()];
            if (w.text != e.word || std::abs(w.x - x) > 1 || std::abs(w.y - top) > 2) continue;
            found = true;
            EXPECT_EQ(w.page, 1);
            EXPECT_GE(w.y, lastY);  // in order down the page
            lastY = w.y;
            next = (next + i) % pdf.words.size();
        }
        EXPECT_TRUE(found) << "near x " << x << ", y " << top;
    }
    // The whole header line and the footer's words.
    std::string text;
    for (const Word& w : pdf.words)
        text += w.text + " ";
    EXPECT_NE(text.find("Date & Time: 2006-7-14 09:5 Sample : Diopside (monoclinic, C2/c) File : "
                        "diopside.lat System : Monoclinic(beta<>90) "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Residual 0.00000011 Dorvalix Ver. 2.20 "), std::string::npos) << text;
}

TEST_F(PdfReport, JapaneseTextsComeBackFromThePdf) {
    ApplyJapaneseCaptions(state);
    const std::string path = dir.Path("ja.pdf");
    std::unique_ptr<PrintJob> job = StartQtPdfJob(path);
    ASSERT_TRUE(job);
    PrintResultsReport(state, *job);
    job.reset();
    std::string text;
    for (const Word& w : ReadPdf(path).words)
        text += w.text + " ";
    for (const char* expected :
         {"最小二乗法による格子定数の計算", "計算時刻 : 平成18年7月14日(金曜日) 09時5分",
          "観測データ", "残差二乗和", "結 晶 系 : 単斜晶系(β≠90)"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
}

TEST_F(PdfReport, AnAbortedJobWritesNothing) {
    const std::string path = dir.Path("kept.pdf");
    test::WriteText(path, "the file that was there");
    state.calc.table.Cell(1, 3) = "x";  // as if the grid had been edited into the run's cells
    std::unique_ptr<PrintJob> job = StartQtPdfJob(path);
    ASSERT_TRUE(job);
    EXPECT_THROW(PrintResultsReport(state, *job), ConversionError);
    job.reset();
    EXPECT_EQ(ReadText(path), "the file that was there");
    EXPECT_EQ(std::filesystem::directory_iterator(dir.path())->path().filename(), "kept.pdf");
}

TEST_F(PdfReport, APdfThatCannotBeWrittenGoesToTheErrorBox) {
    const std::string path = dir.Path("no-such-folder/report.pdf");
    std::unique_ptr<PrintJob> job = StartQtPdfJob(path);
    ASSERT_TRUE(job);
    EXPECT_THROW(PrintResultsReport(state, *job), IoError);
    EXPECT_FALSE(test::Exists(path));
}

// A temporary folder that fills up cuts the spooled PDF short without Qt saying so (here
// the file-size limit, which binds root too, does it): the file that was there stays, no
// spool is left, and the job ends in the error box.
TEST_F(PdfReport, ASpoolCutShortKeepsTheOldFile) {
    const std::string path = dir.Path("kept.pdf");
    test::WriteText(path, "the file that was there");
    std::unique_ptr<PrintJob> job = StartQtPdfJob(path);
    ASSERT_TRUE(job);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{4096, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    try {
        PrintResultsReport(state, *job);
    } catch (const IoError& e) {
        error = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    job.reset();
    ASSERT_TRUE(error.starts_with("Input/output error: /") && error.ends_with(".pdf")) << error;
    EXPECT_TRUE(ReadText(path) == "the file that was there");  // not half a PDF
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(test::Exists(error.substr(error.find('/'))));  // the spool is gone
}

// The printer dialog's Print to File makes the current printer a PDF printer with a file.
TEST_F(PdfReport, APrinterThatPrintsToAFileWritesItWhenTheJobEnds) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    EXPECT_EQ(PrinterNameOf(printer), std::nullopt);  // no printer and no file: none
    const std::string path = dir.Path("to-file.pdf");
    printer.setOutputFileName(QString::fromStdString(path));
    EXPECT_EQ(PrinterNameOf(printer), path);

    test::WriteText(path, "old");
    state.calc.table.Cell(2, 1) = "?";
    std::unique_ptr<PrintJob> job = StartQtPrintJob(printer);
    ASSERT_TRUE(job);
    EXPECT_THROW(PrintResultsReport(state, *job), ConversionError);
    job.reset();
    EXPECT_EQ(ReadText(path), "old");
    EXPECT_EQ(printer.outputFileName().toStdString(), path);  // kept for the next job

    state.calc.table.Cell(2, 1) = " 2";
    job = StartQtPrintJob(printer);
    ASSERT_TRUE(job);
    PrintResultsReport(state, *job);
    job.reset();
    EXPECT_EQ(ReadText(path).substr(0, 5), "%PDF-");
    EXPECT_EQ(printer.outputFileName().toStdString(), path);
}

TEST(QtUiPrinter, PrinterSetupIsThePrintDialogWithAnOkButton) {
    QtUi ui("Dorvalix");
    QString okText, title;
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        sawDialog = dialog != nullptr;
        if (!dialog) return;
        title = dialog->windowTitle();
        if (auto* box = dialog->findChild<QDialogButtonBox*>())
            okText = box->button(QDialogButtonBox::Ok)->text();
        dialog->reject();
    });
    ui.ShowPrinterSetup("プリンターセットアップ");
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(title, "プリンターセットアップ");
    EXPECT_EQ(okText, "OK");
}

}  // namespace
}  // namespace dorvalix
