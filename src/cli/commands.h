// SPDX-License-Identifier: GPL-3.0-or-later
// The subcommands of dorvalix-cli. Each takes the arguments after its name and returns the
// exit status: 0 success, 1 refused or failed (message on `err`), 2 wrong usage.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dorvalix::cli {

int RunRefineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunHklCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunIndexCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunAssignCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The whole command line after the program's name: a subcommand, --help or --version.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage lines of the subcommands, and what --help adds to them.
extern const char* const kUsage;
extern const char* const kHelpText;

}  // namespace dorvalix::cli
