// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG decoding through libjpeg: the version window's picture, and damaged files, which give
// no picture instead of a crash, an exit or a grey guess.
#include "jpeg_image.h"

#include <gtest/gtest.h>

#include <string>

#include "input_file.h"

namespace dorvalix {
namespace {

std::string Picture() {
    return ReadInputFile(DORVALIX_PICTURE, Lang::English);
}

std::array<int, 3> Pixel(const RgbImage& image, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return {image.pixels[i], image.pixels[i + 1], image.pixels[i + 2]};
}

TEST(JpegImage, DecodesTheVersionWindowPicture) {
    const std::optional<RgbImage> image = DecodeJpeg(Picture());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 105);
    EXPECT_EQ(image->height, 161);
    EXPECT_EQ(image->pixels.size(), 105u * 161u * 3u);
    // A pale background around a green crystal.
    for (const auto& [x, y] : {std::pair{1, 1}, std::pair{103, 159}}) {
        const auto [r, g, b] = Pixel(*image, x, y);
        EXPECT_GT(r, 200) << x << "," << y;
        EXPECT_GT(b, 200) << x << "," << y;
    }
    const auto [r, g, b] = Pixel(*image, 52, 100);
    EXPECT_GT(g, r + 30);
    EXPECT_GT(g, b + 30);
}

// Offset of the height in a baseline frame header (FF C0, length, precision, height, width).
std::size_t FrameHeightOffset(const std::string& jpeg) {
    const std::size_t sof = jpeg.find("\xFF\xC0");
    EXPECT_NE(sof, std::string::npos);
    return sof + 5;
}

TEST(JpegImage, DamagedFilesGiveNoPicture) {
    const std::string good = Picture();
    ASSERT_GT(good.size(), 1000u);
    std::string zeroSize = good;
    zeroSize[FrameHeightOffset(good)] = 0;
    zeroSize[FrameHeightOffset(good) + 1] = 0;
    std::string huge = good;  // 20000 x 20000 pixels claimed
    for (std::size_t i : {FrameHeightOffset(good), FrameHeightOffset(good) + 2}) {
        huge[i] = static_cast<char>(0x4E);
        huge[i + 1] = 0x20;
    }
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"not a JPEG", "GIF89a this is not a JPEG at all"},
        {"only the start marker", "\xFF\xD8"},
        {"cut inside the header", good.substr(0, 40)},
        {"cut inside the picture data", good.substr(0, good.size() / 2)},
        {"end marker missing", good.substr(0, good.size() - 2)},
        {"no size", zeroSize},
        {"larger than any picture the program shows", huge},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(DecodeJpeg(c.bytes)) << c.what;
    // The damage above was the only fault: the good picture still decodes.
    EXPECT_TRUE(DecodeJpeg(good));
}

}  // namespace
}  // namespace dorvalix
