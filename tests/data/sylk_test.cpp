// SPDX-License-Identifier: GPL-3.0-or-later
#include "sylk.h"

#include <gtest/gtest.h>

#include <string>

#include "errors.h"
#include "test_files.h"

namespace dorvalix {
namespace {

// The question's answer, and whether it was asked.
struct Answer {
    bool yes = false;
    int asked = 0;
    std::function<bool()> Fn() {
        return [this] {
            ++asked;
            return yes;
        };
    }
};

ObservationTable Import(std::string_view sylk, Answer& answer) {
    ObservationTable t;
    ApplySylkCells(t, ReadSylkCells(SplitSylkRecords(sylk), answer.Fn()));
    return t;
}

std::string ConversionMessage(std::string_view sylk) {
    Answer answer;
    try {
        ReadSylkCells(SplitSylkRecords(sylk), answer.Fn());
    } catch (const ConversionError& e) {
        return e.what();
    }
    return "";
}

// Two rows copied from the third row and second column of a sheet, as spreadsheets write them.
constexpr const char* kDhklBlock =
    "ID;PWXL;N;E\r\nP;PGeneral\r\nF;P0;DG0G8;M255\r\nB;Y4;X5;D0 0 3 4\r\nO;L;D;V0;K47;G100 "
    "0.001\r\n"
    "C;Y3;X2;K3.1355\r\nC;X3;K1\r\nC;X4;K1\r\nC;X5;K0\r\n"
    "C;Y4;X2;K2.7154\r\nC;X3;K2\r\nC;X4;K0\r\nC;X5;K0\r\nE\r\n";

TEST(SylkImport, BlockFromAnyPositionLandsAtRowOneColumnZero) {
    Answer answer;
    const ObservationTable t = Import(kDhklBlock, answer);
    EXPECT_EQ(answer.asked, 0);
    EXPECT_EQ(t.rows[1], (ObservationTable::Row{"3.1355", "1", "1", "0", ""}));
    EXPECT_EQ(t.rows[2], (ObservationTable::Row{"2.7154", "2", "0", "0", ""}));
    EXPECT_EQ(t.filled, 2u);
    // Linux files end lines with LF alone; a last record may lack its line end.
    std::string lf = kDhklBlock;
    for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;)
        lf.erase(at, 1);
    lf.resize(lf.size() - 3);  // drops "\nE\n" ... keeps "C;X5;K0" unterminated
    EXPECT_EQ(Import(lf, answer).rows, t.rows);
}

TEST(SylkImport, HkldQuestion) {
    const std::string block =
        "ID;P\r\nC;Y1;X1;K1\r\nC;X2;K1\r\nC;X3;K0\r\nC;X4;K3.1355\r\nC;Y2;X1;K2\r\nC;X2;K0\r\n"
        "C;X3;K0\r\nC;X4;K2.7154\r\nE\r\n";
    Answer yes{true};
    const ObservationTable h = Import(block, yes);
    EXPECT_EQ(yes.asked, 1);
    EXPECT_EQ(h.rows[1], (ObservationTable::Row{"3.1355", "1", "1", "0", ""}));
    EXPECT_EQ(h.rows[2], (ObservationTable::Row{"2.7154", "2", "0", "0", ""}));
    Answer no{false};
    const ObservationTable d = Import(block, no);
    EXPECT_EQ(no.asked, 1);
    EXPECT_EQ(d.rows[1], (ObservationTable::Row{"1", "1", "0", "3.1355", ""}));
    // An integer-valued first value within 0.00001 asks too; a d does not.
    Answer a;
    Import("C;Y1;X1;K2.000001\r\n", a);
    EXPECT_EQ(a.asked, 1);
    Import("C;Y1;X1;K2.0001\r\n", a);
    EXPECT_EQ(a.asked, 1);
}

TEST(SylkImport, EmptyTopLeftCellShiftsTheBlockLeft) {
    Answer answer;
    const ObservationTable t = Import(
        "C;Y1;X2;K1\r\nC;X3;K1\r\nC;X4;K0\r\nC;Y2;X1;K2.7154\r\nC;X2;K2\r\nC;X3;K0\r\n"
        "C;X4;K0\r\n",
        answer);
    EXPECT_EQ(answer.asked, 1);  // the first value, now at column 0 of row 1, is an integer
    EXPECT_EQ(t.rows[1], (ObservationTable::Row{"1", "1", "0", "", ""}));
    // The first column of row 2 falls left of column 0 and is dropped.
    EXPECT_EQ(t.rows[2], (ObservationTable::Row{"2", "0", "0", "", ""}));
}

TEST(SylkImport, QuotedValuesAndRepeatedCoordinates) {
    Answer answer;
    const ObservationTable t = Import(
        "C;Y1;X1;K\"2.5\"\r\nC;X2;K\"2\"\r\nF;P0;FG0G;X3\r\nC;K1\r\nC;Y2;K\"7\"\r\n", answer);
    // The format record moves to the third column; the records after it stay there.
    EXPECT_EQ(t.rows[1], (ObservationTable::Row{"2.5", "2", "1", "", ""}));
    EXPECT_EQ(t.rows[2], (ObservationTable::Row{"", "", "7", "", ""}));
    EXPECT_EQ(t.filled, 2u);
    // A lone quote is an empty text, which is not a number.
    EXPECT_EQ(ConversionMessage("C;Y1;X1;K\"\r\n"), "'' は浮動小数点数ではありません");
}

TEST(SylkImport, ColumnsBeyondTheFourthAreIgnored) {
    Answer answer;
    const char* block =
        "C;Y1;X1;K2.5\r\nC;X2;K1\r\nC;X3;K1\r\nC;X4;K1\r\nC;X5;K\"  Exclude\"\r\n"
        "C;X6;K7\r\n";
    ObservationTable t = Import(block, answer);
    EXPECT_EQ(t.rows[1], (ObservationTable::Row{"2.5", "1", "1", "1", ""}));
    Answer yes{true};
    t = Import("C;Y1;X1;K1\r\nC;X2;K1\r\nC;X3;K1\r\nC;X4;K2.5\r\nC;X5;K9.5\r\n", yes);
    EXPECT_EQ(t.rows[1], (ObservationTable::Row{"2.5", "1", "1", "1", ""}));
}

TEST(SylkImport, RowsBeyondThreeHundredAreDropped) {
    std::string block = "ID;P\r\n";
    for (int y = 1; y <= 305; ++y)
        block +=
            "C;Y" + std::to_string(y) + ";X1;K" + std::to_string(1000 + y) + ".5\r\nC;X2;K1\r\n";
    Answer answer;
    const ObservationTable t = Import(block, answer);
    EXPECT_EQ(t.Cell(0, 300), "1300.5");
    EXPECT_EQ(t.filled, 300u);
    // ... but the import knows how many rows the block had, to say so.
    EXPECT_EQ(ReadSylkCells(SplitSylkRecords(block), answer.Fn()).blockRows, 305);
    EXPECT_EQ(ReadSylkCells(SplitSylkRecords(kDhklBlock), answer.Fn()).blockRows, 2);
    // Values right of the fourth column do not count; a far row does, within an int.
    EXPECT_EQ(
        ReadSylkCells(SplitSylkRecords("C;Y1;X1;K1.5\r\nC;Y900;X6;K2\r\n"), answer.Fn()).blockRows,
        1);
    EXPECT_EQ(
        ReadSylkCells(SplitSylkRecords("C;Y1;X1;K1.5\r\nC;Y2147483647;X1;K2\r\n"), answer.Fn())
            .blockRows,
        2147483647);
}

TEST(SylkImport, BadValuesThrowBeforeAnythingIsWritten) {
    EXPECT_EQ(ConversionMessage("C;Y1;X1;K\"d\"\r\nC;X2;K\"h\"\r\n"),
              "'d' は浮動小数点数ではありません");
    EXPECT_EQ(ConversionMessage("C;Y1;X1;K3.2\r\nC;Y2;X1;K3,1\r\n"),
              "'3,1' は浮動小数点数ではありません");
    EXPECT_EQ(ConversionMessage("C;Y1;X1;K3.2\r\nC;Y2;Xa;K3.1\r\n"), "'a' は整数ではありません");
    EXPECT_EQ(ConversionMessage("C;Y1 ;X1;K3.2\r\n"), "'1 ' は整数ではありません");
    // A heading row further down: nothing lands in the table, no question is asked.
    Answer answer{true};
    ObservationTable t;
    EXPECT_THROW(
        ApplySylkCells(
            t, ReadSylkCells(SplitSylkRecords("C;Y1;X1;K1\r\nC;Y2;X1;K\"h\"\r\n"), answer.Fn())),
        ConversionError);
    EXPECT_EQ(answer.asked, 0);
    EXPECT_EQ(t.Cell(0, 1), "");
}

TEST(SylkImport, NoCellRecordsLeaveTheTableAlone) {
    Answer answer;
    for (const char* text :
         {"", "3.23\t1\t1\t1\r\n", "ID;P\r\nC;X1;K2\r\nE\r\n", "C;Y-1;X1;K1\r\n"}) {
        const SylkImport import = ReadSylkCells(SplitSylkRecords(text), answer.Fn());
        EXPECT_FALSE(import.originFound) << text;
        ObservationTable t;
        t.filled = 4;
        ApplySylkCells(t, import);
        EXPECT_EQ(t.filled, 4u);
    }
}

TEST(SylkImport, TextEndsAtNul) {
    Answer answer;
    const std::string text("C;Y1;X1;K2.5\r\n\0C;Y2;X1;K1.5\r\n", 29);
    EXPECT_EQ(Import(text, answer).Cell(0, 2), "");
}

// A file is not the clipboard: a NUL in it means damage, and reading up to it would drop
// every row after it while the run reports success.
TEST(SylkImport, NulInAFileIsRefused) {
    constexpr char kBlock[] = "ID;P\r\nC;Y1;X1;K2.5\r\nC;Y2;X1;K1\0.5\r\n";
    const std::string text(kBlock, sizeof kBlock - 1);
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        try {
            SplitSylkFile(text, lang);
            FAIL();
        } catch (const DorvalixError& e) {
            EXPECT_EQ(e.Text(),
                      lang == Lang::English
                          ? "Line 3 of the SYLK file holds a NUL character: the file is "
                            "damaged"
                          : "SYLK ファイルの 3 行目に NUL 文字があります。ファイルが壊れています");
        }
    }
    EXPECT_EQ(SplitSylkFile("ID;P\r\nC;Y1;X1;K2.5\r\n", Lang::English).size(), 2u);
}

TEST(SylkImport, RecordsEndedByCrAlone) {
    Answer answer;
    const ObservationTable t = Import("ID;P\rC;Y1;X1;K3.2\rC;X2;K1\rC;Y2;X1;K2.5\rE\r", answer);
    EXPECT_EQ(t.Cell(0, 1), "3.2");
    EXPECT_EQ(t.Cell(1, 1), "1");
    EXPECT_EQ(t.Cell(0, 2), "2.5");
}

TEST(SylkImport, TabSeparatedTextGivesTheSameCells) {
    Answer answer;
    const ObservationTable fromTabs = [&] {
        ObservationTable t;
        ApplySylkCells(t, ReadSylkCells(TabTextToSylkRecords("3.1355\t1\t1\t0\r\n2.7154\t2\t0\t0"),
                                        answer.Fn()));
        return t;
    }();
    EXPECT_EQ(fromTabs.rows, Import(kDhklBlock, answer).rows);
    EXPECT_EQ(answer.asked, 0);
    // Empty cells give no record; quotes are dropped; a heading line is refused.
    const auto records = TabTextToSylkRecords("\t2\n\"3.5\"\t\t1\n\n");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(*records[0].x, "2");
    EXPECT_EQ(*records[0].y, "1");
    EXPECT_EQ(*records[2].x, "3");
    EXPECT_EQ(*records[2].y, "2");
    ObservationTable t;
    ApplySylkCells(t, ReadSylkCells(records, answer.Fn()));
    EXPECT_EQ(t.rows[1], (ObservationTable::Row{"2", "", "", "", ""}));
    // The empty first cell makes the second the origin: "3.5" falls left of column 0.
    EXPECT_EQ(t.rows[2], (ObservationTable::Row{"", "1", "", "", ""}));
    EXPECT_THROW(ReadSylkCells(TabTextToSylkRecords("d\th\tk\tl\n3.2\t1\t1\t1\n"), answer.Fn()),
                 ConversionError);
}

TEST(SylkImport, LooksLikeSylk) {
    EXPECT_TRUE(LooksLikeSylk("ID;PWXL;N;E\r\n"));
    EXPECT_FALSE(LooksLikeSylk("       7       5\r\n"));
    EXPECT_FALSE(LooksLikeSylk("C;Y1;X1;K1\r\n"));
}

using SylkFile = test::TempFolder;

TEST_F(SylkFile, ReadsShiftJisAndUtf8) {
    const std::string path = Write("a.slk", "ID;P\r\nC;Y1;X1;K\"\x8E\x8E\x97\xBF\"\r\nE\r\n");
    const auto records = ReadSylkFile(path, Lang::English);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(*records[1].k, "\"試料\"");
    EXPECT_THROW(ReadSylkFile(dir + "/missing.slk", Lang::English), IoError);
}

TEST_F(SylkFile, DamagedFileWithNulIsRefused) {
    try {
        ReadSylkFile(std::string(DORVALIX_TEST_DATA) + "/damaged/nul-in-sylk.slk", Lang::English);
        FAIL();
    } catch (const DorvalixError& e) {
        EXPECT_EQ(e.Text(), "Line 18 of the SYLK file holds a NUL character: the file is damaged");
    }
}

}  // namespace
}  // namespace dorvalix
