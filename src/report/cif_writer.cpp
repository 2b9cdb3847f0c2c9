// SPDX-License-Identifier: GPL-3.0-or-later
#include "cif_writer.h"

#include <algorithm>
#include <cmath>

#include "centring.h"
#include "numtext.h"

namespace dorvalix {

namespace {

// The values of the core dictionary's _space_group_crystal_system.
const char* CifCrystalSystem(int code) {
    switch (code) {
        case kCubic:
            return "cubic";
        case kHexagonal:
            return "hexagonal";
        case kTetragonal:
            return "tetragonal";
        case kOrthorhombic:
            return "orthorhombic";
        case kMonoclinicBeta:
        case kMonoclinicGamma:
            return "monoclinic";
        case kTriclinic:
            return "triclinic";
        case kTrigonal:
            return "trigonal";
        default:
            return "?";
    }
}

std::string Sanitize(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const bool keep = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
                          (ch >= '0' && ch <= '9') || ch == '-' || ch == '.';
        if (keep) {
            out += ch;
        } else if (!out.empty() && out.back() != '_') {
            out += '_';
        }
    }
    while (!out.empty() && out.back() == '_')
        out.pop_back();
    if (out.size() > 70) out.resize(70);
    return out;
}

std::string Item(const char* name, const std::string& value) {
    std::string line = name;
    line.append(line.size() < 34 ? 34 - line.size() : 1, ' ');
    return line + value + "\n";
}

}  // namespace

std::string CifBlockName(const std::string& sampleName, const std::string& fileName) {
    std::string name = Sanitize(sampleName);
    if (name.empty()) {
        std::string stem = fileName;
        if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
            stem.resize(dot);
        name = Sanitize(stem);
    }
    return name.empty() ? "dorvalix" : name;
}

std::string BuildCif(const CifInput& in) {
    const RefinementDetails& d = *in.details;
    const bool twoTheta = d.twoTheta.has_value();
    const CellWithSu& cell = twoTheta ? d.twoTheta->direct : d.direct;
    std::string out = "data_" + CifBlockName(in.sampleName, in.fileName) + "\n\n";
    out += Item("_audit_creation_method", twoTheta ? "'Dorvalix 2.20, least squares on 2-theta'"
                                                   : "'Dorvalix 2.20, least squares on 1/d^2'");
    out += Item("_space_group_crystal_system", CifCrystalSystem(d.system));
    constexpr const char* kNames[7] = {"_cell_length_a",    "_cell_length_b",   "_cell_length_c",
                                       "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma",
                                       "_cell_volume"};
    for (int r = 0; r < 7; ++r)
        out += Item(kNames[r], SuText(cell, r));
    out += Item("_cell_measurement_reflns_used", IntText(d.n));
    if (twoTheta && d.twoTheta->zeroRefined) {
        // No core item holds a refined 2θ zero; a local one, with its sign spelled out.
        out += "# zero shift of the 2-theta scale: corrected 2-theta = observed 2-theta - shift\n";
        out += Item("_dorvalix_refine_2theta_zero_shift",
                    SuText(d.twoTheta->zero, d.twoTheta->zeroSu));
    }
    if (in.wavelengthApplies) {
        out += Item("_cell_measurement_wavelength", FormatGeneral(d.merit.wavelength));
        long double low = 0, high = 0;
        bool any = false;
        for (const ObservationDetails& o : d.observations) {
            if (!o.twoThetaObs) continue;
            const long double theta = *o.twoThetaObs / 2;
            low = any ? std::min(low, theta) : theta;
            high = any ? std::max(high, theta) : theta;
            any = true;
        }
        if (any) {
            out += Item("_cell_measurement_theta_min", FormatAtDecimalPlace(low, 4));
            out += Item("_cell_measurement_theta_max", FormatAtDecimalPlace(high, 4));
        }
    }

    // No core item holds the lattice centring the figures assume or the figures themselves:
    // local items, of the fit whose cell is above. F(n) needs the wavelength.
    const FiguresOfMerit& fom = d.merit;
    const char centring = CentringLetter(fom.lattice);
    out += "# figures of merit of this fit, counting the reflections lattice " +
           std::string(1, centring) + " allows\n";
    out += Item("_dorvalix_refine_lattice_centring", std::string(1, centring));
    if (fom.m.value) {
        out += Item("_dorvalix_refine_de_Wolff_M", FormatAtDecimalPlace(*fom.m.value, 1));
        out += Item("_dorvalix_refine_de_Wolff_M_lines", IntText(fom.m.n));
    }
    if (in.wavelengthApplies && fom.f.value) {
        out += Item("_dorvalix_refine_Smith_Snyder_F", FormatAtDecimalPlace(*fom.f.value, 1));
        out += Item("_dorvalix_refine_Smith_Snyder_F_lines", IntText(fom.f.n));
    }

    // The reflections of the table: d_obs as read, d_calc of the fit whose cell is above,
    // the core's inclusion flag ("o" used, "x" excluded), and whether the lattice centring
    // forbids the indices (usually a misindexed line).
    out +=
        "\nloop_\n_refln_index_h\n_refln_index_k\n_refln_index_l\n"
        "_dorvalix_refln_d_spacing_obs\n_refln_d_spacing\n_refln_include_status\n"
        "_dorvalix_refln_absent_under_centring\n";
    const ObservationTable& table = *in.table;
    std::size_t k = 0;
    for (int r = 1; r <= static_cast<int>(table.filled); ++r) {
        const bool excluded = table.IsExcluded(r);
        std::string line;
        std::int32_t hkl[3];
        bool indices = true;
        for (int c = 1; c <= 3; ++c) {
            const bool number = TryParseInt(table.Cell(c, r), hkl[c - 1]);
            indices = indices && number;
            line += (number ? IntText(hkl[c - 1]) : std::string("?")) + " ";
        }
        long double dObs;
        line +=
            (TryParseReal(table.Cell(0, r), dObs) ? FormatGeneral(dObs) : std::string("?")) + " ";
        if (excluded || k >= d.observations.size()) {
            line += ". x";
        } else {
            const long double q = twoTheta ? d.twoTheta->qCalc[k] : d.observations[k].qCalc;
            line += FormatAtDecimalPlace(1 / std::sqrt(q), 5) + " o";
            ++k;
        }
        const bool absent = indices && !AllowedByCentring(fom.lattice, hkl[0], hkl[1], hkl[2]);
        line += indices ? (absent ? " yes" : " no") : " ?";
        out += line + "\n";
    }
    return out;
}

}  // namespace dorvalix
