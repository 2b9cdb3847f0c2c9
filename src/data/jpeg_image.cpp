// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpeg_image.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

namespace dorvalix {

namespace {

// libjpeg ends a fatal error by calling error_exit, which must not return: it jumps back to
// the decoder, which gives up. Warnings (corrupt data it would paper over) are counted.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int warnings = 0;
};

void ErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void EmitMessage(j_common_ptr info, int level) {
    if (level < 0) ++reinterpret_cast<ErrorManager*>(info->err)->warnings;
}

// Only C objects live in this frame between setjmp and a longjmp; the pixels belong to the
// caller's `out`.
bool DecodeInto(const unsigned char* data, unsigned long size, RgbImage& out) {
    jpeg_decompress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxJpegSide ||
        info.image_height > kMaxJpegSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    const std::size_t stride = static_cast<std::size_t>(out.width) * 3;
    out.pixels.assign(stride * static_cast<std::size_t>(out.height), 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return err.warnings == 0;
}

}  // namespace

std::optional<RgbImage> DecodeJpeg(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    RgbImage image;
    if (!DecodeInto(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), image))
        return std::nullopt;
    return image;
}

}  // namespace dorvalix
