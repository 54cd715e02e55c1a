// The XRandR display backend and the exit guard against a real X server: an Xvfb started
// by the test at 1280 x 1024, which offers no 1024 x 768 mode until the backend adds it.
#include "display_exit_guard.h"
#include "display_mode.h"
#include "xrandr_display.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vexa;

namespace {

bool haveXvfb() {
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
        if (access((std::string(dir) + "Xvfb").c_str(), X_OK) == 0)
            return true;
    return false;
}

// An Xvfb server for one test; it picks a free display number itself. It must not reset
// when its last client leaves, or a reset would give the screen back for the program.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 20000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty())
            name_ = ":" + number;
    }
    ~Xvfb() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// The screen size as a fresh client sees it.
std::pair<int, int> screenSize(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d)
        return {-1, -1};
    std::pair<int, int> size{DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
    XCloseDisplay(d);
    return size;
}

using Size = std::pair<int, int>;
const Size kOriginal{1280, 1024};
const Size kSwitched{1024, 768};

#define REQUIRE_XVFB(server)                                                                                 \
    if (!haveXvfb())                                                                                         \
        GTEST_SKIP() << "Xvfb is not installed: the XRandR switch was NOT tested (install xvfb)";            \
    Xvfb server;                                                                                             \
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";

} // namespace

TEST(XRandrDisplay, NoServerMeansNoBackend) {
    EXPECT_EQ(XRandrBackend::open(":32000"), nullptr);
}

TEST(XRandrDisplay, SwitchesTo1024x768AndBack) {
    REQUIRE_XVFB(server);
    auto backend = XRandrBackend::open(server.name().c_str());
    ASSERT_NE(backend, nullptr);
    int w = 0, h = 0;
    ASSERT_TRUE(backend->currentSize(w, h));
    EXPECT_EQ(Size(w, h), kOriginal);

    DisplayMode display(std::move(backend));
    ASSERT_TRUE(display.SetDisplayMode(1024, 768, 24));
    ASSERT_TRUE(display.remembered());
    EXPECT_EQ(screenSize(server.name()), kSwitched);

    display.AppDeactivate(); // minimised
    EXPECT_EQ(screenSize(server.name()), kOriginal);
    display.AppActivate(); // restored
    EXPECT_EQ(screenSize(server.name()), kSwitched);
    // Already at the size: nothing changes and the answer is yes.
    EXPECT_TRUE(display.SetDisplayMode(1024, 768, 16));
    display.RestoreDisplayMode();
    EXPECT_EQ(screenSize(server.name()), kOriginal);
}

TEST(XRandrDisplay, SizeBeyondTheServerIsRefused) {
    REQUIRE_XVFB(server);
    auto backend = XRandrBackend::open(server.name().c_str());
    ASSERT_NE(backend, nullptr);
    EXPECT_FALSE(backend->change(60000, 60000, 24));
    EXPECT_EQ(screenSize(server.name()), kOriginal);
}

TEST(XRandrDisplay, DestroyingTheBackendGivesTheScreenBack) {
    REQUIRE_XVFB(server);
    {
        auto backend = XRandrBackend::open(server.name().c_str());
        ASSERT_NE(backend, nullptr);
        ASSERT_TRUE(backend->change(1024, 768, 24));
        EXPECT_EQ(screenSize(server.name()), kSwitched);
    }
    EXPECT_EQ(screenSize(server.name()), kOriginal);
}

namespace {

// A child process switches the screen under the guard, says so, and then ends as `end`
// makes it end. The parent checks how it ended and that the screen was given back.
template <class End> void switchInChild(const std::string& display, End end, int expectedSignal) {
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        auto backend = XRandrBackend::open(display.c_str());
        if (!backend)
            _exit(3);
        auto* mode = new DisplayMode(std::move(backend)); // never destroyed: only the guard restores
        if (!mode->SetDisplayMode(1024, 768, 24))
            _exit(4);
        new DisplayExitGuard([mode] { mode->RestoreDisplayMode(); });
        char c = 'r';
        if (write(ready[1], &c, 1) != 1 || read(go[0], &c, 1) != 1)
            _exit(5);
        end();
        _exit(6);
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1) << "the child could not switch the screen";
    close(ready[0]);
    EXPECT_EQ(screenSize(display), kSwitched);
    if (expectedSignal != SIGABRT)
        kill(pid, expectedSignal);
    else if (write(go[1], &c, 1) != 1)
        ADD_FAILURE() << "could not tell the child to go on";
    close(go[0]);
    close(go[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), expectedSignal);
    EXPECT_EQ(screenSize(display), kOriginal);
}

} // namespace

TEST(DisplayExitGuard, SignalsGiveTheScreenBack) {
    REQUIRE_XVFB(server);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        switchInChild(
            server.name(),
            [] {
                for (;;)
                    pause();
            },
            sig);
    }
}

TEST(DisplayExitGuard, UncaughtExceptionGivesTheScreenBack) {
    REQUIRE_XVFB(server);
    switchInChild(
        server.name(),
        [] {
            // Thrown where nothing catches it (the test framework catches what a test throws).
            std::thread([] { throw std::runtime_error("unexpected"); }).join();
        },
        SIGABRT);
}
