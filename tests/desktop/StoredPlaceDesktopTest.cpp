// The window's place: MainLeft and MainTop, in twips, of the frame's top-left corner, stored
// on close and used at the next start.

#include <gtest/gtest.h>

#include <string>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

class StoredPlace : public DesktopTest {
  protected:
    // Starts the program, sees its frame open at the place given, and closes it again.
    void openAtAndClose(Point frame) {
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        EXPECT_TRUE(waitForFrameAt(x(), *window, frame))
            << "the frame opened at " << framePlace(x(), *window);
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    }
};

TEST_F(StoredPlace, PlaceMovedToIsStoredOnCloseAndUsedOnTheNextStart) {
    {
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        ASSERT_TRUE(waitForFrameAt(x(), *window, defaultFramePlace));
        x().moveFrameTo(*window, 200, 300);
        ASSERT_TRUE(waitForFrameAt(x(), *window, {200, 300}))
            << "the window manager did not move the window; it is at " << framePlace(x(), *window);
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    }
    auto stored = settings();
    EXPECT_EQ(stored["MainLeft"], std::to_string(200 * twipsPerPixel));
    EXPECT_EQ(stored["MainTop"], std::to_string(300 * twipsPerPixel));

    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window on the second start";
    EXPECT_TRUE(waitForFrameAt(x(), *window, {200, 300}))
        << "the frame opened at " << framePlace(x(), *window);
}

TEST_F(StoredPlace, StartsAndClosesWithoutMovingLeaveTheStoredTextAsItWas) {
    std::string first;
    for (int cycle = 1; cycle <= 5; ++cycle) {
        SCOPED_TRACE("start " + std::to_string(cycle));
        ASSERT_NO_FATAL_FAILURE(openAtAndClose(defaultFramePlace));
        if (cycle == 1) {
            first = settingsText();
            auto stored = settings();
            // The defaults, though 1000 twips is no whole number of pixels.
            EXPECT_EQ(stored["MainLeft"], "1000");
            EXPECT_EQ(stored["MainTop"], "1000");
        } else {
            EXPECT_EQ(settingsText(), first);
        }
    }
}

TEST_F(StoredPlace, StoredTwipsPutTheFrameOnTheirPixelEvenPartlyOffScreen) {
    struct Case {
        int left, top;
        Point frame;
    };
    for (const Case& place : {Case{1500, 3000, {100, 200}}, Case{-600, 3000, {-40, 200}}}) {
        SCOPED_TRACE("MainLeft=" + std::to_string(place.left) +
                     " MainTop=" + std::to_string(place.top));
        writeSettings("[Settings]\nMainLeft=" + std::to_string(place.left) +
                      "\nMainTop=" + std::to_string(place.top) + "\n");
        ASSERT_NO_FATAL_FAILURE(openAtAndClose(place.frame));
        auto stored = settings();
        EXPECT_EQ(stored["MainLeft"], std::to_string(place.left));
        EXPECT_EQ(stored["MainTop"], std::to_string(place.top));
    }
}

TEST_F(StoredPlace, PlaceOffEveryScreenGivesWayToTheDefault) {
    writeSettings("[Settings]\nMainLeft=-99999\nMainTop=-99999\n");
    ASSERT_NO_FATAL_FAILURE(openAtAndClose(defaultFramePlace));
    auto stored = settings();
    EXPECT_EQ(stored["MainLeft"], "1000");
    EXPECT_EQ(stored["MainTop"], "1000");
}

class Minimised : public DesktopTest {};

TEST_F(Minimised, ClosingWhileMinimisedKeepsTheStoredPlace) {
    writeSettings("[Settings]\nMainLeft=1500\nMainTop=1500\n");
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForFrameAt(x(), *window, {100, 100}));
    // Moved first, so that storing the place now would change the file.
    x().moveFrameTo(*window, 300, 250);
    ASSERT_TRUE(waitForFrameAt(x(), *window, {300, 250})) << "the window manager did not move it";

    x().iconify(*window);
    ASSERT_TRUE(waitUntil([&] { return x().wmState(*window) == iconicState; }, 3000ms))
        << "the window manager did not minimise the window";
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));

    auto stored = settings();
    EXPECT_EQ(stored["MainLeft"], "1500");
    EXPECT_EQ(stored["MainTop"], "1500");
}

}  // namespace

}  // namespace desktop_test
