// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the .lat reader, the writer and a run on whatever was read.
// Any input must give contents or a DorvalixError; what was read must write and read back
// unchanged; the run and the report must not crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "calculation.h"
#include "crystal_system.h"
#include "errors.h"
#include "numtext.h"
#include "observation_file.h"
#include "results_report.h"
#include "text_encoding.h"

using namespace dorvalix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text =
        DecodeFileText(std::string_view(reinterpret_cast<const char*>(data), size));
    const Lang lang = size % 2 == 0 ? Lang::English : Lang::Japanese;
    auto state = std::make_unique<CalculationState>();
    std::string sample;
    try {
        ApplyObservationFile(*state, sample, ParseObservationFile(text, lang));
    } catch (const DorvalixError&) {
        return 0;
    }

    // Written and read back, every index and d text reads as it stands in the table.
    // (Without observations the sample name would be read from line 1; no such file is
    // ever written.)
    if (state->table.filled == 0) return 0;
    const std::string written = FormatObservationFile(state->table, state->crystalSystem, sample);
    ObservationFileContents back;
    try {
        back = ParseObservationFile(written, lang);
    } catch (const DorvalixError& e) {
        std::fprintf(stderr, "written file does not read back: %s\n", e.what());
        std::abort();
    }
    if (back.sampleName != sample || back.crystalSystem != state->crystalSystem ||
        back.count != static_cast<int>(state->table.filled)) {
        std::fprintf(stderr, "round trip changed the sample name, code or count\n");
        std::abort();
    }
    for (int r = 1; r <= back.count; ++r) {
        const ObservationTable::Row& row = back.rows[static_cast<std::size_t>(r - 1)];
        for (int c = 0; c < 4; ++c) {
            if (Trim(row[static_cast<std::size_t>(c)]) != Trim(state->table.Cell(c, r))) {
                std::fprintf(stderr, "round trip changed cell %d of row %d\n", c, r);
                std::abort();
            }
        }
    }

    const RunReport run = RunCalculation(*state, lang);
    if (run.completed) {
        ResultsReportInput in;
        in.lang = lang;
        in.sampleName = sample;
        in.systemLabel = CrystalSystemName(state->crystalSystem, lang);
        in.panel = &state->panel;
        in.table = &state->table;
        in.result = &state->result;
        JoinReportLines(BuildResultsReport(in));
    }
    return 0;
}
