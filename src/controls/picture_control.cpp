#include "picture_control.h"

#include "cp1251.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace vexa {

TPictureControl::TPictureControl(QWidget* parent) : QWidget(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { advance(); });
}

void TPictureControl::setImage(const QImage& image) {
    Picture p;
    if (!image.isNull()) {
        p.frames.push_back(image);
        p.delaysMs.push_back(0);
    }
    setPicture(std::move(p));
}

void TPictureControl::setPicture(Picture picture) {
    timer_.stop();
    frames_ = std::move(picture.frames);
    delays_ = std::move(picture.delaysMs);
    delays_.resize(frames_.size(), 100);
    current_ = 0;
    if (frames_.size() > 1)
        timer_.start(std::max(delays_[0], 10));
    update();
}

void TPictureControl::setStretch(bool on) {
    stretch_ = on;
    update();
}

QImage TPictureControl::currentImage() const {
    return frames_.empty() ? QImage() : frames_[static_cast<std::size_t>(current_)];
}

void TPictureControl::advance() {
    if (frames_.size() < 2)
        return;
    current_ = (current_ + 1) % static_cast<int>(frames_.size());
    update();
    timer_.start(std::max(delays_[static_cast<std::size_t>(current_)], 10));
}

void TPictureControl::paintEvent(QPaintEvent*) {
    if (frames_.empty())
        return;
    QPainter p(this);
    const QImage& img = frames_[static_cast<std::size_t>(current_)];
    if (stretch_)
        p.drawImage(rect(), img);
    else
        p.drawImage(0, 0, img);
}

void LoadPicture(TPictureControl& control, const std::string& path, const Catalogue& cat) {
    if (path.size() <= 3)
        return;
    std::string folder;
    if (path[0] != '\\' && path[0] != '.') {
        if (cat.CurrentProvider < 0 || static_cast<std::size_t>(cat.CurrentProvider) >= cat.Providers.size())
            return;
        folder = cat.Providers[static_cast<std::size_t>(cat.CurrentProvider)].Folder;
    }
    PictureKind kind = pictureKindOfName(path);
    if (kind == PictureKind::None)
        return;
    auto file = cat.resolveFile(folder, path);
    std::error_code ec;
    if (!file || !std::filesystem::is_regular_file(*file, ec))
        return;
    switch (kind) {
    case PictureKind::Bmp: {
        QImage img = decodeBmpFile(*file);
        if (img.isNull())
            throw PictureError("the BMP picture cannot be read: " + file->string());
        control.setImage(img);
        break;
    }
    case PictureKind::Gif: {
        Picture gif = decodeGifFile(*file);
        if (gif.isNull())
            throw PictureError("the GIF picture cannot be read: " + file->string());
        // Transparent parts show the system window colour.
        QColor background = control.palette().color(QPalette::Base);
        for (QImage& frame : gif.frames) {
            QImage flat(frame.size(), QImage::Format_RGB32);
            flat.fill(background);
            QPainter p(&flat);
            p.drawImage(0, 0, frame);
            p.end();
            frame = std::move(flat);
        }
        control.setPicture(std::move(gif));
        break;
    }
    case PictureKind::Jpeg: {
        QImage img = decodeJpegFile(*file);
        if (!img.isNull())
            control.setImage(img);
        break;
    }
    case PictureKind::None:
        break;
    }
}

} // namespace vexa
