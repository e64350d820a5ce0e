// The forms' windows and controls as Win32 sees them: styles, sizes, the close box, modal
// showing, clicks and double-clicks on the real controls, tab order and colours.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "about_dialog/FERN_BADGER_PULSEWARD_ABOUT.h"
#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "tests/about_dialog/AboutDialogFixture.h"
#include "tests/support/TestEnvironment.h"
#include "tests/toolkit/FormFixtures.h"
#include "toolkit/Forms.h"

// After the toolkit's headers: <windows.h> defines macros named like toolkit/Desktop.h's
// stacking constants.
#include <windows.h>

using namespace std::chrono_literals;
using pulseward::FERN_BADGER_PULSEWARD_ABOUT;
using pulseward::FERN_BADGER_PULSEWARD_MAIN;
using testing_support::runEventsFor;
using testing_support::runEventsUntil;

namespace {

HWND hwndOf(const toolkit::Form& form) {
    return reinterpret_cast<HWND>(form.hWnd());
}

std::wstring textOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The form's child windows in z-order (which is the tab order).
std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

HWND childWithText(HWND parent, const std::wstring& text) {
    for (HWND child : childrenOf(parent)) {
        if (textOf(child) == text) {
            return child;
        }
    }
    return nullptr;
}

std::vector<HWND> childrenOfClass(HWND parent, const std::wstring& name) {
    std::vector<HWND> found;
    for (HWND child : childrenOf(parent)) {
        if (classOf(child) == name) {
            found.push_back(child);
        }
    }
    return found;
}

SIZE clientSizeOf(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

// What the window shows at a client point, once it has painted.
COLORREF pixelAt(HWND window, int x, int y) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

void expectSizableToolWindow(HWND window) {
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "a small caption and no taskbar entry";
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU) << "the close box";
    EXPECT_TRUE(style & WS_THICKFRAME) << "a sizing frame";
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
}

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

TEST_F(MainWindowWin32Test, TheCloseBoxUnloadsTheWindowAfterItsMessage) {
    window.Show();
    const HWND hwnd = hwndOf(window);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(window.isLoaded()) << "the request is handled once the message is over";
    ASSERT_TRUE(runEventsUntil([&] { return !window.isLoaded(); }, 2s));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_NE(testing_support::readSettingsFile().find("MainLeft=1000\n"), std::string::npos);
}

class AboutDialogWin32Test : public about_dialog_test::AboutDialogTest {};

TEST_F(AboutDialogWin32Test, HasTheDesignedClientSizeAndItsControls) {
    showMain();
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [](FERN_BADGER_PULSEWARD_ABOUT& d) {
        const HWND dialog = hwndOf(d);
        EXPECT_NE(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0), 0) << "the program's icon";
        const SIZE client = clientSizeOf(dialog);
        EXPECT_EQ(client.cx, 5310 / 15);
        EXPECT_EQ(client.cy, 5325 / 15);
        EXPECT_NE(childWithText(dialog, L"FERN-BADGER-PULSEWARD"), nullptr);
        EXPECT_NE(childWithText(dialog, L"Version 1.0"), nullptr);
        HWND text = childWithText(dialog, L"Heart Icon - PulseWard - ");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(classOf(text), L"Edit");
        EXPECT_TRUE(GetWindowLongPtrW(text, GWL_STYLE) & ES_READONLY);
        HWND address = childWithText(dialog, L"https://pulseward.example.org/artwork/heart.svg");
        ASSERT_NE(address, nullptr);
        EXPECT_TRUE(GetWindowLongPtrW(address, GWL_STYLE) & ES_MULTILINE);
    });
}

TEST_F(AboutDialogWin32Test, FocusStartsOnOkAndTabFollowsTheTabIndexes) {
    showMain();
    std::vector<std::wstring> order;
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        const HWND dialog = hwndOf(d);
        HWND focus = GetFocus();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(GetParent(focus), dialog);
        // The labels (tab indexes 1 to 3) take no focus: OK (4) is first.
        for (int i = 0; i < 7 && focus; ++i) {
            order.push_back(classOf(focus) == L"PulsewardPicture" ? L"<picture>" : textOf(focus));
            focus = GetNextDlgTabItem(dialog, focus, FALSE);
        }
        // The Tab key itself, through the message loop's dialog navigation.
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
        PostMessageW(GetFocus(), WM_KEYUP, VK_TAB, 0xC0000001);
        runEventsFor(50ms);
        EXPECT_EQ(textOf(GetFocus()), L"Always On Top");
    });
    EXPECT_EQ(order, (std::vector<std::wstring>{
                         L"OK", L"Always On Top", L"<picture>", L"Heart Icon - PulseWard - ",
                         L"https://pulseward.example.org/artwork/heart.svg",
                         L"Auto-Start PulseWard Timer When PulseWard Runs", L"OK"}));
}

TEST_F(AboutDialogWin32Test, ClicksOnTheTickboxesGoThroughTheForm) {
    showMain("Always_On_Top_TICKBOX=2\n");
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        HWND box = childWithText(hwndOf(d), L"Always On Top");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(GetWindowLongPtrW(box, GWL_STYLE) & BS_TYPEMASK, BS_3STATE);
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_INDETERMINATE);
        // A greyed box is ticked, a ticked one unticked: the form decides, not the control.
        SendMessageW(box, BM_CLICK, 0, 0);
        EXPECT_EQ(d.Always_On_Top_TICKBOX.Value(), 1);
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_TRUE(main.AlwaysOnTopTimer.Enabled());
        SendMessageW(box, BM_CLICK, 0, 0);
        EXPECT_EQ(d.Always_On_Top_TICKBOX.Value(), 0);
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_FALSE(main.AlwaysOnTopTimer.Enabled());
    });
    EXPECT_TRUE(
        about_dialog_test::holds(testing_support::readSettingsFile(), "Always_On_Top_TICKBOX=0"));
}

TEST_F(AboutDialogWin32Test, ADoubleClickOnTheCreatorShowsTheAddressAndOkCloses) {
    showMain();
    bool closedByOk = false;
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        const HWND dialog = hwndOf(d);
        HWND creator = childWithText(dialog, L"Created By Tevrin84");
        ASSERT_NE(creator, nullptr);
        EXPECT_EQ(classOf(creator), L"Static");
        SendMessageW(creator, WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(5, 5));
        SendMessageW(creator, WM_MBUTTONDBLCLK, MK_MBUTTON, MAKELPARAM(5, 5));
        EXPECT_EQ(textOf(creator), L"Created By Tevrin84") << "only the left button's";
        SendMessageW(creator, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
        EXPECT_EQ(textOf(creator), L"tevrin84@example.org");
        // The label's own colours: green on black.
        EXPECT_EQ(pixelAt(creator, 1, 1), RGB(0, 0, 0));
        SendMessageW(childWithText(dialog, L"OK"), BM_CLICK, 0, 0);
        closedByOk = !d.isLoaded();
    });
    EXPECT_TRUE(closedByOk);
    EXPECT_TRUE(about_dialog_test::holds(testing_support::readSettingsFile(), "AboutLeft=1000"));
}

// Sets system colours for the test's run, as a change of the desktop's theme does.
class SystemColours {
  public:
    SystemColours(std::vector<int> elements, const std::vector<COLORREF>& colours)
        : elements_(std::move(elements)) {
        for (int element : elements_) {
            saved_.push_back(GetSysColor(element));
        }
        set_ = SetSysColors(int(elements_.size()), elements_.data(), colours.data());
    }
    ~SystemColours() { SetSysColors(int(elements_.size()), elements_.data(), saved_.data()); }
    SystemColours(const SystemColours&) = delete;
    SystemColours& operator=(const SystemColours&) = delete;
    bool set() const { return set_; }

  private:
    std::vector<int> elements_;
    std::vector<COLORREF> saved_;
    bool set_ = false;
};

// How much lighter than the background the lightest pixel of a control's caption (right of
// a tickbox's box) is, once it has painted.
int captionLift(HWND control, COLORREF background) {
    pixelAt(control, 0, 0);
    const auto grey = [](COLORREF c) { return (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3; };
    const SIZE size = clientSizeOf(control);
    HDC dc = GetDC(control);
    int lightest = 0;
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 20; x < size.cx; ++x) {
            lightest = std::max(lightest, grey(GetPixel(dc, x, y)));
        }
    }
    ReleaseDC(control, dc);
    return lightest - grey(background);
}

TEST_F(AboutDialogWin32Test, TheBackgroundIsTheSystemsButtonFaceAndFollowsATheme) {
    showMain();
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        const HWND dialog = hwndOf(d);
        // Above and left of every control.
        EXPECT_EQ(pixelAt(dialog, 4, 4), GetSysColor(COLOR_BTNFACE));

        const COLORREF face = RGB(0x20, 0x24, 0x28), text = RGB(0xE8, 0xE8, 0xE8);
        SystemColours dark({COLOR_BTNFACE, COLOR_BTNTEXT}, {face, text});
        ASSERT_TRUE(dark.set());
        runEventsFor(50ms);
        const COLORREF background = pixelAt(dialog, 4, 4);
        EXPECT_EQ(background, face);
        for (const wchar_t* box :
             {L"Always On Top", L"Auto-Start PulseWard Timer When PulseWard Runs"}) {
            HWND control = childWithText(dialog, box);
            ASSERT_NE(control, nullptr);
            EXPECT_GT(captionLift(control, background), 128) << "the caption reads on the face";
        }
    });
    EXPECT_EQ(pixelAt(hwndOf(main), 34, 14), RGB(255, 0, 0)) << "the main window keeps its own";
}

// Modal showing in general, on forms of the test's own.
class ModalWin32Test : public form_test::FormTest {};

TEST_F(ModalWin32Test, TheOwnerAndEveryOtherWindowAreDisabledWhileTheOwnersTimersGoOn) {
    form_test::RecordingForm owner("owner"), other("other"), dialog("dialog");
    owner.Show();
    other.Show();
    int ownerTicks = 0;
    bool othersDisabled = false;
    owner.timer.Tick = [&] {
        ++ownerTicks;
        if (ownerTicks == 1) {
            othersDisabled = !IsWindowEnabled(hwndOf(owner)) && !IsWindowEnabled(hwndOf(other)) &&
                             IsWindowEnabled(hwndOf(dialog)) &&
                             GetWindow(hwndOf(dialog), GW_OWNER) == hwndOf(owner);
        }
        if (ownerTicks == 3) {
            toolkit::Unload(dialog);
        }
    };
    owner.timer.setInterval(30);
    owner.timer.setEnabled(true);

    dialog.Show(toolkit::vbModal, owner);

    EXPECT_EQ(ownerTicks, 3);
    EXPECT_TRUE(othersDisabled);
    EXPECT_TRUE(IsWindowEnabled(hwndOf(owner)));
    EXPECT_TRUE(IsWindowEnabled(hwndOf(other)));
}

}  // namespace
