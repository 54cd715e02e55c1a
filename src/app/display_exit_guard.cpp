#include "display_exit_guard.h"

#include <cerrno>
#include <csignal>
#include <exception>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace vexa {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int gPipe[2] = {-1, -1};
std::function<void()>* gRestore = nullptr;
std::mutex gRestoreMutex;
struct sigaction gPrevious[std::size(kSignals)];
std::terminate_handler gPreviousTerminate = nullptr;
std::thread* gWatcher = nullptr;

void onSignal(int sig) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(sig);
    ssize_t ignored = write(gPipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

void restoreNow() {
    std::lock_guard lock(gRestoreMutex);
    if (gRestore)
        (*gRestore)();
}

void onTerminate() {
    restoreNow();
    if (gPreviousTerminate)
        gPreviousTerminate();
    std::abort();
}

void watch() {
    for (;;) {
        unsigned char byte = 0;
        ssize_t n = read(gPipe[0], &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || byte == 0)
            return; // the guard is going away
        restoreNow();
        // End the program the way the signal would have.
        int sig = byte;
        signal(sig, SIG_DFL);
        kill(getpid(), sig);
    }
}

} // namespace

DisplayExitGuard::DisplayExitGuard(std::function<void()> restore) {
    {
        std::lock_guard lock(gRestoreMutex);
        gRestore = new std::function<void()>(std::move(restore));
    }
    if (pipe(gPipe) != 0) {
        gPipe[0] = gPipe[1] = -1;
    } else {
        fcntl(gPipe[0], F_SETFD, FD_CLOEXEC);
        fcntl(gPipe[1], F_SETFD, FD_CLOEXEC);
        gWatcher = new std::thread(watch);
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            struct sigaction sa {};
            sa.sa_handler = onSignal;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            sigaction(kSignals[i], &sa, &gPrevious[i]);
        }
    }
    gPreviousTerminate = std::set_terminate(onTerminate);
}

DisplayExitGuard::~DisplayExitGuard() {
    std::set_terminate(gPreviousTerminate);
    if (gWatcher) {
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &gPrevious[i], nullptr);
        unsigned char stop = 0;
        ssize_t ignored = write(gPipe[1], &stop, 1);
        (void)ignored;
        gWatcher->join();
        delete gWatcher;
        gWatcher = nullptr;
        close(gPipe[0]);
        close(gPipe[1]);
        gPipe[0] = gPipe[1] = -1;
    }
    std::lock_guard lock(gRestoreMutex);
    delete gRestore;
    gRestore = nullptr;
}

} // namespace vexa
