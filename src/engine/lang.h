// SPDX-License-Identifier: GPL-3.0-or-later
// The two user-interface languages and the texts that exist in both.
#pragma once

#include <string_view>

namespace dorvalix {

// Every text is Japanese when the language code is "j" and English otherwise.
enum class Lang { English, Japanese };

inline Lang LangFromCode(std::string_view code) {
    return code == "j" ? Lang::Japanese : Lang::English;
}
inline const char* LangCode(Lang lang) {
    return lang == Lang::Japanese ? "j" : "e";
}

// One text in both languages.
struct Text {
    const char* en;
    const char* ja;
    const char* In(Lang lang) const { return lang == Lang::Japanese ? ja : en; }
};

}  // namespace dorvalix
