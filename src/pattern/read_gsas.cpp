// SPDX-License-Identifier: GPL-3.0-or-later
// GSAS powder data (GSAS manual, Larson & Von Dreele, "powder data file"): a title line,
// comment lines starting with #, and for each bank a line
//   BANK n npts nrec CONST|CONS start step 0 0 STD|ESD|ALT|FXYE
// followed by its records. For constant steps, start and step are in centidegrees.
//   STD   10 fields of 8 characters per record, each a counter number (I2, blank for one)
//         and a count (F6.0); the variance of a count averaged over n counters is count / n
//   ESD   5 pairs of count and s.u. per record, in fields of 8 characters
//   FXYE  one point per line: 2θ in centidegrees, count, s.u.
// GSAS files do not state the wavelength (it lives in the instrument file), but some carry
// it in a comment ("# Calibrated wavelength = 0.413909"): that is taken as a single line.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "numtext.h"
#include "pattern_reader.h"
#include "reader_support.h"

namespace dorvalix {

using namespace pattern_io;

namespace {

// The wavelength a comment names: "wavelength" followed by "=" or ":" and a number in Å.
long double CommentWavelength(std::string_view comment) {
    std::string lower(comment);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find("wavelength");
    if (at == std::string::npos) return 0;
    std::string_view rest = std::string_view(comment).substr(at + 10);
    const std::size_t mark = rest.find_first_of("=:");
    if (mark == std::string_view::npos) return 0;
    const std::vector<std::string_view> tokens = SplitBlanks(rest.substr(mark + 1));
    return tokens.empty() ? 0 : WavelengthText(tokens[0]);
}

bool Blank(std::string_view s) {
    return Trim(s).empty();
}

}  // namespace

Pattern ParseGsas(std::string_view bytes, const std::string& fileName, Lang lang) {
    ReadContext context(fileName, lang);
    if (bytes.find('\0') != std::string_view::npos) context.Fail(pattern_text::kUnknownFormat);
    const std::vector<std::string_view> lines = SplitLines(WithoutByteOrderMark(bytes));
    Pattern pattern;
    pattern.format = "gsas";
    if (!lines.empty()) pattern.sampleName = std::string(Trim(lines[0]));
    std::size_t i = 1;
    while (i < lines.size()) {
        const std::string_view line = lines[i];
        const std::string_view t = Trim(line);
        ++i;
        if (t.starts_with('#')) {
            if (!pattern.wavelength.Known()) {
                if (const long double w = CommentWavelength(t); w > 0) {
                    pattern.wavelength.ka1 = w;
                    pattern.wavelength.stated = true;
                }
            }
            continue;
        }
        if (!t.starts_with("BANK")) continue;
        const std::vector<std::string_view> f = SplitBlanks(t);
        const std::size_t scanNumber = pattern.scans.size() + 1;
        const std::string bankText = "BANK line '" + Quote(t) + "'";
        double npts = 0, start = 0, step = 0;
        if (f.size() < 7 || !ParseNumber(f[2], npts) || !(npts >= 1) || npts != std::floor(npts)) {
            context.Damaged(bankText);
        }
        const std::string_view binning = f[4];
        const std::string_view type = f.back();
        if (binning != "CONST" && binning != "CONS") continue;  // time of flight, log bins
        if (type == "ALT") context.Fail(pattern_text::kGsasAlt);
        const bool fxye = type == "FXYE";
        const bool esd = type == "ESD";
        if (!fxye && (!ParseNumber(f[5], start) || !ParseNumber(f[6], step)))
            context.Damaged(bankText);
        if (npts > static_cast<double>(kMaxPatternPoints)) {
            context.Fail(pattern_text::kTooManyPoints,
                         {std::string(f[2]), std::to_string(kMaxPatternPoints)});
        }
        const auto n = static_cast<std::size_t>(npts);
        context.ClaimPoints(n);
        Scan scan;
        // A record holds at most ten points: a bank that declares more than its lines can
        // hold gets no room beyond them.
        const std::size_t room = std::min(n, (lines.size() - i) * 10);
        scan.twoTheta.reserve(room);
        scan.counts.reserve(room);
        std::vector<double> variance;
        bool counters = false;
        // FXYE has one point per line: every line up to the next bank is read, even past
        // the declared count (a file that holds more says so in a note). The fixed records
        // of STD and ESD end at the declared count.
        while ((fxye || scan.counts.size() < n) && i < lines.size() &&
               !Trim(lines[i]).starts_with("BANK")) {
            const std::string_view record = lines[i];
            const std::string lineText = std::to_string(i + 1);
            ++i;
            if (Trim(record).starts_with('#') || Blank(record)) continue;
            auto number = [&](std::string_view field, double& v) {
                if (!ParseNumber(Trim(field), v)) {
                    context.Fail(pattern_text::kNotANumber, {lineText, Quote(Trim(field))});
                }
            };
            if (fxye) {
                const std::vector<std::string_view> p = SplitBlanks(record);
                if (p.size() < 2 || p.size() > 3) {
                    context.Fail(pattern_text::kColumnCount, {lineText, std::to_string(p.size())});
                }
                if (scan.counts.size() >= n) context.ClaimPoints(1);
                double x, y, e = 0;
                number(p[0], x);
                number(p[1], y);
                if (p.size() == 3) number(p[2], e);
                scan.twoTheta.push_back(x / 100);
                scan.counts.push_back(y);
                variance.push_back(e * e);
                continue;
            }
            const std::size_t width = esd ? 16 : 8;
            for (std::size_t at = 0; at < record.size() && scan.counts.size() < n; at += width) {
                if (Blank(record.substr(at, width))) break;
                const std::string_view field =
                    record.substr(at, std::min(width, record.size() - at));
                double y, v;
                if (esd) {
                    double e = 0;
                    number(field.substr(0, std::min<std::size_t>(8, field.size())), y);
                    if (field.size() > 8) number(field.substr(8), e);
                    v = e * e;
                } else {
                    // (I2, F6.0): the counter number, then the count.
                    double nc = 1;
                    if (!Blank(field.substr(0, std::min<std::size_t>(2, field.size())))) {
                        number(field.substr(0, 2), nc);
                        counters = counters || nc != 1;
                    }
                    number(field.size() > 2 ? field.substr(2) : std::string_view(), y);
                    v = nc > 0 ? std::max(y, 0.0) / nc : 0;
                }
                scan.twoTheta.push_back((start + step * static_cast<double>(scan.counts.size())) /
                                        100);
                scan.counts.push_back(y);
                variance.push_back(v);
            }
        }
        if (scan.counts.size() < n) {
            context.Fail(pattern_text::kTruncated, {std::to_string(scanNumber), std::string(f[2]),
                                                    std::to_string(scan.counts.size())});
        }
        if (scan.counts.size() > n) {
            pattern.notes.push_back(context.Message(pattern_text::kMorePoints,
                                                    {std::to_string(scanNumber), std::string(f[2]),
                                                     std::to_string(scan.counts.size())}));
        }
        // s.u. only where the file gives them: ESD and FXYE, or STD with counter numbers.
        if (fxye || esd || counters) {
            scan.su.resize(variance.size());
            std::transform(variance.begin(), variance.end(), scan.su.begin(),
                           [](double v) { return std::sqrt(v); });
        }
        if (fxye) pattern.format = "fxye";
        FinishScan(scan, context, scanNumber);
        pattern.scans.push_back(std::move(scan));
    }
    if (pattern.scans.empty())
        context.Fail(pattern_text::kMissingPart, {"BANK with constant steps"});
    return pattern;
}

}  // namespace dorvalix
