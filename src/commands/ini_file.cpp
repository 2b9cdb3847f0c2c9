// SPDX-License-Identifier: GPL-3.0-or-later
#include "ini_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "atomic_file.h"
#include "errors.h"
#include "input_file.h"
#include "numtext.h"
#include "text_encoding.h"

namespace dorvalix {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// The section name of a header line "[name]", if the line is one.
std::optional<std::string_view> HeaderName(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Key and raw value of a line "key=value"; comment lines (";") and lines without "=" have
// none.
bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') return false;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

// The first `limit` characters of a UTF-8 text.
std::string_view CutToCharacters(std::string_view text, std::size_t limit) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
        if (count == limit) return text.substr(0, i);
        ++count;
    }
    return text;
}

// A line break inside a value would split its line in two; it is written as a blank.
std::string OneLine(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return out;
}

}  // namespace

std::string CannotWriteText(const std::string& path) {
    return QuotePathForMessage(path) + " に書き込めません";
}

namespace {

// The byte-order mark Windows editors put at the start of a UTF-8 file.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

IniText::IniText(std::string_view bytes) {
    // UTF-16 (Notepad's "Unicode") is read as UTF-8 and written back as it came.
    utf16_ = Utf16ByteOrder(bytes);
    const std::string decoded =
        utf16_ == Utf16Order::None ? std::string() : DecodeUtf16(bytes.substr(2), utf16_);
    std::string_view text = utf16_ == Utf16Order::None ? bytes : decoded;
    if (text.starts_with(kUtf8Bom)) {
        bom_ = true;
        text.remove_prefix(kUtf8Bom.size());
    }
    // Lines end with CR LF, LF or CR alone; new lines take the first line's ending.
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines_.push_back({std::string(text.substr(pos)), ""});
            break;
        }
        const std::size_t next = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        lines_.push_back(
            {std::string(text.substr(pos, end - pos)), std::string(text.substr(end, next - end))});
        if (lines_.size() == 1) eol_ = lines_.front().end;
        pos = next;
    }
}

std::optional<std::size_t> IniText::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = HeaderName(lines_[i].text);
        if (name && SameName(*name, Trim(section))) return i;
    }
    return std::nullopt;
}

std::size_t IniText::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && !HeaderName(lines_[i].text))
        ++i;
    return i;
}

std::optional<std::size_t> IniText::FindKey(std::size_t header, std::string_view key) const {
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string_view k, v;
        if (SplitKeyLine(lines_[i].text, k, v) && SameName(k, Trim(key))) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniText::Value(std::string_view section, std::string_view key) const {
    const auto header = FindSection(section);
    if (!header) return std::nullopt;
    const auto line = FindKey(*header, key);
    if (!line) return std::nullopt;
    std::string_view k, v;
    SplitKeyLine(lines_[*line].text, k, v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(CutToCharacters(v, kProfileValueLimit));
}

void IniText::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    Line line{std::string(Trim(key)) + "=" + OneLine(value), eol_};
    const auto header = FindSection(section);
    if (header) {
        if (const auto at = FindKey(*header, key)) {
            lines_[*at].text = std::move(line.text);
            return;
        }
    }
    // A new line goes after the last non-blank line of its section; the line before it
    // must end with a line break.
    std::size_t pos = lines_.size();
    if (header) {
        pos = SectionEnd(*header);
        while (pos > *header + 1 && Trim(lines_[pos - 1].text).empty())
            --pos;
    }
    if (pos > 0 && lines_[pos - 1].end.empty()) lines_[pos - 1].end = eol_;
    if (!header) {
        lines_.push_back({"[" + std::string(Trim(section)) + "]", eol_});
        lines_.push_back(std::move(line));
        return;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(line));
}

std::string IniText::Text() const {
    std::string out(bom_ ? kUtf8Bom : "");
    for (const Line& line : lines_) {
        out += line.text;
        out += line.end;
    }
    // A text that is not UTF-8 (a byte of another code set) cannot be written in UTF-16
    // without losing it: such a file is written as its bytes.
    if (utf16_ == Utf16Order::None || !IsValidUtf8(out)) return out;
    return EncodeUtf16(out, utf16_);
}

void WriteProfileStrings(const std::string& path, std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    // The file is read back first so that whatever else it holds survives; a file that
    // exists but cannot be read is not replaced.
    std::string text;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        try {
            text = ReadInputFile(path, Lang::English);
        } catch (const IoError&) {
            throw IoError(CannotWriteText(path));
        }
    } else if (errno != ENOENT) {
        throw IoError(CannotWriteText(path));
    }
    IniText ini(text);
    for (const auto& [key, value] : values)
        ini.SetValue(section, key, value);
    try {
        WriteFileAtomically(path, ini.Text());
    } catch (const IoError&) {
        throw IoError(CannotWriteText(path));
    }
}

}  // namespace dorvalix
