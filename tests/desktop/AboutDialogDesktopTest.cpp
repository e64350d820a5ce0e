// The About dialog, opened by double-clicks on the main window.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

class AboutDialog : public DesktopTest {
  protected:
    static constexpr const char* caption = "PULSEWARD";
    // The main window at pixel (600, 100), clear of the dialog's default place.
    static constexpr const char* mainAside = "MainLeft=9000\nMainTop=1500\n";
    static constexpr Point clientSize{354, 355};
    static constexpr Rect creatorLabel{16, 88, 321, 33};
    static constexpr Point alwaysOnTopTickbox{56, 316};
    static constexpr Point okButton{256, 315};

    // Double-clicks the main window there and returns the dialog once the window manager shows
    // it, checking what it is and that its frame is at the place.
    std::optional<WindowId> openAbout(PulsewardRun& run, WindowId window, const Point& where,
                                      const Point& place = defaultFramePlace) {
        click(x(), window, where, 2);
        if (HasFatalFailure()) {
            return std::nullopt;
        }
        return waitForAbout(run, window, place);
    }

    std::optional<WindowId> waitForAbout(PulsewardRun& run, WindowId window,
                                         const Point& place = defaultFramePlace) {
        std::optional<WindowId> dialog;
        const bool shown = waitUntil(
            [&] {
                dialog = run.findWindow(caption);
                return dialog && x().isViewable(*dialog) && x().wmState(*dialog) == normalState &&
                       x().frameExtents(*dialog);
            },
            5000ms);
        if (!shown) {
            return std::nullopt;
        }
        EXPECT_EQ(x().transientFor(*dialog), window) << "the dialog's owner";
        EXPECT_EQ(x().clientSize(*dialog), clientSize) << "client width, height";
        EXPECT_TRUE(waitForFrameAt(x(), *dialog, place))
            << "the frame opened at " << framePlace(x(), *dialog);
        return dialog;
    }

    bool waitForAboutClosed(PulsewardRun& run) {
        return waitUntil([&] { return !run.findWindow(caption); }, 3000ms);
    }

    // The creator label once it shows green text and has stopped changing.
    std::optional<Image> creator(WindowId dialog) {
        const auto origin = x().clientOrigin(dialog);
        if (!origin) {
            return std::nullopt;
        }
        const Rect area{origin->x + creatorLabel.x, origin->y + creatorLabel.y, creatorLabel.width,
                        creatorLabel.height};
        Image previous, current;
        const bool settled = waitUntil(
            [&] {
                previous = std::exchange(current, x().grab(area));
                return current.pixels == previous.pixels &&
                       std::any_of(current.pixels.begin(), current.pixels.end(),
                                   [](const Rgb& pixel) { return near(pixel, green); });
            },
            3000ms);
        return settled ? std::optional(current) : std::nullopt;
    }
};

TEST_F(AboutDialog, OpensFromTheBackgroundOrEitherHeartAndHoldsTheMainWindowsInput) {
    writeSettings(std::string("[Settings]\n") + mainAside);
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    const auto origin = x().clientOrigin(*window);
    ASSERT_TRUE(origin);

    ASSERT_TRUE(near(grabClient(x(), *window).at(36, 14), red)) << "(36, 14) is no background";
    auto dialog = openAbout(run, *window, {36, 14});
    ASSERT_TRUE(dialog) << "no dialog after a double-click on the background";

    // The main window takes no clicks, while its pulse goes on.
    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    const auto samples = watch(x(), *origin, 2400ms);
    const auto flips = numLockFlips(samples);
    EXPECT_GE(flips.size(), 2u) << "Num Lock flips at " << listMs(flips);
    EXPECT_LE(flips.size(), 4u) << "Num Lock flips at " << listMs(flips);
    const auto notRed =
        samplesWhere(samples, [](const Image& client) { return !backgroundShows(client, red); });
    EXPECT_TRUE(notRed.empty()) << "the main window was not red at " << listMs(notRed);

    // A double-click on the creator shows a contact address, for this opening only.
    const auto firstLook = creator(*dialog);
    ASSERT_TRUE(firstLook) << "the creator label shows no green text";
    ASSERT_NO_FATAL_FAILURE(click(x(), *dialog, {176, 104}, 2));
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto look = creator(*dialog);
            return look && look->pixels != firstLook->pixels;
        },
        3000ms))
        << "the creator label did not change";
    x().closeWindow(*dialog);
    ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";

    // Clicks reach the main window again; stopped, it shows its hearts all the time.
    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    ASSERT_TRUE(waitForPaintIn(x(), *window, black)) << "the button did not stop the pulse";
    for (const auto& [name, heart] :
         {std::pair{"left heart", leftHeart}, std::pair{"right heart", rightHeart}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(controlShown(grabClient(x(), *window), heart, black));
        dialog = openAbout(run, *window, {heart.x + heart.width / 2, heart.y + heart.height / 2});
        ASSERT_TRUE(dialog) << "no dialog after a double-click on the " << name;
        const auto look = creator(*dialog);
        EXPECT_TRUE(look && look->pixels == firstLook->pixels)
            << "the creator label looks other than at the first opening";
        x().closeWindow(*dialog);
        ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";
    }
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
}

TEST_F(AboutDialog, OpensFromAHeartWhileThePulseHidesIt) {
    writeSettings(std::string("[Settings]\n") + mainAside);
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    const Point heartCentre{rightHeart.x + rightHeart.width / 2,
                            rightHeart.y + rightHeart.height / 2};
    const auto heartShown = [&] { return controlShown(grabClient(x(), *window), rightHeart, red); };

    // A hidden heart leaves the double-click to the window behind it. Both clicks must fall
    // within the 750 ms for which the heart stays hidden, counted from when it was seen to hide.
    std::optional<WindowId> dialog;
    for (int attempt = 1; attempt <= 5 && !dialog; ++attempt) {
        ASSERT_TRUE(waitUntil(heartShown, 2000ms)) << "the heart never shows";
        ASSERT_TRUE(waitUntil([&] { return !heartShown(); }, 2000ms)) << "the heart never hides";
        const auto hidden = Clock::now();
        ASSERT_NO_FATAL_FAILURE(click(x(), *window, heartCentre, 2));
        const bool inTime = Clock::now() - hidden < 500ms;
        dialog = waitForAbout(run, *window);
        if (!inTime) {
            std::cout << "attempt " << attempt << ": the clicks took too long\n";
            if (dialog) {
                x().closeWindow(*dialog);
                ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";
                dialog.reset();
            }
            continue;
        }
        ASSERT_TRUE(dialog) << "no dialog after a double-click on the hidden heart";
    }
    ASSERT_TRUE(dialog) << "no double-click fell within a hidden phase";
    x().closeWindow(*dialog);
    ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
}

TEST_F(AboutDialog, AlwaysOnTopTickboxRunsTheKeeperAndOkStoresTheOptionsAndPlace) {
    // Without AUTOSTART_TICKBOX, so that only the dialog can store it.
    writeSettings(std::string("[Settings]\n") + mainAside);
    const auto other = startOtherClient({700, 400});
    ASSERT_TRUE(other) << "no xlogo window";
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    const auto dialog = openAbout(run, *window, {36, 14});
    ASSERT_TRUE(dialog) << "no dialog at the first opening";

    ASSERT_NO_FATAL_FAILURE(click(x(), *dialog, alwaysOnTopTickbox));
    EXPECT_TRUE(waitUntil([&] { return settings()["Always_On_Top_TICKBOX"] == "1"; }, 2000ms))
        << settingsText();
    ASSERT_NO_FATAL_FAILURE(bringForward(*other, *dialog));
    EXPECT_TRUE(waitUntil([&] { return hasAbove(x(), *window) && !hasAbove(x(), *other); }, 2500ms))
        << std::boolalpha << "ours on top: " << hasAbove(x(), *window)
        << ", other on top: " << hasAbove(x(), *other);

    // Unticked, the keeper stops and leaves the main window where it is: on top.
    ASSERT_NO_FATAL_FAILURE(click(x(), *dialog, alwaysOnTopTickbox));
    EXPECT_TRUE(waitUntil([&] { return settings()["Always_On_Top_TICKBOX"] == "0"; }, 2000ms))
        << settingsText();
    ASSERT_NO_FATAL_FAILURE(bringForward(*other, *dialog));
    const auto end = Clock::now() + 2000ms;
    while (Clock::now() < end) {
        ASSERT_TRUE(hasAbove(x(), *window)) << "the main window left the top";
        ASSERT_TRUE(hasAbove(x(), *other)) << "the keeper still runs";
        std::this_thread::sleep_for(50ms);
    }

    x().moveFrameTo(*dialog, 150, 120);
    ASSERT_TRUE(waitForFrameAt(x(), *dialog, {150, 120}))
        << "the window manager did not move the dialog; it is at " << framePlace(x(), *dialog);
    ASSERT_NO_FATAL_FAILURE(click(x(), *dialog, okButton));
    ASSERT_TRUE(waitForAboutClosed(run)) << "OK did not close the dialog";
    auto stored = settings();
    EXPECT_EQ(stored["AboutLeft"], std::to_string(150 * twipsPerPixel));
    EXPECT_EQ(stored["AboutTop"], std::to_string(120 * twipsPerPixel));
    EXPECT_EQ(stored["Always_On_Top_TICKBOX"], "0");
    EXPECT_EQ(stored["AUTOSTART_TICKBOX"], "1");
    const auto reopened = openAbout(run, *window, {36, 14}, {150, 120});
    ASSERT_TRUE(reopened) << "no dialog at the second opening";
    x().closeWindow(*reopened);
    ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";

    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    stored = settings();
    EXPECT_EQ(stored.count("AboutWidth") + stored.count("AboutHeight"), 0u) << settingsText();
}

}  // namespace

}  // namespace desktop_test
