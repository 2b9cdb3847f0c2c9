// SPDX-License-Identifier: GPL-3.0-or-later
#include "details_messages.h"

#include <array>
#include <cmath>

#include "numtext.h"

namespace dorvalix {

namespace {

// {row}, {d}, {wavelength}, {count} and {limit} are replaced by the message's values.
constexpr std::array<Text, 10> kTexts = {{
    {"The fit on 2θ needs more observations than parameters: {count} observations for {limit} "
     "parameters",
     "2θでのフィットにはパラメータより多いデータが必要です（データ {count} 個、パラメータ "
     "{limit} 個）"},
    {"Row {row}: d = {d} has no 2θ at the wavelength {wavelength} Å (λ/2d ≥ 1)",
     "{row} 行目: d = {d} には波長 {wavelength} Å での 2θ がありません（λ/2d ≥ 1）"},
    {"Row {row}: the calculated d has no 2θ at the wavelength {wavelength} Å",
     "{row} 行目: 計算した d には波長 {wavelength} Å での 2θ がありません"},
    {"The fit on 2θ did not converge in {count} iterations",
     "2θでのフィットが {count} 回の反復で収束しませんでした"},
    {"The fit on 2θ cannot determine its parameters (singular matrix)",
     "2θでのフィットのパラメータが決まりません（特異行列）"},
    {"F has no value: row {row} (d = {d}) has no 2θ at the wavelength {wavelength} Å",
     "F は求められません: {row} 行目 (d = {d}) には波長 {wavelength} Å での 2θ がありません"},
    {"Too many reflections to count (more than {limit} indices)",
     "数える反射が多すぎます（指数 {limit} 組を超えます）"},
    {"The fitted metric describes no cell", "精密化した計量が格子を表していません"},
    {"The fit on 2θ does not determine the cell: the refined zero shift {value}° lies beyond "
     "±{limit}° (check the indices and the wavelength)",
     "2θでのフィットでは格子が決まりません: 精密化したゼロ点補正 {value}° が ±{limit}° "
     "を超えています（指数と波長を確かめてください）"},
    {"The fit does not determine the cell: a cell length or its standard uncertainty is not "
     "finite or exceeds {limit} Å (check the indices)",
     "フィットでは格子が決まりません: 格子の長さかその標準不確かさが有限でないか、{limit} Å "
     "を超えています（指数を確かめてください）"},
}};

void Replace(std::string& text, std::string_view key, const std::string& value) {
    for (std::size_t at; (at = text.find(key)) != std::string::npos;)
        text.replace(at, key.size(), value);
}

}  // namespace

std::string DetailsMessage::Text(Lang lang) const {
    std::string text = kTexts[static_cast<std::size_t>(kind)].In(lang);
    Replace(text, "{row}", IntText(row));
    Replace(text, "{d}", FormatGeneral(d));
    Replace(text, "{wavelength}", FormatGeneral(wavelength));
    Replace(text, "{count}", IntText(count));
    Replace(text, "{limit}", IntText(limit));
    // Three decimals of a degree; a value far beyond any angle in general notation.
    Replace(text, "{value}",
            std::fabs(value) < 1e6L ? FormatAtDecimalPlace(value, 3) : FormatGeneral(value));
    return text;
}

}  // namespace dorvalix
