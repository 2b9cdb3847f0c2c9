// SPDX-License-Identifier: GPL-3.0-or-later
// PANalytical .xrdml: <xrdMeasurements> with one or more <xrdMeasurement>, each with its
// <usedWavelength> and <scan>s. A scan's <dataPoints> give the 2θ positions (start and end,
// or every position listed), the counts (<intensities> in schema 1.x, <counts> in 2.x), the
// counting time and optionally beam attenuation factors, which multiply the counts.
#include <algorithm>
#include <string>

#include "numtext.h"
#include "pattern_reader.h"
#include "reader_support.h"
#include "xml_support.h"

namespace dorvalix {

using namespace pattern_io;

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

// A wavelength element in Å (the schema allows nm too).
long double WavelengthOf(const pugi::xml_node& node) {
    const long double v = WavelengthText(TextOf(node));
    return SameLetters(node.attribute("unit").value(), "nm") ? 10 * v : v;
}

// A per-point list: one value for every point, or a single value for all of them.
std::vector<double> PerPoint(const pugi::xml_node& node, std::size_t n, const ReadContext& context,
                             std::size_t scanNumber, std::string_view what) {
    std::vector<double> values = NumberList(TextOf(node), context, what);
    if (values.size() == 1) values.assign(n, values[0]);
    if (values.size() != n) {
        context.Fail(
            pattern_text::kCountMismatch,
            {std::to_string(scanNumber), std::to_string(values.size()), std::to_string(n)});
    }
    return values;
}

}  // namespace

Pattern ParseXrdml(std::string_view bytes, const std::string& fileName, Lang lang) {
    ReadContext context(fileName, lang);
    pugi::xml_document document;
    ParseXml(document, bytes, context);
    const pugi::xml_node root = document.document_element();
    if (LocalName(root) != "xrdMeasurements") context.Fail(pattern_text::kUnknownFormat);

    Pattern pattern;
    pattern.format = "xrdml";
    if (const pugi::xml_node sample = Child(root, "sample")) {
        pattern.sampleName = std::string(TextOf(Child(sample, "name")));
        if (pattern.sampleName.empty())
            pattern.sampleName = std::string(TextOf(Child(sample, "id")));
    }
    for (const pugi::xml_node& entry : Children(Child(root, "comment"), "entry")) {
        const std::string_view text = TextOf(entry);
        constexpr std::string_view kSystem = "Diffractometer system=";
        if (text.starts_with(kSystem))
            pattern.instrument = std::string(text.substr(kSystem.size()));
    }

    for (const pugi::xml_node& measurement : Children(root, "xrdMeasurement")) {
        const pugi::xml_node used = Child(measurement, "usedWavelength");
        if (used && !pattern.wavelength.Known()) {
            Wavelengths& w = pattern.wavelength;
            w.ka1 = WavelengthOf(Child(used, "kAlpha1"));
            w.ka2 = WavelengthOf(Child(used, "kAlpha2"));
            double ratio = 0;
            if (NumberOf(Child(used, "ratioKAlpha2KAlpha1"), ratio) && ratio > 0 && ratio < 1)
                w.ratio = ratio;
            if (w.ka2 <= 0) w.ratio = 0;
            w.stated = w.ka1 > 0;
        }
        for (const pugi::xml_node& scanNode : Children(measurement, "scan")) {
            // Scans are numbered as they are kept: a scan without 2θ data is left out.
            const std::size_t scanNumber = pattern.scans.size() + 1;
            const pugi::xml_node points = Child(scanNode, "dataPoints");
            pugi::xml_node positions;
            for (const pugi::xml_node& p : Children(points, "positions")) {
                if (SameLetters(p.attribute("axis").value(), "2Theta")) positions = p;
            }
            pugi::xml_node counts = Child(points, "intensities");
            if (!counts) counts = Child(points, "counts");
            // Not a 2θ scan (a rocking curve holds 2θ at one common position), or no data.
            if (!positions || !counts || Child(positions, "commonPosition")) continue;
            Scan scan;
            scan.counts = NumberList(TextOf(counts), context, "counts");
            const std::size_t n = scan.counts.size();
            if (n == 0) continue;  // a scan that was stopped before its first point
            context.ClaimPoints(n);
            if (const pugi::xml_node list = Child(positions, "listPositions")) {
                scan.twoTheta = PerPoint(list, n, context, scanNumber, "2θ positions");
            } else {
                double start = 0, end = 0;
                if (!NumberOf(Child(positions, "startPosition"), start) ||
                    !NumberOf(Child(positions, "endPosition"), end)) {
                    context.Fail(pattern_text::kMissingPart, {"2θ start and end positions"});
                }
                scan.twoTheta.resize(n);
                const double step = n > 1 ? (end - start) / static_cast<double>(n - 1) : 0;
                for (std::size_t i = 0; i < n; ++i)
                    scan.twoTheta[i] = start + step * static_cast<double>(i);
                if (n > 1) scan.twoTheta[n - 1] = end;
            }
            if (const pugi::xml_node att = Child(points, "beamAttenuationFactors")) {
                const std::vector<double> factors =
                    PerPoint(att, n, context, scanNumber, "beam attenuation factors");
                for (std::size_t i = 0; i < n; ++i) {
                    scan.counts[i] *= factors[i];
                    scan.attenuated = scan.attenuated || factors[i] != 1;
                }
            }
            double time = 0;
            if (NumberOf(Child(points, "commonCountingTime"), time)) {
                scan.countingTime = time;
            } else if (const pugi::xml_node times = Child(points, "countingTimes")) {
                const std::vector<double> t =
                    PerPoint(times, n, context, scanNumber, "counting times");
                double sum = 0;
                for (const double v : t)
                    sum += v;
                scan.countingTime = sum / static_cast<double>(n);
            }
            if (pattern.date.empty()) {
                pattern.date =
                    std::string(TextOf(Child(Child(scanNode, "header"), "startTimeStamp")));
            }
            FinishScan(scan, context, scanNumber);
            pattern.scans.push_back(std::move(scan));
        }
    }
    if (pattern.scans.empty()) context.Fail(pattern_text::kNoPoints);
    return pattern;
}

}  // namespace dorvalix
