// SPDX-License-Identifier: GPL-3.0-or-later
// Bruker binary .raw files, little-endian.
//
// RAW1.01 (version 3; DIFFRAC plus XCH manual, appendix A): a 712-byte file header (range
// count at 12, date 16, time 26, sample 326, anode 608, Kα average 616, Kα1 624, Kα2 632,
// Kβ 640 and the Kα2/Kα1 ratio 648, as doubles), then per range a 304-byte header (steps
// at 4, start 2θ 16, step 176, seconds per step 192, wavelength 240, size of the
// supplementary headers 256), those headers, and one float32 count per step.
//
// RAW4.00 (version 4): after a short file header, a chain of segments (type, length) from
// byte 61: type 10 holds a named text (SAMPLEID ...), type 30 the X-ray tube (Kα average,
// Kα1, Kα2, Kβ and ratio as doubles from byte 72 of the segment). A range starts where a
// segment of type 0 or 160 would: a 160-byte header (start 2θ at 72, step 80, steps 88,
// seconds per step 92, wavelength 112, bytes per point 136, size of the supplementary
// headers 140), the supplementary headers, then one record of that many bytes per step
// whose first four bytes are the float32 count. Further segments or ranges may follow.
#include <cmath>
#include <string>

#include "pattern_reader.h"
#include "reader_support.h"

namespace dorvalix {

using namespace pattern_io;

namespace {

// The lines a header states; a ratio of 0 or no Kα2 leaves a single line.
Wavelengths LinesOf(double ka1, double ka2, double ratio) {
    Wavelengths w;
    if (!(ka1 > 0 && ka1 < 100)) return w;
    w.ka1 = ka1;
    w.stated = true;
    if (ka2 > 0 && ka2 < 100 && ratio > 0 && ratio < 1) {
        w.ka2 = ka2;
        w.ratio = ratio;
    }
    return w;
}

// One range of `steps` points from `start` by `step`, counts from records of `recordSize`
// bytes at `dataOffset`.
Scan ReadRange(const ByteFields& f, ReadContext& context, std::size_t number, std::uint32_t steps,
               double start, double step, std::size_t dataOffset, std::size_t recordSize) {
    const std::string scanText = std::to_string(number);
    if (!std::isfinite(start) || !std::isfinite(step) || !(step > 0)) {
        context.Fail(pattern_text::kBadRange, {scanText});
    }
    if (steps > kMaxPatternPoints) {
        context.Fail(pattern_text::kTooManyPoints,
                     {std::to_string(steps), std::to_string(kMaxPatternPoints)});
    }
    const std::size_t available = dataOffset <= f.size() ? (f.size() - dataOffset) / recordSize : 0;
    if (available < steps) {
        context.Fail(pattern_text::kTruncated,
                     {scanText, std::to_string(steps), std::to_string(available)});
    }
    context.ClaimPoints(steps);
    Scan scan;
    scan.twoTheta.resize(steps);
    scan.counts.resize(steps);
    for (std::size_t i = 0; i < steps; ++i) {
        scan.twoTheta[i] = start + step * static_cast<double>(i);
        scan.counts[i] = f.F32(dataOffset + i * recordSize);
    }
    FinishScan(scan, context, number);
    return scan;
}

Pattern ReadVersion3(const ByteFields& f, ReadContext& context) {
    Pattern pattern;
    pattern.format = "raw";
    f.Require(0, 712);
    const std::uint32_t ranges = f.U32(12);
    pattern.date = f.Chars(16, 10);
    const std::string time = f.Chars(26, 10);
    if (!time.empty()) pattern.date += (pattern.date.empty() ? "" : " ") + time;
    pattern.sampleName = f.Chars(326, 60);
    pattern.wavelength = LinesOf(f.F64(624), f.F64(632), f.F64(648));
    std::size_t offset = 712;
    for (std::uint32_t r = 0; r < ranges; ++r) {
        const std::size_t number = r + 1;
        f.Require(offset, 304);
        const std::uint32_t headerLength = f.U32(offset);
        if (headerLength != 304) {
            context.Damaged("range " + std::to_string(number) + " has a header of " +
                            std::to_string(headerLength) + " bytes, not 304");
        }
        const std::uint32_t steps = f.U32(offset + 4);
        const double start = f.F64(offset + 16);
        const double step = f.F64(offset + 176);
        const double seconds = f.F32(offset + 192);
        const double used = f.F64(offset + 240);
        const std::uint32_t supplementary = f.U32(offset + 256);
        if (supplementary > f.size()) {
            context.Damaged("range " + std::to_string(number) + " declares " +
                            std::to_string(supplementary) + " bytes of further headers");
        }
        const std::size_t data = offset + 304 + supplementary;
        Scan scan = ReadRange(f, context, number, steps, start, step, data, 4);
        if (std::isfinite(seconds) && seconds > 0) scan.countingTime = seconds;
        // A file without the tube's lines still names the wavelength of each range.
        if (!pattern.wavelength.Known()) pattern.wavelength = LinesOf(used, 0, 0);
        pattern.scans.push_back(std::move(scan));
        offset = data + std::size_t{steps} * 4;
    }
    if (pattern.scans.empty()) context.Fail(pattern_text::kNoPoints);
    return pattern;
}

Pattern ReadVersion4(const ByteFields& f, ReadContext& context) {
    Pattern pattern;
    pattern.format = "raw";
    pattern.date = f.Chars(12, 12);
    const std::string time = f.Chars(24, 10);
    if (!time.empty()) pattern.date += (pattern.date.empty() ? "" : " ") + time;
    std::size_t offset = 61;
    f.Require(0, offset);
    while (offset < f.size()) {
        const std::uint32_t type = f.U32(offset);
        if (type == 0 || type == 160) {
            const std::size_t number = pattern.scans.size() + 1;
            f.Require(offset, 160);
            const double start = f.F64(offset + 72);
            const double step = f.F64(offset + 80);
            const std::uint32_t steps = f.U32(offset + 88);
            const double seconds = f.F32(offset + 92);
            const double used = f.F64(offset + 112);
            const std::uint32_t recordSize = f.U32(offset + 136);
            const std::uint32_t supplementary = f.U32(offset + 140);
            if (recordSize < 4 || recordSize > 1024 || supplementary > f.size()) {
                context.Damaged("range " + std::to_string(number) + " declares records of " +
                                std::to_string(recordSize) + " bytes after " +
                                std::to_string(supplementary) + " bytes of headers");
            }
            const std::size_t data = offset + 160 + supplementary;
            if (steps == 0) {
                // A range that was never measured holds no points.
                offset = data;
                continue;
            }
            Scan scan = ReadRange(f, context, number, steps, start, step, data, recordSize);
            if (std::isfinite(seconds) && seconds > 0) scan.countingTime = seconds;
            if (!pattern.wavelength.Known()) pattern.wavelength = LinesOf(used, 0, 0);
            pattern.scans.push_back(std::move(scan));
            offset = data + std::size_t{steps} * recordSize;
            continue;
        }
        const std::uint32_t length = f.U32(offset + 4);
        if (length < 8 || length > f.size() - offset) {
            context.Damaged("a header segment at byte " + std::to_string(offset) +
                            " declares a length of " + std::to_string(length) + " bytes");
        }
        if (type == 10 && length > 36 && f.Chars(offset + 12, 24) == "SAMPLEID") {
            pattern.sampleName = f.Chars(offset + 36, length - 36);
        } else if (type == 30 && length >= 120 && !pattern.wavelength.Known()) {
            pattern.wavelength =
                LinesOf(f.F64(offset + 80), f.F64(offset + 88), f.F64(offset + 104));
        }
        offset += length;
    }
    if (pattern.scans.empty()) context.Fail(pattern_text::kNoPoints);
    return pattern;
}

}  // namespace

Pattern ParseBrukerRaw(std::string_view bytes, const std::string& fileName, Lang lang) {
    ReadContext context(fileName, lang);
    const ByteFields fields(bytes, context);
    if (bytes.starts_with("RAW1.01")) return ReadVersion3(fields, context);
    if (bytes.starts_with("RAW4.00")) return ReadVersion4(fields, context);
    if (bytes.starts_with("RAW_")) {
        context.Fail(pattern_text::kStoeRaw);
    }
    if (bytes.starts_with("RAW ") || bytes.starts_with("RAW2")) {
        context.Fail(pattern_text::kOldBrukerRaw);
    }
    context.Fail(pattern_text::kUnknownFormat);
}

}  // namespace dorvalix
