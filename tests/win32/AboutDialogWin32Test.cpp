// The About dialog as Win32 sees it: its size and controls, focus and tab order, clicks on the
// tickboxes, the creator label, and the system's colours.

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

// After the toolkit's headers, for <windows.h>.
#include "tests/win32/WindowQueries.h"

using namespace std::chrono_literals;
using pulseward::FERN_BADGER_PULSEWARD_ABOUT;
using pulseward::FERN_BADGER_PULSEWARD_MAIN;
using testing_support::runEventsFor;

namespace win32_test {

namespace {

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

}  // namespace

}  // namespace win32_test
