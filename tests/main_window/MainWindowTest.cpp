#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "tests/main_window/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"
#include "toolkit/Forms.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/ShellObject.h"

using namespace std::chrono_literals;
using main_window_test::MainWindowTest;
using pulseward::FERN_BADGER_PULSEWARD_MAIN;
using testing_support::fakeDesktop;
using testing_support::messages;
using testing_support::readSettingsFile;
using testing_support::writeSettingsFile;

namespace {

TEST_F(MainWindowTest, AnEmptyStoreOpensAtTheDefaultsAndRuns) {
    load();
    EXPECT_EQ(window.Left(), 1000.0f);
    EXPECT_EQ(window.Top(), 1000.0f);
    EXPECT_EQ(window.Width(), 1860.0f);
    EXPECT_EQ(window.Height(), 780.0f);
    EXPECT_FALSE(window.AlwaysOnTopTimer.Enabled());
    EXPECT_EQ(window.AlwaysOnTopTimer.Interval(), 1000);
    EXPECT_EQ(window.SHOW_PIC_TIMER.Interval(), 750);
    EXPECT_EQ(window.HIDE_PIC_TIMER.Interval(), 750);
    expectRunningShowNext(true);
    EXPECT_EQ(fakeDesktop().keyPulses, 0) << "starting sends no key";
    EXPECT_EQ(readSettingsFile(), "") << "loading writes nothing";
}

TEST_F(MainWindowTest, LoadAppliesTheStoredPlaceSizeAndOptions) {
    load(
        "MainLeft=1500\nMainTop=3000\nMainWidth=2400\nMainHeight=900\n"
        "Always_On_Top_TICKBOX=1\nAUTOSTART_TICKBOX=0\n");
    EXPECT_EQ(window.Left(), 1500.0f);
    EXPECT_EQ(window.Top(), 3000.0f);
    EXPECT_EQ(window.Width(), 2400.0f);
    EXPECT_EQ(window.Height(), 900.0f);
    EXPECT_TRUE(window.AlwaysOnTopTimer.Enabled());
    expectStopped();
}

struct OptionCase {
    const char* stored;
    bool running;
};

class AutoStartTest : public MainWindowTest, public testing::WithParamInterface<OptionCase> {};

TEST_P(AutoStartTest, OnlyExactlyOneStartsThePulse) {
    load(std::string("AUTOSTART_TICKBOX=") + GetParam().stored + "\n");
    EXPECT_EQ(window.MIDDLE_BUTTON.Caption(), GetParam().running ? "STOP" : "Start");
    EXPECT_EQ(window.SHOW_PIC_TIMER.Enabled(), GetParam().running);
}

INSTANTIATE_TEST_SUITE_P(StoredTexts, AutoStartTest,
                         testing::Values(OptionCase{"1", true}, OptionCase{"1.0", true},
                                         OptionCase{" 1 ", true}, OptionCase{"0", false},
                                         OptionCase{"2", false}, OptionCase{"-1", false},
                                         OptionCase{"0.999", false}, OptionCase{"garbage", true}));

class AlwaysOnTopOptionTest : public MainWindowTest,
                              public testing::WithParamInterface<OptionCase> {};

TEST_P(AlwaysOnTopOptionTest, AnyNonZeroNumberOrTrueSwitchesTheKeeperOn) {
    load(std::string("Always_On_Top_TICKBOX=") + GetParam().stored + "\n");
    EXPECT_EQ(window.AlwaysOnTopTimer.Enabled(), GetParam().running);
}

INSTANTIATE_TEST_SUITE_P(StoredTexts, AlwaysOnTopOptionTest,
                         testing::Values(OptionCase{"1", true}, OptionCase{"2", true},
                                         OptionCase{"True", true}, OptionCase{"0", false},
                                         OptionCase{"false", false}, OptionCase{"garbage", false}));

TEST_F(MainWindowTest, BadStoredTextsFallBackToDefaultsAndTheRestStillLoads) {
    load("MainLeft=left\nMainTop=1500\nMainWidth=0\nMainHeight=-5\nAUTOSTART_TICKBOX=0\n");
    EXPECT_EQ(window.Left(), 1000.0f);
    EXPECT_EQ(window.Top(), 1500.0f);
    EXPECT_EQ(window.Width(), 1860.0f);
    EXPECT_EQ(window.Height(), 780.0f);
    expectStopped();
    EXPECT_TRUE(testing_support::reportedErrors().empty());
    EXPECT_NE(readSettingsFile().find("MainLeft=left"), std::string::npos)
        << "the bad text stays until the program writes that key";
}

TEST_F(MainWindowTest, APlaceOffEveryScreenGivesTheDefaultPlace) {
    load("MainLeft=-99999\nMainTop=-99999\n");
    EXPECT_EQ(window.Left(), 1000.0f);
    EXPECT_EQ(window.Top(), 1000.0f);
}

TEST_F(MainWindowTest, APlacePartlyOnAScreenIsKept) {
    load("MainLeft=-600\nMainTop=1500\n");
    EXPECT_EQ(window.Left(), -600.0f);
    EXPECT_EQ(window.Top(), 1500.0f);
}

TEST_F(MainWindowTest, TheButtonTogglesByTheExactCaption) {
    load("AUTOSTART_TICKBOX=0\n");
    window.MIDDLE_BUTTON_Click();
    expectRunningShowNext(true);
    window.MIDDLE_BUTTON_Click();
    expectStopped();

    // Only exactly "Start" means stopped: any other caption counts as running.
    for (const char* caption : {"stop", "start", "START", ""}) {
        window.StartSetup();
        window.MIDDLE_BUTTON.setCaption(caption);
        window.MIDDLE_BUTTON_Click();
        expectStopped();
    }
}

TEST_F(MainWindowTest, PhaseTicksSwitchTimersBeforeSendingOneKeyEach) {
    load();
    std::vector<std::string> stateAtKey;
    auto record = [&] {
        stateAtKey.push_back(std::string(window.SHOW_PIC_TIMER.Enabled() ? "show" : "-") + "/" +
                             (window.HIDE_PIC_TIMER.Enabled() ? "hide" : "-") + "/" +
                             (window.HEART_PIC_LEFT.Visible() ? "shown" : "hidden"));
    };
    fakeDesktop().onKey = record;

    window.SHOW_PIC_TIMER_Timer();
    expectRunningHideNext();
    window.HIDE_PIC_TIMER_Timer();
    expectRunningShowNext(false);
    window.SHOW_PIC_TIMER_Timer();
    expectRunningHideNext();

    EXPECT_EQ(fakeDesktop().keyPulses, 3);
    EXPECT_EQ(stateAtKey,
              (std::vector<std::string>{"-/hide/shown", "show/-/hidden", "-/hide/shown"}));
}

TEST_F(MainWindowTest, StoppingInTheHiddenHalfShowsTheHeartsAndSendsNoKey) {
    load();
    window.SHOW_PIC_TIMER_Timer();
    window.HIDE_PIC_TIMER_Timer();
    ASSERT_FALSE(window.HEART_PIC_LEFT.Visible());
    const int pulses = fakeDesktop().keyPulses;
    window.MIDDLE_BUTTON_Click();
    expectStopped();
    EXPECT_EQ(fakeDesktop().keyPulses, pulses);
}

TEST_F(MainWindowTest, AtMostOnePhaseTimerIsEnabledAfterAnyHandler) {
    load();
    // Every handler after every other, from both states.
    const std::vector<void (FERN_BADGER_PULSEWARD_MAIN::*)()> handlers = {
        &FERN_BADGER_PULSEWARD_MAIN::MIDDLE_BUTTON_Click,
        &FERN_BADGER_PULSEWARD_MAIN::SHOW_PIC_TIMER_Timer,
        &FERN_BADGER_PULSEWARD_MAIN::HIDE_PIC_TIMER_Timer};
    for (auto first : handlers) {
        for (auto second : handlers) {
            for (auto third : handlers) {
                window.StopSetup();
                for (auto handler : {first, second, third}) {
                    (window.*handler)();
                    EXPECT_FALSE(window.SHOW_PIC_TIMER.Enabled() &&
                                 window.HIDE_PIC_TIMER.Enabled());
                }
            }
        }
    }
}

TEST_F(MainWindowTest, TheRunningPulseSendsAKeyAtEachPhaseChange) {
    load();
    // Key pulses fall at 750 and 1500 ms; the hearts are hidden after the second.
    testing_support::runEventsFor(1650ms);
    EXPECT_EQ(fakeDesktop().keyPulses, 2);
    EXPECT_FALSE(window.HEART_PIC_LEFT.Visible());
    window.MIDDLE_BUTTON_Click();
    testing_support::runEventsFor(900ms);
    EXPECT_EQ(fakeDesktop().keyPulses, 2);
}

TEST_F(MainWindowTest, AKeyThatCannotBeSentStopsThePulseWithOneMessage) {
    load();
    fakeDesktop().failKeyPulse = true;
    testing::internal::CaptureStderr();
    window.SHOW_PIC_TIMER_Timer();
    const std::string said = testing::internal::GetCapturedStderr();
    expectStopped();
    ASSERT_EQ(messages().size(), 1u);
    // For a user who started the program from a terminal: the box's text as one line.
    // Built by appending: replacing in place trips a false -Wrestrict in GCC 12 at -O3.
    const std::string& text = messages()[0];
    std::string expected = "FERN-BADGER-PULSEWARD: ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\n\n") == 0) {
            expected += ' ';
            ++i;
        } else {
            expected += text[i];
        }
    }
    expected += '\n';
    EXPECT_EQ(said, expected);
    EXPECT_NE(messages()[0].find("Num Lock"), std::string::npos);
    EXPECT_NE(messages()[0].find("XTest"), std::string::npos) << "the message says why";
    EXPECT_TRUE(testing_support::reportedErrors().empty());
    EXPECT_TRUE(window.isLoaded());

    // Start tries again.
    fakeDesktop().failKeyPulse = false;
    window.MIDDLE_BUTTON_Click();
    window.SHOW_PIC_TIMER_Timer();
    EXPECT_EQ(fakeDesktop().keyPulses, 1);
    expectRunningHideNext();
}

// A press the system refuses only after it was sent (the X server says so later, when the
// program does not have the focus and so does not wait for it).
TEST_F(MainWindowTest, ARefusalReportedLaterStopsThePulseWithOneMessage) {
    load();
    window.SHOW_PIC_TIMER_Timer();
    ASSERT_EQ(fakeDesktop().keyPulses, 1);
    const toolkit::RuntimeError refusal(5, "The X server refused the Num Lock key press.");
    toolkit::KeysRefusedLater(refusal);
    expectStopped();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find("refused"), std::string::npos) << messages()[0];
    EXPECT_TRUE(testing_support::reportedErrors().empty()) << "the program would have ended";
    EXPECT_TRUE(window.isLoaded());

    // The other half of the same press refused too: the pulse has stopped already.
    toolkit::KeysRefusedLater(refusal);
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_TRUE(testing_support::reportedErrors().empty());
}

// The desktop asks its user whether the program may send key presses (a portal's dialog).
TEST_F(MainWindowTest, WhileTheDesktopAsksThePulseWaitsStillAndBlackAndOnceAllowedStartsAfresh) {
    load();
    fakeDesktop().onKey = [] { toolkit::KeysAwaitingConsent(); };
    window.SHOW_PIC_TIMER_Timer();
    fakeDesktop().onKey = nullptr;
    expectWaiting();
    testing_support::runEventsFor(1600ms);
    EXPECT_EQ(fakeDesktop().keyPulses, 1) << "pulses while the desktop asks";
    expectWaiting();

    toolkit::KeysAllowed();
    expectRunningShowNext(true);
    testing_support::runEventsFor(900ms);
    EXPECT_EQ(fakeDesktop().keyPulses, 2);
    EXPECT_TRUE(messages().empty());
}

TEST_F(MainWindowTest, StopWhileTheDesktopAsksWithdrawsTheQuestionAndALateAllowanceStartsNothing) {
    load();
    fakeDesktop().onKey = [] { toolkit::KeysAwaitingConsent(); };
    window.SHOW_PIC_TIMER_Timer();
    EXPECT_EQ(fakeDesktop().keysStopped, 0);
    window.MIDDLE_BUTTON_Click();
    expectStopped();
    EXPECT_EQ(fakeDesktop().keysStopped, 1) << "the desktop was not told to withdraw its question";
    toolkit::KeysAllowed();
    expectStopped();
}

class MainWindowUnloadTest : public MainWindowTest {};

TEST_F(MainWindowUnloadTest, StoresThePlaceButNeverTheSize) {
    load("MainWidth=2400\n");
    window.setLeft(1500);
    window.setTop(2250);
    window.setWidth(3000);
    toolkit::Unload(window);
    const std::string stored = readSettingsFile();
    EXPECT_NE(stored.find("MainLeft=1500\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("MainTop=2250\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("MainWidth=2400\n"), std::string::npos) << stored;
    EXPECT_EQ(stored.find("MainHeight"), std::string::npos) << stored;
}

TEST_F(MainWindowUnloadTest, RepeatedRunsDoNotMoveTheStoredPlace) {
    for (int run = 0; run < 5; ++run) {
        load();
        toolkit::Unload(window);
    }
    EXPECT_EQ(readSettingsFile(), "[Settings]\nMainLeft=1000\nMainTop=1000\n");
}

TEST_F(MainWindowUnloadTest, AMinimisedWindowStoresNothing) {
    load("MainLeft=1500\nMainTop=1500\n");
    window.setWindowState(toolkit::vbMinimized);
    toolkit::Unload(window);
    EXPECT_EQ(readSettingsFile(), "[Settings]\nMainLeft=1500\nMainTop=1500\n");
}

TEST_F(MainWindowUnloadTest, UnloadsEveryOtherWindowLastLoadedFirst) {
    std::vector<std::string> unloaded;
    class Other : public toolkit::Form {
      public:
        Other(std::string name, std::vector<std::string>& log)
            : Form(toolkit::WindowDesign{}), name_(std::move(name)), log_(log) {}

      protected:
        void Form_Unload(int&) override { log_.push_back(name_); }

      private:
        std::string name_;
        std::vector<std::string>& log_;
    };
    load();
    Other first("first", unloaded), second("second", unloaded);
    first.Show();
    second.Show();
    toolkit::Unload(window);
    EXPECT_EQ(unloaded, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(toolkit::Forms.Count(), 0);
}

// Closing is one action of the user's: one message for both keys, once the close is handled.
TEST_F(MainWindowUnloadTest, FailedWritesShowOneMessageAndTheWindowStillCloses) {
    load();
    {
        testing_support::UnwritableSettings unwritable;
        toolkit::invokeHandler([&] {
            toolkit::Unload(window);
            EXPECT_TRUE(messages().empty()) << "shown while the close was still being handled";
        });
    }
    EXPECT_FALSE(window.isLoaded());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find("\"MainLeft\" and \"MainTop\""), std::string::npos)
        << messages()[0];
    EXPECT_NE(messages()[0].find("Path/File access error"), std::string::npos)
        << "says why: " << messages()[0];
}

}  // namespace
