// SPDX-License-Identifier: GPL-3.0-or-later
#include "ini_file.h"

#include <gtest/gtest.h>

#include "errors.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

TEST(IniText, LooksUpSectionsAndKeysWithoutRegardToCase) {
    const IniText ini(
        "; settings\n"
        "[Other]\n"
        "lang=x\n"
        "[ dorvalix ]\n"
        "  LANG = e  \n"
        "x_ray=\" Set W.L.\"\n"
        "quoted='a'\n"
        "empty=\n"
        "lang=j\n");
    EXPECT_EQ(ini.Value("Dorvalix", "lang"), "e");  // the first of two wins
    EXPECT_EQ(ini.Value("DORVALIX", "Lang"), "e");
    EXPECT_EQ(ini.Value("Other", "lang"), "x");
    EXPECT_EQ(ini.Value("Dorvalix", "x_ray"), " Set W.L.");  // quotes keep the blanks
    EXPECT_EQ(ini.Value("Dorvalix", "quoted"), "a");
    EXPECT_EQ(ini.Value("Dorvalix", "empty"), "");
    EXPECT_EQ(ini.Value("Dorvalix", "d_min"), std::nullopt);
    EXPECT_EQ(ini.Value("Missing", "lang"), std::nullopt);
}

TEST(IniText, CommentsAndLinesWithoutEqualsAreNotKeys) {
    const IniText ini("[Dorvalix]\n;lang=e\nlang\nlamda=2\n");
    EXPECT_EQ(ini.Value("Dorvalix", "lang"), std::nullopt);
    EXPECT_EQ(ini.Value("Dorvalix", "lamda"), "2");
}

TEST(IniText, ValuesAreReadUpTo2047Characters) {
    const std::string ascii(3000, 'a');
    std::string wide;
    for (int i = 0; i < 2100; ++i)
        wide += "α";  // two bytes each
    const IniText ini("[S]\na=" + ascii + "\nb=" + wide + "\nc=" + std::string(2047, 'c') + "\n");
    EXPECT_EQ(ini.Value("S", "a")->size(), 2047u);
    EXPECT_EQ(ini.Value("S", "b")->size(), 2047u * 2);
    EXPECT_EQ(ini.Value("S", "c"), std::string(2047, 'c'));
}

TEST(IniText, SettingAKeyChangesOnlyItsLine) {
    IniText ini("; keep me\n[A]\nx=1\n\n[Dorvalix]\nLang = j\nother=keep\n\n[B]\ny=2\n");
    ini.SetValue("dorvalix", "lang", "e");
    ini.SetValue("Dorvalix", "x_ray", "Mo-Ka");
    EXPECT_EQ(ini.Text(),
              "; keep me\n[A]\nx=1\n\n[Dorvalix]\nlang=e\nother=keep\nx_ray=Mo-Ka\n\n[B]\ny=2\n");
}

TEST(IniText, AMissingSectionIsAddedAtTheEndInTheFilesLineEnding) {
    IniText ini("[A]\r\nx=1");  // no line break after the last line
    ini.SetValue("Dorvalix", "lang", "j");
    ini.SetValue("Dorvalix", "lamda", "1.5");
    EXPECT_EQ(ini.Text(), "[A]\r\nx=1\r\n[Dorvalix]\r\nlang=j\r\nlamda=1.5\r\n");

    IniText empty;
    empty.SetValue("Dorvalix", "lang", "e");
    EXPECT_EQ(empty.Text(), "[Dorvalix]\nlang=e\n");
}

TEST(IniText, ALineBreakInAValueDoesNotSplitTheLine) {
    IniText ini;
    ini.SetValue("S", "k", "a\nb=c");
    EXPECT_EQ(ini.Text(), "[S]\nk=a b=c\n");
    EXPECT_EQ(ini.Value("S", "b"), std::nullopt);
}

// A file whose lines end with CR alone is read line by line and written back the same way.
TEST(IniText, LinesEndedByCrAlone) {
    IniText ini("[Dorvalix]\rlang=e\rlamda=0.7\r");
    EXPECT_EQ(ini.Value("Dorvalix", "lang"), "e");
    EXPECT_EQ(ini.Value("Dorvalix", "lamda"), "0.7");
    ini.SetValue("Dorvalix", "d_min", "1.5");
    EXPECT_EQ(ini.Text(), "[Dorvalix]\rlang=e\rlamda=0.7\rd_min=1.5\r");
}

TEST(WriteProfileStrings, CreatesTheFileAndKeepsWhatElseItHolds) {
    TempDir dir;
    const std::string path = dir.Path("dorvalixini");
    WriteProfileStrings(path, "Dorvalix", {{"lang", "e"}, {"lamda", "1.5"}});
    EXPECT_EQ(ReadText(path), "[Dorvalix]\nlang=e\nlamda=1.5\n");

    WriteText(path, "[Theirs]\nkey=value\n[Dorvalix]\nlamda=2\n");
    WriteProfileStrings(path, "Dorvalix", {{"lang", "j"}, {"lamda", "1.5"}});
    EXPECT_EQ(ReadText(path), "[Theirs]\nkey=value\n[Dorvalix]\nlamda=1.5\nlang=j\n");
}

TEST(WriteProfileStrings, AFileThatCannotBeWrittenIsReportedByName) {
    TempDir dir;
    // A folder in the place of the file: it can be neither read back nor replaced.
    const std::string path = dir.Path("dorvalixini");
    std::filesystem::create_directory(path);
    try {
        WriteProfileStrings(path, "Dorvalix", {{"lang", "e"}});
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.Text(), path + " に書き込めません");
    }
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

}  // namespace
}  // namespace dorvalix
