// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the arguments of `dorvalix-cli hkl`. Any arguments must end in a table,
// a refusal (status 1) or a usage message (status 2), never in a crash or another status.
// Each input is one argument per line; --output is left out so that nothing is written.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "errors.h"
#include "hkl_table.h"
#include "numtext.h"

using namespace dorvalix;

namespace {

std::vector<std::string> Arguments(std::string_view input) {
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start <= input.size() && args.size() < 64) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        args.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--output")
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(std::min(i + 2, args.size())));
    }
    return args;
}

// Whether the cell and minimum d the arguments ask for stay small enough for a fuzzing run
// (at most a few hundred thousand index triples); tables of millions are the benchmarks'.
bool SmallTable(const std::vector<std::string>& args) {
    long double cell[6] = {0, 0, 0, 90, 90, 90};
    long double dMin = 1.5L;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--cell" && i + 6 < args.size()) {
            for (int v = 0; v < 6; ++v) {
                if (!TryParseReal(args[i + 1 + v], cell[v])) return true;  // refused anyway
            }
        } else if (args[i] == "--dmin" && i + 1 < args.size()) {
            if (!TryParseReal(args[i + 1], dMin)) return true;
        }
    }
    IndexRange range;
    try {
        const HklCell c = CellFromDegrees(cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]);
        if (ComputeIndexRange(c, dMin, range)) return true;  // refused before any table
    } catch (const DorvalixError&) {
        return true;
    }
    return IndexTripleCount(range) <= 300000;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args =
        Arguments(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!SmallTable(args)) return 0;
    std::ostringstream out, err;
    const int status = cli::RunHklCommand(args, out, err);
    if (status < 0 || status > 2 || (status != 0 && err.str().empty())) {
        std::fprintf(stderr, "status %d, message '%s'\n", status, err.str().c_str());
        std::abort();
    }
    return 0;
}
