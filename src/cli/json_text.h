// SPDX-License-Identifier: GPL-3.0-or-later
// JSON texts of dorvalix-cli: numbers with 17 significant digits, escaped strings.
#pragma once

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "numtext.h"

namespace dorvalix::cli {

inline std::string JsonNumber(long double v) {
    return std::isfinite(v) ? FormatG17(v) : "null";
}

inline std::string JsonNumber(const std::optional<long double>& v) {
    return v ? JsonNumber(*v) : "null";
}

inline std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

}  // namespace dorvalix::cli
