// SPDX-License-Identifier: GPL-3.0-or-later
// Texts of files from other programs: UTF-8 as it is, Shift-JIS (CP932) from Windows.
#pragma once

#include <string>
#include <string_view>

namespace dorvalix {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The text of a file as UTF-8: UTF-16 that starts with its byte-order mark (what Windows
// Notepad saves as "Unicode", and its big-endian twin) is decoded; a valid UTF-8 text is
// taken as it is (without a leading byte-order mark); anything else is decoded from CP932,
// the Japanese Windows code page, so that files written there open with their Japanese
// texts. A byte sequence that CP932 does not define either, an unpaired surrogate or an odd
// last byte of UTF-16 becomes U+FFFD, so decoding never fails.
std::string DecodeFileText(std::string_view bytes);

// UTF-16 by the byte-order mark it starts with (FF FE little-endian, FE FF big-endian); no
// other text starts so (neither byte occurs in UTF-8, nor FF in CP932).
enum class Utf16Order { None, LittleEndian, BigEndian };
Utf16Order Utf16ByteOrder(std::string_view bytes);

// UTF-16 after its byte-order mark, as UTF-8 (as DecodeFileText decodes it).
std::string DecodeUtf16(std::string_view bytes, Utf16Order order);

// UTF-8 as UTF-16 in that order, the byte-order mark first; a byte that is no UTF-8 becomes
// U+FFFD.
std::string EncodeUtf16(std::string_view utf8, Utf16Order order);

// Bytes of a Windows code page as UTF-8: 932 (Japanese, Shift-JIS), 1252 (Western), or one
// of the other ANSI and East Asian code pages (874, 936, 949, 950, 1250..1258); any other
// number is read as 1252. A byte sequence
// the code page does not define becomes U+FFFD, so decoding never fails.
std::string DecodeCodePage(std::string_view bytes, int codePage);

}  // namespace dorvalix
