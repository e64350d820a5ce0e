// The virtual keyboard route against a real sway, headless, run as an unprivileged user (sway
// refuses root): its presses count as input for the compositor's idle timer, a second keyboard
// takes the seat's keymap without being disconnected, and a compositor that goes away stops
// the pulse with a message instead of a crash or a hang; and a Wayland window of Qt's is named
// to the desktop portal by the handle sway exports for it. Skipped without root or sway.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <QGuiApplication>
#include <QWindow>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/desktop/ChildProcess.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/wayland/Connection.h"
#include "toolkit/wayland/ParentWindow.h"
#include "toolkit/wayland/VirtualKeyboard.h"
#include "toolkit/wayland/WaylandDesktop.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using desktop_test::ChildProcess;
using desktop_test::environmentWith;
using ::testing::HasSubstr;
using toolkit::Key;
using toolkit::RuntimeError;
using toolkit::wayland::Connection;
using toolkit::wayland::VirtualKeyboard;

constexpr const char* nobody = "65534";

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class OnSway : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0 || std::system("command -v sway swayidle setpriv >/dev/null") != 0) {
            GTEST_SKIP() << "needs root (to run sway as another user), sway and swayidle";
        }
        desktop_test::installChildCleanup();
        folder_ = fs::temp_directory_path() / ("pulseward-sway-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        runtime_ = folder_ / "runtime";
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all);
        ASSERT_EQ(chown(runtime_.c_str(), 65534, 65534), 0);
        std::ofstream(folder_ / "sway.conf") << "xwayland disable\n";
        fs::permissions(folder_, fs::perms::owner_all | fs::perms::others_read |
                                     fs::perms::others_exec | fs::perms::group_read |
                                     fs::perms::group_exec);
        sway_ = std::make_unique<ChildProcess>(desktop_test::SpawnOptions{
            .argv = {"setpriv", std::string("--reuid=") + nobody, std::string("--regid=") + nobody,
                     "--clear-groups", "sway", "-c", (folder_ / "sway.conf").string()},
            .environment = environmentWith({{"XDG_RUNTIME_DIR", runtime_.string()},
                                            {"HOME", folder_.string()},
                                            {"WLR_BACKENDS", "headless"},
                                            {"WLR_LIBINPUT_NO_DEVICES", "1"},
                                            {"WLR_RENDERER", "pixman"}},
                                           {"WAYLAND_", "DISPLAY", "SWAYSOCK"}),
            .log = folder_ / "sway.log"});
        ASSERT_TRUE(waitUntil([this] { return !socketName().empty(); }, 10s))
            << "sway made no socket:\n"
            << contentsOf(folder_ / "sway.log");
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        setenv("WAYLAND_DISPLAY", socketName().c_str(), 1);
    }

    void TearDown() override {
        Connection::close();
        idle_.reset();
        sway_.reset();
        if (!folder_.empty()) {
            fs::remove_all(folder_);
        }
    }

    std::string socketName() const {
        for (const auto& entry : fs::directory_iterator(runtime_)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("wayland-") && !name.ends_with(".lock") && entry.is_socket()) {
                return name;
            }
        }
        return {};
    }

    // swayidle with a one-second timeout, writing "idle" and "resume" lines as they happen.
    void watchIdle() {
        const std::string events = (folder_ / "idle-events").string();
        idle_ = std::make_unique<ChildProcess>(desktop_test::SpawnOptions{
            .argv = {"swayidle", "-w", "timeout", "1", "echo idle >> " + events, "resume",
                     "echo resume >> " + events},
            .environment = environmentWith(
                {{"XDG_RUNTIME_DIR", runtime_.string()}, {"WAYLAND_DISPLAY", socketName()}}),
            .log = folder_ / "swayidle.log"});
    }

    std::string idleEvents() const { return contentsOf(folder_ / "idle-events"); }

    bool waitForIdleEvents(const std::string& expected) {
        return waitUntil([&] { return idleEvents() == expected; }, 10s);
    }

    fs::path folder_, runtime_;
    std::unique_ptr<ChildProcess> sway_, idle_;
};

TEST_F(OnSway, APressEndsTheCompositorsIdleTimeAndIdleReturnsWithoutPresses) {
    VirtualKeyboard keyboard;
    ASSERT_NO_THROW(keyboard.open());
    watchIdle();
    ASSERT_TRUE(waitForIdleEvents("idle\n")) << idleEvents();
    keyboard.pressAndRelease(Key::NumLock);
    EXPECT_TRUE(waitForIdleEvents("idle\nresume\n")) << "the press was not counted as input";
    EXPECT_TRUE(waitForIdleEvents("idle\nresume\nidle\n")) << idleEvents();
    keyboard.close();
}

TEST_F(OnSway, ASecondKeyboardTakesTheSeatsKeymapFromTheSeatsOwnKeyboard) {
    // The first finds a seat without a keyboard, the second one with the first's: each asks
    // for the seat's keyboard only when there is one, or sway would end the connection.
    VirtualKeyboard first, second;
    ASSERT_NO_THROW(first.open());
    ASSERT_NO_THROW(second.open());
    second.pressAndRelease(Key::NumLock);
    second.pressAndRelease(Key::NumLock);
    EXPECT_NO_THROW(Connection::roundTrip());
    EXPECT_TRUE(second.ready());
    second.close();
    first.close();
}

TEST_F(OnSway, ACompositorThatGoesAwayStopsThePulseWithAMessageAndNoRouteIsLeft) {
    std::vector<std::unique_ptr<toolkit::wayland::KeyRoute>> routes;
    routes.push_back(std::make_unique<VirtualKeyboard>());
    toolkit::wayland::WaylandDesktop desktop(nullptr, std::move(routes));
    ::testing::internal::CaptureStderr();
    desktop.pressAndRelease(Key::NumLock);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "key presses go to the compositor through zwp_virtual_keyboard_manager_v1\n");

    sway_->stop();
    try {
        desktop.pressAndRelease(Key::NumLock);
        ADD_FAILURE() << "a press went to a compositor that has gone";
    } catch (const RuntimeError& error) {
        EXPECT_THAT(error.what(), HasSubstr("connection to the Wayland compositor was lost"));
    }
    try {
        desktop.pressAndRelease(Key::NumLock);
        ADD_FAILURE() << "a press went to a compositor that has gone";
    } catch (const RuntimeError& error) {
        EXPECT_THAT(error.what(), HasSubstr("no way to send a key press"));
        EXPECT_THAT(error.what(), HasSubstr("zwp_virtual_keyboard_manager_v1: No Wayland "
                                            "compositor answers"));
    }
}

// The portal shows its dialog over the window the handle names; without a window shown there
// is nothing to name.
TEST_F(OnSway, AShownWindowIsNamedToThePortalByTheHandleSwayExports) {
    setenv("QT_QPA_PLATFORM", "wayland", 1);
    int argc = 1;
    char name[] = "VirtualKeyboardSwayTest";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    EXPECT_EQ(toolkit::wayland::portalParentWindow(), "");
    QWindow window;
    window.resize(116, 28);
    window.show();
    ASSERT_TRUE(waitUntil(
        [&] {
            QGuiApplication::processEvents();
            return window.isExposed();
        },
        10s));
    const std::string parent = toolkit::wayland::portalParentWindow();
    EXPECT_THAT(parent, ::testing::MatchesRegex("wayland:.+"));
    // Each request exports anew; the handle named last stays the compositor's.
    EXPECT_THAT(toolkit::wayland::portalParentWindow(), ::testing::MatchesRegex("wayland:.+"));
    unsetenv("QT_QPA_PLATFORM");
}

}  // namespace
