// SPDX-License-Identifier: GPL-3.0-or-later
#include "json_reader.h"

#include "numtext.h"
#include "text_encoding.h"

namespace dorvalix::indexing {

JsonValue::JsonValue() = default;
JsonValue::JsonValue(const JsonValue&) = default;
JsonValue::JsonValue(JsonValue&&) noexcept = default;
JsonValue& JsonValue::operator=(const JsonValue&) = default;
JsonValue& JsonValue::operator=(JsonValue&&) noexcept = default;
JsonValue::~JsonValue() = default;

const JsonValue* JsonValue::Find(std::string_view key) const {
    if (kind != Kind::Object) return nullptr;
    for (const auto& [name, value] : members)
        if (name == key) return &value;
    return nullptr;
}

namespace {

class Parser {
  public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::optional<JsonValue> Document(std::string& error) {
        // A byte-order mark is allowed before the text (RFC 8259, 8.1).
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        if (!IsValidUtf8(s_)) return Fail(error, "the text is not UTF-8");
        Space();
        JsonValue v;
        if (!Value(v, 0)) return Fail(error, problem_);
        Space();
        if (pos_ != s_.size()) return Fail(error, "text after the end of the value");
        return v;
    }

  private:
    std::optional<JsonValue> Fail(std::string& error, const std::string& what) {
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < pos_ && i < s_.size(); ++i) {
            if (s_[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(s_[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        error = "line " + IntText(static_cast<long long>(line)) + ", column " +
                IntText(static_cast<long long>(column)) + ": " + what;
        return std::nullopt;
    }

    bool Error(const char* what) {
        if (problem_.empty()) problem_ = what;
        return false;
    }

    void Space() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }

    bool Literal(std::string_view word) {
        if (s_.substr(pos_, word.size()) != word) return Error("not a JSON value");
        pos_ += word.size();
        return true;
    }

    bool Value(JsonValue& v, int depth) {
        if (++values_ > kMaxJsonValues) return Error("more values than the reader takes");
        if (pos_ >= s_.size()) return Error("the text ends where a value should be");
        switch (s_[pos_]) {
            case '{':
                return Object(v, depth);
            case '[':
                return Array(v, depth);
            case '"':
                v.kind = JsonValue::Kind::String;
                return String(v.text);
            case 't':
                v.kind = JsonValue::Kind::Bool;
                v.boolean = true;
                return Literal("true");
            case 'f':
                v.kind = JsonValue::Kind::Bool;
                return Literal("false");
            case 'n':
                v.kind = JsonValue::Kind::Null;
                return Literal("null");
            default:
                v.kind = JsonValue::Kind::Number;
                return Number(v.text);
        }
    }

    bool Object(JsonValue& v, int depth) {
        if (depth + 1 > kMaxJsonDepth) return Error("nested deeper than the reader takes");
        v.kind = JsonValue::Kind::Object;
        ++pos_;
        Space();
        if (pos_ < s_.size() && s_[pos_] == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            Space();
            if (pos_ >= s_.size() || s_[pos_] != '"')
                return Error("a member name in quotes expected");
            std::string key;
            if (!String(key)) return false;
            for (const auto& m : v.members)
                if (m.first == key) return Error("a member name given twice");
            Space();
            if (pos_ >= s_.size() || s_[pos_] != ':')
                return Error("':' expected after a member name");
            ++pos_;
            Space();
            JsonValue member;
            if (!Value(member, depth + 1)) return false;
            v.members.emplace_back(std::move(key), std::move(member));
            Space();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return Error("',' or '}' expected");
        }
    }

    bool Array(JsonValue& v, int depth) {
        if (depth + 1 > kMaxJsonDepth) return Error("nested deeper than the reader takes");
        v.kind = JsonValue::Kind::Array;
        ++pos_;
        Space();
        if (pos_ < s_.size() && s_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            Space();
            JsonValue item;
            if (!Value(item, depth + 1)) return false;
            v.items.push_back(std::move(item));
            Space();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return Error("',' or ']' expected");
        }
    }

    static bool Digit(char c) { return c >= '0' && c <= '9'; }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool Number(std::string& text) {
        const std::size_t start = pos_;
        if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
        if (pos_ >= s_.size() || !Digit(s_[pos_])) return Error("not a JSON value");
        if (s_[pos_] == '0') {
            ++pos_;
        } else {
            while (pos_ < s_.size() && Digit(s_[pos_]))
                ++pos_;
        }
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            if (pos_ >= s_.size() || !Digit(s_[pos_])) return Error("a digit expected after '.'");
            while (pos_ < s_.size() && Digit(s_[pos_]))
                ++pos_;
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
            if (pos_ >= s_.size() || !Digit(s_[pos_]))
                return Error("a digit expected in the exponent");
            while (pos_ < s_.size() && Digit(s_[pos_]))
                ++pos_;
        }
        text.assign(s_.substr(start, pos_ - start));
        return true;
    }

    static int Hex(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    bool Hex4(unsigned& v) {
        if (pos_ + 4 > s_.size()) return Error("four hexadecimal digits expected after \\u");
        v = 0;
        for (int i = 0; i < 4; ++i) {
            const int h = Hex(s_[pos_ + static_cast<std::size_t>(i)]);
            if (h < 0) return Error("four hexadecimal digits expected after \\u");
            v = v * 16 + static_cast<unsigned>(h);
        }
        pos_ += 4;
        return true;
    }

    static void AppendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool String(std::string& out) {
        ++pos_;  // the opening quote
        out.clear();
        for (;;) {
            if (pos_ >= s_.size()) return Error("a string is not closed");
            const char c = s_[pos_];
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                return Error("a control character in a string");
            if (c != '\\') {
                out += c;
                ++pos_;
                continue;
            }
            ++pos_;
            if (pos_ >= s_.size()) return Error("a string is not closed");
            const char e = s_[pos_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    unsigned cp;
                    if (!Hex4(cp)) return false;
                    if (cp >= 0xDC00 && cp <= 0xDFFF)
                        return Error("a lone low surrogate in a string");
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        unsigned low;
                        if (s_.substr(pos_, 2) != "\\u")
                            return Error("a lone high surrogate in a string");
                        pos_ += 2;
                        if (!Hex4(low)) return false;
                        if (low < 0xDC00 || low > 0xDFFF)
                            return Error("a lone high surrogate in a string");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    AppendUtf8(out, cp);
                    break;
                }
                default:
                    return Error("an unknown escape in a string");
            }
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::size_t values_ = 0;
    std::string problem_;
};

}  // namespace

std::optional<JsonValue> ParseJson(std::string_view text, std::string& error) {
    Parser parser(text);
    return parser.Document(error);
}

}  // namespace dorvalix::indexing
