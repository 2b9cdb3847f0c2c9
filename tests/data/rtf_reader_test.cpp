// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader on files LibreOffice Writer saved (tests/data/rtf/) and on the pieces of
// RTF other writers use: code pages, Unicode escapes, destinations, damaged files.
#include "rtf_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_file.h"
#include "text_encoding.h"

namespace dorvalix {
namespace {

std::string RtfFile(const std::string& name) {
    return ReadInputFile(std::string(DORVALIX_RTF_FILES) + "/" + name, Lang::English);
}

const RtfRun* FindRun(const RtfDocument& doc, const std::string& text) {
    for (const RtfParagraph& p : doc.paragraphs) {
        for (const RtfRun& run : p.runs) {
            if (run.text == text) return &run;
        }
    }
    return nullptr;
}

RtfCharFormat Format(bool bold, bool italic, bool underline, int halfPoints,
                     std::optional<RtfColour> colour = std::nullopt,
                     RtfPosition position = RtfPosition::Baseline) {
    RtfCharFormat f;
    f.bold = bold;
    f.italic = italic;
    f.underline = underline;
    f.halfPoints = halfPoints;
    f.colour = colour;
    f.position = position;
    return f;
}

struct ExpectedRun {
    std::string text;
    RtfCharFormat format;
};

void ExpectRuns(const RtfDocument& doc, const std::vector<ExpectedRun>& expected) {
    for (const ExpectedRun& e : expected) {
        SCOPED_TRACE(e.text);
        const RtfRun* run = FindRun(doc, e.text);
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(run->format.bold, e.format.bold);
        EXPECT_EQ(run->format.italic, e.format.italic);
        EXPECT_EQ(run->format.underline, e.format.underline);
        EXPECT_EQ(run->format.halfPoints, e.format.halfPoints);
        EXPECT_EQ(run->format.colour, e.format.colour);
        EXPECT_EQ(run->format.position, e.format.position);
    }
}

const RtfColour kRed{255, 0, 0}, kBlue{0, 0, 255}, kGreen{0, 128, 0};

TEST(RtfReader, EnglishDocumentFromLibreOffice) {
    const RtfDocument doc = ReadRtf(RtfFile("english.rtf"));
    EXPECT_EQ(RtfPlainText(doc),
              "Refinement of lattice constants\n"
              "Plain text, bold text, italic text, underlined text and bold italic.\n"
              "Small 8 pt, normal, large 20 pt.\n"
              "Red, blue and green words.\n"
              "Q = 1/d2 = h2x1 + k2x2; V = 440.47 Å3.\n"
              "First line\u2028second line after a break.\n"
              "Quotes “double” and ‘single’, a dash – and an em dash —, β = 105.83°.\n"
              "261\t221\n"
              "221\t1141\n"
              "Right-aligned last line.");
    ASSERT_EQ(doc.paragraphs.size(), 10u);
    EXPECT_EQ(doc.paragraphs[0].alignment, RtfAlignment::Centre);
    EXPECT_EQ(doc.paragraphs[1].alignment, RtfAlignment::Left);
    EXPECT_EQ(doc.paragraphs[9].alignment, RtfAlignment::Right);
    ExpectRuns(doc, {
                        {"Refinement of lattice constants", Format(true, false, false, 32)},
                        {"Plain text, ", Format(false, false, false, 24)},
                        {"bold text", Format(true, false, false, 24)},
                        {"italic text", Format(false, true, false, 24)},
                        {"underlined text", Format(false, false, true, 24)},
                        {"bold italic", Format(true, true, false, 24)},
                        {"Small 8 pt", Format(false, false, false, 16)},
                        {"large 20 pt", Format(false, false, false, 40)},
                        {"Red", Format(false, false, false, 24, kRed)},
                        {"blue", Format(false, false, false, 24, kBlue)},
                        {"green", Format(false, false, false, 24, kGreen)},
                    });
    // Q = 1/d², h²x₁ + k²x₂, Å³: the runs of the formula line in order.
    const std::vector<RtfRun>& q = doc.paragraphs[4].runs;
    ASSERT_EQ(q.size(), 13u);
    const RtfPosition S = RtfPosition::Superscript, B = RtfPosition::Baseline,
                      D = RtfPosition::Subscript;
    const RtfPosition positions[] = {B, S, B, S, B, D, B, S, B, D, B, S, B};
    for (std::size_t i = 0; i < q.size(); ++i)
        EXPECT_EQ(q[i].format.position, positions[i]) << i << " " << q[i].text;
    EXPECT_EQ(q[11].text, "3");
}

TEST(RtfReader, JapaneseDocumentFromLibreOffice) {
    const RtfDocument doc = ReadRtf(RtfFile("japanese.rtf"));
    EXPECT_EQ(RtfPlainText(doc),
              "格子定数の計算原理\n"
              "普通の文字、太字、斜体、下線と太字の斜体。\n"
              "小さい文字、普通の文字、大きい文字。\n"
              "赤、青、緑の文字。\n"
              "逆格子定数 a*2 = x1、体積 V = 440.47 Å3。\n"
              "一行目\u2028改行の後の二行目。\n"
              "単斜晶系(β≠90)の透輝石、全角の空白「　」とカタカナ、絵文字 💎。");
    EXPECT_EQ(doc.paragraphs[0].alignment, RtfAlignment::Centre);
    // Writer marks East Asian text bold and sized with \ab and \afs after \dbch.
    ExpectRuns(doc,
               {
                   {"格子定数の計算原理", Format(true, false, false, 32)},
                   {"太字", Format(true, false, false, 24)},
                   {"斜体", Format(false, true, false, 24)},
                   {"下線", Format(false, false, true, 24)},
                   {"太字の斜体", Format(true, true, false, 24)},
                   {"小さい文字", Format(false, false, false, 16)},
                   {"大きい文字", Format(false, false, false, 40)},
                   {"赤", Format(false, false, false, 24, kRed)},
                   {"青", Format(false, false, false, 24, kBlue)},
                   {"緑", Format(false, false, false, 24, kGreen)},
                   {"1", Format(false, false, false, 24, std::nullopt, RtfPosition::Subscript)},
               });
}

// Pieces of RTF as other writers produce them, and what a reader shows of them.
TEST(RtfReader, TextOfHandWrittenDocuments) {
    const struct {
        const char* what;
        std::string rtf;
        std::string text;
    } cases[] = {
        {"CP932 bytes under \\ansicpg932 (Japanese Windows)",
         "{\\rtf1\\ansi\\ansicpg932\\deff0 \\'93\\'a7\\'8b\\'50\\'90\\'ce}", "透輝石"},
        {"raw Shift-JIS bytes and escapes mixed",
         "{\\rtf1\\ansi\\ansicpg932 \x93\xa7\\'8b\\'50\x90\xce}", "透輝石"},
        {"the font's \\fcharset128 chooses CP932, \\fcharset0 CP1252",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset128 MS Mincho;}{\\f1\\fswiss\\fcharset0 "
         "Arial;}}\\f0 \\'93\\'fa\\f1 \\'e9}",
         "日é"},
        {"\\fcharset1 (default) falls back to the document's code page",
         "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset1 X;}}\\f0 \\'93\\'fa}", "日"},
        {"\\af of East Asian text names the font of its bytes",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset0 A;}{\\f13\\fcharset128 M;}}\\f0 a"
         "\\dbch\\af13 \\'93\\'fa}",
         "a日"},
        {"CP1252 without a code page", "{\\rtf1\\ansi \\'e9\\'c5\\'80\\'93x\\'94}", "éÅ€“x”"},
        {"\\u with one stand-in (the default \\uc1)", "{\\rtf1 \\u946?\\u947 ?b}", "βγb"},
        {"\\uc2: two stand-in bytes of a double-byte character",
         "{\\rtf1\\uc2\\u26085\\'93\\'fa x}", "日 x"},
        {"\\uc0: no stand-ins", "{\\rtf1\\uc0\\u26085\\u26412 x}", "日本x"},
        {"\\uc belongs to its group", "{\\rtf1{\\uc0\\u946}\\u947?}", "βγ"},
        {"a negative \\u is the code unit + 65536", "{\\rtf1\\u-3913?}", "\uF0B7"},
        {"a surrogate pair", "{\\rtf1\\u-10179?\\u-9074?}", "💎"},
        {"lone surrogates become U+FFFD", "{\\rtf1 a\\u55357?b\\u56462?c\\u55357?}",
         "a\uFFFDb\uFFFDc\uFFFD"},
        {"a skip ends with its group", "{\\rtf1{\\uc3\\u946}xyz}", "βxyz"},
        {"escaped characters", "{\\rtf1 \\\\ \\{ \\} a\\~b\\-c\\_d}", "\\ { } a\u00A0bc\u2011d"},
        {"named characters",
         "{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}", "—–•‘’“”"},
        {"paragraphs, line breaks, tabs, pages, sections",
         "{\\rtf1 a\\par b\\line c\\tab d\\page e\\sect f\\\nend}", "a\nb\u2028c\td\ne\nf\nend"},
        {"line ends in the file are not text", "{\\rtf1 a\r\nb\nc}", "abc"},
        {"an ignorable destination is skipped", "{\\rtf1 a{\\*\\unknown secret}b}", "ab"},
        {"destinations without text",
         "{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 "
         "Normal;}}{\\header H}{\\footer F}{\\*\\generator G;}{\\pict\\pngblip 89504e47}x}",
         "x"},
        {"a field shows its result, not its instruction",
         "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt shown}}}", "shown"},
        {"unknown words are skipped", "{\\rtf1\\foo\\barbaz12 a\\qux-3 b}", "ab"},
        {"binary data is skipped", "{\\rtf1 a\\bin5 {}\\\\xb}", "ab"},
        {"a table's cells are tab-separated, its rows paragraphs",
         "{\\rtf1\\trowd\\cellx100\\cellx200 \\intbl 1\\cell 2\\cell\\row \\intbl 3\\cell "
         "4\\cell\\row}",
         "1\t2\n3\t4"},
        {"text after the document is not read", "{\\rtf1 a}b{c}", "a"},
        {"a document cut short", "{\\rtf1 a{\\b b", "ab"},
        {"closing braces beyond the document", "{\\rtf1 a}}}", "a"},
        {"a control word at the very end", "{\\rtf1 a\\", "a"},
        {"a cut \\' escape", "{\\rtf1 a\\'9", "a"},
        {"control characters are not text", std::string("{\\rtf1 a\x01") + '\0' + "b\\u7?c}",
         "abc"},
        {"an overlong word and a huge parameter",
         "{\\rtf1 \\" + std::string(1000, 'w') + " a\\fs99999999999999999999 b\\u99999999999?c}",
         "ab\uFFFDc"},
    };
    for (const auto& c : cases) {
        const RtfDocument doc = ReadRtf(c.rtf);
        EXPECT_EQ(RtfPlainText(doc), c.text) << c.what;
        for (const RtfParagraph& p : doc.paragraphs) {
            for (const RtfRun& run : p.runs)
                EXPECT_TRUE(IsValidUtf8(run.text)) << c.what;
        }
    }
}

TEST(RtfReader, FormatsFollowTheirGroups) {
    const RtfDocument doc = ReadRtf(
        "{\\rtf1{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}"
        "a{\\b b{\\i\\cf2 c}d}e\\ul f\\ul0 g\\b h\\plain i\\fs40\\super j\\nosupersub k"
        "\\sub l\\up0 m\\cf9 n\\b1\\cf1 o\\b0\\cf0 p\\uldb q\\ulnone r}");
    const struct {
        const char* text;
        RtfCharFormat format;
    } expected[] = {
        {"a", Format(false, false, false, 24)},
        {"b", Format(true, false, false, 24)},
        {"c", Format(true, true, false, 24, RtfColour{255, 0, 0})},
        {"d", Format(true, false, false, 24)},
        {"e", Format(false, false, false, 24)},
        {"f", Format(false, false, true, 24)},
        {"g", Format(false, false, false, 24)},
        {"h", Format(true, false, false, 24)},
        {"i", Format(false, false, false, 24)},
        {"j", Format(false, false, false, 40, std::nullopt, RtfPosition::Superscript)},
        {"k", Format(false, false, false, 40)},
        {"l", Format(false, false, false, 40, std::nullopt, RtfPosition::Subscript)},
        {"mn", Format(false, false, false, 40)},  // no colour 9: the text's own colour
        {"o", Format(true, false, false, 40, RtfColour{0, 0, 0})},
        {"p", Format(false, false, false, 40)},  // colour 0 is "automatic"
        {"q", Format(false, false, true, 40)},
        {"r", Format(false, false, false, 40)},
    };
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    const std::vector<RtfRun>& runs = doc.paragraphs[0].runs;
    ASSERT_EQ(runs.size(), std::size(expected));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(expected[i].text);
        EXPECT_EQ(runs[i].text, expected[i].text);
        EXPECT_EQ(runs[i].format, expected[i].format);
    }
}

TEST(RtfReader, SizesAlignmentAndColourTables) {
    // Sizes stay between 1 and 200 points; \fs without a number is 12 points.
    const RtfDocument sizes = ReadRtf("{\\rtf1\\fs0 a\\fs1000 b\\fs-5 c\\fs d\\fs3 e}");
    const int halfPoints[] = {kRtfMinHalfPoints, kRtfMaxHalfPoints, kRtfMinHalfPoints, 24, 3};
    ASSERT_EQ(sizes.paragraphs[0].runs.size(), std::size(halfPoints));
    for (std::size_t i = 0; i < std::size(halfPoints); ++i)
        EXPECT_EQ(sizes.paragraphs[0].runs[i].format.halfPoints, halfPoints[i]) << i;

    // A paragraph takes the alignment in force at its end; \pard goes back to the left.
    const RtfDocument aligned =
        ReadRtf("{\\rtf1\\qc a\\par\\pard b\\qr\\par\\qj c\\par{\\qc d\\par}e}");
    const RtfAlignment alignments[] = {RtfAlignment::Centre, RtfAlignment::Right,
                                       RtfAlignment::Justified, RtfAlignment::Centre,
                                       RtfAlignment::Justified};
    ASSERT_EQ(aligned.paragraphs.size(), std::size(alignments));
    for (std::size_t i = 0; i < std::size(alignments); ++i)
        EXPECT_EQ(aligned.paragraphs[i].alignment, alignments[i]) << i;

    // A colour table whose last entry lacks its ";", and values beyond 255.
    const RtfDocument colours = ReadRtf(
        "{\\rtf1{\\colortbl\\red10\\green20\\blue30;\\red999\\green0\\blue0}"
        "\\cf0 a\\cf1 b}");
    ASSERT_EQ(colours.paragraphs[0].runs.size(), 2u);
    EXPECT_EQ(colours.paragraphs[0].runs[0].format.colour, (RtfColour{10, 20, 30}));
    EXPECT_EQ(colours.paragraphs[0].runs[1].format.colour, (RtfColour{255, 0, 0}));

    // Empty paragraphs between others stay; the paragraph a document ends with needs text.
    EXPECT_EQ(ReadRtf("{\\rtf1 a\\par\\par b\\par}").paragraphs.size(), 3u);
}

TEST(RtfReader, DeepNestingDoesNotGrowTheStack) {
    std::string rtf = "{\\rtf1 ";
    rtf += std::string(100000, '{') + "\\b deep" + std::string(100000, '}');
    rtf += " after}";
    const RtfDocument doc = ReadRtf(rtf);
    EXPECT_EQ(RtfPlainText(doc), "deep after");
    // The innermost groups share one set of properties: the bold set in there ends with
    // the group that holds them all.
    ASSERT_EQ(doc.paragraphs[0].runs.size(), 2u);
    EXPECT_TRUE(doc.paragraphs[0].runs[0].format.bold);
    EXPECT_FALSE(doc.paragraphs[0].runs[1].format.bold);
}

TEST(RtfReader, TextThatIsNotRtfIsReadAsLines) {
    EXPECT_EQ(RtfPlainText(ReadRtf("one\r\ntwo\rthree\nfour")), "one\ntwo\nthree\nfour");
    EXPECT_EQ(ReadRtf("a\r\n\r\nb\r\n").paragraphs.size(), 3u);
    EXPECT_EQ(RtfPlainText(ReadRtf("\x93\xa7\x8b\x50\x90\xce\r\n")), "透輝石");
    EXPECT_TRUE(ReadRtf("").paragraphs.empty());
    // "{\rtf" must begin the file.
    EXPECT_EQ(RtfPlainText(ReadRtf(" {\\rtf1 x}")), " {\\rtf1 x}");
}

}  // namespace
}  // namespace dorvalix
