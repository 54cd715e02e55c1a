#pragma once
// Pictures of the catalogue and the skin, decoded from their files: JPEG, GIF (still or
// animated) and BMP. A file that is missing, broken or too large gives no picture.
#include <QColor>
#include <QImage>

#include <filesystem>
#include <string_view>
#include <vector>

namespace vexa {

struct Picture {
    std::vector<QImage> frames; // one for a still picture
    std::vector<int> delaysMs;  // per frame, for animations
    bool isNull() const { return frames.empty(); }
    bool animated() const { return frames.size() > 1; }
    QImage first() const { return frames.empty() ? QImage() : frames.front(); }
};

// Decodes the file at an existing path (chosen by its content, not its name).
Picture decodePictureFile(const std::filesystem::path& path);

// The decoder a catalogue name asks for, by its last four characters in any case.
enum class PictureKind { None, Bmp, Gif, Jpeg };
PictureKind pictureKindOfName(std::string_view cp1251Name);

// Decodes a file with one decoder. Null (or no frames) when the file cannot be opened,
// is not a picture of that kind, or is too large.
QImage decodeJpegFile(const std::filesystem::path& path);
QImage decodeBmpFile(const std::filesystem::path& path);
QImage decodeBmpBytes(const QByteArray& bytes);
Picture decodeGifFile(const std::filesystem::path& path);

// The still picture of a result entry: a BMP as it is, a GIF's first frame drawn over
// the background colour, a JPEG in 24-bit colour; null when there is none.
QImage entryPicture(const std::filesystem::path& path, PictureKind kind, QColor background = Qt::white);

} // namespace vexa
