// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli index and assign, called in-process: their outputs read back by a strict
// JSON reader and the .lat reader, their exit status, their refusals.
#include <gtest/gtest.h>

#include <sstream>

#include "cli_outcome.h"
#include "commands.h"
#include "input_file.h"
#include "json_reader.h"
#include "observation_file.h"
#include "test_files.h"

namespace dorvalix {
namespace {

using cli::Outcome;

Outcome Index(const std::vector<std::string>& args) {
    return cli::Run(cli::RunIndexCommand, args);
}
Outcome Assign(const std::vector<std::string>& args) {
    return cli::Run(cli::RunAssignCommand, args);
}

indexing::JsonValue Json(const std::string& text) {
    std::string error;
    const auto v = indexing::ParseJson(text, error);
    EXPECT_TRUE(v) << error << "\n" << text;
    return v ? *v : indexing::JsonValue{};
}

long double Number(const indexing::JsonValue* v) {
    EXPECT_NE(v, nullptr);
    return v != nullptr ? std::stold(v->text) : 0;
}

// Silicon (a = 5.4309 Å) with Cu Kα1, as dorvalix-cli peaks writes it, and an impurity line.
const char* const kSiliconPeaks = R"({"file": "si.xy", "format": "xy", "scan": 1,
  "wavelength": {"ka1": 1.540593, "ka2": 1.544414, "ratio": 0.5, "from": "file"},
  "peaks": [{"two_theta": 28.4425, "height": 1000}, {"two_theta": 47.3030, "height": 600},
            {"two_theta": 56.1227, "height": 350}, {"two_theta": 61.4000, "height": 30},
            {"two_theta": 69.1304, "height": 90}, {"two_theta": 76.3767, "height": 130},
            {"two_theta": 88.0307, "height": 160}, {"two_theta": 94.9531, "height": 90},
            {"two_theta": 106.7092, "height": 50}, {"two_theta": 114.0930, "height": 90},
            {"two_theta": 127.5457, "height": 80}]})";

class IndexCommand : public test::TempFolder {};

TEST_F(IndexCommand, SiliconAsJson) {
    const std::string peaks = Write("si.json", kSiliconPeaks);
    const Outcome o = Index({peaks});
    EXPECT_EQ(o.status, 0) << o.err;
    const indexing::JsonValue doc = Json(o.out);
    const indexing::JsonValue* solutions = doc.Find("solutions");
    ASSERT_TRUE(solutions != nullptr && !solutions->items.empty());
    const indexing::JsonValue& best = solutions->items.front();
    EXPECT_EQ(best.Find("bravais")->text, "cF");
    EXPECT_EQ(Number(best.Find("system")), 1);
    EXPECT_NEAR(Number(&best.Find("cell")->items[0]), 5.4309L, 2e-4L);
    EXPECT_GT(Number(best.Find("M20")), 10);
    // The impurity at 61.4° is line 4, unindexed; the others are indexed.
    ASSERT_EQ(best.Find("unindexed")->items.size(), 1u);
    EXPECT_EQ(best.Find("unindexed")->items[0].text, "4");
    EXPECT_EQ(best.Find("lines")->items.size(), 11u);
    EXPECT_EQ(best.Find("lines")->items[0].Find("h")->text, "1");
    EXPECT_EQ(best.Find("extinction_symbols")->items.front().Find("symbol")->text, "F d - -");
    EXPECT_EQ(doc.Find("searched")->Find("stopped")->text, "complete");
    EXPECT_NE(doc.Find("elapsed_s"), nullptr);
}

TEST_F(IndexCommand, TextTableAndOutputFile) {
    const std::string peaks = Write("si.json", kSiliconPeaks);
    const Outcome o = Index({peaks, "--format", "text", "--top", "3"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("Rank 1: Cubic, cF"), std::string::npos) << o.out;
    const std::string file = dir + "/result.json";
    const Outcome written = Index({peaks, "--output", file});
    EXPECT_EQ(written.status, 0);
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(Json(ReadInputFile(file, Lang::English))
                  .Find("solutions")
                  ->items.front()
                  .Find("bravais")
                  ->text,
              "cF");
}

// 2θ with no wavelength anywhere is refused; the option supplies it.
TEST_F(IndexCommand, TwoThetaNeedsAWavelength) {
    const std::string peaks = Write("si.xy",
                                    "28.4425 1000\n47.3030 600\n56.1227 350\n69.1304 90\n"
                                    "76.3767 130\n88.0307 160\n94.9531 90\n106.7092 50\n");
    const Outcome refused = Index({peaks});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("give --wavelength or --xray"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
    const Outcome o = Index({peaks, "--xray", "Cu-Ka1", "--systems", "cubic"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(Json(o.out).Find("searched")->Find("wavelength")->text, "1.5405");
}

TEST_F(IndexCommand, NothingFoundIsStatusOneWithTheReason) {
    const std::string peaks =
        Write("odd.txt", "# wavelength 1.5406\n11.3 5\n17.9 5\n23.1 5\n29.0 5\n33.4 5\n41.7 5\n");
    const Outcome o =
        Index({peaks, "--systems", "cubic,hexagonal", "--impurities", "0", "--format", "text"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.out.find("No solution: no cell indexes 6 of the 6 lines"), std::string::npos)
        << o.out;
    EXPECT_NE(o.err.find("dorvalix-cli index: no solution:"), std::string::npos) << o.err;
}

TEST(IndexCommandUsage, WrongUsageIsStatusTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{},
          {"p.json", "--systems", "cubic,cubes"},
          {"p.json", "--lines", "2"},
          {"p.json", "--tolerance", "0"},
          {"p.json", "--format", "xml"},
          {"p.json", "--bogus"},
          {"p.json", "q.json"},
          {"p.json", "--wavelength", "1.54", "--xray", "Cu-Ka"},
          {"p.json", "--xray", "Ag-Ka"}}) {
        const Outcome o = Index(args);
        EXPECT_EQ(o.status, 2) << testing::PrintToString(args);
        EXPECT_NE(o.err.find("usage: dorvalix-cli"), std::string::npos);
    }
}

// The diopside example given a cell off by 1 % and 1°: the .lat written is the example's
// own observations, which the main window reads.
TEST_F(IndexCommand, AssignWritesTheObservationFile) {
    const std::vector<std::string> base = {cli::kExample, "--cell", "9.6554", "9.0220",   "5.2027",
                                           "90",          "104.83", "90",     "--system", "5"};
    std::vector<std::string> args = base;
    args.insert(args.end(), {"--lattice", "C"});
    const Outcome o = Assign(args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    const ObservationFileContents got = ParseObservationFile(o.out, Lang::English);
    const ObservationFileContents want = ReadObservationFile(cli::kExample, Lang::English);
    EXPECT_EQ(got.crystalSystem, 5);
    EXPECT_EQ(got.sampleName, "diopside.lat (indexed)");
    ASSERT_EQ(got.count, want.count);
    for (std::size_t i = 0; i < got.rows.size(); ++i)
        EXPECT_EQ(got.rows[i], want.rows[i]) << "row " << i + 1;

    args = base;
    args.insert(args.end(), {"--space-group", "C 2/c", "--format", "json"});
    const Outcome json = Assign(args);
    EXPECT_EQ(json.status, 0) << json.err;
    const indexing::JsonValue doc = Json(json.out);
    EXPECT_EQ(doc.Find("reflections")->text, "C 1 2/c 1");
    EXPECT_EQ(doc.Find("indexed")->text, "7");
    EXPECT_EQ(doc.Find("cell_sd")->items[3].kind, indexing::JsonValue::Kind::Null);
    EXPECT_NEAR(Number(&doc.Find("cell")->items[4]), 105.833L, 1e-3L);
}

TEST(AssignCommandUsage, WrongUsageIsStatusTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{cli::kExample, "--system", "5"},
          {cli::kExample, "--cell", "1", "2", "3", "90", "90"},
          {cli::kExample, "--cell", "9.7", "8.9", "5.2", "90", "105", "90"},
          {cli::kExample, "--cell", "9.7", "8.9", "5.2", "90", "105", "90", "--system", "9"},
          {cli::kExample, "--cell", "9.7", "8.9", "5.2", "90", "105", "90", "--system", "5",
           "--lattice", "C", "--space-group", "C 2/c"},
          {cli::kExample, "--cell", "9.7", "8.9", "5.2", "90", "105", "90", "--system", "5",
           "--space-group", "X 9"},
          {cli::kExample, "--cell", "9.7", "8.9", "5.2", "90", "105", "90", "--system", "5",
           "--format", "csv"}}) {
        const Outcome o = Assign(args);
        EXPECT_EQ(o.status, 2) << testing::PrintToString(args);
        EXPECT_NE(o.err.find("usage: dorvalix-cli"), std::string::npos) << o.err;
    }
}

// A cell that is no cell, and a file that cannot be read, are refused with status 1.
TEST(AssignCommandUsage, RefusalsAreStatusOne) {
    const Outcome bad =
        Assign({cli::kExample, "--cell", "9.7", "8.9", "5.2", "90", "190", "90", "--system", "5"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("the six numbers describe no cell"), std::string::npos) << bad.err;
    const Outcome missing = Assign(
        {"/nonexistent/peaks.json", "--cell", "5", "5", "5", "90", "90", "90", "--system", "1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("peaks.json"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace dorvalix
