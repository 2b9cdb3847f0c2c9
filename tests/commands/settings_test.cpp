// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "errors.h"
#include "ini_file.h"
#include "temp_dir.h"
#include "text_encoding.h"

namespace dorvalix {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

TEST(SettingsFileName, ReplacesTheExtensionAndItsDotByIni) {
    const struct {
        const char* executable;
        const char* settings;
    } cases[] = {
        {"build/dorvalix", "build/dorvalixini"},
        {"/opt/dorvalix.exe", "/opt/dorvalixini"},
        {"other.exe", "otherini"},
        {"/home/u/my.tools/dorvalix", "/home/u/my.tools/dorvalixini"},  // a dot in a folder
        {"/bin/a.b.c", "/bin/a.bini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsFileName(c.executable), c.settings) << c.executable;
}

TEST(ProgramTitle, IsTheNameUpToItsFirstDotCapitalised) {
    EXPECT_EQ(ProgramTitle("/work/build/dorvalix"), "Dorvalix");
    EXPECT_EQ(ProgramTitle("C/DORVALIX.EXE"), "Dorvalix");
    EXPECT_EQ(ProgramTitle("/x.y/other.tool.exe"), "Other");
}

class SettingsFile : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir.Path("dorvalixini");

    AppSettings LoadWith(const std::string& keys) {
        WriteText(path, "[Dorvalix]\n" + keys);
        return LoadSettings(path);
    }
};

TEST_F(SettingsFile, NoFileGivesTheDefaults) {
    const AppSettings s = LoadSettings(path);
    EXPECT_EQ(s.lang, "j");
    EXPECT_EQ(s.lamda, static_cast<long double>(1.54178));
    EXPECT_EQ(s.dMin, 1.5L);
    EXPECT_EQ(s.xRay, "Cu-Ka");
    EXPECT_EQ(s.hklRange, "all");
    EXPECT_EQ(s.lattice, Centring::P);
}

TEST_F(SettingsFile, StoredValuesAreTakenWithoutRangeChecks) {
    const AppSettings s =
        LoadWith("lang=e\nlamda=0.710678\nd_min=-2\nx_ray= Set W.L.\nhkl_range=odd\n");
    EXPECT_EQ(s.lang, "e");
    EXPECT_EQ(s.lamda, static_cast<long double>(0.710678));  // through double precision
    EXPECT_EQ(s.dMin, -2.0L);
    EXPECT_EQ(s.xRay, "Set W.L.");  // surrounding blanks of a value are not kept
    EXPECT_EQ(s.hklRange, "odd");
}

TEST_F(SettingsFile, AnUnreadableRealGivesItsDefault) {
    const AppSettings s = LoadWith("lamda=abc\nd_min=\n");
    EXPECT_EQ(s.lamda, static_cast<long double>(1.54178));
    EXPECT_EQ(s.dMin, 1.5L);
    EXPECT_EQ(LoadWith("lamda= 2.5 \nd_min=1e-5\n").dMin, static_cast<long double>(1e-5));
}

// A wavelength the windows would refuse when typed gives the default line, name and all:
// no window computes with it, and none shows a line's name beside another's wavelength.
TEST_F(SettingsFile, AWavelengthOutside001To100GivesTheDefaultLine) {
    for (const char* lamda : {"1e-999", "0.001", "100.5", "-1.54", "abc", "nan"}) {
        const AppSettings s = LoadWith(std::string("lamda=") + lamda + "\nx_ray=Mo-Ka\n");
        EXPECT_EQ(s.lamda, static_cast<long double>(1.54178)) << lamda;
        EXPECT_EQ(s.xRay, "Cu-Ka") << lamda;
    }
    const AppSettings edge = LoadWith("lamda=0.01\nx_ray= Set W.L.\n");
    EXPECT_EQ(edge.lamda, static_cast<long double>(0.01));
    EXPECT_EQ(edge.xRay, "Set W.L.");
}

TEST_F(SettingsFile, AnEmptyTextIsKeptButAMissingKeyGivesTheDefault) {
    const AppSettings s = LoadWith("lang=\nx_ray=\n");
    EXPECT_EQ(s.lang, "");
    EXPECT_EQ(s.xRay, "");
    EXPECT_EQ(s.hklRange, "all");
}

TEST_F(SettingsFile, ANewFileHasTheFiveKeysInOrderAndThenTheLattice) {
    SaveSettings(path, AppSettings{});
    EXPECT_EQ(ReadText(path),
              "[Dorvalix]\nlang=j\nlamda=1.54178\nd_min=1.5\nx_ray=Cu-Ka\nhkl_range=all\n"
              "lattice=P\n");
}

// The lattice is one of the seven letters, in either case; anything else reads as P.
TEST_F(SettingsFile, LatticeIsOneOfTheSevenLetters) {
    const std::pair<const char*, Centring> cases[] = {
        {"lattice=I\n", Centring::I},
        {"lattice=f\n", Centring::F},
        {"LATTICE= R \n", Centring::R},
        {"lattice=C\n", Centring::C},
        {"lattice=\n", Centring::P},
        {"lattice=X\n", Centring::P},
        {"lattice=II\n", Centring::P},
        {"lattice=Fd-3m\n", Centring::P},
        {"", Centring::P},
    };
    for (const auto& [keys, expected] : cases)
        EXPECT_EQ(LoadWith(keys).lattice, expected) << keys;
}

// An older file without the key gets it after the five it has, which keep their places and
// texts.
TEST_F(SettingsFile, SavingAddsTheLatticeAfterTheFiveKeys) {
    WriteText(path, "[Dorvalix]\nlang=e\nlamda=0.710678\nd_min=1.5\nx_ray=Mo-Ka\nhkl_range=asym\n");
    AppSettings s = LoadSettings(path);
    EXPECT_EQ(s.lattice, Centring::P);
    s.lattice = Centring::I;
    SaveSettings(path, s);
    EXPECT_EQ(ReadText(path),
              "[Dorvalix]\nlang=e\nlamda=0.710678\nd_min=1.5\nx_ray=Mo-Ka\nhkl_range=asym\n"
              "lattice=I\n");
    EXPECT_EQ(LoadSettings(path).lattice, Centring::I);
}

TEST_F(SettingsFile, SavingKeepsOtherSectionsAndKeysAndRoundTrips) {
    WriteText(path,
              "[Other]\r\nlang=zz\r\n\r\n[DORVALIX]\r\nhkl_range=all\r\nmine=1\r\n\r\n[Last]\r\n"
              "k=v\r\n");
    AppSettings s;
    s.lang = "e";
    s.lamda = 1.5406L;
    s.dMin = 0.44L;
    s.xRay = "Mo-Ka";
    s.hklRange = "asym";
    s.lattice = Centring::F;
    SaveSettings(path, s);
    EXPECT_EQ(ReadText(path),
              "[Other]\r\nlang=zz\r\n\r\n[DORVALIX]\r\nhkl_range=asym\r\nmine=1\r\nlang=e\r\n"
              "lamda=1.5406\r\nd_min=0.44\r\nx_ray=Mo-Ka\r\nlattice=F\r\n\r\n[Last]\r\nk=v\r\n");
    const AppSettings back = LoadSettings(path);
    EXPECT_EQ(back.lang, "e");
    EXPECT_EQ(back.lamda, static_cast<long double>(1.5406));
    EXPECT_EQ(back.dMin, static_cast<long double>(0.44));
    EXPECT_EQ(back.xRay, "Mo-Ka");
    EXPECT_EQ(back.hklRange, "asym");
    EXPECT_EQ(back.lattice, Centring::F);
}

// Windows editors start a UTF-8 file with a byte-order mark; its values used to be ignored.
// The mark stays when the file is written back.
TEST_F(SettingsFile, AByteOrderMarkIsNoPartOfTheFirstLine) {
    std::filesystem::copy_file(std::string(DORVALIX_TEST_DATA) + "/damaged/settings-with-bom",
                               path);
    const AppSettings s = LoadSettings(path);
    EXPECT_EQ(s.lang, "e");
    EXPECT_EQ(s.lamda, static_cast<long double>(0.70926));
    EXPECT_EQ(s.dMin, static_cast<long double>(0.9));
    EXPECT_EQ(s.xRay, "Mo-Ka1");
    EXPECT_EQ(s.hklRange, "asym");
    AppSettings changed = s;
    changed.lang = "j";
    SaveSettings(path, changed);
    EXPECT_EQ(ReadText(path),
              "\xEF\xBB\xBF[Dorvalix]\r\nlang=j\r\nlamda=0.70926\r\nd_min=0.9\r\nx_ray=Mo-Ka1\r\n"
              "hkl_range=asym\r\nlattice=P\r\n");
}

// Notepad's "Unicode" (UTF-16 with its byte-order mark, either order) is read, not taken
// for a file of no keys, and written back in UTF-16 with whatever else it holds.
TEST_F(SettingsFile, AUtf16FileIsReadAndStaysUtf16) {
    const std::string before =
        "[Other]\r\nname=石英\r\n[Dorvalix]\r\nlang=e\r\nlamda=0.70926\r\nx_ray=Mo-Ka1\r\n";
    for (const Utf16Order order : {Utf16Order::LittleEndian, Utf16Order::BigEndian}) {
        WriteText(path, EncodeUtf16(before, order));
        AppSettings s = LoadSettings(path);
        EXPECT_EQ(s.lang, "e");
        EXPECT_EQ(s.lamda, static_cast<long double>(0.70926));
        EXPECT_EQ(s.xRay, "Mo-Ka1");
        s.lang = "j";
        SaveSettings(path, s);
        EXPECT_EQ(ReadText(path),
                  EncodeUtf16("[Other]\r\nname=石英\r\n[Dorvalix]\r\nlang=j\r\nlamda=0.70926\r\n"
                              "x_ray=Mo-Ka1\r\nd_min=1.5\r\nhkl_range=all\r\nlattice=P\r\n",
                              order));
        // A value with a byte that is no UTF-8 cannot go into UTF-16: the file is written
        // as its bytes and the value reads back as it was (found by fuzzing).
        IniText ini(EncodeUtf16(before, order));
        ini.SetValue(kSettingsSection, "x_ray", "Mo\xffMo-Ka");
        EXPECT_EQ(IniText(ini.Text()).Value(kSettingsSection, "x_ray"), "Mo\xffMo-Ka");
    }
}

// A settings file that is a FIFO (or a device, or huge) is not read: the program starts with
// the defaults instead of hanging, and Exit does not replace it.
TEST_F(SettingsFile, OnlyARegularFileIsRead) {
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    const AppSettings s = LoadSettings(path);
    EXPECT_EQ(s.lang, "j");
    EXPECT_EQ(s.lamda, static_cast<long double>(1.54178));
    try {
        SaveSettings(path, s);
        FAIL();
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), path + " に書き込めません");
    }
    EXPECT_TRUE(std::filesystem::is_fifo(path));
    std::filesystem::remove(path);
    WriteText(path, "[Dorvalix]\nlang=e\n" + std::string(16 << 20, ';'));
    EXPECT_EQ(LoadSettings(path).lang, "j");
}

TEST_F(SettingsFile, RealsAreWrittenInTheShortestForm) {
    AppSettings s;
    s.lamda = 2.0L;
    s.dMin = 1.0L / 3;
    SaveSettings(path, s);
    const std::string text = ReadText(path);
    EXPECT_NE(text.find("lamda=2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("d_min=0.333333333333333\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace dorvalix
