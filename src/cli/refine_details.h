// SPDX-License-Identifier: GPL-3.0-or-later
// What `dorvalix-cli refine` adds with --details and the formats cif, csv and summary: the
// options, the "details" object of the JSON, and the rows of a summary.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "calculation.h"
#include "refinement_details.h"

namespace dorvalix::cli {

struct DetailsRequest {
    bool details = false;  // --details, or one of the options below
    DetailsOptions options;
    bool wavelengthGiven = false;  // --wavelength or --xray
    bool xrayGiven = false;
    std::optional<DetailsFit> fit;  // --fit
};

// --details and --zero-shift take no value; --lattice, --wavelength, --xray and --fit do.
bool IsDetailsFlag(std::string_view option);
bool IsDetailsOption(std::string_view option);

// Reads one of them into `request`; returns the usage problem, or an empty text.
std::string ParseDetailsFlag(std::string_view option, DetailsRequest& request);
std::string ParseDetailsOption(std::string_view option, const std::string& value,
                               DetailsRequest& request);

// After all the options: the problems of their combination, or an empty text.
std::string CheckDetailsRequest(const DetailsRequest& request);

// The "details" object, indented for the place it has in the refinement's JSON; notes in
// the user's language.
std::string DetailsJson(const RefinementDetails& details, Lang lang);

// The header and one row of `--format summary`.
std::string SummaryHeader(bool zeroShift);
std::string SummaryRow(const std::string& file, const CalculationState& state,
                       const RefinementDetails& details, bool zeroShift);
std::string SummaryErrorRow(const std::string& file, const std::string& message, bool zeroShift);

// Calls work(i) for i = 0 .. count − 1 on every core (at most `count` threads, the calling
// one among them, fewer when the system refuses more), each index once.
void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work);

}  // namespace dorvalix::cli
