// SPDX-License-Identifier: GPL-3.0-or-later
// What `dorvalix-cli index` and `assign` share: reading their options' values and the peak
// file, and the JSON of a few common things.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "lattice.h"
#include "peak_file.h"

namespace dorvalix::cli {

// The arguments one at a time, with the problems of a value worded for the usage line.
class ArgumentReader {
  public:
    ArgumentReader(const std::vector<std::string>& args, std::string command)
        : args_(args), command_(std::move(command)) {}

    bool More() const { return at_ < args_.size(); }
    const std::string& Next() { return args_[at_++]; }

    // The value after `option`; false with the problem set when it is missing or wrong.
    bool Text(const std::string& option, std::string& value);
    bool Real(const std::string& option, long double& value);
    bool PositiveReal(const std::string& option, long double& value);
    bool Count(const std::string& option, int low, int high, int& value);
    // --wavelength L or --xray NAME (a preset of the hkl window, Cu-Ka, Cu-Ka1, ...).
    bool Wavelength(const std::string& option, std::optional<long double>& value, bool& xray);

    std::string problem;

  private:
    const std::vector<std::string>& args_;
    std::string command_;
    std::size_t at_ = 0;
};

// Reads PEAKS; false with the message (a line for standard error) when it cannot be read.
bool LoadPeaks(const std::string& path, indexing::PeakFile& file, std::string& message);

// "[1.5, 2.5, ...]" with 17 significant digits.
std::string JsonNumbers(const std::vector<long double>& values);

// [h, k, l]
std::string JsonHkl(const indexing::Hkl& h);

}  // namespace dorvalix::cli
