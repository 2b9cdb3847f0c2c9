// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli pattern: the scans of a diffractometer file as read.
// dorvalix-cli peaks: their background, peak search and profile fit; the peaks as text,
// JSON, or an observation file (.lat) for the main window.
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "errors.h"
#include "hkl_table.h"
#include "json_text.h"
#include "numtext.h"
#include "observation_file.h"
#include "observation_table.h"
#include "output_file.h"
#include "pattern_reader.h"
#include "peaks.h"
#include "xray_lines.h"

namespace dorvalix::cli {

namespace {

constexpr Lang kLang = Lang::English;

// An option's name and value, "--name value" or "--name=value".
struct Arguments {
    const std::vector<std::string>& args;
    std::size_t i = 0;
    std::string problem;

    // The value of the option at args[i], advancing past it; nullopt (and a problem) when
    // there is none.
    std::optional<std::string> Value(const std::string& option, const std::string& inlineValue,
                                     bool hasInline) {
        if (hasInline) return inlineValue;
        if (i + 1 >= args.size()) {
            problem = option + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    }
};

bool Number(const std::string& option, const std::string& text, double& value,
            std::string& problem) {
    long double v;
    if (!TryParseReal(text, v) || !std::isfinite(v)) {
        problem = option + ": '" + QuoteForMessage(text) + "' is not a number";
        return false;
    }
    value = static_cast<double>(v);
    return true;
}

// Reads "--name" or "--name=value" at args[i] into name and value.
void SplitOption(const std::string& arg, std::string& name, std::string& value, bool& hasValue) {
    name = arg;
    value.clear();
    hasValue = false;
    if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        hasValue = true;
    }
}

// The file read, its notes on standard error; nullopt after the message of a file that
// cannot be read.
std::optional<Pattern> ReadFile(const std::string& file, std::ostream& err) {
    try {
        Pattern pattern = ReadPatternFile(file, kLang);
        for (const std::string& note : pattern.notes)
            err << "dorvalix-cli: note: " << note << "\n";
        return pattern;
    } catch (const DorvalixError& e) {
        err << "dorvalix-cli: " << e.Text() << ".\n";
    } catch (const std::bad_alloc&) {
        err << "dorvalix-cli: " << QuotePathForMessage(file) << " does not fit in the memory.\n";
    }
    return std::nullopt;
}

int Emit(const std::optional<std::string>& output, const std::string& text, std::ostream& out,
         std::ostream& err, const char* command) {
    return WriteOutputFile(
        output.value_or("-"), text, kLang, out, err,
        "dorvalix-cli " + std::string(command) + ": the output could not be written\n");
}

std::string Number(long double v) {
    return FormatGeneral(v);
}

std::string JsonArray(const std::vector<double>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ", ";
        out += JsonNumber(static_cast<long double>(values[i]));
    }
    return out + "]";
}

std::string JsonOrNull(long double v, bool present) {
    return present ? JsonNumber(v) : "null";
}

// --- pattern -------------------------------------------------------------------------

struct PatternOptions {
    std::string file;
    std::optional<std::size_t> scan;  // from 1
    bool json = false;
    std::optional<std::string> output;
};

int PatternUsage(std::ostream& err, const std::string& problem) {
    err << "dorvalix-cli pattern: " << problem << "\n" << kUsage;
    return 2;
}

bool ParseScan(const std::string& option, const std::string& text, std::optional<std::size_t>& scan,
               std::string& problem) {
    std::int32_t n = 0;
    if (!TryParseInt(text, n) || n < 1) {
        problem = option + " needs a scan number from 1";
        return false;
    }
    scan = static_cast<std::size_t>(n);
    return true;
}

// The scan asked for exists; otherwise the usage problem.
std::string CheckScan(const Pattern& pattern, const std::string& file,
                      const std::optional<std::size_t>& scan) {
    if (!scan || *scan <= pattern.scans.size()) return {};
    return "--scan " + IntText(static_cast<long long>(*scan)) + ": " + QuotePathForMessage(file) +
           " holds " + IntText(static_cast<long long>(pattern.scans.size())) +
           (pattern.scans.size() == 1 ? " scan" : " scans");
}

std::string PatternXy(const Pattern& pattern, const std::optional<std::size_t>& only) {
    std::string out;
    for (std::size_t s = 0; s < pattern.scans.size(); ++s) {
        if (only && *only != s + 1) continue;
        const Scan& scan = pattern.scans[s];
        out += "# scan " + IntText(static_cast<long long>(s + 1)) + "\n";
        for (std::size_t i = 0; i < scan.Size(); ++i)
            out += Number(scan.twoTheta[i]) + " " + Number(scan.counts[i]) + "\n";
    }
    return out;
}

std::string WavelengthJson(const Wavelengths& w) {
    return "{\"ka1\": " + JsonOrNull(w.ka1, w.Known()) +
           ", \"ka2\": " + JsonOrNull(w.ka2, w.ka2 > 0) +
           ", \"ratio\": " + JsonOrNull(w.ratio, w.ratio > 0) +
           ", \"stated\": " + (w.stated ? "true" : "false") + "}";
}

std::string PatternJson(const Pattern& pattern, const std::string& file,
                        const std::optional<std::size_t>& only) {
    std::string out = "{\n";
    out += "  \"file\": " + JsonString(file) + ",\n";
    out += "  \"format\": " + JsonString(pattern.format) + ",\n";
    out += "  \"sample\": " + JsonString(pattern.sampleName) + ",\n";
    out += "  \"instrument\": " + JsonString(pattern.instrument) + ",\n";
    out += "  \"date\": " + JsonString(pattern.date) + ",\n";
    out += "  \"wavelength\": " + WavelengthJson(pattern.wavelength) + ",\n";
    out += "  \"notes\": [";
    for (std::size_t k = 0; k < pattern.notes.size(); ++k)
        out += (k > 0 ? ", " : "") + JsonString(pattern.notes[k]);
    out += "],\n";
    out += "  \"scans\": [";
    bool first = true;
    for (std::size_t s = 0; s < pattern.scans.size(); ++s) {
        if (only && *only != s + 1) continue;
        const Scan& scan = pattern.scans[s];
        out += first ? "\n    {" : ",\n    {";
        first = false;
        out += "\"scan\": " + IntText(static_cast<long long>(s + 1));
        out += ", \"points\": " + IntText(static_cast<long long>(scan.Size()));
        out +=
            ", \"two_theta_min\": " + JsonNumber(static_cast<long double>(scan.twoTheta.front()));
        out += ", \"two_theta_max\": " + JsonNumber(static_cast<long double>(scan.twoTheta.back()));
        out += ", \"counting_time\": " + JsonOrNull(scan.countingTime, scan.countingTime > 0);
        out += std::string(", \"attenuated\": ") + (scan.attenuated ? "true" : "false");
        out += ",\n     \"two_theta\": " + JsonArray(scan.twoTheta);
        out += ",\n     \"counts\": " + JsonArray(scan.counts);
        out += ",\n     \"su\": " + (scan.su.empty() ? std::string("null") : JsonArray(scan.su));
        out += "}";
    }
    out += "\n  ]\n}\n";
    return out;
}

// --- peaks ---------------------------------------------------------------------------

enum class PeaksFormat { Text, Json, Lat };

struct PeaksOptions {
    std::string file;
    std::optional<std::size_t> scan;
    std::optional<Wavelengths> lines;  // from --wavelength or --xray
    PeakSettings settings;
    bool range = false;
    PeaksFormat format = PeaksFormat::Text;
    std::optional<std::string> output;
    bool help = false;
    HklRefusal wavelengthRefusal;
};

int PeaksUsage(std::ostream& err, const std::string& problem) {
    err << "dorvalix-cli peaks: " << problem << "\n" << kUsage;
    return 2;
}

std::string XrayNames() {
    std::string names;
    for (const XrayLine& line : kXrayLines)
        names += std::string(" ") + line.name;
    return names;
}

std::string ParsePeaksOptions(const std::vector<std::string>& args, PeaksOptions& o) {
    Arguments a{args, 0, {}};
    bool wavelength = false, xray = false;
    bool filesOnly = false;  // after "--"
    for (; a.i < args.size(); ++a.i) {
        if (!filesOnly && (args[a.i] == "--help" || args[a.i] == "-h")) {
            o.help = true;
            return {};
        }
        if (!filesOnly && args[a.i] == "--") {
            filesOnly = true;
            continue;
        }
        std::string name, inlineValue;
        bool hasInline;
        SplitOption(args[a.i], name, inlineValue, hasInline);
        if (filesOnly) name = args[a.i];
        if (filesOnly || !name.starts_with("-") || name == "-") {
            if (!o.file.empty()) return "more than one FILE: " + QuotePathForMessage(o.file);
            o.file = name;
            continue;
        }
        if (name == "--range") {
            if (hasInline) return "--range takes two values: --range MIN MAX";
            if (a.i + 2 >= args.size()) return "--range needs MIN and MAX";
            double lo, hi;
            if (!Number(name, args[a.i + 1], lo, a.problem) ||
                !Number(name, args[a.i + 2], hi, a.problem))
                return a.problem;
            if (!(lo < hi)) return "--range: MIN must be below MAX";
            o.settings.rangeMin = lo;
            o.settings.rangeMax = hi;
            o.range = true;
            a.i += 2;
            continue;
        }
        const bool known = name == "--scan" || name == "--wavelength" || name == "--xray" ||
                           name == "--significance" || name == "--background-width" ||
                           name == "--format" || name == "--output";
        if (!known) return "unknown option " + QuoteForMessage(name);
        const std::optional<std::string> value = a.Value(name, inlineValue, hasInline);
        if (!value) return a.problem;
        if (name == "--scan") {
            if (!ParseScan(name, *value, o.scan, a.problem)) return a.problem;
        } else if (name == "--wavelength") {
            if (xray) return "--wavelength and --xray exclude each other";
            double l;
            if (!Number(name, *value, l, a.problem)) return a.problem;
            // Out of range: refused (exit 1) once the options are read, as refine does.
            o.wavelengthRefusal = CheckWavelength(l);
            o.lines = SingleLine(l);
            wavelength = true;
        } else if (name == "--xray") {
            if (wavelength) return "--wavelength and --xray exclude each other";
            const XrayLine* line = FindXrayLine(*value);
            if (line == nullptr) return "--xray needs one of" + XrayNames();
            o.lines = WavelengthsOf(*line);
            xray = true;
        } else if (name == "--significance") {
            double s;
            if (!Number(name, *value, s, a.problem)) return a.problem;
            if (!(s > 0)) return "--significance needs a number above 0";
            o.settings.significance = s;
        } else if (name == "--background-width") {
            double w;
            if (!Number(name, *value, w, a.problem)) return a.problem;
            if (!(w > 0)) return "--background-width needs a width in degrees above 0";
            o.settings.backgroundWidth = w;
        } else if (name == "--format") {
            if (*value == "text") {
                o.format = PeaksFormat::Text;
            } else if (*value == "json") {
                o.format = PeaksFormat::Json;
            } else if (*value == "lat") {
                o.format = PeaksFormat::Lat;
            } else {
                return "--format " + QuoteForMessage(*value) + ": give text, json or lat";
            }
        } else {
            if (value->empty()) return "--output needs a file name";
            o.output = *value;
        }
    }
    if (o.file.empty()) return "no FILE given";
    return {};
}

// The lines and where they come from.
struct UsedLines {
    Wavelengths lines;
    const char* from = "file";
};

std::string Fixed(long double v, int decimals) {
    return std::isfinite(v) ? FormatFixed(v, decimals, 15) : "-";
}

std::string PadLeft(const std::string& s, std::size_t width) {
    const std::size_t n = CharCount(s);
    return n >= width ? s : std::string(width - n, ' ') + s;
}

// A refined Kα2/Kα1 ratio below this says the beam had no Kα2 line (tubes give about 0.5).
constexpr long double kNoKAlpha2 = 0.1L;

std::string LinesText(const UsedLines& used, const ScanPeaks& found) {
    const Wavelengths& w = used.lines;
    std::string out = "Kα1 " + Number(w.ka1) + " Å";
    if (w.IsDoublet()) {
        out += ", Kα2 " + Number(w.ka2) + " Å, Kα2/Kα1 " + Fixed(found.ratio.ratio, 3);
        out += found.ratio.refined ? " (refined, s.u. " + Fixed(found.ratio.su, 3) + ")"
                                   : " (fixed: no resolved doublet to refine it on)";
    } else {
        out += " (single line)";
    }
    return out + (std::string(used.from) == "file" ? ", from the file" : ", as given");
}

std::string PeaksText(const PeaksOptions& o, const Pattern& pattern, std::size_t scan,
                      const UsedLines& used, const ScanPeaks& found) {
    std::string out;
    out += "File        " + o.file + " (" + pattern.format + "), scan " +
           IntText(static_cast<long long>(scan)) + " of " +
           IntText(static_cast<long long>(pattern.scans.size())) + "\n";
    out += "Wavelength  " + LinesText(used, found) + "\n";
    out += "Background  SNIP, width " + Fixed(found.backgroundWidth, 4) + "°\n";
    out += "Peaks       " + IntText(static_cast<long long>(found.peaks.size())) +
           " (significance " + Number(o.settings.significance) + ")\n\n";
    out += "  No.     2θ (°)      s.u.       d (Å)    FWHM (°)        height          area\n";
    for (std::size_t k = 0; k < found.peaks.size(); ++k) {
        const FittedPeak& p = found.peaks[k];
        out += PadLeft(IntText(static_cast<long long>(k + 1)), 5);
        out += PadLeft(Fixed(p.twoTheta, 5), 11);
        out += PadLeft(Fixed(p.twoThetaSu, 5), 10);
        out += PadLeft(Fixed(p.d, 6), 12);
        out += PadLeft(Fixed(p.fwhm, 4), 12);
        out += PadLeft(Fixed(p.height, 1), 14);
        out += PadLeft(Fixed(p.area, 3), 14);
        out += "\n";
    }
    return out;
}

std::string PeaksJson(const PeaksOptions& o, const Pattern& pattern, std::size_t scan,
                      const UsedLines& used, const ScanPeaks& found) {
    const Wavelengths& w = used.lines;
    std::string out = "{\n";
    out += "  \"file\": " + JsonString(o.file) + ",\n";
    out += "  \"format\": " + JsonString(pattern.format) + ",\n";
    out += "  \"scan\": " + IntText(static_cast<long long>(scan)) + ",\n";
    out += "  \"wavelength\": {\"ka1\": " + JsonNumber(w.ka1) +
           ", \"ka2\": " + JsonOrNull(w.ka2, w.IsDoublet()) +
           ", \"ratio\": " + JsonOrNull(found.ratio.ratio, w.IsDoublet()) +
           ", \"ratio_su\": " + JsonOrNull(found.ratio.su, w.IsDoublet() && found.ratio.refined) +
           ", \"from\": " + JsonString(used.from) + "},\n";
    out += "  \"background\": {\"method\": \"SNIP\", \"width\": " +
           JsonNumber(static_cast<long double>(found.backgroundWidth)) +
           ", \"typical_fwhm\": " + JsonNumber(static_cast<long double>(found.typicalWidth)) +
           ", \"noise_scale\": " + JsonNumber(static_cast<long double>(found.noiseScale)) + "},\n";
    out += "  \"significance\": " + JsonNumber(static_cast<long double>(o.settings.significance)) +
           ",\n";
    out += "  \"range\": " +
           (o.range ? "[" + JsonNumber(static_cast<long double>(o.settings.rangeMin)) + ", " +
                          JsonNumber(static_cast<long double>(o.settings.rangeMax)) + "]"
                    : std::string("null")) +
           ",\n";
    out += "  \"peaks\": [";
    for (std::size_t k = 0; k < found.peaks.size(); ++k) {
        const FittedPeak& p = found.peaks[k];
        out += k > 0 ? ",\n    {" : "\n    {";
        out += "\"two_theta\": " + JsonNumber(p.twoTheta);
        out += ", \"two_theta_su\": " + JsonNumber(p.twoThetaSu);
        out += ", \"d\": " + JsonNumber(p.d);
        out += ", \"fwhm\": " + JsonNumber(p.fwhm);
        out += ", \"height\": " + JsonNumber(p.height);
        out += ", \"area\": " + JsonNumber(p.area);
        out += ", \"eta\": " + JsonNumber(p.eta);
        out += ", \"asymmetry\": " + JsonNumber(p.asymmetry);
        out += "}";
    }
    out += found.peaks.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

// The file name without folder and extension, as the sample name of a file that has none.
std::string Stem(const std::string& path) {
    std::string name = FileNameOf(path);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

}  // namespace

int RunPatternCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    PatternOptions o;
    Arguments a{args, 0, {}};
    bool filesOnly = false;  // after "--"
    for (; a.i < args.size(); ++a.i) {
        if (!filesOnly && (args[a.i] == "--help" || args[a.i] == "-h")) return PrintHelp(out, err);
        if (!filesOnly && args[a.i] == "--") {
            filesOnly = true;
            continue;
        }
        std::string name, inlineValue;
        bool hasInline;
        SplitOption(args[a.i], name, inlineValue, hasInline);
        if (filesOnly) name = args[a.i];
        if (filesOnly || !name.starts_with("-") || name == "-") {
            if (!o.file.empty())
                return PatternUsage(err, "more than one FILE: " + QuotePathForMessage(o.file));
            o.file = name;
            continue;
        }
        if (name != "--scan" && name != "--format" && name != "--output")
            return PatternUsage(err, "unknown option " + QuoteForMessage(name));
        const std::optional<std::string> value = a.Value(name, inlineValue, hasInline);
        if (!value) return PatternUsage(err, a.problem);
        if (name == "--scan") {
            if (!ParseScan(name, *value, o.scan, a.problem)) return PatternUsage(err, a.problem);
        } else if (name == "--format") {
            if (*value != "xy" && *value != "json")
                return PatternUsage(err,
                                    "--format " + QuoteForMessage(*value) + ": give xy or json");
            o.json = *value == "json";
        } else {
            if (value->empty()) return PatternUsage(err, "--output needs a file name");
            o.output = *value;
        }
    }
    if (o.file.empty()) return PatternUsage(err, "no FILE given");
    const std::optional<Pattern> pattern = ReadFile(o.file, err);
    if (!pattern) return 1;
    if (const std::string problem = CheckScan(*pattern, o.file, o.scan); !problem.empty())
        return PatternUsage(err, problem);
    const std::string text =
        o.json ? PatternJson(*pattern, o.file, o.scan) : PatternXy(*pattern, o.scan);
    return Emit(o.output, text, out, err, "pattern");
}

int RunPeaksCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    PeaksOptions o;
    if (const std::string problem = ParsePeaksOptions(args, o); !problem.empty())
        return PeaksUsage(err, problem);
    if (o.help) return PrintHelp(out, err);
    if (o.wavelengthRefusal) {
        err << "dorvalix-cli: " << o.wavelengthRefusal->In(kLang) << "\n";
        return 1;
    }
    const std::optional<Pattern> pattern = ReadFile(o.file, err);
    if (!pattern) return 1;
    if (const std::string problem = CheckScan(*pattern, o.file, o.scan); !problem.empty())
        return PeaksUsage(err, problem);
    UsedLines used;
    if (o.lines) {
        used.lines = *o.lines;
        used.from = "option";
    } else if (pattern->wavelength.Known()) {
        used.lines = pattern->wavelength;
        if (used.lines.IsDoublet() && !(used.lines.ratio > 0)) used.lines.ratio = kStartRatio;
    } else {
        // Nothing is assumed: a silent Cu Kα would give every d wrong for another tube.
        return PeaksUsage(
            err, PatternMessage(pattern_text::kNoWavelength, kLang, {QuotePathForMessage(o.file)}));
    }
    const std::size_t scanNumber = o.scan.value_or(1);
    if (!o.scan && pattern->scans.size() > 1) {
        err << "dorvalix-cli peaks: " << QuotePathForMessage(o.file) << " holds "
            << pattern->scans.size() << " scans; scan 1 is used (--scan N for another)\n";
    }
    const Scan& scan = pattern->scans[scanNumber - 1];
    if (o.range && (o.settings.rangeMax < scan.twoTheta.front() ||
                    o.settings.rangeMin > scan.twoTheta.back())) {
        err << "dorvalix-cli peaks: --range " << Number(o.settings.rangeMin) << " "
            << Number(o.settings.rangeMax) << " lies outside the scan ("
            << Number(scan.twoTheta.front()) << "° to " << Number(scan.twoTheta.back()) << "°)\n";
        return 1;
    }
    ScanPeaks found;
    try {
        found = FindPeaks(scan, used.lines, o.settings);
    } catch (const std::bad_alloc&) {
        err << "dorvalix-cli peaks: the fit does not fit in the memory\n";
        return 1;
    }
    // The lines stay as asked (a doublet is reported with its ratio, even one refined to 0);
    // a doublet without a Kα2 line in the data is worth a word.
    if (used.lines.IsDoublet() && found.ratio.refined && found.ratio.ratio < kNoKAlpha2) {
        err << "dorvalix-cli peaks: note: the Ka2/Ka1 ratio refines to "
            << Fixed(found.ratio.ratio, 3)
            << ": the data show no Ka2 line; for a Ka1 beam give --xray with Ka1 or --wavelength\n";
    }
    switch (o.format) {
        case PeaksFormat::Text:
            return Emit(o.output, PeaksText(o, *pattern, scanNumber, used, found), out, err,
                        "peaks");
        case PeaksFormat::Json:
            return Emit(o.output, PeaksJson(o, *pattern, scanNumber, used, found), out, err,
                        "peaks");
        case PeaksFormat::Lat:
            break;
    }
    if (found.peaks.empty()) {
        err << "dorvalix-cli peaks: no peaks found, so no observation file is written\n";
        return 1;
    }
    if (found.peaks.size() > static_cast<std::size_t>(kMaxObservations)) {
        err << "dorvalix-cli peaks: " << found.peaks.size()
            << " peaks found; an observation file holds at most " << kMaxObservations
            << ": narrow --range or raise --significance\n";
        return 1;
    }
    // The table is large (fixed arrays for 300 rows): keep it off the stack.
    const auto table = std::make_unique<ObservationTable>();
    for (std::size_t k = 0; k < found.peaks.size(); ++k) {
        const int row = static_cast<int>(k) + 1;
        table->Cell(0, row) = FormatFixed(found.peaks[k].d, 6, 15);
        for (int c = 1; c <= 3; ++c)
            table->Cell(c, row) = "0";
    }
    table->filled = static_cast<std::uint32_t>(found.peaks.size());
    table->included = table->filled;
    // The sample name is the file's last line: a name read from a file keeps no line break.
    std::string sample = pattern->sampleName.empty() ? Stem(o.file) : pattern->sampleName;
    for (char& c : sample) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    sample = std::string(Trim(sample));
    return Emit(o.output, FormatObservationFile(*table, 0, sample.empty() ? "pattern" : sample),
                out, err, "peaks");
}

}  // namespace dorvalix::cli
