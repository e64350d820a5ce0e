#pragma once

// The program's own connection to the X server, shared by the key pulse, the stacking requests
// and the pictures the server draws. A request that must know whether the server took it runs
// inside an ErrorTrap. The key pulse mostly does not wait for the server: a key press the
// server refuses then comes back later as an error, which readPending() reports. Any other
// error is dropped.

#include <X11/Xlib.h>

#include <functional>

namespace toolkit::x11 {

class Connection {
  public:
    // Opened on first use; throws RuntimeError when there is no X display to connect to.
    static Display* display();
    // The Num Lock key's code in the server's keyboard map, 0 when it has none.
    static unsigned numLockKeyCode();
    static bool hasXTest();
    // Requests that need no reply can wait in the output buffer: flush() sends them, unless a
    // round trip has taken them along since. Xlib's own flush reads the socket each time, even
    // with nothing to send.
    static void flushLater();
    static void flush();
    // Sends the output buffer now.
    static void send();
    // Goes through what Xlib has read so far, which every flush and round trip does, without
    // reading more. Throws RuntimeError, once, when the server has refused a key press.
    static void reportReadErrors();
    // Reads whatever the server has sent, without waiting for more, and reports it as above.
    static void readPending();
    // Sends the output buffer and waits until the server has carried out every request.
    static void roundTrip();
    // Whether one of the program's windows has the keyboard focus, and so gets back every key
    // the program presses. The window system answers; without one, no window has it.
    static void setFocusQuery(std::function<bool()> programHasFocus);
    static bool programHasFocus();
    // Once the connection is open, the server sends nothing unasked but the errors of requests
    // that wait for no answer and news of keyboard map changes, so a watcher of its socket
    // wakes only for those. opened is called with the socket when the connection opens (at
    // once when it is open already), closing before it closes.
    static void watchSocket(std::function<void(int socket)> opened, std::function<void()> closing);
    // Ends the connection, while the server is still there to hear it; a later use opens a new one.
    static void close();
    // Xlib has one error handler and one handler for a broken connection for the whole process,
    // whichever connection they concern. Ours pass other connections' errors on to the handler
    // they replace; a broken connection, ours or any other, ends the program
    // (Application::windowSystemLost). Installed when the connection opens, and again by whoever
    // installed others since.
    static void takeErrorHandlers();
};

// Collects the errors of the requests made while it lives, and only those: an error of an
// earlier request still on its way is not counted, whatever order the replies come in.
class ErrorTrap {
  public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server to process every request so far.
    bool failed();

  private:
    Display* display_;
    ErrorTrap* outer_;
    unsigned long firstSerial_;
    int errors_ = 0;

    friend int countError(Display*, XErrorEvent*);
};

}  // namespace toolkit::x11
