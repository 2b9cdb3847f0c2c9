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

std::string DecodeFileText(std::string_view bytes) {
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
