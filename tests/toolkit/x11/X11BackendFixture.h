#pragma once

// The X11 backend's tests share one X server (Xvfb started for them, or the display
// PULSEWARD_TEST_DISPLAY names) and this fixture: a second client of the server, for windows
// and state the backend must not own.

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "tests/desktop/DesktopSession.h"
#include "toolkit/Desktop.h"
#include "toolkit/x11/Connection.h"

namespace x11_test {

extern std::unique_ptr<desktop_test::DesktopSession> session;

class X11Backend : public ::testing::Test {
  protected:
    static void SetUpTestSuite();

    void SetUp() override {
        other_ = XOpenDisplay(session->displayName().c_str());
        ASSERT_NE(other_, nullptr);
    }

    void TearDown() override {
        if (parent_) {
            XDestroyWindow(other_, parent_);
        }
        XCloseDisplay(other_);
    }

    // A plain window of another client, placed by the test alone, as a parent for pictures.
    void openParent(int width, int height, unsigned long background) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = background;
        parent_ = XCreateWindow(other_, DefaultRootWindow(other_), parentAt.x, parentAt.y,
                                static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                CopyFromParent, InputOutput, CopyFromParent,
                                CWOverrideRedirect | CWBackPixel, &attributes);
        XSelectInput(other_, parent_, ExposureMask);
        XMapWindow(other_, parent_);
        XSync(other_, False);
        XEvent event;
        while (XCheckWindowEvent(other_, parent_, ExposureMask, &event)) {
        }
    }

    // What the screen shows of the parent, once the backend's requests are all carried out.
    desktop_test::Image shown(const toolkit::PixelRect& area) {
        toolkit::x11::Connection::flush();
        toolkit::x11::ErrorTrap(toolkit::x11::Connection::display()).failed();
        return session->x().grab(
            {parentAt.x + area.x, parentAt.y + area.y, area.width, area.height});
    }

    int exposures() {
        XSync(other_, False);
        int count = 0;
        XEvent event;
        while (XCheckWindowEvent(other_, parent_, ExposureMask, &event)) {
            ++count;
        }
        return count;
    }

    static constexpr desktop_test::Point parentAt{300, 200};
    Display* other_ = nullptr;
    Window parent_ = 0;
};

desktop_test::Rgb rgbOf(std::uint32_t pixel);
std::vector<desktop_test::Rgb> rgbOf(const std::vector<std::uint32_t>& pixels);

}  // namespace x11_test
