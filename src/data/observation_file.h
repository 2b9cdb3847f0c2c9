// SPDX-License-Identifier: GPL-3.0-or-later
// The .lat observation file: count and crystal-system code, one line per observation
// (h, k, l, d in fields of eight characters), then the sample name. Lines end with CR LF;
// LF or CR alone is read too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calculation.h"
#include "errors.h"
#include "lang.h"
#include "observation_table.h"

namespace dorvalix {

// Messages of the file commands.
namespace file_text {
inline constexpr Text kSetFileName = {"Set File Name", "ファイル名が入力されていません"};
inline constexpr Text kSetCrystalSystem = {"Set Crystal System", "結晶系が入力されていません"};
inline constexpr Text kSetInputData = {"Set Input Data", "デ－タが入力されていません"};
inline constexpr Text kSetSampleName = {"Set Sample Name", "試料名が設定されていません"};
// A number token that is not an integer (the same text in both languages).
inline constexpr const char* kInvalidNumericInput = "入力値が数値ではありません";
}  // namespace file_text

// A file whose first line the table cannot take: a count above 300 or below 0, or a
// crystal-system code outside 0..8. The text names the value, in the reader's language.
class ObservationFileError : public DorvalixError {
  public:
    using DorvalixError::DorvalixError;
};

// What a file holds, read completely.
struct ObservationFileContents {
    int count = 0;
    int crystalSystem = 0;
    std::vector<ObservationTable::Row> rows;  // table rows 1..count: d, h, k, l, empty status
    std::string sampleName;
};

// Takes a file's text apart (already decoded to UTF-8). Number tokens are found by skipping
// every character of code 32 or below; a token read past the end is 0. d is the rest of the
// line that holds l. Throws IoError "入力値が数値ではありません" for a token that is not an
// integer, ConversionError for a d that is not a number, ObservationFileError for a count
// or code the table cannot take.
ObservationFileContents ParseObservationFile(std::string_view text, Lang lang);

// Reads and decodes the file at `path` (UTF-8, or CP932 when it is not valid UTF-8) and
// takes it apart; IoError when it cannot be read (ReadInputFile).
ObservationFileContents ReadObservationFile(const std::string& path, Lang lang);

// Reads the file completely and only then replaces the table, its counts, the crystal-system
// code and the sample name, clears the results panel (residual label included) and column 4,
// and normalises the cells. On any error nothing has changed. Returns the last d cell that
// is not a number after normalisation, if any. The caller shows the file name and the
// crystal-system name.
std::optional<CellRef> LoadObservationFile(CalculationState& state, std::string& sampleName,
                                           const std::string& path, Lang lang);

// Places a file's contents into the state as LoadObservationFile does.
std::optional<CellRef> ApplyObservationFile(CalculationState& state, std::string& sampleName,
                                            ObservationFileContents contents);

// The bytes of a file for table rows 1..filled count, in the layout above. Index and d
// texts are written whole, right-aligned in eight characters and always after at least one
// blank, so that every one reads back as it was.
std::string FormatObservationFile(const ObservationTable& table, int crystalSystem,
                                  std::string_view sampleName);

// Writes the file atomically. Returns false, writing nothing, when the sample name is empty
// (the command then shows file_text::kSetSampleName); IoError when the file cannot be written.
bool WriteObservationFile(const std::string& path, const ObservationTable& table, int crystalSystem,
                          std::string_view sampleName, Lang lang);

// ".lat" appended to a path whose file name has no "." at all; other paths unchanged.
std::string WithDefaultExtension(const std::string& path);

// The file name of a path without its folder.
std::string FileNameOf(const std::string& path);

}  // namespace dorvalix
