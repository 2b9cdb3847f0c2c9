// SPDX-License-Identifier: GPL-3.0-or-later
// The refined cell as a CIF 1.1 data block, for papers and databases.
#pragma once

#include <string>

#include "observation_table.h"
#include "refinement_details.h"

namespace dorvalix {

struct CifInput {
    std::string sampleName;                   // becomes the block name, made CIF-safe
    std::string fileName;                     // the block name when the sample name leaves nothing
    const ObservationTable* table = nullptr;  // the rows as the run left them
    const RefinementDetails* details = nullptr;
    // The wavelength of the details was the measurement's (given by the user or fitted
    // on): it and the θ range are written.
    bool wavelengthApplies = false;
};

// The data block name: letters, digits, "-" and "." kept, every other run of characters one
// "_", at most 70 characters; "dorvalix" when nothing is left.
std::string CifBlockName(const std::string& sampleName, const std::string& fileName);

// The CIF text, lines ended by LF. The cell (in s.u. notation) is the 2θ fit's when one
// was made, else the Q fit's; so are the calculated d of the reflection loop.
std::string BuildCif(const CifInput& in);

}  // namespace dorvalix
