#pragma once
// The display backend for X11: the size of the screen's main output and temporary size
// changes through XRandR. Nothing is stored as the system's setting: the mode the output
// had when the backend was opened is the one restore() gives back. X11 cannot change the
// colour depth at run time, so a size change that succeeds counts for any depth.
#include "display_mode.h"

#include <memory>
#include <mutex>
#include <vector>

namespace vexa {

class XRandrBackend : public DisplayBackend {
public:
    // Opens its own connection to the X server (nullptr: $DISPLAY). Nothing when there is
    // no server or it lacks XRandR 1.2, or no output is active.
    static std::unique_ptr<XRandrBackend> open(const char* displayName = nullptr);
    ~XRandrBackend() override;

    bool currentSize(int& width, int& height) override;
    bool change(std::uint16_t width, std::uint16_t height, std::uint16_t bitsPerPixel) override;
    void restore() override;

private:
    struct State;
    explicit XRandrBackend(std::unique_ptr<State> state);
    bool restoreLocked();
    std::unique_ptr<State> s_;
    // The exit guard may restore from its own thread.
    std::mutex mutex_;
};

} // namespace vexa
