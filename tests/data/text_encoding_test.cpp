// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_encoding.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace dorvalix {
namespace {

TEST(TextEncoding, Utf8Validation) {
    const struct {
        std::string_view bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain ASCII\r\n", true},
        {"透輝石 αβγ Δ", true},
        {"\xF0\x9F\x98\x80", true},   // U+1F600
        {"\xC0\xAF", false},          // overlong "/"
        {"\xE0\x80\xAF", false},      // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xE3\x81", false},          // cut at the end
        {"\x93\xA7\x8B\x50", false},  // Shift-JIS
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << testing::PrintToString(std::string(c.bytes));
}

TEST(TextEncoding, DecodesShiftJisWhenNotUtf8) {
    EXPECT_EQ(DecodeFileText("1 5\r\n\x93\xA7\x8B\x50\x90\xCE\r\n"), "1 5\r\n透輝石\r\n");
    // CP932 extensions: the full-width tilde and a NEC circled digit.
    EXPECT_EQ(DecodeFileText("\x81\x60\x87\x40"), "～①");
    // Half-width katakana.
    EXPECT_EQ(DecodeFileText("\xB1\xB2"), "ｱｲ");
    // Bytes that are neither: each undefined byte becomes U+FFFD, the rest survives.
    EXPECT_EQ(DecodeFileText("a\xFF"
                             "b\x81"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBFx"), "x");
    EXPECT_EQ(DecodeFileText(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

// Notepad's "Unicode" and its big-endian twin, decoded instead of read as CP932 (which
// made every number "not a number"); what is no UTF-16 becomes U+FFFD.
TEST(TextEncoding, DecodesUtf16WithAByteOrderMark) {
    const std::u16string lat = u"1 5\r\n1 1 1 2.5\r\n透輝石 𝛼\r\n";  // 𝛼: a surrogate pair
    const std::u16string lone = {u'a', 0xD835, u'b', 0xDEFC};
    for (const bool big : {false, true}) {
        EXPECT_EQ(DecodeFileText(test::Utf16Bytes(lat, big)), "1 5\r\n1 1 1 2.5\r\n透輝石 𝛼\r\n")
            << big;
        EXPECT_EQ(DecodeFileText(test::Utf16Bytes(lone, big)), "a\uFFFDb\uFFFD") << big;
        EXPECT_EQ(DecodeFileText(test::Utf16Bytes(u"x", big) + "y"), "x\uFFFD")
            << big;  // an odd byte
        // Written back as it came.
        const Utf16Order order = big ? Utf16Order::BigEndian : Utf16Order::LittleEndian;
        EXPECT_EQ(EncodeUtf16(DecodeFileText(test::Utf16Bytes(lat, big)), order),
                  test::Utf16Bytes(lat, big))
            << big;
    }
}

TEST(TextEncoding, DecodesWindowsCodePages) {
    const struct {
        std::string_view bytes;
        int codePage;
        std::string text;
    } cases[] = {
        {"\x93\xfa\x96\x7b", 932, "日本"},
        {"\x80\x93x\x94\xe9", 1252, "€“x”é"},
        {"\x81", 1252, "\uFFFD"},  // a byte CP1252 leaves undefined
        {"\xc0\xe1", 1251, "Аб"},
        {"\xe1", 1253, "α"},
        {"\xe9", 99999, "é"},  // a code page nobody knows reads as 1252
        {"\xe9", 65001, "é"},  // so does a number that is not a Windows code page
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeCodePage(c.bytes, c.codePage), c.text) << c.codePage;
}

}  // namespace
}  // namespace dorvalix
