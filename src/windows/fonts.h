// SPDX-License-Identifier: GPL-3.0-or-later
// The program's fonts. The Japanese Gothic and Mincho faces are the IPA fonts, which are
// drawn to the same metrics as the ones the layout was made for; the Latin faces are
// DejaVu. Every face has fallbacks, and every size is in pixels.
#pragma once

#include <QFont>

namespace dorvalix {

// Fixed-pitch Gothic (half-width characters are exactly half an em): grids and labels.
QFont GothicFont(int pixelSize);
// Proportional Gothic: the window's default font, Edit1, Edit2.
QFont PGothicFont(int pixelSize);
// Mincho (serif) Japanese face.
QFont MinchoFont(int pixelSize);
// Latin sans-serif and serif faces.
QFont SansFont(int pixelSize);
QFont SerifFont(int pixelSize);

}  // namespace dorvalix
