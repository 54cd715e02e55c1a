#include "my_scroll.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace vexa {

namespace {
const QColor kPartColor(207, 214, 214);
} // namespace

ScrollAreaTarget::ScrollAreaTarget(QAbstractScrollArea* area) : area_(area) {}

bool ScrollAreaTarget::scrollState(int& min, int& max, int& page, int& position) {
    if (!area_)
        return false;
    QScrollBar* bar = area_->verticalScrollBar();
    page = std::max(1, bar->pageStep());
    min = bar->minimum();
    // Qt's maximum is the highest position; the Windows maximum includes the page.
    max = bar->maximum() + page - 1;
    position = bar->value();
    return true;
}

void ScrollAreaTarget::lineUp() {
    if (area_)
        area_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
}

void ScrollAreaTarget::lineDown() {
    if (area_)
        area_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

QImage whiteTransparent(const QImage& picture) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF)
                line[x] = 0;
    }
    return out;
}

QImage TMyScroll::defaultUpArrow() {
    QImage img(14, 14, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(kPartColor);
    p.setBrush(kPartColor);
    p.drawPolygon(QPolygon({QPoint(0, 10), QPoint(5, 5), QPoint(6, 5), QPoint(11, 10)}));
    return img;
}

QImage TMyScroll::defaultDownArrow() {
    QImage img(14, 14, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(kPartColor);
    p.setBrush(kPartColor);
    p.drawPolygon(QPolygon({QPoint(1, 4), QPoint(10, 4), QPoint(5, 9)}));
    return img;
}

QImage TMyScroll::defaultThumb() {
    QImage img(14, 29, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(QRect(QPoint(2, 3), QPoint(8, 25)), kPartColor);
    p.setPen(Qt::white);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygon({QPoint(3, 6), QPoint(7, 6), QPoint(5, 4)}));
    p.drawPolygon(QPolygon({QPoint(3, 22), QPoint(7, 22), QPoint(5, 24)}));
    return img;
}

TMyScroll::TMyScroll(QWidget* parent, int width) : QWidget(parent) {
    up_ = whiteTransparent(defaultUpArrow());
    down_ = whiteTransparent(defaultDownArrow());
    thumb_ = whiteTransparent(defaultThumb());
    setFixedWidth(width);
    RepeatTimer.setInterval(500);
    connect(&RepeatTimer, &QTimer::timeout, this, &TMyScroll::repeatTick);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TMyScroll::~TMyScroll() = default;

void TMyScroll::setTarget(std::unique_ptr<ScrollTarget> target) {
    Target = std::move(target);
}

void TMyScroll::setPictures(const QImage& upArrow, const QImage& downArrow, const QImage& thumb) {
    if (!upArrow.isNull())
        up_ = whiteTransparent(upArrow);
    if (!downArrow.isNull())
        down_ = whiteTransparent(downArrow);
    if (!thumb.isNull())
        thumb_ = whiteTransparent(thumb);
    UpdateThumb();
    update();
}

void TMyScroll::setPartsLeft(int x) {
    partsLeft_ = x;
    update();
}

QRect TMyScroll::upArrowRect() const {
    return QRect(partsLeft_, 0, up_.width(), up_.height());
}
QRect TMyScroll::downArrowRect() const {
    return QRect(partsLeft_, downTop(), down_.width(), down_.height());
}
QRect TMyScroll::trackRect() const {
    return QRect(0, trackTop(), width(), trackHeight());
}
QRect TMyScroll::thumbRect() const {
    return QRect(partsLeft_, thumbTop_, thumb_.width(), thumb_.height());
}

TMyScroll::Part TMyScroll::partAt(const QPoint& p) const {
    if (thumbRect().contains(p))
        return Part::Thumb;
    if (upArrowRect().contains(p))
        return Part::UpArrow;
    if (downArrowRect().contains(p))
        return Part::DownArrow;
    if (trackRect().contains(p))
        return Part::Track;
    return Part::None;
}

void TMyScroll::resizeEvent(QResizeEvent*) {
    UpdateThumb();
}

void TMyScroll::SetParams(int position, int min, int max) {
    if (min > max)
        max = min;
    position = std::clamp(position, min, max);
    if (position == Position_ && min == Min_ && max == Max_)
        return;
    Position_ = position;
    Min_ = min;
    Max_ = max;
    UpdateThumb();
}

void TMyScroll::UpdateThumb() {
    if (Min_ >= Max_)
        return;
    // In floating point from the start: the difference of two positions may not fit an int.
    double top = (double(Position_) - Min_) / (double(Max_) - Min_) * trackHeight() - thumb_.height() / 2.0;
    int t = static_cast<int>(std::lround(top)) + trackTop();
    if (t < trackTop())
        t = trackTop();
    if (t > downTop() - thumb_.height())
        t = downTop() - thumb_.height();
    if (t != thumbTop_) {
        thumbTop_ = t;
        update();
    }
}

void TMyScroll::SyncWithWindow() {
    int min, max, page, position;
    if (!Target || !Target->scrollState(min, max, page, position))
        return;
    if (max > min) {
        SetParams(position, min, max - (page - 1));
        UpdateThumb();
        setVisible(Min_ <= Position_ && Position_ <= Max_ && Min_ < Max_);
    } else {
        hide();
    }
}

bool TMyScroll::moveForPress(Part part, Qt::MouseButton button, int y, int& oldPosition) {
    HeldPart_ = Part::None;
    if (button != Qt::LeftButton)
        return false;
    oldPosition = Position_;
    switch (part) {
    case Part::Track:
        if (trackHeight() > 0) {
            // Kept in range while it is computed; the clamp below would come too late for
            // a sum that does not fit an int.
            double aim = std::round(double(y) / trackHeight() * (double(Max_) - Min_)) + Min_;
            Position_ = static_cast<int>(std::clamp(aim, double(INT32_MIN), double(INT32_MAX)));
        }
        break;
    case Part::UpArrow:
        Position_ = Position_ == INT32_MIN ? Position_ : Position_ - 1;
        HeldPart_ = Part::UpArrow;
        RepeatTimer.start();
        break;
    case Part::DownArrow:
        Position_ = Position_ == INT32_MAX ? Position_ : Position_ + 1;
        HeldPart_ = Part::DownArrow;
        RepeatTimer.start();
        break;
    default:
        break;
    }
    if (Position_ == oldPosition)
        return false;
    Position_ = std::clamp(Position_, Min_, Max_);
    UpdateThumb();
    return true;
}

void TMyScroll::PartMouseDown(Part part, Qt::MouseButton button, Qt::KeyboardModifiers, int, int y) {
    int old = 0;
    if (!moveForPress(part, button, y, old))
        return;
    long long d = static_cast<long long>(Position_) - old;
    if (!Target)
        return;
    for (long long i = 0; i < d; ++i)
        Target->lineDown();
    for (long long i = 0; i < -d; ++i)
        Target->lineUp();
}

void TMyScroll::PartMouseUp(Part, Qt::MouseButton button) {
    if (button == Qt::LeftButton)
        HeldPart_ = Part::None;
}

void TMyScroll::ThumbMouseMove(int, int y) {
    if (!draggingThumb_)
        return;
    int t = thumbTop_ + y - thumb_.height() / 2;
    t = std::clamp(t, 0, std::max(0, trackHeight()));
    PartMouseDown(Part::Track, Qt::LeftButton, Qt::NoModifier, 0, t);
}

void TMyScroll::repeatTick() {
    if (HeldPart_ != Part::None) {
        PartMouseDown(HeldPart_, Qt::LeftButton, Qt::NoModifier, 0, 0);
        RepeatTimer.setInterval(1);
    } else {
        RepeatTimer.stop();
        RepeatTimer.setInterval(500);
    }
}

void TMyScroll::mousePressEvent(QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    Part part = partAt(p);
    if (part == Part::None)
        return;
    draggingThumb_ = part == Part::Thumb && e->button() == Qt::LeftButton;
    int y = part == Part::Track ? p.y() - trackTop() : p.y();
    PartMouseDown(part, e->button(), e->modifiers(), p.x(), y);
}

void TMyScroll::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        draggingThumb_ = false;
    PartMouseUp(partAt(e->position().toPoint()), e->button());
}

void TMyScroll::mouseMoveEvent(QMouseEvent* e) {
    if (draggingThumb_) {
        QPoint p = e->position().toPoint();
        ThumbMouseMove(p.x() - partsLeft_, p.y() - thumbTop_);
    }
}

void TMyScroll::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The bar's colour is its parent's; the track is white.
    QColor back = parentWidget() ? parentWidget()->palette().color(parentWidget()->backgroundRole())
                                 : palette().color(QPalette::Window);
    p.fillRect(rect(), back);
    p.fillRect(QRect(1, trackTop(), width() - 2, trackHeight()), Qt::white);
    p.drawImage(upArrowRect().topLeft(), up_);
    p.drawImage(downArrowRect().topLeft(), down_);
    p.drawImage(thumbRect().topLeft(), thumb_);
}

TRichScroll::TRichScroll(QWidget* parent, int width) : TMyScroll(parent, width) {
    setPartsLeft(1);
}

void TRichScroll::PartMouseDown(Part part, Qt::MouseButton button, Qt::KeyboardModifiers, int, int y) {
    int old = 0;
    if (!moveForPress(part, button, y, old))
        return;
    int aim = Position_;
    // An arrow pressed at its end of the range is clamped back to the old position:
    // there is no direction to move in, and the target is left where it is.
    if (!Target || aim == old)
        return;
    int min = 0, max = 0, page = 0, position = 0;
    bool have = false;
    // Line by line towards the aim. A target that stops moving (its last line reached,
    // or it ignores the requests) ends the loop too.
    for (int steps = 0; steps <= kMaxSteps; ++steps) {
        int before = position;
        if (!Target->scrollState(min, max, page, position))
            break;
        if (have && position == before)
            break;
        have = true;
        if (aim > old) {
            if (position >= aim || position >= max - page - 1)
                break;
            Target->lineDown();
        } else {
            if (position < aim || position <= min)
                break;
            Target->lineUp();
        }
    }
    if (have) {
        Position_ = position;
        UpdateThumb();
    }
}

} // namespace vexa
