#include "display_mode.h"

#include "xrandr_display.h"

#include <QGuiApplication>
#include <QScreen>

namespace vexa {

bool DisplayMode::SetDisplayMode(std::uint16_t width, std::uint16_t height, std::uint16_t bpp) {
    int w = 0, h = 0;
    if (backend_->currentSize(w, h) && w == width && h == height)
        return true;
    if (!backend_->change(width, height, bpp))
        return false;
    remembered_ = Mode{width, height, bpp};
    return true;
}

void DisplayMode::RestoreDisplayMode() {
    backend_->restore();
}

void DisplayMode::AppActivate() {
    if (remembered_)
        SetDisplayMode(remembered_->width, remembered_->height, remembered_->bitsPerPixel);
}

void DisplayMode::AppDeactivate() {
    RestoreDisplayMode();
}

namespace {
class RefusingBackend : public DisplayBackend {
public:
    bool currentSize(int& width, int& height) override {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen)
            return false;
        width = screen->geometry().width();
        height = screen->geometry().height();
        return true;
    }
    bool change(std::uint16_t, std::uint16_t, std::uint16_t) override { return false; }
    void restore() override {}
};
} // namespace

std::unique_ptr<DisplayBackend> makeSystemDisplayBackend() {
    // Only a program that runs on X11 may change the X screen; elsewhere (Wayland,
    // offscreen) every change is refused.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        if (auto xrandr = XRandrBackend::open())
            return xrandr;
    return std::make_unique<RefusingBackend>();
}

} // namespace vexa
