#pragma once
// Temporary display-mode changes: the main window is laid out for 1024 x 768, so the
// program switches the screen to that size while it browses and gives it back when it is
// minimised or ends. The change is never stored as the system's setting.
#include <cstdint>
#include <memory>
#include <optional>

namespace vexa {

// What the platform offers. Every change may be refused.
class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;
    virtual bool currentSize(int& width, int& height) = 0;
    // A temporary change for this program only; true when the screen now has that mode.
    virtual bool change(std::uint16_t width, std::uint16_t height, std::uint16_t bitsPerPixel) = 0;
    // Back to the system's stored mode.
    virtual void restore() = 0;
};

class DisplayMode {
public:
    explicit DisplayMode(std::unique_ptr<DisplayBackend> backend) : backend_(std::move(backend)) {}

    struct Mode {
        std::uint16_t width, height, bitsPerPixel;
    };

    bool SetDisplayMode(std::uint16_t width, std::uint16_t height, std::uint16_t bitsPerPixel);
    void RestoreDisplayMode();
    void AppActivate();   // the program is restored from its minimised state
    void AppDeactivate(); // the program is minimised

    const std::optional<Mode>& remembered() const { return remembered_; }

private:
    std::unique_ptr<DisplayBackend> backend_;
    std::optional<Mode> remembered_;
};

// The backend for the display the program runs on: XRandR on X11. Without X11 every
// change is refused and the program runs in the current mode.
std::unique_ptr<DisplayBackend> makeSystemDisplayBackend();

} // namespace vexa
