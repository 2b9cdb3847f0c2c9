// SPDX-License-Identifier: GPL-3.0-or-later
#include "lines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "numtext.h"

namespace dorvalix::indexing {

namespace {

const long double kRadians = std::numbers::pi_v<long double> / 180;

}  // namespace

long double LineSet::QOfTwoTheta(long double twoTheta) const {
    const long double s = 2 * std::sin(twoTheta * kRadians / 2) / wavelength;
    return s * s;
}

std::optional<long double> LineSet::TwoThetaOfQ(long double q) const {
    const long double s = wavelength * std::sqrt(q) / 2;
    if (!(s >= 0 && s < 1)) return std::nullopt;
    return 2 * std::asin(s) / kRadians;
}

long double LineSet::QAt(std::size_t i, long double zero) const {
    return QOfTwoTheta(lines[i].twoTheta - zero);
}

long double HalfUnitOfLastDigit(const std::string& text) {
    const std::string_view t = Trim(text);
    std::size_t mantissaEnd = t.find_first_of("eE");
    if (mantissaEnd == std::string_view::npos) mantissaEnd = t.size();
    const std::string_view mantissa = t.substr(0, mantissaEnd);
    if (mantissa.find_first_of("0123456789") == std::string_view::npos) return 0;
    int decimals = 0;
    const std::size_t point = mantissa.find('.');
    if (point != std::string_view::npos) decimals = static_cast<int>(mantissa.size() - point - 1);
    int exponent = 0;
    if (mantissaEnd < t.size()) {
        std::int32_t e = 0;
        if (!TryParseInt(t.substr(mantissaEnd + 1), e) || e > 300 || e < -300) return 0;
        exponent = e;
    }
    // 5 in the digit after the last: 5 / 10^k, with 10^k exact, so that "3.23" gives the
    // same 0.005 as the literal.
    const int k = decimals - exponent + 1;
    long double power = 1;
    for (int i = 0; i < std::abs(k); ++i)
        power *= 10;
    return k >= 0 ? 5 / power : 5 * power;
}

std::optional<LineRefusal> PrepareLines(const PeakList& peaks, const LineOptions& options,
                                        LineSet& out) {
    out = LineSet{};
    out.twoThetaInput = peaks.kind == PeakKind::TwoTheta;
    std::optional<long double> lambda = options.wavelength ? options.wavelength : peaks.wavelength;
    if (lambda && !(*lambda > 0 && std::isfinite(*lambda))) {
        return LineRefusal{"the wavelength must be greater than 0"};
    }
    if (!(options.weak >= 0 && options.weak < 1)) {
        return LineRefusal{
            "the weak-peak threshold must be from 0 to below 100 % of the strongest"};
    }
    if (!(options.tolerance > 0 && options.tolerance < 5)) {
        return LineRefusal{"the 2-theta tolerance must be greater than 0 and below 5 degrees"};
    }
    if (out.twoThetaInput && !lambda) {
        return LineRefusal{
            "the peaks are 2-theta positions and no wavelength is known: give --wavelength or "
            "--xray"};
    }
    std::vector<Line> all;
    all.reserve(peaks.peaks.size());
    long double dMin = 0;
    for (std::size_t i = 0; i < peaks.peaks.size(); ++i) {
        const Peak& p = peaks.peaks[i];
        const int number = static_cast<int>(i) + 1;
        if (out.twoThetaInput) {
            if (!(p.position > 0 && p.position < 180)) {
                return LineRefusal{"peak " + IntText(number) + ": 2-theta " +
                                   FormatGeneral(p.position) + " is not between 0 and 180"};
            }
        } else if (!(p.position > 0 && std::isfinite(p.position))) {
            return LineRefusal{"peak " + IntText(number) + ": d " + FormatGeneral(p.position) +
                               " is not greater than 0"};
        }
        if (!out.twoThetaInput && (dMin == 0 || p.position < dMin)) dMin = p.position;
        all.push_back({number, p.position, p.position, 0, p.intensity});
    }
    if (lambda) {
        out.wavelength = *lambda;
        out.wavelengthStated = true;
    } else {
        // A d list alone: a nominal wavelength, short enough that the smallest d has a 2θ
        // (below about 130°).
        out.wavelength = std::min(kNominalWavelength, 1.8L * dMin);
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        Line& line = all[i];
        const std::string& text = peaks.peaks[i].text;
        const long double half = text.empty() ? 0 : HalfUnitOfLastDigit(text);
        if (out.twoThetaInput) {
            line.d = out.wavelength / (2 * std::sin(line.twoTheta * kRadians / 2));
            line.tolerance = std::max(options.tolerance, half);
        } else {
            const long double s = out.wavelength / (2 * line.d);
            if (!(s < 1)) {
                return LineRefusal{"peak " + IntText(line.input) + ": d " + FormatGeneral(line.d) +
                                   " has no 2-theta at wavelength " +
                                   FormatGeneral(out.wavelength)};
            }
            line.twoTheta = 2 * std::asin(s) / kRadians;
            // δ2θ = 2·tan θ·δd/d (radians).
            const long double fromDigits =
                2 * std::tan(line.twoTheta * kRadians / 2) * half / line.d / kRadians;
            line.tolerance = std::max(options.tolerance, fromDigits);
        }
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const Line& a, const Line& b) { return a.twoTheta < b.twoTheta; });
    // Duplicates: a position within half the tolerance of the line kept before it.
    std::vector<Line> distinct;
    for (const Line& line : all) {
        if (!distinct.empty()) {
            const Line& kept = distinct.back();
            if (line.twoTheta - kept.twoTheta <= std::min(kept.tolerance, line.tolerance) / 2) {
                out.merged.push_back(line.input);
                continue;
            }
        }
        distinct.push_back(line);
    }
    std::sort(out.merged.begin(), out.merged.end());
    if (options.weak > 0) {
        long double strongest = 0;
        for (const Line& line : distinct)
            strongest = std::max(strongest, line.intensity.value_or(0));
        if (strongest > 0) {
            std::vector<Line> kept;
            for (const Line& line : distinct) {
                if (line.intensity && *line.intensity < options.weak * strongest) {
                    out.weak.push_back(line.input);
                } else {
                    kept.push_back(line);
                }
            }
            distinct = std::move(kept);
            std::sort(out.weak.begin(), out.weak.end());
        }
    }
    out.available = static_cast<int>(distinct.size());
    const int count = options.count > 0 ? options.count : kDefaultLineCount;
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        if (static_cast<int>(i) < count) {
            out.lines.push_back(distinct[i]);
        } else {
            out.unused.push_back(distinct[i].input);
        }
    }
    return std::nullopt;
}

}  // namespace dorvalix::indexing
