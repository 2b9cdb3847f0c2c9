// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: JPEG decoding. Any input gives a picture of the size it claims, within
// the limit, or none; libjpeg's errors never end the program.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "jpeg_image.h"

using namespace dorvalix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto image = DecodeJpeg(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!image) return 0;
    if (image->width <= 0 || image->height <= 0 || image->width > kMaxJpegSide ||
        image->height > kMaxJpegSide ||
        image->pixels.size() != static_cast<std::size_t>(image->width) * image->height * 3) {
        std::fprintf(stderr, "picture of %d x %d with %zu bytes\n", image->width, image->height,
                     image->pixels.size());
        std::abort();
    }
    return 0;
}
