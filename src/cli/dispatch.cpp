// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"
#include "version.h"

namespace dorvalix::cli {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string command = args.empty() ? "" : args.front();
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (command == "refine") return RunRefineCommand(rest, out, err);
    if (command == "hkl") return RunHklCommand(rest, out, err);
    if (command == "index") return RunIndexCommand(rest, out, err);
    if (command == "assign") return RunAssignCommand(rest, out, err);
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage << kHelpText;
        return 0;
    }
    if (command == "--version" || command == "-v") {
        out << VersionText("dorvalix-cli");
        return 0;
    }
    if (!command.empty()) err << "dorvalix-cli: unknown command " << command << "\n";
    err << kUsage;
    return 2;
}

}  // namespace dorvalix::cli
