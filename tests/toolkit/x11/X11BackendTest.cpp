// The X11 backend's own connection on a real X server: which errors a trap owns, a key pulse
// that waits for no answer, pictures the server draws by itself, telling Num Lock's key events
// apart, and keeping a connection from hearing of every modifier change.

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <xcb/xcb.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "tests/desktop/DesktopSession.h"
#include "toolkit/Desktop.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/x11/Connection.h"
#include "toolkit/x11/KeyEvents.h"
#include "toolkit/x11/ServerPicture.h"
#include "toolkit/x11/XcbXkb.h"

namespace {

using desktop_test::DesktopSession;
using desktop_test::Image;
using desktop_test::Rgb;
using toolkit::x11::Connection;
using toolkit::x11::ErrorTrap;
using toolkit::x11::ServerPicture;

std::unique_ptr<DesktopSession> session;
std::filesystem::path sessionFolder;

class X11Backend : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (session) {
            return;
        }
        sessionFolder =
            std::filesystem::temp_directory_path() / ("pulseward-x11-" + std::to_string(getpid()));
        session = DesktopSession::forTests(sessionFolder);
        // The backend connects to the display the program was started on.
        setenv("DISPLAY", session->displayName().c_str(), 1);
    }

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
    Image shown(const toolkit::PixelRect& area) {
        Connection::flush();
        ErrorTrap(Connection::display()).failed();
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

Rgb rgbOf(std::uint32_t pixel) {
    return {int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF), int(pixel & 0xFF)};
}

std::vector<Rgb> rgbOf(const std::vector<std::uint32_t>& pixels) {
    std::vector<Rgb> result;
    for (const auto pixel : pixels) {
        result.push_back(rgbOf(pixel));
    }
    return result;
}

// ---------------------------------------------------------------------------------------------

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

TEST_F(X11Backend, PictureShowsPixelForPixelAndHidesToItsColourWithoutExposingTheParent) {
    openParent(40, 30, 0x202020);
    const toolkit::PixelRect rect{5, 7, 4, 3};
    const std::vector<std::uint32_t> pixels = {
        0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,  //
        0x123456, 0xABCDEF, 0x000000, 0x808080,  //
        0xFFFF00, 0x00FFFF, 0xFF00FF, 0x010203,
    };
    auto picture = ServerPicture::create(parent_, rect, pixels.data(), 4, 0xCC0000, true);
    ASSERT_TRUE(picture);
    EXPECT_EQ(shown(rect).pixels, rgbOf(pixels));
    EXPECT_EQ(shown({rect.x - 1, rect.y, 1, 1}).pixels, std::vector<Rgb>{rgbOf(0x202020)})
        << "the picture spills over its left edge";
    exposures();

    for (int blink = 0; blink < 3; ++blink) {
        picture->setShown(false);
        EXPECT_EQ(shown(rect).pixels, std::vector<Rgb>(12, rgbOf(0xCC0000)));
        picture->setShown(true);
        EXPECT_EQ(shown(rect).pixels, rgbOf(pixels));
    }
    EXPECT_EQ(exposures(), 0) << "the parent had to draw again";

    picture.reset();
    EXPECT_EQ(shown(rect).pixels, std::vector<Rgb>(12, rgbOf(0x202020)))
        << "the picture stayed after it was destroyed";
}

TEST_F(X11Backend, PictureStartsHiddenAndRowsMayBeWiderThanThePicture) {
    openParent(20, 20, 0x000000);
    const toolkit::PixelRect rect{0, 0, 2, 2};
    const std::vector<std::uint32_t> rows = {0x112233, 0x445566, 0xFFFFFF,  //
                                             0x778899, 0xAABBCC, 0xFFFFFF};
    auto picture = ServerPicture::create(parent_, rect, rows.data(), 3, 0x00FF00, false);
    ASSERT_TRUE(picture);
    EXPECT_EQ(shown(rect).pixels, std::vector<Rgb>(4, rgbOf(0x00FF00)));
    picture->setShown(true);
    EXPECT_EQ(shown(rect).pixels, rgbOf({0x112233, 0x445566, 0x778899, 0xAABBCC}));
}

TEST_F(X11Backend, PictureOutlivingItsParentCausesNoErrorLater) {
    openParent(20, 20, 0x000000);
    const std::uint32_t pixel = 0xFFFFFF;
    auto picture = ServerPicture::create(parent_, {0, 0, 1, 1}, &pixel, 1, 0, true);
    ASSERT_TRUE(picture);
    XDestroyWindow(other_, parent_);
    XSync(other_, False);
    parent_ = 0;

    picture->setShown(false);
    picture.reset();
    Connection::flush();
    Display* display = Connection::display();
    ErrorTrap trap(display);
    XNoOp(display);
    EXPECT_FALSE(trap.failed());
}

TEST_F(X11Backend, NoPictureForAParentThatIsGoneOrAnEmptyRect) {
    const std::uint32_t pixel = 0;
    EXPECT_FALSE(ServerPicture::create(0, {0, 0, 1, 1}, &pixel, 1, 0, true));
    openParent(10, 10, 0);
    EXPECT_FALSE(ServerPicture::create(parent_, {0, 0, 0, 1}, &pixel, 1, 0, true));
    XDestroyWindow(other_, parent_);
    XSync(other_, False);
    EXPECT_FALSE(ServerPicture::create(parent_, {0, 0, 1, 1}, &pixel, 1, 0, true));
    parent_ = 0;
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

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    Connection::close();
    session.reset();
    if (result == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(sessionFolder, ignored);
    }
    return result;
}
