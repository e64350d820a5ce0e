#include <gtest/gtest.h>

#include <string>

#include "about_dialog/FERN_BADGER_PULSEWARD_ABOUT.h"
#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "tests/about_dialog/AboutDialogFixture.h"
#include "tests/support/TestEnvironment.h"
#include "toolkit/Forms.h"

using about_dialog_test::AboutDialogTest;
using about_dialog_test::holds;
using pulseward::FERN_BADGER_PULSEWARD_ABOUT;
using pulseward::FERN_BADGER_PULSEWARD_MAIN;
using testing_support::readSettingsFile;
using testing_support::writeSettingsFile;

namespace {

TEST_F(AboutDialogTest, EachDoubleClickOpensTheOneDialogModallyAboveTheMainWindow) {
    showMain();
    FERN_BADGER_PULSEWARD_ABOUT* first = nullptr;
    for (auto open : {&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick,
                      &FERN_BADGER_PULSEWARD_MAIN::HEART_PIC_LEFT_DblClick,
                      &FERN_BADGER_PULSEWARD_MAIN::HEART_PIC_RIGHT_DblClick}) {
        openAndThen(open, [&](FERN_BADGER_PULSEWARD_ABOUT& dialog) {
            EXPECT_EQ(toolkit::Forms.Count(), 2);
            if (!first) {
                first = &dialog;
            }
            EXPECT_EQ(&dialog, first) << "the dialog object is kept for the run";
        });
        EXPECT_FALSE(pulseward::aboutDialog()->isLoaded()) << "Show returns at the unload";
    }
}

TEST_F(AboutDialogTest, AnEmptyStoreGivesTheDefaultsAndOpeningStoresNothing) {
    showMain();
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.Left(), 1000.0f);
        EXPECT_EQ(d.Top(), 1000.0f);
        EXPECT_EQ(d.Width(), 5430.0f);
        EXPECT_EQ(d.Height(), 5685.0f);
        EXPECT_EQ(d.Always_On_Top_TICKBOX.Value(), 0);
        EXPECT_EQ(d.AUTOSTART_TICKBOX.Value(), 1);
        EXPECT_EQ(d.FERN_BADGER_PULSEWARD_CREATOR.Caption(), "Created By Tevrin84");
    });
    EXPECT_EQ(readSettingsFile(), "");
    EXPECT_FALSE(main.AlwaysOnTopTimer.Enabled());
}

TEST_F(AboutDialogTest, AStoredOneOpensTickedWithTheKeeperOnAndStoredAgain) {
    showMain("Always_On_Top_TICKBOX=1\n");
    ASSERT_TRUE(main.AlwaysOnTopTimer.Enabled());
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.Always_On_Top_TICKBOX.Value(), 1);
        EXPECT_TRUE(main.AlwaysOnTopTimer.Enabled());
    });
    EXPECT_TRUE(holds(readSettingsFile(), "Always_On_Top_TICKBOX=1"));
}

TEST_F(AboutDialogTest, AStoredTwoOpensGreyedAndSwitchesTheKeeperOff) {
    showMain("Always_On_Top_TICKBOX=2\n");
    ASSERT_TRUE(main.AlwaysOnTopTimer.Enabled()) << "the main window reads any non-zero as on";
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.Always_On_Top_TICKBOX.Value(), 2);
        EXPECT_FALSE(main.AlwaysOnTopTimer.Enabled()) << "the dialog counts only 1 as on";
    });
    EXPECT_TRUE(holds(readSettingsFile(), "Always_On_Top_TICKBOX=2"));
}

TEST_F(AboutDialogTest, TickingAlwaysOnTopActsAtOnceAndOutlivesTheCloseBox) {
    showMain();
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        d.Always_On_Top_TICKBOX.setValue(1);
        EXPECT_TRUE(main.AlwaysOnTopTimer.Enabled());
        EXPECT_TRUE(holds(readSettingsFile(), "Always_On_Top_TICKBOX=1"));
        d.setLeft(3000);  // moved, then closed other than by OK
    });
    EXPECT_TRUE(main.AlwaysOnTopTimer.Enabled());
    const std::string stored = readSettingsFile();
    EXPECT_TRUE(holds(stored, "Always_On_Top_TICKBOX=1"));
    EXPECT_EQ(stored.find("AboutLeft"), std::string::npos) << "only OK stores the place";
}

TEST_F(AboutDialogTest, UntickingAlwaysOnTopStopsTheKeeper) {
    showMain("Always_On_Top_TICKBOX=1\n");
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick,
                [&](FERN_BADGER_PULSEWARD_ABOUT& d) { d.Always_On_Top_TICKBOX.setValue(0); });
    EXPECT_FALSE(main.AlwaysOnTopTimer.Enabled());
    EXPECT_TRUE(holds(readSettingsFile(), "Always_On_Top_TICKBOX=0"));
}

TEST_F(AboutDialogTest, UntickingAutoStartStoresItAndLeavesThePulseRunning) {
    showMain();
    ASSERT_EQ(main.MIDDLE_BUTTON.Caption(), "STOP");
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick,
                [](FERN_BADGER_PULSEWARD_ABOUT& d) { d.AUTOSTART_TICKBOX.setValue(0); });
    EXPECT_EQ(main.MIDDLE_BUTTON.Caption(), "STOP");
    EXPECT_TRUE(main.SHOW_PIC_TIMER.Enabled() || main.HIDE_PIC_TIMER.Enabled());
    EXPECT_TRUE(holds(readSettingsFile(), "AUTOSTART_TICKBOX=0"));
}

TEST_F(AboutDialogTest, OkStoresThePlaceAndBothOptionsButNeverTheSize) {
    showMain("AboutWidth=6000\n");
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.Width(), 6000.0f);
        d.setLeft(1500);
        d.setTop(2250);
        d.setWidth(7000);
        d.FERN_BADGER_PULSEWARD_ABOUT_OK_BUTTON_Click();
        EXPECT_FALSE(d.isLoaded());
    });
    const std::string stored = readSettingsFile();
    EXPECT_TRUE(holds(stored, "AboutLeft=1500"));
    EXPECT_TRUE(holds(stored, "AboutTop=2250"));
    EXPECT_TRUE(holds(stored, "Always_On_Top_TICKBOX=0"));
    EXPECT_TRUE(holds(stored, "AUTOSTART_TICKBOX=1"));
    EXPECT_TRUE(holds(stored, "AboutWidth=6000"));
    EXPECT_EQ(stored.find("AboutHeight"), std::string::npos);

    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.Left(), 1500.0f);
        EXPECT_EQ(d.Top(), 2250.0f);
        EXPECT_EQ(d.Width(), 6000.0f);
    });
}

TEST_F(AboutDialogTest, TheCreatorShowsTheContactAddressUntilTheNextOpening) {
    showMain();
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [](FERN_BADGER_PULSEWARD_ABOUT& d) {
        d.FERN_BADGER_PULSEWARD_CREATOR_DblClick();
        EXPECT_EQ(d.FERN_BADGER_PULSEWARD_CREATOR.Caption(),
                  FERN_BADGER_PULSEWARD_ABOUT::contactAddress);
    });
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.FERN_BADGER_PULSEWARD_CREATOR.Caption(), "Created By Tevrin84");
    });
}

TEST_F(AboutDialogTest, UnusablePlacesOpenWithDefaults) {
    showMain("AboutLeft=-99999\nAboutTop=-99999\nAboutHeight=nothing\nAUTOSTART_TICKBOX=yes\n");
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.Left(), 1000.0f);
        EXPECT_EQ(d.Top(), 1000.0f);
        EXPECT_EQ(d.Height(), 5685.0f);
        EXPECT_EQ(d.AUTOSTART_TICKBOX.Value(), 1);
    });
    EXPECT_TRUE(testing_support::reportedErrors().empty());
}

// A hand-edited tickbox value outside 0 to 2: the dialog shows the option the main window put in
// force with it, and stores that.
TEST_F(AboutDialogTest, TickboxValuesOutOfRangeOpenAsTheOptionInForce) {
    showMain("Always_On_Top_TICKBOX=7\nAUTOSTART_TICKBOX=-1\n");
    ASSERT_TRUE(main.AlwaysOnTopTimer.Enabled()) << "any number but zero turns the keeper on";
    ASSERT_EQ(main.MIDDLE_BUTTON.Caption(), "Start") << "only one starts the pulse";
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.Always_On_Top_TICKBOX.Value(), 1);
        EXPECT_TRUE(main.AlwaysOnTopTimer.Enabled());
        EXPECT_EQ(d.AUTOSTART_TICKBOX.Value(), 0);
    });
    EXPECT_TRUE(holds(readSettingsFile(), "Always_On_Top_TICKBOX=1"));
    EXPECT_TRUE(holds(readSettingsFile(), "AUTOSTART_TICKBOX=0"));
    EXPECT_TRUE(testing_support::reportedErrors().empty());
}

TEST_F(AboutDialogTest, ClosingTheMainWindowClosesTheDialogAndStoresTheMainPlace) {
    showMain();
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick,
                [&](FERN_BADGER_PULSEWARD_ABOUT&) { toolkit::Unload(main); });
    EXPECT_EQ(toolkit::Forms.Count(), 0);
    EXPECT_TRUE(holds(readSettingsFile(), "MainLeft=1000"));
}

}  // namespace
