// SPDX-License-Identifier: GPL-3.0-or-later
// Captions of the main window that the reports copy: the sample, file and crystal-system
// captions, the captions above the two results grids and the residual caption.
#pragma once

#include "lang.h"

namespace dorvalix::captions {

inline constexpr Text kSample = {"Sample", "試 料 名"};                       // Label7
inline constexpr Text kFile = {"File ", "ファイル"};                          // Label5
inline constexpr Text kSystem = {"System", "結 晶 系"};                       // Label4
inline constexpr Text kReciprocalLattice = {"Reciprocal Lattice Parameters",  // Label1
                                            "逆格子定数と標準偏差"};
inline constexpr Text kLattice = {"Lattice Parameters", "格子定数と標準偏差"};  // Label2
inline constexpr Text kResidual = {"Residual", "残差二乗和"};                   // Label8

}  // namespace dorvalix::captions
