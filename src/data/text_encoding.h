// SPDX-License-Identifier: GPL-3.0-or-later
// Texts of files from other programs: UTF-8 as it is, Shift-JIS (CP932) from Windows.
#pragma once

#include <string>
#include <string_view>

namespace dorvalix {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The text of a file as UTF-8: a valid UTF-8 text is taken as it is (without a leading
// byte-order mark); anything else is decoded from CP932, the Japanese Windows code page, so
// that files written there open with their Japanese texts. A byte sequence that CP932 does
// not define either becomes U+FFFD, so decoding never fails.
std::string DecodeFileText(std::string_view bytes);

// Bytes of a Windows code page as UTF-8: 932 (Japanese, Shift-JIS), 1252 (Western), or one
// of the other ANSI and East Asian code pages (874, 936, 949, 950, 1250..1258); any other
// number is read as 1252. A byte sequence
// the code page does not define becomes U+FFFD, so decoding never fails.
std::string DecodeCodePage(std::string_view bytes, int codePage);

}  // namespace dorvalix
