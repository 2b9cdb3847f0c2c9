// Placeholder until the refine subcommand is written.
#include "commands.h"

namespace dorvalix::cli {

int RunRefineCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "dorvalix-cli: refine is not available in this build\n";
    return 2;
}

}  // namespace dorvalix::cli
