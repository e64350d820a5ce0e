// An X server that cannot take synthetic key presses.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <thread>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

class WithoutXTest : public DesktopTest {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        try {
            extraSession_ =
                DesktopSession::start(folder_ / "desktop-without-xtest", {"-extension", "XTEST"});
        } catch (const std::exception& error) {
            FAIL() << "no second desktop: " << error.what();
        }
        ASSERT_FALSE(extraSession_->x().hasExtension("XTEST"));
    }
};

TEST_F(WithoutXTest, FailedKeyPressStopsThePulseWithAMessageAndTheProgramGoesOn) {
    XDisplay& noXTest = extraSession_->x();

    auto& run = start(noXTest);
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";

    // The first key press is due one phase after the start.
    std::optional<WindowId> box;
    ASSERT_TRUE(
        waitUntil([&] { return (box = run.findWindow(messageBoxName)).has_value(); }, 3000ms))
        << "no message box";
    EXPECT_NE(*box, *window);
    EXPECT_TRUE(waitForPaintIn(noXTest, *window, black))
        << "the window does not show the pulse stopped";
    EXPECT_TRUE(run.running());

    noXTest.closeWindow(*box);
    ASSERT_TRUE(waitUntil([&] { return !run.findWindow(messageBoxName); }, 3000ms))
        << "the message box did not close";

    // Two more phases: the pulse stays stopped, so no further message and no red.
    const auto end = Clock::now() + 1600ms;
    while (Clock::now() < end) {
        ASSERT_TRUE(run.running()) << "the program ended after its message";
        ASSERT_FALSE(run.findWindow(messageBoxName)) << "another message box came up";
        ASSERT_TRUE(backgroundShows(grabClient(noXTest, *window), black))
            << "the window went back to red";
        std::this_thread::sleep_for(50ms);
    }

    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(noXTest, run, *window));
    const auto lines = linesOf(runLog(1));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), x11RouteLine), 0)
        << "a route that sent nothing was said to be in use\n"
        << joined(lines);
}

// The box keeps the close box from taking clicks; a later start's --quit still ends the program
// at once, as the close box would, and the box goes with it.
TEST_F(WithoutXTest, QuitFromALaterStartEndsTheProgramWhileTheMessageWaits) {
    XDisplay& noXTest = extraSession_->x();
    const auto bus = privateSessionBus();
    auto& run = start(noXTest, bus);
    ASSERT_TRUE(run.waitForMainWindow()) << "no main window";
    ASSERT_TRUE(waitUntil([&] { return run.findWindow(messageBoxName).has_value(); }, 3000ms))
        << "no message box";

    const auto quit = command({"--quit"}, bus);
    EXPECT_TRUE(quit.status != -1 && WIFEXITED(quit.status) && WEXITSTATUS(quit.status) == 0)
        << describeStatus(quit.status);
    const auto ended = run.waitForExit(5s);
    ASSERT_TRUE(ended) << "the program waits on the message box";
    EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0) << describeStatus(*ended);
}

}  // namespace

}  // namespace desktop_test
