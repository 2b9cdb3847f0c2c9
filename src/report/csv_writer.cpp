// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_writer.h"

#include <cmath>

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
        } else {
            // Only what the observation itself gives; a d that is no number as it stands.
            long double dObs;
            if (TryParseReal(table.Cell(0, r), dObs) && dObs > 0) {
                const long double s = lambda / (2 * dObs);
                const std::optional<long double> twoTheta =
                    s < 1 ? std::optional<long double>(2 * std::asin(s) * 180 / std::acos(-1.0L))
                          : std::nullopt;
                f.insert(f.end(), {CsvNumber(dObs), "", "", CsvNumber(1 / (dObs * dObs)), "", "",
                                   CsvNumber(twoTheta), ""});
            } else {
                f.insert(f.end(), {CsvText(Trim(table.Cell(0, r))), "", "", "", "", "", "", ""});
            }
            f.insert(f.end(), {"", "", "", "true"});
            if (fit) f.insert(f.end(), 5, "");
        }
        out += CsvRecord(f);
    }
    return out;
}

}  // namespace dorvalix
