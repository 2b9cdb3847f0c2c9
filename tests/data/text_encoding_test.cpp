#include "text_encoding.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace dorvalix
