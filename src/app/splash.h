#pragma once
// The splash window: a borderless 214 x 100 picture with a thin progress line along its
// bottom edge, on screen while the catalogue loads or a workbook is imported.
#include "import_run.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace vexa {

class TFormSplash;

// Draws the progress line onto the splash window's surface. The line is not remembered
// separately: each drawing paints the whole line from x = 10 over what is there.
class TMyProgress : public ImportProgress {
public:
    explicit TMyProgress(TFormSplash* owner) : owner_(owner) {}

    std::int32_t BarLength = 104;
    std::uint32_t Color = 237; // COLORREF 0x00BBGGRR: red 237
    std::int32_t Position = 0;
    std::int32_t Max = 0;

    void SetColor(std::uint32_t colorref) override { Color = colorref; }
    void Step() override { StepBy(1); }
    void StepBy(std::int32_t n);
    void setPosition(std::int32_t position) override { Position = position; }
    void setMax(std::int32_t max) override { Max = max; }

    // Length in pixels of the line for the current Position and Max (0: nothing drawn).
    std::int32_t lineLength() const;

private:
    void draw();
    TFormSplash* owner_;
    std::int32_t lastLength_ = -1;
    std::uint32_t lastColor_ = 0;
};

class TFormSplash : public QWidget {
    Q_OBJECT
public:
    explicit TFormSplash(QWidget* parent = nullptr);
    ~TFormSplash() override;

    TMyProgress& progress() { return *progress_; }
    // The window's surface: the picture with whatever lines were drawn on it.
    QImage& surface() { return surface_; }
    // Paints the window now, without waiting for the event loop.
    void paintNow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage surface_;
    std::unique_ptr<TMyProgress> progress_;
};

// Windows colour value (0x00BBGGRR) to red, green, blue.
inline std::uint32_t colorRef(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16);
}

} // namespace vexa
