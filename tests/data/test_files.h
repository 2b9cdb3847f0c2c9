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

// UTF-16 bytes of `units`, the byte-order mark first, as Windows Notepad saves "Unicode"
// (little-endian) and its big-endian twin; made here without the program's own encoder.
inline std::string Utf16Bytes(std::u16string_view units, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : units) {
        const auto hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

}  // namespace dorvalix::test
