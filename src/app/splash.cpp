#include "splash.h"

#include "gif_decoder.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QScreen>

namespace vexa {

std::int32_t TMyProgress::lineLength() const {
    if (Max == 0)
        return 0;
    // 64-bit product: catalogues above some 20 million bytes overflow 32 bits.
    std::int64_t a = static_cast<std::int64_t>(BarLength) * Position / Max;
    return static_cast<std::int32_t>(a);
}

void TMyProgress::StepBy(std::int32_t n) {
    Position += n;
    draw();
}

void TMyProgress::draw() {
    std::int32_t a = lineLength();
    if (a == 0 || !owner_)
        return;
    // Drawing the same line again would change no pixel.
    if (a == lastLength_ && Color == lastColor_)
        return;
    lastLength_ = a;
    lastColor_ = Color;
    {
        QPainter p(&owner_->surface());
        QColor c(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
        p.setPen(QPen(c, 2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(10, 90, 10 + a, 90);
    }
    owner_->paintNow();
}

TFormSplash::TFormSplash(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::SplashScreen),
      progress_(std::make_unique<TMyProgress>(this)) {
    setObjectName("FormSplash");
    QFile file(":/vexa/splash.gif");
    GifPicture picture;
    if (file.open(QIODevice::ReadOnly))
        picture = decodeGif(file.readAll());
    if (picture.ok())
        surface_ = picture.frames.front().image.convertToFormat(QImage::Format_RGB32);
    else {
        surface_ = QImage(214, 100, QImage::Format_RGB32);
        surface_.fill(QColor(40, 40, 60));
    }
    setFixedSize(surface_.size());
    progress_->BarLength = 104;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect desk = screen->geometry();
        move(desk.center() - rect().center());
    }
}

TFormSplash::~TFormSplash() = default;

void TFormSplash::paintNow() {
    if (isVisible())
        repaint();
}

void TFormSplash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, surface_);
}

} // namespace vexa
