// The key pulse on the X11 backend's own connection: a press that waits for no answer, and
// what comes back of it when the server refuses one.

#include <gtest/gtest.h>
#include <poll.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <functional>
#include <future>

#include "tests/toolkit/x11/X11BackendFixture.h"
#include "toolkit/RuntimeError.h"

namespace x11_test {
namespace {

using toolkit::x11::Connection;
using toolkit::x11::ErrorTrap;

// The key pulse and what comes back of it: nothing when the server takes the press, an error
// when it refuses one.
class KeyPulse : public X11Backend {
  protected:
    void SetUp() override {
        X11Backend::SetUp();
        Connection::watchSocket([this](int socket) { socket_ = socket; }, [this] { socket_ = -1; });
        Connection::display();
        ASSERT_GE(socket_, 0);
    }

    void TearDown() override {
        Connection::watchSocket(nullptr, nullptr);
        XkbLockModifiers(other_, XkbUseCoreKbd, numLockMask(), 0);
        XSync(other_, False);
        X11Backend::TearDown();
    }

    bool readable(std::chrono::milliseconds wait) const {
        pollfd watched{socket_, POLLIN, 0};
        return poll(&watched, 1, static_cast<int>(wait.count())) == 1;
    }

    unsigned numLockMask() const { return XkbKeysymToModifiers(other_, XK_Num_Lock); }

    bool numLockOn() const {
        XkbStateRec state{};
        XkbGetState(other_, XkbUseCoreKbd, &state);
        return (state.locked_mods & numLockMask()) != 0;
    }

    bool numLockBecomes(bool on) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (numLockOn() != on) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            poll(nullptr, 0, 5);
        }
        return true;
    }

    // Reads what arrives for up to five seconds; the number of the first error reported, or 0.
    int reportedWithin5s() const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            try {
                Connection::readPending();
            } catch (const toolkit::RuntimeError& error) {
                return error.number();
            }
            readable(std::chrono::milliseconds(50));
        }
        return 0;
    }

    int socket_ = -1;
};

TEST_F(KeyPulse, EachPressFlipsNumLockAndTheServerSendsNothingBack) {
    ASSERT_NE(numLockMask(), 0u);
    const auto desktop = toolkit::createDesktop();
    const bool before = numLockOn();
    desktop->pressAndRelease(toolkit::Key::NumLock);
    EXPECT_TRUE(numLockBecomes(!before));
    desktop->pressAndRelease(toolkit::Key::NumLock);
    EXPECT_TRUE(numLockBecomes(before));
    EXPECT_FALSE(readable(std::chrono::milliseconds(200)))
        << "the server answered presses nobody waits for; a watcher would wake for each";
}

// While another client holds the server, a press the pulse waits for cannot be carried out.
TEST_F(KeyPulse, ThePressIsWaitedForOnlyWhenItComesBackToOurWindow) {
    const auto desktop = toolkit::createDesktop();
    const auto pressWhileServerHeld = [&](bool focused) {
        Connection::setFocusQuery([focused] { return focused; });
        XGrabServer(other_);
        XSync(other_, False);
        auto pressed = std::async(std::launch::async,
                                  [&] { desktop->pressAndRelease(toolkit::Key::NumLock); });
        const bool returnedWhileHeld =
            pressed.wait_for(std::chrono::milliseconds(300)) == std::future_status::ready;
        XUngrabServer(other_);
        XSync(other_, False);
        pressed.get();
        Connection::setFocusQuery(nullptr);
        return returnedWhileHeld;
    };
    const bool before = numLockOn();
    EXPECT_TRUE(pressWhileServerHeld(false));
    EXPECT_TRUE(numLockBecomes(!before));
    EXPECT_FALSE(pressWhileServerHeld(true));
    EXPECT_EQ(numLockOn(), before) << "carried out by the time the press returned";
}

TEST_F(KeyPulse, ARefusedPressIsReportedOnceAndOtherErrorsNotAtAll) {
    Display* display = Connection::display();
    const Window gone =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(display, gone);
    XMapWindow(display, gone);
    ErrorTrap(display).failed();  // the map's error has come in by now
    EXPECT_NO_THROW(Connection::readPending()) << "an error of a request that is not a key press";

    // The error may come in as soon as the request has gone out, while Xlib still reads.
    XTestFakeKeyEvent(display, 0, True, CurrentTime);  // no key has the code 0
    Connection::send();
    EXPECT_EQ(reportedWithin5s(), 5);
    EXPECT_NO_THROW(Connection::readPending());
    EXPECT_FALSE(readable(std::chrono::milliseconds(0)));
}

// Behind another window nothing watches the socket here: the next press reports it.
TEST_F(KeyPulse, ARefusalNotYetReportedEndsTheNextPress) {
    XTestFakeKeyEvent(Connection::display(), 0, True, CurrentTime);
    Connection::send();
    readable(std::chrono::seconds(2));  // unless the send took the error in already
    const auto desktop = toolkit::createDesktop();
    try {
        desktop->pressAndRelease(toolkit::Key::NumLock);
        ADD_FAILURE() << "the press went on as if nothing had been refused";
    } catch (const toolkit::RuntimeError& error) {
        EXPECT_EQ(error.number(), 5);
    }
    EXPECT_NO_THROW(Connection::readPending()) << "reported once";
}

TEST_F(KeyPulse, TheWatcherFollowsTheConnectionThroughAReopening) {
    Connection::close();
    EXPECT_EQ(socket_, -1);
    Connection::display();
    EXPECT_GE(socket_, 0);
    // The new connection still tells the server's refusals from its other errors.
    XTestFakeKeyEvent(Connection::display(), 0, True, CurrentTime);
    Connection::send();
    EXPECT_EQ(reportedWithin5s(), 5);
}

// The Num Lock key's code is kept between pulses, and looked up again when the map changes.
TEST_F(KeyPulse, TheNumLockKeyIsFoundAgainWhenTheKeyboardMapMovesIt) {
    int first = 0, last = 0;
    XDisplayKeycodes(other_, &first, &last);
    int spare = 0;
    for (int code = last; code >= first && spare == 0; --code) {
        int perCode = 0;
        KeySym* symbols = XGetKeyboardMapping(other_, static_cast<KeyCode>(code), 1, &perCode);
        bool empty = true;
        for (int i = 0; i < perCode; ++i) {
            empty = empty && symbols[i] == NoSymbol;
        }
        XFree(symbols);
        spare = empty ? code : 0;
    }
    ASSERT_NE(spare, 0) << "no key without symbols";
    const KeyCode original = XKeysymToKeycode(other_, XK_Num_Lock);
    ASSERT_NE(original, 0);
    ASSERT_EQ(Connection::numLockKeyCode(), original);

    const auto remap = [this](int code, KeySym symbol) {
        XChangeKeyboardMapping(other_, code, 1, &symbol, 1);
        XSync(other_, False);
    };
    const auto numLockKeyBecomes = [this](unsigned code) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (Connection::numLockKeyCode() != code && std::chrono::steady_clock::now() < end) {
            readable(std::chrono::milliseconds(50));
            Connection::readPending();
        }
        return Connection::numLockKeyCode() == code;
    };
    remap(spare, XK_Num_Lock);
    remap(original, NoSymbol);
    EXPECT_TRUE(numLockKeyBecomes(unsigned(spare)));

    remap(original, XK_Num_Lock);
    remap(spare, NoSymbol);
    EXPECT_TRUE(numLockKeyBecomes(original));
}

}  // namespace
}  // namespace x11_test
