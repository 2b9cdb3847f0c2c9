// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern_reader.h"

#include "input_file.h"
#include "numtext.h"
#include "reader_support.h"
#include "zip_archive.h"

namespace dorvalix {

using namespace pattern_io;

namespace {

// The first line of the text that is not blank, trimmed.
std::string_view FirstLine(std::string_view text) {
    for (const std::string_view line : SplitLines(text.substr(0, 4096))) {
        if (!Trim(line).empty()) return Trim(line);
    }
    return {};
}

// GSAS data: a BANK line among the first lines, after the title.
bool LooksLikeGsas(std::string_view text) {
    const std::vector<std::string_view> lines = SplitLines(text.substr(0, 16384));
    for (std::size_t i = 1; i < lines.size() && i < 200; ++i) {
        const std::string_view t = Trim(lines[i]);
        if (t.starts_with("BANK ")) return true;
    }
    return false;
}

}  // namespace

Pattern ParsePattern(std::string_view bytes, const std::string& fileName, Lang lang) {
    if (bytes.starts_with("RAW")) return ParseBrukerRaw(bytes, fileName, lang);
    if (LooksLikeZip(bytes)) {
        ReadContext context(fileName, lang);
        bool brml = false, rasx = false;
        {
            const ZipArchive archive(bytes, context);
            for (const std::string& name : archive.Names()) {
                brml = brml || (name.find("RawData") != std::string::npos &&
                                name.starts_with("Experiment"));
                rasx = rasx ||
                       (name.starts_with("Data") && name.find("/Profile") != std::string::npos);
            }
        }
        if (brml) return ParseBrml(bytes, fileName, lang);
        if (rasx) return ParseRasx(bytes, fileName, lang);
        context.Fail(pattern_text::kUnknownFormat);
    }
    const std::string_view text = WithoutByteOrderMark(bytes);
    const std::string_view first = FirstLine(text);
    if (first.starts_with("<") &&
        text.substr(0, 4096).find("xrdMeasurements") != std::string_view::npos)
        return ParseXrdml(bytes, fileName, lang);
    if (first.starts_with("*RAS_")) return ParseRas(bytes, fileName, lang);
    if (LooksLikeGsas(text)) return ParseGsas(bytes, fileName, lang);
    if (first.starts_with("<")) {
        ReadContext(fileName, lang).Fail(pattern_text::kUnknownFormat);
    }
    return ParseXyText(bytes, fileName, lang);
}

Pattern ReadPatternFile(const std::string& path, Lang lang) {
    const std::string bytes =
        ReadInputFile(path, lang, kMaxPatternFileBytes, pattern_text::kFileTooLarge);
    return ParsePattern(bytes, path, lang);
}

}  // namespace dorvalix
