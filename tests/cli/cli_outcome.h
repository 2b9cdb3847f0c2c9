// SPDX-License-Identifier: GPL-3.0-or-later
// What a dorvalix-cli command run in the test's own process returns and writes.
#pragma once

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

}  // namespace dorvalix::cli
