// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"

namespace dorvalix::cli {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string command = args.empty() ? "" : args.front();
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (command == "refine") return RunRefineCommand(rest, out, err);
    if (command == "hkl") return RunHklCommand(rest, out, err);
    if (command == "pattern") return RunPatternCommand(rest, out, err);
    if (command == "peaks") return RunPeaksCommand(rest, out, err);
    if (command == "index") return RunIndexCommand(rest, out, err);
    if (command == "assign") return RunAssignCommand(rest, out, err);
    if (command == "--help" || command == "-h" || command == "help") return PrintHelp(out, err);
    if (command == "--version" || command == "-v") return PrintVersion(out, err);
    if (!command.empty()) err << "dorvalix-cli: unknown command " << command << "\n";
    err << kUsage;
    return 2;
}

}  // namespace dorvalix::cli
