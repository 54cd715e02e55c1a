#include "picture_file.h"

#include "cp1251.h"
#include "gif_decoder.h"
#include "jpeg_decoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace vexa {

namespace {

// Picture files larger than this are not read at all.
constexpr qint64 kMaxPictureFileBytes = 64LL * 1024 * 1024;

QByteArray readBytes(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPictureFileBytes)
        return {};
    return file.readAll();
}

Picture fromGif(GifPicture gif) {
    Picture out;
    for (auto& f : gif.frames) {
        out.frames.push_back(std::move(f.image));
        out.delaysMs.push_back(f.delayMs);
    }
    return out;
}

QImage decodeBmp(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
        static_cast<long long>(size.width()) * size.height() > kMaxPicturePixels)
        return {};
    return reader.read();
}

Picture still(QImage image) {
    Picture out;
    if (!image.isNull()) {
        out.frames.push_back(std::move(image));
        out.delaysMs.push_back(0);
    }
    return out;
}

} // namespace

Picture decodePictureFile(const std::filesystem::path& path) {
    QByteArray bytes = readBytes(path);
    if (bytes.startsWith("GIF8"))
        return fromGif(decodeGif(bytes));
    if (bytes.startsWith("\xFF\xD8"))
        return still(decodeJpeg(bytes));
    if (bytes.startsWith("BM"))
        return still(decodeBmp(bytes));
    // Other formats (the skin may use PNG) go through Qt's readers, with the same caps.
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
        static_cast<long long>(size.width()) * size.height() > kMaxPicturePixels)
        return {};
    return still(reader.read());
}

PictureKind pictureKindOfName(std::string_view name) {
    if (name.size() < 4)
        return PictureKind::None;
    std::string end = cp1251::toUpper(name.substr(name.size() - 4));
    if (end == ".BMP")
        return PictureKind::Bmp;
    if (end == ".GIF")
        return PictureKind::Gif;
    if (end == ".JPG")
        return PictureKind::Jpeg;
    return PictureKind::None;
}

QImage decodeJpegFile(const std::filesystem::path& path) {
    return decodeJpeg(readBytes(path));
}

QImage decodeBmpFile(const std::filesystem::path& path) {
    return decodeBmp(readBytes(path));
}

QImage decodeBmpBytes(const QByteArray& bytes) {
    return decodeBmp(bytes);
}

Picture decodeGifFile(const std::filesystem::path& path) {
    return fromGif(decodeGif(readBytes(path)));
}

QImage entryPicture(const std::filesystem::path& path, PictureKind kind, QColor background) {
    switch (kind) {
    case PictureKind::Bmp:
        return decodeBmpFile(path);
    case PictureKind::Jpeg:
        return decodeJpegFile(path);
    case PictureKind::Gif: {
        Picture gif = decodeGifFile(path);
        if (gif.isNull())
            return {};
        QImage flat(gif.frames.front().size(), QImage::Format_RGB32);
        flat.fill(background);
        QPainter p(&flat);
        p.drawImage(0, 0, gif.frames.front());
        return flat;
    }
    case PictureKind::None:
        break;
    }
    return {};
}

} // namespace vexa
