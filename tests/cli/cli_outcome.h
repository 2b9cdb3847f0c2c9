// SPDX-License-Identifier: GPL-3.0-or-later
// What a dorvalix-cli command run in the test's own process returns and writes.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"

namespace dorvalix::cli {

inline const std::string kExample = std::string(DORVALIX_SOURCE_DIR) + "/examples/diopside.lat";

struct Outcome {
    int status = -1;
    std::string out, err;
};

using CliCommand = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);

inline Outcome Run(CliCommand command, const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Outcome o;
    o.status = command(args, out, err);
    o.out = out.str();
    o.err = err.str();
    return o;
}

inline Outcome Refine(const std::vector<std::string>& args) {
    return Run(RunRefineCommand, args);
}
inline Outcome RunHkl(const std::vector<std::string>& args) {
    return Run(RunHklCommand, args);
}
inline Outcome Cli(const std::vector<std::string>& args) {
    return Run(RunCli, args);
}

// Runs the built program through the shell, `before` its name (a "cd DIR && "); the exit
// status, and standard output and error together in `out`.
inline Outcome RunBinary(const std::string& arguments, const std::string& before = "") {
    Outcome o;
    const std::string command = before + DORVALIX_CLI_PATH + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return o;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        o.out.append(buffer, n);
    const int status = pclose(pipe);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

}  // namespace dorvalix::cli
