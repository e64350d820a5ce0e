#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit/Desktop.h"

namespace testing_support {

// Records every call; the key pulse can be made to fail.
class FakeDesktop : public toolkit::Desktop {
  public:
    struct WindowPosCall {
        toolkit::WindowHandle window;
        toolkit::WindowHandle insertAfter;
        int x, y, cx, cy;
        unsigned flags;
    };

    void pressAndRelease(toolkit::Key key) override;
    toolkit::WindowHandle foregroundWindow() override;
    long setWindowPos(toolkit::WindowHandle window, toolkit::WindowHandle insertAfter, int x, int y,
                      int cx, int cy, unsigned flags) override;
    void keepOffTaskbar(toolkit::WindowHandle window) override;
    void keysNoLongerSent() override { ++keysStopped; }

    void reset();

    // Runs at each key pulse, before it is counted.
    std::function<void()> onKey;
    int keyPulses = 0;
    int keysStopped = 0;
    bool failKeyPulse = false;
    toolkit::WindowHandle foreground = 0;
    int foregroundQueries = 0;
    std::vector<WindowPosCall> windowPosCalls;
    // Every call in order, by name: "key", "foreground", "setWindowPos".
    std::vector<std::string> calls;
};

}  // namespace testing_support
