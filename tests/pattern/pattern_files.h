// SPDX-License-Identifier: GPL-3.0-or-later
// Small diffractometer files the tests build byte by byte: Bruker RAW1.01 and RAW4.00 with
// their headers at the documented offsets, and zip archives (through libzip) for .brml and
// .rasx.
#pragma once

#include <zip.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace dorvalix::test {

// Little-endian fields written at byte offsets of a growing buffer.
class Bytes {
  public:
    explicit Bytes(std::size_t size = 0) : b_(size, '\0') {}
    Bytes& U32(std::size_t at, std::uint32_t v) {
        Room(at + 4);
        for (int i = 0; i < 4; ++i)
            b_[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
        return *this;
    }
    Bytes& F32(std::size_t at, float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return U32(at, bits);
    }
    Bytes& F64(std::size_t at, double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        U32(at, static_cast<std::uint32_t>(bits));
        return U32(at + 4, static_cast<std::uint32_t>(bits >> 32));
    }
    Bytes& Text(std::size_t at, const std::string& s) {
        Room(at + s.size());
        b_.replace(at, s.size(), s);
        return *this;
    }
    std::size_t Size() const { return b_.size(); }
    const std::string& Str() const { return b_; }

  private:
    void Room(std::size_t n) {
        if (b_.size() < n) b_.resize(n, '\0');
    }
    std::string b_;
};

struct RawRange {
    double start = 10, step = 0.02;
    std::vector<float> counts;
    float seconds = 1;
};

// RAW1.01: a 712-byte file header, then per range 304 bytes, `supplementary` bytes of
// further headers and one float32 per step.
inline std::string RawVersion3(const std::vector<RawRange>& ranges, double ka1, double ka2,
                               double ratio, const std::string& sample,
                               std::uint32_t supplementary = 40) {
    Bytes b(712);
    b.Text(0, "RAW1.01").U32(8, 1).U32(12, static_cast<std::uint32_t>(ranges.size()));
    b.Text(16, "01/22/18").Text(26, "16:34:23").Text(326, sample).Text(608, "Cu");
    b.F64(616, (2 * ka1 + ka2) / 3).F64(624, ka1).F64(632, ka2).F64(640, 1.39222).F64(648, ratio);
    std::size_t at = 712;
    for (const RawRange& r : ranges) {
        b.U32(at, 304).U32(at + 4, static_cast<std::uint32_t>(r.counts.size()));
        b.F64(at + 8, r.start / 2).F64(at + 16, r.start).F64(at + 176, r.step);
        b.F32(at + 192, r.seconds).F64(at + 240, ka1).U32(at + 252, 4).U32(at + 256, supplementary);
        at += 304;
        if (supplementary >= 8) b.U32(at, 110).U32(at + 4, supplementary);
        at += supplementary;
        for (const float c : r.counts) {
            b.F32(at, c);
            at += 4;
        }
    }
    return b.Str();
}

// RAW4.00: the file header, a SAMPLEID text segment and the tube's segment, then each range:
// 160 bytes, one drive segment (92 bytes) and records of `recordSize` bytes whose first
// four are the count; a comment segment between ranges.
inline std::string RawVersion4(const std::vector<RawRange>& ranges, double ka1, double ka2,
                               double ratio, const std::string& sample,
                               std::uint32_t recordSize = 8) {
    Bytes b(61);
    b.Text(0, "RAW4.00").Text(12, "04/07/2025").Text(24, "20:48:56");
    std::size_t at = 61;
    const auto length = static_cast<std::uint32_t>(36 + sample.size());
    b.U32(at, 10).U32(at + 4, length).Text(at + 12, "SAMPLEID").Text(at + 36, sample);
    at += length;
    b.U32(at, 30).U32(at + 4, 136).F64(at + 72, ka1).F64(at + 80, ka1).F64(at + 88, ka2);
    b.F64(at + 96, 1.39222).F64(at + 104, ratio).Text(at + 116, "Cu");
    at += 136;
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        const RawRange& r = ranges[k];
        if (k > 0) {
            b.U32(at, 10).U32(at + 4, 40).Text(at + 12, "COMMENT");
            at += 40;
        }
        b.U32(at, 0).U32(at + 4, static_cast<std::uint32_t>(r.counts.size()));
        b.Text(at + 32, "Locked Coupled").F64(at + 72, r.start).F64(at + 80, r.step);
        b.U32(at + 88, static_cast<std::uint32_t>(r.counts.size())).F32(at + 92, r.seconds);
        b.F64(at + 112, ka1).U32(at + 136, recordSize).U32(at + 140, 92);
        at += 160;
        b.U32(at, 50).U32(at + 4, 92).Text(at + 12, "2Theta").F64(at + 56, r.start);
        at += 92;
        for (const float c : r.counts) {
            b.F32(at, c);
            for (std::uint32_t extra = 4; extra + 4 <= recordSize; extra += 4)
                b.U32(at + extra, 1);
            at += recordSize;
        }
    }
    return b.Str();
}

// A zip archive of the members (name, content), deflated, as bytes; `folder` is a scratch
// folder for the file libzip writes.
inline std::string ZipArchiveBytes(const std::vector<std::pair<std::string, std::string>>& members,
                                   const std::string& folder) {
    const std::string path = folder + "/archive.zip";
    std::filesystem::remove(path);
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (z == nullptr) throw std::runtime_error("zip_open failed");
    for (const auto& [name, content] : members) {
        zip_source_t* source = zip_source_buffer(z, content.data(), content.size(), 0);
        if (source == nullptr || zip_file_add(z, name.c_str(), source, ZIP_FL_OVERWRITE) < 0)
            throw std::runtime_error("zip_file_add failed");
    }
    if (zip_close(z) != 0) throw std::runtime_error("zip_close failed");
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace dorvalix::test
