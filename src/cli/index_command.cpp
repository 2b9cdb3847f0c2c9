// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli index: the cell, Bravais lattice and zero shift of an unknown phase from its
// peak list, best candidates first.
#include <sstream>

#include "commands.h"
#include "crystal_system.h"
#include "errors.h"
#include "index_options.h"
#include "indexing.h"
#include "json_text.h"
#include "numtext.h"
#include "output_file.h"

namespace dorvalix::cli {

namespace {

using namespace indexing;

struct IndexRequest {
    IndexRequest() { options.lines.weak = kDefaultWeakFraction; }
    std::string peaks;
    IndexingOptions options;
    bool xray = false;
    bool json = true;
    std::string output;
};

bool ParseIndexOptions(const std::vector<std::string>& args, IndexRequest& r,
                       std::string& problem) {
    ArgumentReader in(args, "index");
    auto fail = [&] {
        problem = in.problem;
        return false;
    };
    while (in.More()) {
        const std::string option = in.Next();
        if (option == "--wavelength" || option == "--xray") {
            if (!in.Wavelength(option, r.options.lines.wavelength, r.xray)) return fail();
        } else if (option == "--systems") {
            std::string list;
            if (!in.Text(option, list)) return fail();
            r.options.families.fill(false);
            std::size_t start = 0;
            bool any = false;
            while (start <= list.size()) {
                std::size_t end = list.find(',', start);
                if (end == std::string::npos) end = list.size();
                const std::string name = list.substr(start, end - start);
                const auto family = FamilyFromName(name);
                if (!family) {
                    problem = "--systems: '" + QuoteForMessage(name) +
                              "' is none of cubic, tetragonal, hexagonal, rhombohedral, "
                              "orthorhombic, monoclinic, triclinic";
                    return false;
                }
                r.options.families[static_cast<std::size_t>(*family)] = true;
                any = true;
                start = end + 1;
            }
            if (!any) {
                problem = "--systems needs a list of crystal systems";
                return false;
            }
        } else if (option == "--lines") {
            if (!in.Count(option, 4, 1000, r.options.lines.count)) return fail();
        } else if (option == "--tolerance") {
            if (!in.PositiveReal(option, r.options.lines.tolerance)) return fail();
            if (r.options.lines.tolerance >= 5) {
                problem = "--tolerance needs a 2-theta tolerance below 5 degrees";
                return false;
            }
        } else if (option == "--weak") {
            long double percent;
            if (!in.Real(option, percent)) return fail();
            if (!(percent >= 0 && percent < 100)) {
                problem = "--weak needs a percentage of the strongest peak from 0 to below 100";
                return false;
            }
            r.options.lines.weak = percent / 100;
        } else if (option == "--impurities") {
            if (!in.Count(option, 0, 50, r.options.impurities)) return fail();
        } else if (option == "--max-volume") {
            if (!in.PositiveReal(option, r.options.maxVolume)) return fail();
        } else if (option == "--zero-shift") {
            r.options.refineZero = true;
        } else if (option == "--top") {
            if (!in.Count(option, 1, 1000, r.options.top)) return fail();
        } else if (option == "--time-limit") {
            long double limit;
            if (!in.PositiveReal(option, limit)) return fail();
            r.options.timeLimit = static_cast<double>(limit);
        } else if (option == "--format") {
            std::string format;
            if (!in.Text(option, format)) return fail();
            if (format != "json" && format != "text") {
                problem = "--format needs json or text";
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
    return true;
}

std::string JsonIntList(const std::vector<int>& v) {
    std::string out = "[";
    for (std::size_t i = 0; i < v.size(); ++i)
        out += (i > 0 ? ", " : "") + IntText(v[i]);
    return out + "]";
}

std::string JsonOptionalInt(const std::optional<int>& v) {
    return v ? IntText(*v) : "null";
}

std::string SolutionJson(const IndexingSolution& s, const LineSet& set, const std::string& indent) {
    const std::string in = indent + "  ";
    std::string o = indent + "{\n";
    o += in + "\"rank\": " + IntText(s.rank) + ",\n";
    o += in + "\"system\": " + IntText(s.code) + ",\n";
    o += in + "\"system_name\": " + JsonString(CrystalSystemName(s.code, Lang::English)) + ",\n";
    o += in + "\"bravais\": " + JsonString(s.bravais) + ",\n";
    o += in + "\"centring\": " + JsonString(std::string(1, CentringLetter(s.centring))) + ",\n";
    o += in + "\"cell\": " +
         JsonNumbers({s.cell.a, s.cell.b, s.cell.c, s.cell.alpha, s.cell.beta, s.cell.gamma}) +
         ",\n";
    o += in + "\"volume\": " + JsonNumber(s.volume) + ",\n";
    if (s.rhombohedralAxes) {
        const Cell& r = *s.rhombohedralAxes;
        o += in +
             "\"rhombohedral_axes\": " + JsonNumbers({r.a, r.b, r.c, r.alpha, r.beta, r.gamma}) +
             ",\n";
    }
    o += in + "\"M20\": " + JsonNumber(s.merit.m.value) + ",\n";
    o += in + "\"M\": {\"n\": " + IntText(s.merit.m.n) +
         ", \"value\": " + JsonNumber(s.merit.m.value) +
         ", \"n_calc\": " + JsonOptionalInt(s.merit.m.nCalc) + "},\n";
    o += in + "\"F\": {\"n\": " + IntText(s.merit.f.n) +
         ", \"value\": " + JsonNumber(s.merit.f.value) +
         ", \"mean_abs_d2theta\": " + JsonNumber(s.merit.f.meanAbsD2Theta) +
         ", \"n_poss\": " + JsonOptionalInt(s.merit.f.nPoss) +
         ", \"wavelength\": " + JsonNumber(s.merit.wavelength) + "},\n";
    o += in + "\"zero\": " + JsonNumber(s.zero) + ",\n";
    o += in + "\"zero_refined\": " + std::string(s.zeroRefined ? "true" : "false") + ",\n";
    o += in + "\"score\": " + JsonNumber(s.score) + ",\n";
    o += in + "\"method\": " + JsonString(s.method) + ",\n";
    o += in + "\"unindexed\": " + JsonIntList(s.unindexed) + ",\n";
    o += in + "\"lines\": [\n";
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        const SolutionLine& l = s.lines[i];
        o += in + "  {\"line\": " + IntText(l.line) + ", ";
        o += set.twoThetaInput ? "\"two_theta\": " + JsonNumber(l.twoTheta)
                               : "\"d\": " + JsonNumber(l.d);
        if (l.indexed) {
            o += ", \"h\": " + IntText(l.hkl[0]) + ", \"k\": " + IntText(l.hkl[1]) +
                 ", \"l\": " + IntText(l.hkl[2]) + ", \"delta\": " + JsonNumber(l.delta);
        } else {
            o += ", \"h\": null, \"k\": null, \"l\": null, \"delta\": null";
        }
        o += ", \"matches\": " + IntText(l.matches) + "}";
        o += i + 1 < s.lines.size() ? ",\n" : "\n";
    }
    o += in + "],\n";
    o += in + "\"extinction_symbols\": [";
    for (std::size_t i = 0; i < s.extinction.size(); ++i) {
        const ExtinctionClass& e = s.extinction[i];
        std::string groups = "[";
        for (std::size_t g = 0; g < e.groups.size(); ++g)
            groups += (g > 0 ? ", " : "") + JsonString(e.groups[g]);
        groups += "]";
        o += (i > 0 ? ", " : "") + std::string("{\"symbol\": ") + JsonString(e.symbol) +
             ", \"space_groups\": " + groups + ", \"absent\": " + IntText(e.absentInRange) + "}";
    }
    o += "]\n" + indent + "}";
    return o;
}

std::string ResultJson(const IndexingResult& r, const IndexRequest& request) {
    const SearchSummary& s = r.searched;
    std::string o = "{\n";
    o += "  \"file\": " + JsonString(request.peaks) + ",\n";
    o += "  \"solutions\": [\n";
    for (std::size_t i = 0; i < r.solutions.size(); ++i) {
        o += SolutionJson(r.solutions[i], r.lines, "    ");
        o += i + 1 < r.solutions.size() ? ",\n" : "\n";
    }
    o += "  ],\n";
    if (!r.reason.empty()) o += "  \"reason\": " + JsonString(r.reason) + ",\n";
    o += "  \"elapsed_s\": " + JsonNumber(static_cast<long double>(r.elapsed)) + ",\n";
    o += "  \"searched\": {\n";
    o += "    \"input\": " + JsonString(r.lines.twoThetaInput ? "2theta" : "d") + ",\n";
    o += "    \"wavelength\": " + JsonNumber(r.lines.wavelength) + ",\n";
    o += "    \"wavelength_stated\": " + std::string(r.lines.wavelengthStated ? "true" : "false") +
         ",\n";
    o += "    \"lines_used\": " + IntText(s.linesUsed) + ",\n";
    o += "    \"lines_available\": " + IntText(r.lines.available) + ",\n";
    o += "    \"merged_lines\": " + JsonIntList(r.lines.merged) + ",\n";
    o += "    \"weak_lines\": " + JsonIntList(r.lines.weak) + ",\n";
    o += "    \"tolerance\": " + JsonNumber(s.tolerance) + ",\n";
    o += "    \"impurities\": " + IntText(s.impurities) + ",\n";
    o += "    \"zero_refined\": " + std::string(request.options.refineZero ? "true" : "false") +
         ",\n";
    std::vector<long double> zeros;
    for (const ZeroEstimate& z : s.zeroEstimates)
        zeros.push_back(z.zero);
    o += "    \"zero_estimates\": " + JsonNumbers(zeros) + ",\n";
    o += "    \"stages\": [";
    for (std::size_t i = 0; i < s.stages.size(); ++i) {
        const SearchStage& st = s.stages[i];
        o += std::string(i > 0 ? ", " : "") + "{\"name\": " + JsonString(st.name) +
             ", \"max_volume\": " + JsonNumber(st.maxVolume) + ", \"boxes\": " + IntText(st.boxes) +
             ", \"found\": " + IntText(st.found) +
             ", \"complete\": " + (st.complete ? "true" : "false") +
             ", \"seconds\": " + JsonNumber(static_cast<long double>(st.seconds)) + "}";
    }
    o += "],\n";
    o += "    \"lattices_refined\": " + IntText(s.lattices) + ",\n";
    o += "    \"fewest_unindexed\": " +
         (s.fewestUnindexed >= 0 ? IntText(s.fewestUnindexed) : "null") + ",\n";
    o += "    \"stopped\": " + JsonString(s.stopped) + "\n";
    o += "  }\n}\n";
    return o;
}

std::string IntListText(const std::vector<int>& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i)
        out += (i > 0 ? " " : "") + IntText(v[i]);
    return out;
}

std::string Padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string ResultText(const IndexingResult& r) {
    const LineSet& set = r.lines;
    std::ostringstream o;
    o << "Indexing of " << r.searched.linesUsed << " lines ("
      << (set.twoThetaInput ? "2-theta" : "d") << ", wavelength " << FormatGeneral(set.wavelength)
      << (set.wavelengthStated ? "" : " nominal") << "), tolerance "
      << FormatGeneral(r.searched.tolerance) << " deg, " << r.searched.impurities
      << " unindexed allowed; " << FormatFixed(r.elapsed, 2, 18) << " s\n";
    if (!set.weak.empty()) {
        o << IntText(static_cast<long long>(set.weak.size()))
          << " weak peaks left out (--weak): " << IntListText(set.weak) << "\n";
    }
    if (r.solutions.empty()) {
        o << "No solution: " << r.reason << "\n";
        return o.str();
    }
    o << "\nrank bravais        a        b        c    alpha     beta    gamma     volume"
         "    M(20)     F(N)     zero  unindexed\n";
    for (const IndexingSolution& s : r.solutions) {
        o << Padded(IntText(s.rank), 4) << Padded(s.bravais, 8);
        for (const long double v : {s.cell.a, s.cell.b, s.cell.c})
            o << Padded(FormatFixed(v, 4, 18), 9);
        for (const long double v : {s.cell.alpha, s.cell.beta, s.cell.gamma})
            o << Padded(FormatFixed(v, 3, 18), 9);
        o << Padded(FormatFixed(s.volume, 2, 18), 11);
        o << Padded(s.merit.m.value ? FormatFixed(*s.merit.m.value, 1, 18) : "-", 9);
        o << Padded(s.merit.f.value ? FormatFixed(*s.merit.f.value, 1, 18) : "-", 9);
        o << Padded(FormatFixed(s.zero, 4, 18), 9) << "  ";
        std::string un;
        for (const int u : s.unindexed)
            un += (un.empty() ? "" : ",") + IntText(u);
        o << (un.empty() ? "-" : un) << "\n";
    }
    const IndexingSolution& best = r.solutions.front();
    o << "\nRank 1: " << CrystalSystemName(best.code, Lang::English) << ", " << best.bravais;
    if (best.rhombohedralAxes)
        o << " (rhombohedral axes a = " << FormatFixed(best.rhombohedralAxes->a, 4, 18)
          << ", alpha = " << FormatFixed(best.rhombohedralAxes->alpha, 3, 18) << ")";
    o << "; " << best.merit.m.n << " lines in M, F(" << best.merit.f.n << ")";
    if (!best.extinction.empty()) {
        o << "; extinction symbols:";
        for (std::size_t i = 0; i < best.extinction.size() && i < 4; ++i)
            o << (i > 0 ? "," : "") << " " << best.extinction[i].symbol;
    }
    o << "\n\n line" << (set.twoThetaInput ? "   2-theta" : "         d") << "     h    k    l"
      << (set.twoThetaInput ? "   obs-calc" : "   obs-calc") << "\n";
    for (const SolutionLine& l : best.lines) {
        o << Padded(IntText(l.line), 5)
          << Padded(FormatFixed(set.twoThetaInput ? l.twoTheta : l.d, 4, 18), 10);
        if (l.indexed) {
            o << Padded(IntText(l.hkl[0]), 6) << Padded(IntText(l.hkl[1]), 5)
              << Padded(IntText(l.hkl[2]), 5) << Padded(FormatFixed(l.delta, 4, 18), 11) << "\n";
        } else {
            o << "     (unindexed)\n";
        }
    }
    return o.str();
}

}  // namespace

int RunIndexCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    IndexRequest request;
    std::string problem;
    if (!ParseIndexOptions(args, request, problem)) {
        err << "dorvalix-cli index: " << problem << "\n" << kUsage;
        return 2;
    }
    PeakFile peaks;
    std::string message;
    if (!LoadPeaks(request.peaks, peaks, message)) {
        err << "dorvalix-cli index: " << message << "\n";
        return 1;
    }
    const IndexingResult result = RunIndexing(peaks.peaks, request.options);
    if (result.refusal) {
        err << "dorvalix-cli index: " << *result.refusal << "\n";
        return 1;
    }
    const std::string text = request.json ? ResultJson(result, request) : ResultText(result);
    if (WriteOutputFile(request.output.empty() ? std::string("-") : request.output, text,
                        Lang::English, out, err,
                        "dorvalix-cli index: the results could not be written\n") != 0)
        return 1;
    if (result.solutions.empty()) {
        err << "dorvalix-cli index: no solution: " << result.reason << "\n";
        return 1;
    }
    return 0;
}

}  // namespace dorvalix::cli
