// SPDX-License-Identifier: GPL-3.0-or-later
#include "cif_cell.h"

#include <cmath>
#include <exception>

#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>

namespace dorvalix::indexing {

namespace {

namespace cif = gemmi::cif;

constexpr Text kNoCif = {"The file is not a CIF the program can read: {reason}",
                         "CIF として読めないファイルです: {reason}"};

// The first of the names that the block holds, as its text.
const std::string* FirstValue(const cif::Block& block, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (const std::string* v = block.find_value(name)) return v;
    }
    return nullptr;
}

// A number of the block (its s.u. dropped); NaN for none, '?' or '.'.
double Number(const cif::Block& block, std::initializer_list<const char*> names) {
    const std::string* v = FirstValue(block, names);
    if (v == nullptr || cif::is_null(*v)) return std::nan("");
    return cif::as_number(*v);
}

}  // namespace

CifCells ReadCifCells(std::string_view text, const std::string& name) {
    CifCells out;
    cif::Document doc;
    try {
        doc = cif::read_memory(text.data(), text.size(), name.c_str());
    } catch (const std::exception& e) {
        out.refusal = kNoCif;
        out.reason = e.what();
        return out;
    }
    for (const cif::Block& block : doc.blocks) {
        CifCell c;
        c.block = block.name;
        const double values[6] = {Number(block, {"_cell_length_a", "_cell.length_a"}),
                                  Number(block, {"_cell_length_b", "_cell.length_b"}),
                                  Number(block, {"_cell_length_c", "_cell.length_c"}),
                                  Number(block, {"_cell_angle_alpha", "_cell.angle_alpha"}),
                                  Number(block, {"_cell_angle_beta", "_cell.angle_beta"}),
                                  Number(block, {"_cell_angle_gamma", "_cell.angle_gamma"})};
        bool ok = true;
        for (int i = 0; i < 6; ++i)
            ok = ok && std::isfinite(values[i]) && values[i] > 0 && (i < 3 || values[i] < 180);
        if (ok) {
            c.cell = Cell{values[0], values[1], values[2], values[3], values[4], values[5]};
        }
        if (const std::string* hm =
                FirstValue(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M",
                                   "_space_group.name_H-M_alt", "_symmetry.space_group_name_H-M"});
            hm != nullptr && !cif::is_null(*hm)) {
            c.spaceGroup = cif::as_string(*hm);
        }
        const double number =
            Number(block, {"_space_group_IT_number", "_symmetry_Int_Tables_number",
                           "_space_group.IT_number", "_symmetry.Int_Tables_number"});
        if (number >= 1 && number <= 230 && number == std::floor(number))
            c.spaceGroupNumber = static_cast<int>(number);
        out.blocks.push_back(std::move(c));
    }
    return out;
}

std::string CifRefusalText(const CifCells& cells, Lang lang) {
    if (!cells.refusal) return {};
    std::string text = cells.refusal->In(lang);
    const std::size_t at = text.find("{reason}");
    if (at != std::string::npos) text.replace(at, 8, cells.reason);
    return text;
}

}  // namespace dorvalix::indexing
