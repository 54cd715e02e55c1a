#pragma once
// GIF pictures, still and animated, decoded with giflib into full frames ready to show.
#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

namespace vexa {

struct GifFrame {
    QImage image; // the whole logical screen after this frame, ARGB32
    int delayMs = 0;
};

struct GifPicture {
    std::vector<GifFrame> frames;
    QString error; // empty when at least one frame was decoded
    bool ok() const { return !frames.empty(); }
    bool animated() const { return frames.size() > 1; }
};

// Limits that keep a hostile file from taking unbounded memory.
inline constexpr long long kGifMaxCanvasPixels = 4096LL * 4096LL;
inline constexpr long long kGifMaxTotalPixels = 64LL * 1024 * 1024;
inline constexpr std::size_t kGifMaxFrames = 4096;

// Decodes every frame it can. A file broken after some frames gives those frames; one
// with no readable frame gives no frames and an error text.
GifPicture decodeGif(const QByteArray& bytes);

} // namespace vexa
