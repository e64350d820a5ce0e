// The X11 backend's own connection on a real X server: which errors a trap owns, telling Num
// Lock's key events apart, and keeping a connection from hearing of every modifier change.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdint>

#include "tests/toolkit/x11/X11BackendFixture.h"
#include "toolkit/x11/KeyEvents.h"
#include "toolkit/x11/XcbXkb.h"

namespace x11_test {
namespace {

using toolkit::x11::Connection;
using toolkit::x11::ErrorTrap;

TEST_F(X11Backend, TrapCountsTheErrorsOfItsOwnRequestsOnly) {
    Display* display = Connection::display();
    const Window gone =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(display, gone);
    {
        ErrorTrap trap(display);
        XMapWindow(display, gone);
        EXPECT_TRUE(trap.failed()) << "a request on a destroyed window";
    }
    // Sent before the trap, answered while it waits: someone else's error.
    XMapWindow(display, gone);
    {
        ErrorTrap trap(display);
        XNoOp(display);
        EXPECT_FALSE(trap.failed());
    }
    {
        ErrorTrap outer(display);
        {
            ErrorTrap inner(display);
            XMapWindow(display, gone);
            EXPECT_TRUE(inner.failed());
        }
        XNoOp(display);
        EXPECT_FALSE(outer.failed()) << "the inner trap's error counted for the outer one";
    }
}

TEST_F(X11Backend, NumLockKeyEventsAreToldApartAndOnlyKeyEventsAreMarkedSelfContained) {
    const unsigned numLock = Connection::numLockKeyCode();
    ASSERT_NE(numLock, 0u);
    const unsigned other = XKeysymToKeycode(other_, XStringToKeysym("a"));
    ASSERT_NE(other, numLock);

    auto event = [](int type, unsigned detail) {
        xcb_key_press_event_t key{};
        key.response_type = static_cast<std::uint8_t>(type);
        key.detail = static_cast<xcb_keycode_t>(detail);
        return key;
    };
    const auto press = event(XCB_KEY_PRESS, numLock);
    const auto release = event(XCB_KEY_RELEASE, numLock);
    const auto sent = event(XCB_KEY_PRESS | 0x80, numLock);  // from SendEvent
    EXPECT_TRUE(toolkit::x11::isNumLockKeyEvent(&press));
    EXPECT_TRUE(toolkit::x11::isNumLockKeyEvent(&release));
    EXPECT_TRUE(toolkit::x11::isNumLockKeyEvent(&sent));

    auto otherKey = event(XCB_KEY_PRESS, other);
    auto otherRelease = event(XCB_KEY_RELEASE, other);
    auto button = event(XCB_BUTTON_PRESS, numLock);
    const auto motion = event(XCB_MOTION_NOTIFY, numLock);
    EXPECT_FALSE(toolkit::x11::isNumLockKeyEvent(&otherKey));
    EXPECT_FALSE(toolkit::x11::isNumLockKeyEvent(&button));
    EXPECT_FALSE(toolkit::x11::isNumLockKeyEvent(&motion));

    toolkit::x11::markKeyEventSelfContained(&otherKey);
    toolkit::x11::markKeyEventSelfContained(&otherRelease);
    toolkit::x11::markKeyEventSelfContained(&button);
    EXPECT_EQ(otherKey.response_type, XCB_KEY_PRESS | 0x80);
    EXPECT_EQ(otherRelease.response_type, XCB_KEY_RELEASE | 0x80);
    EXPECT_EQ(otherKey.detail, other);
    EXPECT_EQ(button.response_type, XCB_BUTTON_PRESS);
}

// A connection of the kind the widgets have: XKB set up on it, told of every state change.
class KeyboardState : public X11Backend {
  protected:
    void SetUp() override {
        X11Backend::SetUp();
        connection_ = xcb_connect(session->displayName().c_str(), nullptr);
        ASSERT_EQ(xcb_connection_has_error(connection_), 0);
        ASSERT_TRUE(XkbQueryExtension(other_, nullptr, nullptr, nullptr, nullptr, nullptr));
    }

    void TearDown() override {
        xcb_disconnect(connection_);
        // Num Lock and Caps Lock off again, for whatever runs next.
        XkbLockModifiers(other_, XkbUseCoreKbd, LockMask | Mod2Mask, 0);
        XSync(other_, False);
        X11Backend::TearDown();
    }

    bool useXkb() {
        std::unique_ptr<xcb_xkb_use_extension_reply_t, decltype(&std::free)> reply(
            xcb_xkb_use_extension_reply(connection_, xcb_xkb_use_extension(connection_, 1, 0),
                                        nullptr),
            &std::free);
        if (!reply || !reply->supported) {
            return false;
        }
        xcb_xkb_select_events(connection_, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_STATE_NOTIFY,
                              0, XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0, 0, nullptr);
        roundTrip();
        drain();
        return true;
    }

    void tap(KeySym sym) {
        const unsigned code = XKeysymToKeycode(other_, sym);
        ASSERT_NE(code, 0u);
        XTestFakeKeyEvent(other_, code, True, CurrentTime);
        XTestFakeKeyEvent(other_, code, False, CurrentTime);
    }

    // The XKB state notifications that the other client's requests made the server send.
    int stateNotificationsAfter(const std::function<void()>& requests) {
        requests();
        XSync(other_, False);
        roundTrip();
        return drain();
    }

    void roundTrip() {
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    int drain() {
        const auto* xkb = xcb_get_extension_data(connection_, &xcb_xkb_id);
        int count = 0;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const auto* any = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
            if (xkb && any->response_type == xkb->first_event &&
                any->xkbType == XCB_XKB_STATE_NOTIFY) {
                ++count;
            }
            std::free(event);
        }
        return count;
    }

    xcb_connection_t* connection_ = nullptr;
};

TEST_F(KeyboardState, HearingGroupChangesOnlyEndsTheNotificationsOfModifierChanges) {
    ASSERT_TRUE(useXkb());
    ASSERT_GT(stateNotificationsAfter([&] { tap(XK_Num_Lock); }), 0);

    ASSERT_TRUE(toolkit::x11::hearGroupChangesOnly(connection_));
    EXPECT_EQ(stateNotificationsAfter([&] { tap(XK_Num_Lock); }), 0);
    EXPECT_EQ(stateNotificationsAfter([&] { tap(XK_Caps_Lock); }), 0);
    EXPECT_EQ(stateNotificationsAfter([&] {
                  XTestFakeKeyEvent(other_, XKeysymToKeycode(other_, XK_Shift_L), True, 0);
                  tap(XK_a);
                  XTestFakeKeyEvent(other_, XKeysymToKeycode(other_, XK_Shift_L), False, 0);
              }),
              0);
}

TEST_F(KeyboardState, AConnectionWithoutXkbIsLeftAsItWas) {
    // XKB's requests are refused until the client has asked to use it.
    EXPECT_FALSE(toolkit::x11::hearGroupChangesOnly(connection_));
    EXPECT_EQ(xcb_connection_has_error(connection_), 0);
}

}  // namespace
}  // namespace x11_test
