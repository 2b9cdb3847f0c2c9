// SPDX-License-Identifier: GPL-3.0-or-later
#include "observation_file.h"

#include <limits>

#include "atomic_file.h"
#include "input_file.h"
#include "numtext.h"
#include "results_panel.h"
#include "text_encoding.h"

namespace dorvalix {

namespace {

constexpr int kFieldWidth = 8;

bool IsSeparator(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// The reader's position in the text: number tokens and the rest of a line.
class FileCursor {
  public:
    explicit FileCursor(std::string_view text) : text_(text) {}

    // The next token as a decimal integer with an optional sign; 0 at the end of the text.
    std::int32_t Integer() {
        while (pos_ < text_.size() && IsSeparator(text_[pos_]))
            ++pos_;
        if (pos_ == text_.size()) return 0;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsSeparator(text_[pos_]))
            ++pos_;
        std::int32_t value;
        if (!ParseDecimal(text_.substr(start, pos_ - start), value)) {
            throw IoError(file_text::kInvalidNumericInput);
        }
        return value;
    }

    // The text from here to the end of the line (without CR LF, LF or a CR alone, as old
    // Macintosh editors end lines); moves to the start of the next line.
    std::string_view RestOfLine() {
        const std::size_t start = pos_;
        std::size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) {
            end = text_.size();
            pos_ = end;
        } else {
            pos_ = end + (text_.substr(end, 2) == "\r\n" ? 2 : 1);
        }
        return text_.substr(start, end - start);
    }

  private:
    static bool ParseDecimal(std::string_view token, std::int32_t& value) {
        bool negative = false;
        if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
            negative = token[0] == '-';
            token.remove_prefix(1);
        }
        if (token.empty()) return false;
        long long v = 0;
        for (const char c : token) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
            if (v > 1LL + std::numeric_limits<std::int32_t>::max()) return false;
        }
        if (negative) v = -v;
        if (v > std::numeric_limits<std::int32_t>::max()) return false;
        value = static_cast<std::int32_t>(v);
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// An index as the table holds it: its decimal text, one-character texts after a blank.
std::string IndexText(std::int32_t v) {
    std::string text = IntText(v);
    if (text.size() == 1) text.insert(0, 1, ' ');
    return text;
}

std::string CountText(Lang lang, const char* en, const char* ja, long long value) {
    std::string text = lang == Lang::Japanese ? ja : en;
    const std::size_t at = text.find("%d");
    return text.replace(at, 2, IntText(value));
}

void AppendRightAligned(std::string& out, std::string_view text) {
    const std::size_t n = CharCount(text);
    if (n < kFieldWidth) out.append(kFieldWidth - n, ' ');
    out += text;
}

void AppendField(std::string& out, std::string_view text) {
    if (CharCount(text) >= kFieldWidth) out += ' ';
    AppendRightAligned(out, text);
}

}  // namespace

ObservationFileContents ParseObservationFile(std::string_view text, Lang lang) {
    FileCursor cursor(text);
    ObservationFileContents contents;
    contents.count = cursor.Integer();
    contents.crystalSystem = cursor.Integer();
    if (contents.count > kMaxObservations) {
        throw ObservationFileError(
            CountText(lang, "Number of Data in the file is %d; at most 300 can be read",
                      "ファイルのデータ数 %d が上限の 300 を超えています", contents.count));
    }
    if (contents.count < 0) {
        throw ObservationFileError(CountText(lang, "Number of Data in the file is %d, below 0",
                                             "ファイルのデータ数 %d が負の値です", contents.count));
    }
    if (contents.crystalSystem < 0 || contents.crystalSystem > 8) {
        throw ObservationFileError(CountText(
            lang, "Crystal System code in the file is %d, not one of 0 to 8",
            "ファイルの結晶系コード %d が 0～8 の範囲にありません", contents.crystalSystem));
    }
    contents.rows.resize(static_cast<std::size_t>(contents.count));
    for (ObservationTable::Row& row : contents.rows) {
        for (int c = 1; c <= 3; ++c)
            row[static_cast<std::size_t>(c)] = IndexText(cursor.Integer());
        const std::string_view d = cursor.RestOfLine();
        long double value;
        if (!TryParseReal(d, value)) throw ConversionError(RealConversionText(d));
        row[0] = std::string(d) + " ";
    }
    contents.sampleName = std::string(cursor.RestOfLine());
    return contents;
}

ObservationFileContents ReadObservationFile(const std::string& path, Lang lang) {
    return ParseObservationFile(DecodeFileText(ReadInputFile(path, lang)), lang);
}

std::optional<CellRef> ApplyObservationFile(CalculationState& state, std::string& sampleName,
                                            ObservationFileContents contents) {
    ObservationTable& table = state.table;
    ClearResultsPanel(state.panel);
    state.lastRun.shown = false;
    table.ClearData();
    for (int r = 1; r <= contents.count; ++r)
        table.rows[static_cast<std::size_t>(r)] =
            std::move(contents.rows[static_cast<std::size_t>(r - 1)]);
    table.filled = static_cast<std::uint32_t>(contents.count);
    table.excluded = 0;
    table.included = table.filled;
    state.crystalSystem = contents.crystalSystem;
    sampleName = std::move(contents.sampleName);
    return NormalizeCells(table);
}

std::optional<CellRef> LoadObservationFile(CalculationState& state, std::string& sampleName,
                                           const std::string& path, Lang lang) {
    return ApplyObservationFile(state, sampleName, ReadObservationFile(path, lang));
}

std::string FormatObservationFile(const ObservationTable& table, int crystalSystem,
                                  std::string_view sampleName) {
    std::string out;
    out.reserve(40 * (table.filled + 2) + sampleName.size());
    AppendRightAligned(out, IntText(table.filled));
    AppendRightAligned(out, IntText(crystalSystem));
    out += "\r\n";
    const int n = static_cast<int>(std::min<std::uint32_t>(table.filled, kMaxObservations));
    for (int r = 1; r <= n; ++r) {
        // Every text whole, right-aligned, and after at least one blank: a text that filled
        // its field would run into the one before it, and d is the rest of the line.
        for (const int c : {1, 2, 3, 0})
            AppendField(out, table.Cell(c, r));
        out += "\r\n";
    }
    out += sampleName;
    out += "\r\n";
    return out;
}

bool WriteObservationFile(const std::string& path, const ObservationTable& table, int crystalSystem,
                          std::string_view sampleName, Lang lang) {
    if (sampleName.empty()) return false;
    WriteFileAtomically(path, FormatObservationFile(table, crystalSystem, sampleName), lang);
    return true;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithDefaultExtension(const std::string& path) {
    return FileNameOf(path).find('.') == std::string::npos ? path + ".lat" : path;
}

}  // namespace dorvalix
