// dorvalix-cli: refinement and hkl tables without a window, for scripts and batch work.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 1 ? 2 : 1), argv + argc);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "refine") return dorvalix::cli::RunRefineCommand(args, std::cout, std::cerr);
    if (command == "hkl") return dorvalix::cli::RunHklCommand(args, std::cout, std::cerr);
    std::cerr << dorvalix::cli::kUsage;
    return 2;
}
