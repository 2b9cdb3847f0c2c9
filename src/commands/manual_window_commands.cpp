// SPDX-License-Identifier: GPL-3.0-or-later
#include "manual_window_commands.h"

#include "data_files.h"
#include "input_file.h"
#include "text_encoding.h"

namespace dorvalix {

// The texts of src/commands/manuals/, compiled in (cmake/EmbedTexts.cmake).
std::string_view EmbeddedText(std::string_view name);

std::string_view BuiltInManual(Lang lang) {
    return EmbeddedText(lang == Lang::Japanese ? "manual_ja.txt" : "manual_en.txt");
}

std::string_view BuiltInPrinciple() {
    return EmbeddedText("principle_ja.html");
}

const ManualWindowTexts& ManualTexts(Lang lang) {
    static const ManualWindowTexts kJapanese = {"使用法の説明", "戻る", "計算原理の解説"};
    static const ManualWindowTexts kEnglish = {"About Dorvalix", "Close", ""};
    return lang == Lang::Japanese ? kJapanese : kEnglish;
}

std::vector<std::string> ManualLines(std::string_view bytes) {
    const std::string text = DecodeFileText(bytes);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (end == text.size()) break;
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

void LoadManual(ManualWindowState& state, const std::string& dataFolder) {
    state.lines = ManualLines(BuiltInManual(state.lang));
    const std::string path = FindManualFile(
        state.lang == Lang::Japanese ? kJapaneseManualFile : kEnglishManualFile, dataFolder);
    if (path.empty()) return;
    state.lines = ManualLines(ReadInputFile(path, state.lang));
}

void Button2Click(PrincipleWindowState& state, Ui& ui, const std::string& dataFolder) {
    const std::string path = FindManualFile(kPrincipleFile, dataFolder);
    if (!path.empty()) {
        // The principle window belongs to the Japanese manual.
        state.document = ReadRtf(ReadInputFile(path, Lang::Japanese));
        ++state.version;
    }
    ui.ShowWindow(SecondaryWindow::TForm4);
}

}  // namespace dorvalix
