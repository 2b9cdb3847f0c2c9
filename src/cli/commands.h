// SPDX-License-Identifier: GPL-3.0-or-later
// The subcommands of dorvalix-cli. Each takes the arguments after its name and returns the
// exit status: 0 success, 1 refused or failed (message on `err`), 2 wrong usage.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace dorvalix::cli {

int RunRefineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunHklCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunPatternCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunPeaksCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunIndexCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunAssignCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The whole command line after the program's name: a subcommand, --help or --version.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage lines of the subcommands, and what --help adds to them.
extern const char* const kUsage;
extern const char* const kHelpText;

// --help (of the program or a subcommand) and --version: the text on `out`, 0; 1 with a
// message on `err` when it could not be written (a closed pipe, a full disk).
int PrintHelp(std::ostream& out, std::ostream& err);
int PrintVersion(std::ostream& out, std::ostream& err);

// A count given on the command line: plain decimal digits without sign or blank, at most
// `limit` ("0x5", "+5" and " 5" are refused).
bool ParseCount(std::string_view text, int limit, int& value);

}  // namespace dorvalix::cli
