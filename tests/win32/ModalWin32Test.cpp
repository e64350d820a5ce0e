// Modal showing in general, on forms of the test's own.

#include <gtest/gtest.h>

#include <chrono>

#include "tests/toolkit/FormFixtures.h"
#include "toolkit/Forms.h"

// After the toolkit's headers, for <windows.h>.
#include "tests/win32/WindowQueries.h"

namespace win32_test {

namespace {

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

// The program ends while a message box waits for an answer (a later start's --quit, the
// session's end): the box goes and the event loop ends, rather than waiting for an answer. A box
// the form owns goes with it; one shown while the form was not active (minimized, another
// program in front) has no owner.
class EndWithAMessageBoxUp : public form_test::FormTest,
                             public testing::WithParamInterface<bool> {};

TEST_P(EndWithAMessageBoxUp, UnloadingTheLastFormEndsTheBoxAndTheLoop) {
    using namespace std::chrono_literals;
    const bool inactive = GetParam();
    const auto box = [] { return FindWindowW(L"#32770", L"ModalWin32Test"); };
    form_test::RecordingForm form("form");
    form.Show();
    if (inactive) {
        form.setWindowState(toolkit::vbMinimized);
        SetActiveWindow(nullptr);
    }
    bool boxWasUp = false;
    bool boxOwned = false;
    bool answeredByTheTest = false;
    testing_support::afterDelay(0ms, [] {
        toolkit::windowSystem().messageBox("ModalWin32Test", "Nobody answers this.", false);
    });
    testing_support::afterDelay(500ms, [&] {
        boxWasUp = box() != nullptr;
        boxOwned = boxWasUp && GetWindow(box(), GW_OWNER) != nullptr;
        toolkit::Unload(form);
    });
    testing_support::afterDelay(5000ms, [&] {
        if (const HWND left = box()) {
            answeredByTheTest = true;
            PostMessageW(left, WM_CLOSE, 0, 0);
        }
    });

    toolkit::windowSystem().runEventLoop();
    EXPECT_TRUE(boxWasUp);
    EXPECT_EQ(boxOwned, !inactive);
    EXPECT_FALSE(answeredByTheTest) << "the box waited for an answer";
    EXPECT_FALSE(box());
    // The quit message that ended the loops, which the program's end takes with it.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

INSTANTIATE_TEST_SUITE_P(Form, EndWithAMessageBoxUp, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Inactive" : "Active";
                         });

}  // namespace

}  // namespace win32_test
