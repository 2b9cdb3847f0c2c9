// SPDX-License-Identifier: GPL-3.0-or-later
// A small, strict JSON reader (RFC 8259) for the files other Dorvalix commands write: the
// whole grammar and nothing beyond it (no comments, no trailing commas, no NaN), UTF-8 only,
// duplicate keys refused, nesting and size bounded. Numbers are kept as their text, so that
// the program's own number conversion reads them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dorvalix::indexing {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;  // a number's text, or a string's value (UTF-8)
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;  // in the file's order

    // Defined where JsonValue is complete: clang's C++20 vector needs its element type
    // complete wherever these are instantiated.
    JsonValue();
    JsonValue(const JsonValue&);
    JsonValue(JsonValue&&) noexcept;
    JsonValue& operator=(const JsonValue&);
    JsonValue& operator=(JsonValue&&) noexcept;
    ~JsonValue();

    // The member of that name of an object; nullptr when none (or not an object).
    const JsonValue* Find(std::string_view key) const;
};

// Nesting deeper than this is refused, as are more values than kMaxJsonValues.
inline constexpr int kMaxJsonDepth = 64;
inline constexpr std::size_t kMaxJsonValues = 2'000'000;

// The value of a JSON text; empty with `error` set to "line L, column C: what was wrong".
std::optional<JsonValue> ParseJson(std::string_view text, std::string& error);

}  // namespace dorvalix::indexing
