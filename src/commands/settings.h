// SPDX-License-Identifier: GPL-3.0-or-later
// The settings that survive from one run to the next: the language, the four choices of the
// hkl table window and the lattice centring, kept in an INI file beside the executable.
#pragma once

#include <string>

#include "centring.h"

namespace dorvalix {

struct AppSettings {
    std::string lang = "j";        // "lang": UiLanguage, "j" or "e"
    long double lamda = 1.54178;   // "lamda": X-ray wavelength, Å
    long double dMin = 1.5;        // "d_min": smallest d listed, Å
    std::string xRay = "Cu-Ka";    // "x_ray": name of the X-ray choice
    std::string hklRange = "all";  // "hkl_range": "all" or "asym"
    // "lattice": the centring, "P" .. "R", of the hkl table and the refinement details.
    Centring lattice = Centring::P;
};

inline constexpr const char* kSettingsSection = "Dorvalix";

// The settings file of an executable: its full path with the extension (and its dot)
// replaced by "ini" — /opt/dorvalix.exe keeps /opt/dorvalixini, /opt/dorvalix too.
std::string SettingsFileName(const std::string& executablePath);

// The program's title, used by its message boxes: the executable's name without folder
// and without everything from its first dot, capitalised ("dorvalix" gives "Dorvalix").
std::string ProgramTitle(const std::string& executablePath);

// Reads the settings; a missing file, section or key gives its default, and so does a real
// value that is empty or not a number, and a lattice that is not one of the seven letters.
// A wavelength that is no number or one CheckWavelength refuses gives the default line:
// lamda and x_ray together. Nothing is reported and no other range is checked.
AppSettings LoadSettings(const std::string& path);

// Writes the five keys in their order and then "lattice", each from `settings`. Throws IoError
// "<path> に書き込めません" when the file cannot be written; the file then stays as it was.
void SaveSettings(const std::string& path, const AppSettings& settings);

}  // namespace dorvalix
