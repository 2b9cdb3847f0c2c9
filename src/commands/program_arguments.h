// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the windowed program: an observation file to read at start or a
// pattern to open (IsPatternFileName tells which), or --help / --version. Qt's own options
// (-platform, -style ...) are taken by Qt first.
#pragma once

#include <string>
#include <vector>

#include "main_state.h"

namespace dorvalix {

struct ProgramArguments {
    enum class Action { Run, Help, Version, WrongUsage };
    Action action = Action::Run;
    std::string file;     // the observation file or pattern to open at start, if any
    std::string message;  // what was wrong, for WrongUsage
};

// Reads the arguments after the program's name. "--" ends the options, so a file whose
// name begins with "-" can be given after it.
ProgramArguments ParseProgramArguments(const std::vector<std::string>& args);

// The texts of --help (usage, options, files) and of a wrong command line.
std::string ProgramHelpText();
std::string ProgramUsageLine();

// Reads an observation file named on the command line, as Read from File reads the file
// chosen in its dialog: all or nothing; an IoError or ConversionError when it cannot be
// read, for the error box.
void ReadFileAtStart(MainState& state, const std::string& path);

}  // namespace dorvalix
