// SPDX-License-Identifier: GPL-3.0-or-later
// Profile (INI) files: string values of keys in sections, read and written the way the
// classic profile functions do it. Section and key names compare without regard to case;
// a write changes or adds the one line of its key and leaves every other section, key,
// comment and blank line as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text_encoding.h"

namespace dorvalix {

// A value is read up to this many characters; the rest of a longer one is cut off.
inline constexpr std::size_t kProfileValueLimit = 2047;

// The text of one INI file, line by line; lines end with CR LF, LF or CR alone. A UTF-8
// byte-order mark before the first line is not part of it (Windows editors write one). A
// file in UTF-16 with its byte-order mark is read as its UTF-8 text and written back in
// UTF-16; any other bytes are taken as they are.
class IniText {
  public:
    IniText() = default;
    explicit IniText(std::string_view bytes);

    // The value of `key` in the first section named `section`: the text after the first
    // "=" without surrounding blanks, without one pair of enclosing quotes, and cut to
    // kProfileValueLimit characters. Empty when the section or the key is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Sets `key` to `value`: its line becomes key=value where the key stood; a new key goes
    // after the last line of its section; a missing section is added at the end.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    // The whole file, in the line ending and the encoding the file used (a new file gets
    // "\n" and UTF-8).
    std::string Text() const;

  private:
    // Index of the first header line of `section`, if any.
    std::optional<std::size_t> FindSection(std::string_view section) const;
    // Index just past the last line of the section whose header is at `header`.
    std::size_t SectionEnd(std::size_t header) const;
    // Index of the key's line within the section whose header is at `header`, if any.
    std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const;

    struct Line {
        std::string text;  // without its line break
        std::string end;   // "\n", "\r\n", or empty for a last line without one
    };
    std::vector<Line> lines_;
    std::string eol_ = "\n";  // the line break of new lines: the file's own
    bool bom_ = false;        // the file starts with a UTF-8 byte-order mark, kept on write
    Utf16Order utf16_ = Utf16Order::None;  // the file's UTF-16, kept on write
};

// The message of a profile file that cannot be written: "<path> に書き込めません".
std::string CannotWriteText(const std::string& path);

// Writes the keys, in the given order, into `section` of the file at `path` in one atomic
// replace (the file and the section are created when missing). Throws IoError when the
// file cannot be read back or written:
// "<path> に書き込めません".
void WriteProfileStrings(const std::string& path, std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace dorvalix
