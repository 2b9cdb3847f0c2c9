// SPDX-License-Identifier: GPL-3.0-or-later
// The reader follows the Rich Text Format Specification, version 1.9.1 (Microsoft, 2008):
// a document is nested groups of control words, control symbols and text; character and
// paragraph properties belong to the group they are set in, and a destination group marked
// with \* may be skipped by a reader that does not know it.
#include "rtf_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <utility>

#include "text_encoding.h"

namespace dorvalix {

namespace {

// Deeper groups share their parent's properties: a hostile file cannot grow the stack.
constexpr std::size_t kMaxDepth = 256;
constexpr int kMaxWordLength = 32;  // letters of a control word
constexpr int kMaxDigits = 10;      // digits of its parameter

constexpr std::string_view kLineSeparator = "\u2028";
constexpr std::string_view kReplacement = "\uFFFD";

// Where the text of a group goes.
enum class Destination { Text, Skip, FontTable, ColourTable };

struct GroupState {
    RtfCharFormat format;
    RtfAlignment alignment = RtfAlignment::Left;
    int font = -1;             // \f: index into the font table, -1 for the document's default
    int skipAfterUnicode = 1;  // \uc: characters that stand in for each \u
    bool doubleByte = false;   // \dbch: the text that follows is double-byte (East Asian)
    Destination destination = Destination::Text;
};

// The code page a font's \fcharset names (Windows character-set numbers); 0 for "the
// document's own" (DEFAULT_CHARSET), 1252 for any other.
int CharsetCodePage(int charset) {
    static constexpr std::pair<int, int> kCodePages[] = {
        {1, 0},      {128, 932},  {129, 949},  {134, 936},  {136, 950},  {161, 1253}, {162, 1254},
        {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874},  {238, 1250},
    };
    for (const auto& [set, page] : kCodePages) {
        if (set == charset) return page;
    }
    return 1252;
}

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

// Groups whose content is never text a reader shows.
bool IsSkippedDestination(std::string_view word) {
    static constexpr std::array<std::string_view, 33> kSkipped = {
        "author",     "buptim",       "colorschememapping",
        "comment",    "creatim",      "datastore",
        "doccomm",    "fldinst",      "filetbl",
        "footer",     "footerf",      "footerl",
        "footerr",    "footnote",     "header",
        "headerf",    "headerl",      "headerr",
        "info",       "latentstyles", "listoverridetable",
        "listtable",  "nonshppict",   "object",
        "pgdsctbl",   "pict",         "printim",
        "revtbl",     "revtim",       "rsidtbl",
        "stylesheet", "themedata",    "xmlnstbl",
    };
    return std::find(kSkipped.begin(), kSkipped.end(), word) != kSkipped.end();
}

class Reader {
  public:
    explicit Reader(std::string_view bytes) : in_(bytes) {}

    RtfDocument Read() {
        stack_.push_back(GroupState{});
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            switch (c) {
                case '{':
                    OpenGroup();
                    break;
                case '}':
                    CloseGroup();
                    if (stack_.size() == 1 && extraDepth_ == 0 && seenGroup_) pos_ = in_.size();
                    break;
                case '\\':
                    ControlSequence();
                    break;
                case '\r':
                case '\n':
                    break;  // line ends of the file are not text
                case '\t':
                    Character(U'\t');
                    break;
                default:
                    TextByte(static_cast<unsigned char>(c));
                    break;
            }
        }
        FlushBytes();
        EndParagraph(/*keepEmpty=*/false);
        return std::move(document_);
    }

  private:
    GroupState& State() { return stack_.back(); }

    void OpenGroup() {
        FlushBytes();
        skip_ = 0;
        seenGroup_ = true;
        if (stack_.size() >= kMaxDepth) {
            ++extraDepth_;
            return;
        }
        stack_.push_back(stack_.back());
        pendingStar_ = false;
        groupStart_ = true;
    }

    void CloseGroup() {
        FlushBytes();
        skip_ = 0;
        pendingStar_ = false;
        groupStart_ = false;
        if (extraDepth_ > 0) {
            --extraDepth_;
            return;
        }
        if (stack_.back().destination == Destination::ColourTable && stack_.size() > 1 &&
            stack_[stack_.size() - 2].destination != Destination::ColourTable) {
            // A table whose last entry lacks its ";" still has that entry.
            if (colourHasValue_) EndColour();
        }
        // The document's last paragraph keeps the alignment of the document's group.
        if (stack_.size() == 2) EndParagraph(/*keepEmpty=*/false);
        if (stack_.size() > 1) stack_.pop_back();
    }

    void ControlSequence() {
        if (pos_ >= in_.size()) return;
        const char c = in_[pos_];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            ControlWord();
            return;
        }
        ++pos_;
        const bool first = groupStart_;
        groupStart_ = false;
        switch (c) {
            case '\'': {
                // A broken escape is dropped with the one hex digit it has.
                const int high = pos_ < in_.size() ? HexDigit(in_[pos_]) : -1;
                if (high < 0) return;
                ++pos_;
                const int low = pos_ < in_.size() ? HexDigit(in_[pos_]) : -1;
                if (low < 0) return;
                ++pos_;
                TextByte(static_cast<unsigned char>(high * 16 + low));
                return;
            }
            case '*':
                if (first) pendingStar_ = true;
                groupStart_ = first;  // the destination's word follows
                return;
            case '\\':
            case '{':
            case '}':
                TextByte(static_cast<unsigned char>(c));
                return;
            case '~':
                Character(U'\u00A0');
                return;
            case '_':
                Character(U'\u2011');
                return;
            case '\r':
            case '\n':
                Symbol([this] { EndParagraph(true); });
                return;
            default:
                // \- (optional hyphen), \: and \| (index and formula marks), anything else.
                Symbol([] {});
                return;
        }
    }

    void ControlWord() {
        std::string word;
        while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])) &&
               word.size() < kMaxWordLength)
            word += in_[pos_++];
        while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])))
            ++pos_;  // an overlong word is cut, never split into two
        bool hasParam = false;
        bool negative = false;
        long long param = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            std::isdigit(static_cast<unsigned char>(in_[pos_ + 1]))) {
            negative = true;
            ++pos_;
        }
        int digits = 0;
        while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
            if (digits < kMaxDigits) param = param * 10 + (in_[pos_] - '0');
            ++digits;
            ++pos_;
            hasParam = true;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiter
        const int value = static_cast<int>(
            std::clamp<long long>(negative ? -param : param, -2147483647LL, 2147483647LL));

        const bool first = groupStart_;
        const bool star = pendingStar_;
        groupStart_ = false;
        pendingStar_ = false;

        if (word == "bin") {
            // Binary data of that many bytes follows, never text.
            FlushBytes();
            const std::size_t n = hasParam && value > 0 ? static_cast<std::size_t>(value) : 0;
            pos_ += std::min(n, in_.size() - pos_);
            return;
        }
        if (first && (star || IsSkippedDestination(word))) {
            if (word == "fonttbl" || word == "colortbl") {
                // The tables are read even where a writer marks them ignorable.
            } else {
                FlushBytes();
                State().destination = Destination::Skip;
                return;
            }
        }
        if (State().destination == Destination::Skip) return;
        if (word == "fonttbl") {
            FlushBytes();
            State().destination = Destination::FontTable;
            return;
        }
        if (word == "colortbl") {
            FlushBytes();
            State().destination = Destination::ColourTable;
            colourHasValue_ = false;
            colour_ = {};
            return;
        }
        switch (State().destination) {
            case Destination::FontTable:
                FontTableWord(word, value);
                return;
            case Destination::ColourTable:
                ColourTableWord(word, value);
                return;
            default:
                break;
        }
        TextWord(word, hasParam, value);
    }

    void FontTableWord(const std::string& word, int value) {
        if (word == "f") {
            fontEntry_ = value;
        } else if (word == "fcharset") {
            fontCodePages_[fontEntry_] = CharsetCodePage(value);
        }
    }

    void ColourTableWord(const std::string& word, int value) {
        const auto v = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
        if (word == "red") {
            colour_.red = v;
        } else if (word == "green") {
            colour_.green = v;
        } else if (word == "blue") {
            colour_.blue = v;
        } else {
            return;  // tints, shades and theme colours
        }
        colourHasValue_ = true;
    }

    void EndColour() {
        if (colours_.size() < 4096)
            colours_.push_back(colourHasValue_ ? std::optional<RtfColour>(colour_) : std::nullopt);
        colour_ = {};
        colourHasValue_ = false;
    }

    // A control word in the document's text. The associated properties \ab, \ai, \afs and
    // \af describe the East Asian (or right-to-left) text beside the Latin one; they count
    // for the text that follows \dbch, the only such text this reader shows apart.
    void TextWord(const std::string& word, bool hasParam, int value) {
        const bool on = !hasParam || value != 0;
        // Words that stand for a character count as one of those \u skips.
        if (skip_ > 0) {
            --skip_;
            return;
        }
        RtfCharFormat& f = State().format;
        auto format = [&](auto change) {
            FlushBytes();
            change();
        };
        if (word == "par" || word == "sect" || word == "page") {
            FlushBytes();
            EndParagraph(true);
        } else if (word == "row" || word == "nestrow") {
            // A row's last cell ends with \cell too: no tab after it.
            FlushBytes();
            std::vector<RtfRun>& runs = paragraph_.runs;
            if (!runs.empty() && runs.back().text.ends_with('\t')) {
                runs.back().text.pop_back();
                if (runs.back().text.empty()) runs.pop_back();
            }
            EndParagraph(true);
        } else if (word == "line") {
            Character(U'\u2028');
        } else if (word == "tab" || word == "cell" || word == "nestcell") {
            Character(U'\t');
        } else if (word == "u") {
            Unicode(value);
        } else if (word == "uc") {
            State().skipAfterUnicode = std::clamp(value, 0, 16);
        } else if (word == "ansicpg") {
            FlushBytes();
            ansiCodePage_ = value;
        } else if (word == "deff") {
            defaultFont_ = value;
        } else if (word == "loch" || word == "hich") {
            State().doubleByte = false;
        } else if (word == "dbch") {
            State().doubleByte = true;
        } else if (word == "f" || (word == "af" && State().doubleByte)) {
            format([&] { State().font = value; });
        } else if (word == "b" || (word == "ab" && State().doubleByte)) {
            format([&] { f.bold = on; });
        } else if (word == "i" || (word == "ai" && State().doubleByte)) {
            format([&] { f.italic = on; });
        } else if (word == "ulnone") {
            format([&] { f.underline = false; });
        } else if (word.starts_with("ul") && word != "ulc") {
            // \ul, \uld, \uldb, \ulw, \ulwave, ...: every kind of underline.
            format([&] { f.underline = on; });
        } else if (word == "fs" || (word == "afs" && State().doubleByte)) {
            format([&] {
                f.halfPoints = hasParam ? std::clamp(value, kRtfMinHalfPoints, kRtfMaxHalfPoints)
                                        : RtfCharFormat{}.halfPoints;
            });
        } else if (word == "cf") {
            format([&] {
                const bool known = value >= 0 && static_cast<std::size_t>(value) < colours_.size();
                f.colour = known ? colours_[static_cast<std::size_t>(value)] : std::nullopt;
            });
        } else if (word == "super") {
            format([&] { f.position = RtfPosition::Superscript; });
        } else if (word == "sub") {
            format([&] { f.position = RtfPosition::Subscript; });
        } else if (word == "nosupersub") {
            format([&] { f.position = RtfPosition::Baseline; });
        } else if (word == "up") {
            format([&] { f.position = on ? RtfPosition::Superscript : RtfPosition::Baseline; });
        } else if (word == "dn") {
            format([&] { f.position = on ? RtfPosition::Subscript : RtfPosition::Baseline; });
        } else if (word == "plain") {
            format([&] {
                f = RtfCharFormat{};
                State().font = -1;
                State().doubleByte = false;
            });
        } else if (word == "pard") {
            State().alignment = RtfAlignment::Left;
        } else if (word == "ql") {
            State().alignment = RtfAlignment::Left;
        } else if (word == "qc") {
            State().alignment = RtfAlignment::Centre;
        } else if (word == "qr") {
            State().alignment = RtfAlignment::Right;
        } else if (word == "qj" || word == "qd") {
            State().alignment = RtfAlignment::Justified;
        } else if (word == "emdash") {
            Character(U'\u2014');
        } else if (word == "endash") {
            Character(U'\u2013');
        } else if (word == "bullet") {
            Character(U'\u2022');
        } else if (word == "lquote") {
            Character(U'\u2018');
        } else if (word == "rquote") {
            Character(U'\u2019');
        } else if (word == "ldblquote") {
            Character(U'\u201C');
        } else if (word == "rdblquote") {
            Character(U'\u201D');
        } else if (word == "emspace") {
            Character(U'\u2003');
        } else if (word == "enspace") {
            Character(U'\u2002');
        }
        // Every other word (page and paragraph layout, fonts' families, revision marks)
        // changes nothing the reader shows.
    }

    template <typename Action>
    void Symbol(Action action) {
        if (State().destination != Destination::Text) return;
        if (skip_ > 0) {
            --skip_;
            return;
        }
        FlushBytes();
        action();
    }

    // \uN: a UTF-16 code unit as a signed 16-bit number; the characters that stand in for it
    // in older readers follow and are skipped.
    void Unicode(int value) {
        FlushBytes();
        const int unit = value < 0 ? value + 65536 : value;
        skip_ = State().skipAfterUnicode;
        if (unit < 0 || unit > 0xFFFF) {
            AppendText(kReplacement);
            return;
        }
        const auto u = static_cast<char32_t>(unit);
        if (u >= 0xD800 && u <= 0xDBFF) {
            EndLoneSurrogate();
            highSurrogate_ = u;
            return;
        }
        if (u >= 0xDC00 && u <= 0xDFFF) {
            if (!highSurrogate_) {
                AppendText(kReplacement);
                return;
            }
            const char32_t c = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (u - 0xDC00);
            highSurrogate_ = 0;
            std::string s;
            AppendUtf8(s, c);
            AppendText(s);
            return;
        }
        Character(u, /*counts=*/false);
    }

    // A character given by the document (not by bytes of its code page).
    void Character(char32_t c, bool counts = true) {
        if (State().destination != Destination::Text) return;
        if (counts && skip_ > 0) {
            --skip_;
            return;
        }
        FlushBytes();
        if (c < 0x20 && c != U'\t') return;
        std::string s;
        AppendUtf8(s, c);
        AppendText(s);
    }

    // A byte of text in the current font's code page, raw or written as \'hh.
    void TextByte(unsigned char byte) {
        switch (State().destination) {
            case Destination::Text:
                break;
            case Destination::ColourTable:
                if (byte == ';') EndColour();
                return;
            default:
                return;
        }
        if (skip_ > 0) {
            --skip_;
            return;
        }
        if (byte < 0x20) return;
        const int codePage = CurrentCodePage();
        if (!bytes_.empty() && (codePage != bytesCodePage_ || !(bytesFormat_ == State().format)))
            FlushBytes();
        if (bytes_.empty()) {
            bytesCodePage_ = codePage;
            bytesFormat_ = State().format;
        }
        bytes_ += static_cast<char>(byte);
    }

    int CurrentCodePage() const {
        const int font = stack_.back().font >= 0 ? stack_.back().font : defaultFont_;
        const auto it = fontCodePages_.find(font);
        if (it != fontCodePages_.end() && it->second != 0) return it->second;
        return ansiCodePage_;
    }

    // Bytes are decoded together, so that a double-byte character written as two \'hh
    // escapes stays one character.
    void FlushBytes() {
        if (bytes_.empty()) return;
        const std::string text = DecodeCodePage(bytes_, bytesCodePage_);
        bytes_.clear();
        AppendRun(text, bytesFormat_);
    }

    void AppendText(std::string_view text) { AppendRun(text, State().format); }

    // A high surrogate that no low one followed.
    void EndLoneSurrogate() {
        if (!highSurrogate_) return;
        highSurrogate_ = 0;
        AppendRun(kReplacement, State().format);
    }

    void AppendRun(std::string_view text, const RtfCharFormat& format) {
        if (text.empty()) return;
        EndLoneSurrogate();
        std::vector<RtfRun>& runs = paragraph_.runs;
        if (runs.empty() || !(runs.back().format == format)) runs.push_back({{}, format});
        runs.back().text += text;
    }

    // A paragraph takes the alignment in force where it ends.
    void EndParagraph(bool keepEmpty) {
        EndLoneSurrogate();
        if (!keepEmpty && paragraph_.runs.empty()) return;
        paragraph_.alignment = State().alignment;
        document_.paragraphs.push_back(std::move(paragraph_));
        paragraph_ = {};
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    std::vector<GroupState> stack_;
    std::size_t extraDepth_ = 0;  // groups opened beyond kMaxDepth
    bool seenGroup_ = false;
    bool groupStart_ = false;   // nothing but "{" (and "\*") read in this group yet
    bool pendingStar_ = false;  // "{\*" read: the destination that follows is ignorable
    int skip_ = 0;              // characters still to skip after a \u
    char32_t highSurrogate_ = 0;

    int ansiCodePage_ = 1252;
    int defaultFont_ = 0;
    int fontEntry_ = 0;
    std::map<int, int> fontCodePages_;
    std::vector<std::optional<RtfColour>> colours_;
    RtfColour colour_;
    bool colourHasValue_ = false;

    std::string bytes_;  // text bytes not yet decoded
    int bytesCodePage_ = 1252;
    RtfCharFormat bytesFormat_;

    RtfParagraph paragraph_;
    RtfDocument document_;
};

RtfDocument ReadPlainText(std::string_view bytes) {
    const std::string text = DecodeFileText(bytes);
    RtfDocument document;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        RtfParagraph paragraph;
        if (end > start) paragraph.runs.push_back({text.substr(start, end - start), {}});
        document.paragraphs.push_back(std::move(paragraph));
        // CR LF, LF or CR ends a line; a last line without one counts too.
        if (end == text.size()) break;
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return document;
}

}  // namespace

RtfDocument ReadRtf(std::string_view bytes) {
    if (!bytes.starts_with("{\\rtf")) return ReadPlainText(bytes);
    return Reader(bytes).Read();
}

std::string RtfPlainText(const RtfDocument& document) {
    std::string out;
    for (std::size_t i = 0; i < document.paragraphs.size(); ++i) {
        if (i > 0) out += '\n';
        for (const RtfRun& run : document.paragraphs[i].runs)
            out += run.text;
    }
    return out;
}

}  // namespace dorvalix
