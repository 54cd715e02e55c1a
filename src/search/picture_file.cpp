#include "picture_file.h"

#include "gif_decoder.h"

#include <QFile>
#include <QImageReader>

namespace vexa {

Picture decodePictureFile(const std::filesystem::path& path) {
    Picture out;
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("GIF8")) {
        GifPicture gif = decodeGif(bytes);
        for (auto& f : gif.frames) {
            out.frames.push_back(std::move(f.image));
            out.delaysMs.push_back(f.delayMs);
        }
        return out;
    }
    // Other formats go through Qt's readers for now, with a cap on the decoded size.
    QImageReader reader(QString::fromStdString(path.string()));
    reader.setDecideFormatFromContent(true);
    QSize size = reader.size();
    if (size.isValid() && static_cast<long long>(size.width()) * size.height() > kGifMaxCanvasPixels)
        return out;
    QImage img = reader.read();
    if (!img.isNull()) {
        out.frames.push_back(std::move(img));
        out.delaysMs.push_back(0);
    }
    return out;
}

} // namespace vexa
