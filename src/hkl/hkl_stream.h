// SPDX-License-Identifier: GPL-3.0-or-later
// The tool's table written without holding it: generated piece by piece in table order on
// every core, each piece turned into lines by the thread that made it, and handed on in
// order, so the memory used does not grow with the table.
#pragma once

#include "hkl_table.h"
#include "hkl_text.h"

namespace dorvalix {

// The lines GenerateHklTable and WriteHklLines would give, in blocks to `sink`. Refused as
// GenerateHklTable refuses, from the counted index range, before any line is made.
// FloatFault as GenerateHklTable throws it (for a degenerate cell the table is made first,
// and nothing is written).
HklRefusal StreamHklLines(const HklCell& cell, const IndexRange& range,
                          const HklParameters& parameters, const HklLimit& limit, HklLineEnd end,
                          int threads, const HklTextSink& sink);

}  // namespace dorvalix
