// Modal showing in general, on forms of the test's own.

#include <gtest/gtest.h>

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

}  // namespace

}  // namespace win32_test
