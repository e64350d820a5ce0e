#include "XObserver.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xproto.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "Process.h"

namespace bench {

namespace {

// Windows can vanish between a look at the client list and a question about them.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

Display* openDisplay(const std::string& name) {
    Display* display = XOpenDisplay(name.c_str());
    if (!display) {
        throw std::runtime_error("cannot open X display " + name);
    }
    return display;
}

bool windowManagerReady(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &remaining, &data);
    const bool ready = status == Success && type == XA_WINDOW && count == 1;
    if (data) {
        XFree(data);
    }
    return ready;
}

}  // namespace

Desktop::Desktop(const std::string& workDir) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    SpawnOptions xvfb;
    xvfb.argv = {"Xvfb", "-displayfd", "3",        "-screen",   "0",  "1280x1024x24",
                 "-dpi", "96",         "-noreset", "-nolisten", "tcp"};
    xvfb.passAsFd3 = fds[1];
    xvfb.logFile = workDir + "/xvfb.log";
    xvfb_ = spawn(xvfb);
    close(fds[1]);
    std::string number;
    const long long until = monotonicNs() + 20'000'000'000LL;
    while (number.find('\n') == std::string::npos && monotonicNs() < until) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buffer[32];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            number.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        throw std::runtime_error("Xvfb did not start (see " + xvfb.logFile + ")");
    }
    display_ = number.substr(0, number.find('\n'));
    display_.insert(display_.begin(), ':');

    SpawnOptions openbox;
    openbox.argv = {"openbox"};
    openbox.setEnv = {{"DISPLAY", display_}, {"XDG_CONFIG_HOME", workDir + "/openbox-config"}};
    openbox.logFile = workDir + "/openbox.log";
    openbox_ = spawn(openbox);
    Display* display = openDisplay(display_);
    bool ready = false;
    for (int i = 0; i < 200 && !ready; ++i) {
        ready = windowManagerReady(display);
        if (!ready) {
            usleep(50'000);
        }
    }
    XCloseDisplay(display);
    if (!ready) {
        throw std::runtime_error("openbox did not start (see " + openbox.logFile + ")");
    }
}

Desktop::~Desktop() {
    stopAndReap(openbox_, SIGTERM, 2);
    stopAndReap(xvfb_, SIGTERM, 2);
}

Observer::Observer(const std::string& display) {
    XSetErrorHandler(ignoreErrors);
    control_ = openDisplay(display);
    data_ = openDisplay(display);
    int major = 1, minor = 13, op = 0, event = 0, error = 0;
    if (!XRecordQueryVersion(control_, &major, &minor)) {
        throw std::runtime_error("the X server has no RECORD extension");
    }
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(control_, &op, &event, &error, &major, &minor)) {
        throw std::runtime_error("the X server has no XKB extension");
    }
    if (!XScreenSaverQueryExtension(control_, &event, &error)) {
        throw std::runtime_error("the X server has no MIT-SCREEN-SAVER extension");
    }
    saver_ = XScreenSaverAllocInfo();
    numLock_ = XKeysymToKeycode(control_, XK_Num_Lock);
    int index = -1;
    Bool on = False;
    if (numLock_ == 0 ||
        !XkbGetNamedIndicator(control_, XInternAtom(control_, "Num Lock", False), &index, &on,
                              nullptr, nullptr) ||
        index < 0) {
        throw std::runtime_error("the keyboard has no Num Lock key or indicator");
    }
    numLockMask_ = 1u << index;
    clientList_ = XInternAtom(control_, "_NET_CLIENT_LIST", False);
    XSelectInput(control_, DefaultRootWindow(control_), PropertyChangeMask);

    XRecordRange* range = XRecordAllocRange();
    range->device_events.first = KeyPress;
    range->device_events.last = KeyRelease;
    XRecordClientSpec clients = XRecordAllClients;
    context_ = XRecordCreateContext(control_, 0, &clients, 1, &range, 1);
    XFree(range);
    if (!context_) {
        throw std::runtime_error("cannot create a RECORD context");
    }
    XSync(control_, False);
    if (!XRecordEnableContextAsync(data_, context_, recorded, reinterpret_cast<XPointer>(this))) {
        throw std::runtime_error("cannot enable the RECORD context");
    }
}

Observer::~Observer() {
    XRecordDisableContext(control_, context_);
    XSync(control_, False);
    XRecordFreeContext(control_, context_);
    XSync(control_, False);
    if (saver_) {
        XFree(saver_);
    }
    XCloseDisplay(data_);
    XCloseDisplay(control_);
}

void Observer::recorded(XPointer closure, XRecordInterceptData* data) {
    auto* self = reinterpret_cast<Observer*>(closure);
    const long long arrival = monotonicNs();
    if (data->category == XRecordFromServer && data->data_len > 0) {
        const auto* bytes = data->data;
        const int type = bytes[0] & 0x7f;
        const int keycode = bytes[1];
        if ((type == KeyPress || type == KeyRelease) && keycode == self->numLock_) {
            KeyEvent key;
            key.press = type == KeyPress;
            key.serverMs = data->server_time;
            key.arrivalNs = arrival;
            self->keys_.push_back(key);
            if (key.press && !self->firstPressSeen_) {
                self->firstPressSeen_ = true;
                if (self->onFirstPress) {
                    self->onFirstPress(self->onFirstPressContext);
                }
            }
        }
    }
    XRecordFreeData(data);
}

void Observer::pump(int timeoutMs) {
    XFlush(control_);
    if (QLength(control_) == 0) {
        pollfd fds[2] = {{ConnectionNumber(data_), POLLIN, 0},
                         {ConnectionNumber(control_), POLLIN, 0}};
        poll(fds, 2, timeoutMs < 0 ? 0 : timeoutMs);
    }
    const size_t before = keys_.size();
    XRecordProcessReplies(data_);
    if (keys_.size() != before) {
        // XKB lock keys lock on the press and unlock on the release, so the indicator is read
        // once the records at hand (normally a press with its release) have been taken in.
        const bool on = numLockOn();
        for (size_t i = before; i < keys_.size(); ++i) {
            keys_[i].numLockOn = on;
        }
    }
    while (XPending(control_)) {
        XEvent event;
        XNextEvent(control_, &event);
        takeEvent(event);
    }
}

bool Observer::numLockOn() {
    unsigned state = 0;
    XkbGetIndicatorState(control_, XkbUseCoreKbd, &state);
    return (state & numLockMask_) != 0;
}

unsigned long Observer::idleMs() {
    XScreenSaverQueryInfo(control_, DefaultRootWindow(control_), saver_);
    return saver_->idle;
}

void Observer::sampleIdle() {
    const unsigned long idle = idleMs();
    idle_.push_back({monotonicNs(), idle});
}

void Observer::releaseNumLockIfDown() {
    char keys[32] = {};
    XQueryKeymap(control_, keys);
    if (keys[numLock_ / 8] & (1 << (numLock_ % 8))) {
        XTestFakeKeyEvent(control_, numLock_, False, CurrentTime);
        XSync(control_, False);
    }
}

std::string Observer::focusedWindowName() {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(control_, &focus, &revert);
    char* name = nullptr;
    if (focus == None || focus == PointerRoot || !XFetchName(control_, focus, &name) || !name) {
        return {};
    }
    std::string result = name;
    XFree(name);
    return result;
}

void Observer::reset(const std::string& windowName) {
    pump(0);
    keys_.clear();
    idle_.clear();
    windowName_.clear();
    target_ = None;
    mappedAtNs_.reset();
    firstPressSeen_ = false;
    known_.clear();
    scanClientList();  // what is listed now is not the window we wait for
    windowName_ = windowName;
}

void Observer::takeEvent(const XEvent& event) {
    if (event.type == PropertyNotify && event.xproperty.atom == clientList_) {
        scanClientList();
    } else if (event.type == MapNotify && target_ != None && event.xmap.window == target_ &&
               !mappedAtNs_) {
        mappedAtNs_ = monotonicNs();
    }
}

void Observer::scanClientList() {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(control_, DefaultRootWindow(control_), clientList_, 0, 4096, False,
                           XA_WINDOW, &type, &format, &count, &remaining, &data) != Success) {
        return;
    }
    std::vector<Window> windows;
    if (data && type == XA_WINDOW && format == 32) {
        const auto* ids = reinterpret_cast<const unsigned long*>(data);
        windows.assign(ids, ids + count);
    }
    if (data) {
        XFree(data);
    }
    for (const Window window : windows) {
        if (!known_.insert(window).second || windowName_.empty() || target_ != None) {
            continue;
        }
        char* name = nullptr;
        if (XFetchName(control_, window, &name) && name) {
            const bool match = windowName_ == name;
            XFree(name);
            if (match) {
                adopt(window);
            }
        }
    }
}

void Observer::adopt(Window window) {
    target_ = window;
    XSelectInput(control_, window, StructureNotifyMask);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(control_, window, &attributes) && attributes.map_state != IsUnmapped) {
        mappedAtNs_ = monotonicNs();
    }
}

}  // namespace bench
