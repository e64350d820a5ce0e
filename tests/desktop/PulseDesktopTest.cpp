// The pulse on the desktop: Num Lock flips, the window's colour, the hearts and the button.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

class Pulse : public DesktopTest {};

// Qt's event loop on Linux is GLib's, which the pulse's tick path drives directly, unless
// QT_NO_GLIB gives Qt its own; the pulse keeps its phases on either.
class PulseOnEitherEventLoop
    : public DesktopTest,
      public ::testing::WithParamInterface<std::map<std::string, std::string>> {};

INSTANTIATE_TEST_SUITE_P(EventLoops, PulseOnEitherEventLoop,
                         ::testing::Values(std::map<std::string, std::string>{},
                                           std::map<std::string, std::string>{{"QT_NO_GLIB", "1"}}),
                         [](const auto& info) { return info.param.empty() ? "GLib" : "Qts"; });

TEST_P(PulseOnEitherEventLoop,
       RunsFromTheStartFlippingNumLockEachPhaseWithTheHeartsBlinkingInStep) {
    auto& run = start(x(), GetParam());
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    const auto origin = x().clientOrigin(*window);
    ASSERT_TRUE(origin);

    const auto samples = watch(x(), *origin, 3200ms);
    const auto flips = numLockFlips(samples);
    EXPECT_GE(flips.size(), 3u) << "Num Lock flips at " << listMs(flips);
    EXPECT_LE(flips.size(), 5u) << "Num Lock flips at " << listMs(flips);
    expectPhaseGaps(flips);

    const auto notRed =
        samplesWhere(samples, [](const Image& client) { return !backgroundShows(client, red); });
    EXPECT_TRUE(notRed.empty()) << "the running window was not red at " << listMs(notRed);

    // Both hearts show or hide together, and only as the Num Lock key is pressed.
    std::vector<Clock::duration> heartChanges;
    std::size_t disagreements = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool left = controlShown(samples[i].client, leftHeart, red);
        const bool right = controlShown(samples[i].client, rightHeart, red);
        disagreements += left != right;
        if (i > 0 && left != controlShown(samples[i - 1].client, leftHeart, red)) {
            heartChanges.push_back(samples[i].at);
        }
    }
    EXPECT_LE(disagreements, 2u) << "samples with one heart shown and the other hidden";
    EXPECT_GE(heartChanges.size(), 2u)
        << "the hearts did not blink; they changed at " << listMs(heartChanges);
    for (const auto change : heartChanges) {
        const bool withFlip = std::any_of(flips.begin(), flips.end(), [&](auto flip) {
            return change - flip <= 300ms && flip - change <= 300ms;
        });
        EXPECT_TRUE(withFlip) << "the hearts changed at " << ms(change)
                              << " ms, away from every Num Lock flip " << listMs(flips);
    }
}

TEST_F(Pulse, ButtonStopsThePulseAndStartsItAgain) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    const auto origin = x().clientOrigin(*window);
    ASSERT_TRUE(origin);
    const bool before = x().numLockOn();
    ASSERT_TRUE(waitUntil([&] { return x().numLockOn() != before; }, 2000ms))
        << "the pulse does not run at all";

    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    ASSERT_TRUE(waitForPaintIn(x(), *window, black)) << "the stopped window is not black";
    expectStopped(x(), *origin);

    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the restarted window is not red";
    expectPulsing(x(), *origin, 2600ms, 2, 4);

    // The route is said once, not at every pulse nor at every Start.
    const auto lines = linesOf(runLog(1));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), x11RouteLine), 1) << joined(lines);
}

TEST_F(Pulse, StaysStoppedWhenAutoStartIsOffUntilTheButtonStartsIt) {
    writeSettings("[Settings]\nAUTOSTART_TICKBOX=0\n");
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, black)) << "the stopped window is not black";
    const auto origin = x().clientOrigin(*window);
    ASSERT_TRUE(origin);

    expectStopped(x(), *origin);

    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the started window is not red";
    expectPulsing(x(), *origin, 1700ms, 1, 3);
}

TEST_F(Pulse, FocusedWindowDoesNotTakeThePulseForTheUsersInput) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    x().activate(*window);
    ASSERT_TRUE(waitUntil([&] { return x().activeWindow() == window; }, 3000ms))
        << "the window manager did not activate the window";

    // The time of the user's last input, which the window manager weighs when a new window
    // of the program asks for the focus.
    const auto userTime = x().cardinalProperty(*window, "_NET_WM_USER_TIME");
    const bool numLock = x().numLockOn();
    ASSERT_TRUE(waitUntil([&] { return x().numLockOn() != numLock; }, 2000ms));
    ASSERT_TRUE(waitUntil([&] { return x().numLockOn() == numLock; }, 2000ms));
    EXPECT_EQ(x().activeWindow(), window) << "the window lost the focus";
    EXPECT_EQ(x().cardinalProperty(*window, "_NET_WM_USER_TIME"), userTime)
        << "the pulse's key presses were stamped on the window as the user's";
}

}  // namespace

}  // namespace desktop_test
