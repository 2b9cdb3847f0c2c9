// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_file.h"

#include "atomic_file.h"
#include "errors.h"

namespace dorvalix::cli {

std::string OutputFileErrorLine(const std::string& text) {
    return "dorvalix-cli: " + text + ".\n";
}

int WriteOutputFile(const std::string& path, std::string_view text, Lang lang, std::ostream& err) {
    try {
        WriteFileAtomically(path, text, lang);
        return 0;
    } catch (const DorvalixError& e) {
        err << OutputFileErrorLine(e.Text());
        return 1;
    }
}

}  // namespace dorvalix::cli
