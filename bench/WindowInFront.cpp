#include "WindowInFront.h"

#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>

#include <cstdlib>
#include <iostream>

#include "Interrupted.h"

namespace bench {

WindowInFront::WindowInFront(const SpawnOptions& subject) {
    SpawnOptions s = subject;
    s.argv = {selfPath(), "--key-reader"};
    s.logFile = subject.logFile + ".front";
    logFile_ = s.logFile;
    pid_ = spawn(s);
}

WindowInFront::~WindowInFront() {
    if (pid_ > 0) {
        stopAndReap(pid_, SIGTERM, 2);
    }
}

long WindowInFront::stop() {
    stopAndReap(pid_, SIGTERM, 2);
    pid_ = -1;
    const std::string log = readFile(logFile_);
    const std::string label = "key events read: ";
    const size_t at = log.rfind(label);
    return at == std::string::npos ? -1 : std::atol(log.c_str() + at + label.size());
}

int WindowInFront::runReader() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::cerr << "key reader: cannot open the display\n";
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    const Window window = XCreateSimpleWindow(display, root, 0, 0, 320, 240, 0, 0, 0xFFFFFF);
    XStoreName(display, window, name);
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask);
    XMapRaised(display, window);
    // A request from a pager (source 2), which the window manager carries out at once.
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = 2;
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XFlush(display);

    sigset_t term, waiting;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, &waiting);
    sigdelset(&waiting, SIGTERM);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    long keys = 0;
    while (!interrupted) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            keys += event.type == KeyPress || event.type == KeyRelease;
        }
        pollfd socket{ConnectionNumber(display), POLLIN, 0};
        ppoll(&socket, 1, nullptr, &waiting);
    }
    std::cout << "key events read: " << keys << std::endl;
    XCloseDisplay(display);
    return 0;
}

}  // namespace bench
