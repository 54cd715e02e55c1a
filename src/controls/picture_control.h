#pragma once
// A picture control: shows a still picture, or plays an animated GIF with a timer on the
// user-interface thread. LoadPicture fills one from a catalogue or skin file name.
#include "catalogue.h"
#include "picture_file.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <stdexcept>
#include <string>
#include <vector>

namespace vexa {

// A BMP or GIF file that exists but cannot be decoded.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TPictureControl : public QWidget {
    Q_OBJECT
public:
    explicit TPictureControl(QWidget* parent = nullptr);

    // Shows a still picture (a null image clears the control).
    void setImage(const QImage& image);
    // Shows a picture; an animated one starts playing from its first frame.
    void setPicture(Picture picture);
    void clear() { setImage(QImage()); }

    // Draw the picture scaled to the control's size instead of at its own size.
    void setStretch(bool on);

    bool isEmpty() const { return frames_.empty(); }
    bool animated() const { return frames_.size() > 1; }
    int currentFrame() const { return current_; }
    QImage currentImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();

    std::vector<QImage> frames_;
    std::vector<int> delays_;
    int current_ = 0;
    bool stretch_ = false;
    QTimer timer_;
};

// Loads the picture file named by path (cp1251, catalogue form) into the control. A name
// of three characters or fewer, a missing file, or an ending other than .BMP, .GIF or .JPG
// (in any case) changes nothing; names that begin with neither '\' nor '.' are taken from
// the current provider's folder, and with no current provider nothing is loaded. A JPEG
// that cannot be decoded leaves the control as it was; a BMP or GIF that cannot be decoded
// leaves it as it was too and throws PictureError, which callers may ignore.
void LoadPicture(TPictureControl& control, const std::string& path, const Catalogue& catalogue);

} // namespace vexa
