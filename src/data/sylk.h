// SPDX-License-Identifier: GPL-3.0-or-later
// Spreadsheet cells as SYLK records (the Symbolic Link interchange format): what a
// spreadsheet program puts on the clipboard or writes as a .slk file. Only cell ("C") and
// format ("F") records and their ";X", ";Y" and ";K" fields matter here.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang.h"
#include "observation_table.h"

namespace dorvalix {

// One record, reduced to what the import reads. A field is found at the first occurrence of
// its key in the record; its value runs to the next ";" or to the end of the record.
struct SylkRecord {
    char type = 0;  // the first character; 0 for an empty record
    std::optional<std::string> x, y, k;
};

// Splits a SYLK text into records. Records end with CR LF, LF or CR alone; the text ends
// at its first NUL character, as the clipboard's block does; a last record without a line
// end counts as well.
std::vector<SylkRecord> SplitSylkRecords(std::string_view text);

// Splits the text of a SYLK file. A file holds no NUL character: one means the file is
// damaged, and rather than reading up to it (and dropping every row after it) the file is
// refused with DorvalixError sylk_text::kNulInFile.
std::vector<SylkRecord> SplitSylkFile(std::string_view text, Lang lang);

// The same cell records built from tab-separated plain text, as every spreadsheet also
// offers it: a line (CR LF or LF) is a row, a tab separates columns, both counted from 1;
// an empty cell gives no record.
std::vector<SylkRecord> TabTextToSylkRecords(std::string_view text);

// True when the first record of a text starts with "ID;", as every SYLK file does.
bool LooksLikeSylk(std::string_view text);

enum class ColumnOrder { None, Hkld, Dhkl };

// The text of the question asked when the block starts with an integer.
inline constexpr Text kHkldOrderQuestion = {"Data are in hkld order ? ", "hkldの並びですか"};

// Messages about a block or a file; %d stands for a number.
namespace sylk_text {
inline constexpr Text kNoCells = {"The clipboard holds no spreadsheet cells",
                                  "クリップボードに表計算ソフトのセルがありません"};
inline constexpr Text kRowsLeftOut = {
    "Only the first 300 rows were read: rows 301 to %d were left out",
    "先頭の 300 行だけを読み込みました。301 行目から %d 行目までは読み込んでいません"};
inline constexpr Text kTooManyRows = {"The spreadsheet block has %d rows; at most 300 can be read",
                                      "表のデータが %d 行あります。読み込めるのは 300 行までです"};
inline constexpr Text kNulInFile = {
    "Line %d of the SYLK file holds a NUL character: the file is damaged",
    "SYLK ファイルの %d 行目に NUL 文字があります。ファイルが壊れています"};
}  // namespace sylk_text

// One of the texts above with its number.
std::string SylkMessage(const Text& text, Lang lang, long long number);

// One value for a table cell.
struct SylkCell {
    int col = 0;  // table column 0..3
    int row = 0;  // table row 1..300
    std::string text;
};

// The outcome of reading the records, before anything is written.
struct SylkImport {
    bool originFound = false;  // false: no cell record with both coordinates; nothing to do
    ColumnOrder order = ColumnOrder::None;
    std::vector<SylkCell> cells;  // in record order; a later value for a cell wins
    int lastRow = 0;              // table row of the last record handled, within 0..300
    // The lowest table row that a value of the block's first four columns would go to, also
    // beyond 300 (capped at the largest int); 0 without such values.
    int blockRows = 0;
};

// Reads the records into table cells. The first record that is a cell or format record with
// both ";X" and ";Y" is the origin; it maps onto `base` (column 0, row 1 after clearing).
// Values are the ";K" texts without their quotes, and each must be a number. When the first
// value lands on column 0 of row 1 and is an integer, `askHkld` decides whether the block's
// columns are h, k, l, d (true) or d, h, k, l; otherwise they are d, h, k, l without asking.
// Values that fall left of column 0, above row 1, right of the fourth column or below row
// 300 are left out. Every value is converted before the question is asked; a value that is
// not a number throws ConversionError "'%s' は浮動小数点数ではありません", a coordinate
// that is not an integer "'%s' は整数ではありません".
SylkImport ReadSylkCells(const std::vector<SylkRecord>& records,
                         const std::function<bool()>& askHkld, CellRef base = {0, 1});

// Writes the cells into the table and sets its filled count to the last row handled. Does
// nothing when no origin was found.
void ApplySylkCells(ObservationTable& table, const SylkImport& import);

// Reads a SYLK file (UTF-8, or CP932 when it is not valid UTF-8) into records; IoError when
// it cannot be read (ReadInputFile), DorvalixError for a NUL character (SplitSylkFile).
std::vector<SylkRecord> ReadSylkFile(const std::string& path, Lang lang);

}  // namespace dorvalix
