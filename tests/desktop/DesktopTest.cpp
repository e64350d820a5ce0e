// The program on a real X server with a real window manager, watched from outside: the
// keyboard's Num Lock indicator, what the screen shows, the window's properties, and the
// settings file the program leaves behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

// The pulse: Num Lock flips, the window's colour, the hearts and the button.

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

// ---------------------------------------------------------------------------------------------
// The main window as the window manager and the screen show it.

class MainWindow : public DesktopTest {};

TEST_F(MainWindow, OpensAsASizableToolWindowOfTheDefaultPlaceAndSizeWithoutTaskbarEntry) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";

    EXPECT_EQ(x().clientSize(*window), (Point{clientWidth, clientHeight}))
        << "client width, height";
    EXPECT_TRUE(waitForFrameAt(x(), *window, defaultFramePlace))
        << "the frame is at " << framePlace(x(), *window);

    EXPECT_EQ(x().textProperty(*window, "WM_NAME"), mainWindowName);
    EXPECT_EQ(x().textProperty(*window, "_NET_WM_NAME"), mainWindowName);

    const auto states = x().atomListProperty(*window, "_NET_WM_STATE");
    EXPECT_NE(std::find(states.begin(), states.end(), "_NET_WM_STATE_SKIP_TASKBAR"), states.end())
        << "the window asks for a taskbar entry";

    const auto types = x().atomListProperty(*window, "_NET_WM_WINDOW_TYPE");
    ASSERT_FALSE(types.empty()) << "no window type";
    EXPECT_EQ(types.front(), "_NET_WM_WINDOW_TYPE_UTILITY") << "the preferred window type";

    if (x().windowManagerSupports("_NET_WM_ALLOWED_ACTIONS")) {
        const auto actions = x().atomListProperty(*window, "_NET_WM_ALLOWED_ACTIONS");
        for (const char* action : {"_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_CLOSE"}) {
            EXPECT_NE(std::find(actions.begin(), actions.end(), action), actions.end())
                << "the window manager does not allow " << action;
        }
    }

    // _NET_WM_ICON: width, height and width * height pixels, for each size offered.
    const auto icon = x().cardinalProperty(*window, "_NET_WM_ICON");
    std::vector<std::string> sizes;
    for (std::size_t i = 0; i + 2 <= icon.size();) {
        const long width = icon[i], height = icon[i + 1];
        if (width <= 0 || height <= 0 || i + 2 + std::size_t(width * height) > icon.size()) {
            ADD_FAILURE() << "malformed _NET_WM_ICON";
            break;
        }
        sizes.push_back(std::to_string(width) + "x" + std::to_string(height));
        i += 2 + std::size_t(width * height);
    }
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), "100x100"), sizes.end())
        << "icon sizes: " << ::testing::PrintToString(sizes);
}

TEST_F(MainWindow, ShowsTheHeartsEitherSideOfTheButtonOnItsBackground) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    // The hearts hide for every other phase of the pulse; look while they show.
    Image client;
    ASSERT_TRUE(waitUntil(
        [&] {
            client = grabClient(x(), *window);
            return backgroundShows(client, red) && controlShown(client, leftHeart, red) &&
                   controlShown(client, rightHeart, red);
        },
        5000ms))
        << "never red with both hearts shown";

    // Each control covers its rectangle up to its edges, and the background shows just beyond.
    for (const auto& [name, rect] :
         {std::pair{"left heart", leftHeart}, std::pair{"button", middleButton},
          std::pair{"right heart", rightHeart}}) {
        const int midX = rect.x + rect.width / 2;
        const int midY = rect.y + rect.height / 2;
        const Point edges[] = {{rect.x, midY},
                               {rect.x + rect.width - 1, midY},
                               {midX, rect.y},
                               {midX, rect.y + rect.height - 1}};
        const Point beyond[] = {{rect.x - 1, midY},
                                {rect.x + rect.width, midY},
                                {midX, rect.y - 1},
                                {midX, rect.y + rect.height}};
        for (const Point& point : edges) {
            EXPECT_FALSE(near(client.at(point.x, point.y), red))
                << name << " does not cover its edge at client pixel " << point;
        }
        for (const Point& point : beyond) {
            if (inside(client, point)) {
                EXPECT_EQ(client.at(point.x, point.y), red)
                    << "background expected beside the " << name << " at client pixel " << point;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The window's place: MainLeft and MainTop, in twips, of the frame's top-left corner.

class StoredPlace : public DesktopTest {};

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
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        EXPECT_TRUE(waitForFrameAt(x(), *window, defaultFramePlace))
            << "the frame opened at " << framePlace(x(), *window);
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
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
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        EXPECT_TRUE(waitForFrameAt(x(), *window, place.frame))
            << "the frame opened at " << framePlace(x(), *window);
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
        auto stored = settings();
        EXPECT_EQ(stored["MainLeft"], std::to_string(place.left));
        EXPECT_EQ(stored["MainTop"], std::to_string(place.top));
    }
}

TEST_F(StoredPlace, PlaceOffEveryScreenGivesWayToTheDefault) {
    writeSettings("[Settings]\nMainLeft=-99999\nMainTop=-99999\n");
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    EXPECT_TRUE(waitForFrameAt(x(), *window, defaultFramePlace))
        << "the frame opened at " << framePlace(x(), *window);
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
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

// ---------------------------------------------------------------------------------------------
// The topmost keeper: with Always_On_Top_TICKBOX set, once a second whatever other window is
// active leaves the always-on-top band and the main window takes its top, without the focus.

class TopmostKeeper : public DesktopTest {};

TEST_F(TopmostKeeper, TakesTheTopFromTheActiveWindowOnlyWhenTheOptionIsSet) {
    const auto other = startOtherClient({700, 400});
    ASSERT_TRUE(other) << "no xlogo window";
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "Always_On_Top_TICKBOX=1" : "Always_On_Top_TICKBOX=0");
        writeSettings(std::string("[Settings]\nAlways_On_Top_TICKBOX=") + (keep ? "1" : "0") +
                      "\nAUTOSTART_TICKBOX=0\n");
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        ASSERT_NO_FATAL_FAILURE(bringForward(*other, *window));
        const auto ours = placement(*window);
        const auto theirs = placement(*other);

        if (keep) {
            EXPECT_TRUE(waitUntil(
                [&] {
                    return !hasAbove(x(), *other) && hasAbove(x(), *window) &&
                           stackedAbove(x(), *window, *other);
                },
                2500ms))
                << std::boolalpha << "other on top: " << hasAbove(x(), *other)
                << ", ours on top: " << hasAbove(x(), *window)
                << ", ours stacked above: " << stackedAbove(x(), *window, *other);
        } else {
            const auto begin = Clock::now();
            while (Clock::now() - begin < 3000ms) {
                const auto after = " after " + std::to_string(ms(Clock::now() - begin)) + " ms";
                ASSERT_TRUE(hasAbove(x(), *other)) << "the other window left the top" << after;
                ASSERT_FALSE(hasAbove(x(), *window)) << "the main window went on top" << after;
                ASSERT_TRUE(stackedAbove(x(), *other, *window))
                    << "the main window rose above the other" << after;
                std::this_thread::sleep_for(50ms);
            }
        }
        EXPECT_EQ(x().activeWindow(), other) << "the active window changed";
        EXPECT_EQ(placement(*window), ours) << "the main window moved or changed its size";
        EXPECT_EQ(placement(*other), theirs) << "the other window moved or changed its size";
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    }
}

// ---------------------------------------------------------------------------------------------
// The About dialog, opened by double-clicks on the main window.

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

// ---------------------------------------------------------------------------------------------
// An X server that cannot take synthetic key presses.

class WithoutXTest : public DesktopTest {};

TEST_F(WithoutXTest, FailedKeyPressStopsThePulseWithAMessageAndTheProgramGoesOn) {
    try {
        extraSession_ =
            DesktopSession::start(folder_ / "desktop-without-xtest", {"-extension", "XTEST"});
    } catch (const std::exception& error) {
        FAIL() << "no second desktop: " << error.what();
    }
    XDisplay& noXTest = extraSession_->x();
    ASSERT_FALSE(noXTest.hasExtension("XTEST"));

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

}  // namespace

}  // namespace desktop_test

int main(int argc, char** argv) {
    return desktop_test::runDesktopTests(argc, argv);
}
