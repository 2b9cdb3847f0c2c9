// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the files a user hands the program: observation files, SYLK files, the settings
// file, the manuals. Only regular files of at most kMaxInputFileBytes are read, so that a
// device (/dev/zero), a FIFO or a huge file can neither hang the program nor fill its
// memory; such a file is refused with a message that names it.
#pragma once

#include <cstddef>
#include <string>

#include "lang.h"

namespace dorvalix {

inline constexpr std::size_t kMaxInputFileBytes = 16 * 1024 * 1024;

// Messages about a file; "%s" stands for its name (QuotePathForMessage).
namespace file_error_text {
inline constexpr Text kNotRegularFile = {"%s is not a regular file",
                                         "%s は通常のファイルではありません"};
inline constexpr Text kFileTooLarge = {"%s is larger than 16 MiB",
                                       "%s は 16 MiB を超えているため読み込めません"};
}  // namespace file_error_text

// One of the texts above for the file at `path`, in the language.
std::string FileErrorText(const Text& text, Lang lang, const std::string& path);

// The whole content of the regular file at `path`. IoError when it cannot be opened or
// read (the platform's error text and the file name), when it is a directory, when it is
// not a regular file or when it holds more than kMaxInputFileBytes.
std::string ReadInputFile(const std::string& path, Lang lang);

// The same with another limit for the files of other programs (measured patterns reach tens
// of MiB); `tooLarge` is the refusal's text, "%s" standing for the file name.
std::string ReadInputFile(const std::string& path, Lang lang, std::size_t limit,
                          const Text& tooLarge);

}  // namespace dorvalix
