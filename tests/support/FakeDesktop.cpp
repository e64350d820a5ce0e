#include "tests/support/FakeDesktop.h"

#include "toolkit/RuntimeError.h"

namespace testing_support {

void FakeDesktop::pressAndRelease(toolkit::Key) {
    calls.push_back("key");
    if (onKey) {
        onKey();
    }
    if (failKeyPulse) {
        throw toolkit::RuntimeError(5, "The X server has no XTest extension.");
    }
    ++keyPulses;
}

toolkit::WindowHandle FakeDesktop::foregroundWindow() {
    calls.push_back("foreground");
    ++foregroundQueries;
    return foreground;
}

long FakeDesktop::setWindowPos(toolkit::WindowHandle window, toolkit::WindowHandle insertAfter,
                               int x, int y, int cx, int cy, unsigned flags) {
    calls.push_back("setWindowPos");
    windowPosCalls.push_back({window, insertAfter, x, y, cx, cy, flags});
    return window != 0;
}

void FakeDesktop::keepOffTaskbar(toolkit::WindowHandle) {
}

void FakeDesktop::reset() {
    *this = FakeDesktop();
}

}  // namespace testing_support
