// SPDX-License-Identifier: GPL-3.0-or-later
// `--output FILE` of the subcommands. A regular file (or a new one) is replaced atomically
// (AtomicFileWriter), so that a script never finds half a result; "-" is standard output,
// as for most programs; a character device (/dev/null, a terminal) or a FIFO (a shell's
// process substitution) is written directly, since it cannot be replaced. A terminal is
// given the text with its control characters shown as \xNN (ShowControlCharacters), so that
// a sample or file name cannot send the terminal commands.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "atomic_file.h"
#include "lang.h"

namespace dorvalix::cli {

// Where the output goes. Every failure to open or write a file throws IoError with the
// platform's error text and the file name.
class OutputTarget {
  public:
    // `path` as given to --output; "-" is `out` (a terminal when it is std::cout and the
    // program's standard output is one).
    OutputTarget(const std::string& path, std::ostream& out, Lang lang);
    ~OutputTarget();
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    void Write(std::string_view bytes);
    // The file replaces the old one, a device is closed, standard output is flushed.
    // False when standard output could not be written (the caller says so).
    bool Finish();

  private:
    std::string path_;
    std::ostream* out_ = nullptr;  // "-"
    int device_ = -1;              // a device or a FIFO
    std::optional<AtomicFileWriter> file_;
    bool terminal_ = false;
};

// Writes `text` as the whole output to `path` ("-": `out`). Returns 0, or 1 after writing
// the error box's text ("dorvalix-cli: <reason>: <file>.") to `err`, or `stdoutFailure`
// when standard output could not be written.
int WriteOutputFile(const std::string& path, std::string_view text, Lang lang, std::ostream& out,
                    std::ostream& err, std::string_view stdoutFailure);

// The error line of a file that could not be written, as WriteOutputFile writes it.
std::string OutputFileErrorLine(const std::string& text);

}  // namespace dorvalix::cli
