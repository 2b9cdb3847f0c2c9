// SPDX-License-Identifier: GPL-3.0-or-later
#include "peak_file.h"

#include <cctype>

#include "errors.h"
#include "input_file.h"
#include "json_reader.h"
#include "numtext.h"
#include "observation_file.h"
#include "text_encoding.h"

namespace dorvalix::indexing {

namespace {

[[noreturn]] void Refuse(const std::string& name, const std::string& what) {
    throw DorvalixError(QuotePathForMessage(name) + ": " + what);
}

bool EndsWithLat(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".lat";
}

// A number member of a peak: empty when absent; refused when not a number.
std::optional<std::pair<long double, std::string>> NumberMember(const JsonValue& object,
                                                                const char* key,
                                                                const std::string& name,
                                                                std::size_t peak) {
    const JsonValue* v = object.Find(key);
    if (v == nullptr || v->kind == JsonValue::Kind::Null) return std::nullopt;
    long double x;
    if (v->kind != JsonValue::Kind::Number || !TryParseReal(v->text, x)) {
        Refuse(name, std::string("peak ") + IntText(static_cast<long long>(peak)) + ": \"" + key +
                         "\" is not a number");
    }
    return std::make_pair(x, v->text);
}

PeakFile ParseJsonPeaks(std::string_view text, const std::string& name) {
    std::string error;
    const auto doc = ParseJson(text, error);
    if (!doc) Refuse(name, "not a JSON text (" + error + ")");
    if (doc->kind != JsonValue::Kind::Object) Refuse(name, "the JSON text is not an object");
    const JsonValue* peaks = doc->Find("peaks");
    if (peaks == nullptr || peaks->kind != JsonValue::Kind::Array)
        Refuse(name, "no \"peaks\" array in the JSON text");
    if (peaks->items.size() > kMaxPeaks)
        Refuse(name, "more than " + IntText(static_cast<long long>(kMaxPeaks)) + " peaks");
    PeakFile out;
    out.format = PeakFormat::Json;
    if (const JsonValue* w = doc->Find("wavelength");
        w != nullptr && w->kind != JsonValue::Kind::Null) {
        if (w->kind != JsonValue::Kind::Object) Refuse(name, "\"wavelength\" is not an object");
        const JsonValue* ka1 = w->Find("ka1");
        long double lambda;
        if (ka1 != nullptr && ka1->kind != JsonValue::Kind::Null) {
            if (ka1->kind != JsonValue::Kind::Number || !TryParseReal(ka1->text, lambda))
                Refuse(name, "\"wavelength\".\"ka1\" is not a number");
            out.peaks.wavelength = lambda;
        }
    }
    bool anyD = false, anyTwoTheta = false;
    for (std::size_t i = 0; i < peaks->items.size(); ++i) {
        const JsonValue& p = peaks->items[i];
        const std::size_t number = i + 1;
        if (p.kind != JsonValue::Kind::Object)
            Refuse(name, "peak " + IntText(static_cast<long long>(number)) + " is not an object");
        const auto twoTheta = NumberMember(p, "two_theta", name, number);
        const auto d = NumberMember(p, "d", name, number);
        auto intensity = NumberMember(p, "height", name, number);
        if (!intensity) intensity = NumberMember(p, "area", name, number);
        Peak peak;
        if (twoTheta) {
            peak.position = twoTheta->first;
            peak.text = twoTheta->second;
            anyTwoTheta = true;
        } else if (d) {
            peak.position = d->first;
            peak.text = d->second;
            anyD = true;
        } else {
            Refuse(name, "peak " + IntText(static_cast<long long>(number)) +
                             " has neither \"two_theta\" nor \"d\"");
        }
        if (intensity) peak.intensity = intensity->first;
        out.peaks.peaks.push_back(peak);
    }
    if (anyD && anyTwoTheta) Refuse(name, "some peaks give 2-theta and others only d");
    out.peaks.kind = anyD ? PeakKind::D : PeakKind::TwoTheta;
    return out;
}

PeakFile ParseLatPeaks(std::string_view text, const std::string& name) {
    ObservationFileContents contents;
    try {
        contents = ParseObservationFile(DecodeFileText(text), Lang::English);
    } catch (const DorvalixError& e) {
        Refuse(name, e.Text());
    }
    PeakFile out;
    out.format = PeakFormat::Lat;
    out.peaks.kind = PeakKind::D;
    for (const ObservationTable::Row& row : contents.rows) {
        const std::string_view dText = Trim(row[0]);
        if (dText.empty()) continue;
        Peak p;
        p.text = std::string(dText);
        if (!TryParseReal(dText, p.position))
            Refuse(name, "d '" + QuoteForMessage(dText) + "' is not a number");
        out.peaks.peaks.push_back(p);
    }
    return out;
}

// The wavelength of a comment line "# wavelength 1.5406" (also "wavelength: 1.5406 A",
// "wavelength=1.5406"); empty when the line names none.
std::optional<long double> WavelengthOfComment(std::string_view line) {
    std::string lower(line);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = lower.find("wavelength");
    if (at == std::string::npos) return std::nullopt;
    std::size_t p = at + 10;
    while (p < lower.size() &&
           (lower[p] == ' ' || lower[p] == '\t' || lower[p] == ':' || lower[p] == '='))
        ++p;
    std::size_t e = p;
    while (e < lower.size() && lower[e] != ' ' && lower[e] != '\t' && lower[e] != '\r')
        ++e;
    long double v;
    if (e == p || !TryParseReal(std::string_view(lower).substr(p, e - p), v)) return std::nullopt;
    return v;
}

PeakFile ParseTextPeaks(std::string_view text, const std::string& name) {
    PeakFile out;
    std::size_t columns = 0;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty()) {
            if (end == text.size()) break;
            continue;
        }
        if (trimmed[0] == '#' || trimmed[0] == '!' || trimmed[0] == ';') {
            if (const auto w = WavelengthOfComment(trimmed)) {
                if (out.peaks.wavelength && *out.peaks.wavelength != *w)
                    Refuse(name, "line " + IntText(static_cast<long long>(lineNumber)) +
                                     ": a second, different wavelength");
                out.peaks.wavelength = *w;
            }
            if (end == text.size()) break;
            continue;
        }
        // Fields separated by blanks, tabs, commas or semicolons.
        std::vector<std::string_view> fields;
        std::size_t f = 0;
        while (f < trimmed.size()) {
            while (f < trimmed.size() && (std::isspace(static_cast<unsigned char>(trimmed[f])) ||
                                          trimmed[f] == ',' || trimmed[f] == ';'))
                ++f;
            const std::size_t b = f;
            while (f < trimmed.size() && !std::isspace(static_cast<unsigned char>(trimmed[f])) &&
                   trimmed[f] != ',' && trimmed[f] != ';')
                ++f;
            if (f > b) fields.push_back(trimmed.substr(b, f - b));
        }
        const std::string where = "line " + IntText(static_cast<long long>(lineNumber));
        if (columns == 0) columns = std::min<std::size_t>(fields.size(), 2);
        if (fields.size() < columns || (columns == 1 && fields.size() > 1))
            Refuse(name, where + ": " + IntText(static_cast<long long>(fields.size())) +
                             " numbers where the lines before have " +
                             IntText(static_cast<long long>(columns)));
        Peak p;
        p.text = std::string(fields[0]);
        if (!TryParseReal(fields[0], p.position))
            Refuse(name, where + ": '" + QuoteForMessage(fields[0]) + "' is not a number");
        if (columns == 2) {
            long double intensity;
            if (!TryParseReal(fields[1], intensity))
                Refuse(name, where + ": '" + QuoteForMessage(fields[1]) + "' is not a number");
            p.intensity = intensity;
        }
        out.peaks.peaks.push_back(p);
        if (out.peaks.peaks.size() > kMaxPeaks)
            Refuse(name, "more than " + IntText(static_cast<long long>(kMaxPeaks)) + " peaks");
        if (end == text.size()) break;
    }
    if (columns == 1) {
        out.format = PeakFormat::DList;
        out.peaks.kind = PeakKind::D;
    } else {
        out.format = PeakFormat::TwoTheta;
        out.peaks.kind = PeakKind::TwoTheta;
    }
    return out;
}

}  // namespace

PeakFile ParsePeakFile(std::string_view text, const std::string& name) {
    PeakFile out;
    const std::string_view t = Trim(text.substr(text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0));
    if (!t.empty() && t.front() == '{') {
        out = ParseJsonPeaks(text, name);
    } else if (EndsWithLat(name)) {
        out = ParseLatPeaks(text, name);
    } else {
        out = ParseTextPeaks(DecodeFileText(text), name);
    }
    if (out.peaks.peaks.empty()) Refuse(name, "no peaks");
    return out;
}

PeakFile ReadPeakFile(const std::string& path) {
    return ParsePeakFile(ReadInputFile(path, Lang::English), path);
}

}  // namespace dorvalix::indexing
