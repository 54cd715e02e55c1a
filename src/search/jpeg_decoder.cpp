#include "jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace vexa {
namespace {

// Progressive files may hold any number of scans; real pictures use about ten.
constexpr int kMaxScans = 256;
constexpr int kMaxWarnings = 1000;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    int warnings = 0;
};

[[noreturn]] void onError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr info, int level) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    // Corrupt data is reported as warnings, one per damaged spot; a file that is nothing
    // but damage is given up.
    if (level < 0 && ++err->warnings > kMaxWarnings)
        std::longjmp(err->jump, 1);
}

void onProgress(j_common_ptr info) {
    if (!info->is_decompressor)
        return;
    auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > kMaxScans)
        std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

} // namespace

QImage decodeJpeg(const QByteArray& bytes) {
    if (bytes.size() < 4)
        return {};
    jpeg_decompress_struct info{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = onMessage;
    // Everything that must survive a jump back lives outside the jumping frame's locals
    // that change after setjmp.
    QImage* volatile result = nullptr;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        delete result;
        return {};
    }
    jpeg_create_decompress(&info);
    progress.progress_monitor = onProgress;
    info.progress = &progress;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    long long w = info.image_width, h = info.image_height;
    if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || static_cast<long long>(info.output_width) != w ||
        static_cast<long long>(info.output_height) != h) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    result = new QImage(static_cast<int>(w), static_cast<int>(h), QImage::Format_RGB888);
    if (result->isNull()) {
        jpeg_destroy_decompress(&info);
        delete result;
        return {};
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = result->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    QImage out = std::move(*result);
    delete result;
    return out;
}

} // namespace vexa
