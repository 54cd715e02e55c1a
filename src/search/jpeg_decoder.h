#pragma once
// JPEG pictures decoded with libjpeg into 24-bit colour. libjpeg's errors come back here
// instead of ending the process, and a hostile file cannot make it allocate or loop
// without bound.
#include <QByteArray>
#include <QImage>

namespace vexa {

// The largest picture (in pixels, and per side) any decoder here accepts.
inline constexpr long long kMaxPicturePixels = 4096LL * 4096LL;
inline constexpr int kMaxPictureSide = 16384;

// The decoded picture in 24-bit colour, or a null image when the bytes are not a JPEG
// picture that libjpeg can read, or it is too large.
QImage decodeJpeg(const QByteArray& bytes);

} // namespace vexa
