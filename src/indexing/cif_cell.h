// SPDX-License-Identifier: GPL-3.0-or-later
// The cell and the space group that each data block of a CIF states, read with gemmi's CIF
// parser: a known phase's constants, to index a pattern with.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang.h"
#include "lattice.h"

namespace dorvalix::indexing {

struct CifCell {
    std::string block;         // the data block's name
    std::optional<Cell> cell;  // when all six constants are numbers that make sense
    std::string spaceGroup;    // the Hermann-Mauguin symbol as written; empty: none
    int spaceGroupNumber = 0;  // the International Tables number; 0: none
};

struct CifCells {
    std::vector<CifCell> blocks;  // in the file's order
    std::optional<Text> refusal;  // the text is no CIF (with the parser's reason in {reason})
    std::string reason;           // the parser's own words (English)
};

// The blocks of a CIF text. Core CIF names (_cell_length_a, _space_group_name_H-M_alt,
// _symmetry_space_group_name_H-M, _space_group_IT_number, _symmetry_Int_Tables_number)
// and their mmCIF forms (_cell.length_a, _symmetry.space_group_name_H-M, ...); a value
// with its standard uncertainty ("5.4310(2)") is read as its number.
CifCells ReadCifCells(std::string_view text, const std::string& name);

// The refusal's text in a language, the parser's reason put in.
std::string CifRefusalText(const CifCells& cells, Lang lang);

}  // namespace dorvalix::indexing
