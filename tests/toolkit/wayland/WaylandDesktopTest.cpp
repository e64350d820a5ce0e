// Which key route a Wayland session uses: session detection from the environment, the order in
// which routes are tried and when they are tried again, and what the pulse is told when none
// works. XTest through XWayland must never stand in for a route.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/FakeDesktop.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/ShellObject.h"
#include "toolkit/wayland/KeyRoutes.h"
#include "toolkit/wayland/Session.h"
#include "toolkit/wayland/WaylandDesktop.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using toolkit::Key;
using toolkit::RuntimeError;
using toolkit::wayland::isWaylandSession;
using toolkit::wayland::KeyRoute;
using toolkit::wayland::keyRoutes;
using toolkit::wayland::WaylandDesktop;

// ---------------------------------------------------------------------------------------------
// Session detection

struct SessionCase {
    std::map<std::string, std::string> environment;
    bool wayland;
};

class SessionDetection : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionDetection, FromTheEnvironment) {
    const auto& environment = GetParam().environment;
    const auto lookup = [&environment](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
    EXPECT_EQ(isWaylandSession(lookup), GetParam().wayland);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, SessionDetection,
    ::testing::Values(SessionCase{{}, false}, SessionCase{{{"DISPLAY", ":0"}}, false},
                      SessionCase{{{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}}, true},
                      SessionCase{{{"WAYLAND_DISPLAY", ""}}, false},
                      SessionCase{{{"XDG_SESSION_TYPE", "wayland"}}, true},
                      SessionCase{{{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}}, false},
                      SessionCase{{{"XDG_SESSION_TYPE", "tty"}, {"WAYLAND_DISPLAY", "w"}}, true}));

// ---------------------------------------------------------------------------------------------
// Route choice

// Records open, press and close in one log shared by all routes, as "name:call".
class FakeRoute : public KeyRoute {
  public:
    FakeRoute(std::string name, std::vector<std::string>& log)
        : name_(std::move(name)), log_(log) {}

    std::string_view name() const override { return name_; }
    void open() override {
        log_.push_back(name_ + ":open");
        if (!refusal.empty()) {
            throw RuntimeError(5, refusal);
        }
        open_ = true;
    }
    bool ready() const override { return open_ && !lost; }
    bool asking() const override { return ready() && waitsForTheUser; }
    void pressAndRelease(Key) override {
        log_.push_back(name_ + ":press");
        if (failPress) {
            throw RuntimeError(5, "the press went nowhere");
        }
    }
    void pulseStopped() override { log_.push_back(name_ + ":stopped"); }
    void close() override {
        if (open_) {
            log_.push_back(name_ + ":close");
        }
        open_ = false;
    }

    std::string refusal;  // nonempty: open() throws this
    bool failPress = false;
    bool lost = false;
    bool waitsForTheUser = false;

  private:
    std::string name_;
    std::vector<std::string>& log_;
    bool open_ = false;
};

class RouteChoice : public ::testing::Test {
  protected:
    FakeRoute& addRoute(const std::string& name) {
        auto route = std::make_unique<FakeRoute>(name, log_);
        FakeRoute& added = *route;
        routes_.push_back(std::move(route));
        return added;
    }

    WaylandDesktop& desktop() {
        if (!desktop_) {
            auto windows = std::make_unique<testing_support::FakeDesktop>();
            windows_ = windows.get();
            desktop_ = std::make_unique<WaylandDesktop>(std::move(windows), std::move(routes_));
        }
        return *desktop_;
    }

    // Presses once; returns what went to stderr.
    std::string press() {
        ::testing::internal::CaptureStderr();
        try {
            desktop().pressAndRelease(Key::NumLock);
        } catch (...) {
            ::testing::internal::GetCapturedStderr();
            throw;
        }
        return ::testing::internal::GetCapturedStderr();
    }

    std::string failedPress() {
        try {
            press();
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), 5);
            return error.what();
        }
        ADD_FAILURE() << "the press did not fail";
        return {};
    }

    std::vector<std::string> log_;
    std::vector<std::unique_ptr<KeyRoute>> routes_;
    testing_support::FakeDesktop* windows_ = nullptr;
    std::unique_ptr<WaylandDesktop> desktop_;
};

TEST_F(RouteChoice, TheFirstRouteThatOpensIsKeptAndNamedOnceOnStderr) {
    addRoute("first").refusal = "not offered here.";
    addRoute("second");
    addRoute("third");
    EXPECT_EQ(press(), "key presses go to the compositor through second\n");
    EXPECT_EQ(press(), "");
    EXPECT_EQ(press(), "");
    EXPECT_THAT(log_, ElementsAre("first:open", "second:open", "second:press", "second:press",
                                  "second:press"));
    EXPECT_EQ(windows_->keyPulses, 0) << "a press went through X11";
}

// A route the desktop must first ask the user about is not yet said to carry the presses, and
// the pulse hears that it waits; once it stops, the route hears so.
TEST_F(RouteChoice, ARouteStillAskingTheUserIsNamedAsAskingNotAsInUse) {
    addRoute("portal").waitsForTheUser = true;
    int waits = 0;
    toolkit::OnKeysAwaitingConsent([&waits] { ++waits; });
    EXPECT_EQ(press(),
              "asking the desktop to allow key presses through portal; none is sent until it "
              "does\n");
    toolkit::OnKeysAwaitingConsent(nullptr);
    EXPECT_EQ(waits, 1);
    desktop().keysNoLongerSent();
    EXPECT_THAT(log_, ElementsAre("portal:open", "portal:press", "portal:stopped"));
}

TEST_F(RouteChoice, NoRouteSaysSoNamingEachRouteWithItsReasonAndNeverFallsBackToX11) {
    FakeRoute& virtualKeyboard = addRoute("zwp_virtual_keyboard_manager_v1");
    virtualKeyboard.refusal = "The compositor does not offer it.";
    addRoute("org_kde_kwin_fake_input").refusal = "KWin did not authorise the program.";
    const std::string message = failedPress();
    EXPECT_THAT(message, HasSubstr("no way to send a key press"));
    EXPECT_THAT(message, HasSubstr("- zwp_virtual_keyboard_manager_v1: The compositor does not "
                                   "offer it.\n- org_kde_kwin_fake_input: KWin did not authorise"));
    EXPECT_THAT(message, HasSubstr("X11 session"));
    // Version 1 of the portal, Debian 12's, keeps no answer: GNOME asks at every start.
    EXPECT_THAT(message, HasSubstr("at every start of the program with version 1"));
    EXPECT_THAT(message, ::testing::Not(HasSubstr("asks once")));
    EXPECT_EQ(windows_->keyPulses, 0) << "XTest through XWayland counted as a route";

    // Every route is tried again at the next press (the next Start), which may find one now.
    virtualKeyboard.refusal.clear();
    EXPECT_EQ(press(),
              "key presses go to the compositor through zwp_virtual_keyboard_manager_v1\n");
    EXPECT_THAT(log_,
                ElementsAre("zwp_virtual_keyboard_manager_v1:open", "org_kde_kwin_fake_input:open",
                            "zwp_virtual_keyboard_manager_v1:open",
                            "zwp_virtual_keyboard_manager_v1:press"));
}

TEST_F(RouteChoice, AFailedPressStopsWithTheRoutesOwnReasonAndTheNextPressTriesTheRoutesAgain) {
    FakeRoute& first = addRoute("first");
    addRoute("second");
    press();
    first.failPress = true;
    EXPECT_EQ(failedPress(), "the press went nowhere");
    first.refusal = "gone now.";
    EXPECT_EQ(press(), "key presses go to the compositor through second\n");
    EXPECT_THAT(log_, ElementsAre("first:open", "first:press", "first:press", "first:close",
                                  "first:open", "second:open", "second:press"));
}

TEST_F(RouteChoice, ARouteLostBetweenPressesIsLetGoAndTheRoutesAreTriedAgainWithoutAFailure) {
    // The event loop has already reported the lost connection and stopped the pulse; the next
    // Start must not report it a second time.
    FakeRoute& first = addRoute("first");
    press();
    first.lost = true;
    EXPECT_EQ(press(), "key presses go to the compositor through first\n");
    EXPECT_THAT(
        log_, ElementsAre("first:open", "first:press", "first:close", "first:open", "first:press"));
}

TEST(KeyRoutes, TheVirtualKeyboardComesFirstThenKWinsFakeInputThenThePortal) {
    std::vector<std::string_view> names;
    for (const auto& route : keyRoutes()) {
        names.push_back(route->name());
        EXPECT_FALSE(route->ready()) << route->name() << " is open before the first press";
    }
    EXPECT_THAT(names, ElementsAre("zwp_virtual_keyboard_manager_v1", "org_kde_kwin_fake_input",
                                   "org.freedesktop.portal.RemoteDesktop"));
}

TEST_F(RouteChoice, TheForegroundWindowAndStackingStayWithTheWindowsOnX11) {
    addRoute("first");
    desktop();
    windows_->foreground = 42;
    EXPECT_EQ(desktop().foregroundWindow(), 42);
    desktop().setWindowPos(7, toolkit::HWND_TOPMOST, 0, 0, 0, 0, toolkit::SWP_NOMOVE);
    desktop().keepOffTaskbar(7);
    ASSERT_EQ(windows_->windowPosCalls.size(), 1u);
    EXPECT_EQ(windows_->windowPosCalls[0].insertAfter, toolkit::HWND_TOPMOST);
    EXPECT_TRUE(log_.empty()) << "a stacking call opened a key route";
}

}  // namespace
