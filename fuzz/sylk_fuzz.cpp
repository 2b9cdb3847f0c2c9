// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: SYLK records and tab-separated text into the observation table.
// Any input must give cells or a DorvalixError, never a write outside columns 0..3 and
// rows 1..300, and nothing in the table when it fails.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "errors.h"
#include "numtext.h"
#include "observation_table.h"
#include "sylk.h"
#include "text_encoding.h"

using namespace dorvalix;

namespace {

void Check(const std::vector<SylkRecord>& records, bool answer) {
    auto table = std::make_unique<ObservationTable>();
    SylkImport import;
    try {
        import = ReadSylkCells(records, [answer] { return answer;
    });
}
catch (const DorvalixError&) {
    return;
}
for (const SylkCell& cell : import.cells) {
    if (cell.col < 0 || cell.col > 3 || cell.row < 1 || cell.row > kMaxObservations) {
        std::fprintf(stderr, "cell outside the table: column %d row %d\n", cell.col, cell.row);
        std::abort();
    }
}
if (import.lastRow < 0 || import.lastRow > kMaxObservations) std::abort();
if (import.blockRows < 0 || (import.blockRows <= kMaxObservations && !import.cells.empty() &&
                             import.blockRows < import.cells.back().row))
    std::abort();
ApplySylkCells(*table, import);
NormalizeCells(*table);
try {
    SortRows(*table);
} catch (const DorvalixError&) {
}
}  // namespace

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text =
        DecodeFileText(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool answer = size % 2 == 0;
    Check(SplitSylkRecords(text), answer);
    Check(TabTextToSylkRecords(text), !answer);
    try {
        Check(SplitSylkFile(text, Lang::English), answer);
    } catch (const DorvalixError&) {
    }
    LooksLikeSylk(text);
    // A message quotes any bytes without a control character, and at most 80 characters.
    for (const std::string_view input :
         {std::string_view(text), std::string_view(reinterpret_cast<const char*>(data), size)}) {
        for (const std::string& quoted : {QuoteForMessage(input), QuotePathForMessage(input)}) {
            if (quoted.size() > kQuotedTextLimit * 4 + 3) std::abort();
            for (const char c : quoted) {
                const auto b = static_cast<unsigned char>(c);
                if (b < 0x20 || b == 0x7F) std::abort();
            }
        }
    }
    return 0;
}
