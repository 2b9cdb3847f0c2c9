// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli pattern and peaks: the scans as read, the peaks as text, JSON and an
// observation file, and every wrong command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_outcome.h"
#include "commands.h"
#include "input_file.h"
#include "observation_file.h"
#include "synthetic_pattern.h"
#include "test_files.h"

namespace dorvalix {
namespace {

using cli::Outcome;
using cli::Run;

Outcome RunPattern(const std::vector<std::string>& args) {
    return Run(cli::RunPatternCommand, args);
}
Outcome RunPeaks(const std::vector<std::string>& args) {
    return Run(cli::RunPeaksCommand, args);
}

// Three Cu Kα doublets on a background, as a file without a wavelength.
const std::vector<test::Reflection> kThree = {{28.442, 20000}, {47.302, 12000}, {56.121, 7000}};

class PatternCommands : public test::TempFolder {
  protected:
    void SetUp() override {
        TempFolder::SetUp();
        test::Synthetic s;
        s.start = 20;
        s.step = 0.02;
        s.points = 2001;
        s.lines = test::CuDoublet();
        s.reflections = kThree;
        xy = Write("silicon.xy", test::XyText(test::MakeScan(s)));
    }
    std::string xy;
};

TEST_F(PatternCommands, PatternPrintsTheScansAsRead) {
    const std::string file = Write("two.xy", "# made by hand\n10 100\n10.02 110.5\n");
    Outcome o = RunPattern({file});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "# scan 1\n10 100\n10.02 110.5\n");
    o = RunPattern({file, "--format", "json", "--scan", "1"});
    EXPECT_EQ(o.status, 0);
    for (const char* part : {"\"format\": \"xy\"",
                             "\"wavelength\": {\"ka1\": null, \"ka2\": null, \"ratio\": null, "
                             "\"stated\": false}",
                             "\"points\": 2", "\"two_theta\": [10, 10.02]",
                             "\"counts\": [100, 110.5]", "\"su\": null"})
        EXPECT_NE(o.out.find(part), std::string::npos) << part << "\n" << o.out;
    // --output replaces the file with what would have gone to standard output.
    const std::string out = dir + "/scan.txt";
    EXPECT_EQ(RunPattern({file, "--output", out}).status, 0);
    EXPECT_EQ(ReadInputFile(out, Lang::English), "# scan 1\n10 100\n10.02 110.5\n");
}

// Nothing is assumed about the wavelength of a file that states none.
TEST_F(PatternCommands, PeaksNeedAWavelengthTheFileDoesNotState) {
    Outcome o = RunPeaks({xy});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(
        o.err.find("silicon.xy states no wavelength: give one (--wavelength L or --xray NAME)"),
        std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("usage: dorvalix-cli"), std::string::npos);

    o = RunPeaks({xy, "--xray", "Cu-Ka", "--format", "json"});
    ASSERT_EQ(o.status, 0) << o.err;
    for (const char* part :
         {"\"format\": \"xy\"", "\"scan\": 1", "\"ka1\": 1.540593", "\"ka2\": 1.544414",
          "\"from\": \"option\"", "\"background\": {\"method\": \"SNIP\", \"width\": "})
        EXPECT_NE(o.out.find(part), std::string::npos) << part << "\n" << o.out;
    std::size_t peaks = 0;
    for (std::size_t at = o.out.find("\"two_theta\""); at != std::string::npos;
         at = o.out.find("\"two_theta\"", at + 1))
        ++peaks;
    EXPECT_EQ(peaks, kThree.size());

    // A typed wavelength is one line: no ratio.
    o = RunPeaks({xy, "--wavelength=1.540593", "--format", "json"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(
        o.out.find("\"ka2\": null, \"ratio\": null, \"ratio_su\": null, \"from\": \"option\""),
        std::string::npos)
        << o.out;
}

// A doublet asked for where the data have no Kα2 line: the ratio refines to about 0, and a
// note says what that means.
TEST_F(PatternCommands, ADoubletWithoutKAlpha2IsNoted) {
    test::Synthetic s;
    s.start = 20;
    s.step = 0.02;
    s.points = 2001;
    s.lines = test::CuSingle();
    s.reflections = kThree;
    const std::string single = Write("monochromatic.xy", test::XyText(test::MakeScan(s)));
    Outcome o = RunPeaks({single, "--xray", "Cu-Ka"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.err.find("dorvalix-cli peaks: note: the Ka2/Ka1 ratio refines to 0.0"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.out.find("Peaks       3 "), std::string::npos) << o.out;
    o = RunPeaks({xy, "--xray", "Cu-Ka"});
    EXPECT_EQ(o.err, "");
}

TEST_F(PatternCommands, PeaksAsTextAndAsAnObservationFile) {
    Outcome o = RunPeaks({xy, "--xray", "cu-ka"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out.rfind("File        " + xy + " (xy), scan 1 of 1\n", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("Wavelength  Kα1 1.540593 Å, Kα2 1.544414 Å, Kα2/Kα1 0."),
              std::string::npos);
    EXPECT_NE(o.out.find("Peaks       3 (significance 3)"), std::string::npos);
    EXPECT_NE(o.out.find("   1   28.44"), std::string::npos) << o.out;

    const std::string lat = dir + "/silicon.lat";
    o = RunPeaks({xy, "--xray", "Cu-Ka", "--format", "lat", "--output", lat});
    ASSERT_EQ(o.status, 0) << o.err;
    const ObservationFileContents file = ReadObservationFile(lat, Lang::English);
    EXPECT_EQ(file.count, 3);
    EXPECT_EQ(file.crystalSystem, 0);
    EXPECT_EQ(file.sampleName, "silicon");
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(r);
        const auto& row = file.rows[static_cast<std::size_t>(r)];
        long double d;
        ASSERT_TRUE(TryParseReal(row[0], d));
        EXPECT_NEAR(d, DSpacing(kThree[static_cast<std::size_t>(r)].twoTheta, 1.540593L), 3e-4);
        for (int c = 1; c <= 3; ++c)
            EXPECT_EQ(Trim(row[static_cast<std::size_t>(c)]), "0");
    }
    // Without peaks there is no observation file to write.
    o = RunPeaks({xy, "--xray", "Cu-Ka", "--format", "lat", "--range", "35", "45"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "dorvalix-cli peaks: no peaks found, so no observation file is written\n");
}

// An observation file holds at most 300 rows: more peaks are refused, not cut.
TEST_F(PatternCommands, MoreThanThreeHundredPeaksAreNoObservationFile) {
    test::Synthetic s;
    s.start = 10;
    s.step = 0.01;
    s.points = 32001;
    s.lines = test::CuSingle();
    s.tail = 0;
    s.fwhm = 0.05;
    for (int k = 0; k < 310; ++k)
        s.reflections.push_back({10.5 + k, 2000});
    const std::string many = Write("many.xy", test::XyText(test::MakeScan(s)));
    const Outcome o = RunPeaks({many, "--xray", "Cu-Ka1", "--format", "lat"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "dorvalix-cli peaks: 310 peaks found; an observation file holds at most 300: "
              "narrow --range or raise --significance\n");
}

TEST_F(PatternCommands, WrongCommandLines) {
    struct Case {
        std::vector<std::string> args;
        std::string problem;
    };
    const std::vector<Case> peaks = {
        {{}, "no FILE given"},
        {{xy, xy}, "more than one FILE"},
        {{xy, "--range", "30", "20"}, "--range: MIN must be below MAX"},
        {{xy, "--range", "30"}, "--range needs MIN and MAX"},
        {{xy, "--significance", "0"}, "--significance needs a number above 0"},
        {{xy, "--significance", "x"}, "--significance: 'x' is not a number"},
        {{xy, "--background-width", "-1"}, "--background-width needs a width in degrees above 0"},
        {{xy, "--wavelength", "1.5", "--xray", "Cu-Ka"},
         "--wavelength and --xray exclude each other"},
        {{xy, "--xray", "Cu-Kb"},
         "--xray needs one of Cu-Ka Cu-Ka1 Fe-Ka Fe-Ka1 Cr-Ka Cr-Ka1 Mo-Ka Mo-Ka1"},
        {{xy, "--format", "csv"}, "--format csv: give text, json or lat"},
        {{xy, "--scan", "0"}, "--scan needs a scan number from 1"},
        {{xy, "--xray", "Cu-Ka", "--scan", "2"}, "--scan 2: " + xy + " holds 1 scan"},
        {{xy, "--output"}, "--output needs a value"},
        {{xy, "--bogus"}, "unknown option --bogus"},
    };
    for (const Case& c : peaks) {
        SCOPED_TRACE(c.problem);
        const Outcome o = RunPeaks(c.args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err.rfind("dorvalix-cli peaks: " + c.problem, 0), 0u) << o.err;
    }
    const Outcome p = RunPattern({xy, "--format", "lat"});
    EXPECT_EQ(p.status, 2);
    EXPECT_EQ(p.err.rfind("dorvalix-cli pattern: --format lat: give xy or json\n", 0), 0u);
}

TEST_F(PatternCommands, FilesThatCannotBeReadAreRefused) {
    Outcome o = RunPeaks({dir + "/none.xy", "--xray", "Cu-Ka"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("No such file or directory"), std::string::npos) << o.err;
    o = RunPattern({Write("bad.xy", "10 100\n10.02 oops\n")});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "dorvalix-cli: " + dir + "/bad.xy, line 2: 'oops' is not a number.\n");
    o = RunPeaks({xy, "--xray", "Cu-Ka", "--range", "100", "120"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "dorvalix-cli peaks: --range 100 120 lies outside the scan (20° to 60°)\n");
}

TEST(PatternDispatch, HelpNamesTheCommands) {
    const Outcome o = cli::Cli({"--help"});
    for (const char* part : {"dorvalix-cli pattern FILE", "dorvalix-cli peaks FILE", "\npeaks   "})
        EXPECT_NE(o.out.find(part), std::string::npos) << part;
    EXPECT_EQ(cli::Cli({"peaks"}).status, 2);
    // The subcommands' own --help, as refine's and hkl's.
    for (const char* command : {"pattern", "peaks"}) {
        const Outcome help = cli::Cli({command, "x.xy", "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out, o.out) << command;
    }
}

// A wavelength outside 0.01–100 Å is refused as refine and hkl refuse it; "--" ends the
// options, so a file may start with a dash.
TEST_F(PatternCommands, WavelengthRangeAndTheEndOfTheOptions) {
    for (const char* wavelength : {"0", "0.001", "150", "1e-4000"}) {
        const Outcome o = RunPeaks({xy, "--wavelength", wavelength});
        EXPECT_EQ(o.status, 1) << wavelength;
        EXPECT_EQ(o.err, "dorvalix-cli: The X-ray wavelength must be a number from 0.01 to 100 Å\n")
            << wavelength;
    }
    const std::string dashed = Write("-scan.xy", "10 100\n10.02 110\n");
    const Outcome o = RunPattern({"--", dashed.substr(dashed.rfind('/') + 1)});
    EXPECT_NE(o.err.find("No such file"), std::string::npos) << o.err;  // looked for as a file
    EXPECT_EQ(RunPattern({"--", dashed}).status, 0);
}

}  // namespace
}  // namespace dorvalix
