#pragma once
// TMyScroll: the narrow, picture-drawn vertical scroll bar that replaces the system's
// scroll bars. It mirrors the vertical scroll state of a target and turns clicks and
// drags into line-up and line-down requests to it. TRichScroll is the variant for the
// rich-text view, whose position counts pixels rather than lines.
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class QAbstractScrollArea;

namespace vexa {

// What a bar mirrors: a vertical scroll state in the Windows sense (the highest
// position is max - (page - 1)) and line requests.
class ScrollTarget {
public:
    virtual ~ScrollTarget() = default;
    // False when the state cannot be read (the target is gone).
    virtual bool scrollState(int& min, int& max, int& page, int& position) = 0;
    virtual void lineUp() = 0;
    virtual void lineDown() = 0;
};

// The vertical scroll bar of a Qt scroll area as a target.
class ScrollAreaTarget : public ScrollTarget {
public:
    explicit ScrollAreaTarget(QAbstractScrollArea* area);
    bool scrollState(int& min, int& max, int& page, int& position) override;
    void lineUp() override;
    void lineDown() override;

private:
    QPointer<QAbstractScrollArea> area_;
};

class TMyScroll : public QWidget {
    Q_OBJECT
public:
    enum class Part { None, UpArrow, Track, Thumb, DownArrow };

    explicit TMyScroll(QWidget* parent = nullptr, int width = 14);
    ~TMyScroll() override;

    // The target; the bar keeps it. Null: a bar without a target, whose Position its
    // owner reads.
    void setTarget(std::unique_ptr<ScrollTarget> target);
    ScrollTarget* target() const { return Target.get(); }

    // Replaces the built-in pictures (a null image keeps the built-in one). White is
    // transparent in all three.
    void setPictures(const QImage& upArrow, const QImage& downArrow, const QImage& thumb);
    // Where the arrows and the thumb stand (0; 1 in the rich-text view).
    void setPartsLeft(int x);

    void SetParams(int position, int min, int max);
    void SyncWithWindow();
    void UpdateThumb();
    virtual void PartMouseDown(Part part, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void PartMouseUp(Part part, Qt::MouseButton button);
    void ThumbMouseMove(int x, int y);

    int Position() const { return Position_; }
    int Min() const { return Min_; }
    int Max() const { return Max_; }
    Part HeldPart() const { return HeldPart_; }
    bool repeating() const { return RepeatTimer.isActive(); }
    int repeatInterval() const { return RepeatTimer.interval(); }

    // Geometry of the parts in the bar's coordinates.
    QRect upArrowRect() const;
    QRect downArrowRect() const;
    QRect trackRect() const;
    QRect thumbRect() const;
    Part partAt(const QPoint& p) const;

    // Built-in pictures.
    static QImage defaultUpArrow();
    static QImage defaultDownArrow();
    static QImage defaultThumb();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

    // Sets Position from a click, clamps it and places the thumb; false when the
    // position did not change. Steps shared by both bars.
    bool moveForPress(Part part, Qt::MouseButton button, int y, int& oldPosition);

    std::unique_ptr<ScrollTarget> Target;
    int Min_ = 0, Max_ = 0, Position_ = 0;
    Part HeldPart_ = Part::None;
    QTimer RepeatTimer;

private:
    void repeatTick();
    // The parts follow the bar's height at once (a hidden widget gets no resize events).
    int trackTop() const { return up_.height(); }
    int trackHeight() const { return height() - up_.height() - down_.height(); }
    int downTop() const { return height() - down_.height(); }

    QImage up_, down_, thumb_;
    int partsLeft_ = 0;
    int thumbTop_ = 14;
    bool draggingThumb_ = false;
};

// The bar of the rich-text view: after a press it moves the target line by line until
// the target reaches the aim, and takes the target's position as its own.
class TRichScroll : public TMyScroll {
    Q_OBJECT
public:
    explicit TRichScroll(QWidget* parent = nullptr, int width = 16);
    void PartMouseDown(Part part, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    // Upper bound on line requests after one press, whatever the target does.
    static constexpr int kMaxSteps = 100000;
};

// White pixels of a picture become transparent.
QImage whiteTransparent(const QImage& picture);

} // namespace vexa
