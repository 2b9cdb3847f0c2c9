// SPDX-License-Identifier: GPL-3.0-or-later
// The two user-interface languages and the texts that exist in both.
#pragma once

#include <string>
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

// The text with every `key` ("{n}") replaced by `value`; a value holding the key is not
// searched again.
inline std::string With(std::string text, std::string_view key, std::string_view value) {
    for (std::size_t at = 0; (at = text.find(key, at)) != std::string::npos;) {
        text.replace(at, key.size(), value);
        at += value.size();
    }
    return text;
}

}  // namespace dorvalix
