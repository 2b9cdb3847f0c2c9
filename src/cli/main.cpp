// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli: refinement and hkl tables without a window, for scripts and batch work.
#include <iostream>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "commands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Ctrl-C in the middle of a large table leaves no temporary file beside --output.
    dorvalix::RemoveTemporaryFilesOnSignals();
    return dorvalix::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                 std::cerr);
}
