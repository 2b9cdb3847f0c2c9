// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the arguments of `dorvalix-cli refine` over a data file. The input is
// the arguments, one per line, then a NUL and the file's bytes; the argument FILE stands
// for that file. Any input must end in output, a refusal (1) or a usage message (2).
// --output is left out so that nothing is written.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"

using namespace dorvalix;

namespace {

const std::string& DataPath() {
    static const std::string path = "/tmp/dorvalix-refine-fuzz-" + std::to_string(getpid());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view argText = input.substr(0, nul);
    const std::string_view file = nul == std::string_view::npos ? "" : input.substr(nul + 1);
    std::ofstream(DataPath(), std::ios::binary | std::ios::trunc)
        .write(file.data(), static_cast<std::streamsize>(file.size()));

    std::vector<std::string> args;
    std::size_t start = 0;
    while (start <= argText.size() && args.size() < 64) {
        const std::size_t end = std::min(argText.find('\n', start), argText.size());
        std::string arg(argText.substr(start, end - start));
        start = end + 1;
        if (arg == "--output" || arg.rfind("--output=", 0) == 0) {
            if (arg == "--output") start = std::min(argText.find('\n', start), argText.size()) + 1;
            continue;
        }
        args.push_back(arg == "FILE" ? DataPath() : arg);
    }
    std::ostringstream out, err;
    const int status = cli::RunRefineCommand(args, out, err);
    if (status < 0 || status > 2 || (status != 0 && err.str().empty())) {
        std::fprintf(stderr, "status %d, message '%s'\n", status, err.str().c_str());
        std::abort();
    }
    return 0;
}
