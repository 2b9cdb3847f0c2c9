// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program finds its settings, documentation and data: beside the executable for
// a build tree or a portable copy, in the usual places of the file system once installed.
#pragma once

#include <functional>
#include <string>

namespace dorvalix {

// What the choice of places depends on, so that tests can set it: the environment, and
// whether a folder may be written and a file exists.
struct PathEnvironment {
    std::function<std::string(const char* name)> variable;  // "" when unset
    std::function<bool(const std::string& folder)> folderWritable;
    std::function<bool(const std::string& file)> fileExists;
};

// The running system's environment and file system.
PathEnvironment SystemPathEnvironment();

// The folder part of a path ("/usr/bin/dorvalix" gives "/usr/bin"; "dorvalix" gives ".").
std::string FolderOf(const std::string& path);

// The settings file of an executable: beside it (SettingsFileName) when its folder may be
// written, otherwise `dorvalixini` in $XDG_CONFIG_HOME/dorvalix (by default
// ~/.config/dorvalix), the folder the freedesktop base directories give to settings.
std::string SettingsPathFor(const std::string& executablePath, const PathEnvironment& env);

// The installed data folder: `share/dorvalix` beside the executable's `bin` (an installed
// or relocated copy), else the folder the build was configured to install into.
std::string DataFolderFor(const std::string& executablePath, const PathEnvironment& env);

// The file "Dorvalix Home Page" opens: the installed README, else the source tree's.
std::string HomePageFileFor(const std::string& executablePath, const PathEnvironment& env);

// "file://" and the path, with the characters a URL cannot carry percent-encoded.
std::string FileUrl(const std::string& path);

}  // namespace dorvalix
