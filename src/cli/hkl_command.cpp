// Placeholder until the hkl subcommand is written.
#include "commands.h"

namespace dorvalix::cli {

int RunHklCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "dorvalix-cli: hkl is not available in this build\n";
    return 2;
}

}  // namespace dorvalix::cli
