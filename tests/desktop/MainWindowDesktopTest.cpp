// The main window as the window manager and the screen show it.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

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

}  // namespace

}  // namespace desktop_test
