// The main window as Win32 sees it: its style, size and place, its pictures and colours, clicks
// on the real button, double-clicks that open the About dialog modally, and the close box.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "about_dialog/FERN_BADGER_PULSEWARD_ABOUT.h"
#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "tests/support/TestEnvironment.h"
#include "toolkit/Forms.h"

// After the toolkit's headers, for <windows.h>.
#include "tests/win32/WindowQueries.h"

#include <commctrl.h>

using namespace std::chrono_literals;
using pulseward::FERN_BADGER_PULSEWARD_MAIN;
using testing_support::runEventsFor;
using testing_support::runEventsUntil;

namespace win32_test {

namespace {

class MainWindowWin32Test : public testing::Test {
  protected:
    void SetUp() override { testing_support::resetAll(); }
    void TearDown() override {
        testing_support::unloadAllForms();
        pulseward::aboutDialog().reset();
    }
    FERN_BADGER_PULSEWARD_MAIN window;
};

TEST_F(MainWindowWin32Test, IsASizableToolWindowOfTheDesignedClientSize) {
    window.Show();
    const HWND hwnd = hwndOf(window);
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    expectSizableToolWindow(hwnd);
    EXPECT_EQ(textOf(hwnd), L"       PULSEWARD");
    EXPECT_NE(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0) << "the program's icon";
    EXPECT_NE(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);

    // Outer 1860 x 780 twips less the frame's 120 x 360, at 15 twips a pixel.
    const SIZE client = clientSizeOf(hwnd);
    EXPECT_EQ(client.cx, 116);
    EXPECT_EQ(client.cy, 28);
    RECT outer;
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.left, 67) << "the outer frame's corner is Left and Top";
    EXPECT_EQ(outer.top, 67);
}

TEST_F(MainWindowWin32Test, MovingAndSizingTheWindowIsSeenInTwips) {
    window.Show();
    const HWND hwnd = hwndOf(window);
    RECT outer, client;
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    const int frameX = (outer.right - outer.left) - client.right;
    const int frameY = (outer.bottom - outer.top) - client.bottom;
    SetWindowPos(hwnd, nullptr, 100, 200, 200 + frameX, 50 + frameY, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(window.Left(), 1500.0f);
    EXPECT_EQ(window.Top(), 3000.0f);
    EXPECT_EQ(window.Width(), 200 * 15 + 120.0f);
    EXPECT_EQ(window.Height(), 50 * 15 + 360.0f);
}

TEST_F(MainWindowWin32Test, ThePicturesAreDecodedAndTheBoxesSizedToThemInASunkenBorder) {
    window.Show();
    const auto pictures = childrenOfClass(hwndOf(window), L"PulsewardPicture");
    ASSERT_EQ(pictures.size(), 2u);
    for (HWND picture : pictures) {
        EXPECT_TRUE(GetWindowLongPtrW(picture, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        RECT outer;
        GetWindowRect(picture, &outer);
        EXPECT_EQ(outer.right - outer.left, 24 + 4) << "a 24-pixel heart in a 2-pixel border";
        EXPECT_EQ(outer.bottom - outer.top, 24 + 4);
        EXPECT_EQ(clientSizeOf(picture).cx, 24);
    }
}

TEST_F(MainWindowWin32Test, TheBackgroundIsRedWhileRunningAndBlackWhenStopped) {
    window.Show();
    runEventsFor(50ms);
    // Between the left heart (to 28) and the button (from 40).
    EXPECT_EQ(pixelAt(hwndOf(window), 34, 14), RGB(255, 0, 0));
    window.MIDDLE_BUTTON_Click();
    EXPECT_EQ(pixelAt(hwndOf(window), 34, 14), RGB(0, 0, 0));
}

TEST_F(MainWindowWin32Test, AClickOnTheRealButtonTogglesThePulse) {
    window.Show();
    HWND button = childWithText(hwndOf(window), L"STOP");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(classOf(button), L"Button");
    EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON)
        << "never the default button";
    SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_EQ(window.MIDDLE_BUTTON.Caption(), "Start");
    EXPECT_FALSE(window.SHOW_PIC_TIMER.Enabled());
    EXPECT_EQ(textOf(button), L"Start");
    SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_EQ(window.MIDDLE_BUTTON.Caption(), "STOP");
    EXPECT_TRUE(window.SHOW_PIC_TIMER.Enabled());
}

TEST_F(MainWindowWin32Test, HidingTheHeartsHidesTheirWindows) {
    window.Show();
    window.SHOW_PIC_TIMER_Timer();
    window.HIDE_PIC_TIMER_Timer();
    for (HWND picture : childrenOfClass(hwndOf(window), L"PulsewardPicture")) {
        EXPECT_FALSE(IsWindowVisible(picture));
    }
    window.MIDDLE_BUTTON_Click();
    for (HWND picture : childrenOfClass(hwndOf(window), L"PulsewardPicture")) {
        EXPECT_TRUE(IsWindowVisible(picture));
    }
}

TEST_F(MainWindowWin32Test, LeftDoubleClicksOnTheWindowAndEachHeartOpenTheDialogModally) {
    window.Show();
    const HWND main = hwndOf(window);
    std::vector<HWND> targets = {main};
    for (HWND picture : childrenOfClass(main, L"PulsewardPicture")) {
        targets.push_back(picture);
    }
    ASSERT_EQ(targets.size(), 3u);
    for (HWND target : targets) {
        for (auto [message, button] :
             {std::pair{WM_RBUTTONDBLCLK, MK_RBUTTON}, std::pair{WM_MBUTTONDBLCLK, MK_MBUTTON}}) {
            // Should it open the dialog after all, the step closes it again.
            testing_support::afterDelay(50ms, [] {
                if (pulseward::aboutDialog() && pulseward::aboutDialog()->isLoaded()) {
                    ADD_FAILURE() << "opened by another button than the left";
                    toolkit::Unload(*pulseward::aboutDialog());
                }
            });
            SendMessageW(target, message, button, MAKELPARAM(5, 5));
            runEventsFor(100ms);
        }
        bool sawDialog = false;
        testing_support::afterDelay(50ms, [&] {
            ASSERT_TRUE(pulseward::aboutDialog() && pulseward::aboutDialog()->isLoaded());
            const HWND dialog = hwndOf(*pulseward::aboutDialog());
            sawDialog = IsWindowVisible(dialog) && GetWindow(dialog, GW_OWNER) == main &&
                        !IsWindowEnabled(main) && IsWindowEnabled(dialog);
            expectSizableToolWindow(dialog);
            toolkit::Unload(*pulseward::aboutDialog());
        });
        SendMessageW(target, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
        EXPECT_TRUE(sawDialog);
        EXPECT_TRUE(IsWindowEnabled(main)) << "the owner takes input again";
    }
}

// The tip covers the whole window, the hearts and the button included, and asks for its text
// each time it is about to show.
TEST_F(MainWindowWin32Test, ATipShowsWhereThePointerRestsWithTheTextOfThatMoment) {
    window.Show();
    const HWND hwnd = hwndOf(window);
    std::string text = "The pulse stops in 4 min 10 s.";
    int asked = 0;
    window.ToolTipText = [&] {
        ++asked;
        return text;
    };
    HWND tip = nullptr;
    while ((tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)) &&
           GetWindow(tip, GW_OWNER) != hwnd) {
    }
    ASSERT_TRUE(tip) << "no tip control owned by the window";
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), LRESULT(childrenOf(hwnd).size() + 1));

    const auto restOn = [&](HWND place) {
        RECT r;
        GetWindowRect(place, &r);
        SetCursorPos(0, 0);
        runEventsFor(200ms);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return runEventsUntil([&] { return IsWindowVisible(tip) != FALSE; }, 3s);
    };
    const HWND heart = childrenOfClass(hwnd, L"PulsewardPicture").front();
    ASSERT_TRUE(restOn(heart)) << "no tip over the heart";
    EXPECT_EQ(textOf(tip), L"The pulse stops in 4 min 10 s.");
    const int askedOnce = asked;
    EXPECT_GE(askedOnce, 1);

    text = "The pulse stops in 4 min 9 s.";
    ASSERT_TRUE(restOn(childrenOfClass(hwnd, L"Button").front())) << "no tip over the button";
    EXPECT_EQ(textOf(tip), L"The pulse stops in 4 min 9 s.");
    EXPECT_GT(asked, askedOnce);

    text.clear();
    EXPECT_FALSE(restOn(heart)) << "a tip without text";
}

TEST_F(MainWindowWin32Test, TheCloseBoxUnloadsTheWindowAfterItsMessage) {
    window.Show();
    const HWND hwnd = hwndOf(window);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(window.isLoaded()) << "the request is handled once the message is over";
    ASSERT_TRUE(runEventsUntil([&] { return !window.isLoaded(); }, 2s));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_NE(testing_support::readSettingsFile().find("MainLeft=1000\n"), std::string::npos);
}

}  // namespace

}  // namespace win32_test
