// SPDX-License-Identifier: GPL-3.0-or-later
#include "observation_file.h"

#include <gtest/gtest.h>

#include <string>

#include "atomic_file.h"
#include "input_file.h"
#include "numtext.h"
#include "test_files.h"

namespace dorvalix {
namespace {

using test::TempFolder;

void SetRow(ObservationTable& t, int r, std::string d, std::string h, std::string k, std::string l,
            std::string status = "") {
    t.Cell(0, r) = std::move(d);
    t.Cell(1, r) = std::move(h);
    t.Cell(2, r) = std::move(k);
    t.Cell(3, r) = std::move(l);
    t.Cell(4, r) = std::move(status);
}

// The message of the DorvalixError that parsing `text` throws, or "" when it does not.
template <typename Error>
std::string ErrorOf(std::string_view text, Lang lang = Lang::English) {
    try {
        ParseObservationFile(text, lang);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(ObservationFileWriter, SortedRowsInFieldsOfEight) {
    ObservationTable t;
    SetRow(t, 1, " 2.5660", " 1", " 1", " 0");
    SetRow(t, 2, "12.512", " 1", " 0", " 0", "  Exclude");
    SetRow(t, 3, " 3.2300", "-1", "10", " 2");
    SortRows(t);
    EXPECT_EQ(FormatObservationFile(t, 5, "quartz"),
              "       3       5\r\n"
              "       1       0       0  12.512\r\n"
              "      -1      10       2  3.2300\r\n"
              "       1       1       0  2.5660\r\n"
              "quartz\r\n");
}

TEST(ObservationFileWriter, LongTextsAreWrittenWhole) {
    ObservationTable t;
    SetRow(t, 1, " 2.12345", "123456789", " 0", " 1");
    SetRow(t, 2, "123.4567890", " 1", " 1", " 1");
    SetRow(t, 3, " 2.5", " 0", "-1234567", "12345678");
    t.filled = 3;
    const std::string file = FormatObservationFile(t, 6, "x");
    EXPECT_EQ(file,
              "       3       6\r\n"
              " 123456789       0       1  2.12345\r\n"
              "       1       1       1 123.4567890\r\n"
              "       0 -1234567 12345678     2.5\r\n"
              "x\r\n");
    // Each of them reads back as it was written.
    const auto back = ParseObservationFile(file, Lang::English);
    EXPECT_EQ(back.rows[0][1], "123456789");
    EXPECT_EQ(back.rows[0][0], "  2.12345 ");
    EXPECT_EQ(back.rows[1][0], " 123.4567890 ");
    EXPECT_EQ(back.rows[2], (ObservationTable::Row{"     2.5 ", " 0", "-1234567", "12345678", ""}));
}

TEST(ObservationFileReader, RoundTripKeepsTheCellTexts) {
    CalculationState written;
    ObservationTable& t = written.table;
    SetRow(t, 1, "2.5660", "1", "1", "0");
    SetRow(t, 2, "12.512", "1", "0", "0", "  Exclude");
    SetRow(t, 3, "3.2300", "-1", "10", "2");
    SetRow(t, 4, " 2.12345", "3", "3", "3");
    NormalizeCells(t);
    SortRows(t);
    CalculationState read;
    std::string sample;
    ApplyObservationFile(
        read, sample, ParseObservationFile(FormatObservationFile(t, 4, "試料 A "), Lang::English));
    EXPECT_EQ(sample, "試料 A ");
    EXPECT_EQ(read.crystalSystem, 4);
    EXPECT_EQ(read.table.filled, 4u);
    EXPECT_EQ(read.table.included, 4u);
    for (int r = 1; r <= 4; ++r) {
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(read.table.Cell(c, r), t.Cell(c, r)) << "row " << r << " col " << c;
        // The format has no exclusion field: every row reads back included.
        EXPECT_EQ(read.table.Cell(4, r), "");
    }
    EXPECT_EQ(read.table.Cell(0, 1), "12.512");
    EXPECT_EQ(read.table.Cell(0, 2), " 3.2300");
    EXPECT_EQ(read.table.Cell(0, 3), " 2.5660");
    EXPECT_EQ(read.table.Cell(0, 4), " 2.12345");  // no digit lost
}

TEST(ObservationFileReader, TokensAndLines) {
    // LF alone, tabs between the indices, a sign, tokens spread over lines.
    const auto c =
        ParseObservationFile("2\t8\n\t1\t-2 +3   3.5\n 4\n5\n6 1.25\r\nname \r\n", Lang::English);
    EXPECT_EQ(c.count, 2);
    EXPECT_EQ(c.crystalSystem, 8);
    ASSERT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(c.rows[0], (ObservationTable::Row{"   3.5 ", " 1", "-2", " 3", ""}));
    EXPECT_EQ(c.rows[1], (ObservationTable::Row{" 1.25 ", " 4", " 5", " 6", ""}));
    EXPECT_EQ(c.sampleName, "name ");
}

// Old Macintosh editors end lines with CR alone: such a file reads as its CR LF twin (it
// used to be one long line, and the whole file ended up in the error message).
TEST(ObservationFileReader, LinesEndedByCrAlone) {
    const std::string crlf = "3 5\r\n2 2 0 3.23\r\n1 3 -1 2.566\r\n3 1 1 2.304\r\nname\r\n";
    std::string cr = crlf;
    for (std::size_t at; (at = cr.find("\r\n")) != std::string::npos;)
        cr.replace(at, 2, "\r");
    const auto a = ParseObservationFile(crlf, Lang::English);
    const auto b = ParseObservationFile(cr, Lang::English);
    EXPECT_EQ(b.rows, a.rows);
    EXPECT_EQ(b.sampleName, "name");
    // Mixed line ends, and CR LF still one line end (no empty line between).
    const auto c = ParseObservationFile("1 5\r1 1 1 2.5\r\nname\n", Lang::English);
    EXPECT_EQ(c.rows[0][0], " 2.5 ");
    EXPECT_EQ(c.sampleName, "name");
}

// A message quotes at most 80 characters of what it read.
TEST(ObservationFileReader, LongTextsAreCutInMessages) {
    const std::string d = " 3.2" + std::string(400, 'x');
    const std::string message = ErrorOf<ConversionError>("1 5\n1 1 1" + d + "\nx\n");
    EXPECT_EQ(message, "'" + d.substr(0, 80) + "…' は浮動小数点数ではありません");
}

TEST(ObservationFileReader, CountZeroTakesTheRestOfLineOneAsSampleName) {
    EXPECT_EQ(ParseObservationFile("       0       3\r\n", Lang::English).sampleName, "");
    const auto c = ParseObservationFile("0 3 rest\r\nsecond\r\n", Lang::English);
    EXPECT_TRUE(c.rows.empty());
    EXPECT_EQ(c.sampleName, " rest");
    // A sample-name line missing at the end of the file reads as empty.
    EXPECT_EQ(ParseObservationFile("1 1\n1 1 1 2.5", Lang::English).sampleName, "");
}

TEST(ObservationFileReader, ConversionErrors) {
    struct Case {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        // A tab before d belongs to the d text, which the conversion does not accept; the
        // message shows it as \x09.
        {"1 5\r\n1 1 1\t3.23\r\nx\r\n", "'\\x093.23' は浮動小数点数ではありません"},
        // An escape sequence in d never reaches a terminal.
        {"1 5\n1 1 1 3.2\x1b[31m\nx\n", "' 3.2\\x1B[31m' は浮動小数点数ではありません"},
        // d is the whole rest of the line.
        {"1 5\r\n1 1 1    3.23 mm\r\nx\r\n", "'    3.23 mm' は浮動小数点数ではありません"},
        // Fewer lines than the count: the first missing d is empty.
        {"2 5\r\n1 1 1 3.23\r\n", "'' は浮動小数点数ではありません"},
        {"1 5\r\n1 1 1\r\n", "'' は浮動小数点数ではありません"},
        // An index cell written as eight blanks shifts the tokens: d becomes l.
        {"1 5\r\n       1               1      12\r\nx\r\n", "'' は浮動小数点数ではありません"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf<ConversionError>(c.file), c.message) << c.file;
}

TEST(ObservationFileReader, TokensThatAreNotIntegers) {
    for (const char* file :
         {"7x 5\r\n", "7 5.0\r\n", "1 5\r\n1 a 1 3.2\r\n", "- 5\r\n",
          "1 5\r\n 1 1 99999999999 2.5\r\n", "1 5\r\n       1        1.5 2.5\r\n",
          "1 5\r\n       1               1    3.23\r\nx\r\n"}) {
        EXPECT_EQ(ErrorOf<IoError>(file), "入力値が数値ではありません") << file;
    }
}

TEST(ObservationFileReader, RefusesCountsAndCodesTheTableCannotTake) {
    struct Case {
        const char* file;
        const char* en;
        const char* ja;
    };
    const Case cases[] = {
        {"301 5\r\n", "Number of Data in the file is 301; at most 300 can be read",
         "ファイルのデータ数 301 が上限の 300 を超えています"},
        {"-1 5\r\n", "Number of Data in the file is -1, below 0",
         "ファイルのデータ数 -1 が負の値です"},
        {"1 9\r\n1 1 1 2.5\r\n", "Crystal System code in the file is 9, not one of 0 to 8",
         "ファイルの結晶系コード 9 が 0～8 の範囲にありません"},
        {"1 -1\r\n1 1 1 2.5\r\n", "Crystal System code in the file is -1, not one of 0 to 8",
         "ファイルの結晶系コード -1 が 0～8 の範囲にありません"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf<ObservationFileError>(c.file, Lang::English), c.en);
        EXPECT_EQ(ErrorOf<ObservationFileError>(c.file, Lang::Japanese), c.ja);
    }
    // 300 rows and the codes 0 and 8 are fine.
    std::string full = "300 0\r\n";
    for (int i = 0; i < 300; ++i)
        full += "1 1 1 2.5\r\n";
    EXPECT_EQ(ParseObservationFile(full, Lang::English).rows.size(), 300u);
}

class ObservationFileLoad : public TempFolder {
  protected:
    void SetUp() override {
        TempFolder::SetUp();
        SetRow(state.table, 1, " 9.9", " 1", " 1", " 1", "  Exclude");
        state.table.filled = 1;
        state.table.excluded = 1;
        state.crystalSystem = 2;
        state.panel.residual = "0.00000011";
        state.panel.reciprocal[0][1] = "  0.106576";
        sample = "old";
    }
    CalculationState state;
    std::string sample;
};

TEST_F(ObservationFileLoad, ReplacesEverythingAndNormalises) {
    const std::string path = Write("a.lat",
                                   "       2       5\r\n       1       0       0    3.23\r\n"
                                   "       0       1       1 12.5123\r\nsample\r\n");
    EXPECT_FALSE(LoadObservationFile(state, sample, path, Lang::English));
    EXPECT_EQ(state.crystalSystem, 5);
    EXPECT_EQ(sample, "sample");
    EXPECT_EQ(state.table.filled, 2u);
    EXPECT_EQ(state.table.excluded, 0u);
    EXPECT_EQ(state.table.included, 2u);
    EXPECT_EQ(state.table.rows[1], (ObservationTable::Row{" 3.23", " 1", " 0", " 0", ""}));
    EXPECT_EQ(state.table.rows[2], (ObservationTable::Row{"12.5123", " 0", " 1", " 1", ""}));
    EXPECT_EQ(state.panel.residual, "");
    EXPECT_EQ(state.panel.reciprocal[0][1], "  ");
}

TEST_F(ObservationFileLoad, ABadFileChangesNothing) {
    const std::string files[] = {
        "2 5\r\n1 1 1 3.0\r\n1 1 1 abc\r\nnew\r\n",
        "2 5\r\n1 1 1 3.0\r\n1 1 x 2.0\r\nnew\r\n",
        "2 5\r\n1 1 1 3.0\r\n",
        "400 5\r\n",
        "2 12\r\n1 1 1 3.0\r\n1 1 1 2.0\r\nnew\r\n",
    };
    for (const std::string& bytes : files) {
        const std::string path = Write("bad.lat", bytes);
        EXPECT_THROW(LoadObservationFile(state, sample, path, Lang::Japanese), DorvalixError);
        EXPECT_EQ(state.crystalSystem, 2);
        EXPECT_EQ(sample, "old");
        EXPECT_EQ(state.table.filled, 1u);
        EXPECT_EQ(state.table.rows[1],
                  (ObservationTable::Row{" 9.9", " 1", " 1", " 1", "  Exclude"}));
        EXPECT_EQ(state.panel.residual, "0.00000011");
    }
    try {
        LoadObservationFile(state, sample, dir + "/missing.lat", Lang::English);
        FAIL();
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "No such file or directory: " + dir + "/missing.lat");
    }
}

TEST_F(ObservationFileLoad, ShiftJisFromWindowsAndUtf8) {
    // 透輝石 in CP932, as the Windows program wrote it.
    const std::string sjis = Write("s.lat", "1 5\r\n1 1 1 2.5\r\n\x93\xA7\x8B\x50\x90\xCE\r\n");
    LoadObservationFile(state, sample, sjis, Lang::English);
    EXPECT_EQ(sample, "透輝石");
    // UTF-8, with the byte-order mark some editors put first.
    const std::string utf8 = Write("u.lat",
                                   "\xEF\xBB\xBF"
                                   "1 5\r\n1 1 1 2.5\r\n透輝石\r\n");
    sample.clear();
    LoadObservationFile(state, sample, utf8, Lang::English);
    EXPECT_EQ(sample, "透輝石");
    // UTF-16 with its byte-order mark, as Notepad saves "Unicode" (and big-endian), was
    // refused: "not a number".
    for (const bool big : {false, true}) {
        const std::string path =
            Write("unicode.lat", test::Utf16Bytes(u"1 5\r\n2 1 1 1.5\r\n石英\r\n", big));
        sample.clear();
        LoadObservationFile(state, sample, path, Lang::English);
        EXPECT_EQ(sample, "石英") << big;
        EXPECT_EQ(state.table.rows[1], (ObservationTable::Row{" 1.5", " 2", " 1", " 1", ""}));
    }
}

TEST_F(TempFolder, WriteObservationFile) {
    ObservationTable t;
    SetRow(t, 1, " 2.5", " 1", " 1", " 1");
    t.filled = 1;
    const std::string path = dir + "/w.lat";
    // An empty sample name writes nothing; blanks are a name.
    EXPECT_FALSE(WriteObservationFile(path, t, 1, "", Lang::English));
    EXPECT_THROW(ReadInputFile(path, Lang::English), IoError);
    EXPECT_TRUE(WriteObservationFile(path, t, 1, " ", Lang::English));
    EXPECT_EQ(ReadInputFile(path, Lang::English),
              "       1       1\r\n       1       1       1     2.5\r\n \r\n");
    EXPECT_THROW(WriteObservationFile(dir + "/no/such/folder.lat", t, 1, "x", Lang::English),
                 IoError);
}

TEST(ObservationFileNames, DefaultExtension) {
    EXPECT_EQ(WithDefaultExtension("/home/a/quartz"), "/home/a/quartz.lat");
    EXPECT_EQ(WithDefaultExtension("/home/a.b/quartz"), "/home/a.b/quartz.lat");
    EXPECT_EQ(WithDefaultExtension("quartz.txt"), "quartz.txt");
    EXPECT_EQ(WithDefaultExtension("quartz.lat"), "quartz.lat");
    EXPECT_EQ(FileNameOf("/home/a/quartz.lat"), "quartz.lat");
    EXPECT_EQ(FileNameOf("quartz.lat"), "quartz.lat");
}

}  // namespace
}  // namespace dorvalix
