// dorvalix-cli refine: read observations, run Execute, print the results report or JSON.
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calculation.h"
#include "commands.h"
#include "crystal_system.h"
#include "errors.h"
#include "numtext.h"
#include "observation_file.h"
#include "refine_input.h"
#include "results_report.h"

namespace dorvalix::cli {

namespace {

struct RefineOptions {
    std::string file;
    std::optional<int> system;
    std::vector<int> exclude;
    std::optional<ColumnOrder> order;
    Lang lang = Lang::English;
    bool json = false;
};

// A plain decimal number without sign, within 0..limit.
bool ParseCount(std::string_view text, int limit, int& value) {
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > limit) return false;
    value = v;
    return true;
}

// Reads the options; returns the problem, or an empty text when they are fine.
std::string ParseOptions(const std::vector<std::string>& args, RefineOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--")) {
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else {
            if (!o.file.empty()) return "more than one FILE: " + o.file + ", " + arg;
            o.file = arg;
            continue;
        }
        const bool known = arg == "--system" || arg == "--exclude" || arg == "--order" ||
                           arg == "--lang" || arg == "--format";
        if (!known) return "unknown option " + arg;
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
            if (!ParseCount(value, 8, code)) return "--system " + value + ": give a code 0 to 8";
            o.system = code;
        } else if (arg == "--exclude") {
            std::size_t pos = 0;
            for (;;) {
                const std::size_t comma = value.find(',', pos);
                const std::string item =
                    value.substr(pos, comma == std::string::npos ? comma : comma - pos);
                int n;
                if (!ParseCount(item, kMaxObservations, n) || n == 0) {
                    return "--exclude " + value + ": give observation numbers 1 to 300";
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
                return "--order " + value + ": give dhkl or hkld";
            }
        } else if (arg == "--lang") {
            if (value != "e" && value != "j") return "--lang " + value + ": give e or j";
            o.lang = LangFromCode(value);
        } else {
            if (value != "report" && value != "json") {
                return "--format " + value + ": give report or json";
            }
            o.json = value == "json";
        }
    }
    if (o.file.empty()) return "no FILE given";
    return {};
}

// --- JSON ----------------------------------------------------------------------------

std::string JsonNumber(long double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17Lg", v);
    return buf;
}

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

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

std::string RefinementJson(const CalculationState& state) {
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
    out += "  }\n}\n";
    return out;
}

int Usage(std::ostream& err, const std::string& problem) {
    err << "dorvalix-cli refine: " << problem << "\n" << kUsage;
    return 2;
}

}  // namespace

int RunRefineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    RefineOptions o;
    if (const std::string problem = ParseOptions(args, o); !problem.empty()) {
        return Usage(err, problem);
    }
    // The state is large (fixed arrays for 300 rows): keep it off the stack.
    const auto owned = std::make_unique<CalculationState>();
    CalculationState& state = *owned;
    SetPanelRowLabels(state.panel, o.lang);
    ClearResultsPanel(state.panel);
    RefineInput input;
    try {
        input = LoadRefineInput(state, o.file, o.lang, o.order);
    } catch (const ColumnOrderNeeded&) {
        return Usage(err, o.file +
                              ": the spreadsheet block starts with an integer; give --order "
                              "hkld (h, k, l, d) or --order dhkl (d, h, k, l)");
    } catch (const DorvalixError& e) {
        err << "dorvalix-cli: " << e.what() << ".\n";
        return 1;
    }
    if (o.system) state.crystalSystem = *o.system;
    if (!o.exclude.empty()) {
        const std::vector<int> rows = ObservationRows(state.table);
        for (const int n : o.exclude) {
            if (n > static_cast<int>(rows.size())) {
                return Usage(err, "--exclude " + IntText(n) + ": " + o.file + " holds " +
                                      IntText(static_cast<long long>(rows.size())) +
                                      " observations");
            }
            state.table.Cell(4, rows[static_cast<std::size_t>(n - 1)]) =
                std::string(kExclusionMarker);
        }
    }

    // The same run as the window's Execute.
    const RunReport run = RunCalculation(state, o.lang);
    if (!run.completed) {
        if (run.faultText) {
            err << "dorvalix-cli: " << *run.faultText << ".\n";
        } else {
            err << "dorvalix-cli: " << run.messageText << "\n";
        }
        return 1;
    }

    if (o.json) {
        out << RefinementJson(state);
    } else {
        ResultsReportInput report;
        report.lang = o.lang;
        report.sampleName = input.sampleName;
        report.fileLabel = FileNameOf(o.file);
        report.systemLabel = CrystalSystemName(state.crystalSystem, o.lang);
        report.panel = &state.panel;
        report.table = &state.table;
        report.result = &state.result;
        report.time = CurrentLocalDateTime();
        for (const std::string& line : BuildResultsReport(report))
            out << line << '\n';
    }
    out.flush();
    if (!out) {
        err << "dorvalix-cli refine: the results could not be written\n";
        return 1;
    }
    return 0;
}

}  // namespace dorvalix::cli
