// SPDX-License-Identifier: GPL-3.0-or-later
// The version windows, TForm2 (Japanese) and TForm5 (English): what they say. They have no
// behaviour beyond their close button.
#pragma once

#include <string>
#include <vector>

#include "lang.h"

namespace dorvalix {

// The program's title line, written into each window's title label when it is created.
extern const char* const kProgramTitleLine;  // "Dorvalix Ver. 2.20"

struct VersionWindowTexts {
    const char* windowTitle;
    const char* heading;             // above the title line; empty in English
    std::vector<const char*> lines;  // organisation, author, contact, licence
    const char* closeButton;
};

// TForm2 for Japanese, TForm5 for English.
const VersionWindowTexts& VersionTexts(Lang lang);

}  // namespace dorvalix
