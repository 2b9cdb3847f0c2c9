// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a PDF file is whole: a writer that fails halfway (a full disk) may not say so, and
// half a PDF must never replace the file that was there.
#pragma once

#include <string_view>

namespace dorvalix {

// True when `bytes` are a PDF from its header to its end: they start with "%PDF-", end
// with "%%EOF" (line breaks after it allowed), and the offset after the last "startxref"
// points into the file at the cross-reference table ("xref") or stream ("N G obj") that
// the writer put there (PDF 1.7, ISO 32000-1, 7.5.5). A file cut short loses its end, and
// a piece lost in the middle moves the table away from its offset.
bool IsCompletePdf(std::string_view bytes);

}  // namespace dorvalix
