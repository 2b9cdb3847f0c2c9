// SPDX-License-Identifier: GPL-3.0-or-later
// The manual and principle windows' commands through the scripted Ui: where the files that
// replace the built-in texts are found, how they are read, and the principle button that
// reloads its file at every press.
#include "manual_window_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "data_files.h"
#include "scripted_ui.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::Call;
using test::TempDir;
using test::WriteText;

// Runs a test in a working directory of its own: the files are looked up by bare name.
class InFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(work.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    TempDir work;  // the working directory
    TempDir data;  // the installed data folder
    test::ScriptedUi ui;

  private:
    std::filesystem::path previous_;
};

using ManualFiles = InFolder;

TEST_F(ManualFiles, WorkingDirectoryFirstThenTheDataFolder) {
    const struct {
        bool inWork, inData;
        std::string found;
    } cases[] = {
        {false, false, ""},
        {true, false, "dorvalix_j.txt"},
        {false, true, data.Path("dorvalix_j.txt")},
        {true, true, "dorvalix_j.txt"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(work.Path("dorvalix_j.txt"));
        std::filesystem::remove(data.Path("dorvalix_j.txt"));
        if (c.inWork) WriteText(work.Path("dorvalix_j.txt"), "w");
        if (c.inData) WriteText(data.Path("dorvalix_j.txt"), "d");
        EXPECT_EQ(FindManualFile("dorvalix_j.txt", data.path()), c.found) << c.inWork << c.inData;
    }
    // Without a data folder only the working directory counts.
    std::filesystem::remove(work.Path("dorvalix_j.txt"));
    EXPECT_EQ(FindManualFile("dorvalix_j.txt", ""), "");
    // The installed folder is the data folder of the install prefix.
    EXPECT_TRUE(std::string(kInstalledDataFolder).ends_with("/share/dorvalix"));
}

TEST_F(ManualFiles, VersionPictureBesideTheProgramFirst) {
    TempDir program;
    EXPECT_EQ(FindVersionPicture(program.path(), data.path()), "");
    WriteText(data.Path(kVersionPictureFile), "jpeg");
    EXPECT_EQ(FindVersionPicture(program.path(), data.path()), data.Path(kVersionPictureFile));
    WriteText(program.Path(kVersionPictureFile), "jpeg");
    EXPECT_EQ(FindVersionPicture(program.path(), data.path()), program.Path(kVersionPictureFile));
    // The working directory is not where the picture lives.
    WriteText(work.Path(kVersionPictureFile), "jpeg");
    EXPECT_EQ(FindVersionPicture("", ""), "");
}

TEST(ManualLines, LineEndsAndEncodings) {
    using Lines = std::vector<std::string>;
    const struct {
        const char* what;
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"CR LF, LF and CR", "one\r\ntwo\nthree\rfour", {"one", "two", "three", "four"}},
        {"a last line end adds no line", "one\r\ntwo\r\n", {"one", "two"}},
        {"empty lines stay", "one\n\n\r\n\rfive", {"one", "", "", "", "five"}},
        {"an empty file", "", {}},
        {"one empty line", "\r\n", {""}},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF格子定数\n", {"格子定数"}},
        {"Shift-JIS", "\x8a\x69\x8e\x71\x92\xe8\x90\x94\r\n\x8e\x8e\x97\xbf", {"格子定数", "試料"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ManualLines(c.bytes), c.lines) << c.what;
}

using ManualWindowCommands = InFolder;

TEST_F(ManualWindowCommands, BuiltInManualUntilAFileReplacesIt) {
    for (const Lang lang : {Lang::Japanese, Lang::English}) {
        ManualWindowState state;
        state.lang = lang;
        LoadManual(state, data.path());
        EXPECT_EQ(state.lines, ManualLines(BuiltInManual(lang)));
        EXPECT_GT(state.lines.size(), 100u);
    }
    // Each window reads its own file: the English one is not the Japanese one's.
    WriteText(work.Path("dorvalix_e.txt"), "My manual\r\nsecond line\r\n");
    WriteText(data.Path("dorvalix_j.txt"), "\x8e\x84\x82\xcc\x90\xe0\x96\xbe\n");  // 私の説明
    ManualWindowState en, ja;
    en.lang = Lang::English;
    ja.lang = Lang::Japanese;
    LoadManual(en, data.path());
    LoadManual(ja, data.path());
    EXPECT_EQ(en.lines, (std::vector<std::string>{"My manual", "second line"}));
    EXPECT_EQ(ja.lines, (std::vector<std::string>{"私の説明"}));
}

TEST_F(ManualWindowCommands, AFileThatCannotBeReadKeepsTheBuiltInManual) {
    // A folder under the file's name exists but cannot be read as a file.
    std::filesystem::create_directory(work.Path("dorvalix_j.txt"));
    ManualWindowState state;
    state.lang = Lang::Japanese;
    EXPECT_FALSE(RunCommand(ui, [&] { LoadManual(state, data.path()); }));
    ASSERT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_NE(ui.Texts(Call::Error)[0].find("dorvalix_j.txt"), std::string::npos);
    EXPECT_EQ(state.lines, ManualLines(BuiltInManual(Lang::Japanese)));
    // The one in the data folder does not stand in for it: the working directory's file is
    // the one the user meant.
    WriteText(data.Path("dorvalix_j.txt"), "data folder");
    EXPECT_FALSE(RunCommand(ui, [&] { LoadManual(state, data.path()); }));
}

// Manual files are read as every other input: a FIFO does not hang the window's creation
// and a huge file does not fill the memory; the message names the file, in the window's
// language, and the built-in text stays.
TEST_F(ManualWindowCommands, OnlyRegularFilesOfAtMost16MiBAreRead) {
    ASSERT_EQ(mkfifo(work.Path("dorvalix_e.txt").c_str(), 0644), 0);
    ManualWindowState en;
    en.lang = Lang::English;
    EXPECT_FALSE(RunCommand(ui, [&] { LoadManual(en, data.path()); }));
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{"dorvalix_e.txt is not a regular file."});
    EXPECT_EQ(en.lines, ManualLines(BuiltInManual(Lang::English)));

    ui.calls.clear();
    WriteText(data.Path("dorvalix_j.txt"), "");
    std::filesystem::resize_file(data.Path("dorvalix_j.txt"), (16 << 20) + 1);
    ManualWindowState ja;
    ja.lang = Lang::Japanese;
    EXPECT_FALSE(RunCommand(ui, [&] { LoadManual(ja, data.path()); }));
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{data.Path("dorvalix_j.txt") +
                                       " は 16 MiB を超えているため読み込めません."});
    EXPECT_EQ(ja.lines, ManualLines(BuiltInManual(Lang::Japanese)));

    ui.calls.clear();
    PrincipleWindowState principle;
    ASSERT_EQ(mkfifo(work.Path("dorvalix.rtf").c_str(), 0644), 0);
    EXPECT_FALSE(RunCommand(ui, [&] { Button2Click(principle, ui, data.path()); }));
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{"dorvalix.rtf は通常のファイルではありません."});
    EXPECT_FALSE(principle.document);
}

TEST_F(ManualWindowCommands, PrincipleButtonLoadsTheFileAtEveryPress) {
    PrincipleWindowState state;
    auto press = [&] { return RunCommand(ui, [&] { Button2Click(state, ui, data.path()); }); };

    // No file: the window opens on the built-in text.
    EXPECT_TRUE(press());
    EXPECT_FALSE(state.document);
    EXPECT_EQ(state.version, 0u);

    // A file in the data folder, then one in the working directory, which wins; a file
    // changed while the program runs is read at the next press.
    WriteText(data.Path("dorvalix.rtf"), "{\\rtf1 installed}");
    EXPECT_TRUE(press());
    ASSERT_TRUE(state.document);
    EXPECT_EQ(RtfPlainText(*state.document), "installed");
    WriteText(work.Path("dorvalix.rtf"), "{\\rtf1 first {\\b version}}");
    EXPECT_TRUE(press());
    EXPECT_EQ(RtfPlainText(*state.document), "first version");
    WriteText(work.Path("dorvalix.rtf"), "{\\rtf1 second version}");
    EXPECT_TRUE(press());
    EXPECT_EQ(RtfPlainText(*state.document), "second version");
    EXPECT_EQ(state.version, 3u);

    // Removed: the box keeps what it showed last.
    std::filesystem::remove(work.Path("dorvalix.rtf"));
    std::filesystem::remove(data.Path("dorvalix.rtf"));
    EXPECT_TRUE(press());
    EXPECT_EQ(RtfPlainText(*state.document), "second version");
    EXPECT_EQ(state.version, 3u);
    EXPECT_EQ(ui.windows, std::vector<SecondaryWindow>(5, SecondaryWindow::TForm4));
    EXPECT_TRUE(ui.Texts(Call::Error).empty());

    // Unreadable: the error box, and the window does not open.
    std::filesystem::create_directory(work.Path("dorvalix.rtf"));
    EXPECT_FALSE(press());
    EXPECT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_EQ(ui.windows.size(), 5u);
    EXPECT_EQ(RtfPlainText(*state.document), "second version");
}

}  // namespace
}  // namespace dorvalix
