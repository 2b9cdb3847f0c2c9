// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_writer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "numtext.h"

namespace dorvalix {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string CsvText(std::string_view text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        return "'" + std::string(text);
    return std::string(text);
}

std::string CsvNumber(const std::optional<long double>& v) {
    if (!v || !std::isfinite(*v)) return {};
    return FormatG17(*v);
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        out += CsvField(fields[i]);
    }
    return out + "\r\n";
}

namespace {

// 2θ in degrees of a line with sin θ = s; none unless 0 <= s < 1.
std::optional<long double> TwoThetaOf(long double s) {
    if (!(s >= 0 && s < 1)) return std::nullopt;
    return 2 * std::asin(s) * (180 / std::numbers::pi_v<long double>);
}

}  // namespace

std::string BuildObservationCsv(const ObservationTable& table, const RefinementDetails& d) {
    std::vector<std::string> header = {
        "row",      "h",           "k",      "l",       "d_obs",         "d_calc",
        "d_diff",   "q_obs",       "q_calc", "q_diff",  "two_theta_obs", "two_theta_calc",
        "leverage", "studentized", "cook",   "excluded"};
    const TwoThetaFit* fit = d.twoTheta ? &*d.twoTheta : nullptr;
    if (fit) {
        header.insert(header.end(),
                      {"two_theta_fit_d_calc", "two_theta_fit_residual", "two_theta_fit_leverage",
                       "two_theta_fit_studentized", "two_theta_fit_cook"});
    }
    std::string out = CsvRecord(header);
    const long double lambda = d.merit.wavelength;
    std::size_t k = 0;
    for (int r = 1; r <= static_cast<int>(table.filled); ++r) {
        std::vector<std::string> f = {IntText(r)};
        for (int c = 1; c <= 3; ++c) {
            std::int32_t v;
            f.push_back(TryParseInt(table.Cell(c, r), v) ? IntText(v)
                                                         : CsvText(Trim(table.Cell(c, r))));
        }
        const bool excluded = table.IsExcluded(r) || k >= d.observations.size();
        if (!excluded) {
            const ObservationDetails& o = d.observations[k];
            f.insert(f.end(),
                     {CsvNumber(o.dObs), CsvNumber(o.dCalc), CsvNumber(o.dObs - o.dCalc),
                      CsvNumber(o.qObs), CsvNumber(o.qCalc), CsvNumber(o.qObs - o.qCalc),
                      CsvNumber(o.twoThetaObs), CsvNumber(o.twoThetaCalc), CsvNumber(o.leverage),
                      CsvNumber(o.studentized), CsvNumber(o.cook), "false"});
            if (fit) {
                const TwoThetaObservation& t = fit->observations[k];
                f.insert(f.end(),
                         {CsvNumber(1 / std::sqrt(fit->qCalc[k])), CsvNumber(t.residual),
                          CsvNumber(t.leverage), CsvNumber(t.studentized), CsvNumber(t.cook)});
            }
            ++k;
        } else if (const auto e =
                       std::find_if(d.excluded.begin(), d.excluded.end(),
                                    [r](const ObservationDetails& o) { return o.row == r; });
                   e != d.excluded.end()) {
            // Not fitted: the fit's prediction, without regression diagnostics.
            const ObservationDetails& o = *e;
            f.insert(f.end(),
                     {CsvNumber(o.dObs), CsvNumber(o.dCalc), CsvNumber(o.dObs - o.dCalc),
                      CsvNumber(o.qObs), CsvNumber(o.qCalc), CsvNumber(o.qObs - o.qCalc),
                      CsvNumber(o.twoThetaObs), CsvNumber(o.twoThetaCalc), "", "", "", "true"});
            if (fit) {
                const long double q =
                    fit->excludedQCalc[static_cast<std::size_t>(e - d.excluded.begin())];
                const std::optional<long double> twoTheta =
                    q > 0 ? TwoThetaOf(lambda * std::sqrt(q) / 2) : std::nullopt;
                std::optional<long double> residual;
                if (o.twoThetaObs && twoTheta) residual = *o.twoThetaObs - (*twoTheta + fit->zero);
                f.insert(f.end(), {CsvNumber(1 / std::sqrt(q)), CsvNumber(residual), "", "", ""});
            }
        } else {
            // Only what the observation itself gives; a d that is no number as it stands.
            long double dObs;
            if (TryParseReal(table.Cell(0, r), dObs) && dObs > 0) {
                const std::optional<long double> twoTheta = TwoThetaOf(lambda / (2 * dObs));
                f.insert(f.end(), {CsvNumber(dObs), "", "", CsvNumber(1 / (dObs * dObs)), "", "",
                                   CsvNumber(twoTheta), ""});
            } else {
                // A d of zero or below is still a number, written as one; any other text is
                // kept from a spreadsheet's formulas.
                const bool number = TryParseReal(table.Cell(0, r), dObs);
                f.insert(f.end(), {number ? CsvNumber(dObs) : CsvText(Trim(table.Cell(0, r))), "",
                                   "", "", "", "", "", ""});
            }
            f.insert(f.end(), {"", "", "", "true"});
            if (fit) f.insert(f.end(), 5, "");
        }
        out += CsvRecord(f);
    }
    return out;
}

}  // namespace dorvalix
