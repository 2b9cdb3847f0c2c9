// SPDX-License-Identifier: GPL-3.0-or-later
// A temporary folder for tests that write files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "atomic_file.h"

namespace dorvalix::test {

class TempFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/dorvalix-files-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Write(const std::string& name, std::string_view bytes) {
        const std::string path = dir + "/" + name;
        WriteFileAtomically(path, bytes);
        return path;
    }
    std::string dir;
};

}  // namespace dorvalix::test
