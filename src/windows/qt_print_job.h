// SPDX-License-Identifier: GPL-3.0-or-later
// Print jobs through Qt Print Support: a QPainter on a QPrinter in high resolution, drawing
// in the printer's device units.
#pragma once

#include <QPageSize>
#include <memory>
#include <optional>
#include <string>

#include "print_job.h"

class QPrinter;

namespace dorvalix {

// The platform's current (default) printer in high resolution. With no printer installed
// Qt makes it a PDF printer without a file.
std::unique_ptr<QPrinter> MakeCurrentPrinter();

// The name under which the platform lists the printer; the file's name when the printer
// dialog chose to print to a file; nullopt when there is neither (no printer installed).
std::optional<std::string> PrinterNameOf(const QPrinter& printer);

// A job on `printer`, or null when it cannot start. A printer that prints to a file writes
// it as a PDF job does: the file is replaced only when the job ends.
std::unique_ptr<PrintJob> StartQtPrintJob(QPrinter& printer);

// A job whose pages go to a PDF file at `path`: the locale's paper (A4, or Letter), 600 dpi,
// a border of 1/6 inch around the printable area as on a laser printer. The pages go to a
// temporary file first and replace `path` atomically when the job ends, once the spooled
// PDF is whole (IsCompletePdf; else IoError and the old file stays); an aborted job writes
// nothing. Null when it cannot start.
std::unique_ptr<PrintJob> StartQtPdfJob(const std::string& path);

// Letter where the locale's paper (LC_PAPER) is 8.5 × 11 inches, A4 everywhere else.
QPageSize LocalePaper();

}  // namespace dorvalix
