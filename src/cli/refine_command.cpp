// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli refine: read observations, run Execute, print the results report or JSON;
// with --details and the formats cif, csv and summary also the refinement details.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calculation.h"
#include "cif_writer.h"
#include "commands.h"
#include "crystal_system.h"
#include "csv_writer.h"
#include "details_report.h"
#include "errors.h"
#include "hkl_table.h"
#include "json_text.h"
#include "numtext.h"
#include "observation_file.h"
#include "output_file.h"
#include "refine_details.h"
#include "refine_input.h"
#include "results_report.h"

namespace dorvalix::cli {

namespace {

enum class Format { Report, Json, Cif, Csv, Summary };

struct RefineOptions {
    std::vector<std::string> files;  // several only with the summary
    std::optional<int> system;
    std::vector<int> exclude;
    std::optional<ColumnOrder> order;
    Lang lang = Lang::English;
    Format format = Format::Report;
    DetailsRequest details;
    std::optional<std::string> output;  // --output FILE instead of standard output
    bool help = false;                  // --help or -h among the options
};

// An argument or a file name as a message shows it (control characters as \xNN, cut short).
std::string Q(const std::string& text) {
    return QuoteForMessage(text);
}
std::string QPath(const std::string& path) {
    return QuotePathForMessage(path);
}

// Reads the options; returns the problem, or an empty text when they are fine (or --help
// was asked for).
std::string ParseOptions(const std::vector<std::string>& args, RefineOptions& o) {
    bool optionsEnded = false;  // after "--" every argument is a FILE, "-x.lat" too
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (optionsEnded) {
            o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return {};
        }
        if (arg.starts_with("--")) {
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + Q(arg);
        } else {
            o.files.push_back(arg);
            continue;
        }
        if (IsDetailsFlag(arg)) {
            if (inlineValue) return arg + " takes no value";
            ParseDetailsFlag(arg, o.details);
            continue;
        }
        const bool known = arg == "--system" || arg == "--exclude" || arg == "--order" ||
                           arg == "--lang" || arg == "--format" || arg == "--output" ||
                           IsDetailsOption(arg);
        if (!known) return "unknown option " + Q(arg);
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return arg + " needs a value";
        }
        if (arg == "--system") {
            int code;
            if (!ParseCount(value, 8, code)) return "--system " + Q(value) + ": give a code 0 to 8";
            o.system = code;
        } else if (arg == "--exclude") {
            std::size_t pos = 0;
            for (;;) {
                const std::size_t comma = value.find(',', pos);
                const std::string item =
                    value.substr(pos, comma == std::string::npos ? comma : comma - pos);
                int n;
                if (!ParseCount(item, kMaxObservations, n) || n == 0) {
                    return "--exclude " + Q(value) + ": give observation numbers 1 to 300";
                }
                o.exclude.push_back(n);
                if (comma == std::string::npos) break;
                pos = comma + 1;
            }
        } else if (arg == "--order") {
            if (value == "dhkl") {
                o.order = ColumnOrder::Dhkl;
            } else if (value == "hkld") {
                o.order = ColumnOrder::Hkld;
            } else {
                return "--order " + Q(value) + ": give dhkl or hkld";
            }
        } else if (arg == "--output") {
            if (value.empty()) return "--output needs a file name";
            o.output = value;
        } else if (arg == "--lang") {
            if (value != "e" && value != "j") return "--lang " + Q(value) + ": give e or j";
            o.lang = LangFromCode(value);
        } else if (IsDetailsOption(arg)) {
            if (std::string problem = ParseDetailsOption(arg, value, o.details); !problem.empty())
                return problem;
        } else {
            constexpr std::pair<const char*, Format> kFormats[] = {
                {"report", Format::Report}, {"json", Format::Json},       {"cif", Format::Cif},
                {"csv", Format::Csv},       {"summary", Format::Summary},
            };
            const auto* f = std::find_if(std::begin(kFormats), std::end(kFormats),
                                         [&](const auto& k) { return value == k.first; });
            if (f == std::end(kFormats)) {
                return "--format " + Q(value) + ": give report, json, cif, csv or summary";
            }
            o.format = f->second;
        }
    }
    if (o.files.empty()) return "no FILE given";
    if (o.files.size() > 1 && o.format != Format::Summary) {
        return "more than one FILE: " + QPath(o.files[0]) + ", " + QPath(o.files[1]);
    }
    return CheckDetailsRequest(o.details);
}

// --- JSON ----------------------------------------------------------------------------

std::string JsonIndex(const std::string& cell) {
    std::int32_t v;
    return TryParseInt(cell, v) ? IntText(v) : "null";
}

bool IsMaskedRow(const ResultsPanel& panel, int row) {
    return panel.reciprocal[static_cast<std::size_t>(row)][1] == kMaskedCell;
}

constexpr const char* kCellKeys[7] = {"a", "b", "c", "alpha", "beta", "gamma", "volume"};

std::string JsonCell(const CellParameters& cell, const ResultsPanel* maskedBy) {
    std::string out = "{";
    for (int r = 0; r < 7; ++r) {
        if (r > 0) out += ", ";
        out += JsonString(kCellKeys[r]) + ": ";
        out += maskedBy && IsMaskedRow(*maskedBy, r) ? "null" : JsonNumber(cell[r]);
    }
    return out + "}";
}

std::string JsonGrid(const ResultsPanel::Grid& grid) {
    std::string out = "[";
    for (int r = 0; r < 7; ++r) {
        if (r > 0) out += ", ";
        const auto& row = grid[static_cast<std::size_t>(r)];
        out += "[" + JsonString(row[1]) + ", " + JsonString(row[2]) + "]";
    }
    return out + "]";
}

// The refinement's JSON; `details` is the "details" object, when asked for.
std::string RefinementJson(const CalculationState& state, const std::string* details) {
    const RefinementResult& res = state.result;
    const ObservationTable& table = state.table;
    std::string out = "{\n";
    out += "  \"system\": " + IntText(state.crystalSystem) + ",\n";
    out += "  \"n_included\": " + IntText(res.n) + ",\n";
    out += "  \"parameters\": " + IntText(res.p) + ",\n";
    std::string x, sx;
    for (int j = 1; j <= res.p; ++j) {
        if (j > 1) {
            x += ", ";
            sx += ", ";
        }
        x += JsonNumber(res.x[static_cast<std::size_t>(j)]);
        sx += JsonNumber(res.sx[static_cast<std::size_t>(j)]);
    }
    out += "  \"coefficients\": [" + x + "],\n";
    out += "  \"coefficient_sd\": [" + sx + "],\n";
    out += "  \"reciprocal\": " + JsonCell(res.reciprocal, nullptr) + ",\n";
    out += "  \"reciprocal_sd\": " + JsonCell(res.reciprocalSd, &state.panel) + ",\n";
    out += "  \"direct\": " + JsonCell(res.direct, nullptr) + ",\n";
    out += "  \"direct_sd\": " + JsonCell(res.directSd, &state.panel) + ",\n";
    out += "  \"residual_sum\": " + JsonNumber(res.residual) + ",\n";
    out += "  \"observations\": [";
    int k = 0;
    for (int r = 1; r <= static_cast<int>(table.filled); ++r) {
        const bool excluded = table.IsExcluded(r);
        if (!excluded) ++k;
        out += r > 1 ? ",\n    {" : "\n    {";
        out += "\"row\": " + IntText(r);
        out += ", \"h\": " + JsonIndex(table.Cell(1, r));
        out += ", \"k\": " + JsonIndex(table.Cell(2, r));
        out += ", \"l\": " + JsonIndex(table.Cell(3, r));
        out += ", \"d_obs_text\": " + JsonString(table.Cell(0, r));
        out += std::string(", \"excluded\": ") + (excluded ? "true" : "false");
        out += ", \"d_calc\": " +
               (excluded ? "null" : JsonNumber(res.dCalc[static_cast<std::size_t>(k)]));
        out += ", \"d_diff\": " +
               (excluded ? "null" : JsonNumber(res.dDiff[static_cast<std::size_t>(k)]));
        out += ", \"q_diff_text\": " + JsonString(table.Cell(4, r)) + "}";
    }
    out += table.filled > 0 ? "\n  ],\n" : "],\n";
    out += "  \"panel\": {\n";
    out += "    \"reciprocal\": " + JsonGrid(state.panel.reciprocal) + ",\n";
    out += "    \"direct\": " + JsonGrid(state.panel.direct) + ",\n";
    out += "    \"residual\": " + JsonString(state.panel.residual) + "\n";
    out += "  }";
    if (details != nullptr) out += ",\n  \"details\": " + *details;
    out += "\n}\n";
    return out;
}

int Usage(std::ostream& err, const std::string& problem) {
    err << "dorvalix-cli refine: " << problem << "\n" << kUsage;
    return 2;
}

// The results to standard output, or with --output to the file, written whole or not at all.
int Emit(const RefineOptions& o, const std::string& text, std::ostream& out, std::ostream& err) {
    return WriteOutputFile(o.output.value_or("-"), text, o.lang, out, err,
                           "dorvalix-cli refine: the results could not be written\n");
}

// One file read, refined as Execute does, and its details when the format or the options
// ask for them.
struct RefinedFile {
    int status = 0;       // 0; 1 refused or failed; 2 wrong usage
    std::string message;  // status 1: the message; status 2: the usage problem
    std::unique_ptr<CalculationState> state;
    RefineInput input;
    std::optional<RefinementDetails> details;
};

RefinedFile RefineFile(const std::string& file, const RefineOptions& o) {
    RefinedFile refined;
    auto fail = [&](int status, std::string message) {
        refined.status = status;
        refined.message = std::move(message);
        return std::move(refined);
    };
    // The state is large (fixed arrays for 300 rows): keep it off the stack.
    refined.state = std::make_unique<CalculationState>();
    CalculationState& state = *refined.state;
    SetPanelRowLabels(state.panel, o.lang);
    ClearResultsPanel(state.panel);
    try {
        refined.input = LoadRefineInput(state, file, o.lang, o.order);
    } catch (const ColumnOrderNeeded&) {
        return fail(2, QPath(file) +
                           ": the spreadsheet block starts with an integer; give --order "
                           "hkld (h, k, l, d) or --order dhkl (d, h, k, l)");
    } catch (const DorvalixError& e) {
        return fail(1, std::string(e.what()) + ".");
    }
    if (o.system) state.crystalSystem = *o.system;
    if (!o.exclude.empty()) {
        const std::vector<int> rows = ObservationRows(state.table);
        for (const int n : o.exclude) {
            if (n > static_cast<int>(rows.size())) {
                return fail(2, "--exclude " + IntText(n) + ": " + QPath(file) + " holds " +
                                   IntText(static_cast<long long>(rows.size())) + " observations");
            }
            state.table.Cell(4, rows[static_cast<std::size_t>(n - 1)]) =
                std::string(kExclusionMarker);
        }
    }

    // The same run as the window's Execute.
    const RunReport run = RunCalculation(state, o.lang);
    if (!run.completed) {
        return fail(1, run.faultText ? *run.faultText + "." : run.messageText);
    }
    const bool details = o.details.details || o.format == Format::Cif || o.format == Format::Csv ||
                         o.format == Format::Summary;
    if (details) {
        refined.details = ComputeRefinementDetails(state, o.details.options);
        for (const auto& refusal :
             {refined.details->cellRefusal, refined.details->twoThetaRefusal}) {
            if (refusal) return fail(1, refusal->Text(o.lang));
        }
    }
    return refined;
}

// One CSV row per file, the files refined on every core, the rows in the order given.
int RunSummary(const RefineOptions& o, std::ostream& out, std::ostream& err) {
    const bool zero = o.details.options.zeroShift;
    std::vector<std::string> rows(o.files.size());
    // The stderr line of a refused file, in the files' order once all are done.
    std::vector<std::string> refusals(o.files.size());
    ForEachInParallel(o.files.size(), [&](std::size_t i) {
        const std::string& file = o.files[i];
        std::string message;
        try {
            const RefinedFile refined = RefineFile(file, o);
            if (refined.status == 0) {
                rows[i] = SummaryRow(file, *refined.state, *refined.details, zero);
                return;
            }
            message = refined.message;
            // A usage problem of one file names the file itself.
            refusals[i] = refined.status == 2
                              ? "dorvalix-cli refine: " + message + "\n"
                              : "dorvalix-cli: " + QPath(file) + ": " + message + "\n";
        } catch (const std::exception& e) {
            message = e.what();
            refusals[i] = "dorvalix-cli: " + QPath(file) + ": " + QuoteForMessage(message) + "\n";
        }
        rows[i] = SummaryErrorRow(file, message, zero);
    });
    std::string text = SummaryHeader(zero);
    for (const std::string& row : rows)
        text += row;
    const int status = Emit(o, text, out, err);
    bool refused = false;
    for (const std::string& line : refusals) {
        err << line;
        refused = refused || !line.empty();
    }
    return status != 0 || refused ? 1 : 0;
}

}  // namespace

int RunRefineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    RefineOptions o;
    if (const std::string problem = ParseOptions(args, o); !problem.empty()) {
        return Usage(err, problem);
    }
    if (o.help) return PrintHelp(out, err);
    if (o.details.wavelengthGiven) {
        if (const HklRefusal refusal = CheckWavelength(o.details.options.wavelength)) {
            err << "dorvalix-cli: " << refusal->In(o.lang) << "\n";
            return 1;
        }
    }
    if (o.format == Format::Summary) return RunSummary(o, out, err);

    const std::string& file = o.files.front();
    const RefinedFile refined = RefineFile(file, o);
    if (refined.status == 2) return Usage(err, refined.message);
    if (refined.status != 0) {
        err << "dorvalix-cli: " << refined.message << "\n";
        return 1;
    }
    const CalculationState& state = *refined.state;
    const RefinementDetails* details = refined.details ? &*refined.details : nullptr;

    std::string text;
    switch (o.format) {
        case Format::Json: {
            const std::string detailsJson = details ? DetailsJson(*details, o.lang) : "";
            text = RefinementJson(state, details ? &detailsJson : nullptr);
            break;
        }
        case Format::Cif: {
            CifInput cif;
            cif.sampleName = refined.input.sampleName;
            cif.fileName = FileNameOf(file);
            cif.table = &state.table;
            cif.details = details;
            cif.wavelengthApplies = o.details.wavelengthGiven || details->twoTheta.has_value();
            text = BuildCif(cif);
            break;
        }
        case Format::Csv:
            text = BuildObservationCsv(state.table, *details);
            break;
        default: {
            ResultsReportInput report;
            report.lang = o.lang;
            report.sampleName = refined.input.sampleName;
            report.fileLabel = FileNameOf(file);
            report.systemLabel = CrystalSystemName(state.crystalSystem, o.lang);
            report.panel = &state.panel;
            report.table = &state.table;
            report.result = &state.result;
            report.time = CurrentLocalDateTime();
            std::vector<std::string> lines = BuildResultsReport(report);
            if (details) {
                const std::vector<std::string> more = BuildDetailsReport(*details, o.lang);
                lines.insert(lines.end(), more.begin(), more.end());
            }
            for (const std::string& line : lines)
                text += line + '\n';
            break;
        }
    }
    return Emit(o, text, out, err);
}

}  // namespace dorvalix::cli
