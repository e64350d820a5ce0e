#include "Connection.h"

#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "../RuntimeError.h"

namespace toolkit::wayland {

namespace {

struct DisplayCloser {
    void operator()(wl_display* display) const { wl_display_disconnect(display); }
};

std::unique_ptr<wl_display, DisplayCloser> shared;
std::string breakDescription;
std::function<void(int)> socketOpened;
std::function<void()> socketClosing;

}  // namespace

wl_display* Connection::display() {
    if (shared && !breakDescription.empty()) {
        close();
    }
    if (!shared) {
        errno = 0;
        shared.reset(wl_display_connect(nullptr));
        if (!shared) {
            const char* name = std::getenv("WAYLAND_DISPLAY");
            throw RuntimeError(5, std::string("No Wayland compositor answers at \"") +
                                      (name && *name ? name : "wayland-0") + "\" (" +
                                      std::strerror(errno ? errno : ENOENT) + ").");
        }
        if (socketOpened) {
            socketOpened(wl_display_get_fd(shared.get()));
        }
    }
    return shared.get();
}

bool Connection::broken() {
    return !shared || !breakDescription.empty();
}

std::string Connection::describeBreak() {
    const int error = wl_display_get_error(shared.get());
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        std::uint32_t id = 0;
        const std::uint32_t code = wl_display_get_protocol_error(shared.get(), &interface, &id);
        return "The Wayland compositor ended the program's connection over error " +
               std::to_string(code) + " of " + (interface ? interface->name : "an object") +
               "; it does not let the program send key presses this way.";
    }
    return std::string("The connection to the Wayland compositor was lost (") +
           std::strerror(error ? error : EPIPE) + ").";
}

void Connection::check(bool failed) {
    if (!shared) {
        throw RuntimeError(5, "The program has no connection to the Wayland compositor.");
    }
    if (breakDescription.empty() && (failed || wl_display_get_error(shared.get()) != 0)) {
        breakDescription = describeBreak();
        if (socketClosing) {
            socketClosing();
        }
    }
    if (!breakDescription.empty()) {
        throw RuntimeError(5, breakDescription);
    }
}

void Connection::send() {
    check(false);
    // EAGAIN: the socket is full for now; what is left goes out with the next request.
    check(wl_display_flush(shared.get()) < 0 && errno != EAGAIN);
}

void Connection::roundTrip() {
    check(false);
    check(wl_display_roundtrip(shared.get()) < 0);
}

void Connection::readPending() {
    if (!shared || !breakDescription.empty()) {
        return;
    }
    wl_display* open = shared.get();
    while (wl_display_prepare_read(open) != 0) {
        check(wl_display_dispatch_pending(open) < 0);
    }
    pollfd readable{wl_display_get_fd(open), POLLIN, 0};
    if (poll(&readable, 1, 0) > 0) {
        check(wl_display_read_events(open) < 0);
    } else {
        wl_display_cancel_read(open);
    }
    check(wl_display_dispatch_pending(open) < 0);
}

void Connection::watchSocket(std::function<void(int)> opened, std::function<void()> closing) {
    socketOpened = std::move(opened);
    socketClosing = std::move(closing);
    if (shared && breakDescription.empty() && socketOpened) {
        socketOpened(wl_display_get_fd(shared.get()));
    }
}

void Connection::close() {
    if (shared && breakDescription.empty() && socketClosing) {
        socketClosing();
    }
    shared.reset();
    breakDescription.clear();
}

}  // namespace toolkit::wayland
