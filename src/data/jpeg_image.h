// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG pictures decoded with libjpeg into 8-bit RGB pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace dorvalix {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // rows from the top, 3 bytes (red, green, blue) a pixel
};

// Pictures larger than this on a side are refused: a damaged header could ask for any size.
inline constexpr int kMaxJpegSide = 4096;

// The picture, or nothing when the bytes are not a whole JPEG picture that libjpeg decodes
// without a complaint (a damaged or cut file, a colour model without an RGB conversion) or
// it is too large.
std::optional<RgbImage> DecodeJpeg(std::string_view bytes);

}  // namespace dorvalix
