// SPDX-License-Identifier: GPL-3.0-or-later
#include "install_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "data_files.h"
#include "settings.h"

#ifndef DORVALIX_INSTALL_DOCDIR
#define DORVALIX_INSTALL_DOCDIR "/usr/local/share/doc/dorvalix"
#endif
#ifndef DORVALIX_SOURCE_README
#define DORVALIX_SOURCE_README ""
#endif

namespace dorvalix {

namespace {

std::string FileNameOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The prefix an installed executable lives under: /usr for /usr/bin/dorvalix.
std::string InstallPrefixOf(const std::string& executablePath) {
    return FolderOf(FolderOf(executablePath));
}

}  // namespace

PathEnvironment SystemPathEnvironment() {
    return {[](const char* name) {
                const char* value = std::getenv(name);
                return std::string(value ? value : "");
            },
            [](const std::string& folder) { return access(folder.c_str(), W_OK) == 0; },
            [](const std::string& file) {
                struct stat st {};
                return stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
            }};
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string SettingsPathFor(const std::string& executablePath, const PathEnvironment& env) {
    if (env.folderWritable(FolderOf(executablePath))) return SettingsFileName(executablePath);
    std::string base = env.variable("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the specification says.
    if (base.empty() || base.front() != '/') base = env.variable("HOME") + "/.config";
    return base + "/dorvalix/" + FileNameOfPath(SettingsFileName(executablePath));
}

std::string DataFolderFor(const std::string& executablePath, const PathEnvironment& env) {
    const std::string beside = InstallPrefixOf(executablePath) + "/share/dorvalix";
    if (env.fileExists(beside + "/examples/diopside.lat")) return beside;
    return kInstalledDataFolder;
}

std::string HomePageFileFor(const std::string& executablePath, const PathEnvironment& env) {
    for (const std::string& candidate :
         {InstallPrefixOf(executablePath) + "/share/doc/dorvalix/README.md",
          std::string(DORVALIX_INSTALL_DOCDIR) + "/README.md"}) {
        if (env.fileExists(candidate)) return candidate;
    }
    return DORVALIX_SOURCE_README;
}

std::string FileUrl(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string url = "file://";
    for (const unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

}  // namespace dorvalix
