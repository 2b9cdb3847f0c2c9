// SPDX-License-Identifier: GPL-3.0-or-later
#include "version_window_commands.h"

#include "results_report.h"

namespace dorvalix {

// The reports end with the same line: a result names the program and version it came from.
const char* const kProgramTitleLine = report_text::kProvenance;

const VersionWindowTexts& VersionTexts(Lang lang) {
    // "　" in the button is the full-width blank U+3000.
    static const VersionWindowTexts kJapanese = {
        "バージョン情報",
        "格子定数計算プログラム",
        {"Dorvalix プロジェクト", "粉末回折データの格子定数精密化", "作成: Dorvalix maintainers",
         "連絡先: README.md を参照", "ライセンス: GPL-3.0-or-later"},
        "戻　る",
    };
    static const VersionWindowTexts kEnglish = {
        "About Dorvalix",
        "",
        {"The Dorvalix project", "Lattice constants refined from", "powder-diffraction data",
         "Author: Dorvalix maintainers", "Contact: see README.md", "License: GPL-3.0-or-later"},
        "Close",
    };
    return lang == Lang::Japanese ? kJapanese : kEnglish;
}

}  // namespace dorvalix
