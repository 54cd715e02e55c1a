// Decodes one input as a JPEG and as a BMP picture.
#include "jpeg_decoder.h"
#include "picture_file.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QImage jpeg = vexa::decodeJpeg(bytes);
    QImage bmp = vexa::decodeBmpBytes(bytes);
    return jpeg.width() + bmp.width() < 0 ? 1 : 0;
}
