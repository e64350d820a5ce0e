// The Qt window system on a real X server: typing into a widget while Num Lock flips under it
// (the widgets' connection no longer hears of modifier changes, so each key has to bring its
// own), a key press the server refuses, reported to the pulse as soon as the server says so
// (behind another window the pulse does not wait for the server), and a picture the server
// shows following its form into a new native window and its colour.

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "tests/desktop/DesktopSession.h"
#include "toolkit/Desktop.h"
#include "toolkit/Form.h"
#include "toolkit/Peers.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/ShellObject.h"
#include "toolkit/qt/Widgets.h"
#include "toolkit/x11/Connection.h"
#include "toolkit/x11/XcbXkb.h"

// After Qt's headers, which X11's macros would break.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

using namespace std::chrono_literals;
using desktop_test::DesktopSession;

std::unique_ptr<DesktopSession> session;
std::filesystem::path sessionFolder;

// Counts the XKB state notifications that reach the widgets.
class StateNotificationCounter : public QAbstractNativeEventFilter {
  public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_xkb_state_notify_event_t*>(message);
        if (eventType == "xcb_generic_event_t" && xkbEvent_ != 0 &&
            (event->response_type & 0x7F) == xkbEvent_ && event->xkbType == XCB_XKB_STATE_NOTIFY) {
            ++count;
        }
        return false;
    }

    void watch(xcb_connection_t* connection) {
        const auto* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
        xkbEvent_ = xkb && xkb->present ? xkb->first_event : 0;
    }

    int count = 0;

  private:
    int xkbEvent_ = 0;
};

class XcbKeys : public ::testing::Test {
  protected:
    void SetUp() override {
        typist_ = XOpenDisplay(session->displayName().c_str());
        ASSERT_NE(typist_, nullptr);
        XkbLockModifiers(typist_, XkbUseCoreKbd, LockMask | Mod2Mask, 0);
        XSync(typist_, False);
    }

    void TearDown() override {
        XkbLockModifiers(typist_, XkbUseCoreKbd, LockMask | Mod2Mask, 0);
        XCloseDisplay(typist_);
    }

    void press(KeySym sym, bool down) {
        XTestFakeKeyEvent(typist_, XKeysymToKeycode(typist_, sym), down, CurrentTime);
        XSync(typist_, False);
    }

    void tap(KeySym sym) {
        press(sym, true);
        press(sym, false);
    }

    // The pulse does not wait for the server; the typist's next key must come after it.
    static void pulse(toolkit::Desktop& desktop) {
        desktop.pressAndRelease(toolkit::Key::NumLock);
        toolkit::x11::ErrorTrap(toolkit::x11::Connection::display()).failed();
    }

    // Qt may call a window active before the X server has moved the keyboard's focus to it;
    // keys typed in between go elsewhere.
    bool keyboardFocusReaches(WId window) const {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < end) {
            Window focus = None;
            int revert = 0;
            XGetInputFocus(typist_, &focus, &revert);
            if (focus == window) {
                return true;
            }
            runEventsFor(20ms);
        }
        return false;
    }

    static void runEventsFor(std::chrono::milliseconds duration) {
        const auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }

    Display* typist_ = nullptr;
};

TEST_F(XcbKeys, TypedTextFollowsShiftCapsLockAndTheNumLockThePulseFlips) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    StateNotificationCounter notifications;
    notifications.watch(x11->connection());
    qApp->installNativeEventFilter(&notifications);

    QLineEdit edit;
    edit.show();
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit, 5000));
    ASSERT_TRUE(keyboardFocusReaches(edit.winId()));
    EXPECT_TRUE(toolkit::x11::Connection::programHasFocus()) << "the pulse's keys come back to us";
    auto desktop = toolkit::createDesktop();

    press(XK_Shift_L, true);
    tap(XK_a);
    press(XK_Shift_L, false);
    tap(XK_b);
    pulse(*desktop);  // on: the keypad's 1 types "1"
    tap(XK_KP_1);
    pulse(*desktop);  // off: it is End, which types nothing
    tap(XK_KP_1);
    tap(XK_Caps_Lock);
    tap(XK_c);
    tap(XK_Caps_Lock);
    tap(XK_d);

    const auto end = std::chrono::steady_clock::now() + 5s;
    while (edit.text() != QStringLiteral("Ab1Cd") && std::chrono::steady_clock::now() < end) {
        runEventsFor(50ms);
    }
    EXPECT_EQ(edit.text().toStdString(), "Ab1Cd");
    // Not one of those modifier changes woke the widgets with a notification of its own.
    runEventsFor(100ms);
    EXPECT_EQ(notifications.count, 0);
    qApp->removeNativeEventFilter(&notifications);
}

// What a refused pulse leaves behind: its request sent, the answer still to come.
class RefusedPress : public XcbKeys {
  protected:
    void SetUp() override {
        XcbKeys::SetUp();
        toolkit::setErrorReport(
            [this](const toolkit::RuntimeError& error) { endedWith.push_back(error.number()); });
        toolkit::OnKeysRefusedLater(
            [this](const toolkit::RuntimeError& error) { reported.push_back(error.number()); });
        // The server takes the press only once the typist lets it go, so the refusal cannot
        // come in while the send still reads: it waits on the socket, for the watcher.
        // Opened, and XTest looked up by its library, before the grab, which would stall them.
        Display* display = toolkit::x11::Connection::display();
        XTestGrabControl(display, False);
        XSync(display, False);
        XGrabServer(typist_);
        XSync(typist_, False);
        XTestFakeKeyEvent(display, 0, True, CurrentTime);
        toolkit::x11::Connection::send();
        XUngrabServer(typist_);
        XSync(typist_, False);
    }

    void TearDown() override {
        EXPECT_TRUE(endedWith.empty()) << "a refusal would have ended the program";
        toolkit::OnKeysRefusedLater(nullptr);
        toolkit::setErrorReport(nullptr);
        XcbKeys::TearDown();
    }

    void runEventsUntilReported() {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (reported.empty() && std::chrono::steady_clock::now() < end) {
            runEventsFor(20ms);
        }
        runEventsFor(100ms);
    }

    std::vector<int> reported;  // to the pulse, which stops with a message
    std::vector<int> endedWith;
};

TEST_F(RefusedPress, IsReportedWithoutWaitingForTheNextPulse) {
    runEventsUntilReported();
    EXPECT_EQ(reported, std::vector<int>{5});
}

TEST_F(RefusedPress, IsReportedWhenTheFlushBeforeWaitingTakesItIn) {
    pollfd socket{ConnectionNumber(toolkit::x11::Connection::display()), POLLIN, 0};
    poll(&socket, 1, 2000);  // the error is in
    toolkit::x11::Connection::flushLater();
    XNoOp(toolkit::x11::Connection::display());
    // A loop that waits, so that the flush before waiting runs and takes the error in.
    QEventLoop loop;
    QTimer::singleShot(300ms, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(reported, std::vector<int>{5});
}

// The heart a blink shows is a window of the server's inside the form's native window.
class XcbPictures : public XcbKeys {
  protected:
    void TearDown() override {
        picture_.reset();
        window_.reset();
        QApplication::setPalette(savedPalette_);
        XcbKeys::TearDown();
    }

    // A form with one heart, on screen.
    void showHeart() {
        toolkit::WindowDesign design;
        design.caption = "hearts";
        window_ = toolkit::qt::createWindowPeer(design);
        toolkit::ControlDescription heart;
        heart.kind = toolkit::ControlKind::PictureBox;
        heart.name = "heart";
        heart.rect = {10, 10, 28, 28};
        heart.picture = "heart24.jpg";
        picture_ = window_->createControl(heart);
        window_->controlsCreated();
        window_->resizeClient(120, 60);
        window_->show();
        form_ = QWidget::find(static_cast<WId>(window_->handle()));
        ASSERT_NE(form_, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_, 5000));
    }

    unsigned childWindows(toolkit::WindowHandle window) {
        toolkit::x11::ErrorTrap(toolkit::x11::Connection::display()).failed();
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(typist_, static_cast<Window>(window), &root, &parent, &children, &count)) {
            return 0;
        }
        if (children) {
            XFree(children);
        }
        return count;
    }

    // 0xRRGGBB as the server shows it in the middle of the heart, once both connections have
    // sent what they hold.
    unsigned long shownOnTheHeart() {
        runEventsFor(50ms);
        XSync(typist_, False);
        XImage* image = XGetImage(typist_, static_cast<Window>(window_->handle()), 24, 24, 1, 1,
                                  AllPlanes, ZPixmap);
        if (!image) {
            return ~0ul;
        }
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }

    std::unique_ptr<toolkit::WindowPeer> window_;
    std::unique_ptr<toolkit::ControlPeer> picture_;
    QWidget* form_ = nullptr;

  private:
    QPalette savedPalette_ = QApplication::palette();
};

TEST_F(XcbPictures, AHeartFollowsItsFormIntoANewNativeWindow) {
    ASSERT_NO_FATAL_FAILURE(showHeart());
    picture_->setVisible(false);
    picture_->setVisible(true);
    const toolkit::WindowHandle first = window_->handle();
    EXPECT_EQ(childWindows(first), 1u);

    // Made again without hiding the form, as after a change of screen.
    QWindow* native = form_->windowHandle();
    native->destroy();
    native->create();
    native->setVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_, 5000));
    const toolkit::WindowHandle second = window_->handle();
    ASSERT_NE(second, first) << "Qt kept the native window";
    picture_->setVisible(false);
    EXPECT_EQ(childWindows(second), 1u) << "the heart stayed with the window that is gone";
}

TEST_F(XcbPictures, AHiddenHeartShowsTheFormsColourWhoeverChangesIt) {
    ASSERT_NO_FATAL_FAILURE(showHeart());
    window_->setBackColor(toolkit::rgb(255, 0, 0));
    picture_->setVisible(false);
    picture_->setVisible(true);
    picture_->setVisible(false);
    EXPECT_EQ(shownOnTheHeart(), 0xFF0000u);
    window_->setBackColor(toolkit::rgb(0, 0, 0));
    EXPECT_EQ(shownOnTheHeart(), 0x000000u) << "the program's new colour";

    QPalette theme = QApplication::palette();
    theme.setColor(QPalette::Window, QColor(0x20, 0x24, 0x28));
    QApplication::setPalette(theme);
    window_->setBackColor(toolkit::vbButtonFace);
    EXPECT_EQ(shownOnTheHeart(), 0x202428u) << "the theme's colour";
    theme.setColor(QPalette::Window, QColor(0x30, 0x60, 0x90));
    QApplication::setPalette(theme);
    EXPECT_EQ(shownOnTheHeart(), 0x306090u) << "the theme's colour after the desktop changed it";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    sessionFolder =
        std::filesystem::temp_directory_path() / ("pulseward-xcb-keys-" + std::to_string(getpid()));
    session = DesktopSession::forTests(sessionFolder);
    setenv("DISPLAY", session->displayName().c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");
    int result = 0;
    {
        const auto windowSystem = toolkit::createWindowSystem(argc, argv);
        result = RUN_ALL_TESTS();
    }
    toolkit::x11::Connection::close();
    session.reset();
    if (result == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(sessionFolder, ignored);
    }
    return result;
}
