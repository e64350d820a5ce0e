#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"
#include "tests/toolkit/FormFixtures.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Form.h"
#include "toolkit/Forms.h"
#include "toolkit/Label.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/Timer.h"

using namespace std::chrono_literals;
using form_test::CheckBoxTest;
using form_test::events;
using form_test::FormTest;
using form_test::RecordingForm;
using testing_support::runEventsFor;
using testing_support::runEventsUntil;
using toolkit::Forms;
using toolkit::Unload;

namespace {

TEST_F(FormTest, FormsListsLoadedWindowsInLoadOrder) {
    RecordingForm a("a"), b("b"), c("c");
    b.Show();
    a.Show();
    c.Show();
    ASSERT_EQ(Forms.Count(), 3);
    EXPECT_EQ(&Forms(0), &b);
    EXPECT_EQ(&Forms(1), &a);
    EXPECT_EQ(&Forms(2), &c);

    Unload(a);
    ASSERT_EQ(Forms.Count(), 2);
    EXPECT_EQ(&Forms(1), &c);
    EXPECT_EQ(events, (std::vector<std::string>{"b.Load", "a.Load", "c.Load", "a.Unload"}));
    try {
        Forms(2);
        FAIL() << "an index past the end must fail";
    } catch (const toolkit::RuntimeError& error) {
        EXPECT_EQ(error.number(), 9);
    }
}

TEST_F(FormTest, ShowingALoadedFormDoesNotLoadItAgain) {
    RecordingForm a("a");
    a.Show();
    a.Show();
    EXPECT_EQ(events, std::vector<std::string>{"a.Load"});
}

TEST_F(FormTest, CancelledUnloadKeepsTheWindow) {
    RecordingForm a("a");
    a.Show();
    a.cancelUnload = 1;
    Unload(a);
    EXPECT_TRUE(a.isLoaded());
    EXPECT_EQ(Forms.Count(), 1);
    a.cancelUnload = 0;
}

TEST_F(FormTest, EachLoadStartsControlsFromTheirDesignValues) {
    RecordingForm a("a");
    a.Show();
    a.tick.setValue(0);
    a.label.setCaption("changed");
    a.timer.setInterval(100);
    a.timer.setEnabled(true);
    Unload(a);
    EXPECT_FALSE(a.isLoaded());

    int clicks = 0;
    a.tick.Click = [&] { ++clicks; };
    a.Show();
    EXPECT_EQ(a.tick.Value(), 1);
    EXPECT_EQ(a.label.Caption(), "designed");
    EXPECT_FALSE(a.timer.Enabled());
    EXPECT_EQ(clicks, 0) << "restoring design values is not a change by the program";
    EXPECT_EQ(events, (std::vector<std::string>{"a.Load", "a.Unload", "a.Load"}));
}

TEST_F(FormTest, PlaceAndSizeReadBackExactlyAsSet) {
    RecordingForm a("a");
    a.Show();
    a.setLeft(1000);
    a.setTop(1003);
    a.setWidth(1860);
    a.setHeight(780);
    EXPECT_EQ(a.Left(), 1000.0f);
    EXPECT_EQ(a.Top(), 1003.0f);
    EXPECT_EQ(a.Width(), 1860.0f);
    EXPECT_EQ(a.Height(), 780.0f);
}

TEST_F(FormTest, AWindowDesignedWithoutAColourHasTheSystemsButtonFace) {
    RecordingForm a("a");
    a.Show();
    EXPECT_EQ(a.BackColor(), 0x8000000Fu) << "the system colour value, resolved by the backend";
}

TEST_F(FormTest, WindowStateFollowsMinimising) {
    RecordingForm a("a");
    a.Show();
    EXPECT_EQ(a.WindowState(), toolkit::vbNormal);
    a.setWindowState(toolkit::vbMinimized);
    EXPECT_EQ(a.WindowState(), toolkit::vbMinimized);
}

TEST_F(FormTest, OnlyAPlaceOnSomeScreenCountsAsOnScreen) {
    RecordingForm a("a");
    a.Show();
    a.setWidth(1860);
    a.setHeight(780);
    a.setLeft(-600);  // 40 pixels off the left edge, the rest on the screen
    a.setTop(1000);
    EXPECT_TRUE(a.isOnSomeScreen());
    a.setLeft(-99999);
    EXPECT_FALSE(a.isOnSomeScreen());
    a.setLeft(1000);
    a.setTop(1e9f);
    EXPECT_FALSE(a.isOnSomeScreen());
}

TEST_F(FormTest, ModalShowWaitsForUnloadWhileTheOwnersTimersGoOn) {
    RecordingForm owner("owner"), dialog("dialog");
    owner.Show();
    int ownerTicks = 0;
    owner.timer.Tick = [&] {
        ++ownerTicks;
        if (ownerTicks == 3) {
            Unload(dialog);
        }
    };
    owner.timer.setInterval(30);
    owner.timer.setEnabled(true);

    dialog.Show(toolkit::vbModal, owner);

    EXPECT_EQ(ownerTicks, 3) << "Show returns at the dialog's unload, in the third tick";
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(events, (std::vector<std::string>{"owner.Load", "dialog.Load", "dialog.Unload"}));
}

TEST_F(FormTest, UnloadingTheLastWindowLeavesNoFormLoaded) {
    RecordingForm a("a"), b("b");
    a.Show();
    b.Show();
    Unload(b);
    Unload(a);
    EXPECT_EQ(Forms.Count(), 0);
}

TEST_F(CheckBoxTest, EveryChangeByTheProgramRaisesClickWithTheNewValue) {
    form.tick.setValue(0);
    form.tick.setValue(2);
    form.tick.setValue(1);
    EXPECT_EQ(valuesSeenByClick, (std::vector<int>{0, 2, 1}));
}

TEST_F(CheckBoxTest, AssigningTheCurrentValueRaisesNothing) {
    form.tick.setValue(1);
    EXPECT_TRUE(valuesSeenByClick.empty());
}

TEST_F(CheckBoxTest, AValueOutsideTheRangeIsAnError) {
    for (int value : {-1, 3}) {
        try {
            form.tick.setValue(value);
            ADD_FAILURE() << value << " was accepted";
        } catch (const toolkit::RuntimeError& error) {
            EXPECT_EQ(error.number(), 380);
        }
    }
    EXPECT_EQ(form.tick.Value(), 1);
    EXPECT_TRUE(valuesSeenByClick.empty());
}

}  // namespace
