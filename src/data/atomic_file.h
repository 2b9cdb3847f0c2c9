// Writing a file so that a failure never destroys the file that was there before.
#pragma once

#include <string>
#include <string_view>

namespace dorvalix {

// Writes `bytes` to a temporary file in the folder of `path`, flushes it to disk and
// renames it over `path`. On failure the temporary file is removed, `path` is left as it
// was, and IoError is thrown with the platform's error text and the file name.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file; IoError with the platform's error text and the file name on failure.
std::string ReadWholeFile(const std::string& path);

// "<reason>: <path>" for an input/output failure with errno `error`.
std::string IoErrorText(int error, const std::string& path);

}  // namespace dorvalix
