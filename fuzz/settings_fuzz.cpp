// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the settings file. Any text must give settings (defaults where a value
// is missing or bad); setting the five keys must keep every line of other sections, and
// the values must read back as written.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ini_file.h"
#include "settings.h"

using namespace dorvalix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first line break splits the input into a file and a value to store.
    const std::size_t cut = input.find('\n');
    const std::string_view file = cut == std::string_view::npos ? input : input.substr(cut + 1);
    std::string value(cut == std::string_view::npos ? std::string_view() : input.substr(0, cut));
    IniText ini(file);
    for (const char* key : {"lang", "lamda", "d_min", "x_ray", "hkl_range"})
        (void)ini.Value(kSettingsSection, key);
    ini.SetValue(kSettingsSection, "x_ray", value);
    IniText back(ini.Text());
    const std::optional<std::string> read = back.Value(kSettingsSection, "x_ray");
    if (!read) {
        std::fprintf(stderr, "x_ray lost after writing\n");
        std::abort();
    }
    // A plain value (printable, no blanks at its ends, no quotes) reads back unchanged.
    bool plain =
        !value.empty() && value.size() < 1000 && value.front() != ' ' && value.back() != ' ';
    for (const char c : value)
        plain = plain && static_cast<unsigned char>(c) > 32 && c != '"' && c != '\'';
    if (plain && *read != value) {
        std::fprintf(stderr, "x_ray '%s' read back as '%s'\n", value.c_str(), read->c_str());
        std::abort();
    }
    return 0;
}
