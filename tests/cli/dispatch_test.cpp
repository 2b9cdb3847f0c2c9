// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli's own options and wrong command lines.
#include <gtest/gtest.h>

#include <sstream>

#include "cli_outcome.h"
#include "commands.h"
#include "results_report.h"
#include "version.h"

namespace dorvalix {
namespace {

using cli::Cli;
using cli::Outcome;

TEST(CliDispatch, HelpAndVersionOnStandardOutputWithStatusZero) {
    for (const char* option : {"--help", "-h"}) {
        const Outcome o = Cli({option});
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.out.rfind("usage: dorvalix-cli refine", 0), 0u) << o.out;
        EXPECT_NE(o.out.find("--version"), std::string::npos);
        EXPECT_EQ(o.err, "");
    }
    const Outcome v = Cli({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.substr(0, v.out.find('\n')), "dorvalix-cli " DORVALIX_PROJECT_VERSION);
    EXPECT_NE(v.out.find("GPL-3.0-or-later"), std::string::npos);
}

TEST(CliDispatch, NoOrUnknownCommandIsWrongUsage) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"refin"}, {"--bogus"}}) {
        const Outcome o = Cli(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find("usage: dorvalix-cli"), std::string::npos);
    }
    EXPECT_NE(Cli({"refin"}).err.find("unknown command refin"), std::string::npos);
}

TEST(Version, IsTheProjectsVersionAndTheReportsProvenance) {
    EXPECT_STREQ(kVersion, DORVALIX_PROJECT_VERSION);
    EXPECT_EQ(std::string(report_text::kProvenance), std::string("Dorvalix Ver. ") + kVersion);
}

}  // namespace
}  // namespace dorvalix
