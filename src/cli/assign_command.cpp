// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli assign: the indices of a peak list from a known cell, refined, written as a
// .lat observation file (which the main window reads) or JSON.
#include <algorithm>

#include "assignment.h"
#include "commands.h"
#include "crystal_system.h"
#include "errors.h"
#include "index_options.h"
#include "json_text.h"
#include "numtext.h"
#include "observation_file.h"
#include "output_file.h"

namespace dorvalix::cli {

namespace {

using namespace indexing;

struct AssignRequest {
    std::string peaks;
    Cell cell;
    bool hasCell = false;
    int system = -1;
    std::optional<Centring> lattice;
    std::string spaceGroup;
    AssignmentOptions options;
    bool xray = false;
    bool json = false;
    std::string output;
};

bool ParseAssignOptions(const std::vector<std::string>& args, AssignRequest& r,
                        std::string& problem) {
    ArgumentReader in(args, "assign");
    auto fail = [&] {
        problem = in.problem;
        return false;
    };
    while (in.More()) {
        const std::string option = in.Next();
        if (option == "--cell") {
            long double* v[6] = {&r.cell.a,     &r.cell.b,    &r.cell.c,
                                 &r.cell.alpha, &r.cell.beta, &r.cell.gamma};
            for (long double* x : v) {
                if (!in.Real(option, *x)) {
                    problem = in.problem.find("needs a value") != std::string::npos
                                  ? "--cell needs six numbers"
                                  : in.problem;
                    return false;
                }
            }
            r.hasCell = true;
        } else if (option == "--system") {
            if (!in.Count(option, 1, 8, r.system)) {
                problem = "--system needs a crystal-system code from 1 to 8";
                return false;
            }
        } else if (option == "--lattice") {
            std::string letter;
            if (!in.Text(option, letter)) return fail();
            r.lattice = CentringFromLetter(letter);
            if (!r.lattice) {
                problem = "--lattice needs one of P A B C I F R";
                return false;
            }
        } else if (option == "--space-group") {
            if (!in.Text(option, r.spaceGroup) || r.spaceGroup.empty()) {
                problem = "--space-group needs a symbol";
                return false;
            }
        } else if (option == "--tolerance") {
            long double t;
            if (!in.PositiveReal(option, t)) return fail();
            if (t >= 5) {
                problem = "--tolerance needs a 2-theta tolerance below 5 degrees";
                return false;
            }
            r.options.tolerance = t;
        } else if (option == "--wavelength" || option == "--xray") {
            if (!in.Wavelength(option, r.options.wavelength, r.xray)) return fail();
        } else if (option == "--format") {
            std::string format;
            if (!in.Text(option, format)) return fail();
            if (format != "lat" && format != "json") {
                problem = "--format needs lat or json";
                return false;
            }
            r.json = format == "json";
        } else if (option == "--output") {
            if (!in.Text(option, r.output) || r.output.empty()) {
                problem = "--output needs a file name";
                return false;
            }
        } else if (!option.empty() && option[0] == '-' && option.size() > 1) {
            problem = "unknown option '" + QuoteForMessage(option) + "'";
            return false;
        } else if (r.peaks.empty()) {
            r.peaks = option;
        } else {
            problem = "one peak file only";
            return false;
        }
    }
    if (r.peaks.empty()) {
        problem = "a peak file (PEAKS) is required";
        return false;
    }
    if (!r.hasCell) {
        problem = "--cell A B C ALPHA BETA GAMMA is required";
        return false;
    }
    if (r.system < 0) {
        problem = "--system CODE is required";
        return false;
    }
    if (r.lattice && !r.spaceGroup.empty()) {
        problem = "--lattice and --space-group exclude each other";
        return false;
    }
    return true;
}

// The s.u. of a, b, c, α, β, γ, V, null where the crystal system fixes the quantity (as the
// results panel masks its rows).
std::string CellSdJson(const AssignmentResult& r) {
    static const std::vector<int> kFixed[9] = {{},           {1, 2, 3, 4, 5}, {1, 3, 4, 5},
                                               {1, 3, 4, 5}, {3, 4, 5},       {3, 5},
                                               {},           {3, 4},          {1, 2, 4, 5}};
    std::string o = "[";
    for (int i = 0; i < 6; ++i) {
        const std::vector<int>& fixed = kFixed[r.code];
        const bool masked = std::find(fixed.begin(), fixed.end(), i) != fixed.end();
        o += (i > 0 ? ", " : "") +
             (masked ? std::string("null") : JsonNumber(r.cellSu[static_cast<std::size_t>(i)]));
    }
    return o + "]";
}

const char* StatusName(AssignedLine::Status s) {
    switch (s) {
        case AssignedLine::Status::Indexed:
            return "indexed";
        case AssignedLine::Status::Ambiguous:
            return "ambiguous";
        default:
            return "unindexed";
    }
}

std::string AssignJson(const AssignmentResult& r, const AssignRequest& request,
                       const std::string& rule) {
    std::string o = "{\n";
    o += "  \"file\": " + JsonString(request.peaks) + ",\n";
    o += "  \"system\": " + IntText(r.code) + ",\n";
    o += "  \"system_name\": " + JsonString(CrystalSystemName(r.code, Lang::English)) + ",\n";
    o += "  \"reflections\": " + JsonString(rule) + ",\n";
    o += "  \"cell\": " +
         JsonNumbers({r.cell.a, r.cell.b, r.cell.c, r.cell.alpha, r.cell.beta, r.cell.gamma}) +
         ",\n";
    o += "  \"cell_sd\": " + CellSdJson(r) + ",\n";
    o += "  \"volume\": " + JsonNumber(r.volume) + ",\n";
    o += "  \"volume_sd\": " + JsonNumber(r.cellSu[6]) + ",\n";
    o += "  \"wavelength\": " + JsonNumber(r.wavelength) + ",\n";
    o += "  \"tolerance\": " + JsonNumber(r.tolerance) + ",\n";
    o += "  \"rounds\": " + IntText(r.rounds) + ",\n";
    o += "  \"converged\": " + std::string(r.converged ? "true" : "false") + ",\n";
    o += "  \"indexed\": " + IntText(r.indexed) + ",\n";
    o += "  \"ambiguous\": " + IntText(r.ambiguous) + ",\n";
    o += "  \"unindexed\": " + IntText(r.unindexed) + ",\n";
    o += "  \"lines\": [\n";
    for (std::size_t i = 0; i < r.lines.size(); ++i) {
        const AssignedLine& l = r.lines[i];
        o += "    {\"line\": " + IntText(l.line) + ", ";
        o += r.twoThetaInput ? "\"two_theta\": " + JsonNumber(l.twoTheta)
                             : "\"d\": " + JsonNumber(l.d);
        o += ", \"status\": " + JsonString(StatusName(l.status));
        if (l.status == AssignedLine::Status::Indexed) {
            o += ", \"h\": " + IntText(l.hkl[0]) + ", \"k\": " + IntText(l.hkl[1]) +
                 ", \"l\": " + IntText(l.hkl[2]) + ", \"delta\": " + JsonNumber(l.delta);
        } else if (l.status == AssignedLine::Status::Ambiguous) {
            o += ", \"candidates\": [";
            for (std::size_t c = 0; c < l.candidates.size(); ++c)
                o += (c > 0 ? ", " : "") + JsonHkl(l.candidates[c]);
            o += "]";
        }
        o += "}";
        o += i + 1 < r.lines.size() ? ",\n" : "\n";
    }
    o += "  ]\n}\n";
    return o;
}

std::string AssignLat(const AssignmentResult& r, const std::string& peaks) {
    ObservationTable table;
    int row = 0;
    for (const AssignedLine& l : r.lines) {
        if (l.status != AssignedLine::Status::Indexed) continue;
        ++row;
        table.Cell(0, row) = l.dText;
        table.Cell(1, row) = IntText(l.hkl[0]);
        table.Cell(2, row) = IntText(l.hkl[1]);
        table.Cell(3, row) = IntText(l.hkl[2]);
    }
    table.filled = static_cast<std::uint32_t>(row);
    table.included = table.filled;
    return FormatObservationFile(table, r.code, FileNameOf(peaks) + " (indexed)");
}

}  // namespace

int RunAssignCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    AssignRequest request;
    std::string problem;
    if (!ParseAssignOptions(args, request, problem)) {
        err << "dorvalix-cli assign: " << problem << "\n" << kUsage;
        return 2;
    }
    ReflectionRule rule;
    std::string ruleText = "P";
    if (!request.spaceGroup.empty()) {
        rule.group = SpaceGroup::Find(request.spaceGroup, request.system == kTrigonal);
        if (!rule.group) {
            err << "dorvalix-cli assign: --space-group: '" << QuoteForMessage(request.spaceGroup)
                << "' is no space group known\n"
                << kUsage;
            return 2;
        }
        ruleText = rule.group->Name();
    } else if (request.lattice) {
        rule.centring = *request.lattice;
        ruleText = std::string(1, CentringLetter(rule.centring));
    }
    PeakFile peaks;
    std::string message;
    if (!LoadPeaks(request.peaks, peaks, message)) {
        err << "dorvalix-cli assign: " << message << "\n";
        return 1;
    }
    const AssignmentResult result =
        AssignIndices(peaks.peaks, request.cell, request.system, rule, request.options);
    if (result.refusal) {
        err << "dorvalix-cli assign: " << *result.refusal << "\n";
        return 1;
    }
    const std::string text =
        request.json ? AssignJson(result, request, ruleText) : AssignLat(result, request.peaks);
    if (WriteOutputFile(request.output.empty() ? std::string("-") : request.output, text,
                        Lang::English, out, err,
                        "dorvalix-cli assign: the results could not be written\n") != 0)
        return 1;
    if (!request.json && (result.ambiguous > 0 || result.unindexed > 0)) {
        err << "dorvalix-cli assign: " << result.ambiguous << " ambiguous and " << result.unindexed
            << " unindexed line(s) left out of the .lat file (--format json lists them)\n";
    }
    if (!result.unused.empty()) {
        err << "dorvalix-cli assign: " << result.unused.size()
            << " line(s) beyond the 300 a refinement takes were not used\n";
    }
    return 0;
}

}  // namespace dorvalix::cli
