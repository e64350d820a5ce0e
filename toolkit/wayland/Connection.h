#pragma once

// The program's own connection to the Wayland compositor, which only the key pulse uses (the
// windows stay on XWayland). It opens when a key route asks for it. Once the compositor has
// gone, or has ended the connection over a protocol error, the connection is broken: its
// socket is no longer watched, every call throws RuntimeError saying so, and the next
// display() after the routes have let go of their objects opens a new one.

#include <functional>
#include <string>

struct wl_display;

namespace toolkit::wayland {

class Connection {
  public:
    // Opens on first use, or anew when broken; throws RuntimeError when no compositor answers.
    static wl_display* display();
    static bool broken();
    // Sends what waits in the output buffer.
    static void send();
    // Waits until the compositor has handled every request so far, handling what it sends back.
    static void roundTrip();
    // Reads and handles whatever the compositor has sent, without waiting for more.
    static void readPending();
    // opened is called with the socket when a connection opens (at once when one is open),
    // closing when it breaks or closes.
    static void watchSocket(std::function<void(int socket)> opened, std::function<void()> closing);
    static void close();

  private:
    // Throws when the connection is broken, marking it so first if libwayland has just said so.
    static void check(bool failed);
    static std::string describeBreak();
};

}  // namespace toolkit::wayland
