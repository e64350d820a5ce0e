#pragma once

#include <string_view>

#include "../Desktop.h"

namespace toolkit::wayland {

// One way of handing key presses to a Wayland compositor. Each throws RuntimeError saying why
// it failed.
class KeyRoute {
  public:
    virtual ~KeyRoute() = default;
    // The compositor's name for the route, as the user may look it up.
    virtual std::string_view name() const = 0;
    // Makes the route ready to press keys, or throws saying why this desktop does not offer it.
    virtual void open() = 0;
    // Whether the route opened is still there: false once its connection has been lost.
    virtual bool ready() const = 0;
    // Whether the desktop is still asking the user to allow the route: until it has answered,
    // presses are accepted but not sent.
    virtual bool asking() const { return false; }
    virtual void pressAndRelease(Key key) = 0;
    // The pulse has stopped: a route still asking the user withdraws the question.
    virtual void pulseStopped() {}
    // Lets go of whatever open() took; harmless when nothing is open.
    virtual void close() = 0;
};

}  // namespace toolkit::wayland
