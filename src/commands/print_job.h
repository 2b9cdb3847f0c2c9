// SPDX-License-Identifier: GPL-3.0-or-later
// A print job as the commands see it: a page canvas in the printer's device units (its
// pixels, from the top left corner of the printable area) that sets font sizes and
// colours, measures, draws texts and starts new pages, and then either ends, when the
// pages go to the printer or the file, or is abandoned with nothing printed.
#pragma once

#include <string>

#include "printed_report.h"

namespace dorvalix {

class PrintJob {
  public:
    // A job neither ended nor aborted is aborted.
    virtual ~PrintJob() = default;

    // The size of the printer's own typeface; the typeface itself is never changed.
    virtual void SetFontSize(int points) = 0;
    virtual void SetColour(PrintColour colour) = 0;
    // The height of the current font and the width of a text in it, device units.
    virtual int FontHeight() = 0;
    virtual int TextWidth(const std::string& text) = 0;
    // The height of the printable area, device units.
    virtual int PageHeight() = 0;
    // Draws `text` with the top left corner of its line at (x, y).
    virtual void TextOut(int x, int y, const std::string& text) = 0;
    virtual void NewPage() = 0;
    // The pages go out. IoError when they cannot (a file that cannot be written).
    virtual void EndDoc() = 0;
    // Nothing of the job is printed or written.
    virtual void Abort() = 0;
};

}  // namespace dorvalix
