#pragma once
// Never leaves the user's screen at the wrong size: while a guard lives, the program's end
// through SIGTERM, SIGINT or SIGHUP, or through an uncaught exception, first gives the
// display back. A signal is passed through a pipe (the only thing the handler does) to a
// watcher thread, which restores the display and then lets the signal end the program as
// it would have without the guard. One guard at a time: it holds process-wide handlers.
#include <functional>

namespace vexa {

class DisplayExitGuard {
public:
    // restore must be safe to call from another thread (the XRandR backend is).
    explicit DisplayExitGuard(std::function<void()> restore);
    ~DisplayExitGuard();
    DisplayExitGuard(const DisplayExitGuard&) = delete;
    DisplayExitGuard& operator=(const DisplayExitGuard&) = delete;
};

} // namespace vexa
