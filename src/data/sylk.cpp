// SPDX-License-Identifier: GPL-3.0-or-later
#include "sylk.h"

#include <algorithm>
#include <cmath>

#include <climits>

#include "errors.h"
#include "input_file.h"
#include "numtext.h"
#include "text_encoding.h"

namespace dorvalix {

namespace {

std::optional<std::string> Field(std::string_view record, std::string_view key) {
    const std::size_t at = record.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    const std::size_t start = at + key.size();
    const std::size_t end = record.find(';', start);
    return std::string(record.substr(start, end == std::string_view::npos ? end : end - start));
}

SylkRecord MakeRecord(std::string_view text) {
    SylkRecord record;
    if (text.empty()) return record;
    record.type = text[0];
    record.x = Field(text, ";X");
    record.y = Field(text, ";Y");
    record.k = Field(text, ";K");
    return record;
}

// The end of the line that starts at `pos` and the start of the next one: lines end with
// CR LF, LF or CR alone.
std::pair<std::size_t, std::size_t> LineEnd(std::string_view text, std::size_t pos) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) return {text.size(), text.size()};
    return {end, end + (text.substr(end, 2) == "\r\n" ? 2 : 1)};
}

// Calls `line` for every line of the text up to its first NUL, without its line end; a
// last line without a line end too.
template <typename F>
void ForEachLine(std::string_view text, F line) {
    text = text.substr(0, text.find('\0'));
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto [end, next] = LineEnd(text, pos);
        line(text.substr(pos, end - pos));
        pos = next;
    }
}

bool IsCellOrFormat(const SylkRecord& r) {
    return r.type == 'C' || r.type == 'F';
}

}  // namespace

std::vector<SylkRecord> SplitSylkRecords(std::string_view text) {
    std::vector<SylkRecord> records;
    ForEachLine(text, [&](std::string_view line) { records.push_back(MakeRecord(line)); });
    return records;
}

std::vector<SylkRecord> SplitSylkFile(std::string_view text, Lang lang) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        long long line = 1;
        for (std::size_t pos = 0;;) {
            const std::size_t next = LineEnd(text, pos).second;
            if (next > nul) break;
            ++line;
            pos = next;
        }
        throw DorvalixError(SylkMessage(sylk_text::kNulInFile, lang, line));
    }
    return SplitSylkRecords(text);
}

std::string SylkMessage(const Text& text, Lang lang, long long number) {
    std::string out = text.In(lang);
    for (std::size_t at; (at = out.find("%d")) != std::string::npos;)
        out.replace(at, 2, IntText(number));
    return out;
}

std::vector<SylkRecord> TabTextToSylkRecords(std::string_view text) {
    std::vector<SylkRecord> records;
    long long y = 0;
    ForEachLine(text, [&](std::string_view line) {
        ++y;
        long long x = 0;
        std::size_t pos = 0;
        for (;;) {
            ++x;
            std::size_t end = line.find('\t', pos);
            const bool last = end == std::string_view::npos;
            if (last) end = line.size();
            if (end > pos) {
                SylkRecord r;
                r.type = 'C';
                r.x = IntText(x);
                r.y = IntText(y);
                r.k = std::string(line.substr(pos, end - pos));
                records.push_back(std::move(r));
            }
            if (last) break;
            pos = end + 1;
        }
    });
    return records;
}

bool LooksLikeSylk(std::string_view text) {
    return text.starts_with("ID;");
}

SylkImport ReadSylkCells(const std::vector<SylkRecord>& records,
                         const std::function<bool()>& askHkld, CellRef base) {
    SylkImport out;
    // The origin: the first cell or format record that carries both coordinates.
    std::size_t first = 0;
    while (first < records.size() &&
           !(IsCellOrFormat(records[first]) && records[first].x && records[first].y))
        ++first;
    if (first == records.size()) return out;
    const long long x0 = ParseInt(*records[first].x);
    const long long y0 = ParseInt(*records[first].y);
    if (x0 < 0 || y0 < 0) return out;
    out.originFound = true;

    // A coordinate a record omits repeats the last one.
    long long col = -1, row = -1;
    bool askOnFirst = false;
    bool decided = false;
    for (std::size_t i = first; i < records.size(); ++i) {
        const SylkRecord& r = records[i];
        if (!IsCellOrFormat(r)) continue;
        if (r.type == 'F' && !r.x && !r.y) continue;
        if (r.x) col = ParseInt(*r.x) - x0 + base.col;
        if (r.y) row = ParseInt(*r.y) - y0 + base.row;
        out.lastRow = static_cast<int>(std::clamp<long long>(row, 0, kMaxObservations));
        if (!r.k || row <= 0 || col < 0) continue;
        // Only four columns and 300 rows fit the table; the status column takes no values.
        if (col > 3) continue;
        out.blockRows =
            static_cast<int>(std::max<long long>(out.blockRows, std::min<long long>(row, INT_MAX)));
        if (row > kMaxObservations) continue;
        std::string text = *r.k;
        if (text.starts_with('"')) text = text.size() >= 2 ? text.substr(1, text.size() - 2) : "";
        const long double x = ParseReal(text);
        if (!decided) {
            // A block that starts with an integer may be h, k, l, d; a d is rarely one.
            decided = true;
            askOnFirst = col == 0 && row == 1 && std::fabs(x - std::trunc(x)) <= 0.00001L;
        }
        out.cells.push_back({static_cast<int>(col), static_cast<int>(row), std::move(text)});
    }
    if (!decided) return out;
    out.order = askOnFirst && askHkld() ? ColumnOrder::Hkld : ColumnOrder::Dhkl;
    if (out.order == ColumnOrder::Hkld) {
        for (SylkCell& cell : out.cells)
            cell.col = cell.col <= 2 ? cell.col + 1 : 0;
    }
    return out;
}

void ApplySylkCells(ObservationTable& table, const SylkImport& import) {
    if (!import.originFound) return;
    for (const SylkCell& cell : import.cells)
        table.Cell(cell.col, cell.row) = cell.text;
    table.filled = static_cast<std::uint32_t>(import.lastRow);
}

std::vector<SylkRecord> ReadSylkFile(const std::string& path, Lang lang) {
    return SplitSylkFile(DecodeFileText(ReadInputFile(path, lang)), lang);
}

}  // namespace dorvalix
