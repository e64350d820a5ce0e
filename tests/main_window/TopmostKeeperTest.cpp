#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "tests/support/TestEnvironment.h"
#include "toolkit/Desktop.h"
#include "toolkit/Forms.h"

using namespace std::chrono_literals;
using testing_support::fakeDesktop;

namespace {

constexpr toolkit::WindowHandle otherWindow = 0x2a00007;
constexpr unsigned noMoveNoSize = 3;

class TopmostKeeperTest : public testing::Test {
  protected:
    void SetUp() override {
        testing_support::resetAll();
        testing_support::writeSettingsFile("[Settings]\nAUTOSTART_TICKBOX=0\n");
        window.Show();
        fakeDesktop().calls.clear();
    }
    void TearDown() override { toolkit::Unload(window); }

    pulseward::FERN_BADGER_PULSEWARD_MAIN window;
};

TEST_F(TopmostKeeperTest, DoesNothingWhileTheMainWindowIsInTheForeground) {
    fakeDesktop().foreground = window.hWnd();
    window.AlwaysOnTopTimer_Timer();
    EXPECT_EQ(fakeDesktop().calls, std::vector<std::string>{"foreground"});
}

TEST_F(TopmostKeeperTest, DemotesTheForegroundWindowThenPutsTheMainWindowOnTop) {
    fakeDesktop().foreground = otherWindow;
    window.AlwaysOnTopTimer_Timer();
    EXPECT_EQ(fakeDesktop().calls, (std::vector<std::string>{"foreground", "foreground",
                                                             "setWindowPos", "setWindowPos"}));
    const auto& calls = fakeDesktop().windowPosCalls;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].window, otherWindow);
    EXPECT_EQ(calls[0].insertAfter, toolkit::HWND_NOTOPMOST);
    EXPECT_EQ(calls[1].window, window.hWnd());
    EXPECT_EQ(calls[1].insertAfter, toolkit::HWND_TOPMOST);
    for (const auto& call : calls) {
        EXPECT_EQ(call.x, 0);
        EXPECT_EQ(call.y, 0);
        EXPECT_EQ(call.cx, 0);
        EXPECT_EQ(call.cy, 0);
        EXPECT_EQ(call.flags, noMoveNoSize);
    }
}

TEST_F(TopmostKeeperTest, WithNoForegroundWindowStillPutsTheMainWindowOnTop) {
    fakeDesktop().foreground = 0;
    window.AlwaysOnTopTimer_Timer();
    const auto& calls = fakeDesktop().windowPosCalls;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].window, 0u);
    EXPECT_EQ(calls[0].insertAfter, toolkit::HWND_NOTOPMOST);
    EXPECT_EQ(calls[1].window, window.hWnd());
    EXPECT_EQ(calls[1].insertAfter, toolkit::HWND_TOPMOST);
}

TEST_F(TopmostKeeperTest, TicksOnceASecondOnlyWhileSwitchedOn) {
    fakeDesktop().foreground = otherWindow;
    testing_support::runEventsFor(1300ms);
    EXPECT_EQ(fakeDesktop().foregroundQueries, 0) << "off by default";

    window.AlwaysOnTopTimer.setEnabled(true);
    testing_support::runEventsFor(700ms);
    EXPECT_EQ(fakeDesktop().foregroundQueries, 0) << "the first tick is a whole interval away";
    ASSERT_TRUE(testing_support::runEventsUntil(
        [] { return fakeDesktop().windowPosCalls.size() == 2; }, 2s));

    // Switching off stops the ticks and touches nothing else: no stacking call, no pulse.
    window.AlwaysOnTopTimer.setEnabled(false);
    fakeDesktop().calls.clear();
    testing_support::runEventsFor(1300ms);
    EXPECT_TRUE(fakeDesktop().calls.empty());
    EXPECT_EQ(window.MIDDLE_BUTTON.Caption(), "Start");
}

}  // namespace
