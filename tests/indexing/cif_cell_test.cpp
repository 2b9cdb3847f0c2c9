// SPDX-License-Identifier: GPL-3.0-or-later
// The cells and space groups of a CIF's data blocks.
#include "cif_cell.h"

#include <gtest/gtest.h>

namespace dorvalix::indexing {
namespace {

TEST(CifCells, EveryBlockWithItsCellAndGroup) {
    const CifCells cells = ReadCifCells(
        "data_si\n"
        "_cell_length_a 5.4311946(92)\n_cell_length_b 5.4311946(92)\n"
        "_cell_length_c 5.4311946(92)\n_cell_angle_alpha 90\n_cell_angle_beta 90\n"
        "_cell_angle_gamma 90\n_symmetry_space_group_name_H-M 'F d -3 m'\n"
        "_symmetry_Int_Tables_number 227\n"
        "data_diopside\n"
        "_cell_length_a 9.746\n_cell_length_b 8.899\n_cell_length_c 5.251\n"
        "_cell_angle_alpha 90.\n_cell_angle_beta 105.63(2)\n_cell_angle_gamma 90\n"
        "_space_group_name_H-M_alt 'C 1 2/c 1'\n"
        "data_mm\n_cell.length_a 4.157\n_cell.length_b 4.157\n_cell.length_c 4.157\n"
        "_cell.angle_alpha 90\n_cell.angle_beta 90\n_cell.angle_gamma 90\n"
        "_symmetry.space_group_name_H-M 'P m -3 m'\n"
        "data_unknown\n_cell_length_a ?\n_cell_length_b 3\n_cell_length_c 3\n"
        "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n",
        "test.cif");
    ASSERT_FALSE(cells.refusal);
    ASSERT_EQ(cells.blocks.size(), 4u);
    const CifCell& si = cells.blocks[0];
    EXPECT_EQ(si.block, "si");
    ASSERT_TRUE(si.cell);
    EXPECT_DOUBLE_EQ(static_cast<double>(si.cell->a), 5.4311946);  // its s.u. dropped
    EXPECT_EQ(si.spaceGroup, "F d -3 m");
    EXPECT_EQ(si.spaceGroupNumber, 227);
    const CifCell& di = cells.blocks[1];
    ASSERT_TRUE(di.cell);
    EXPECT_DOUBLE_EQ(static_cast<double>(di.cell->beta), 105.63);
    EXPECT_EQ(di.spaceGroup, "C 1 2/c 1");
    EXPECT_EQ(di.spaceGroupNumber, 0);
    ASSERT_TRUE(cells.blocks[2].cell);
    EXPECT_EQ(cells.blocks[2].spaceGroup, "P m -3 m");
    EXPECT_FALSE(cells.blocks[3].cell);  // a is unknown
}

TEST(CifCells, TextThatIsNoCifIsRefusedInBothLanguages) {
    const CifCells cells = ReadCifCells("data_x\n_cell_length_a 'unterminated\n", "bad.cif");
    ASSERT_TRUE(cells.refusal);
    EXPECT_TRUE(cells.blocks.empty());
    const std::string en = CifRefusalText(cells, Lang::English);
    const std::string ja = CifRefusalText(cells, Lang::Japanese);
    EXPECT_TRUE(en.starts_with("The file is not a CIF the program can read: ")) << en;
    EXPECT_TRUE(ja.starts_with("CIF として読めないファイルです: ")) << ja;
    EXPECT_NE(en.find("bad.cif"), std::string::npos) << en;  // the parser names the place
}

}  // namespace
}  // namespace dorvalix::indexing
