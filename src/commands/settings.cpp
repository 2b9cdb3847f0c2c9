// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings.h"

#include <filesystem>

#include "errors.h"
#include "hkl_table.h"
#include "ini_file.h"
#include "input_file.h"
#include "numtext.h"

namespace dorvalix {

namespace {

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reals pass through double precision on the way in and out of the file.
long double ReadReal(const IniText& ini, const char* key, long double fallback) {
    const std::string text = ini.Value(kSettingsSection, key).value_or("");
    long double value;
    if (text.empty() || !TryParseReal(text, value)) return fallback;
    return static_cast<double>(value);
}

// What ReadReal gives for a wavelength that is empty or not a number.
constexpr long double kNoWavelength = 0;

std::string RealText(long double value) {
    return FormatGeneral(static_cast<double>(value));
}

// The letter in either case; P for anything else.
Centring ReadLattice(const IniText& ini) {
    std::string text = ini.Value(kSettingsSection, "lattice").value_or("P");
    if (text.size() == 1 && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 32);
    return CentringFromLetter(text).value_or(Centring::P);
}

}  // namespace

std::string SettingsFileName(const std::string& executablePath) {
    const std::size_t slash = executablePath.find_last_of('/');
    const std::size_t dot = executablePath.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + "ini";
}

std::string ProgramTitle(const std::string& executablePath) {
    std::string name = FileNamePart(executablePath);
    name = name.substr(0, name.find('.'));
    for (std::size_t i = 0; i < name.size(); ++i) {
        char& c = name[i];
        if (i == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (i > 0 && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

AppSettings LoadSettings(const std::string& path) {
    std::string text;
    try {
        text = ReadInputFile(path, Lang::English);
    } catch (const IoError&) {
        // No settings file yet, or one that cannot be read (a folder, a FIFO, 16 MiB of
        // anything): the defaults.
    }
    const IniText ini(text);
    AppSettings s;
    s.lang = ini.Value(kSettingsSection, "lang").value_or(s.lang);
    const bool lamdaGiven = !ini.Value(kSettingsSection, "lamda").value_or("").empty();
    s.lamda = ReadReal(ini, "lamda", kNoWavelength);
    s.dMin = ReadReal(ini, "d_min", s.dMin);
    s.xRay = ini.Value(kSettingsSection, "x_ray").value_or(s.xRay);
    // Every window computes with λ: one the windows would refuse when typed (1e-999 prints
    // each 2θ as 0.00), or one that is no number, gives the default line, its name with it,
    // so that no label names a line whose wavelength is not the one in use.
    if (CheckWavelength(s.lamda)) {
        const AppSettings defaults;
        s.lamda = defaults.lamda;
        if (lamdaGiven) s.xRay = defaults.xRay;
    }
    s.hklRange = ini.Value(kSettingsSection, "hkl_range").value_or(s.hklRange);
    s.lattice = ReadLattice(ini);
    return s;
}

void SaveSettings(const std::string& path, const AppSettings& settings) {
    // The settings folder under ~/.config is made on the first save; a folder that cannot
    // be made ends in the same message as a file that cannot be written.
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) throw IoError(CannotWriteText(path));
    }
    WriteProfileStrings(path, kSettingsSection,
                        {{"lang", settings.lang},
                         {"lamda", RealText(settings.lamda)},
                         {"d_min", RealText(settings.dMin)},
                         {"x_ray", settings.xRay},
                         {"hkl_range", settings.hklRange},
                         {"lattice", std::string(1, CentringLetter(settings.lattice))}});
}

}  // namespace dorvalix
