// Decodes one input as a GIF picture.
#include "gif_decoder.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    vexa::GifPicture picture = vexa::decodeGif(bytes);
    return picture.frames.size() > 1000000 ? 1 : 0;
}
