// SPDX-License-Identifier: GPL-3.0-or-later
// Comma-separated values (RFC 4180): header line, CR LF line ends, quoted fields where
// needed, numbers with a dot whatever the locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "observation_table.h"
#include "refinement_details.h"

namespace dorvalix {

// A field quoted when it holds a comma, a quote, CR or LF (quotes doubled).
std::string CsvField(std::string_view text);

// A text field (a name, a message, a cell that is no number) that no spreadsheet runs as a
// formula: text beginning with "=", "+", "-", "@", a tab or a CR gets a leading "'", as the
// advice on CSV injection has it. Numbers are never given to it: "-1.5" stays a number.
std::string CsvText(std::string_view text);

// A number with 17 significant digits and no locale ("0.33333333333333333"); empty for
// an empty optional or a value that is not finite.
std::string CsvNumber(const std::optional<long double>& v);

// One record from its fields, ended by CR LF.
std::string CsvRecord(const std::vector<std::string>& fields);

// One record per observation of the table (excluded ones too): row, h, k, l, d_obs,
// d_calc, d_diff, q_obs, q_calc, q_diff, two_theta_obs, two_theta_calc, leverage,
// studentized, cook, excluded; the calculated values and diagnostics of the Q fit. When a
// fit on 2θ was made, its own follow: two_theta_fit_d_calc, two_theta_fit_residual
// (2θobs − zero − 2θcalc, degrees), two_theta_fit_leverage, two_theta_fit_studentized,
// two_theta_fit_cook.
std::string BuildObservationCsv(const ObservationTable& table, const RefinementDetails& details);

}  // namespace dorvalix
