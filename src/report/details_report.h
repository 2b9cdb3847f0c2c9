// SPDX-License-Identifier: GPL-3.0-or-later
// The "Refinement details" section that `dorvalix-cli refine --details` adds after the
// results report.
#pragma once

#include <string>
#include <vector>

#include "lang.h"
#include "refinement_details.h"

namespace dorvalix {

namespace details_text {
inline constexpr Text kTitle = {"Refinement details", "精密化の詳細"};
inline constexpr Text kDirect = {"Lattice Parameters (s.u. from the full covariance)",
                                 "格子定数（全共分散による標準不確かさ）"};
inline constexpr Text kReciprocal = {
    "Reciprocal Lattice Parameters (s.u. from the full covariance)",
    "逆格子定数（全共分散による標準不確かさ）"};
inline constexpr Text kDiagnostics = {"Regression diagnostics (lattice {lattice})",
                                      "回帰診断（格子 {lattice}）"};
// Column labels of the diagnostics table.
inline constexpr Text kDiagnosticsColumns[7] = {{"row", "行"},
                                                {"h", "h"},
                                                {"k", "k"},
                                                {"l", "l"},
                                                {"leverage", "てこ比"},
                                                {"studentized", "スチューデント化残差"},
                                                {"Cook's D", "クック距離"}};
inline constexpr Text kOutlier = {"outlier", "外れ値"};
inline constexpr Text kAbsent = {"absent", "消滅"};
inline constexpr Text kMerit = {
    "Figures of merit ({fit}, lattice {lattice}, wavelength {wavelength} Å)",
    "性能指数（{fit}、格子 {lattice}、波長 {wavelength} Å）"};
inline constexpr Text kMeritFitQ = {"fit on Q", "Q でのフィット"};
inline constexpr Text kMeritFitTwoTheta = {"fit on 2θ", "2θ でのフィット"};
inline constexpr Text kMeritFitZero = {"fit on 2θ with zero shift",
                                       "2θ でのフィット、ゼロ点補正あり"};
inline constexpr Text kFitZero = {"Fit on 2θ (zero shift refined)",
                                  "2θでのフィット（ゼロ点補正を精密化）"};
inline constexpr Text kFitNoZero = {"Fit on 2θ (zero fixed at 0)",
                                    "2θでのフィット（ゼロ点は 0 に固定）"};
inline constexpr Text kZero = {"zero", "ゼロ点"};
inline constexpr Text kSumSq = {"Sum of squares", "残差二乗和"};
inline constexpr Text kIterations = {"Iterations", "反復回数"};
}  // namespace details_text

// The section's lines, without line ends; the last one is empty.
std::vector<std::string> BuildDetailsReport(const RefinementDetails& details, Lang lang);

}  // namespace dorvalix
