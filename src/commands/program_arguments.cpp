// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_arguments.h"

#include <filesystem>

#include "main_commands.h"

namespace dorvalix {

ProgramArguments ParseProgramArguments(const std::vector<std::string>& args) {
    ProgramArguments result;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            return {ProgramArguments::Action::Help, "", ""};
        } else if (!optionsEnded && (arg == "--version" || arg == "-v")) {
            return {ProgramArguments::Action::Version, "", ""};
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            return {ProgramArguments::Action::WrongUsage, "", "unknown option " + arg};
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() > 1) {
        return {ProgramArguments::Action::WrongUsage, "", "one file at most"};
    }
    if (!files.empty()) result.file = files.front();
    return result;
}

std::string ProgramUsageLine() {
    return "usage: dorvalix [FILE] | --help | --version\n";
}

std::string ProgramHelpText() {
    return ProgramUsageLine() +
           "\n"
           "Refines lattice constants by least squares from indexed powder-diffraction\n"
           "data, and lists the hkl reflections of a cell.\n"
           "\n"
           "  FILE           an observation file (.lat) to read at start, or a\n"
           "                 diffraction pattern (.xrdml .raw .brml .ras .rasx .xy\n"
           "                 .xye .gsa .gss .gsas .fxye) to open in the pattern window\n"
           "  -h, --help     show this text and exit\n"
           "  -v, --version  show the version and exit\n"
           "\n"
           "Settings: dorvalixini beside the program when its folder is writable,\n"
           "otherwise $XDG_CONFIG_HOME/dorvalix/dorvalixini (~/.config/dorvalix).\n"
           "Without a window: dorvalix-cli --help.\n";
}

void ReadFileAtStart(MainState& state, const std::string& path) {
    // A name relative to the working directory is made whole, as the open dialog gives it.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    const std::string name = ec ? path : absolute.lexically_normal().string();
    state.openDialogName = name;
    ReadObservationFileNamed(state, name);
}

}  // namespace dorvalix
