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
    LooksLikeSylk(text);
    return 0;
}
