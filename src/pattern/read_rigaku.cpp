// SPDX-License-Identifier: GPL-3.0-or-later
// Rigaku SmartLab files.
//
// .ras is text (Shift-JIS where the header has Japanese): between *RAS_HEADER_START and
// *RAS_HEADER_END the header's *KEY "value" lines, then between *RAS_INT_START and
// *RAS_INT_END one line per point: angle, counts and an attenuation factor that multiplies
// the counts. Several header and data blocks (in one or several *RAS_DATA regions) are
// several scans; a *RAS_TEMPERATURE block after the data holds the sample temperature at
// each point and is no data.
//
// .rasx is a zip archive: Data<n>/Profile<m>.txt holds the points as tab-separated angle,
// counts and attenuation; Data<n>/MesurementConditions<m>.xml (sic) the conditions.
//
// The header names the tube's Kα1 and Kα2 and what the optics let through (WAVE_TYPE "Ka1"
// for a Kα1 monochromator, "Ka" for the doublet, "Kb"); the Kα2/Kα1 ratio is never stated,
// so the doublet starts from 0.5.
#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "numtext.h"
#include "pattern_reader.h"
#include "reader_support.h"
#include "text_encoding.h"
#include "xml_support.h"
#include "zip_archive.h"

namespace dorvalix {

using namespace pattern_io;

namespace {

constexpr double kUnstatedRatio = 0.5;

struct Conditions {
    std::string ka1, ka2, kb, waveType;
    std::string axis;  // the scanned axis; empty when not named
    std::string step, speed, speedUnit, dataCount;
};

Wavelengths LinesOf(const Conditions& c) {
    Wavelengths w;
    const long double ka1 = WavelengthText(c.ka1), ka2 = WavelengthText(c.ka2);
    const long double kb = WavelengthText(c.kb);
    const std::string_view type = Trim(c.waveType);
    if (type == "Kb" || type == "KB") {
        w.ka1 = kb;
    } else if (ka1 > 0) {
        w.ka1 = ka1;
        if (type != "Ka1" && type != "KA1" && ka2 > 0) {
            w.ka2 = ka2;
            w.ratio = kUnstatedRatio;
        }
    }
    w.stated = w.ka1 > 0;
    return w;
}

// A scan of 2θ: the axis is one of the 2θ drives, or not named.
bool IsTwoThetaAxis(std::string_view axis) {
    axis = Trim(axis);
    return axis.empty() || axis.starts_with("TwoTheta") || axis.starts_with("2Theta");
}

// Seconds per point: a continuous scan gives its speed in °/min, a step scan its time.
double SecondsPerPoint(const Conditions& c) {
    double step = 0, speed = 0;
    if (!ParseNumber(Trim(c.step), step) || !ParseNumber(Trim(c.speed), speed) || !(speed > 0))
        return 0;
    const std::string_view unit = Trim(c.speedUnit);
    if (unit.find("/min") != std::string_view::npos) return std::abs(step) / speed * 60;
    if (unit == "s" || unit == "sec") return speed;
    return 0;
}

// The declared number of points, checked against those read.
void CheckCount(const Conditions& c, const Scan& scan, const ReadContext& context,
                std::size_t number) {
    double declared = 0;
    if (!ParseNumber(Trim(c.dataCount), declared)) return;
    const auto read = static_cast<double>(scan.Size());
    if (declared > read) {
        context.Fail(
            pattern_text::kTruncated,
            {std::to_string(number), std::string(Trim(c.dataCount)), std::to_string(scan.Size())});
    }
    if (declared < read) {
        context.Damaged("scan " + std::to_string(number) + " declares " +
                        std::string(Trim(c.dataCount)) + " points and holds " +
                        std::to_string(scan.Size()));
    }
}

// One line of points: angle, counts, and an optional attenuation factor.
bool ReadPoint(std::string_view line, Scan& scan) {
    const std::vector<std::string_view> t = SplitBlanks(line);
    if (t.size() < 2 || t.size() > 3) return false;
    double angle, counts, factor = 1;
    if (!ParseNumber(t[0], angle) || !ParseNumber(t[1], counts)) return false;
    if (t.size() == 3 && !ParseNumber(t[2], factor)) return false;
    scan.twoTheta.push_back(angle);
    scan.counts.push_back(counts * factor);
    scan.attenuated = scan.attenuated || factor != 1;
    return true;
}

// "9kW 開放管|9kW Rotating anode": the English name after the bar, where there is one.
std::string EnglishPart(std::string_view value) {
    const std::size_t bar = value.find('|');
    return std::string(Trim(bar == std::string_view::npos ? value : value.substr(bar + 1)));
}

}  // namespace

Pattern ParseRas(std::string_view bytes, const std::string& fileName, Lang lang) {
    ReadContext context(fileName, lang);
    if (bytes.find('\0') != std::string_view::npos) context.Fail(pattern_text::kUnknownFormat);
    const std::string text = DecodeFileText(bytes);
    const std::vector<std::string_view> lines = SplitLines(text);
    context.ClaimPoints(lines.size());
    Pattern pattern;
    pattern.format = "ras";
    std::map<std::string, std::string, std::less<>> header;
    bool inHeader = false, inPoints = false;
    Scan scan;
    Conditions conditions;
    bool keep = true;
    for (std::size_t number = 1; number <= lines.size(); ++number) {
        const std::string_view t = Trim(lines[number - 1]);
        if (t.starts_with('*')) {
            const std::size_t blank = t.find_first_of(" \t");
            const std::string_view key =
                t.substr(1, blank == std::string_view::npos ? blank : blank - 1);
            if (key == "RAS_HEADER_START") {
                header.clear();
                inHeader = true;
            } else if (key == "RAS_HEADER_END") {
                inHeader = false;
            } else if (key == "RAS_INT_START") {
                inPoints = true;
                scan = Scan{};
                auto value = [&](const char* k) {
                    const auto it = header.find(k);
                    return it == header.end() ? std::string() : it->second;
                };
                conditions = Conditions{value("HW_XG_WAVE_LENGTH_ALPHA1"),
                                        value("HW_XG_WAVE_LENGTH_ALPHA2"),
                                        value("HW_XG_WAVE_LENGTH_BETA"),
                                        value("MEAS_COND_XG_WAVE_TYPE"),
                                        value("MEAS_SCAN_AXIS_X_INTERNAL"),
                                        value("MEAS_SCAN_STEP"),
                                        value("MEAS_SCAN_SPEED"),
                                        value("MEAS_SCAN_SPEED_UNIT"),
                                        value("MEAS_DATA_COUNT")};
                keep = IsTwoThetaAxis(conditions.axis);
                if (pattern.scans.empty() && keep) {
                    pattern.wavelength = LinesOf(conditions);
                    pattern.sampleName = value("FILE_SAMPLE");
                    pattern.instrument = EnglishPart(value("HW_GONIOMETER_NAME"));
                    pattern.date = value("MEAS_SCAN_START_TIME");
                }
            } else if (key == "RAS_INT_END") {
                if (!inPoints) continue;
                inPoints = false;
                if (!keep) continue;
                const std::size_t scanNumber = pattern.scans.size() + 1;
                CheckCount(conditions, scan, context, scanNumber);
                scan.countingTime = SecondsPerPoint(conditions);
                FinishScan(scan, context, scanNumber);
                pattern.scans.push_back(std::move(scan));
            } else if (inHeader && blank != std::string_view::npos) {
                std::string_view value = Trim(t.substr(blank));
                if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                    value = value.substr(1, value.size() - 2);
                header.insert_or_assign(std::string(key), std::string(value));
            }
            continue;
        }
        if (!inPoints || t.empty()) continue;
        if (!ReadPoint(t, scan)) {
            context.Fail(pattern_text::kNotANumber, {std::to_string(number), Quote(t)});
        }
    }
    if (inPoints) {
        // The file ends inside a block of points.
        const std::string declared =
            conditions.dataCount.empty() ? "?" : std::string(Trim(conditions.dataCount));
        context.Fail(pattern_text::kTruncated, {std::to_string(pattern.scans.size() + 1), declared,
                                                std::to_string(scan.Size())});
    }
    if (pattern.scans.empty()) context.Fail(pattern_text::kNoPoints);
    return pattern;
}

namespace {

// "Data0/Profile1.txt" -> (0, 1), with the folder's name "Data0".
struct ProfileName {
    long folder = -1, index = -1;
};

std::optional<ProfileName> ProfileNumber(std::string_view name) {
    const std::size_t slash = name.find('/');
    if (slash == std::string_view::npos || name.find('/', slash + 1) != std::string_view::npos)
        return std::nullopt;
    const std::string_view folder = name.substr(0, slash), file = name.substr(slash + 1);
    if (!folder.starts_with("Data") || !file.starts_with("Profile") || !file.ends_with(".txt"))
        return std::nullopt;
    auto number = [](std::string_view digits) -> long {
        if (digits.empty() || digits.size() > 6) return -1;
        long v = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return -1;
            v = v * 10 + (c - '0');
        }
        return v;
    };
    const ProfileName p{number(folder.substr(4)), number(file.substr(7, file.size() - 11))};
    if (p.folder < 0 || p.index < 0) return std::nullopt;
    return p;
}

Conditions ConditionsOf(const pugi::xml_node& root, Pattern& pattern, bool first) {
    const pugi::xml_node generator = Child(Child(root, "HWConfigurations"), "XrayGenerator");
    const pugi::xml_node scanInfo = Child(root, "ScanInformation");
    auto text = [](const pugi::xml_node& parent, const char* name) {
        return std::string(TextOf(Child(parent, name)));
    };
    Conditions c{text(generator, "WavelengthKalpha1"),
                 text(generator, "WavelengthKalpha2"),
                 text(generator, "WavelengthKbeta"),
                 text(generator, "WaveType"),
                 text(scanInfo, "AxisName"),
                 text(scanInfo, "Step"),
                 text(scanInfo, "Speed"),
                 text(scanInfo, "SpeedUnit"),
                 text(scanInfo, "DataCount")};
    if (first) {
        const pugi::xml_node general = Child(root, "GeneralInformation");
        pattern.sampleName = text(general, "SampleName");
        pattern.instrument = text(general, "SystemName");
        pattern.date = text(scanInfo, "StartTime");
        pattern.wavelength = LinesOf(c);
    }
    return c;
}

}  // namespace

Pattern ParseRasx(std::string_view bytes, const std::string& fileName, Lang lang) {
    ReadContext context(fileName, lang);
    const ZipArchive archive(bytes, context);
    std::map<std::pair<long, long>, std::string> profiles;
    for (const std::string& name : archive.Names()) {
        if (const auto p = ProfileNumber(name))
            profiles.emplace(std::make_pair(p->folder, p->index), name);
    }
    if (profiles.empty()) context.Fail(pattern_text::kMissingPart, {"Data*/Profile*.txt"});
    Pattern pattern;
    pattern.format = "rasx";
    for (const auto& [number, member] : profiles) {
        const std::string folder = "Data" + std::to_string(number.first) + "/";
        const std::string suffix = std::to_string(number.second) + ".xml";
        // The conditions of this profile, under either spelling the program has used.
        Conditions conditions;
        bool haveConditions = false;
        for (const char* stem : {"MesurementConditions", "MeasurementConditions"}) {
            const std::string name = folder + stem + suffix;
            if (std::find(archive.Names().begin(), archive.Names().end(), name) ==
                archive.Names().end())
                continue;
            pugi::xml_document document;
            ParseXml(document, archive.Read(name), context);
            conditions = ConditionsOf(document.document_element(), pattern, pattern.scans.empty());
            haveConditions = true;
            break;
        }
        if (!IsTwoThetaAxis(conditions.axis)) continue;
        const std::string text = archive.Read(member);
        const std::vector<std::string_view> lines = SplitLines(WithoutByteOrderMark(text));
        context.ClaimPoints(lines.size());
        Scan scan;
        scan.twoTheta.reserve(lines.size());
        scan.counts.reserve(lines.size());
        for (std::size_t n = 1; n <= lines.size(); ++n) {
            const std::string_view t = Trim(lines[n - 1]);
            if (t.empty()) continue;
            if (!ReadPoint(t, scan)) {
                context.Damaged(Quote(member) + ", line " + std::to_string(n) + ": '" + Quote(t) +
                                "' is not a point");
            }
        }
        const std::size_t scanNumber = pattern.scans.size() + 1;
        if (haveConditions) {
            CheckCount(conditions, scan, context, scanNumber);
            scan.countingTime = SecondsPerPoint(conditions);
        }
        FinishScan(scan, context, scanNumber);
        pattern.scans.push_back(std::move(scan));
    }
    if (pattern.scans.empty()) context.Fail(pattern_text::kNoPoints);
    return pattern;
}

}  // namespace dorvalix
