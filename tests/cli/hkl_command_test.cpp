// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli hkl, called in-process and as the installed program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli_outcome.h"
#include "commands.h"
#include "hkl_table.h"
#include "hkl_text.h"
#include "input_file.h"

namespace dorvalix {
namespace {

using cli::Outcome;
using cli::RunHkl;

std::vector<std::string> Args(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> args;
    for (std::string word; in >> word;)
        args.push_back(word);
    return args;
}

const char* const kSiliconSorted =
    "   5.4310  0  0  1  16.32\n   3.8403  1  1  0  23.16\n   3.1356  1  1  1  28.46\n"
    "   2.7155  0  0  2  32.98\n   2.4288  2  1  0  37.01\n   2.2172  2  1  1  40.69\n"
    "   1.9201  2  2  0  47.34\n   1.8103  0  0  3  50.41\n   1.8103  2  2  1  50.41\n"
    "   1.7174  3  1  0  53.34\n   1.6375  3  1  1  56.17\n   1.5678  2  2  2  58.91\n"
    "   1.5063  3  2  0  61.57\n";

TEST(HklCommand, SiliconAsymmetricUnitSorted) {
    const Outcome o =
        RunHkl(Args("--cell 5.431 5.431 5.431 90 90 90 --system 1 --range asym --sort"));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, kSiliconSorted);
    EXPECT_EQ(o.err, "");
}

// The silicon worked example with its F lattice: the all-odd and all-even reflections.
TEST(HklCommand, LatticeLeavesOutTheAbsentReflections) {
    const Outcome o = RunHkl(
        Args("--cell 5.431 5.431 5.431 90 90 90 --system 1 --range asym --sort --lattice F"));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out,
              "   3.1356  1  1  1  28.46\n   2.7155  0  0  2  32.98\n   1.9201  2  2  0  47.34\n"
              "   1.6375  3  1  1  56.17\n   1.5678  2  2  2  58.91\n");
    EXPECT_EQ(RunHkl(Args("--cell 5.431 5.431 5.431 90 90 90 --system 1 --range asym --sort "
                          "--lattice P"))
                  .out,
              kSiliconSorted);
}

// The clipboard text's lines ended by LF alone, as the command prints them.
std::string WithLineFeeds(std::string text) {
    std::erase(text, '\r');
    return text;
}

// Without options: system 0, minimum d 1.5, Cu-Ka 1.54178, every reflection, loop order;
// the lines of the clipboard text without its padding.
TEST(HklCommand, DefaultsAreThoseOfTheSettings) {
    const HklCell cell = CellFromDegrees(7.1L, 8.2L, 9.3L, 80, 95, 105);
    IndexRange range;
    ASSERT_FALSE(ComputeIndexRange(cell, 1.5L, range));
    HklTable table;
    ASSERT_FALSE(GenerateHklTable(cell, range, {0, "all", 1.54178L, 1.5L}, table));
    const Outcome o = RunHkl(Args("--cell 7.1 8.2 9.3 80 95 105"));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, WithLineFeeds(CopyHklTable(table, static_cast<int>(table.size()) + 1)));

    HklTable mo;
    ASSERT_FALSE(GenerateHklTable(cell, range, {6, "asym", 0.710678L, 1.5L}, mo));
    SortHklTable(mo);
    const std::string expected = WithLineFeeds(CopyHklTable(mo, static_cast<int>(mo.size()) + 1));
    EXPECT_EQ(RunHkl(Args("--cell 7.1 8.2 9.3 80 95 105 --xray Mo-Ka --system 6 --range asym "
                          "--sort --dmin 1.5"))
                  .out,
              expected);
    EXPECT_EQ(RunHkl(Args("--sort --wavelength 0.710678 --range asym --system 6 --cell 7.1 8.2 9.3 "
                          "80 95 105"))
                  .out,
              expected);
}

// A table of some ten thousand lines, made, sorted and written on every core, is the table
// of one thread.
TEST(HklCommand, LargerTablesAreTheOneThreadTables) {
    const HklCell cell = CellFromDegrees(12.4L, 13.1L, 9.7L, 88, 101, 93);
    IndexRange range;
    ASSERT_FALSE(ComputeIndexRange(cell, 0.6L, range));
    for (const char* choice : {"all", "asym"}) {
        HklTable table;
        ASSERT_FALSE(
            GenerateHklTable(cell, range, {6, choice, 0.710678L, 0.6L}, table, kWindowLimit, 1));
        ASSERT_GT(table.size(), 10000u);
        const std::string line = std::string("--cell 12.4 13.1 9.7 88 101 93 --system 6 ") +
                                 "--xray Mo-Ka --dmin 0.6 --range " + choice;
        const int rows = static_cast<int>(table.size()) + 1;
        EXPECT_EQ(RunHkl(Args(line)).out, WithLineFeeds(CopyHklTable(table, rows, 1)));
        SortHklTable(table, {}, 1);
        EXPECT_EQ(RunHkl(Args(line + " --sort")).out, WithLineFeeds(CopyHklTable(table, rows, 1)));
    }
}

TEST(HklCommand, WrongUsageExitsWithTwo) {
    for (const char* line : {
             "",
             "--cell 5 5 5 90 90",
             "--cell 5 5 x 90 90 90",
             "--cell 5 5 5 90 90 90 --system 9",
             // What refine --system takes, no more.
             "--cell 5 5 5 90 90 90 --system 0x5",
             "--cell 5 5 5 90 90 90 --system $5",
             "--cell 5 5 5 90 90 90 --system +5",
             "--cell 5 5 5 90 90 90 --system -0",
             "--cell 5 5 5 90 90 90 --system",
             "--cell 5 5 5 90 90 90 --dmin",
             "--cell 5 5 5 90 90 90 --dmin 1,5",
             "--cell 5 5 5 90 90 90 --range half",
             "--cell 5 5 5 90 90 90 --xray Ag-Ka",
             "--cell 5 5 5 90 90 90 --xray Cu-Ka --wavelength 1.5",
             "--cell 5 5 5 90 90 90 --wavelength 1.5 --xray Cu-Ka",
             "--cell 5 5 5 90 90 90 --sorted",
             "--cell 5 5 5 90 90 90 --lattice",
             "--cell 5 5 5 90 90 90 --lattice i",
             "--cell 5 5 5 90 90 90 --lattice X",
             "--cell 5 5 5 90 90 90 --output",
         }) {
        const Outcome o = RunHkl(Args(line));
        EXPECT_EQ(o.status, 2) << line;
        EXPECT_EQ(o.out, "") << line;
        EXPECT_NE(o.err.find("dorvalix-cli hkl: "), std::string::npos) << line;
        EXPECT_NE(o.err.find(cli::kUsage), std::string::npos) << line;
    }
}

const char* const kNotACell =
    "These cell constants describe no cell: a, b and c must be greater than 0, each angle "
    "between 0 and 180 degrees, and the volume greater than 0\n";

const char* const kWavelengthRange = "The X-ray wavelength must be a number from 0.01 to 100 Å\n";

TEST(HklCommand, RefusalsExitWithOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"--cell 5 5 5 90 90 90 --dmin 0", "The minimum d-value must be greater than 0\n"},
        {"--cell 5 5 5 90 90 90 --wavelength -1.5", kWavelengthRange},
        // Every 2θ printed as 0.00 before; and a wavelength no reflection has a 2θ at.
        {"--cell 5 5 5 90 90 90 --wavelength 1e-4000", kWavelengthRange},
        {"--cell 5 5 5 90 90 90 --wavelength 100.5", kWavelengthRange},
        {"--cell 0 5 5 90 90 90", "Set Cell Constant\n"},
        {"--cell 100 100 100 90 90 90 --dmin 0.1",
         "The hkl range holds more than 2,000,000,000 indices: set a larger minimum d-value\n"},
        // Some 900 million reflections, refused once a hundred million are counted.
        {"--cell 60 60 60 90 90 90 --dmin 0.1 --wavelength 0.1",
         "The table would hold more than 100,000,000 reflections: set a larger minimum "
         "d-value\n"},
        // Numbers that describe no cell: the window's message.
        {"--cell 5 5 5 150 150 150", kNotACell},
        {"--cell 5 5 5 120 120 120", kNotACell},
        {"--cell 5 5 5 180 90 90", kNotACell},
        {"--cell 5 5 5 360 360 360", kNotACell},
        {"--cell -5.431 5.431 5.431 90 90 90", kNotACell},
        {"--cell 5 5 5 90 90 90 --output /nonexistent/t.txt",
         "dorvalix-cli: No such file or directory: /nonexistent/t.txt.\n"},
    };
    for (const auto& [line, message] : cases) {
        const Outcome o = RunHkl(Args(line));
        EXPECT_EQ(o.status, 1) << line;
        EXPECT_EQ(o.out, "") << line;
        EXPECT_EQ(o.err, message) << line;
    }
}

// --output writes the same lines to a file, through the atomic writer.
TEST(HklCommand, OutputToAFile) {
    char folder[] = "/tmp/dorvalix-hkl-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/silicon.txt";
    const std::string line = "--cell 5.431 5.431 5.431 90 90 90 --system 1 --range asym --sort";
    Outcome o = RunHkl(Args(line + " --output " + path));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(ReadInputFile(path, Lang::English), kSiliconSorted);
    // A refused table leaves the file as it was.
    o = RunHkl(Args("--cell 5 5 5 120 120 120 --output " + path));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(ReadInputFile(path, Lang::English), kSiliconSorted);
    std::filesystem::remove_all(folder);
}

TEST(HklCommand, TheProgram) {
    Outcome o =
        cli::RunBinary("hkl --cell 5.431 5.431 5.431 90 90 90 --system 1 --range asym --sort");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, kSiliconSorted);

    o = cli::RunBinary("hkl --cell 5.431");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.out.find("usage: dorvalix-cli"), std::string::npos);

    o = cli::RunBinary("hkl --cell 5.431 5.431 5.431 90 90 90 --dmin 0");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "The minimum d-value must be greater than 0\n");
}

}  // namespace
}  // namespace dorvalix
