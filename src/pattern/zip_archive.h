// SPDX-License-Identifier: GPL-3.0-or-later
// The zip archives of Bruker .brml and Rigaku .rasx files, opened in memory through libzip.
// A member is unpacked only up to kMaxMemberBytes, whatever its header declares, so that a
// small archive that unpacks to gigabytes (a zip bomb) is refused after that much work.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader_support.h"

namespace dorvalix::pattern_io {

inline constexpr std::size_t kMaxMemberBytes = 64 * 1024 * 1024;

class ZipArchive {
  public:
    // Opens the archive held in `bytes` (which must outlive it); refuses a damaged one.
    ZipArchive(std::string_view bytes, const ReadContext& context);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // The names of the members, in the archive's order.
    const std::vector<std::string>& Names() const { return names_; }
    // The whole content of the member `name`; refuses a damaged, encrypted or too large one.
    std::string Read(const std::string& name) const;

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::vector<std::string> names_;
    const ReadContext& context_;
};

// Whether the bytes start like a zip archive.
bool LooksLikeZip(std::string_view bytes);

}  // namespace dorvalix::pattern_io
