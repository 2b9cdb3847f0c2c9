// SPDX-License-Identifier: GPL-3.0-or-later
// Every message of the pattern readers and the peak fit, in both languages. "%1" ... "%4"
// stand for the arguments: %1 is always the file name (QuotePathForMessage).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "errors.h"
#include "lang.h"

namespace dorvalix {

namespace pattern_text {
inline constexpr Text kUnknownFormat = {
    "%1 is not a diffraction pattern this program reads (.xy .xye .csv .txt .dat, "
    ".xrdml, Bruker .raw and .brml, Rigaku .ras and .rasx, GSAS .gsa .gss .fxye)",
    "%1 は読み込める回折パターンではありません (.xy .xye .csv .txt .dat, .xrdml, "
    "Bruker の .raw と .brml, Rigaku の .ras と .rasx, GSAS の .gsa .gss .fxye)"};
inline constexpr Text kStoeRaw = {
    "%1 is a STOE WinXPOW raw file, which this program does not read: export the pattern from "
    "WinXPOW as .xy and open that",
    "%1 は STOE WinXPOW の raw ファイルで、読み込めません。WinXPOW で .xy "
    "に書き出して開いてください"};
inline constexpr Text kOldBrukerRaw = {
    "%1 is a Bruker RAW file of version 1 or 2, which this program does not read: convert it "
    "to RAW1.01, RAW4.00 or .xy with Bruker's file exchange program",
    "%1 は Bruker RAW のバージョン 1 か 2 のファイルで、読み込めません。Bruker のファイル変換で "
    "RAW1.01、RAW4.00 か .xy に変換してください"};
inline constexpr Text kGsasAlt = {
    "%1 holds GSAS data in the ALT layout, which this program does not read: write it as FXYE "
    "or STD",
    "%1 は GSAS の ALT 形式のデータで、読み込めません。FXYE か STD 形式で書き出してください"};
inline constexpr Text kNoPoints = {"%1 holds no measured points", "%1 に測定点がありません"};
inline constexpr Text kNotANumber = {"%1, line %2: '%3' is not a number",
                                     "%1 の %2 行目: '%3' は数値ではありません"};
inline constexpr Text kColumnCount = {
    "%1, line %2: %3 columns, where 2θ and counts (and an s.u.) are expected",
    "%1 の %2 行目: 列が %3 個あります。2θ と強度 (と標準不確かさ) の列が必要です"};
inline constexpr Text kNotFinite = {"%1: point %2 of scan %3 is not a finite number",
                                    "%1: スキャン %3 の %2 点目が有限の数ではありません"};
inline constexpr Text kNotIncreasing = {"%1: the 2θ values of scan %2 do not increase at point %3",
                                        "%1: スキャン %2 の 2θ が %3 点目で増加していません"};
inline constexpr Text kTooManyPoints = {
    "%1 declares %2 points; at most %3 are read",
    "%1 は %2 点を宣言しています。読み込めるのは %3 点までです"};
inline constexpr Text kTruncated = {
    "%1 is cut short: scan %2 declares %3 points and the file holds %4",
    "%1 は途中で切れています: スキャン %2 は %3 点を宣言していますが、ファイルには %4 "
    "点しかありません"};
inline constexpr Text kMorePoints = {
    "%1: scan %2 declares %3 points and holds %4; all %4 are read",
    "%1: スキャン %2 は %3 点を宣言していますが、%4 点あります。%4 点すべてを読み込みます"};
inline constexpr Text kDamaged = {"%1 is damaged (%2)", "%1 は壊れています (%2)"};
inline constexpr Text kMemberTooLarge = {"%1: %2 in the archive unpacks to more than %3 MiB",
                                         "%1: アーカイブ内の %2 は展開すると %3 MiB を超えます"};
inline constexpr Text kMissingPart = {"%1 holds no %2", "%1 に %2 がありません"};
inline constexpr Text kBadRange = {"%1: scan %2 has a step of 0 or a range that is not finite",
                                   "%1: スキャン %2 のステップが 0 か、範囲が有限ではありません"};
inline constexpr Text kCountMismatch = {
    "%1: scan %2 lists %3 positions and %4 counts",
    "%1: スキャン %2 の位置は %3 個、強度は %4 個で、数が合いません"};
// "%s" as the bounded reading of src/data names the file.
inline constexpr Text kFileTooLarge = {"%s is larger than 64 MiB",
                                       "%s は 64 MiB を超えているため読み込めません"};
inline constexpr Text kNoWavelength = {
    "%1 states no wavelength: give one (--wavelength L or --xray NAME)",
    "%1 には波長が書かれていません。波長を指定してください"};
}  // namespace pattern_text

// `text` in the language with %1 ... %n replaced by the arguments in order.
std::string PatternMessage(const Text& text, Lang lang,
                           std::initializer_list<std::string_view> args);

// A pattern file that cannot be read: damaged, truncated, hostile or of an unknown kind. The
// text is the whole message (the file name included).
class PatternFileError : public DorvalixError {
  public:
    using DorvalixError::DorvalixError;
};

// Throws PatternFileError with the message.
[[noreturn]] void ThrowPatternError(const Text& text, Lang lang,
                                    std::initializer_list<std::string_view> args);

}  // namespace dorvalix
