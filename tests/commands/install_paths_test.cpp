// SPDX-License-Identifier: GPL-3.0-or-later
// Where an installed or a portable program keeps its settings and finds its files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <set>
#include <string>

#include "command_fixture.h"
#include "errors.h"
#include "install_paths.h"
#include "program_arguments.h"
#include "scripted_ui.h"
#include "settings.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::TempDir;

// An environment of variables, writable folders and existing files.
struct FakeEnvironment {
    std::map<std::string, std::string> variables;
    std::set<std::string> writable;
    std::set<std::string> files;
    PathEnvironment Get() const {
        return {[this](const char* name) {
                    const auto it = variables.find(name);
                    return it == variables.end() ? std::string() : it->second;
                },
                [this](const std::string& folder) { return writable.count(folder) > 0; },
                [this](const std::string& file) { return files.count(file) > 0; }};
    }
};

TEST(SettingsPathFor, BesideAWritableProgramElseUnderTheUsersConfigFolder) {
    struct Case {
        const char* executable;
        std::set<std::string> writable;
        std::map<std::string, std::string> variables;
        const char* expected;
    } cases[] = {
        // A build tree or a portable copy keeps its settings beside the program.
        {"/home/ann/dorvalix/build/dorvalix",
         {"/home/ann/dorvalix/build"},
         {},
         "/home/ann/dorvalix/build/dorvalixini"},
        {"/opt/x/dorvalix.exe", {"/opt/x"}, {{"HOME", "/home/ann"}}, "/opt/x/dorvalixini"},
        // Installed in a system folder: the freedesktop configuration folder.
        {"/usr/bin/dorvalix",
         {},
         {{"HOME", "/home/ann"}},
         "/home/ann/.config/dorvalix/dorvalixini"},
        {"/usr/bin/dorvalix",
         {},
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}},
         "/cfg/dorvalix/dorvalixini"},
        // A relative XDG_CONFIG_HOME is not valid and is ignored.
        {"/usr/bin/dorvalix",
         {},
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "cfg"}},
         "/home/ann/.config/dorvalix/dorvalixini"},
        // The file keeps the executable's name rule.
        {"/usr/bin/dorvalix-nightly",
         {},
         {{"HOME", "/h"}},
         "/h/.config/dorvalix/dorvalix-nightlyini"},
    };
    for (const Case& c : cases) {
        FakeEnvironment env;
        env.writable = c.writable;
        env.variables = c.variables;
        EXPECT_EQ(SettingsPathFor(c.executable, env.Get()), c.expected) << c.executable;
    }
}

TEST(InstalledFiles, DataAndHomePageBesideTheProgramsPrefixFirst) {
    FakeEnvironment env;
    env.files = {"/opt/dv/share/dorvalix/examples/diopside.lat",
                 "/opt/dv/share/doc/dorvalix/README.md"};
    EXPECT_EQ(DataFolderFor("/opt/dv/bin/dorvalix", env.Get()), "/opt/dv/share/dorvalix");
    EXPECT_EQ(HomePageFileFor("/opt/dv/bin/dorvalix", env.Get()),
              "/opt/dv/share/doc/dorvalix/README.md");
    // Run from the build tree, nothing is installed beside it: the configured folder for
    // data, and the source tree's read-me for the home page.
    FakeEnvironment none;
    EXPECT_NE(DataFolderFor("/src/build/dorvalix", none.Get()), "/src/share/dorvalix");
    const std::string readme = HomePageFileFor("/src/build/dorvalix", none.Get());
    EXPECT_TRUE(std::filesystem::exists(readme)) << readme;
    EXPECT_EQ(std::filesystem::path(readme).filename(), "README.md");
}

TEST(FileUrl, EncodesWhatAUrlCannotCarry) {
    EXPECT_EQ(FileUrl("/usr/share/doc/dorvalix/README.md"),
              "file:///usr/share/doc/dorvalix/README.md");
    EXPECT_EQ(FileUrl("/home/a b/結晶#1%.md"), "file:///home/a%20b/%E7%B5%90%E6%99%B6%231%25.md");
}

TEST(SaveSettings, MakesTheConfigFolderOnTheFirstSave) {
    TempDir dir;
    const std::string path = dir.Path("config/dorvalix/dorvalixini");
    AppSettings settings;
    settings.lang = "e";
    SaveSettings(path, settings);
    EXPECT_EQ(LoadSettings(path).lang, "e");
    // A folder that cannot be made ends in the settings file's message.
    test::WriteText(dir.Path("file"), "x");
    try {
        SaveSettings(dir.Path("file/dorvalix/dorvalixini"), settings);
        FAIL() << "saved below a regular file";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()),
                  dir.Path("file/dorvalix/dorvalixini") + " に書き込めません");
    }
}

TEST(FormCreate, ReadsAndWritesTheSettingsWhereTheProgramMayWrite) {
    TempDir dir;
    const std::string bin = dir.Path("bin");
    std::filesystem::create_directory(bin);
    FakeEnvironment env;
    env.variables = {{"HOME", dir.Path("home")}};
    MainState state;
    FormCreate(state, bin + "/dorvalix", env.Get());
    EXPECT_EQ(state.settingsPath, dir.Path("home/.config/dorvalix/dorvalixini"));
    test::ScriptedUi ui;
    ui.answers = {true};
    ASSERT_TRUE(RunCommand(ui, [&] { Exit1Click(state, ui); }));
    EXPECT_TRUE(state.closeRequested);
    EXPECT_TRUE(test::Exists(dir.Path("home/.config/dorvalix/dorvalixini")));
    EXPECT_FALSE(test::Exists(bin + "/dorvalixini"));
}

TEST(ProgramArguments, FileHelpVersionAndWrongUsage) {
    using A = ProgramArguments::Action;
    struct Case {
        std::vector<std::string> args;
        A action;
        const char* file;
    } cases[] = {
        {{}, A::Run, ""},
        {{"data.lat"}, A::Run, "data.lat"},
        {{"--help"}, A::Help, ""},
        {{"data.lat", "-h"}, A::Help, ""},
        {{"--version"}, A::Version, ""},
        {{"-v"}, A::Version, ""},
        {{"--", "-odd.lat"}, A::Run, "-odd.lat"},
        {{"--", "--help"}, A::Run, "--help"},
        {{"--bogus"}, A::WrongUsage, ""},
        {{"a.lat", "b.lat"}, A::WrongUsage, ""},
    };
    for (const Case& c : cases) {
        const ProgramArguments parsed = ParseProgramArguments(c.args);
        EXPECT_EQ(parsed.action, c.action) << testing::PrintToString(c.args);
        EXPECT_EQ(parsed.file, c.file) << testing::PrintToString(c.args);
        EXPECT_EQ(parsed.message.empty(), c.action != A::WrongUsage);
    }
    EXPECT_NE(ProgramHelpText().find("--version"), std::string::npos);
}

class StartFile : public test::CommandTest {};

TEST_F(StartFile, AFileNamedAtStartIsReadAsReadFromFileReadsIt) {
    const std::string example = std::string(DORVALIX_EXAMPLES) + "/diopside.lat";
    ReadFileAtStart(*state, example);
    EXPECT_EQ(state->label6, "diopside.lat");
    EXPECT_EQ(state->currentFileName, example);
    EXPECT_EQ(state->calc.crystalSystem, 5);
    EXPECT_EQ(Table().Cell(0, 1).empty(), false);
    // A file that cannot be read: the error box, the table as it was.
    const std::string before = Table().Cell(0, 1);
    EXPECT_FALSE(RunCommand(ui, [&] { ReadFileAtStart(*state, dir.Path("missing.lat")); }));
    EXPECT_EQ(ui.Texts(test::Call::Error).size(), 1u);
    EXPECT_EQ(Table().Cell(0, 1), before);
    EXPECT_EQ(state->label6, "diopside.lat");
}

}  // namespace
}  // namespace dorvalix
