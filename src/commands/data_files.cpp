// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files.h"

#include <filesystem>

#ifndef DORVALIX_DATA_DIR
#define DORVALIX_DATA_DIR "/usr/local/share/dorvalix"
#endif

namespace dorvalix {

const char* const kInstalledDataFolder = DORVALIX_DATA_DIR;

namespace {

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return {};
    const std::string path = (std::filesystem::path(folder) / name).string();
    return Exists(path) ? path : std::string();
}

}  // namespace

std::string FindManualFile(const std::string& name, const std::string& dataFolder) {
    if (Exists(name)) return name;
    return InFolder(dataFolder, name);
}

std::string FindVersionPicture(const std::string& programFolder, const std::string& dataFolder) {
    const std::string beside = InFolder(programFolder, kVersionPictureFile);
    return beside.empty() ? InFolder(dataFolder, kVersionPictureFile) : beside;
}

}  // namespace dorvalix
