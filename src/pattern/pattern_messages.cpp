// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern_messages.h"

#include <vector>

namespace dorvalix {

std::string PatternMessage(const Text& text, Lang lang,
                           std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> all(args);
    const std::string_view in = text.In(lang);
    // %1 ... %9 are replaced left to right; what an argument brings in is never read again,
    // so a "%2" inside a file name stays as it is.
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 1 < in.size() && in[i + 1] >= '1' && in[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(in[i + 1] - '1');
            if (n < all.size()) out += all[n];
            ++i;
        } else {
            out += in[i];
        }
    }
    return out;
}

void ThrowPatternError(const Text& text, Lang lang, std::initializer_list<std::string_view> args) {
    throw PatternFileError(PatternMessage(text, lang, args));
}

}  // namespace dorvalix
