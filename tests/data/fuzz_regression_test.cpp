// SPDX-License-Identifier: GPL-3.0-or-later
// Inputs the fuzzers found faults with, kept under tests/data/fuzz/<target>/: each must give
// its result or a clear error, and what was read must write and read back unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "calculation.h"
#include "input_file.h"
#include "numtext.h"
#include "observation_file.h"
#include "sylk.h"
#include "text_encoding.h"

namespace dorvalix {
namespace {

std::vector<std::string> Inputs(const std::string& target) {
    std::vector<std::string> paths;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(DORVALIX_FUZZ_INPUTS) + "/" + target))
        paths.push_back(entry.path().string());
    return paths;
}

TEST(FuzzRegressions, LatReader) {
    const std::vector<std::string> inputs = Inputs("lat_reader");
    EXPECT_FALSE(inputs.empty());
    for (const std::string& path : inputs) {
        SCOPED_TRACE(path);
        const auto state = std::make_unique<CalculationState>();
        std::string sample;
        try {
            ApplyObservationFile(
                *state, sample,
                ParseObservationFile(DecodeFileText(ReadInputFile(path, Lang::English)),
                                     Lang::English));
        } catch (const DorvalixError& e) {
            EXPECT_NE(std::string(e.what()), "");
            continue;
        }
        const auto back = ParseObservationFile(
            FormatObservationFile(state->table, state->crystalSystem, sample), Lang::English);
        ASSERT_EQ(back.count, static_cast<int>(state->table.filled));
        for (int r = 1; r <= back.count; ++r) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(
                    Trim(back.rows[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c)]),
                    Trim(state->table.Cell(c, r)));
            }
        }
        RunCalculation(*state, Lang::English);
    }
}

TEST(FuzzRegressions, Sylk) {
    const std::vector<std::string> inputs = Inputs("sylk");
    EXPECT_FALSE(inputs.empty());
    for (const std::string& path : inputs) {
        SCOPED_TRACE(path);
        const std::string text = DecodeFileText(ReadInputFile(path, Lang::English));
        for (const auto& records : {SplitSylkRecords(text), TabTextToSylkRecords(text)}) {
            try {
                const SylkImport import = ReadSylkCells(records, [] { return true; });
                for (const SylkCell& cell : import.cells) {
                    EXPECT_TRUE(cell.col >= 0 && cell.col <= 3);
                    EXPECT_TRUE(cell.row >= 1 && cell.row <= kMaxObservations);
                }
            } catch (const DorvalixError&) {
            }
        }
    }
}

}  // namespace
}  // namespace dorvalix
