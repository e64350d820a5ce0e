// Control from outside: one running copy per session bus, the commands later starts hand to it,
// and the timed pulse.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <string>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

class RemoteControl : public DesktopTest {
  protected:
    // The status a command ended with; -1 when it did not end on its own.
    static int exitStatus(const CommandResult& result) {
        return result.status != -1 && WIFEXITED(result.status) ? WEXITSTATUS(result.status) : -1;
    }

    // Until the window shows the colour, and then that Num Lock keeps still or flips.
    void expectStoppedWindow(WindowId window) {
        ASSERT_TRUE(waitForPaintIn(x(), window, black)) << "the stopped window is not black";
        expectStopped(x(), *x().clientOrigin(window));
    }
    // Whether a tip shows by the pointer once it rests on the left heart: Qt's pale yellow
    // (255, 255, 220) where only the red or black window and the black root were before.
    bool tipShows(WindowId window) {
        const auto origin = x().clientOrigin(window);
        if (!origin) {
            return false;
        }
        const Point rest{origin->x + leftHeart.width / 2, origin->y + leftHeart.height / 2};
        const auto env = environmentWith({{"DISPLAY", x().name()}});
        runCommand({"xdotool", "mousemove", "0", "0"}, env);
        runCommand({"xdotool", "mousemove", std::to_string(rest.x), std::to_string(rest.y)}, env);
        return waitUntil(
            [&] {
                const Image below = x().grab({rest.x - 40, rest.y + 8, 400, 60});
                int pale = 0;
                for (const Rgb& pixel : below.pixels) {
                    pale += pixel.red >= 250 && pixel.green >= 250 && pixel.blue >= 200 &&
                            pixel.blue <= 235;
                }
                return pale > 100;
            },
            2500ms);
    }

    void expectPulsingWindow(WindowId window) {
        ASSERT_TRUE(waitForPaintIn(x(), window, red)) << "the running window is not red";
        expectPulsing(x(), *x().clientOrigin(window), 2600ms, 2, 4);
    }
};

TEST_F(RemoteControl, LaterStartsHandTheirCommandToTheRunningCopyAndLeaveOneWindow) {
    const auto bus = privateSessionBus();
    auto& first = start(x(), bus);
    const auto window = first.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";

    auto& second = start(x(), bus, {"--stop"});
    const auto stopped = second.waitForExit(10s);
    ASSERT_TRUE(stopped) << "the second start still runs";
    EXPECT_TRUE(WIFEXITED(*stopped) && WEXITSTATUS(*stopped) == 0) << describeStatus(*stopped);
    expectStoppedWindow(*window);

    // With no command it only brings the running window forward.
    auto& third = start(x(), bus);
    const auto raised = third.waitForExit(10s);
    ASSERT_TRUE(raised) << "the third start still runs";
    EXPECT_TRUE(WIFEXITED(*raised) && WEXITSTATUS(*raised) == 0) << describeStatus(*raised);
    EXPECT_EQ(mainWindowCount(), 1u);
    EXPECT_TRUE(first.running());

    const auto status = command({"--status"}, bus);
    EXPECT_EQ(exitStatus(status), 0);
    EXPECT_EQ(status.output, "stopped\n");

    const auto quit = command({"--quit"}, bus);
    EXPECT_EQ(exitStatus(quit), 0);
    const auto ended = first.waitForExit(10s);
    ASSERT_TRUE(ended) << "--quit left the running copy running";
    EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0) << describeStatus(*ended);
    const auto afterwards = command({"--status"}, bus);
    EXPECT_EQ(exitStatus(afterwards), 1);
    EXPECT_EQ(afterwards.output, "not running\n");
}

TEST_F(RemoteControl, ToggleStopsThePulseAndStartsItAgain) {
    const auto bus = privateSessionBus();
    auto& run = start(x(), bus);
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    const bool before = x().numLockOn();
    ASSERT_TRUE(waitUntil([&] { return x().numLockOn() != before; }, 2000ms))
        << "the pulse does not run at all";

    EXPECT_EQ(exitStatus(command({"--toggle"}, bus)), 0);
    ASSERT_NO_FATAL_FAILURE(expectStoppedWindow(*window));
    EXPECT_EQ(exitStatus(command({"--toggle"}, bus)), 0);
    ASSERT_NO_FATAL_FAILURE(expectPulsingWindow(*window));
    EXPECT_EQ(command({"--status"}, bus).output, "running\n");
    EXPECT_EQ(mainWindowCount(), 1u);
}

TEST_F(RemoteControl, TimedPulseStopsAsStopDoesWhenItsTimeIsUp) {
    writeSettings("[Settings]\nAUTOSTART_TICKBOX=0\n");
    const auto bus = privateSessionBus();
    // With no copy running, a timed pulse starts one pulsing.
    auto& run = start(x(), bus, {"--for", "1h"});
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the timed pulse did not start";
    const auto hour = command({"--status"}, bus);
    EXPECT_EQ(exitStatus(hour), 0);
    EXPECT_TRUE(hour.output == "running, 1 h 00 min left\n" ||
                hour.output == "running, 59 min 59 s left\n")
        << hour.output;
    EXPECT_TRUE(tipShows(*window)) << "the window's tip does not tell the time left";

    const auto sent = Clock::now();
    EXPECT_EQ(exitStatus(command({"--for", "3s"}, bus)), 0);
    const auto taken = Clock::now();
    const auto left = command({"--status"}, bus).output;
    EXPECT_TRUE(left == "running, 3 s left\n" || left == "running, 2 s left\n") << left;

    ASSERT_TRUE(waitForPaintIn(x(), *window, black, 10s)) << "the timed pulse did not stop";
    const auto blackAt = Clock::now();
    EXPECT_GE(blackAt - sent, 3s - 750ms);
    EXPECT_LE(blackAt - taken, 3s + 750ms);
    expectStopped(x(), *x().clientOrigin(*window));
    EXPECT_EQ(command({"--status"}, bus).output, "stopped\n");

    // A Start clears the limit: the next pulse runs on.
    EXPECT_EQ(exitStatus(command({"--for", "2s"}, bus)), 0);
    EXPECT_EQ(exitStatus(command({"--start"}, bus)), 0);
    EXPECT_EQ(command({"--status"}, bus).output, "running\n");
    expectPulsing(x(), *x().clientOrigin(*window), 3200ms, 3, 5);
    EXPECT_FALSE(tipShows(*window)) << "a tip without a time limit";
    EXPECT_TRUE(run.running());
}

TEST_F(RemoteControl, WithoutASessionBusEveryStartRunsOnItsOwn) {
    auto& first = start();
    ASSERT_TRUE(first.waitForMainWindow()) << "no main window";
    auto& second = start();
    ASSERT_TRUE(second.waitForMainWindow()) << "no second main window";
    EXPECT_EQ(mainWindowCount(), 2u);

    const auto status = command({"--status"}, {});
    EXPECT_EQ(exitStatus(status), 1);
    EXPECT_EQ(status.output, "not running\n");
    EXPECT_EQ(exitStatus(command({"--stop"}, {})), 0);
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(second.running());
    // No error about the missing bus: the route's line is all.
    const auto lines = linesOf(runLog(1));
    for (const auto& line : lines) {
        EXPECT_EQ(line, x11RouteLine) << joined(lines);
    }
}

}  // namespace

}  // namespace desktop_test
