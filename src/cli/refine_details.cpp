// SPDX-License-Identifier: GPL-3.0-or-later
#include "refine_details.h"

#include <algorithm>

#include "csv_writer.h"
#include "hkl_parallel.h"
#include "hkl_table.h"
#include "json_text.h"
#include "numtext.h"

namespace dorvalix::cli {

bool IsDetailsFlag(std::string_view option) {
    return option == "--details" || option == "--zero-shift";
}

bool IsDetailsOption(std::string_view option) {
    return option == "--lattice" || option == "--wavelength" || option == "--xray" ||
           option == "--fit";
}

std::string ParseDetailsFlag(std::string_view option, DetailsRequest& request) {
    request.details = true;
    if (option == "--zero-shift") request.options.zeroShift = true;
    return {};
}

std::string ParseDetailsOption(std::string_view option, const std::string& value,
                               DetailsRequest& request) {
    const std::string name(option);
    request.details = true;
    if (option == "--lattice") {
        const auto centring = CentringFromLetter(value);
        if (!centring) return name + " " + QuoteForMessage(value) + ": give P, A, B, C, I, F or R";
        request.options.lattice = *centring;
    } else if (option == "--wavelength" || option == "--xray") {
        if (request.wavelengthGiven && request.xrayGiven != (option == "--xray")) {
            return "--wavelength and --xray exclude each other";
        }
        if (option == "--wavelength") {
            long double v;
            if (!TryParseReal(value, v))
                return name + " " + QuoteForMessage(value) + ": give a number";
            request.options.wavelength = v;
        } else {
            const WavelengthPreset* preset = FindWavelengthPreset(value);
            if (preset == nullptr) {
                std::string names;
                for (const WavelengthPreset& p : kWavelengthPresets)
                    names += std::string(" ") + p.name;
                return name + " " + QuoteForMessage(value) + ": give one of" + names;
            }
            request.options.wavelength = preset->wavelength;
            request.xrayGiven = true;
        }
        request.wavelengthGiven = true;
    } else if (option == "--fit") {
        if (value == "q") {
            request.fit = DetailsFit::Q;
        } else if (value == "2theta") {
            request.fit = DetailsFit::TwoTheta;
        } else {
            return name + " " + QuoteForMessage(value) + ": give q or 2theta";
        }
        request.options.fit = *request.fit;
    }
    return {};
}

std::string CheckDetailsRequest(const DetailsRequest& request) {
    if (request.options.zeroShift && request.fit == DetailsFit::Q) {
        return "--zero-shift refines the zero of the fit on 2theta: not with --fit q";
    }
    return {};
}

namespace {

constexpr const char* kCellKeys[7] = {"a", "b", "c", "alpha", "beta", "gamma", "volume"};

std::string JsonBool(bool b) {
    return b ? "true" : "false";
}

std::string JsonInt(const std::optional<int>& v) {
    return v ? IntText(*v) : "null";
}

std::string JsonNote(const std::optional<DetailsMessage>& note, Lang lang) {
    return note ? JsonString(note->Text(lang)) : "null";
}

template <class F>
std::string JsonObject(F value) {
    std::string out = "{";
    for (std::size_t r = 0; r < 7; ++r) {
        if (r > 0) out += ", ";
        out += JsonString(kCellKeys[r]) + ": " + value(r);
    }
    return out + "}";
}

std::string Values(const CellWithSu& cell) {
    return JsonObject([&](std::size_t r) { return JsonNumber(cell.value[r]); });
}
std::string Sus(const CellWithSu& cell) {
    return JsonObject([&](std::size_t r) { return JsonNumber(cell.su[r]); });
}
std::string SuTexts(const CellWithSu& cell) {
    return JsonObject([&](std::size_t r) { return JsonString(SuText(cell, static_cast<int>(r))); });
}

std::string Array(const std::vector<long double>& v) {
    std::string out = "[";
    for (std::size_t i = 0; i < v.size(); ++i)
        out += (i > 0 ? ", " : "") + JsonNumber(v[i]);
    return out + "]";
}

}  // namespace

std::string DetailsJson(const RefinementDetails& d, Lang lang) {
    std::string out = "{\n";
    // None without a degree of freedom (N = P).
    out += "    \"covariance\": ";
    if (d.covariance.empty()) {
        out += "null,\n";
    } else {
        out += "[";
        for (std::size_t r = 0; r < d.covariance.size(); ++r)
            out += (r > 0 ? ", " : "") + Array(d.covariance[r]);
        out += "],\n";
    }
    out += "    \"reciprocal_su\": " + Sus(d.reciprocal) + ",\n";
    out += "    \"direct_su\": " + Sus(d.direct) + ",\n";
    out += "    \"direct_text\": " + SuTexts(d.direct) + ",\n";
    out += "    \"observations\": [";
    for (std::size_t i = 0; i < d.observations.size(); ++i) {
        const ObservationDetails& o = d.observations[i];
        out += i > 0 ? ",\n      {" : "\n      {";
        out += "\"row\": " + IntText(o.row);
        out += ", \"leverage\": " + JsonNumber(o.leverage);
        out += ", \"studentized\": " + JsonNumber(o.studentized);
        out += ", \"cook\": " + JsonNumber(o.cook);
        out += ", \"outlier\": " + JsonBool(o.outlier);
        out += ", \"absent\": " + JsonBool(o.absent) + "}";
    }
    out += d.observations.empty() ? "],\n" : "\n    ],\n";
    const FiguresOfMerit& fom = d.merit;
    // The fit whose positions the figures come from: the Q fit unless --fit 2theta.
    out += "    \"figures_of_merit\": {\"fit\": " +
           JsonString(fom.fit == DetailsFit::Q ? "q" : "2theta") +
           ", \"zero_shift\": " + JsonBool(fom.zeroRefined) +
           ", \"lattice\": " + JsonString(std::string(1, CentringLetter(fom.lattice))) +
           ", \"wavelength\": " + JsonNumber(fom.wavelength) + ",\n";
    out += "      \"M\": {\"n\": " + IntText(fom.m.n) + ", \"value\": " + JsonNumber(fom.m.value) +
           ", \"q_n\": " + JsonNumber(fom.m.qN) +
           ", \"mean_abs_dq\": " + JsonNumber(fom.m.meanAbsDq) +
           ", \"n_calc\": " + JsonInt(fom.m.nCalc) + ", \"note\": " + JsonNote(fom.m.note, lang) +
           "},\n";
    out += "      \"F\": {\"n\": " + IntText(fom.f.n) + ", \"value\": " + JsonNumber(fom.f.value) +
           ", \"mean_abs_d2theta\": " + JsonNumber(fom.f.meanAbsD2Theta) +
           ", \"n_poss\": " + JsonInt(fom.f.nPoss) + ", \"note\": " + JsonNote(fom.f.note, lang) +
           "}},\n";
    out += "    \"two_theta_fit\": ";
    if (!d.twoTheta) {
        out += "null\n";
    } else {
        const TwoThetaFit& t = *d.twoTheta;
        out += "{\"zero_refined\": " + JsonBool(t.zeroRefined) +
               ", \"zero\": " + JsonNumber(t.zero) + ", \"zero_su\": " + JsonNumber(t.zeroSu) +
               ",\n";
        out += "      \"coefficients\": " + Array(t.coefficients) + ",\n";
        out += "      \"coefficient_su\": " + Array(t.coefficientSu) + ",\n";
        out += "      \"direct\": " + Values(t.direct) + ",\n";
        out += "      \"direct_su\": " + Sus(t.direct) + ",\n";
        out += "      \"direct_text\": " + SuTexts(t.direct) + ",\n";
        out += "      \"sum_sq\": " + JsonNumber(t.sumSq) +
               ", \"iterations\": " + IntText(t.iterations) + "}\n";
    }
    return out + "  }";
}

std::string SummaryHeader(bool zeroShift) {
    std::vector<std::string> f = {"file", "system", "n"};
    for (const char* key : kCellKeys) {
        f.push_back(key);
        f.push_back(std::string("su_") + key);
    }
    f.insert(f.end(), {"residual", "M", "F"});
    if (zeroShift) f.insert(f.end(), {"zero", "su_zero"});
    f.push_back("error");
    return CsvRecord(f);
}

std::string SummaryRow(const std::string& file, const CalculationState& state,
                       const RefinementDetails& d, bool zeroShift) {
    // The cell of the fit asked for, as in the CIF.
    const CellWithSu& cell = d.twoTheta ? d.twoTheta->direct : d.direct;
    std::vector<std::string> f = {CsvText(file), IntText(state.crystalSystem), IntText(d.n)};
    for (std::size_t r = 0; r < 7; ++r) {
        f.push_back(CsvNumber(cell.value[r]));
        f.push_back(CsvNumber(cell.su[r]));
    }
    f.push_back(CsvNumber(state.result.residual));
    f.push_back(CsvNumber(d.merit.m.value));
    f.push_back(CsvNumber(d.merit.f.value));
    if (zeroShift) {
        f.push_back(d.twoTheta ? CsvNumber(d.twoTheta->zero) : "");
        f.push_back(d.twoTheta ? CsvNumber(d.twoTheta->zeroSu) : "");
    }
    f.push_back("");
    return CsvRecord(f);
}

std::string SummaryErrorRow(const std::string& file, const std::string& message, bool zeroShift) {
    std::vector<std::string> f(3 + 14 + 3 + (zeroShift ? 2 : 0) + 1);
    f.front() = CsvText(file);
    f.back() = CsvText(message);
    return CsvRecord(f);
}

void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work) {
    // The hkl table's pool: threads the system refuses (a process limit) leave their share
    // to the others, down to the calling thread alone.
    ForEachPiece(count, HklThreadCount(0), [&](std::size_t i, int) { work(i); });
}

}  // namespace dorvalix::cli
