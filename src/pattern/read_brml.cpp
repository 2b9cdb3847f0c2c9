// SPDX-License-Identifier: GPL-3.0-or-later
// Bruker DIFFRAC.SUITE .brml: a zip archive whose Experiment<n>/RawData<m>.xml files hold the
// scans. Each <DataRoute> with <Datum> rows is a scan; a row is comma-separated numbers whose
// columns the route's <DataViews> name: fixed views (MeasuredTime, AbsorptionFactor), the
// varying scan axes (TwoTheta, Theta ...) and the recorded counts. Without views, the columns
// are taken as time, absorption factor, the <ScanAxes> in order, then the counts, when the
// rows have exactly that many. The counts are multiplied by the absorption factor. The
// wavelengths are the tube's WaveLengthAlpha1, WaveLengthAlpha2 and WaveLengthRatio.
#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "numtext.h"
#include "pattern_reader.h"
#include "reader_support.h"
#include "xml_support.h"
#include "zip_archive.h"

namespace dorvalix {

using namespace pattern_io;

namespace {

// "Experiment0/RawData12.xml" -> (0, 12); nullopt for any other member.
std::optional<std::pair<long, long>> RawDataNumber(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::string_view folder = std::string_view(name).substr(0, slash);
    const std::string_view file = std::string_view(name).substr(slash + 1);
    const std::size_t folderStart =
        folder.rfind('/') == std::string_view::npos ? 0 : folder.rfind('/') + 1;
    const std::string_view experiment = folder.substr(folderStart);
    if (!experiment.starts_with("Experiment") || !file.starts_with("RawData") ||
        !file.ends_with(".xml")) {
        return std::nullopt;
    }
    auto number = [](std::string_view digits) -> long {
        long v = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9' || v > 1'000'000) return -1;
            v = v * 10 + (c - '0');
        }
        return v;
    };
    const long e = number(experiment.substr(10));
    const long r = number(file.substr(7, file.size() - 11));
    if (e < 0 || r < 0) return std::nullopt;
    return std::make_pair(e, r);
}

long double AttributeWavelength(const pugi::xml_node& node) {
    return WavelengthText(node.attribute("Value").value());
}

// Which column of a Datum row holds what.
struct Columns {
    long twoTheta = -1, counts = -1, time = -1, absorption = -1;
    std::size_t width = 0;  // the number of columns, when known
};

Columns ColumnsFromViews(const pugi::xml_node& route) {
    Columns c;
    for (const pugi::xml_node& view : Children(Child(route, "DataViews"), "RawDataView")) {
        double start = -1;
        if (!AttributeNumber(view, "Start", start) || start < 0 || start > 1000) continue;
        const auto at = static_cast<long>(start);
        const std::string_view type = view.attribute("xsi:type").value();
        const std::string_view logic = view.attribute("LogicName").value();
        if (type == "FixedRawDataView") {
            if (logic == "MeasuredTime") c.time = at;
            if (logic == "AbsorptionFactor") c.absorption = at;
        } else if (type == "VaryingRawDataView") {
            long k = 0;
            for (const pugi::xml_node& field :
                 Children(Child(view, "Varying"), "FieldDefinitions")) {
                if (std::string_view(field.attribute("FieldName").value()) == "TwoTheta")
                    c.twoTheta = at + k;
                ++k;
            }
        } else if (type == "RecordedRawDataView" && c.counts < 0) {
            c.counts = at;
        }
    }
    return c;
}

Columns ColumnsFromAxes(const pugi::xml_node& route, std::size_t width) {
    Columns c;
    const std::vector<pugi::xml_node> axes =
        Children(Child(Child(route, "ScanInformation"), "ScanAxes"), "ScanAxisInfo");
    if (axes.empty() || width != axes.size() + 3) return c;
    c.time = 0;
    c.absorption = 1;
    for (std::size_t k = 0; k < axes.size(); ++k) {
        if (std::string_view(axes[k].attribute("AxisName").value()) == "TwoTheta")
            c.twoTheta = static_cast<long>(k + 2);
    }
    c.counts = static_cast<long>(width - 1);
    return c;
}

}  // namespace

Pattern ParseBrml(std::string_view bytes, const std::string& fileName, Lang lang) {
    ReadContext context(fileName, lang);
    const ZipArchive archive(bytes, context);
    std::map<std::pair<long, long>, std::string> members;
    for (const std::string& name : archive.Names()) {
        if (const auto number = RawDataNumber(name)) members.emplace(*number, name);
    }
    if (members.empty()) context.Fail(pattern_text::kMissingPart, {"Experiment*/RawData*.xml"});

    Pattern pattern;
    pattern.format = "brml";
    for (const auto& [number, member] : members) {
        pugi::xml_document document;
        ParseXml(document, archive.Read(member), context);
        const pugi::xml_node root = document.document_element();
        if (!pattern.wavelength.Known()) {
            const long double ka1 = AttributeWavelength(Descendant(root, "WaveLengthAlpha1"));
            const long double ka2 = AttributeWavelength(Descendant(root, "WaveLengthAlpha2"));
            // The ratio is a number below 1, read as a wavelength would be.
            const long double ratio = AttributeWavelength(Descendant(root, "WaveLengthRatio"));
            if (ka1 > 0) {
                pattern.wavelength.ka1 = ka1;
                pattern.wavelength.stated = true;
                if (ka2 > 0 && ratio > 0 && ratio < 1) {
                    pattern.wavelength.ka2 = ka2;
                    pattern.wavelength.ratio = ratio;
                }
            }
        }
        if (pattern.sampleName.empty()) {
            for (const pugi::xml_node& item : Descendants(root, "InfoItem")) {
                if (std::string_view(item.attribute("Name").value()) == "SampleName")
                    pattern.sampleName = std::string(Trim(item.attribute("Value").value()));
            }
        }
        if (pattern.date.empty())
            pattern.date = std::string(TextOf(Child(root, "TimeStampStarted")));

        for (const pugi::xml_node& route : Children(Child(root, "DataRoutes"), "DataRoute")) {
            const std::vector<pugi::xml_node> rows = Children(route, "Datum");
            if (rows.empty()) continue;
            const std::size_t scanNumber = pattern.scans.size() + 1;
            context.ClaimPoints(rows.size());
            const std::string quotedMember = Quote(member);
            // A row's numbers, separated by commas.
            std::vector<double> fields;
            auto split = [&](const pugi::xml_node& row) {
                const std::string_view text = TextOf(row);
                fields.clear();
                std::size_t start = 0;
                for (;;) {
                    const std::size_t comma = text.find(',', start);
                    const std::string_view token = Trim(text.substr(
                        start, comma == std::string_view::npos ? comma : comma - start));
                    double v;
                    if (!ParseNumber(token, v)) {
                        context.Damaged(quotedMember + ": Datum '" + Quote(text) + "'");
                    }
                    fields.push_back(v);
                    if (comma == std::string_view::npos) break;
                    if (fields.size() == 1000) context.Damaged(quotedMember + ": Datum too long");
                    start = comma + 1;
                }
            };
            split(rows.front());
            const std::size_t width = fields.size();
            Columns columns = ColumnsFromViews(route);
            if (columns.twoTheta < 0 || columns.counts < 0) columns = ColumnsFromAxes(route, width);
            auto inside = [&](long c) { return c >= 0 && static_cast<std::size_t>(c) < width; };
            if (!inside(columns.twoTheta) || !inside(columns.counts)) {
                context.Fail(pattern_text::kMissingPart,
                             {"2θ and counts columns in " + quotedMember});
            }
            const auto at = [](long c) { return static_cast<std::size_t>(c); };
            Scan scan;
            scan.twoTheta.reserve(rows.size());
            scan.counts.reserve(rows.size());
            if (inside(columns.time)) scan.countingTime = fields[at(columns.time)];
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (i > 0) split(rows[i]);
                if (fields.size() != width) {
                    context.Damaged(quotedMember + ": Datum rows of " + std::to_string(width) +
                                    " and " + std::to_string(fields.size()) + " columns");
                }
                double counts = fields[at(columns.counts)];
                if (inside(columns.absorption)) {
                    const double factor = fields[at(columns.absorption)];
                    counts *= factor;
                    scan.attenuated = scan.attenuated || factor != 1;
                }
                scan.twoTheta.push_back(fields[at(columns.twoTheta)]);
                scan.counts.push_back(counts);
            }
            FinishScan(scan, context, scanNumber);
            pattern.scans.push_back(std::move(scan));
        }
    }
    if (pattern.scans.empty()) context.Fail(pattern_text::kNoPoints);
    return pattern;
}

}  // namespace dorvalix
