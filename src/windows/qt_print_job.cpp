// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_print_job.h"

#include <langinfo.h>
#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>
#include <cerrno>
#include <cmath>
#include <cstdint>

#include "atomic_file.h"
#include "errors.h"
#include "pdf_file.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

// A laser printer cannot print the outer 1/6 inch of the sheet; a PDF page keeps the same
// border, so the text stands where it would on paper.
constexpr qreal kPdfBorderInches = 1.0 / 6.0;
constexpr int kPdfDpi = 600;

class QtPrintJob final : public PrintJob {
  public:
    // Paints on `printer`. With a `target` file the printer writes into a temporary file
    // first, which replaces the target when the job ends. `owned` keeps a printer made for
    // this job alive.
    static std::unique_ptr<PrintJob> Start(QPrinter& printer, std::unique_ptr<QPrinter> owned,
                                           const QString& target) {
        std::unique_ptr<QtPrintJob> job(new QtPrintJob(printer, std::move(owned), target));
        return job->Prepare() ? std::move(job) : nullptr;
    }

    ~QtPrintJob() override {
        if (painter_.isActive()) Abort();
        if (!target_.isEmpty()) printer_.setOutputFileName(target_);
    }

    void SetFontSize(int points) override {
        font_.setPointSize(points);
        if (painter_.isActive()) painter_.setFont(font_);
        points_ = points;
    }
    void SetColour(PrintColour colour) override {
        pen_ = colour == PrintColour::Aqua ? QColor(0, 255, 255) : QColor(0, 0, 0);
        if (painter_.isActive()) painter_.setPen(pen_);
    }
    // The font's height as printers state it: its em in device units, points × dpi / 72.
    int FontHeight() override {
        return static_cast<int>(std::lround(points_ * printer_.logicalDpiY() / 72.0));
    }
    int TextWidth(const std::string& text) override {
        return QFontMetrics(font_, &printer_).horizontalAdvance(ToQ(text));
    }
    int PageHeight() override { return printer_.height(); }
    void TextOut(int x, int y, const std::string& text) override {
        Begin();
        // Qt draws from the baseline; the layout places the top of the line.
        painter_.drawText(QPoint(x, y + painter_.fontMetrics().ascent()), ToQ(text));
    }
    void NewPage() override {
        Begin();
        printer_.newPage();
    }

    void EndDoc() override {
        Begin();
        const bool done = painter_.end() && printer_.printerState() != QPrinter::Error;
        if (target_.isEmpty()) {
            if (!done) throw IoError(IoErrorText(EIO, printer_.printerName().toStdString()));
            return;
        }
        const std::string target = target_.toStdString();
        QFile spool(spool_.fileName());
        if (!done || !spool.open(QIODevice::ReadOnly)) throw IoError(IoErrorText(EIO, target));
        const QByteArray pdf = spool.readAll();
        const std::string_view bytes(pdf.constData(), static_cast<std::size_t>(pdf.size()));
        // Qt's PDF writer does not report a spool it could not write whole (a full
        // temporary folder): half a PDF must not replace the file.
        if (!IsCompletePdf(bytes)) throw IoError(IoErrorText(SpoolError(), SpoolName()));
        WriteFileAtomically(target, bytes);
    }

    // Before the first text nothing has reached the printer and nothing will. Once the
    // painter runs, a printer's pages go out when it ends (Qt cannot recall them from the
    // spooler); a file job's temporary file is dropped.
    void Abort() override {
        if (!painter_.isActive()) return;
        printer_.abort();
        painter_.end();
    }

  private:
    QtPrintJob(QPrinter& printer, std::unique_ptr<QPrinter> owned, const QString& target)
        : printer_(printer), owned_(std::move(owned)), target_(target), font_(PrintFont()) {}

    // The printer's typeface: Liberation Sans (the metrics of Arial), with the proportional
    // Gothic for Japanese characters. Its digits, 0.56 em wide, keep the last of seven cell
    // columns ten digits apart inside an A4 or Letter page at 14 points; the toolkit's
    // default sans, with digits of 0.64 em, runs past the right edge.
    static QFont PrintFont() {
        QFont font;
        font.setFamilies(
            {"Liberation Sans", "Arimo", "IPAPGothic", "IPA Pゴシック", "DejaVu Sans"});
        font.setStyleHint(QFont::SansSerif);
        font.setPointSize(print_layout::kBodyPoints);
        return font;
    }

    bool Prepare() {
        if (target_.isEmpty()) return printer_.isValid();
        spool_.setFileTemplate(QDir::tempPath() + "/dorvalix-XXXXXX.pdf");
        if (!spool_.open()) return false;
        spool_.close();
        printer_.setOutputFileName(spool_.fileName());
        return true;
    }

    std::string SpoolName() const { return spool_.fileName().toStdString(); }

    // Why the spool is short, as far as can be told: its folder is full, or an error the
    // writer kept to itself.
    int SpoolError() const {
        struct statvfs fs;
        const std::string folder = QFileInfo(spool_.fileName()).absolutePath().toStdString();
        return statvfs(folder.c_str(), &fs) == 0 && fs.f_bavail == 0 ? ENOSPC : EIO;
    }

    // The painter starts with the first text, once the whole page has been laid out.
    void Begin() {
        if (painter_.isActive()) return;
        if (begun_ || !painter_.begin(&printer_)) {
            const QString name = target_.isEmpty() ? printer_.printerName() : target_;
            throw IoError(IoErrorText(EIO, name.toStdString()));
        }
        begun_ = true;
        painter_.setFont(font_);
        painter_.setPen(pen_);
    }

    QPrinter& printer_;
    std::unique_ptr<QPrinter> owned_;
    QString target_;        // the file the pages replace, if any
    QTemporaryFile spool_;  // removed with the job
    QPainter painter_;
    QFont font_;  // only its size changes
    QColor pen_ = QColor(0, 0, 0);
    int points_ = 0;
    bool begun_ = false;  // a job paints once
};

}  // namespace

std::unique_ptr<QPrinter> MakeCurrentPrinter() {
    return std::make_unique<QPrinter>(QPrinter::HighResolution);
}

std::optional<std::string> PrinterNameOf(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        if (printer.outputFileName().isEmpty()) return std::nullopt;
        return printer.outputFileName().toStdString();
    }
    if (printer.printerName().isEmpty()) return std::nullopt;
    return printer.printerName().toStdString();
}

std::unique_ptr<PrintJob> StartQtPrintJob(QPrinter& printer) {
    if (printer.docName().isEmpty()) printer.setDocName("Dorvalix");  // the job's title
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    return QtPrintJob::Start(printer, nullptr, toFile ? printer.outputFileName() : QString());
}

std::unique_ptr<PrintJob> StartQtPdfJob(const std::string& path) {
    auto pdf = std::make_unique<QPrinter>(QPrinter::HighResolution);
    pdf->setOutputFormat(QPrinter::PdfFormat);
    pdf->setResolution(kPdfDpi);
    pdf->setPageSize(LocalePaper());
    pdf->setPageMargins(
        QMarginsF(kPdfBorderInches, kPdfBorderInches, kPdfBorderInches, kPdfBorderInches),
        QPageLayout::Inch);
    pdf->setCreator("Dorvalix 2.20");
    pdf->setDocName(QFileInfo(QString::fromStdString(path)).fileName());
    QPrinter& printer = *pdf;
    return QtPrintJob::Start(printer, std::move(pdf), QString::fromStdString(path));
}

QPageSize LocalePaper() {
    // glibc keeps the paper of LC_PAPER in millimetres, the numbers in the pointer's bits.
    const auto mm = [](nl_item item) {
        return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(nl_langinfo(item)));
    };
    const bool letter = mm(_NL_PAPER_WIDTH) == 216 && mm(_NL_PAPER_HEIGHT) == 279;
    return QPageSize(letter ? QPageSize::Letter : QPageSize::A4);
}

}  // namespace dorvalix
