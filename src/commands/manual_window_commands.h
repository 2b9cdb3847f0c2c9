// SPDX-License-Identifier: GPL-3.0-or-later
// The manual windows, TForm3 (Japanese) and TForm6 (English), and the calculation-principle
// window TForm4, without Qt: the built-in texts, their replacement by files, and the button
// of the Japanese manual that opens the principle window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang.h"
#include "rtf_reader.h"
#include "ui.h"

namespace dorvalix {

// --- Texts ---------------------------------------------------------------------------------

// The manual compiled into the program, in UTF-8 with LF line ends.
std::string_view BuiltInManual(Lang lang);
// The principle text compiled into the program: rich text in the HTML subset the text
// viewer reads (paragraphs, tables, <sub>, <sup>, <b>, <i>).
std::string_view BuiltInPrinciple();

struct ManualWindowTexts {
    const char* windowTitle;
    const char* closeButton;      // Button1
    const char* principleButton;  // Button2, the Japanese window's only; empty in English
};
// TForm3 for Japanese, TForm6 for English.
const ManualWindowTexts& ManualTexts(Lang lang);

inline constexpr const char* kPrincipleWindowTitle = "計算原理";  // TForm4
inline constexpr const char* kPrincipleCloseButton = "戻る";

// --- The manual windows ------------------------------------------------------------------

struct ManualWindowState {
    Lang lang = Lang::Japanese;
    std::vector<std::string> lines;  // Memo1
};

// The lines of a manual file: UTF-8, or Shift-JIS when it is not valid UTF-8; a line ends
// with CR LF, LF or CR, and the last one may have none.
std::vector<std::string> ManualLines(std::string_view bytes);

// FormCreate: the built-in manual, replaced by the lines of "dorvalix_j.txt" (Japanese) or
// "dorvalix_e.txt" (English) when FindManualFile finds it. A file that is there but cannot
// be read (ReadInputFile: also a FIFO, a device, more than 16 MiB) throws IoError, and the
// built-in manual stays.
void LoadManual(ManualWindowState& state, const std::string& dataFolder);

// --- The calculation-principle window ------------------------------------------------------

struct PrincipleWindowState {
    // What RichEdit1 shows: the built-in text until "dorvalix.rtf" is loaded, then the file
    // loaded last.
    std::optional<RtfDocument> document;
    std::uint64_t version = 0;  // counts the loads, so that the window knows when to redraw
};

// TForm3's "計算原理の解説": loads "dorvalix.rtf" when FindManualFile finds it, at every
// press, then shows TForm4. When the file is there but cannot be read, IoError ends the
// command: the error box, and the principle window is not opened.
void Button2Click(PrincipleWindowState& state, Ui& ui, const std::string& dataFolder);

}  // namespace dorvalix
