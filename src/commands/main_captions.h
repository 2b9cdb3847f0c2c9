// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls that carry a caption, and their texts in both languages.
#pragma once

#include <array>

#include "lang.h"

namespace dorvalix {

// Controls and menu entries by their component names, in caption-table order; the
// Language menu and its two items come last (their texts are the same in both languages).
enum class Control : int {
    TForm1,
    Label7,
    Label5,
    Label4,
    Label1,
    Label2,
    Label8,
    N2,
    Read1,
    Write1,
    Exceld1,
    OpenPattern1,
    N10,
    N11,
    N18,
    N22,
    Exit1,
    N1,
    Cibic1,
    tetragonal1,
    Orthorhombic1,
    trigonal,
    Hexagonal1,
    Monoclinic901,
    Monoclinic902,
    Triclinic1,
    N14,
    N15,
    N16,
    N17,
    N20,
    N21,
    AssignIndices1,
    N3,
    N4,
    hkld1,
    Details1,
    Indexing1,
    N7,
    N8,
    N9,
    dorvalix1,
    English1,
    English2,
    Japanese1,
};

inline constexpr int kControlCount = static_cast<int>(Control::Japanese1) + 1;

// The caption of a control in both languages.
const Text& CaptionText(Control control);

// The component name of a control ("Label7", "N4").
const char* ControlName(Control control);

}  // namespace dorvalix
