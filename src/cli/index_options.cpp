// SPDX-License-Identifier: GPL-3.0-or-later
#include "index_options.h"

#include <cmath>

#include "errors.h"
#include "hkl_table.h"
#include "json_text.h"
#include "numtext.h"

namespace dorvalix::cli {

bool ArgumentReader::Text(const std::string& option, std::string& value) {
    if (at_ >= args_.size()) {
        problem = option + " needs a value";
        return false;
    }
    value = args_[at_++];
    return true;
}

bool ArgumentReader::Real(const std::string& option, long double& value) {
    std::string text;
    if (!Text(option, text)) return false;
    if (!TryParseReal(text, value) || !std::isfinite(value)) {
        problem = option + ": '" + QuoteForMessage(text) + "' is not a number";
        return false;
    }
    return true;
}

bool ArgumentReader::PositiveReal(const std::string& option, long double& value) {
    if (!Real(option, value)) return false;
    if (!(value > 0)) {
        problem = option + " needs a number greater than 0";
        return false;
    }
    return true;
}

bool ArgumentReader::Count(const std::string& option, int low, int high, int& value) {
    std::string text;
    if (!Text(option, text)) return false;
    std::int32_t v = 0;
    if (!TryParseInt(text, v) || v < low || v > high) {
        problem = option + " needs a whole number from " + IntText(low) + " to " + IntText(high);
        return false;
    }
    value = v;
    return true;
}

bool ArgumentReader::Wavelength(const std::string& option, std::optional<long double>& value,
                                bool& xray) {
    const bool isXray = option == "--xray";
    if (value && xray != isXray) {
        problem = "--wavelength and --xray exclude each other";
        return false;
    }
    if (isXray) {
        std::string name;
        if (!Text(option, name)) return false;
        const WavelengthPreset* preset = FindWavelengthPreset(name);
        if (preset == nullptr) {
            problem = "--xray needs one of";
            for (const WavelengthPreset& p : kWavelengthPresets)
                problem += std::string(" ") + p.name;
            return false;
        }
        value = preset->wavelength;
    } else {
        long double v;
        if (!PositiveReal(option, v)) return false;
        value = v;
    }
    xray = isXray;
    return true;
}

bool LoadPeaks(const std::string& path, indexing::PeakFile& file, std::string& message) {
    try {
        file = indexing::ReadPeakFile(path);
        return true;
    } catch (const DorvalixError& e) {
        message = e.Text();
        return false;
    }
}

std::string JsonNumbers(const std::vector<long double>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i > 0 ? ", " : "") + JsonNumber(values[i]);
    return out + "]";
}

std::string JsonHkl(const indexing::Hkl& h) {
    return "[" + IntText(h[0]) + ", " + IntText(h[1]) + ", " + IntText(h[2]) + "]";
}

}  // namespace dorvalix::cli
