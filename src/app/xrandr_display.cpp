#include "xrandr_display.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>

namespace vexa {

namespace {

// Xlib reports errors asynchronously through one process-wide handler; while a change is
// made, errors are counted here instead of ending the program.
int gXErrors = 0;
int countXError(Display*, XErrorEvent*) {
    ++gXErrors;
    return 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* d) : d_(d) {
        XSync(d_, False);
        gXErrors = 0;
        previous_ = XSetErrorHandler(countXError);
    }
    ~ErrorTrap() {
        XSync(d_, False);
        XSetErrorHandler(previous_);
    }
    bool failed() {
        XSync(d_, False);
        return gXErrors != 0;
    }

private:
    Display* d_;
    int (*previous_)(Display*, XErrorEvent*);
};

} // namespace

struct XRandrBackend::State {
    Display* display = nullptr;
    Window root = 0;
    RROutput output = 0;
    RRCrtc crtc = 0;
    // The mode the output had at opening: what restore() gives back.
    RRMode originalMode = 0;
    int originalX = 0, originalY = 0;
    Rotation originalRotation = RR_Rotate_0;
    std::vector<RROutput> originalOutputs;
    int screenWidth = 0, screenHeight = 0, screenMmWidth = 0, screenMmHeight = 0;
    bool otherCrtcsActive = false;
    RRMode addedMode = 0; // a mode this backend added to the output
    bool changed = false;
};

std::unique_ptr<XRandrBackend> XRandrBackend::open(const char* displayName) {
    Display* d = XOpenDisplay(displayName);
    if (!d)
        return nullptr;
    auto fail = [d] {
        XCloseDisplay(d);
        return nullptr;
    };
    int eventBase, errorBase, major = 0, minor = 0;
    if (!XRRQueryExtension(d, &eventBase, &errorBase) || !XRRQueryVersion(d, &major, &minor) ||
        major * 100 + minor < 102)
        return fail();

    auto s = std::make_unique<State>();
    s->display = d;
    s->root = DefaultRootWindow(d);
    int screen = DefaultScreen(d);
    s->screenWidth = DisplayWidth(d, screen);
    s->screenHeight = DisplayHeight(d, screen);
    s->screenMmWidth = DisplayWidthMM(d, screen);
    s->screenMmHeight = DisplayHeightMM(d, screen);

    XRRScreenResources* res = XRRGetScreenResources(d, s->root);
    if (!res)
        return fail();
    // The primary output, or else the first one that shows something.
    RROutput primary = XRRGetOutputPrimary(d, s->root);
    for (int pass = 0; pass < 2 && !s->crtc; ++pass) {
        for (int i = 0; i < res->noutput && !s->crtc; ++i) {
            if (pass == 0 && res->outputs[i] != primary)
                continue;
            XRROutputInfo* out = XRRGetOutputInfo(d, res, res->outputs[i]);
            if (out && out->connection == RR_Connected && out->crtc) {
                s->output = res->outputs[i];
                s->crtc = out->crtc;
            }
            XRRFreeOutputInfo(out);
        }
    }
    if (s->crtc) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(d, res, s->crtc);
        if (crtc) {
            s->originalMode = crtc->mode;
            s->originalX = crtc->x;
            s->originalY = crtc->y;
            s->originalRotation = crtc->rotation;
            s->originalOutputs.assign(crtc->outputs, crtc->outputs + crtc->noutput);
            XRRFreeCrtcInfo(crtc);
        }
        for (int i = 0; i < res->ncrtc; ++i) {
            if (res->crtcs[i] == s->crtc)
                continue;
            XRRCrtcInfo* other = XRRGetCrtcInfo(d, res, res->crtcs[i]);
            if (other && other->mode)
                s->otherCrtcsActive = true;
            XRRFreeCrtcInfo(other);
        }
    }
    XRRFreeScreenResources(res);
    if (!s->crtc || !s->originalMode || s->originalOutputs.empty())
        return fail();
    return std::unique_ptr<XRandrBackend>(new XRandrBackend(std::move(s)));
}

XRandrBackend::XRandrBackend(std::unique_ptr<State> state) : s_(std::move(state)) {}

XRandrBackend::~XRandrBackend() {
    std::lock_guard lock(mutex_);
    restoreLocked();
    if (s_->addedMode) {
        ErrorTrap trap(s_->display);
        XRRDeleteOutputMode(s_->display, s_->output, s_->addedMode);
        XRRDestroyMode(s_->display, s_->addedMode);
    }
    XCloseDisplay(s_->display);
}

bool XRandrBackend::currentSize(int& width, int& height) {
    std::lock_guard lock(mutex_);
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(s_->display, s_->root);
    if (!res)
        return false;
    XRRCrtcInfo* crtc = XRRGetCrtcInfo(s_->display, res, s_->crtc);
    bool ok = crtc && crtc->mode;
    if (ok) {
        width = static_cast<int>(crtc->width);
        height = static_cast<int>(crtc->height);
    }
    XRRFreeCrtcInfo(crtc);
    XRRFreeScreenResources(res);
    return ok;
}

namespace {

// A mode of the output with that size, or 0.
RRMode findMode(Display* d, XRRScreenResources* res, RROutput output, unsigned w, unsigned h) {
    XRROutputInfo* out = XRRGetOutputInfo(d, res, output);
    RRMode found = 0;
    // The output lists its preferred modes first; the first of the size is taken.
    for (int i = 0; out && i < out->nmode && !found; ++i)
        for (int j = 0; j < res->nmode && !found; ++j)
            if (res->modes[j].id == out->modes[i] && res->modes[j].width == w && res->modes[j].height == h)
                found = out->modes[i];
    XRRFreeOutputInfo(out);
    return found;
}

} // namespace

bool XRandrBackend::change(std::uint16_t width, std::uint16_t height, std::uint16_t) {
    std::lock_guard lock(mutex_);
    Display* d = s_->display;
    if (width == 0 || height == 0)
        return false;
    int minW, minH, maxW, maxH;
    if (!XRRGetScreenSizeRange(d, s_->root, &minW, &minH, &maxW, &maxH) || width > maxW || height > maxH)
        return false;
    if (s_->otherCrtcsActive && (width > s_->screenWidth || height > s_->screenHeight))
        return false;

    XRRScreenResources* res = XRRGetScreenResources(d, s_->root);
    if (!res)
        return false;
    RRMode mode = findMode(d, res, s_->output, width, height);
    XRRFreeScreenResources(res);
    if (!mode) {
        // The server does not offer this size for the output (Xvfb offers only the size
        // it starts with): add a 60 Hz mode of that size to the output.
        char name[32];
        std::snprintf(name, sizeof name, "%ux%u_vexa", unsigned(width), unsigned(height));
        XRRModeInfo info{};
        info.width = width;
        info.height = height;
        info.hSyncStart = width + 24u;
        info.hSyncEnd = width + 160u;
        info.hTotal = width + 320u;
        info.vSyncStart = height + 3u;
        info.vSyncEnd = height + 9u;
        info.vTotal = height + 38u;
        info.dotClock = static_cast<unsigned long>(info.hTotal) * info.vTotal * 60ul;
        info.name = name;
        info.nameLength = static_cast<unsigned>(std::char_traits<char>::length(name));
        ErrorTrap trap(d);
        mode = XRRCreateMode(d, s_->root, &info);
        if (trap.failed() || !mode)
            return false;
        XRRAddOutputMode(d, s_->output, mode);
        if (trap.failed()) {
            XRRDestroyMode(d, mode);
            return false;
        }
        s_->addedMode = mode;
    }

    bool ok;
    {
        ErrorTrap trap(d);
        XRRScreenResources* now = XRRGetScreenResources(d, s_->root);
        if (!now)
            return false;
        XGrabServer(d);
        RROutput output = s_->output;
        if (!s_->otherCrtcsActive) {
            // The output alone makes the screen: the screen takes the new size too.
            XRRSetCrtcConfig(d, now, s_->crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr, 0);
            int mmW = s_->screenWidth ? s_->screenMmWidth * width / s_->screenWidth : 0;
            int mmH = s_->screenHeight ? s_->screenMmHeight * height / s_->screenHeight : 0;
            XRRSetScreenSize(d, s_->root, width, height, mmW > 0 ? mmW : 1, mmH > 0 ? mmH : 1);
        }
        Status st = XRRSetCrtcConfig(d, now, s_->crtc, CurrentTime, s_->otherCrtcsActive ? s_->originalX : 0,
                                     s_->otherCrtcsActive ? s_->originalY : 0, mode, RR_Rotate_0, &output, 1);
        XRRFreeScreenResources(now);
        XUngrabServer(d);
        ok = st == RRSetConfigSuccess && !trap.failed();
    }
    s_->changed = true; // even a failed attempt may have touched the screen
    if (!ok) {
        restoreLocked();
        return false;
    }
    return true;
}

bool XRandrBackend::restoreLocked() {
    if (!s_->changed)
        return true;
    Display* d = s_->display;
    ErrorTrap trap(d);
    XRRScreenResources* res = XRRGetScreenResources(d, s_->root);
    if (!res)
        return false;
    XGrabServer(d);
    if (!s_->otherCrtcsActive) {
        XRRSetCrtcConfig(d, res, s_->crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr, 0);
        XRRSetScreenSize(d, s_->root, s_->screenWidth, s_->screenHeight, s_->screenMmWidth,
                         s_->screenMmHeight);
    }
    XRRSetCrtcConfig(d, res, s_->crtc, CurrentTime, s_->originalX, s_->originalY, s_->originalMode,
                     s_->originalRotation, s_->originalOutputs.data(),
                     static_cast<int>(s_->originalOutputs.size()));
    XRRFreeScreenResources(res);
    XUngrabServer(d);
    s_->changed = false;
    return !trap.failed();
}

void XRandrBackend::restore() {
    std::lock_guard lock(mutex_);
    restoreLocked();
}

} // namespace vexa
