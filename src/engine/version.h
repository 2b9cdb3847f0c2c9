// SPDX-License-Identifier: GPL-3.0-or-later
// The program's version, and the text --version prints.
#pragma once

#include <string>

namespace dorvalix {

inline constexpr const char* kVersion = "2.20";

// "<program> 2.20" and the copyright and licence lines, one per line, ending in a newline.
inline std::string VersionText(const std::string& program) {
    return program + " " + kVersion +
           "\n"
           "Copyright (C) 2026 Dorvalix maintainers\n"
           "License GPL-3.0-or-later: GNU GPL version 3 or later "
           "<https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

}  // namespace dorvalix
