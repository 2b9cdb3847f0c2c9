// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the RTF reader. Any input gives a document, and what it gives is what
// the principle window can show: valid UTF-8 without control characters other than tab,
// no empty runs, neighbouring runs in different formats, sizes within the kept range.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "rtf_reader.h"
#include "text_encoding.h"

using namespace dorvalix;

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const RtfDocument document = ReadRtf(bytes);
    const bool rtf = bytes.starts_with("{\\rtf");
    for (const RtfParagraph& paragraph : document.paragraphs) {
        for (std::size_t i = 0; i < paragraph.runs.size(); ++i) {
            const RtfRun& run = paragraph.runs[i];
            if (run.text.empty()) Fail("an empty run");
            if (!IsValidUtf8(run.text)) Fail("a run that is not UTF-8");
            if (i > 0 && paragraph.runs[i - 1].format == run.format)
                Fail("two neighbouring runs in the same format");
            if (run.format.halfPoints < kRtfMinHalfPoints ||
                run.format.halfPoints > kRtfMaxHalfPoints)
                Fail("a size out of range");
            if (!rtf) continue;  // plain text keeps its own characters
            for (const char c : run.text) {
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                    Fail("a control character in the text");
            }
        }
    }
    return 0;
}
