// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli refine on damaged and hostile input (the files under tests/data/damaged):
// each gets its result or a clear refusal, never a wrong answer, a hang or a flood.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli_outcome.h"
#include "commands.h"
#include "input_file.h"
#include "test_files.h"

namespace dorvalix::cli {
namespace {

const std::string kDamaged = std::string(DORVALIX_SOURCE_DIR) + "/tests/data/damaged/";

// The report without its date line, which changes from run to run.
std::string WithoutDate(const std::string& report) {
    std::istringstream in(report);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("Date & Time")) out += line + "\n";
    }
    return out;
}

TEST(DamagedInput, RefusedWithAClearMessage) {
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        // h = 65537: h² wrapped around in 32 bits and the run reported a = 0.02762 Å.
        {{"index-65537.lat"}, "dorvalix-cli: Set hkl between -46340 and 46340\n"},
        {{"index-65537.lat", "--lang", "j"},
         "dorvalix-cli: 指数は -46340 から 46340 までの整数にしてください\n"},
        // A negative d was fitted as its square.
        {{"negative-d.lat"}, "dorvalix-cli: Set d-value greater than 0\n"},
        {{"negative-d.lat", "--lang", "j"},
         "dorvalix-cli: ｄ値には 0 より大きい数を入れてください\n"},
        // An escape sequence in d reached the terminal.
        {{"escape-in-d.lat"}, "dorvalix-cli: ' 3.2\\x1B[31m' は浮動小数点数ではありません.\n"},
        // 400 characters of d were all quoted.
        {{"long-d-text.lat"},
         "dorvalix-cli: ' 3.2" + std::string(76, 'x') + "…' は浮動小数点数ではありません.\n"},
        // A NUL dropped every row after it, and the run reported success.
        {{"nul-in-sylk.slk", "--system", "4"},
         "dorvalix-cli: Line 18 of the SYLK file holds a NUL character: the file is damaged.\n"},
        {{"nul-in-sylk.slk", "--system", "4", "--lang", "j"},
         "dorvalix-cli: SYLK ファイルの 18 行目に NUL 文字があります。ファイルが壊れています.\n"},
        // Row 301 was dropped silently.
        {{"301-rows.slk", "--system", "1", "--order", "dhkl"},
         "dorvalix-cli: The spreadsheet block has 301 rows; at most 300 can be read.\n"},
        {{"301-rows.slk", "--system", "1", "--order", "dhkl", "--lang", "j"},
         "dorvalix-cli: 表のデータが 301 行あります。読み込めるのは 300 行までです.\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args[0] = kDamaged + args[0];
        const Outcome o = Refine(args);
        EXPECT_EQ(o.status, 1) << c.args[0];
        EXPECT_EQ(o.err, c.err) << c.args[0];
        EXPECT_EQ(o.out, "") << c.args[0];
    }
}

// Lines ended by CR alone read as the same file with CR LF.
TEST(DamagedInput, CrOnlyLineEndsReadAsLines) {
    const Outcome cr = Refine({kDamaged + "cr-only.lat"});
    const Outcome crlf = Refine({kExample});
    ASSERT_EQ(cr.status, 0) << cr.err;
    std::string expected = WithoutDate(crlf.out);
    expected.replace(expected.find("diopside.lat"), 12, "cr-only.lat");
    EXPECT_EQ(WithoutDate(cr.out), expected);
}

class HostileInput : public test::TempFolder {};

// Devices, FIFOs and huge files are refused at once: /dev/zero grew past 2 GB, a FIFO hung.
TEST_F(HostileInput, OnlyRegularFilesOfAtMost16MiB) {
    const std::string fifo = dir + "/fifo.lat";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string huge = Write("huge.lat", "");
    std::filesystem::resize_file(huge, (16 << 20) + 1);
    const struct {
        std::string path, err;
    } cases[] = {
        {"/dev/zero", "dorvalix-cli: /dev/zero is not a regular file.\n"},
        {fifo, "dorvalix-cli: " + fifo + " is not a regular file.\n"},
        {huge, "dorvalix-cli: " + huge + " is larger than 16 MiB.\n"},
    };
    for (const auto& c : cases) {
        const Outcome o = Refine({c.path});
        EXPECT_EQ(o.status, 1) << c.path;
        EXPECT_EQ(o.err, c.err);
    }
    EXPECT_EQ(Refine({"/dev/zero", "--lang", "j"}).err,
              "dorvalix-cli: /dev/zero は通常のファイルではありません.\n");
}

// Arguments are quoted as file contents are: control characters shown, length bounded.
TEST_F(HostileInput, ArgumentsInMessagesAreQuoted) {
    Outcome o = Refine({"--lang", "\x1b]0;owned\x07"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.substr(0, o.err.find('\n') + 1),
              "dorvalix-cli refine: --lang \\x1B]0;owned\\x07: give e or j\n");
    o = Refine({std::string(500, 'x') + ".lat"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "dorvalix-cli: File name too long: …" + std::string(76, 'x') + ".lat.\n");
}

// --output writes the report through the atomic writer; a refusal leaves the file alone.
TEST_F(HostileInput, OutputFile) {
    const std::string path = dir + "/result.out";
    Outcome o = Refine({kExample, "--output", path});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(WithoutDate(ReadInputFile(path, Lang::English)), WithoutDate(Refine({kExample}).out));
    o = Refine({kExample, "--format=json", "--output=" + path});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(ReadInputFile(path, Lang::English), Refine({kExample, "--format", "json"}).out);
    // Every format goes the same way, the summary of several files too.
    o = Refine({kExample, kExample, "--format", "summary", "--output", path});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(ReadInputFile(path, Lang::English),
              Refine({kExample, kExample, "--format", "summary"}).out);
    o = Refine({kExample, "--format=json", "--output=" + path});
    const std::string json = ReadInputFile(path, Lang::English);
    o = Refine({kDamaged + "negative-d.lat", "--output", path});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(ReadInputFile(path, Lang::English), json);
    // A folder that is not there, or a file that is not a regular one.
    o = Refine({kExample, "--output", dir + "/no/result.out"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "dorvalix-cli: No such file or directory: " + dir + "/no/result.out.\n");
    o = Refine({kExample, "--output", "/dev/null"});  // a device is written as it is
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    o = Refine({kExample, "--output"});
    EXPECT_EQ(o.status, 2);
    o = Refine({kExample, "--output="});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.substr(0, o.err.find('\n') + 1),
              "dorvalix-cli refine: --output needs a file name\n");
}

}  // namespace
}  // namespace dorvalix::cli
