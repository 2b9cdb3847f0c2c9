// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <map>
#include <memory>
#include <string>

namespace dorvalix {

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more;
        unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) lo = 0xA0;  // overlong
            if (c == 0xED) hi = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) lo = 0x90;  // overlong
            if (c == 0xF4) hi = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (end - p <= more) return false;
        if (p[1] < lo || p[1] > hi) return false;
        for (int i = 2; i <= more; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) return false;
        }
        p += more + 1;
    }
    return true;
}

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class Converter {
  public:
    explicit Converter(const std::string& from) : cd_(iconv_open("UTF-8", from.c_str())) {}
    ~Converter() {
        if (Ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return cd_; }

  private:
    iconv_t cd_;
};

// The converter of a code page, opened once per thread (opening one loads the code page's
// module); null when the system has none for it.
Converter* ConverterFor(int codePage) {
    thread_local std::map<int, std::unique_ptr<Converter>> converters;
    auto& slot = converters[codePage];
    if (!slot) slot = std::make_unique<Converter>("CP" + std::to_string(codePage));
    return slot->Ok() ? slot.get() : nullptr;
}

std::string Convert(Converter* conv, std::string_view bytes) {
    std::string out;
    if (!conv) {
        // Without a converter keep the ASCII bytes and mark the others.
        for (const char c : bytes)
            out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c)
                                                        : std::string(kReplacement);
        return out;
    }
    iconv(conv->Get(), nullptr, nullptr, nullptr, nullptr);
    out.reserve(bytes.size() * 3 / 2 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char buf[4096];
    while (inLeft > 0) {
        char* o = buf;
        std::size_t oLeft = sizeof buf;
        const std::size_t r = iconv(conv->Get(), &in, &inLeft, &o, &oLeft);
        out.append(buf, static_cast<std::size_t>(o - buf));
        if (r != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut at the end): one byte becomes U+FFFD.
        out += kReplacement;
        ++in;
        --inLeft;
        iconv(conv->Get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUnit(std::string& out, char16_t unit, Utf16Order order) {
    const auto hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    out += order == Utf16Order::BigEndian ? hi : lo;
    out += order == Utf16Order::BigEndian ? lo : hi;
}

constexpr char32_t kReplacementCharacter = 0xFFFD;

}  // namespace

Utf16Order Utf16ByteOrder(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) return Utf16Order::LittleEndian;
    if (bytes.starts_with("\xFE\xFF")) return Utf16Order::BigEndian;
    return Utf16Order::None;
}

std::string DecodeUtf16(std::string_view bytes, Utf16Order order) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    const auto unitAt = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(order == Utf16Order::BigEndian ? a << 8 | b : b << 8 | a);
    };
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacementCharacter : unit);
    }
    if (i < bytes.size()) AppendUtf8(out, kReplacementCharacter);
    return out;
}

std::string EncodeUtf16(std::string_view utf8, Utf16Order order) {
    std::string out;
    AppendUnit(out, 0xFEFF, order);
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        // One character: its length by IsValidUtf8's rules, or one byte that is none.
        std::size_t n = *p < 0x80                  ? 1
                        : *p >= 0xC2 && *p <= 0xDF ? 2
                        : *p >= 0xE0 && *p <= 0xEF ? 3
                        : *p >= 0xF0 && *p <= 0xF4 ? 4
                                                   : 0;
        if (n == 0 || static_cast<std::size_t>(end - p) < n ||
            !IsValidUtf8(std::string_view(reinterpret_cast<const char*>(p), n))) {
            AppendUnit(out, static_cast<char16_t>(kReplacementCharacter), order);
            ++p;
            continue;
        }
        char32_t c = n == 1 ? *p : *p & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k)
            c = c << 6 | (p[k] & 0x3F);
        if (c >= 0x10000) {
            AppendUnit(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), order);
            AppendUnit(out, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), order);
        } else {
            AppendUnit(out, static_cast<char16_t>(c), order);
        }
        p += n;
    }
    return out;
}

std::string DecodeFileText(std::string_view bytes) {
    if (const Utf16Order order = Utf16ByteOrder(bytes); order != Utf16Order::None)
        return DecodeUtf16(bytes.substr(2), order);
    if (IsValidUtf8(bytes)) {
        if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
        return std::string(bytes);
    }
    return Convert(ConverterFor(932), bytes);
}

std::string DecodeCodePage(std::string_view bytes, int codePage) {
    // The Windows ANSI and East Asian code pages; any other number is read as 1252, which
    // also keeps the set of converters small.
    constexpr int kKnown[] = {874,  932,  936,  949,  950,  1250, 1251,
                              1252, 1253, 1254, 1255, 1256, 1257, 1258};
    if (std::find(std::begin(kKnown), std::end(kKnown), codePage) == std::end(kKnown))
        codePage = 1252;
    Converter* conv = ConverterFor(codePage);
    if (!conv && codePage != 1252) conv = ConverterFor(1252);
    return Convert(conv, bytes);
}

}  // namespace dorvalix
