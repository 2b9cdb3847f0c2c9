// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli hkl: the hkl table of a cell, printed as the hkl window copies it to the
// clipboard, without the empty lines that pad the grid.
#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "errors.h"
#include "hkl_stream.h"
#include "hkl_table.h"
#include "hkl_text.h"
#include "memory_limit.h"
#include "numtext.h"
#include "output_file.h"

namespace dorvalix::cli {

namespace {

// Texts of the command line itself; the table's own refusals are the window's messages.
constexpr Lang kLang = Lang::English;

struct HklOptions {
    std::array<long double, 6> cell{};
    bool has_cell = false;
    int system = 0;
    long double d_min = 1.5L;
    long double wavelength = 1.54178L;
    bool has_wavelength = false;
    bool has_xray = false;
    std::string range = "all";
    bool sort = false;
    Centring lattice = Centring::P;
    std::string output = "-";  // --output FILE instead of standard output ("-")
    bool help = false;         // --help or -h
};

// Reads the options; returns false with `problem` set for wrong usage.
bool ParseOptions(const std::vector<std::string>& args, HklOptions& o, std::string& problem) {
    auto number = [&](std::size_t at, const std::string& option, long double& value) {
        if (at >= args.size()) {
            problem = option + " needs a value";
            return false;
        }
        if (!TryParseReal(args[at], value)) {
            problem = option + ": '" + QuoteForMessage(args[at]) + "' is not a number";
            return false;
        }
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") {
            o.help = true;
            return true;
        }
        if (option == "--") {
            // The end of the options; the table takes no other arguments.
            if (i + 1 < args.size()) {
                problem = "unknown argument '" + QuoteForMessage(args[i + 1]) + "'";
                return false;
            }
            break;
        }
        if (option == "--cell") {
            for (std::size_t v = 0; v < 6; ++v) {
                if (!number(i + 1 + v, option, o.cell[v])) {
                    if (i + 1 + v >= args.size()) problem = "--cell needs six numbers";
                    return false;
                }
            }
            o.has_cell = true;
            i += 6;
        } else if (option == "--system") {
            int code = 0;
            if (i + 1 >= args.size() || !ParseCount(args[i + 1], 8, code)) {
                problem = "--system needs a crystal-system code from 0 to 8";
                return false;
            }
            o.system = code;
            ++i;
        } else if (option == "--dmin") {
            if (!number(i + 1, option, o.d_min)) return false;
            ++i;
        } else if (option == "--wavelength") {
            if (o.has_xray) {
                problem = "--wavelength and --xray exclude each other";
                return false;
            }
            if (!number(i + 1, option, o.wavelength)) return false;
            o.has_wavelength = true;
            ++i;
        } else if (option == "--xray") {
            if (o.has_wavelength) {
                problem = "--wavelength and --xray exclude each other";
                return false;
            }
            const WavelengthPreset* preset =
                i + 1 < args.size() ? FindWavelengthPreset(args[i + 1]) : nullptr;
            if (preset == nullptr) {
                problem = "--xray needs one of";
                for (const WavelengthPreset& p : kWavelengthPresets)
                    problem += std::string(" ") + p.name;
                return false;
            }
            o.wavelength = preset->wavelength;
            o.has_xray = true;
            ++i;
        } else if (option == "--range") {
            if (i + 1 >= args.size() || (args[i + 1] != "all" && args[i + 1] != "asym")) {
                problem = "--range needs all or asym";
                return false;
            }
            o.range = args[i + 1];
            ++i;
        } else if (option == "--lattice") {
            const auto centring =
                i + 1 < args.size() ? CentringFromLetter(args[i + 1]) : std::nullopt;
            if (!centring) {
                problem = "--lattice needs one of P A B C I F R";
                return false;
            }
            o.lattice = *centring;
            ++i;
        } else if (option == "--sort") {
            o.sort = true;
        } else if (option == "--output") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                problem = "--output needs a file name";
                return false;
            }
            o.output = args[i + 1];
            ++i;
        } else {
            problem = "unknown argument '" + QuoteForMessage(option) + "'";
            return false;
        }
    }
    if (!o.has_cell) {
        problem = "--cell A B C ALPHA BETA GAMMA is required";
        return false;
    }
    return true;
}

}  // namespace

int RunHklCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    HklOptions options;
    std::string problem;
    if (!ParseOptions(args, options, problem)) {
        err << "dorvalix-cli hkl: " << problem << "\n" << kUsage;
        return 2;
    }
    if (options.help) return PrintHelp(out, err);
    try {
        HklRefusal refusal = CheckWavelength(options.wavelength);
        if (!refusal) refusal = CheckMinimumD(options.d_min);
        const auto& c = options.cell;
        const HklCell cell = CellFromDegrees(c[0], c[1], c[2], c[3], c[4], c[5]);
        IndexRange range;
        if (!refusal) refusal = ComputeIndexRange(cell, options.d_min, range);
        const HklParameters parameters{options.system, options.range, options.wavelength,
                                       options.d_min, options.lattice};
        // The clipboard's lines, ended the way a terminal or a script expects, written in
        // blocks so that a large table never needs its whole text at once; a file through
        // the atomic writer, which replaces it only when all is written.
        std::optional<OutputTarget> target;
        if (!refusal) target.emplace(options.output, out, kLang);
        const HklTextSink sink = [&](std::string_view text) { target->Write(text); };
        if (!refusal && options.sort) {
            // The sorted table is held with its order: it must fit in the memory this
            // process may use.
            HklTable table;
            refusal = GenerateHklTable(cell, range, parameters, table, ToolLimit(MemoryLimit()));
            if (!refusal) WriteSortedHklLines(table, HklLineEnd::Lf, 0, sink);
        } else if (!refusal) {
            // Unsorted, the table streams out and is never held whole.
            refusal =
                StreamHklLines(cell, range, parameters, ToolLimit(0), HklLineEnd::Lf, 0, sink);
        }
        if (refusal) {
            err << refusal->In(kLang) << "\n";
            return 1;
        }
        if (!target->Finish()) {
            err << "dorvalix-cli hkl: the table could not be written\n";
            return 1;
        }
        return 0;
    } catch (const IoError& e) {
        err << OutputFileErrorLine(e.Text());
        return 1;
    } catch (const DorvalixError& e) {
        // The window's error box shows the text followed by ".".
        err << e.Text() << ".\n";
        return 1;
    } catch (const std::bad_alloc&) {
        err << "dorvalix-cli hkl: the table does not fit in the memory: set a larger minimum "
               "d-value\n";
        return 1;
    }
}

}  // namespace dorvalix::cli
