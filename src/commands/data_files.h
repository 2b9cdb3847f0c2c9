// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program finds the files that come with it: the manuals and the principle text
// that replace the built-in ones, and the picture of the version window.
#pragma once

#include <string>

namespace dorvalix {

// The installed program's data folder, <prefix>/share/dorvalix.
extern const char* const kInstalledDataFolder;

// The files that replace the built-in manuals and the principle text.
inline constexpr const char* kJapaneseManualFile = "dorvalix_j.txt";
inline constexpr const char* kEnglishManualFile = "dorvalix_e.txt";
inline constexpr const char* kPrincipleFile = "dorvalix.rtf";
// The picture of the Japanese version window.
inline constexpr const char* kVersionPictureFile = "dorvalix-crystal.jpg";

// A manual file by its bare name in the working directory, as the program always looked
// for it; when it is not there, in `dataFolder`, where the installed program keeps it.
// Empty when neither holds it. A name that exists but is no file (a folder) is found, so
// that reading it reports why it cannot be read.
std::string FindManualFile(const std::string& name, const std::string& dataFolder);

// The version window's picture beside the program (a build tree), else in `dataFolder`;
// empty when neither holds it.
std::string FindVersionPicture(const std::string& programFolder, const std::string& dataFolder);

}  // namespace dorvalix
