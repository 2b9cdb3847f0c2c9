// SPDX-License-Identifier: GPL-3.0-or-later
// Progress of a long step: called now and then with the fraction done (0 to 1); returning
// false cancels the step, which then ends early with what it has.
#pragma once

#include <functional>

namespace dorvalix {

using Progress = std::function<bool(double fraction)>;

// Calls `progress` when there is one; true (go on) when there is none.
inline bool Report(const Progress& progress, double fraction) {
    return !progress || progress(fraction);
}

}  // namespace dorvalix
