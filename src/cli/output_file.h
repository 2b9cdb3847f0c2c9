// SPDX-License-Identifier: GPL-3.0-or-later
// `--output FILE` of the subcommands: what would go to standard output goes to a file,
// replaced atomically (AtomicFileWriter), so that a script never finds half a result.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "lang.h"

namespace dorvalix::cli {

// Writes `text` as the whole file at `path`. Returns 0, or 1 after writing the error box's
// text ("dorvalix-cli: <reason>: <file>.") to `err`.
int WriteOutputFile(const std::string& path, std::string_view text, Lang lang, std::ostream& err);

// The error line of a file that could not be written, as WriteOutputFile writes it.
std::string OutputFileErrorLine(const std::string& text);

}  // namespace dorvalix::cli
